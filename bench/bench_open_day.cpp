// Timings of the open day's reports with 10,000 sale lines in the day (2,500 sales of four lines):
// the day's takings window opened and painted, the sales detail window opened with its list and a
// chosen sale's lines shown, each beside the record-set way (every line read into a record set and
// walked, the sales list and the payment markers found by scans, an item per list row).
// Not a test: it prints min / median / max per operation and the time each should stay under.
#include "bench_support.h"
#include "data/query.h"

#include "common/numbers.h"
#include "common/timestamps.h"
#include "data/database.h"
#include "data/recordset.h"
#include "reports/day_takings_window.h"
#include "reports/open_day.h"
#include "reports/sales_detail_window.h"
#include "sales/sales_window.h"
#include "support/temp_shop.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QItemSelectionModel>
#include <QLabel>
#include <QThread>
#include <QTreeView>
#include <QTreeWidget>

#include <sqlite3.h>

#include <cstdio>

using namespace tarvino;
using namespace tarvino::bench;
using tarvino::test::TempShop;

namespace {

constexpr int kSales = 2'500;
constexpr int kLinesPerSale = 4;
constexpr int kLines = kSales * kLinesPerSale;
constexpr int kClosedDays = 365;
const QDateTime kOpening(QDate(2026, 3, 9), QTime(8, 0, 0), Qt::UTC);

// Runs body runs times after warmup untimed runs; setup runs untimed before each.
Samples timed(int warmup, int runs, const std::function<void()>& setup, const std::function<void()>& body)
{
    Samples ns;
    for (int i = 0; i < warmup + runs; ++i) {
        setup();
        QElapsedTimer timer;
        timer.start();
        body();
        if (i >= warmup)
            ns.push_back(timer.nsecsElapsed());
    }
    return ns;
}

// A year of closed days and one open day of kSales sales, every 13 seconds from 8:00, so the day
// runs past midnight; each sale of four lines, paid in cash or by card.
void fillDay(TempShop& shop)
{
    Transaction tx(shop.db);
    Query day(shop.db, QStringLiteral("insert into TipoPago values (?, ?, ?, 0, ?)"));
    for (int d = kClosedDays; d >= 1; --d) {
        const QDateTime opened = kOpening.addDays(-d);
        day.bind(1, isoText(opened));
        day.bind(2, 150000.0 + d);
        day.bind(3, 90000.0 + d);
        day.bind(4, isoText(opened.addSecs(12 * 3600)));
        day.execute();
    }
    Query line(shop.db, QStringLiteral(
        "insert into Temporal values (?, ?, ?, ?, ?, ?, 'ana', 'General', ?, ?, ?)"));
    double cash = 0;
    double card = 0;
    for (int s = 0; s < kSales; ++s) {
        const bool byCard = s % 3 == 0;
        const QString when = isoText(kOpening.addSecs(qint64(s) * 13));
        for (int l = 0; l < kLinesPerSale; ++l) {
            const double unit = 490 + 10 * ((s + l) % 50) + (l == 3 ? 0.5 : 0);
            const double quantity = 1 + l % 2;
            const QVariantList values{QString::number(7'800'000 + (s * 7 + l) % 5000),
                                      QStringLiteral("Producto %1").arg((s * 7 + l) % 5000),
                                      quantity, 300 * quantity, unit * quantity,
                                      byCard ? QStringLiteral("TARJETA") : QStringLiteral("EFECTIVO"),
                                      isoText(kOpening), when, unit};
            for (int i = 0; i < values.size(); ++i)
                line.bind(i + 1, values[i]);
            line.execute();
            (byCard ? card : cash) += unit * quantity;
        }
    }
    day.bind(1, isoText(kOpening));
    day.bind(2, cash);
    day.bind(3, card);
    day.bind(4, isoText(kOpening.addSecs(qint64(kSales) * 13)));
    day.execute();
    tx.commit();
    shop.db.execute(QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)"));
}

// The record-set way of the day's takings: every line read and added up, the stamp reloaded from
// a record set of the whole day, the day row found by walking TipoPago, then the captions.
QString literalDayTakings(Database& db, const QString& stamp)
{
    RecordSet rs;
    rs.open(db, QStringLiteral("select * from Temporal"));
    double sum = 0;
    for (; !rs.eof(); rs.moveNext())
        sum += rs.number(QStringLiteral("TotalVenta"));
    rs.close();
    DayTakings takings{plainNumber(sum), {}, {}};
    rs.open(db, QStringLiteral("select * from Temporal"));
    const QString opening = rs.eof() ? stamp : rs.text(QStringLiteral("FechaInicio"));
    rs.close();
    rs.open(db, QStringLiteral("select * from TipoPago Order by FechaInicio"));
    for (; !rs.eof(); rs.moveNext()) {
        if (rs.text(QStringLiteral("FechaInicio")) == opening) {
            takings.cash = rs.text(QStringLiteral("efectivo"));
            takings.card = rs.text(QStringLiteral("tarjeta"));
            break;
        }
    }
    rs.close();
    const DayTakingsCaptions captions = dayTakingsCaptions(takings, QDateTime::currentDateTime());
    return captions.Label1 + captions.Label4 + captions.Label5;
}

// The record-set way of the sales list: the grouped stamps added in reverse, then each row's
// marker found by walking the day's lines in FechaVenta order from the first to the first match.
void literalSalesList(Database& db, QTreeWidget& list)
{
    list.clear();
    // The record set moves only forward: the grouped rows are read first, then added last to first.
    RecordSet rs;
    rs.open(db, QStringLiteral("select FechaVenta from Temporal group by FechaVenta"));
    QStringList stamps;
    for (; !rs.eof(); rs.moveNext())
        stamps << rs.text(QStringLiteral("FechaVenta"));
    rs.close();
    for (qsizetype i = stamps.size() - 1; i >= 0; --i)
        list.addTopLevelItem(new QTreeWidgetItem(QStringList{stamps[i], QString()}));

    rs.open(db, QStringLiteral("select * from Temporal order by FechaVenta"));
    for (int r = list.topLevelItemCount() - 1; r >= 0; --r) {
        QTreeWidgetItem* item = list.topLevelItem(r);
        for (rs.moveFirst(); !rs.eof(); rs.moveNext()) {
            if (rs.text(QStringLiteral("FechaVenta")) == item->text(0)) {
                const QString kind = rs.text(QStringLiteral("TipoPago"));
                item->setText(1, kind == QLatin1String("EFECTIVO") ? QStringLiteral("E")
                                 : kind == QLatin1String("TARJETA") ? QStringLiteral("T")
                                                                     : QString());
                break;
            }
        }
    }
    rs.close();
}

// The record-set way of one sale: every line of the day walked, the matching ones added as items.
QString literalSaleLines(Database& db, QTreeWidget& lines, const QString& text1)
{
    lines.clear();
    RecordSet rs;
    rs.open(db, QStringLiteral("select * from Temporal order by FechaVenta"));
    QString kind;
    double sum = 0;
    for (; !rs.eof(); rs.moveNext()) {
        if (rs.text(QStringLiteral("FechaVenta")) != text1)
            continue;
        const QString total = rs.text(QStringLiteral("TotalVenta"));
        lines.addTopLevelItem(new QTreeWidgetItem(
            QStringList{QString::number(lines.topLevelItemCount() + 1), rs.text(QStringLiteral("CodigoProducto")),
                        rs.text(QStringLiteral("NombreProducto")), rs.text(QStringLiteral("Cantidad")),
                        rs.text(QStringLiteral("ValorUnitario")), total}));
        sum += readNumber(total).value_or(0);
        kind = rs.text(QStringLiteral("TipoPago"));
    }
    rs.close();
    return formatPicture(sum, QStringLiteral("$ ###,###,###.###")) + kind;
}

void benchDayTakings(TempShop& shop, Form1& sales)
{
    QString shown;
    Form6* form = nullptr;
    Samples open = timed(
        2, 21,
        [&] {
            if (form)
                delete form;
            form = nullptr;
        },
        [&] {
            form = Form6::open(sales, shop.context);
            QCoreApplication::processEvents();
            form->repaint();
        });
    shown = form->Label1->text() + form->Label4->text() + form->Label5->text();
    delete form;
    check(!shown.isEmpty() && shown.startsWith(QLatin1String("$ ")) && !shown.startsWith(QLatin1String("$ 0")),
          "day's takings shows the day's total");
    report("day's takings: open Form6 until painted", 50, std::move(open));

    report("day's takings: readDayTakings alone", 0,
           measure(2, 21, [&] { (void)readDayTakings(shop.db, sales.day().openingStamp()); }));

    QString literal;
    report("record sets: sum, reload stamp, walk TipoPago", 0,
           measure(1, 5, [&] { literal = literalDayTakings(shop.db, sales.day().openingStamp()); }));
    check(literal == shown, "the record-set way shows the same figures");
}

void benchSalesDetail(TempShop& shop, Form1& sales)
{
    Form12* form = nullptr;
    Samples open = timed(
        2, 11,
        [&] {
            if (form)
                delete form;
            form = nullptr;
        },
        [&] {
            form = Form12::open(&sales, shop.context);
            QCoreApplication::processEvents();
            form->repaint();
        });
    check(form->saleRows().size() == kSales, "sales detail lists every sale");
    report("sales detail: open Form12 with its list until painted", 200, std::move(open));

    // A sale chosen from the list, as a click selects it, until its lines are painted.
    int row = 0;
    Samples choose = timed(
        2, 31, [&] { row = (row + 397) % kSales; },
        [&] {
            form->ListView2->selectionModel()->select(form->ListView2->model()->index(row, 0),
                                                      QItemSelectionModel::ClearAndSelect |
                                                          QItemSelectionModel::Rows);
            QCoreApplication::processEvents();
            form->repaint();
        });
    check(form->lineRows().rows.size() == kLinesPerSale, "the chosen sale shows its four lines");
    report("sales detail: a chosen sale's lines until painted", 50, std::move(choose));
    const QString chosen = form->Text1;
    const QString shown = form->Label2->text().mid(QStringLiteral("Valor Final ").size()) + form->Label4->text();
    delete form;

    QTreeWidget list;
    list.setColumnCount(2);
    list.resize(240, 400);
    list.show();
    report("record sets: sales list with markers by scans (1 run)", 0,
           measure(0, 1, [&] {
               literalSalesList(shop.db, list);
               list.repaint();
           }));
    check(list.topLevelItemCount() == kSales, "the record-set way lists every sale");

    QTreeWidget lines;
    lines.setColumnCount(6);
    lines.resize(700, 300);
    lines.show();
    QString literal;
    report("record sets: one sale's lines by a walk of the day", 0,
           measure(1, 5, [&] {
               literal = literalSaleLines(shop.db, lines, chosen);
               lines.repaint();
           }));
    check(literal == shown && lines.topLevelItemCount() == kLinesPerSale,
          "the record-set way shows the same sale");
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QLocale::setDefault(QLocale(QLocale::Spanish, QLocale::Chile));

    TempShop shop;
    fillDay(shop);
    std::printf("Tarvino open day benchmark: %d sale lines in %d sales in the open day, %d closed days\n",
                kLines, kSales, kClosedDays);
    std::printf("  cores (nproc): %d; Qt %s; SQLite %s\n", QThread::idealThreadCount(), qVersion(),
                sqlite3_libversion());

    Form1 sales(shop.context);
    sales.day().begin(QStringLiteral("admin"), stampText(kOpening));
    sales.show();
    QCoreApplication::processEvents();

    benchDayTakings(shop, sales);
    benchSalesDetail(shop, sales);
    printTable();
    std::printf("  resident memory: %.1f MiB\n", residentMiB());
    return failures() ? 1 : 0;
}
