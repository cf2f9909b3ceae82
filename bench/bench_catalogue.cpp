// Timings of the product editor's and the search windows' database work on a catalogue of 100,000
// products, each beside the record-set way of doing the same work (open the whole table in the
// query's order and walk it row by row).
// Not a test: it prints min / median / max per operation and the time each should stay under.
#include "bench_support.h"

#include "catalogue/products.h"
#include "common/numbers.h"
#include "data/database.h"
#include "data/recordset.h"
#include "data/window_data.h"
#include "support/temp_shop.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

#include <sqlite3.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <optional>
#include <random>
#include <vector>

using namespace tarvino;
using namespace tarvino::bench;
using tarvino::test::TempShop;

namespace {

constexpr int kProducts = 100'000;
const int kWordCount = int(catalogueWords().size());

int randomProduct()
{
    return std::uniform_int_distribution<int>(0, kProducts - 1)(rng());
}

// ---- The record-set way -------------------------------------------------------------------

// AddProductListRow for every record of the open record set.
using Rows = std::vector<QStringList>;
Rows walkList(RecordSet& rs)
{
    auto price = [&](const QString& column) {
        const QString text = rs.text(column);
        return !text.isEmpty() && rs.number(column) == 0 ? QStringLiteral("$ 0") : text;
    };
    Rows rows;
    for (; !rs.eof(); rs.moveNext())
        rows.push_back({QString::number(rows.size() + 1), rs.text(QStringLiteral("CodigoProducto")),
                        rs.text(QStringLiteral("NombreProducto")), rs.text(QStringLiteral("Cantidad")),
                        price(QStringLiteral("PrecioCosto")), price(QStringLiteral("PrecioVenta")),
                        rs.text(QStringLiteral("Categoria"))});
    return rows;
}

Rows literalList(Database& db, ProductOrder order)
{
    WindowData data(db);
    if (order == ProductOrder::ByCode)
        data.OpenProductosByCode();
    else if (order == ProductOrder::ByQuantity)
        data.OpenProductosByQuantity();
    else
        data.OpenProductos();
    return walkList(data.rs);
}

// LookUpProductCode: the categories, then a scan in name order to the code.
std::optional<QString> literalLookUp(Database& db, const QString& code, QStringList& categories)
{
    WindowData data(db);
    data.OpenCategorias();
    categories.clear();
    for (; !data.rs.eof(); data.rs.moveNext())
        categories << data.rs.text(QStringLiteral("Categoria"));
    data.OpenProductos();
    for (RecordSet& rs = data.rs; !rs.eof(); rs.moveNext())
        if (rs.text(QStringLiteral("CodigoProducto")) == code)
            return rs.text(QStringLiteral("NombreProducto"));
    return std::nullopt;
}

// Guardar on a loaded product: a scan for the name under another code, a scan to the code and its
// update, then the list reloaded in name order.
Rows literalSave(Database& db, const Product& boxes)
{
    WindowData data(db);
    RecordSet& rs = data.rs;
    data.OpenProductos();
    for (; !rs.eof(); rs.moveNext())
        if (rs.text(QStringLiteral("NombreProducto")) == boxes.name &&
            rs.text(QStringLiteral("CodigoProducto")) != boxes.code)
            return {};
    for (rs.moveFirst(); !rs.eof(); rs.moveNext()) {
        if (rs.text(QStringLiteral("CodigoProducto")) == boxes.code) {
            rs.setValue(QStringLiteral("NombreProducto"), boxes.name);
            rs.setValue(QStringLiteral("Cantidad"), boxes.stock);
            rs.setValue(QStringLiteral("PrecioCosto"), boxes.costPrice);
            rs.setValue(QStringLiteral("PrecioVenta"), boxes.salePrice);
            rs.setValue(QStringLiteral("StockCritico"), boxes.criticalStock);
            rs.setValue(QStringLiteral("Categoria"), boxes.category);
            rs.update();
            break;
        }
    }
    data.CloseDatabase();
    return literalList(db, ProductOrder::ByName);
}

// Command1_Click: the LIKE query, its names in the order they come.
QStringList literalSearch(Database& db, const QString& typed)
{
    RecordSet rs;
    rs.open(db, QStringLiteral("select * from Productos where NombreProducto like ?"),
            {QStringLiteral("%") + typed + QStringLiteral("%")});
    QStringList names;
    for (; !rs.eof(); rs.moveNext())
        names << rs.text(QStringLiteral("NombreProducto"));
    return names;
}

// Enter in the list: a scan in name order to the first name equal without regard to case.
std::optional<QString> literalHandOver(Database& db, const QString& name)
{
    WindowData data(db);
    data.OpenProductos();
    for (RecordSet& rs = data.rs; !rs.eof(); rs.moveNext())
        if (rs.text(QStringLiteral("NombreProducto")).compare(name, Qt::CaseInsensitive) == 0)
            return rs.text(QStringLiteral("CodigoProducto"));
    return std::nullopt;
}

bool sameRows(const ProductList& list, const Rows& rows)
{
    if (size_t(list.size()) != rows.size())
        return false;
    for (qsizetype row = 0; row < list.size(); ++row)
        for (int column = 0; column < ProductList::kColumns; ++column)
            if (list.text(row, column) != rows[size_t(row)][column])
                return false;
    return true;
}

// ---- The benchmarks ---------------------------------------------------------------------------

void benchLists(TempShop& shop)
{
    struct Case {
        const char* fast;
        const char* literal;
        ProductOrder order;
    };
    const Case cases[] = {
        {"1a. editor opens: list in name order (productList)", "1b.   the same, record-set walk",
         ProductOrder::ByName},
        {"2a. re-sort CODIGO (productList)", "2b.   the same, record-set walk", ProductOrder::ByCode},
        {"3a. re-sort CANTIDAD (productList)", "3b.   the same, record-set walk",
         ProductOrder::ByQuantity},
    };
    for (const Case& c : cases) {
        ProductList fast;
        Rows literal;
        report(c.fast, 150, measure(2, 15, [&] { fast = productList(shop.db, c.order); }));
        report(c.literal, 300, measure(1, 5, [&] { literal = literalList(shop.db, c.order); }));
        check(fast.size() == kProducts, "the list holds every product");
        check(sameRows(fast, literal), "the list equals the record-set walk cell for cell");
    }
}

void benchDistinctNumbers(TempShop& shop)
{
    // A catalogue in which no two quantities are alike, so that no number text is met twice.
    shop.db.execute(QStringLiteral("update Productos set Cantidad = rowid + 0.25"));
    ProductList rows;
    report("1c. name order, every quantity distinct (productList)", 150,
           measure(2, 15, [&] { rows = productList(shop.db, ProductOrder::ByName); }));
    check(sameRows(rows, literalList(shop.db, ProductOrder::ByName)),
          "the list with distinct quantities equals the record-set walk");
}

void benchLookUp(TempShop& shop)
{
    QStringList categories;
    report("4a. look-up by code (findProductByCode)", 5, measure(20, 200, [&] {
               check(findProductByCode(shop.db, productCode(randomProduct())).has_value(),
                     "the look-up finds the product");
           }));
    report("4b. categories for the look-up (productCategories)", 100, measure(2, 15, [&] {
               categories = productCategories(shop.db);
           }));
    check(categories.size() == 13, "thirteen categories");
    report("4c.   look-up with categories, record-set scans", 300, measure(1, 5, [&] {
               const QString code = productCode(randomProduct());
               QStringList literalCategories;
               check(literalLookUp(shop.db, code, literalCategories) ==
                         findProductByCode(shop.db, code)->name,
                     "the scan finds the product");
               check(literalCategories == categories, "the same categories");
           }));
}

void benchSave(TempShop& shop)
{
    int run = 0;
    auto boxesFor = [&](int i) {
        std::optional<Product> p = findProductByCode(shop.db, productCode(i));
        Product boxes = *p;
        boxes.stock = plainNumber(++run + 0.5);
        boxes.criticalStock = QStringLiteral("3");
        return boxes;
    };
    report("5a. Guardar: dup check + change + reload (saveProduct)", 300, measure(2, 15, [&] {
               const Product boxes = boxesFor(randomProduct());
               check(saveProduct(shop.db, boxes, true).outcome == SaveResult::Outcome::Changed,
                     "Guardar changes the product");
               check(productList(shop.db).size() == kProducts, "the reloaded list is whole");
               check(findProductByCode(shop.db, boxes.code)->stock == boxes.stock, "the stock is stored");
           }));
    report("5b.   the same, record-set scans + reload", 300, measure(1, 5, [&] {
               const Product boxes = boxesFor(randomProduct());
               check(literalSave(shop.db, boxes).size() == size_t(kProducts),
                     "the literal save reloads the list");
               check(findProductByCode(shop.db, boxes.code)->stock == boxes.stock,
                     "the literal save stores the stock");
           }));
}

void benchSearch(TempShop& shop)
{
    const int perWord = kProducts / kWordCount;
    struct Case {
        const char* fast;
        const char* literal;
        QString typed;
        double target;
        int expected;
    };
    const Case cases[] = {
        {"6a. search \"vino\" (findProductsByName)", "6b.   the same, record-set walk",
         QStringLiteral("vino"), 50, perWord},
        {"7a. search \"ñandú\", accents folded (findProductsByName)", "7b.   the same, record-set walk",
         QString::fromUtf8("ñandú"), 50, perWord},
        {"8a. empty text: every product (findProductsByName)", "8b.   the same, record-set walk",
         QString(), 250, kProducts},
    };
    for (const Case& c : cases) {
        ProductMatches fast;
        QStringList literal;
        report(c.fast, c.target, measure(3, 20, [&] { fast = findProductsByName(shop.db, c.typed); }));
        report(c.literal, c.target, measure(1, 5, [&] { literal = literalSearch(shop.db, c.typed); }));
        check(fast.names.size() == c.expected, "the search finds a twentieth of the products");
        // The engine's LIKE leaves "Ñ" and "ñ" apart, so the literal way misses the capitals.
        if (c.typed != QString::fromUtf8("ñandú")) {
            QStringList sorted = literal;
            std::sort(sorted.begin(), sorted.end());
            QStringList fastSorted = fast.names;
            std::sort(fastSorted.begin(), fastSorted.end());
            check(sorted == fastSorted, "both ways find the same names");
        } else {
            check(literal.isEmpty(), "the literal LIKE does not fold Ñ");
        }
    }

    const ProductMatches matches = findProductsByName(shop.db, QStringLiteral("vino"));
    report("9a. hand-over of a chosen name (chosenProductCode)", 5, measure(20, 200, [&] {
               const qsizetype i = std::uniform_int_distribution<qsizetype>(0, matches.names.size() - 1)(rng());
               const auto code = chosenProductCode(shop.db, matches, i);
               check(code && findProductByCode(shop.db, *code)->name == matches.names[i],
                     "the chosen product is handed over");
           }));
    report("9b.   the same, record-set scan ignoring case", 300, measure(1, 5, [&] {
               const qsizetype i = std::uniform_int_distribution<qsizetype>(0, matches.names.size() - 1)(rng());
               check(literalHandOver(shop.db, matches.names[i]) == chosenProductCode(shop.db, matches, i),
                     "the scan hands over the same product");
           }));
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QLocale::setDefault(QLocale(QLocale::Spanish, QLocale::Chile));

    TempShop shop;
    QElapsedTimer fill;
    fill.start();
    fillCatalogue(shop, kProducts);
    std::printf("Tarvino catalogue benchmark\n");
    std::printf("  %d products filled in %.1f s; cores (nproc): %d; Qt %s; SQLite %s; SQLCipher %s\n",
                kProducts, fill.elapsed() / 1e3, QThread::idealThreadCount(), qVersion(),
                sqlite3_libversion(), qPrintable(pragmaText(shop.db, QStringLiteral("PRAGMA cipher_version"))));
    std::printf("  journal %s; cache_size %s; page_size %s\n",
                qPrintable(pragmaText(shop.db, QStringLiteral("PRAGMA journal_mode"))),
                qPrintable(pragmaText(shop.db, QStringLiteral("PRAGMA cache_size"))),
                qPrintable(pragmaText(shop.db, QStringLiteral("PRAGMA page_size"))));
    for (const char* sql :
         {"select CodigoProducto from Productos order by NombreProducto",
          "select CodigoProducto from Productos order by CodigoProducto",
          "select CodigoProducto from Productos order by Cantidad",
          "select rowid, NombreProducto from Productos where NombreProducto like ? escape '\\' "
          "order by NombreProducto",
          "select Categoria from Productos Group by Categoria"})
        std::printf("  plan of \"%s\": %s\n", sql,
                    qPrintable(pragmaText(shop.db, QStringLiteral("EXPLAIN QUERY PLAN ") +
                                                       QString::fromUtf8(sql))));

    benchLists(shop);
    benchLookUp(shop);
    benchSave(shop);
    benchSearch(shop);
    benchDistinctNumbers(shop);

    printTable();
    return failures() ? 1 : 0;
}
