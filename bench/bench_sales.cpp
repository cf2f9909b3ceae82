// Timings of the sales path on a shop of 100,000 products: product look-up, Enter in the code box,
// recording a sale and closing the day, each beside the record-set way of doing the same work
// (walking whole tables in order and committing every write on its own).
// Not a test: it prints min / median / max per operation and the time each should stay under.
// Arguments, when given, name the operations to run by their number ("4a 5a"); none runs all.
#include "common/numbers.h"
#include "data/query.h"
#include "common/timestamps.h"
#include "bench_support.h"

#include "data/database.h"
#include "data/recordset.h"
#include "catalogue/products.h"
#include "sales/recording.h"
#include "sales/sale_lines.h"
#include "sales/sales_day.h"
#include "sales/sales_window.h"
#include "support/temp_shop.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QScreen>
#include <QTest>
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

// The record sets this file opens, by their query texts.
namespace q {
const QString kProductoPorCodigo = QStringLiteral("select * from Productos where CodigoProducto = ? order by NombreProducto");
const QString kProductos = QStringLiteral("select * from Productos order by NombreProducto");
const QString kRecaudacion = QStringLiteral("select * from Recaudacion order by FechaInicio");
const QString kTemporal = QStringLiteral("select * from Temporal");
const QString kTipoPago = QStringLiteral("select * from TipoPago order by FechaInicio");
} // namespace q

namespace {

constexpr int kProducts = 100'000;
constexpr int kSaleLines = 100;
constexpr int kDayLines = 10'000;
const QString kStamp = QStringLiteral("09/03/2026 9:05:07");
const QString kIsoStamp = QStringLiteral("2026-03-09 09:05:07"); // kStamp as the file holds it
const QString kUser = QStringLiteral("admin");
// The columns a closed day keeps, Temporal's and Recaudacion's alike.
const QString kDayColumnList = QStringLiteral(
    "CodigoProducto, NombreProducto, Cantidad, TotalCosto, TotalVenta, TipoPago, NombreUsuario, "
    "Categoria, FechaInicio, FechaVenta");
const QStringList kDayColumns = kDayColumnList.split(QStringLiteral(", "));

QStringList selected;

bool wanted(const char* number)
{
    return selected.isEmpty() || selected.contains(QLatin1String(number));
}

int randomProduct()
{
    return std::uniform_int_distribution<int>(0, kProducts - 1)(rng());
}

// Products in one transaction, their names numbered in shuffled order (name order is not code
// order, so a walk in name order meets a code at a random place).
void fillProducts(TempShop& shop)
{
    std::vector<int> nameNumbers(kProducts);
    for (int i = 0; i < kProducts; ++i)
        nameNumbers[i] = i;
    std::shuffle(nameNumbers.begin(), nameNumbers.end(), rng());
    Transaction tx(shop.db);
    for (int i = 0; i < kProducts; ++i) {
        const QString name =
            QStringLiteral("Producto %1").arg(nameNumbers[i], 6, 10, QLatin1Char('0'));
        shop.addProduct({productCode(i), name, 1000, double(300 + i % 700), double(500 + i % 900), 5});
    }
    tx.commit();
}

// The look-up done by walking every product in name order until the code matches.
std::optional<QString> scanForCode(RecordSet& rs, const QString& code)
{
    for (; !rs.eof(); rs.moveNext())
        if (rs.text(QStringLiteral("CodigoProducto")) == code)
            return rs.text(QStringLiteral("NombreProducto"));
    return std::nullopt;
}

// A sale recorded the record-set way: a full rescan of the products per line, then every Temporal
// row and the day row written with its own commit.
void recordSaleLiterally(Database& db, const Clock& clock, const SaleLines& lines, double total)
{
    using namespace detail;
    RecordSet rs;
    for (const SaleLine& line : lines) {
        rs.open(db, q::kProductos);
        if (scanForCode(rs, line[Code])) {
            rs.setValue(QStringLiteral("Cantidad"),
                        rs.number(QStringLiteral("Cantidad")) - cellNumber(line[Quantity]));
            rs.update();
        }
    }
    const QStringList columns = kDayColumns + QStringList{QStringLiteral("ValorUnitario")};
    rs.open(db, q::kTemporal);
    for (const SaleLine& line : lines) {
        const QStringList values{line[Code],      line[Name],      line[Quantity],
                                 line[TotalCost], line[TotalSale], QStringLiteral("EFECTIVO"),
                                 kUser,           line[Category],  kStamp,
                                 stampText(clock.now()),           line[UnitSale]};
        rs.addNew();
        for (int i = 0; i < columns.size(); ++i)
            rs.setValue(columns[i], values[i]);
        rs.update();
    }
    // The day row exists: the sales timed before this one made it.
    rs.open(db, q::kTipoPago);
    while (!rs.eof() && rs.text(QStringLiteral("FechaInicio")) != kStamp)
        rs.moveNext();
    rs.setValue(QStringLiteral("efectivo"), rs.number(QStringLiteral("efectivo")) + total);
    rs.setValue(QStringLiteral("FechaCierre"), stampText(clock.now()));
    rs.update();
}

// The day closed the record-set way: each line copied, then deleted, every write committed alone.
int closeDayLiterally(Database& db, const Clock& clock)
{
    RecordSet temporal;
    RecordSet history;
    temporal.open(db, q::kTemporal);
    history.open(db, q::kRecaudacion);
    int copied = 0;
    for (; !temporal.eof(); temporal.moveNext(), ++copied) {
        history.addNew();
        for (const QString& column : kDayColumns)
            history.setValue(column, temporal.value(column));
        history.update();
    }
    RecordSet day;
    day.open(db, q::kTipoPago);
    while (!day.eof() && day.text(QStringLiteral("FechaInicio")) != kStamp)
        day.moveNext();
    day.setValue(QStringLiteral("FechaCierre"), stampText(clock.now()));
    day.update();
    for (temporal.moveFirst(); !temporal.eof(); temporal.moveNext())
        temporal.deleteCurrent();
    return copied;
}


// A day of sales lines written straight into Temporal, in one transaction, on an empty history.
void fillDay(TempShop& shop)
{
    Transaction tx(shop.db);
    shop.db.execute(QStringLiteral("delete from Temporal; delete from Recaudacion"));
    Query stmt(shop.db, 
        QStringLiteral("insert into Temporal (%1, ValorUnitario) values (?,?,?,?,?,?,?,?,?,?,?)")
            .arg(kDayColumnList));
    for (int i = 0; i < kDayLines; ++i) {
        const int p = i * 7 % kProducts;
        const QVariantList values{productCode(p), QStringLiteral("Producto %1").arg(p), 2.0, 600.0,
                                  1000.0,    QStringLiteral("EFECTIVO"),           kUser,
                                  QStringLiteral("General"), kIsoStamp, kIsoStamp, 500.0};
        for (int c = 0; c < values.size(); ++c)
            stmt.bind(c + 1, values[c]);
        stmt.execute();
    }
    tx.commit();
    settle(shop.db);
}

void benchLookups(TempShop& shop)
{
    if (wanted("1"))
        report("1. look-up by code, indexed (findProductByCode)", 1, measure(50, 200, nullptr, [&] {
               check(findProductByCode(shop.db, productCode(randomProduct())).has_value(),
                     "the indexed look-up finds the product");
           }));
    if (wanted("2"))
        report("2. look-up by code, RecordSet scan in name order", 1, measure(1, 10, nullptr, [&] {
               const QString code = productCode(randomProduct());
               RecordSet rs;
               rs.open(shop.db, q::kProductos);
               const auto name = scanForCode(rs, code);
               check(name == findProductByCode(shop.db, code)->name, "the scan finds the product");
           }));
}

// Counts the paints of one widget, to be sure a timed Enter includes drawing the new total.
class PaintCounter final : public QObject {
public:
    using QObject::QObject;
    int paints = 0;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            ++paints;
        return QObject::eventFilter(watched, event);
    }
};

void benchEnter(TempShop& shop)
{
    Form1 form(shop.context);
    form.Form_Load();
    form.day().begin(kUser, kStamp);
    // Shown as the login shows it, filling the screen, so that the total lies inside the window.
    form.setGeometry(QGuiApplication::primaryScreen()->availableGeometry());
    form.showMaximized();
    check(QTest::qWaitForWindowExposed(&form), "the sales window is shown");
    PaintCounter totalPaints;
    form.Label8->installEventFilter(&totalPaints);

    // One Enter: the code typed, Return, and the pending repaint so the total is on screen.
    auto enter = [&](const QString& code) {
        const QString before = form.Label8->text();
        const int paintsBefore = totalPaints.paints;
        QElapsedTimer timer;
        timer.start();
        QTest::keyClicks(form.Text7, code);
        QTest::keyClick(form.Text7, Qt::Key_Return);
        QCoreApplication::processEvents();
        const qint64 ns = timer.nsecsElapsed();
        check(form.Label8->text() != before, "Enter changes the total");
        check(totalPaints.paints > paintsBefore, "the new total is painted");
        return ns;
    };
    Samples merged, added;
    for (int batch = 0; batch < 11; ++batch) {
        const bool warmup = batch == 0;
        form.Command2_Click();
        const QString code = productCode(randomProduct());
        enter(code);
        for (int i = 0; i < 20; ++i) {
            const qint64 ns = enter(code);
            if (!warmup)
                merged.push_back(ns);
        }
        check(form.ListView2.size() == 1 && form.ListView2[0][detail::Quantity] == "21",
              "repeated codes merge into one line of 21 units");
        form.Command2_Click();
        for (int i = 0; i < 20; ++i) {
            const qint64 ns = enter(productCode(randomProduct()));
            if (!warmup)
                added.push_back(ns);
        }
        check(form.ListView2.size() >= 19, "the sale grows to about 20 lines");
    }
    std::printf("  sample total after a 20-line sale: Label8 = \"%s\"\n",
                qPrintable(form.Label8->text()));
    check(shop.messages.boxes.isEmpty(), "no message box while ringing up");
    form.Command2_Click();
    report("3a. Enter, repeated code merged into its line", 5, std::move(merged));
    report("3b. Enter, new line (sale grown to 20 lines)", 5, std::move(added));
}

void benchRecording(TempShop& shop)
{
    // A hundred different products spread over the whole list, one to three units each.
    SaleLines lines;
    for (int i = 0; i < kSaleLines; ++i) {
        const int p = (i * 997 + 4242) % kProducts;
        lines << makeDetailLine(*findProductByCode(shop.db, productCode(p)), 1 + i % 3,
                                QString::number(i + 1));
    }
    const double total = computeTotal(lines);
    const QString totalText = plainNumber(total);
    auto emptyTemporal = [&] { shop.db.execute(QStringLiteral("delete from Temporal")); };
    auto cash = [&] {
        return shop.scalar(QStringLiteral("select efectivo from TipoPago")).toDouble();
    };
    auto stockOfFirst = [&] {
        return cellNumber(findProductByCode(shop.db, lines[0][detail::Code])->stock);
    };
    const double firstQuantity = cellNumber(lines[0][detail::Quantity]);

    const double cashBefore = cash();
    const double stockBefore = stockOfFirst();
    // Each sale starts on a folded journal, as the till idle between sales leaves it.
    auto idleTill = [&] {
        emptyTemporal();
        shop.db.foldJournal();
    };
    if (wanted("4a")) {
        report("4a. record 100-line sale (recordSale, one transaction)", 10,
               measure(2, 20, idleTill, [&] {
                   recordSale(shop.db, shop.clock,
                              {lines, kStamp, kUser, totalText, QStringLiteral("EFECTIVO")});
               }));
        check(shop.count(QStringLiteral("Temporal")) == kSaleLines, "recordSale writes 100 lines");
        check(qFuzzyCompare(cash() - cashBefore, 22 * total), "recordSale adds each total to the day");
        check(stockOfFirst() == stockBefore - 22 * firstQuantity, "recordSale takes the stock");
    }

    // What the till does once idle after the sale: the journal folded into bd1.
    if (wanted("4c")) {
        report("4c. fold the journal after a 100-line sale (when idle)", 50,
               measure(2, 20,
                       [&] {
                           emptyTemporal();
                           recordSale(shop.db, shop.clock,
                                      {lines, kStamp, kUser, totalText, QStringLiteral("EFECTIVO")});
                       },
                       [&] { check(shop.db.foldJournal(), "the fold empties the journal"); }));
    }

    if (wanted("4b")) {
        const double cashMid = cash();
        const double stockMid = stockOfFirst();
        report("4b. record 100-line sale, RecordSet rescans + autocommit", 50,
               measure(0, 3, emptyTemporal,
                       [&] { recordSaleLiterally(shop.db, shop.clock, lines, total); }));
        check(shop.count(QStringLiteral("Temporal")) == kSaleLines, "the literal way writes 100 lines");
        check(qFuzzyCompare(cash() - cashMid, 3 * total), "the literal way adds each total to the day");
        check(stockOfFirst() == stockMid - 3 * firstQuantity, "the literal way takes the stock");
    }
}

void benchClosing(TempShop& shop)
{
    const QString copiedIntact =
        QStringLiteral("select count(*) from Recaudacion where FechaInicio = '%1' and FechaVenta = "
                       "'%1' and Cantidad = 2 and TotalVenta = 1000")
            .arg(kIsoStamp);
    auto refill = [&] { fillDay(shop); };
    auto closed = [&] {
        return shop.count(QStringLiteral("Temporal")) == 0 &&
               shop.count(QStringLiteral("Recaudacion")) == kDayLines &&
               shop.scalar(copiedIntact).toInt() == kDayLines;
    };
    if (wanted("5a")) {
        report("5a. close day of 10,000 lines (cierreDelDia)", 500, measure(1, 10, refill, [&] {
               check(cierreDelDia(shop.db, shop.clock, kStamp) == kDayLines,
                     "cierreDelDia copies every line");
           }));
        check(closed(), "cierreDelDia moves Temporal intact into Recaudacion");
    }
    if (wanted("5b")) {
        report("5b. close day, row by row with autocommit", 500, measure(0, 3, refill, [&] {
               check(closeDayLiterally(shop.db, shop.clock) == kDayLines,
                     "the literal closing copies every line");
           }));
        check(closed(), "the literal closing moves Temporal intact into Recaudacion");
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
    settle(shop.db);
    std::printf("Tarvino sales benchmark\n");
    std::printf("  cores (nproc): %d; Qt %s; SQLite %s; SQLCipher %s\n",
                QThread::idealThreadCount(), qVersion(), sqlite3_libversion(),
                qPrintable(pragmaText(shop.db, QString::fromUtf8("PRAGMA cipher_version"))));
    std::printf("  database: %s; journal %s; synchronous %s (2 = FULL)\n",
                qPrintable(shop.dbPath()), qPrintable(pragmaText(shop.db, QString::fromUtf8("PRAGMA journal_mode"))),
                qPrintable(pragmaText(shop.db, QString::fromUtf8("PRAGMA synchronous"))));
    const QByteArray plan = ("EXPLAIN QUERY PLAN " + q::kProductoPorCodigo).toUtf8();
    std::printf("  plan of the code look-up: %s\n",
                qPrintable(pragmaText(shop.db, QString::fromUtf8(plan.constData()))));

    for (int i = 1; i < argc; ++i)
        selected << QString::fromLocal8Bit(argv[i]);
    benchLookups(shop);
    if (wanted("3a") || wanted("3b"))
        benchEnter(shop);
    benchRecording(shop);
    benchClosing(shop);

    printTable();
    return failures() ? 1 : 0;
}
