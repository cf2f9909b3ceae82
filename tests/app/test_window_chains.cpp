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

void closeBy(QWidget* window, const QString& way, QPushButton* button = nullptr)
{
    if (way == QLatin1String("button"))
        QTest::mouseClick(button, Qt::LeftButton);
    else if (way == QLatin1String("esc"))
        pressEsc(window);
    else
        window->close(); // the window frame's close button
    flushClosedWindows();
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

} // namespace

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
        QTest::addColumn<QString>("entry");
        QTest::addColumn<QString>("way");
        const char* entries[] = {"edicionProductos", "stock", "recaudacion", "ventaparcial",
                                 "usuarios", "recaudaciondeldia", "soporte"};
        for (const char* entry : entries)
            for (const char* way : {"esc", "frame"})
                QTest::addRow("%s, %s", entry, way) << QString::fromLatin1(entry) << QString::fromLatin1(way);
    }
    void salesWindowGetsTheCursorBack()
    {
        QFETCH(QString, entry);
        QFETCH(QString, way);
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
            closeBy(opened, way);
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
        QTest::addColumn<QString>("window");
        QTest::addColumn<QString>("way");
        QTest::addColumn<bool>("quantityEntry");
        for (const char* window : {"Form5", "Form11"})
            for (const char* way : {"esc", "frame"}) {
                QTest::addRow("%s, %s", window, way) << window << way << false;
                QTest::addRow("%s, %s, code waiting for its quantity", window, way) << window << way << true;
            }
    }
    void disabledCallerGetsTheCursorBack()
    {
        QFETCH(QString, window);
        QFETCH(QString, way);
        QFETCH(bool, quantityEntry);
        SalesDriver d;
        Form1& f = d.open();
        d.typeCode(QStringLiteral("100"));
        if (quantityEntry) {
            d.setManual(true);
            d.typeCode(QStringLiteral("200"));
        }
        f.Check1->setFocus(); // where a click on "Cantidad Manual" leaves it
        QWidget* opened = window == QLatin1String("Form5") ? static_cast<QWidget*>(&d.pay())
                                                            : f.openSearch();
        QVERIFY(!f.isEnabled());
        strayActivation(&f);
        closeBy(opened, way);
        QVERIFY(f.isEnabled() && f.Frame2->isEnabled());
        QVERIFY(hasCursor(quantityEntry ? f.Text8 : f.Text7));
    }

    void aDisablingWindowStaysAboveItsCaller_data()
    {
        QTest::addColumn<QString>("window");
        QTest::newRow("payment") << "Form5";
        QTest::newRow("search from the sales window") << "Form11";
        QTest::newRow("search from the editor") << "Form10";
    }
    void aDisablingWindowStaysAboveItsCaller()
    {
        QFETCH(QString, window);
        SalesDriver d;
        Form1& f = d.open();
        d.typeCode(QStringLiteral("100"));
        OwnerAtShow watch(window);
        QWidget* caller = &f;
        QWidget* opened = nullptr;
        if (window == QLatin1String("Form5")) {
            opened = &d.pay();
        } else if (window == QLatin1String("Form11")) {
            opened = f.openSearch();
        } else {
            f.edicionProductos->trigger();
            auto* editor = qobject_cast<Form2*>(shownWindow("tarvino::Form2"));
            QVERIFY(editor);
            caller = editor;
            opened = editor->openSearch();
        }
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
        QTest::addColumn<QString>("child");
        QTest::addColumn<QString>("way");
        QTest::addColumn<bool>("loaded");
        for (const char* way : {"choice", "esc", "frame"})
            QTest::addRow("search, %s", way) << "Form10" << way << false;
        QTest::newRow("search, Esc with a product loaded") << "Form10" << "esc" << true;
        for (const char* way : {"button", "esc", "frame"})
            QTest::addRow("support, %s", way) << "Form13" << way << false;
        QTest::newRow("support, frame with a product loaded") << "Form13" << "frame" << true;
    }
    void chainsFromTheEditor()
    {
        QFETCH(QString, child);
        QFETCH(QString, way);
        QFETCH(bool, loaded);
        SalesDriver d;
        Form1& f = d.open();
        f.edicionProductos->trigger();
        auto* editor = qobject_cast<Form2*>(shownWindow("tarvino::Form2"));
        QVERIFY(editor);
        if (loaded) {
            QTest::keyClicks(editor->Text1, QStringLiteral("200"));
            QTest::keyClick(editor->Text1, Qt::Key_Return);
        }
        QWidget* opened = nullptr;
        QPushButton* button = nullptr;
        if (child == QLatin1String("Form10")) {
            QTest::mouseClick(editor->Command7, Qt::LeftButton);
            opened = shownWindow("tarvino::ProductSearch");
            QVERIFY(opened && !editor->isEnabled());
        } else {
            QTest::mouseClick(editor->Command1, Qt::LeftButton);
            auto* support = qobject_cast<Form13*>(shownWindow("tarvino::Form13"));
            QVERIFY(support && editor->isHidden());
            QCOMPARE(support->Text1, QStringLiteral("1"));
            opened = support;
            button = support->Command1;
        }
        QVERIFY(f.isHidden()); // the sales window waits for the editor, not for this window
        QVERIFY(!shownWindow("tarvino::Form1"));

        if (way == QLatin1String("choice")) {
            auto* search = static_cast<ProductSearch*>(opened);
            QVERIFY(QTest::qWaitForWindowActive(search));
            QTest::keyClicks(search->Text1, QStringLiteral("lech"));
            flushClosedWindows();
            QTest::keyClick(search->Text1, Qt::Key_Tab);
            QVERIFY(hasCursor(search->List1));
            // The only match, chosen by keys alone.
            QTest::keyClick(search->List1, Qt::Key_Down);
            QTest::keyClick(search->List1, Qt::Key_Return);
            flushClosedWindows();
        } else {
            closeBy(opened, way, button);
        }
        QVERIFY(!shownWindow("tarvino::ProductSearch") && !shownWindow("tarvino::Form13"));
        QVERIFY(f.isHidden());
        QVERIFY(editor->isVisible() && editor->isEnabled());
        const bool productLoaded = loaded || way == QLatin1String("choice");
        if (way == QLatin1String("choice"))
            QCOMPARE(editor->Text2->text(), QStringLiteral("Leche"));
        QVERIFY(hasCursor(productLoaded ? editor->Text2 : editor->Text1));

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
        auto* editor = qobject_cast<Form2*>(shownWindow("tarvino::Form2"));
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
