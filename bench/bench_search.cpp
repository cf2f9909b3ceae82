// Timings of the product search window on a catalogue of 100,000 products: from a key release in
// the search box to the list laid out and painted, for a text that matches a few thousand names
// and for the empty text (every product), each beside the record-set way (a LIKE query pasted
// together, its rows walked one by one into a widget-per-row list).
// Not a test: it prints min / median / max per operation and the time each should stay under.
#include "bench_support.h"

#include "catalogue/products.h"
#include "data/database.h"
#include "data/recordset.h"
#include "sales/sales_window.h"
#include "sales/search_window.h"
#include "support/temp_shop.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QListView>
#include <QListWidget>
#include <QTest>
#include <QThread>

#include <sqlite3.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

using namespace tarvino;
using namespace tarvino::bench;
using tarvino::test::TempShop;

namespace {

constexpr int kProducts = 100'000;
// Forty kinds of product, 2,500 of each: a part of one kind's name finds a few thousand.
const char* const kKinds[] = {
    "Aceite",   "Agua",     "Arroz",     "Atún",      "Avena",     "Azúcar",     "Bebida",
    "Café",     "Cereal",   "Chocolate", "Detergente", "Fideos",   "Galletas",   "Harina",
    "Jabón",    "Jamón",    "Jugo",      "Leche",     "Lentejas",  "Mantequilla", "Margarina",
    "Mayonesa", "Mermelada", "Mostaza",  "Pan",       "Papel",     "Pasta",      "Pimienta",
    "Porotos",  "Queso",    "Sal",       "Salsa",     "Shampoo",   "Sopa",       "Té",
    "Tomate",   "Vinagre",  "Vino",      "Yogur",     "Zapallo"};
constexpr int kKindCount = int(std::size(kKinds));
const QString kTyped = QStringLiteral("galle");
constexpr int kTypedMatches = kProducts / kKindCount;

void fillProducts(TempShop& shop)
{
    Transaction tx(shop.db);
    for (int i = 0; i < kProducts; ++i) {
        const QString name = QStringLiteral("%1 %2").arg(QString::fromUtf8(kKinds[i % kKindCount])).arg(i);
        shop.addProduct({QString::number(7'800'000'000'000 + i), name, 100, 300, 500, 5});
    }
    tx.commit();
}

// A key release in the search box of a real window, then what the cashier waits for: the refresh
// it asked for, the list's layout and one paint.
void benchWindow(TempShop& shop)
{
    Form1 sales(shop.context);
    sales.show();
    ProductSearch* search = sales.openSearch();
    (void)QTest::qWaitForWindowActive(search);

    int resets = 0;
    QObject::connect(search->List1->model(), &QAbstractItemModel::modelReset, [&] { ++resets; });
    const auto run = [&](const char* operation, double targetMs, const QString& text, int expected,
                         int runs) {
        resets = 0;
        Samples ns = measure(
            2, runs,
            [&] {
                search->Text1->setText(text);
                QTest::keyPress(search->Text1, Qt::Key_End);
            },
            [&] {
                QTest::keyRelease(search->Text1, Qt::Key_End);
                QCoreApplication::processEvents();
                search->List1->doItemsLayout();
                search->List1->viewport()->repaint();
            });
        // Every timed release must have refreshed the list within its own timing.
        check(resets == 2 + runs && search->List1->model()->rowCount() == expected, operation);
        report(operation, targetMs, std::move(ns));
    };
    run("search window, key release to list: \"galle\"", 50, kTyped, kTypedMatches, 21);
    run("search window, key release to list: empty text", 250, QString(), kProducts, 11);
    search->close();
}

// The record-set way: the typed text pasted into the query, every row read into a record set and
// its name added to a list that holds one widget item per row.
void benchLiteral(TempShop& shop)
{
    QListWidget list;
    list.resize(400, 350);
    list.show();
    const auto run = [&](const char* operation, const QString& text, int expected, int runs) {
        Samples ns = measure(
            1, runs, [] {},
            [&] {
                list.clear();
                RecordSet rs;
                rs.open(shop.db, QStringLiteral("select * from Productos where NombreProducto like '%") +
                                     text + QStringLiteral("%'"));
                for (; !rs.eof(); rs.moveNext())
                    list.addItem(rs.text(QStringLiteral("NombreProducto")));
                rs.close();
                list.viewport()->repaint();
            });
        check(list.count() == expected, operation);
        report(operation, 0, std::move(ns));
    };
    run("record set + QListWidget: \"galle\"", kTyped, kTypedMatches, 11);
    run("record set + QListWidget: empty text", QString(), kProducts, 5);
}

// The database part alone, to tell it from the list's share.
void benchQuery(TempShop& shop)
{
    for (const QString& text : {kTyped, QString()}) {
        ProductMatches matches;
        Samples ns = measure(2, 21, [] {}, [&] { matches = findProductsByName(shop.db, text); });
        const bool all = text.isEmpty();
        check(matches.names.size() == (all ? kProducts : kTypedMatches), "findProductsByName");
        report(all ? "findProductsByName alone: empty text" : "findProductsByName alone: \"galle\"", 0, std::move(ns));
    }
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QLocale::setDefault(QLocale(QLocale::Spanish, QLocale::Chile));

    TempShop shop;
    fillProducts(shop);
    shop.db.execute(QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)"));
    std::printf("Tarvino product search benchmark: %d products, %d named with \"%s\"\n", kProducts,
                kTypedMatches, qPrintable(kTyped));
    std::printf("  cores (nproc): %d; Qt %s; SQLite %s\n", QThread::idealThreadCount(), qVersion(),
                sqlite3_libversion());

    benchWindow(shop);
    benchLiteral(shop);
    benchQuery(shop);

    printTable();
    return failures() ? 1 : 0;
}
