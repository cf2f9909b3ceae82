// The stock report on a temporary shop: the searches and their matching, the critical-stock rule
// and colours, the cells and the investment total in both number formats, and the stock window
// driven through its real controls.
#include "catalogue/stock_report.h"
#include "catalogue/stock_window.h"
#include "data/database.h"
#include "sales/sales_window.h"
#include "support/sales_driver.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTreeView>

using namespace tarvino;
using namespace tarvino::test;

namespace {

// A catalogue whose names and categories try the matching: letter case, accents, wildcards, quotes.
void fillShop(TempShop& shop)
{
    const ProductRow rows[] = {
        {"101", "Leche Entera", 10, 700, 990, 5, "Lácteos"},
        {"102", "leche descremada", 5, 650, 950, 5, "LÁCTEOS"},
        {"103", "Dulce de LECHE", 6, 900, 1500, 5, "Abarrotes"},
        {"201", "Ñandú de peluche", 2, 3000, 5000, 1, "Juguetes"},
        {"202", "ñandutí", 9, 100, 200, 1, "juguetes"},
        {"301", "Descuento 50%", 1, 0, 0, 0, "Ofertas"},
        {"302", "Descuento 500", 1, 0, 0, 0, "Ofertas"},
        {"303", "Caja a_b", 1, 10, 20, 0, "Ofertas"},
        {"304", "Caja axb", 1, 10, 20, 0, "Ofertas"},
        {"305", "Vino O'Higgins", 12, 2500, 4000, 3, "Bebidas"},
        {"306", "Pack 2*3", 4, 100, 150, 0, "Bebidas"},
        {"ab7", "Zapallo", 3, 500, 800, 0, "Verduras"}, // a code from before the code box took digits only
    };
    for (const ProductRow& row : rows)
        shop.addProduct(row);
}

QStringList codes(const StockList& list)
{
    QStringList all;
    for (qsizetype row = 0; row < list.size(); ++row)
        all << list.text(row, StockList::Code);
    return all;
}

QStringList cells(const StockList& list, qsizetype row)
{
    QStringList all;
    for (int column = 0; column < StockList::kColumns; ++column)
        all << list.text(row, column);
    return all;
}

// One of the stock searches: by name, by code or by category.
using Search = StockList (*)(Database& db, const QString& typed);

} // namespace

Q_DECLARE_METATYPE(Search)

class TestStock : public QObject {
    Q_OBJECT

private slots:
    void init() { QLocale::setDefault(kChile); }

    void searches_data()
    {
        QTest::addColumn<Search>("search");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QStringList>("expected"); // codes in list order
        const auto row = [](const char* name, Search search, const char* typed, QStringList expected) {
            QTest::newRow(name) << search << QString::fromUtf8(typed) << expected;
        };
        const Search name = stockByName;
        const Search code = stockByCode;
        const Search category = stockByCategory;
        // Name order is the stored text's order: upper-case letters before lower-case ones.
        row("name, any letter case", name, "lEcHe", {"103", "101", "102"});
        row("name, accented capital", name, "ÑAND", {"201", "202"});
        row("name, accents count", name, "ÑANDÚ", {"201"});
        row("name, % is a plain character", name, "50%", {"301"});
        row("name, _ is a plain character", name, "a_b", {"303"});
        row("name, a quote", name, "O'Higgins", {"305"});
        row("name, nothing", name, "pescado", {});
        // "*" is every product once, also the one with "*" in its name.
        row("name, * lists every product", name, "*",
            {"303", "304", "301", "302", "103", "101", "306", "305", "ab7", "102", "201", "202"});
        row("code, exact", code, "305", {"305"});
        row("code, a part finds nothing", code, "30", {});
        row("code, letters in another case", code, "AB7", {"ab7"});
        row("category, other letter case", category, "bebidas", {"306", "305"});
        row("category, accented capital", category, "lácteos", {"101", "102"});
        row("category, none of that name", category, "Carnes", {});
    }
    void searches()
    {
        QFETCH(Search, search);
        QFETCH(QString, typed);
        QFETCH(QStringList, expected);
        TempShop shop;
        fillShop(shop);
        const StockList list = search(shop.db, typed);
        QCOMPARE(codes(list), expected);
        QCOMPARE(list.look(), StockList::Look::Plain);
        // The investment of the products listed, and of no other.
        QCOMPARE(list.investmentTotal(),
                 shop.scalar(QStringLiteral("select coalesce(sum(Cantidad * PrecioCosto), 0) from Productos "
                                            "where CodigoProducto in ('%1')")
                                 .arg(expected.join(QStringLiteral("','"))))
                     .toDouble());
        for (qsizetype row = 0; row < list.size(); ++row)
            QCOMPARE(list.text(row, StockList::Item), QString::number(row + 1));
    }

    void critical_data()
    {
        QTest::addColumn<QString>("quantity"); // SQL literal
        QTest::addColumn<QString>("level");
        QTest::addColumn<bool>("listed");
        QTest::newRow("equal") << "5" << "5" << true;
        QTest::newRow("one above") << "6" << "5" << false;
        QTest::newRow("fraction above") << "5.25" << "5" << false;
        QTest::newRow("negative") << "-2" << "0" << true;
        QTest::newRow("empty quantity") << "null" << "5" << false;
        // Text in a number column: the file's columns take it, a server's refuse it.
        if (!onServer())
            QTest::newRow("text quantity") << "'mucho'" << "5" << false;
        QTest::newRow("empty level") << "1" << "null" << false;
    }
    void critical()
    {
        QFETCH(QString, quantity);
        QFETCH(QString, level);
        QFETCH(bool, listed);
        TempShop shop;
        shop.addProduct({"1", "Arroz", 100, 800, 1200, 3, "Abarrotes"}); // never critical
        shop.addProduct({"2", "Aceite", 1, 800, 1200, 3, "Abarrotes"});  // always critical
        shop.db.execute(QStringLiteral("update Productos set Cantidad = %1, StockCritico = %2 "
                                       "where CodigoProducto = '1'")
                            .arg(quantity, level));
        const StockList list = criticalStock(shop.db);
        QCOMPARE(codes(list), (listed ? QStringList{"2", "1"} : QStringList{"2"}));
        QCOMPARE(list.look(), StockList::Look::Critical);
    }

    void cellsAndTotal_data()
    {
        QTest::addColumn<bool>("comma");
        QTest::addColumn<QString>("update"); // SQL assignments for product "1"
        QTest::addColumn<QStringList>("row");
        QTest::addColumn<QString>("caption");
        // Product "2" adds 10 × 100 to every total.
        QTest::newRow("fractions, comma") << true << "Cantidad = 3, PrecioCosto = 2.5, PrecioVenta = 2.5"
            << QStringList{"1", "1", "Uno", "3", "2,5", "2,5", "Varios", "7,5", "7,5"}
            << "Total de Inversión $ 1.007,5";
        QTest::newRow("fractions, point") << false << "Cantidad = 3, PrecioCosto = 2.5, PrecioVenta = 2.5"
            << QStringList{"1", "1", "Uno", "3", "2.5", "2.5", "Varios", "7.5", "7.5"}
            << "Total de Inversión $ 1,007.5";
        QTest::newRow("large numbers, comma") << true << "Cantidad = 1500, PrecioCosto = 1234.5, PrecioVenta = 2000"
            << QStringList{"1", "1", "Uno", "1500", "1234,5", "2000", "Varios", "1851750", "3000000"}
            << "Total de Inversión $ 1.852.750,";
        QTest::newRow("empty quantity") << true << "Cantidad = null"
            << QStringList{"1", "1", "Uno", "", "2", "4", "Varios", "", ""} << "Total de Inversión $ 1.000,";
        QTest::newRow("empty cost price") << false << "PrecioCosto = null"
            << QStringList{"1", "1", "Uno", "3", "", "4", "Varios", "", "12"} << "Total de Inversión $ 1,000.";
        if (!onServer()) // text in a number column, the file's alone
            QTest::newRow("text for a quantity") << true << "Cantidad = 'tres'"
                << QStringList{"1", "1", "Uno", "tres", "2", "4", "Varios", "", ""} << "Total de Inversión $ 1.000,";
        QTest::newRow("empty code and category") << true << "CodigoProducto = null, Categoria = null"
            << QStringList{"1", "", "Uno", "3", "2", "4", "", "6", "12"} << "Total de Inversión $ 1.006,";
    }
    void cellsAndTotal()
    {
        QFETCH(bool, comma);
        QFETCH(QString, update);
        QFETCH(QStringList, row);
        QFETCH(QString, caption);
        QLocale::setDefault(comma ? kChile : QLocale::c());
        TempShop shop;
        shop.addProduct({"1", "Uno", 3, 2, 4, 0, "Varios"});
        shop.addProduct({"2", "Zeta", 10, 100, 150, 0, "Varios"});
        shop.db.execute(QStringLiteral("update Productos set %1 where NombreProducto = 'Uno'").arg(update));
        const StockList list = stockByName(shop.db, QStringLiteral("*"));
        QCOMPARE(list.size(), 2);
        QCOMPARE(cells(list, 0), row);
        QCOMPARE(investmentCaption(list.investmentTotal()), caption);
    }

    // The running number goes on past a 16-bit count.
    void longList()
    {
        TempShop shop;
        {
            Transaction tx(shop.db);
            for (int i = 0; i < 33'000; ++i)
                shop.addProduct({QString::number(i), QStringLiteral("P%1").arg(i, 5, 10, QLatin1Char('0')),
                                 1, 1, 1, 0, "X"});
            tx.commit();
        }
        const StockList list = stockByName(shop.db, QStringLiteral("p"));
        QCOMPARE(list.size(), 33'000);
        QCOMPARE(list.text(32'767, StockList::Item), QStringLiteral("32768"));
        QCOMPARE(list.text(32'999, StockList::Name), QStringLiteral("P32999"));
        QCOMPARE(list.investmentTotal(), 33'000.0);
    }

    void windowAtLoad()
    {
        TempShop shop;
        Form9 empty(shop.context);
        empty.Form_Load();
        for (QWidget* w : std::initializer_list<QWidget*>{empty.Option1, empty.Option2, empty.Option3, empty.Text1,
                                                          empty.Text2, empty.Command2, empty.Command3, empty.Combo1,
                                                          empty.Command1})
            QVERIFY2(!w->isEnabled(), qPrintable(w->objectName()));

        fillShop(shop);
        Form9 f(shop.context);
        f.Form_Load();
        QVERIFY(f.Option1->isChecked());
        QVERIFY(f.Text1->isEnabled() && !f.Text2->isEnabled() && !f.Combo1->isEnabled() && !f.Command1->isEnabled());
    }

    // Each refusal: its message, an empty list, the total where one is shown, and Exportar.
    void windowFlows()
    {
        TempShop shop;
        fillShop(shop);
        Form9 f(shop.context);
        f.Form_Load();
        f.show();
        const auto messages = [&] {
            const QStringList texts = shop.messages.texts();
            shop.messages.clear();
            return texts;
        };

        QTest::keyClicks(f.Text1, QStringLiteral("leche"));
        QTest::keyClick(f.Text1, Qt::Key_Return);
        // The report's cells as the list shows them, column by column.
        QCOMPARE(shownRows(f.ListView1->model()),
                 (QStringList{"1|103|Dulce de LECHE|6|900|1500|Abarrotes|5400|9000",
                              "2|101|Leche Entera|10|700|990|Lácteos|7000|9900",
                              "3|102|leche descremada|5|650|950|LÁCTEOS|3250|4750"}));
        // The plain list has a colour of its own; the critical one (below) the window's.
        const QColor plainBase = f.ListView1->palette().color(QPalette::Base);
        QVERIFY(plainBase != QApplication::palette().color(QPalette::Base));
        QVERIFY(f.Command1->isEnabled());
        QCOMPARE(f.Text1->text(), QStringLiteral("leche")); // Enter did not reach the box
        QCOMPARE(f.Label2->text(), QStringLiteral("Total de Inversión $ 15.650,"));

        // Code mode keeps the rows and Exportar; the code box takes digits only.
        QTest::mouseClick(f.Option2, Qt::LeftButton);
        QCOMPARE(f.stockRows().size(), 3);
        QVERIFY(f.Command1->isEnabled() && f.Text2->isEnabled() && !f.Text1->isEnabled());
        QTest::keyClicks(f.Text2, QStringLiteral("3a0-5"));
        QCOMPARE(f.Text2->text(), QStringLiteral("305"));
        QTest::mouseClick(f.Command2, Qt::LeftButton);
        QCOMPARE(codes(f.stockRows()), QStringList{"305"});
        QCOMPARE(f.Text2->text(), QString());
        QTest::keyClicks(f.Text2, QStringLiteral("30"));
        QTest::keyClick(f.Text2, Qt::Key_Return);
        QCOMPARE(messages(), QStringList{stockMessages::kNoEncontrado});
        QVERIFY(f.stockRows().isEmpty() && !f.Command1->isEnabled() && f.Text2->text().isEmpty());
        f.Command2_Click();
        QCOMPARE(messages(), QStringList{stockMessages::kCodigoVacio});
        QCOMPARE(f.Label2->text(), QStringLiteral("Total de Inversión $ ,"));

        // Name mode: an empty name leaves Exportar as it was.
        QTest::mouseClick(f.Option1, Qt::LeftButton);
        f.Text1->setText(QStringLiteral("vino"));
        f.Command2_Click();
        QVERIFY(f.Command1->isEnabled());
        f.Text1->clear();
        f.Command2_Click();
        QCOMPARE(messages(), QStringList{stockMessages::kNombreVacio});
        QVERIFY(f.stockRows().isEmpty() && f.Command1->isEnabled());
        f.Text1->setText(QStringLiteral("pescado"));
        f.Command2_Click();
        QCOMPARE(messages(), QStringList{stockMessages::kNoEncontrado});
        QVERIFY(f.Text1->text().isEmpty() && !f.Command1->isEnabled());

        // Category mode: the categories in use, none chosen until the user picks one.
        QTest::mouseClick(f.Option3, Qt::LeftButton);
        QCOMPARE(f.Combo1->count(), 8);
        QCOMPARE(f.Combo1->currentIndex(), -1);
        f.Command2_Click();
        QCOMPARE(messages(), QStringList{stockMessages::kCategoriaVacia});
        f.Combo1->setCurrentIndex(f.Combo1->findText(QStringLiteral("Ofertas")));
        emit f.Combo1->activated(f.Combo1->currentIndex());
        QCOMPARE(codes(f.stockRows()), (QStringList{"303", "304", "301", "302"}));
        shop.db.execute(QStringLiteral("delete from Productos where Categoria = 'Bebidas'"));
        f.Combo1->setCurrentIndex(f.Combo1->findText(QStringLiteral("Bebidas")));
        emit f.Combo1->activated(f.Combo1->currentIndex());
        QCOMPARE(messages(), QStringList{stockMessages::kCategoriaSinProductos});
        QVERIFY(!f.Command1->isEnabled());

        // Stock Crítico: red on the window colour, no total, and the category option let go.
        QTest::mouseClick(f.Command3, Qt::LeftButton);
        QCOMPARE(codes(f.stockRows()), QStringList{"102"});
        QCOMPARE(f.ListView1->palette().color(QPalette::Text), QColor(0xFF, 0, 0));
        QCOMPARE(f.ListView1->palette().color(QPalette::Base), QApplication::palette().color(QPalette::Base));
        QVERIFY(f.Label2->text().isEmpty() && f.Command1->isEnabled() && f.Combo1->count() == 0);
        QVERIFY(!f.Option1->isChecked() && !f.Option2->isChecked() && !f.Option3->isChecked());
        f.Command2_Click();
        QCOMPARE(messages(), QStringList{stockMessages::kCategoriaVacia});

        shop.db.execute(QStringLiteral("update Productos set StockCritico = -1"));
        f.Command3_Click();
        QCOMPARE(messages(), QStringList{stockMessages::kSinCriticos});
        QVERIFY(f.stockRows().isEmpty() && !f.Command1->isEnabled());

        // A search after it brings the list's own colours back.
        QTest::mouseClick(f.Option1, Qt::LeftButton);
        f.Text1->setText(QStringLiteral("leche"));
        f.Command2_Click();
        QCOMPARE(f.stockRows().size(), 3);
        QCOMPARE(f.ListView1->palette().color(QPalette::Base), plainBase);
        QVERIFY(f.ListView1->palette().color(QPalette::Text) != QColor(0xFF, 0, 0));
    }

    void openedFromTheMenuInPlaceOfTheSalesWindow()
    {
        SalesDriver d;
        Form1& sales = d.open();
        sales.stock->trigger();
        Form9* opened = visibleWindow<Form9>();
        QVERIFY(opened);
        QVERIFY(sales.isHidden());
        QTRY_COMPARE(QApplication::focusWidget(), opened->Text1);
        opened->close();
        flushClosedWindows();
        QVERIFY(sales.isVisible());
        QVERIFY(!visibleWindow<Form9>());
    }
};

QTEST_MAIN(TestStock)
#include "test_stock.moc"
