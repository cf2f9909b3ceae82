// The Productos table as the product editor and the search windows use it: the list in each order,
// the code box, Guardar and its refusals, Eliminar and the offer rule, the search by part of the
// name.
#include "catalogue/product_entry.h"
#include "catalogue/products.h"
#include "data/window_data.h"
#include "support/temp_shop.h"

#include <QTest>

using namespace tarvino;
using namespace tarvino::test;

namespace {

QLocale localeNamed(const QString& name)
{
    if (name == QLatin1String("ar_EG")) // digits other than 0-9
        return QLocale(QLocale::Arabic, QLocale::Egypt);
    return name == QLatin1String("C") ? QLocale::c() : kChile;
}

Product boxes(const QStringList& t)
{
    return {t[0], t[1], t[2], t[3], t[4], t[5], t[6]};
}

// One product as stored, locale-free: code|name|stock|cost|price|critical|category|offer.
QString storedRow(TempShop& shop, const QString& code)
{
    return shop.rows(QStringLiteral(
                           "select CodigoProducto, NombreProducto, Cantidad, PrecioCosto, "
                           "PrecioVenta, StockCritico, Categoria, ParteDeOferta "
                           "from Productos where CodigoProducto = '%1'")
                           .arg(code))
        .value(0)
        .toString();
}

QStringList listRow(const ProductList& list, qsizetype row)
{
    QStringList cells;
    for (int column = 0; column < ProductList::kColumns; ++column)
        cells << list.text(row, column);
    return cells;
}
} // namespace

class TestProducts : public QObject {
    Q_OBJECT

private slots:
    void init() { QLocale::setDefault(kChile); }
    void cleanup() { QLocale::setDefault(kChile); }

    void save_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<bool>("editing");
        QTest::addColumn<QStringList>("typed"); // code, name, stock, cost, price, critical, category
        QTest::addColumn<int>("outcome");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("nameAfter");
        QTest::addColumn<QString>("stored"); // the product's row afterwards; empty: nothing written

        using O = SaveResult::Outcome;
        const QString taken = productMessages::kNombreRepetido;
        const QString missing = productMessages::kFaltanDatos;
        auto row = [](const char* tag, const char* locale, bool editing, QStringList typed, O outcome,
                      const QString& message, const char* nameAfter, const char* stored) {
            QTest::newRow(tag) << QString::fromLatin1(locale) << editing << typed << int(outcome)
                               << message << QString::fromUtf8(nameAfter) << QString::fromUtf8(stored);
        };
        row("new, trimmed, critical empty", "es_CL", false,
            {"400", "  Queso  de cabra ", "2,5", "1000", "1500", "", "Lácteos"}, O::Added, {},
            "Queso  de cabra", "400|Queso  de cabra|2.5|1000.0|1500.0|0|Lácteos|0");
        row("change", "es_CL", true, {"200", " Pan amasado", "3", "0", "0,5", "7", "Panadería"},
            O::Changed, {}, "Pan amasado", "200|Pan amasado|3.0|0.0|0.5|7|Panadería|0");
        row("own name kept", "es_CL", true, {"100", "Leche", "1", "2", "3", "32767", "General"},
            O::Changed, {}, "Leche", "100|Leche|1.0|2.0|3.0|32767|General|0");
        row("rename to another's name in other case", "es_CL", true,
            {"100", "PAN", "1", "2", "3", "4", "General"}, O::Changed, {}, "PAN",
            "100|PAN|1.0|2.0|3.0|4|General|0");
        row("new, name differing in case", "es_CL", false, {"400", "pan", "1", "2", "3", "", "X"},
            O::Added, {}, "pan", "400|pan|1.0|2.0|3.0|0|X|0");
        row("new, taken name", "es_CL", false, {"400", "Pan", "1", "2", "3", "", "X"},
            O::DuplicateName, taken, "Pan", "");
        row("new, taken name of the same code", "es_CL", false, {"200", "Pan", "1", "2", "3", "", "X"},
            O::DuplicateName, taken, "Pan", "");
        row("new, taken name once trimmed", "es_CL", false, {"400", "  Pan ", "1", "2", "3", "", "X"},
            O::DuplicateName, taken, "Pan", "");
        row("rename to another's name", "es_CL", true, {"100", "Vino tinto", "1", "2", "3", "", "X"},
            O::DuplicateName, taken, "Vino tinto", "");
        row("taken name before a bad number", "es_CL", false, {"400", "Pan", "1,,5", "2", "3", "", "X"},
            O::DuplicateName, taken, "Pan", "");
        row("name of spaces only", "es_CL", false, {"400", "   ", "1", "2", "3", "", "X"},
            O::MissingData, missing, "", "");
        row("no code", "es_CL", false, {"", " Queso ", "1", "2", "3", "", "X"}, O::MissingData,
            missing, " Queso ", "");
        row("no name", "es_CL", false, {"400", "", "1", "2", "3", "", "X"}, O::MissingData, missing, "", "");
        row("no stock", "es_CL", false, {"400", "Queso", "", "2", "3", "", "X"}, O::MissingData, missing,
            "Queso", "");
        row("no cost", "es_CL", true, {"100", "Leche", "1", "", "3", "", "X"}, O::MissingData, missing,
            "Leche", "");
        row("no price", "es_CL", false, {"400", "Queso", "1", "2", "", "", "X"}, O::MissingData, missing,
            "Queso", "");
        row("no category", "es_CL", false, {"400", "Queso", "1", "2", "3", "", ""}, O::MissingData,
            missing, "Queso", "");
        row("two separators", "es_CL", false, {"400", "Queso", "1,,5", "2", "3", "", "X"}, O::BadNumber,
            "El valor «1,,5» de «Cantidad» no es un número válido.", "Queso", "");
        row("lone separator", "es_CL", true, {"100", "Leche", "1", ",", "3", "", "X"}, O::BadNumber,
            "El valor «,» de «Precio Costo» no es un número válido.", "Leche", "");
        row("full stop under a decimal comma", "es_CL", false, {"400", "Queso", "1", "2", "1.5", "", "X"},
            O::BadNumber, "El valor «1.5» de «Precio Venta» no es un número válido.", "Queso", "");
        row("critical beyond 16 bits", "es_CL", false, {"400", "Queso", "1", "2", "3", "40000", "X"},
            O::BadNumber,
            "El valor «40000» de «Stock Crítico» debe ser un número entero entre -32768 y 32767.",
            "Queso", "");
        row("typed quantity rounded", "es_CL", false,
            {"400", "Queso", ",0000004", "2", "3", "", "X"}, O::Added, {}, "Queso",
            "400|Queso|0.0|2.0|3.0|0|X|0");
        row("decimal point in C", "C", false, {"400", "Queso", "1.5", "0.25", "3", "", "X"}, O::Added,
            {}, "Queso", "400|Queso|1.5|0.25|3.0|0|X|0");
        row("comma in C", "C", false, {"400", "Queso", "1,5", "2", "3", "", "X"}, O::BadNumber,
            "El valor «1,5» de «Cantidad» no es un número válido.", "Queso", "");
        row("lone point in C", "C", false, {"400", "Queso", "1", "2", ".", "", "X"}, O::BadNumber,
            "El valor «.» de «Precio Venta» no es un número válido.", "Queso", "");
        row("changed product gone", "es_CL", true, {"999", "Queso", "1", "2", "3", "", "X"}, O::Vanished,
            "El producto de código «999» ya no existe.", "Queso", "");
    }

    void save()
    {
        QFETCH(QString, locale);
        QFETCH(bool, editing);
        QFETCH(QStringList, typed);
        QFETCH(int, outcome);
        QFETCH(QString, message);
        QFETCH(QString, nameAfter);
        QFETCH(QString, stored);
        QLocale::setDefault(localeNamed(locale));
        TempShop shop;
        shop.addProduct({QStringLiteral("100"), QStringLiteral("Leche")});
        shop.addProduct({QStringLiteral("200"), QStringLiteral("Pan")});
        shop.addProduct({QStringLiteral("300"), QStringLiteral("Vino tinto")});
        const QString before = shop.dump();
        const QString othersSql = QStringLiteral("select NombreProducto, Cantidad from Productos "
                                                 "where CodigoProducto <> '%1' order by rowid")
                                      .arg(typed[0]);
        const QVariantList othersBefore = shop.rows(othersSql);

        const SaveResult result = saveProduct(shop.db, boxes(typed), editing);
        QCOMPARE(int(result.outcome), outcome);
        QCOMPARE(result.message, message);
        QCOMPARE(result.name, nameAfter);
        QCOMPARE(result.saved(), !stored.isEmpty());
        if (stored.isEmpty()) {
            QCOMPARE(shop.dump(), before);
            return;
        }
        QCOMPARE(storedRow(shop, typed[0]), stored);
        QCOMPARE(shop.count(QStringLiteral("Productos")), editing ? 3 : 4);
        QCOMPARE(shop.rows(othersSql), othersBefore);
    }

    // Every write of a save failing in turn: a save is whole or absent.
    void saveIsOneTransaction_data()
    {
        QTest::addColumn<bool>("editing");
        QTest::newRow("new") << false;
        QTest::newRow("change") << true;
    }

    void saveIsOneTransaction()
    {
        QFETCH(bool, editing);
        TempShop shop;
        shop.addProduct({QStringLiteral("100"), QStringLiteral("Leche")});
        const QString before = shop.dump();
        const Product typed{editing ? QStringLiteral("100") : QStringLiteral("400"),
                            QStringLiteral("Queso"), "1", "2", "3", "4", "X"};
        int failures = 0;
        for (int n = 1; n < 10; ++n) {
            shop.faults->failAtWrite(n);
            try {
                saveProduct(shop.db, typed, editing);
            } catch (const DbError&) {
                ++failures;
                QCOMPARE(shop.dump(), before);
                continue;
            }
            break;
        }
        QCOMPARE(failures, 2); // the row, then the commit
        QCOMPARE(storedRow(shop, typed.code).section(QLatin1Char('|'), 1, 1), QStringLiteral("Queso"));
    }

    void deletion_data()
    {
        QTest::addColumn<QString>("code");
        QTest::addColumn<QString>("offer"); // ParteDeOferta of Leche, as SQL
        QTest::addColumn<int>("outcome");
        QTest::addColumn<QString>("message"); // the refusal, or the question before deleting
        QTest::addColumn<QStringList>("namesLeft"); // after deleteProduct; empty: not reached

        using O = DeleteCheck::Outcome;
        const QString asked = productMessages::kConfirmarEliminacion;
        QTest::newRow("in an offer") << "100" << "1" << int(O::InOffer) << productMessages::kEnOferta
                                     << QStringList();
        QTest::newRow("not in an offer") << "100" << "0" << int(O::Allowed) << asked
                                         << QStringList{"Pan", "Pan integral"};
        QTest::newRow("offer empty") << "100" << "NULL" << int(O::Allowed) << asked
                                     << QStringList{"Pan", "Pan integral"};
        QTest::newRow("every row of the code") << "200" << "1" << int(O::Allowed) << asked
                                               << QStringList{"Leche"};
        QTest::newRow("gone meanwhile") << "555" << "0" << int(O::Vanished)
                                        << "El producto de código «555» ya no existe."
                                        << QStringList{"Leche", "Pan", "Pan integral"};
    }

    void deletion()
    {
        QFETCH(QString, code);
        QFETCH(QString, offer);
        QFETCH(int, outcome);
        QFETCH(QString, message);
        QFETCH(QStringList, namesLeft);
        TempShop shop;
        shop.addProduct({QStringLiteral("100"), QStringLiteral("Leche")});
        shop.addProduct({QStringLiteral("200"), QStringLiteral("Pan")});
        shop.addProduct({QStringLiteral("200"), QStringLiteral("Pan integral")});
        shop.db.execute(QStringLiteral("update Productos set ParteDeOferta = %1 where CodigoProducto = '100'")
                            .arg(offer));
        const QString before = shop.dump();

        const DeleteCheck check = checkProductDeletion(shop.db, code);
        QCOMPARE(int(check.outcome), outcome);
        QCOMPARE(check.answer.text, message);
        // Only a product free to go is asked about; the others are refused.
        QCOMPARE(check.answer.kind == EntryAnswer::Kind::Ask,
                 outcome == int(DeleteCheck::Outcome::Allowed));
        QCOMPARE(shop.dump(), before);
        if (namesLeft.isEmpty())
            return;
        const int expected = 3 - int(namesLeft.size());
        QCOMPARE(deleteProduct(shop.db, code), expected);
        QCOMPARE(shop.column(QStringLiteral("select NombreProducto from Productos order by 1")),
                 QVariantList(namesLeft.begin(), namesLeft.end()));
    }

    // Enter in the code box: only an empty code is refused.
    void code_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("refusal");
        QTest::newRow("empty") << "" << productMessages::kCodigoVacio;
        QTest::newRow("a space is a code") << " " << "";
    }
    void code()
    {
        QFETCH(QString, typed);
        QFETCH(QString, refusal);
        const EntryAnswer answer = ProductEntry::code(typed);
        QCOMPARE(answer.goesOn(), refusal.isEmpty());
        QCOMPARE(answer.text, refusal);
    }

    void search_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QStringList>("names");
        QTest::newRow("empty: every product")
            << "" << QStringList{"Agua mineral", "Agua_mineral", "Barra \\ invertida", "O'Higgins",
                                 "Vino 100% puro", "Vino 1000", "arbol", "Árbol", "ÑANDÚ",
                                 "ñandú chico"};
        QTest::newRow("ASCII case") << "VINO" << QStringList{"Vino 100% puro", "Vino 1000"};
        QTest::newRow("percent") << "100%" << QStringList{"Vino 100% puro"};
        QTest::newRow("percent alone") << "%" << QStringList{"Vino 100% puro"};
        QTest::newRow("underscore") << "a_m" << QStringList{"Agua_mineral"};
        QTest::newRow("quote") << "o'h" << QStringList{"O'Higgins"};
        QTest::newRow("backslash") << "\\" << QStringList{"Barra \\ invertida"};
        QTest::newRow("accented case") << "ñandú" << QStringList{"ÑANDÚ", "ñandú chico"};
        QTest::newRow("accent is not case") << "ÁRBOL" << QStringList{"Árbol"};
        QTest::newRow("plain letter is not accented") << "arbol" << QStringList{"arbol"};
        QTest::newRow("nothing") << "zz" << QStringList{};
    }

    void search()
    {
        QFETCH(QString, typed);
        QFETCH(QStringList, names);
        TempShop shop;
        int code = 1;
        for (const char* name : {"Vino 1000", "Vino 100% puro", "Agua_mineral", "Agua mineral",
                                 "O'Higgins", "ÑANDÚ", "ñandú chico", "Árbol", "arbol",
                                 "Barra \\ invertida"})
            shop.addProduct({QString::number(code++), QString::fromUtf8(name)});
        const ProductMatches matches = findProductsByName(shop.db, typed);
        QCOMPARE(matches.names, names);
        QCOMPARE(matches.rows.size(), names.size());
    }

    // The chosen entry hands over its own product, also beside a name differing only in case.
    void handOver()
    {
        TempShop shop;
        shop.addProduct({QStringLiteral("1"), QStringLiteral("VINO")});
        shop.addProduct({QStringLiteral("2"), QStringLiteral("Vino")});
        shop.addProduct({QStringLiteral("3"), QStringLiteral("Vinagre")});
        const ProductMatches matches = findProductsByName(shop.db, QStringLiteral("vin"));
        QCOMPARE(matches.names, (QStringList{"VINO", "Vinagre", "Vino"}));
        QCOMPARE(chosenProductCode(shop.db, matches, 0), QStringLiteral("1"));
        QCOMPARE(chosenProductCode(shop.db, matches, 2), QStringLiteral("2"));
        QCOMPARE(chosenProductCode(shop.db, matches, -1), std::nullopt);
        QCOMPARE(chosenProductCode(shop.db, matches, 3), std::nullopt);
        shop.db.execute(QStringLiteral("update Productos set NombreProducto = 'Vinos' where CodigoProducto = '2'"));
        QCOMPARE(chosenProductCode(shop.db, matches, 2), std::nullopt);
        QCOMPARE(deleteProduct(shop.db, QStringLiteral("1")), 1);
        QCOMPARE(chosenProductCode(shop.db, matches, 0), std::nullopt);
    }

    void list_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<int>("choice"); // entry of the sort selector; -1 for the name order
        QTest::addColumn<QStringList>("codes");
        QTest::addColumn<QString>("zanahoria"); // its cells: stock, cost, price
        QTest::addColumn<int>("mielRow");       // rowid of the last product added
        // Codes are text, so "10" comes before "9"; Sal and Miel hold the same quantity.
        const QStringList byName{"100", "7", "55", "9", "10"};
        QTest::newRow("opening, name order") << "es_CL" << -1 << byName << "2,5|$ 0|1200,75" << 6;
        QTest::newRow("CODIGO") << "es_CL" << 0 << QStringList{"10", "100", "55", "7", "9"}
                                << "2,5|$ 0|1200,75" << 6;
        QTest::newRow("NOMBRE PRODUCTO, rows far apart") << "C" << 1 << byName << "2.5|$ 0|1200.75" << 1000;
        QTest::newRow("Arabic digits") << "ar_EG" << -1 << byName << QString() << 6;
        QTest::newRow("CANTIDAD") << "C" << 2 << QStringList{"10", "55", "7", "9", "100"}
                                  << "2.5|$ 0|1200.75" << 6;
    }

    void list()
    {
        QFETCH(QString, locale);
        QFETCH(int, choice);
        QFETCH(QStringList, codes);
        QFETCH(QString, zanahoria);
        QFETCH(int, mielRow);
        QLocale::setDefault(localeNamed(locale));
        TempShop shop;
        shop.addProduct({"9", "Zanahoria", 2.5, 0, 1200.75, 1, "Verduras"});
        shop.addProduct({"8", "Borrado", 1, 1, 1, 1, "X"});
        QCOMPARE(deleteProduct(shop.db, QStringLiteral("8")), 1);
        shop.addProduct({"10", "azúcar", -3, 500, 0, 1, "Abarrotes"});
        shop.addProduct({"100", "Arroz", 1e15, 999999999999999, -1500, 1, "Abarrotes"});
        shop.db.execute(QStringLiteral("insert into Productos (CodigoProducto, NombreProducto, Cantidad) "
                                       "values ('55', 'Sal', 0)"));
        shop.db.execute(QStringLiteral("insert into Productos (rowid, CodigoProducto, NombreProducto, "
                                       "Cantidad, PrecioCosto, PrecioVenta) values (%1, '7', 'Miel', 0, "
                                       "1234.5, 99.125)")
                            .arg(mielRow));
        QCOMPARE(productOrderChoices(), (QStringList{"CODIGO", "NOMBRE PRODUCTO", "CANTIDAD"}));
        const ProductOrder order = choice < 0 ? ProductOrder::ByName : productOrderAt(choice);
        const ProductList list = productList(shop.db, order);
        QStringList shownCodes;
        for (qsizetype row = 0; row < list.size(); ++row)
            shownCodes << list.text(row, 1);
        QCOMPARE(shownCodes, codes);

        // Cell for cell what the record set of the same order reads, a zero price shown as "$ 0".
        WindowData data(shop.db);
        if (order == ProductOrder::ByCode)
            data.OpenProductosByCode();
        else if (order == ProductOrder::ByQuantity)
            data.OpenProductosByQuantity();
        else
            data.OpenProductos();
        auto price = [&](const char* column) {
            const QString text = data.rs.text(QString::fromLatin1(column));
            return !text.isEmpty() && data.rs.number(QString::fromLatin1(column)) == 0
                       ? QStringLiteral("$ 0")
                       : text;
        };
        for (qsizetype row = 0; row < list.size(); ++row, data.rs.moveNext()) {
            QVERIFY(!data.rs.eof());
            const QStringList expected{QString::number(row + 1), data.rs.text("CodigoProducto"),
                                       data.rs.text("NombreProducto"), data.rs.text("Cantidad"),
                                       price("PrecioCosto"), price("PrecioVenta"),
                                       data.rs.text("Categoria")};
            const QStringList cells = listRow(list, row);
            QCOMPARE(cells, expected);
            if (cells[2] == QLatin1String("Zanahoria") && !zanahoria.isEmpty())
                QCOMPARE(cells.mid(3, 3).join('|'), zanahoria);
            if (cells[2] == QLatin1String("Sal"))
                QCOMPARE((QStringList{cells[3], cells[4], cells[6]}).join('|'), QStringLiteral("0||"));
        }
        QVERIFY(data.rs.eof());
        QCOMPARE(list.text(list.size(), 1), QString());
    }

    // A sale takes each line off the first product in name order with its code, one code's lines
    // in turn (each rounded, as sold one at a time), a code without a product taking nothing, and
    // a sale of more codes than one read carries in parts.
    void saleTakesStock_data()
    {
        QTest::addColumn<QStringList>("products"); // code|name, each with a stock of 1
        QTest::addColumn<QStringList>("sold");     // code|quantity, in the sale's order
        QTest::addColumn<QVariantList>("left");    // by code, then name
        QTest::newRow("first in name order") << QStringList{"100|Leche B", "100|Leche A"}
                                             << QStringList{"100|0.25"} << QVariantList{0.75, 1.0};
        QTest::newRow("one code's lines in turn")
            << QStringList{"200|Pan"} << QStringList{"200|0.0000004", "200|0.0000004", "200|0.0000004"}
            << QVariantList{1.0};
        QTest::newRow("codes out of order, one without product")
            << QStringList{"100|Leche", "300|Queso"} << QStringList{"300|1", "999|1", "100|2"}
            << QVariantList{-1.0, 0.0};
        QStringList many;
        for (int code = 0; code < 600; ++code)
            many << QStringLiteral("%1|1").arg(code, 4, 10, QLatin1Char('0'));
        QTest::newRow("more codes than one read")
            << QStringList{"0000|A", "0511|B", "0512|C", "0599|D"} << many
            << QVariantList{0.0, 0.0, 0.0, 0.0};
    }
    void saleTakesStock()
    {
        QFETCH(QStringList, products);
        QFETCH(QStringList, sold);
        TempShop shop;
        for (const QString& product : products)
            shop.addProduct({product.section(QLatin1Char('|'), 0, 0), product.section(QLatin1Char('|'), 1), 1});
        std::vector<SoldQuantity> lines;
        for (const QString& line : sold)
            lines.push_back({line.section(QLatin1Char('|'), 0, 0), line.section(QLatin1Char('|'), 1).toDouble()});
        Transaction tx(shop.db);
        reduceStock(shop.db, lines);
        tx.commit();
        QTEST(shop.column(QStringLiteral("select Cantidad from Productos order by CodigoProducto, NombreProducto")),
              "left");
    }

    void categories()
    {
        TempShop shop;
        shop.addProduct({"1", "A", 1, 1, 1, 0, "Vinos"});
        shop.addProduct({"2", "B", 1, 1, 1, 0, "Bebidas"});
        shop.addProduct({"3", "C", 1, 1, 1, 0, "Vinos"});
        shop.db.execute(QStringLiteral("insert into Productos (CodigoProducto) values ('4')"));
        QCOMPARE(productCategories(shop.db), (QStringList{"", "Bebidas", "Vinos"}));
    }
};

QTEST_GUILESS_MAIN(TestProducts)
#include "test_products.moc"
