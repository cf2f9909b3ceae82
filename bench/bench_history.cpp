// Timings of the takings history on 1,000,000 closed sale lines over three years and 1,000 sales
// days: the list of days, a daily search and a monthly search (every category and one), each
// beside the record-set way (both tables walked whole in opening order, each line merged by a
// linear scan of a list of text rows), whose results the fast searches must equal.
// Not a test: it prints min / median / max per operation and the time each should stay under.
#include "bench_support.h"
#include "data/query.h"

#include "common/numbers.h"
#include "common/timestamps.h"
#include "data/database.h"
#include "data/recordset.h"
#include "reports/history.h"
#include "support/temp_shop.h"

#include <QCoreApplication>
#include <QDate>
#include <QElapsedTimer>
#include <QFileInfo>


#include <algorithm>
#include <cstdio>
#include <optional>
#include <vector>

using namespace tarvino;
using namespace tarvino::bench;
using tarvino::test::TempShop;

// The record sets this file opens, by their query texts.
namespace q {
const QString kRecaudacion = QStringLiteral("select * from Recaudacion order by FechaInicio");
const QString kTipoPago = QStringLiteral("select * from TipoPago order by FechaInicio");
} // namespace q

namespace {

constexpr int kDays = 1'000;
constexpr int kLinesPerDay = 1'000;
constexpr int kProducts = 2'000;
const QDate kFirstDate(2023, 1, 1);
const QDate kLastDate(2025, 12, 31);

struct Product {
    QString code;
    QString name;
    QString category;
    double cost;
    double price;
};

QString iso(const QDateTime& when)
{
    return when.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

// The history a shop leaves after three years: 1,000 of its days opened (mostly in the morning,
// on a month's last day in the evening), each with 1,000 lines of a catalogue where some
// products sell far more than others; the day row holds what its lines took in cash and by card.
// Returns the opening stamps in order.
std::vector<QDateTime> fillHistory(TempShop& shop)
{
    std::vector<Product> products;
    const auto& words = catalogueWords();
    for (int i = 0; i < kProducts; ++i) {
        const double cost = 300 + (i * 37) % 7000;
        products.push_back({productCode(i), QStringLiteral("%1 %2").arg(words[size_t(i) % words.size()]).arg(i),
                            words[size_t(i) % 13], cost, cost * 1.4 + (i % 4) * 0.25});
    }
    std::vector<QDate> dates;
    for (QDate d = kFirstDate; d <= kLastDate; d = d.addDays(1))
        dates.push_back(d);
    std::shuffle(dates.begin(), dates.end(), rng());
    dates.resize(kDays);
    std::sort(dates.begin(), dates.end());

    std::vector<QDateTime> openings;
    Query line(shop.db, QStringLiteral(
        "insert into Recaudacion (CodigoProducto, NombreProducto, Cantidad, TotalCosto, TotalVenta, "
        "TipoPago, NombreUsuario, Categoria, FechaInicio, FechaVenta) values (?,?,?,?,?,?,'admin',?,?,?)"));
    Query day(shop.db, QStringLiteral(
        "insert into TipoPago (FechaInicio, efectivo, tarjeta, CajaInicial, FechaCierre) values (?,?,?,0,?)"));
    std::uniform_int_distribution<int> popular(0, 99);
    std::uniform_int_distribution<int> anyProduct(0, kProducts - 1);
    std::uniform_int_distribution<int> units(1, 3);
    std::uniform_int_distribution<int> tenth(0, 9);
    Transaction tx(shop.db);
    for (const QDate& date : dates) {
        const bool lastOfMonth = date.day() == date.daysInMonth();
        const QDateTime opened(date, lastOfMonth ? QTime(21, 30, 5) : QTime(9, tenth(rng()), 7));
        openings.push_back(opened);
        const QString openedIso = iso(opened);
        double cash = 0;
        double card = 0;
        for (int i = 0; i < kLinesPerDay; ++i) {
            const Product& p = products[size_t(tenth(rng()) < 6 ? popular(rng()) : anyProduct(rng()))];
            const double quantity = units(rng()) + (tenth(rng()) == 0 ? 0.5 : 0.0);
            const double sale = quantity * p.price;
            const bool byCard = tenth(rng()) < 4;
            (byCard ? card : cash) += sale;
            const QVariantList values{p.code, p.name, quantity, quantity * p.cost, sale,
                                      byCard ? QStringLiteral("TARJETA") : QStringLiteral("EFECTIVO"),
                                      p.category, openedIso, iso(opened.addSecs(i * 30))};
            for (int v = 0; v < values.size(); ++v)
                line.bind(v + 1, values[v]);
            line.execute();
        }
        const QVariantList values{openedIso, cash, card, iso(opened.addSecs(kLinesPerDay * 30 + 60))};
        for (int v = 0; v < values.size(); ++v)
            day.bind(v + 1, values[v]);
        day.execute();
    }
    tx.commit();
    settle(shop.db);
    return openings;
}

// What a search shows: the list's rows as text cells and the six captions.
struct Shown {
    QList<QStringList> rows;
    QStringList labels;
    bool operator==(const Shown&) const = default;
};

Shown shown(const HistoryResult& result)
{
    Shown s;
    for (qsizetype r = 0; r < qsizetype(result.lines.size()); ++r) {
        QStringList cells;
        for (int c = 0; c < HistoryResult::kColumns; ++c)
            cells << result.cell(r, c);
        s.rows << cells;
    }
    s.labels = {result.label4, result.label6, result.label7, result.label8, result.label9, result.label11};
    return s;
}

const QString kPicture = QStringLiteral("$ ###,###,###.###");

// The list rows kept as text cells, merged by walking them from the first for the line's code.
void MergeHistoryLine(QList<QStringList>& list, const RecordSet& rs)
{
    for (QStringList& row : list) {
        if (row[1] == rs.text(QStringLiteral("CodigoProducto"))) {
            row[3] = plainNumber(*readNumber(row[3]) + rs.number(QStringLiteral("Cantidad")));
            row[4] = plainNumber(*readNumber(row[4]) + rs.number(QStringLiteral("TotalCosto")));
            row[5] = plainNumber(*readNumber(row[5]) + rs.number(QStringLiteral("TotalVenta")));
            return;
        }
    }
    list << QStringList{QString::number(list.size() + 1),           rs.text(QStringLiteral("CodigoProducto")),
                        rs.text(QStringLiteral("NombreProducto")), rs.text(QStringLiteral("Cantidad")),
                        rs.text(QStringLiteral("TotalCosto")),     rs.text(QStringLiteral("TotalVenta")),
                        rs.text(QStringLiteral("Categoria"))};
}

// The record-set way: every line of Recaudacion and every day row walked in opening order. With a
// category, only its lines count and its cash and card are what those lines took.
Shown literalSearch(Database& db, const std::optional<QString>& day, const QString& monthName,
                    const QString& year, const std::optional<QString>& category)
{
    Shown s;
    const QString month = monthNumber(monthName);
    const auto inSearch = [&](const QString& stamp) {
        return day ? stamp == *day : stamp.mid(3, 2) == month && stamp.mid(6, 4) == year;
    };
    double c = 0;
    double v = 0;
    double cashOfLines = 0;
    double cardOfLines = 0;
    s.labels = QStringList(6);
    RecordSet rs;
    rs.open(db, q::kRecaudacion);
    const bool any = !rs.eof();
    for (; !rs.eof(); rs.moveNext()) {
        if (!inSearch(rs.text(QStringLiteral("FechaInicio"))))
            continue;
        if (category && rs.text(QStringLiteral("Categoria")) != *category)
            continue;
        MergeHistoryLine(s.rows, rs);
        c += rs.number(QStringLiteral("TotalCosto"));
        v += rs.number(QStringLiteral("TotalVenta"));
        const QString kind = rs.text(QStringLiteral("TipoPago"));
        if (kind == QLatin1String("EFECTIVO"))
            cashOfLines += rs.number(QStringLiteral("TotalVenta"));
        else if (kind == QLatin1String("TARJETA"))
            cardOfLines += rs.number(QStringLiteral("TotalVenta"));
    }
    rs.close();
    if (day || any) {
        s.labels[1] = QStringLiteral("Costo Total ") + formatPicture(c, kPicture);
        s.labels[2] = QStringLiteral("Venta Total ") + formatPicture(v, kPicture);
        s.labels[3] = QStringLiteral("Utilidad ") + formatPicture(v - c, kPicture);
    }
    if (!day && any)
        s.labels[0] = QStringLiteral("Ventas realizadas en ") + monthName + QStringLiteral(" del ") + year;
    double e = 0;
    double t = 0;
    rs.open(db, q::kTipoPago);
    for (; !rs.eof(); rs.moveNext()) {
        const QString stamp = rs.text(QStringLiteral("FechaInicio"));
        if (!inSearch(stamp))
            continue;
        e += rs.number(QStringLiteral("efectivo"));
        t += rs.number(QStringLiteral("tarjeta"));
        if (day) {
            const QDateTime opened = *readStamp(stamp);
            const QDateTime closed = *readStamp(rs.text(QStringLiteral("FechaCierre")));
            s.labels[0] = QStringLiteral("APERTURA:  ") + dateText(opened) + QStringLiteral(" a las ") +
                          shortTimeText(opened) + QStringLiteral(" hrs. ") + QStringLiteral(" CIERRE:  ") +
                          dateText(closed) + QStringLiteral(" a las ") + shortTimeText(closed) +
                          QStringLiteral(" hrs. ");
            break;
        }
    }
    rs.close();
    if (category) {
        e = cashOfLines;
        t = cardOfLines;
    }
    s.labels[4] = QStringLiteral("Efectivo ") + formatPicture(e, kPicture);
    s.labels[5] = QStringLiteral("Tarjeta ") + formatPicture(t, kPicture);
    return s;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QLocale::setDefault(QLocale(QLocale::Spanish, QLocale::Chile));

    TempShop shop;
    QElapsedTimer filling;
    filling.start();
    const std::vector<QDateTime> openings = fillHistory(shop);
    std::printf("History of %d days x %d lines written in %.1f s; bd1 is %.0f MiB.\n", kDays, kLinesPerDay,
                double(filling.elapsed()) / 1000.0, double(QFileInfo(shop.dbPath()).size()) / 1048576.0);
    check(shop.count(QStringLiteral("Recaudacion")) == kDays * kLinesPerDay, "a million lines");

    std::printf("Plan of the daily lines: %s\n",
                qPrintable(pragmaText(shop.db, QStringLiteral(
                    "explain query plan select * from Recaudacion where FechaInicio = '2024-01-01 09:00:07' "
                    "order by FechaInicio, rowid"))));
    std::printf("Plan of the monthly lines: %s\n",
                qPrintable(pragmaText(shop.db, QStringLiteral(
                    "explain query plan select * from Recaudacion where FechaInicio >= '2024-03-' and "
                    "FechaInicio < '2024-03-~' order by FechaInicio, rowid"))));

    // The days chosen for the daily runs, and a month per run, spread over the three years so that
    // each run reads pages the previous one did not.
    std::vector<QString> days;
    for (size_t i = 0; i < openings.size(); i += openings.size() / 25)
        days.push_back(stampText(openings[i]));
    struct Month {
        QString name;
        QString year;
    };
    std::vector<Month> months;
    for (int i = 0; i < 15; ++i) {
        const QDate d = kFirstDate.addMonths(i * 35 / 15 + 1);
        months.push_back({monthNames()[d.month() - 1], QString::number(d.year())});
    }
    const QString category = catalogueWords()[2];

    HistoryChoices choices;
    report("1. days, years and categories at load (historyChoices)", 100,
           measure(1, 10, [&] { choices = historyChoices(shop.db, QDate(2026, 3, 9)); }));
    check(choices.days.size() == kDays, "every day listed");
    check(choices.years == QStringList({"2026", "2025", "2024", "2023"}), "years 2026 back to 2023");

    size_t next = 0;
    HistoryResult daily;
    report("2a. daily search, every category (dailySearch)", 50,
           measure(2, 20, [&] { ++next; },
                   [&] { daily = dailySearch(shop.db, days[next % days.size()], shop.db.till(), {}); }));
    check(!daily.lines.empty() && !daily.label4.isEmpty(), "the day's products and its opening line");
    report("2b. daily search, one category", 50, measure(2, 20, [&] { ++next; }, [&] {
               daily = dailySearch(shop.db, days[next % days.size()], shop.db.till(), category);
           }));
    next = 0;
    HistoryResult monthly;
    report("3a. monthly search, every category (monthlySearch)", 300, measure(1, 12, [&] { ++next; }, [&] {
               const Month& m = months[next % months.size()];
               monthly = monthlySearch(shop.db, m.name, m.year, {});
           }));
    check(monthly.lines.size() > 1000, "a month lists most of the catalogue");
    report("3b. monthly search, one category", 300, measure(1, 12, [&] { ++next; }, [&] {
               const Month& m = months[next % months.size()];
               monthly = monthlySearch(shop.db, m.name, m.year, category);
           }));

    // The record-set way on the same searches, each checked equal to the fast one.
    const QString literalDay = days[3];
    const Month literalMonth = months[4];
    Shown literal;
    report("2c.   daily search, record-set walk + linear merge", 0,
           measure(0, 2, [&] { literal = literalSearch(shop.db, literalDay, {}, {}, {}); }));
    check(literal == shown(dailySearch(shop.db, literalDay, shop.db.till(), {})),
          "daily search equals the record-set walk");
    std::printf("Resident memory after a record-set walk: %.0f MiB\n", residentMiB());
    report("3c.   monthly search, record-set walk + linear merge", 0, measure(0, 2, [&] {
               literal = literalSearch(shop.db, {}, literalMonth.name, literalMonth.year, {});
           }));
    check(literal == shown(monthlySearch(shop.db, literalMonth.name, literalMonth.year, {})),
          "monthly search equals the record-set walk");
    literal = literalSearch(shop.db, {}, literalMonth.name, literalMonth.year, category);
    check(literal == shown(monthlySearch(shop.db, literalMonth.name, literalMonth.year, category)),
          "monthly search of one category equals the record-set walk");
    literal = literalSearch(shop.db, days[7], {}, {}, category);
    check(literal == shown(dailySearch(shop.db, days[7], shop.db.till(), category)),
          "daily search of one category equals the record-set walk");

    // A day opened on a month's last evening belongs to that month, its lines after midnight too.
    const auto evening = std::find_if(openings.begin(), openings.end(),
                                      [](const QDateTime& d) { return d.time().hour() == 21; });
    check(evening != openings.end(), "a day opened on a month's last evening");
    if (evening != openings.end()) {
        const QString monthName = monthNames()[evening->date().month() - 1];
        const QString year = QString::number(evening->date().year());
        literal = literalSearch(shop.db, {}, monthName, year, {});
        check(literal == shown(monthlySearch(shop.db, monthName, year, {})),
              "the month of an evening opening equals the record-set walk");
    }

    printTable();
    return failures() ? 1 : 0;
}
