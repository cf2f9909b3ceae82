// The product search windows and the support window, driven through the real windows and callers.
#include "app/support_window.h"
#include "catalogue/editor_window.h"
#include "sales/search_window.h"
#include "support/sales_driver.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include <functional>

using namespace tarvino;
using namespace tarvino::test;

namespace {
// The window a search is opened from: the sales window (the search is Form11) or the product
// editor (Form10).
enum class Caller { Sales, Editor };

// A sales window or a product editor on a shop with names that trip up a plain LIKE: wildcards,
// a quote, an accent, and two names that differ only in case.
struct Session {
    explicit Session(Caller from = Caller::Sales)
    {
        const char* names[][2] = {{"300", "PAN"},          {"400", "Café 100% puro"},
                                  {"500", "Agua_Mineral"}, {"600", "Galletas O'Neil"},
                                  {"700", "Aceite 1000cc"}, {"800", "Palmitos"}};
        for (const auto& [code, name] : names)
            d.shop.addProduct({QString::fromUtf8(code), QString::fromUtf8(name)});
        if (from == Caller::Sales) {
            caller = &d.open();
        } else {
            editor = std::make_unique<Form2>(d.shop.context);
            editor->Form_Load();
            editor->show();
            caller = editor.get();
        }
    }
    ~Session() { delete search.data(); }

    // Work in hand when the search is opened: a line in the sale, the cursor left on the search
    // button by a click; the editor has nothing loaded.
    void busy()
    {
        if (!editor) {
            d.typeCode(QStringLiteral("100"));
            d.form->Command3->setFocus();
        }
    }
    // What the caller shows, to compare before and after a search that chose nothing.
    QStringList callerShows() const
    {
        return editor ? QStringList{editor->Text1->text(), editor->Text2->text()} : d.saleList();
    }
    // Where the next scan or keystroke belongs once the search is gone.
    QWidget* entryBox() const { return editor ? editor->Text1 : d.form->Text7; }

    ProductSearch& open()
    {
        if (editor)
            search = editor->openSearch();
        else
            search = d.form->openSearch();
        (void)QTest::qWaitForWindowActive(search);
        return *search;
    }

    SalesDriver d;
    std::unique_ptr<Form2> editor;
    QWidget* caller = nullptr;
    QPointer<ProductSearch> search;
};

void type(ProductSearch& s, const QString& text)
{
    QTest::keyClicks(s.Text1, text);
    flushClosedWindows();
}

QStringList shown(const ProductSearch& s)
{
    QStringList names;
    for (int row = 0; row < s.List1->model()->rowCount(); ++row)
        names << s.List1->model()->index(row, 0).data().toString();
    return names;
}

QStringList sorted(QStringList names)
{
    names.sort();
    return names;
}

void choose(ProductSearch& s, const QString& name)
{
    s.List1->setFocus();
    s.List1->setCurrentIndex(s.List1->model()->index(int(shown(s).indexOf(name)), 0));
    QTest::keyClick(s.List1, Qt::Key_Return);
    flushClosedWindows();
}
// One way the search goes without a choice.
using CloseSearch = std::function<void(ProductSearch&)>;
// One way the support window goes.
using CloseSupport = std::function<void(Form13&)>;
} // namespace

Q_DECLARE_METATYPE(Caller)
Q_DECLARE_METATYPE(CloseSearch)
Q_DECLARE_METATYPE(CloseSupport)

class TestSearch : public QObject {
    Q_OBJECT

private slots:
    void init() { QLocale::setDefault(kChile); }

    void openingShowsAnEmptyList_data()
    {
        QTest::addColumn<Caller>("caller");
        QTest::newRow("sales") << Caller::Sales;
        QTest::newRow("editor") << Caller::Editor;
    }
    void openingShowsAnEmptyList()
    {
        QFETCH(Caller, caller);
        Session session(caller);
        ProductSearch& s = session.open();
        QCOMPARE(s.List1->model()->rowCount(), 0);
        QVERIFY(s.List1->uniformItemSizes());
        QTRY_VERIFY(s.Text1->hasFocus());
        QVERIFY(!session.caller->isEnabled());
    }

    void typedTextMatchesLiterally_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QStringList>("expected");
        const QStringList withP{"Café 100% puro", "PAN", "Palmitos", "Pan"};
        QTest::newRow("lower-case letter") << "p" << withP;
        QTest::newRow("upper-case letter") << "P" << withP;
        QTest::newRow("percent sign") << "100%" << QStringList{"Café 100% puro"};
        QTest::newRow("underscore") << "a_m" << QStringList{"Agua_Mineral"};
        QTest::newRow("quote") << "o'n" << QStringList{"Galletas O'Neil"};
        QTest::newRow("accented capital") << "CAFÉ" << QStringList{"Café 100% puro"};
    }
    void typedTextMatchesLiterally()
    {
        QFETCH(QString, typed);
        QFETCH(QStringList, expected);
        Session session;
        ProductSearch& s = session.open();
        type(s, typed);
        QCOMPARE(sorted(shown(s)), expected);
    }

    void everyKeyReleaseRefreshes()
    {
        Session session;
        ProductSearch& s = session.open();
        QSignalSpy resets(s.List1->model(), &QAbstractItemModel::modelReset);
        type(s, QStringLiteral("pzz"));
        QVERIFY(shown(s).isEmpty());
        QCOMPARE(resets.count(), 1); // keys typed in one go make one search
        for (int i = 0; i < 3; ++i)
            QTest::keyClick(s.Text1, Qt::Key_Backspace);
        flushClosedWindows();
        QCOMPARE(shown(s).size(), 8); // the empty text lists every product
        s.Text1->setText(QStringLiteral("lech"));
        QTest::keyClick(s.Text1, Qt::Key_Left);
        flushClosedWindows();
        QCOMPARE(shown(s), QStringList{"Leche"});
    }

    void closingGivesTheCallerBack_data()
    {
        QTest::addColumn<Caller>("caller");
        QTest::addColumn<CloseSearch>("close");
        const std::pair<const char*, CloseSearch> ways[] = {
            {"Esc in Text1", [](ProductSearch& s) { QTest::keyClick(s.Text1, Qt::Key_Escape); }},
            {"Esc in List1",
             [](ProductSearch& s) {
                 QTest::keyClick(s.List1, Qt::Key_Down);
                 QTest::keyClick(s.List1, Qt::Key_Escape);
             }},
            {"window frame", [](ProductSearch& s) { s.close(); }}};
        for (const auto& [window, caller] : {std::pair{"Form11", Caller::Sales}, std::pair{"Form10", Caller::Editor}})
            for (const auto& [way, close] : ways)
                QTest::addRow("%s, %s", window, way) << caller << close;
    }
    void closingGivesTheCallerBack()
    {
        QFETCH(Caller, caller);
        QFETCH(CloseSearch, close);
        Session session(caller);
        session.busy();
        const QStringList before = session.callerShows();
        ProductSearch& s = session.open();
        type(s, QStringLiteral("p"));
        close(s);
        flushClosedWindows();
        QVERIFY(!session.search);
        QVERIFY(session.caller->isEnabled());
        QCOMPARE(session.callerShows(), before);
        QTRY_VERIFY(session.entryBox()->hasFocus());
    }

    void enterWithoutAProductDoesNothing_data()
    {
        QTest::addColumn<bool>("select");
        QTest::newRow("nothing selected") << false;
        QTest::newRow("product deleted since listed") << true;
    }
    void enterWithoutAProductDoesNothing()
    {
        QFETCH(bool, select);
        Session session;
        ProductSearch& s = session.open();
        type(s, QStringLiteral("pal"));
        s.List1->setFocus();
        if (select) {
            QTest::keyClick(s.List1, Qt::Key_P);
            QVERIFY(s.List1->selectionModel()->hasSelection());
            session.d.shop.db.execute(QStringLiteral("delete from Productos where CodigoProducto = '800'"));
        }
        QTest::keyClick(s.List1, Qt::Key_Return);
        flushClosedWindows();
        QVERIFY(session.search);
        QVERIFY(!session.caller->isEnabled());
        QVERIFY(session.d.form->Text7->text().isEmpty());
    }

    void handOverToTheSale_data()
    {
        QTest::addColumn<bool>("manual");
        QTest::addColumn<bool>("deduction");
        QTest::addColumn<QString>("quantity");
        QTest::addColumn<QString>("sale");
        QTest::newRow("manual unticked") << false << false << "2" << "100|Leche|5|990|4950";
        QTest::newRow("manual ticked") << true << false << "2" << "100|Leche|5|990|4950";
        QTest::newRow("deduction on") << true << true << "1" << "100|Leche|2|990|1980";
        QTest::newRow("quantity 0") << false << false << "0" << "100|Leche|3|990|2970";
    }
    void handOverToTheSale()
    {
        QFETCH(bool, manual);
        QFETCH(bool, deduction);
        QFETCH(QString, quantity);
        QFETCH(QString, sale);
        Session session;
        SalesDriver& d = session.d;
        for (int i = 0; i < 3; ++i)
            d.typeCode(QStringLiteral("100"));
        d.setManual(manual);
        if (deduction)
            QTest::keyClick(d.form->Text7, Qt::Key_F2);
        QCOMPARE(d.form->deductionMode(), deduction);

        ProductSearch& s = session.open();
        type(s, QStringLiteral("e"));
        s.List1->setFocus();
        QTest::keyClick(s.List1, Qt::Key_L); // a letter selects the first name starting with it
        QTest::keyClick(s.List1, Qt::Key_Return);
        flushClosedWindows();
        QVERIFY(!session.search);
        Form1& f = *d.form;
        QVERIFY(f.isEnabled());
        QCOMPARE(f.Text7->text(), QStringLiteral("100"));
        QVERIFY(!f.Text7->isEnabled());
        QVERIFY(f.Text8->isEnabled() && f.Text8->text().isEmpty());
        QVERIFY(f.Check1->isChecked() && !f.Check1->isEnabled());
        QCOMPARE(f.deductionMode(), deduction);
        QTRY_VERIFY(f.Text8->hasFocus());

        d.typeQuantity(quantity);
        QCOMPARE(d.saleList(), QStringList{sale});
        QVERIFY(f.Check1->isChecked());
    }

    void theChosenProductIsHandedOver_data()
    {
        QTest::addColumn<Caller>("caller");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("code");
        for (const auto& [window, caller] : {std::pair{"Form11", Caller::Sales}, std::pair{"Form10", Caller::Editor}}) {
            QTest::addRow("%s, Pan", window) << caller << "Pan" << "200";
            QTest::addRow("%s, PAN", window) << caller << "PAN" << "300";
        }
    }
    void theChosenProductIsHandedOver()
    {
        QFETCH(Caller, caller);
        QFETCH(QString, name);
        QFETCH(QString, code);
        Session session(caller);
        ProductSearch& s = session.open();
        type(s, QStringLiteral("pan"));
        QCOMPARE(sorted(shown(s)), (QStringList{"PAN", "Pan"}));
        choose(s, name);
        QVERIFY(!session.search);
        QVERIFY(session.caller->isEnabled());
        if (session.editor) {
            QCOMPARE(session.editor->Text1->text(), code);
            QCOMPARE(session.editor->Text2->text(), name); // Command6 loaded the product
        } else {
            QCOMPARE(session.d.form->Text7->text(), code);
        }
    }

    void supportWindow_data()
    {
        QTest::addColumn<QString>("text1");
        QTest::addColumn<CloseSupport>("close");
        QTest::newRow("from the menu, CERRAR")
            << "0" << CloseSupport([](Form13& form) { QTest::mouseClick(form.Command1, Qt::LeftButton); });
        QTest::newRow("from the editor, Esc") << "1" << CloseSupport([](Form13& form) {
            QTest::keyClick(&form, Qt::Key_Escape);
        });
        QTest::newRow("from the menu, window frame") << "0" << CloseSupport([](Form13& form) { form.close(); });
    }
    void supportWindow()
    {
        QFETCH(QString, text1);
        QFETCH(CloseSupport, close);
        TempShop shop;
        QWidget caller;
        caller.show();
        QPointer<Form13> form = Form13::open(&caller, shop.context, text1);
        QVERIFY(form->isVisible() && !caller.isVisible());
        QCOMPARE(form->Text1, text1);
        close(*form);
        flushClosedWindows();
        QVERIFY(!form);
        QVERIFY(caller.isVisible());
    }
};

QTEST_MAIN(TestSearch)
#include "test_search.moc"
