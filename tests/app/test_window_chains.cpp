// The windows opened from the sales window and from the editor: each gives its caller back, with
// the cursor where the next scan or keystroke belongs, whichever way it is closed.
#include "app/support_window.h"
#include "kit/window_kit.h"
#include "catalogue/editor_window.h"
#include "sales/payment_window.h"
#include "sales/search_window.h"
#include "support/sales_driver.h"

#include <QAction>
#include <QCheckBox>
#include <QFrame>
#include <QApplication>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QTest>
#include <QTreeView>
#include <QWindow>

#include <functional>

using namespace tarvino;
using namespace tarvino::test;

namespace {

// The visible top-level window of the given class other than except, if any.
QWidget* shownWindow(const char* className, const QWidget* except = nullptr)
{
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w != except && w->isVisible() && w->inherits(className))
            return w;
    return nullptr;
}

// Esc where the cursor is, as the cashier presses it.
void pressEsc(QWidget* window)
{
    QVERIFY(QTest::qWaitForWindowActive(window));
    QWidget* target = QApplication::focusWidget() ? QApplication::focusWidget() : window;
    QTest::keyClick(target, Qt::Key_Escape);
}

// One way a window goes: by its own button, by Esc, by the frame, or by a choice made in it.
using Close = void (*)(QWidget* window, QPushButton* button);

void byButton(QWidget*, QPushButton* button)
{
    QTest::mouseClick(button, Qt::LeftButton);
}
void byEsc(QWidget* window, QPushButton*)
{
    pressEsc(window);
}
void byFrame(QWidget* window, QPushButton*)
{
    window->close(); // the window frame's close button
}

// The window system hands the activation to a window that is hidden or disabled at that moment, as
// X does when a menu or a window in front of it goes away.
void strayActivation(QWidget* window)
{
    QApplication::setActiveWindow(window);
    QCoreApplication::processEvents();
}

bool hasCursor(QWidget* box)
{
    return QApplication::focusWidget() == box;
}

// Records the owner a window's platform window has when the window is first shown.
class OwnerAtShow final : public QObject {
public:
    explicit OwnerAtShow(const QString& name) : m_name(name) { qApp->installEventFilter(this); }
    ~OwnerAtShow() override { qApp->removeEventFilter(this); }
    bool seen = false;
    QWindow* owner = nullptr;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Show && !seen && watched->objectName() == m_name) {
            auto* window = static_cast<QWidget*>(watched);
            seen = true;
            owner = window->windowHandle() ? window->windowHandle()->transientParent() : nullptr;
        }
        return false;
    }

private:
    QString m_name;
};

// Leche, the only match for "lech", chosen in the search by keys alone.
void byChoosingLeche(QWidget* window, QPushButton*)
{
    auto* search = static_cast<ProductSearch*>(window);
    QVERIFY(QTest::qWaitForWindowActive(search));
    QTest::keyClicks(search->Text1, QStringLiteral("lech"));
    flushClosedWindows();
    QTest::keyClick(search->Text1, Qt::Key_Tab);
    QVERIFY(hasCursor(search->List1));
    QTest::keyClick(search->List1, Qt::Key_Down);
    QTest::keyClick(search->List1, Qt::Key_Return);
}

const std::pair<const char*, Close> kEscOrFrame[] = {{"esc", byEsc}, {"frame", byFrame}};

// A window that disables the sales window: opened with a sale in hand, it returns what it opened
// and, in caller, the window it disables.
using OpenOverSale = std::function<QWidget*(SalesDriver& d, QWidget*& caller)>;

QWidget* payment(SalesDriver& d, QWidget*&)
{
    return &d.pay();
}
QWidget* searchFromTheSalesWindow(SalesDriver& d, QWidget*&)
{
    return d.form->openSearch();
}
QWidget* searchFromTheEditor(SalesDriver& d, QWidget*& caller)
{
    d.form->edicionProductos->trigger();
    auto* editor = visibleWindow<Form2>();
    if (!editor)
        return nullptr;
    caller = editor;
    return editor->openSearch();
}

// A window opened from the editor by its button: what it opened and the button that closes it.
struct Opened {
    QWidget* window = nullptr;
    QPushButton* button = nullptr;
};
using OpenFromEditor = std::function<void(Form2& editor, Opened& opened)>;

} // namespace

Q_DECLARE_METATYPE(Close)
Q_DECLARE_METATYPE(OpenOverSale)
Q_DECLARE_METATYPE(OpenFromEditor)

class TestWindowChains : public QObject {
    Q_OBJECT

private slots:
    void init() { QLocale::setDefault(kChile); }

    // Windows a test left open go before the next test looks for the window it opens.
    void cleanup()
    {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w->isVisible() && w->testAttribute(Qt::WA_DeleteOnClose))
                w->close();
        flushClosedWindows();
    }

    void salesWindowGetsTheCursorBack_data()
    {
        QTest::addColumn<QString>("entry"); // the menu item's object name
        QTest::addColumn<Close>("close");
        const char* entries[] = {"edicionProductos", "stock", "recaudacion", "ventaparcial",
                                 "usuarios", "recaudaciondeldia", "soporte"};
        for (const char* entry : entries)
            for (const auto& [way, close] : kEscOrFrame)
                QTest::addRow("%s, %s", entry, way) << QString::fromLatin1(entry) << close;
    }
    void salesWindowGetsTheCursorBack()
    {
        QFETCH(QString, entry);
        QFETCH(Close, close);
        SalesDriver d;
        Form1& f = d.open();
        d.typeCode(QStringLiteral("100"));
        d.typeCode(QStringLiteral("200"));
        const QStringList sale = d.saleList();
        auto* action = f.findChild<QAction*>(entry);
        QVERIFY(action);
        for (int round = 0; round < 3; ++round) {
            action->trigger();
            QWidget* opened = QApplication::activeWindow() != &f ? shownWindow("QWidget", &f) : nullptr;
            QVERIFY(opened);
            QVERIFY(f.isHidden());
            strayActivation(&f);
            close(opened, nullptr);
            flushClosedWindows();
            QVERIFY(f.isVisible());
            QVERIFY2(hasCursor(f.Text7), qPrintable(QStringLiteral("round %1").arg(round)));
        }
        // The next scan lands in the code box: nothing cancelled, nothing searched.
        QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("100"));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QCOMPARE(d.saleList().size(), sale.size());
        QVERIFY(d.saleList().first().startsWith(QLatin1String("100|Leche|2|")));
    }

    void disabledCallerGetsTheCursorBack_data()
    {
        QTest::addColumn<OpenOverSale>("open");
        QTest::addColumn<Close>("close");
        QTest::addColumn<bool>("quantityEntry");
        for (const auto& [window, open] : {std::pair<const char*, OpenOverSale>{"Form5", payment},
                                           std::pair<const char*, OpenOverSale>{"Form11", searchFromTheSalesWindow}})
            for (const auto& [way, close] : kEscOrFrame) {
                QTest::addRow("%s, %s", window, way) << open << close << false;
                QTest::addRow("%s, %s, code waiting for its quantity", window, way) << open << close << true;
            }
    }
    void disabledCallerGetsTheCursorBack()
    {
        QFETCH(OpenOverSale, open);
        QFETCH(Close, close);
        QFETCH(bool, quantityEntry);
        SalesDriver d;
        Form1& f = d.open();
        d.typeCode(QStringLiteral("100"));
        if (quantityEntry) {
            d.setManual(true);
            d.typeCode(QStringLiteral("200"));
        }
        f.Check1->setFocus(); // where a click on "Cantidad Manual" leaves it
        QWidget* caller = &f;
        QWidget* opened = open(d, caller);
        QVERIFY(opened);
        QVERIFY(!f.isEnabled());
        strayActivation(&f);
        close(opened, nullptr);
        flushClosedWindows();
        QVERIFY(f.isEnabled() && f.Frame2->isEnabled());
        QVERIFY(hasCursor(quantityEntry ? f.Text8 : f.Text7));
    }

    void aDisablingWindowStaysAboveItsCaller_data()
    {
        QTest::addColumn<QString>("window"); // the object name of the window opened
        QTest::addColumn<OpenOverSale>("open");
        QTest::newRow("payment") << "Form5" << OpenOverSale(payment);
        QTest::newRow("search from the sales window") << "Form11" << OpenOverSale(searchFromTheSalesWindow);
        QTest::newRow("search from the editor") << "Form10" << OpenOverSale(searchFromTheEditor);
    }
    void aDisablingWindowStaysAboveItsCaller()
    {
        QFETCH(QString, window);
        QFETCH(OpenOverSale, open);
        SalesDriver d;
        Form1& f = d.open();
        d.typeCode(QStringLiteral("100"));
        OwnerAtShow watch(window);
        QWidget* caller = &f;
        QWidget* opened = open(d, caller);
        QVERIFY(opened);
        QVERIFY(!caller->isEnabled());
        QVERIFY(opened->isEnabled());
        QVERIFY(opened->isWindow() && !opened->parentWidget());
        // The window system hands an owner on to the window manager only for a dialog.
        QCOMPARE(opened->windowType(), Qt::Dialog);
        // The window system takes the owner when it first shows the window, so it must be set by then.
        QVERIFY(watch.seen);
        QCOMPARE(watch.owner, caller->windowHandle());
        QCOMPARE(opened->windowHandle()->transientParent(), caller->windowHandle());
        opened->close();
        flushClosedWindows();
    }

    void chainsFromTheEditor_data()
    {
        QTest::addColumn<OpenFromEditor>("open");
        QTest::addColumn<Close>("close");
        QTest::addColumn<QString>("loaded"); // the code of the product loaded first, if any
        QTest::addColumn<QString>("name");   // the product's name the editor shows afterwards
        // The search disables the editor; the support window takes its place.
        const OpenFromEditor search = [](Form2& editor, Opened& opened) {
            QTest::mouseClick(editor.Command7, Qt::LeftButton);
            opened.window = visibleWindow<ProductSearch>();
            QVERIFY(opened.window && !editor.isEnabled());
        };
        const OpenFromEditor support = [](Form2& editor, Opened& opened) {
            QTest::mouseClick(editor.Command1, Qt::LeftButton);
            auto* form = visibleWindow<Form13>();
            QVERIFY(form && editor.isHidden());
            QCOMPARE(form->Text1, QStringLiteral("1"));
            opened = {form, form->Command1};
        };
        QTest::newRow("search, choice") << search << Close(byChoosingLeche) << "" << "Leche";
        for (const auto& [way, close] : kEscOrFrame)
            QTest::addRow("search, %s", way) << search << close << "" << "";
        QTest::newRow("search, Esc with a product loaded") << search << Close(byEsc) << "200" << "Pan";
        QTest::newRow("support, button") << support << Close(byButton) << "" << "";
        for (const auto& [way, close] : kEscOrFrame)
            QTest::addRow("support, %s", way) << support << close << "" << "";
        QTest::newRow("support, frame with a product loaded") << support << Close(byFrame) << "200" << "Pan";
    }
    void chainsFromTheEditor()
    {
        QFETCH(OpenFromEditor, open);
        QFETCH(Close, close);
        QFETCH(QString, loaded);
        QFETCH(QString, name);
        SalesDriver d;
        Form1& f = d.open();
        f.edicionProductos->trigger();
        auto* editor = visibleWindow<Form2>();
        QVERIFY(editor);
        if (!loaded.isEmpty()) {
            QTest::keyClicks(editor->Text1, loaded);
            QTest::keyClick(editor->Text1, Qt::Key_Return);
        }
        Opened opened;
        open(*editor, opened);
        if (QTest::currentTestFailed())
            return;
        QVERIFY(f.isHidden()); // the sales window waits for the editor, not for this window
        QVERIFY(!visibleWindow<Form1>());

        close(opened.window, opened.button);
        if (QTest::currentTestFailed())
            return;
        flushClosedWindows();
        QVERIFY(!visibleWindow<ProductSearch>() && !visibleWindow<Form13>());
        QVERIFY(f.isHidden());
        QVERIFY(editor->isVisible() && editor->isEnabled());
        QCOMPARE(editor->Text2->text(), name);
        // With a product shown the cursor is on its name, for the next change; else on the code.
        QVERIFY(hasCursor(name.isEmpty() ? editor->Text1 : editor->Text2));

        // The editor itself goes with Esc, and the sales window comes back with the cursor in its
        // code box.
        pressEsc(editor);
        flushClosedWindows();
        QVERIFY(f.isVisible());
        QVERIFY(QTest::qWaitForWindowActive(&f));
        QVERIFY(hasCursor(f.Text7));
    }

    void noWindowHasAnInvisibleTabStop_data()
    {
        QTest::addColumn<QString>("entry");
        for (const char* entry : {"", "edicionProductos", "stock", "recaudacion"})
            QTest::newRow(*entry ? entry : "sales window") << QString::fromLatin1(entry);
    }
    void noWindowHasAnInvisibleTabStop()
    {
        QFETCH(QString, entry);
        SalesDriver d;
        Form1& f = d.open();
        QWidget* window = &f;
        if (!entry.isEmpty()) {
            f.findChild<QAction*>(entry)->trigger();
            window = shownWindow("QMainWindow", &f);
            QVERIFY(window);
        }
        QVERIFY(QTest::qWaitForWindowActive(window));
        QVERIFY(QApplication::focusWidget());
        for (int i = 0; i < 30; ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QWidget* stop = QApplication::focusWidget();
            QVERIFY(stop);
            QVERIFY2(!dynamic_cast<PanelHost*>(stop) && stop->isVisible(), qPrintable(stop->objectName()));
        }
    }

    void enterOnAnEditorRowLoadsItsProduct()
    {
        SalesDriver d;
        d.open().edicionProductos->trigger();
        auto* editor = visibleWindow<Form2>();
        QVERIFY(editor);
        QVERIFY(QTest::qWaitForWindowActive(editor));
        editor->ListView1->setFocus();
        QTest::keyClick(editor->ListView1, Qt::Key_Return); // nothing chosen yet: nothing loaded
        QVERIFY(editor->Text2->text().isEmpty());
        QTest::keyClick(editor->ListView1, Qt::Key_Down); // the first row, Leche (by name)
        QTest::keyClick(editor->ListView1, Qt::Key_Return);
        QCOMPARE(editor->Text1->text(), QStringLiteral("100"));
        QCOMPARE(editor->Text2->text(), QStringLiteral("Leche"));
        QVERIFY(hasCursor(editor->Text2));
        editor->ListView1->setFocus();
        QTest::keyClick(editor->ListView1, Qt::Key_Down);
        QTest::keyClick(editor->ListView1, Qt::Key_Return);
        QCOMPARE(editor->Text2->text(), QStringLiteral("Pan"));
    }
};

QTEST_MAIN(TestWindowChains)
#include "test_window_chains.moc"
