// The open day's reports read from a temporary bd1: the day's takings and their captions, the list
// of the day's sales and the lines of a chosen sale, under a decimal-comma and a decimal-point
// locale.
#include "data/database.h"
#include "data/query.h"
#include "reports/open_day.h"
#include "reports/sales_detail.h"
#include "support/temp_shop.h"

#include <QTest>


using namespace tarvino;
using namespace tarvino::test;

namespace {
const QString kToday = QStringLiteral("09/03/2026 9:05:07");

// Temporal lines "code, name, quantity, unit, total, kind, day, sale" and TipoPago rows
// "day, cash, card", with days and sale times in their stored form.
void fill(TempShop& shop, const QStringList& lines, const QStringList& days = {})
{
    for (const QString& line : lines) {
        const QStringList v = line.split(QLatin1Char(','));
        Query stmt(shop.db, QStringLiteral(
            "insert into Temporal (CodigoProducto, NombreProducto, Cantidad, ValorUnitario, TotalVenta, "
            "TipoPago, FechaInicio, FechaVenta, NombreUsuario, Categoria, TotalCosto) "
            "values (?,?,?,?,?,?,?,?,'ana','General',0)"));
        for (int i = 0; i < v.size(); ++i)
            stmt.bind(i + 1, v[i] == QLatin1String("NULL") ? QVariant() : QVariant(v[i]));
        stmt.execute();
    }
    for (const QString& day : days) {
        const QStringList v = day.split(QLatin1Char(','));
        shop.db.execute(insertInto(QStringLiteral("TipoPago")) + QStringLiteral(
            "values ('%1', %2, %3, 0, '%1')").arg(v[0], v[1], v[2]));
    }
}
} // namespace

class TestOpenDay : public QObject {
    Q_OBJECT

private slots:
    void dayTakings_data()
    {
        QTest::addColumn<QLocale>("locale");
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<QStringList>("days");
        QTest::addColumn<QString>("stamp");
        QTest::addColumn<QStringList>("captions"); // Label1, Label4, Label5

        const QStringList none;
        const QString cashOnly = QStringLiteral("2026-03-09 09:05:07,2490.5,0");
        const QStringList twoCash = {"100,Leche,1,990,990,EFECTIVO,2026-03-09 09:05:07,2026-03-09 09:10:00",
                                     "200,Pan,1,1500.5,1500.5,EFECTIVO,2026-03-09 09:05:07,2026-03-09 09:20:00"};
        QTest::newRow("no sale yet, es_CL") << kChile << none << none << kToday
            << QStringList{"$ 0,", "Total Efectivo = $ 0", "Total Tarjeta = $ 0"};
        QTest::newRow("no sale yet, C") << QLocale::c() << none << none << kToday
            << QStringList{"$ 0.", "Total Efectivo = $ 0", "Total Tarjeta = $ 0"};
        QTest::newRow("cash only, es_CL") << kChile << twoCash << QStringList{cashOnly} << kToday
            << QStringList{"$ 2.490,5", "Total Efectivo = $ 2.490,5", "Total Tarjeta = $ 0,"};
        QTest::newRow("cash only, C") << QLocale::c() << twoCash << QStringList{cashOnly} << kToday
            << QStringList{"$ 2,490.5", "Total Efectivo = $ 2,490.5", "Total Tarjeta = $ 0."};
        QTest::newRow("cash and card, rounded to two decimals")
            << kChile
            << QStringList{"100,Leche,1,990,990,EFECTIVO,2026-03-09 09:05:07,2026-03-09 09:10:00",
                           "200,Pan,1,1500.5,1500.5,TARJETA,2026-03-09 09:05:07,2026-03-09 09:20:00",
                           "300,Vino,1,1234567.891,1234567.891,EFECTIVO,2026-03-09 09:05:07,2026-03-09 09:30:00"}
            << QStringList{"2026-03-09 09:05:07,1235557.891,1500.5"} << kToday
            << QStringList{"$ 1.237.058,39", "Total Efectivo = $ 1.235.557,89", "Total Tarjeta = $ 1.500,5"};
        QTest::newRow("closed days' rows are not the day's")
            << kChile << QStringList{twoCash[0]}
            << QStringList{"2026-03-08 08:00:00,5000,7000", "2026-03-09 09:05:07,990,0",
                           "2026-03-10 08:00:00,1,1"}
            << kToday << QStringList{"$ 990,", "Total Efectivo = $ 990,", "Total Tarjeta = $ 0,"};
        QTest::newRow("resumed day before its stamp is reloaded")
            << kChile
            << QStringList{"100,Leche,2,990,1980,EFECTIVO,2026-03-08 08:00:00,2026-03-08 08:10:00",
                           "200,Pan,1,1500.5,1500.5,TARJETA,2026-03-08 08:00:00,2026-03-08 08:20:00"}
            << QStringList{"2026-03-08 08:00:00,1980,1500.5"} << kToday
            << QStringList{"$ 3.480,5", "Total Efectivo = $ 1.980,", "Total Tarjeta = $ 1.500,5"};
        QTest::newRow("an earlier day left unclosed counts with its row")
            << kChile
            << QStringList{"100,Leche,1,1000,1000,EFECTIVO,2026-03-08 08:00:00,2026-03-08 08:10:00",
                           "200,Pan,1,500,500,TARJETA,2026-03-09 09:05:07,2026-03-09 09:20:00"}
            << QStringList{"2026-03-08 08:00:00,1000,0", "2026-03-09 09:05:07,0,500"} << kToday
            << QStringList{"$ 1.500,", "Total Efectivo = $ 1.000,", "Total Tarjeta = $ 500,"};
    }

    void dayTakings()
    {
        QFETCH(QLocale, locale);
        QFETCH(QStringList, lines);
        QFETCH(QStringList, days);
        QFETCH(QString, stamp);
        QFETCH(QStringList, captions);
        QLocale::setDefault(locale);
        TempShop shop;
        fill(shop, lines, days);
        const QString before = shop.dump();
        // Past midnight: the date is today's, not the day's opening date.
        const QDateTime today(QDate(2026, 3, 10), QTime(0, 30, 0));
        const DayTakingsCaptions shown = dayTakingsCaptions(readDayTakings(shop.db, stamp, locale), today, locale);
        QCOMPARE((QStringList{shown.Label1, shown.Label4, shown.Label5}), captions);
        QCOMPARE(shown.Label3, QStringLiteral("10/03/2026"));
        QCOMPARE(shop.dump(), before);
    }

    // A server refuses to store such a line at all.
    void aLineThatIsNoNumberIsAnError()
    {
        TempShop shop;
        const QStringList line{"100,Leche,1,990,abc,EFECTIVO,2026-03-09 09:05:07,2026-03-09 09:10:00"};
        if (onServer()) {
            QVERIFY(errorOf([&] { fill(shop, line); }).contains(QLatin1String("abc")));
            QCOMPARE(shop.count(QStringLiteral("Temporal")), 0);
            return;
        }
        fill(shop, line);
        QVERIFY_THROWS_EXCEPTION(DbError, readDayTakings(shop.db, kToday));
    }

    void daySales_data()
    {
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<QStringList>("sales"); // "stamp|marker", as listed

        QTest::newRow("no sale") << QStringList{} << QStringList{};
        const auto sale = [](const char* when, const char* kind) {
            return QStringLiteral("100,Leche,1,990,990,%1,2026-01-31 08:00:00,%2").arg(QLatin1String(kind), QLatin1String(when));
        };
        QTest::newRow("latest first, across midnight and months")
            << QStringList{sale("2026-02-01 00:00:00", "EFECTIVO"), sale("2026-01-31 23:59:59", "TARJETA"),
                           sale("2026-12-01 09:00:00", "TARJETA"), sale("2026-02-01 00:00:01", "CHEQUE"),
                           sale("2026-02-09 10:00:00", "EFECTIVO")}
            << QStringList{"01/12/2026 9:00:00|T", "09/02/2026 10:00:00|E", "01/02/2026 0:00:01|",
                           "01/02/2026 0:00:00|E", "31/01/2026 23:59:59|T"};
        QTest::newRow("one second is one sale, marked by its first line")
            << QStringList{sale("2026-02-01 10:00:00", "TARJETA"), sale("2026-02-01 10:00:00", "EFECTIVO"),
                           sale("2026-02-01 10:00:01", "EFECTIVO")}
            << QStringList{"01/02/2026 10:00:01|E", "01/02/2026 10:00:00|T"};
    }

    void daySales()
    {
        QFETCH(QStringList, lines);
        QFETCH(QStringList, sales);
        TempShop shop;
        fill(shop, lines);
        const DaySales listed = readDaySales(shop.db);
        QStringList rows;
        for (qsizetype i = 0; i < listed.size(); ++i)
            rows << listed.stamp(i) + QLatin1Char('|') + listed.marker(i);
        QCOMPARE(rows, sales);
    }

    void saleDetail_data()
    {
        QTest::addColumn<QLocale>("locale");
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<QString>("chosen");
        QTest::addColumn<QStringList>("rows");
        QTest::addColumn<QStringList>("labels"); // Label1, Label2, Label4

        const QStringList day = {
            "100,Leche,2,500,1000,EFECTIVO,2026-03-09 09:05:07,2026-03-09 10:00:00",
            "200,Pan,1,1500.5,1500.5,TARJETA,2026-03-09 09:05:07,2026-03-09 11:00:00",
            "200,Pan,1,500,500,EFECTIVO,2026-03-09 09:05:07,2026-03-09 10:00:00",
            "300,Vino,1,NULL,700,CHEQUE,2026-03-09 09:05:07,2026-03-10 00:00:00",
            "100,Leche,1,990,990,TARJETA,2026-03-09 09:05:07,2026-03-10 00:00:00"};
        QTest::newRow("cash sale of two lines, es_CL")
            << kChile << day << "09/03/2026 10:00:00" << QStringList{"1|100|Leche|2|500|1000", "2|200|Pan|1|500|500"}
            << QStringList{"Venta realizada el 09/03/2026 a las 10:00:00 hrs.", "Valor Final $ 1.500,", "EFECTIVO"};
        QTest::newRow("cash sale of two lines, C")
            << QLocale::c() << day << "09/03/2026 10:00:00" << QStringList{"1|100|Leche|2|500|1000", "2|200|Pan|1|500|500"}
            << QStringList{"Venta realizada el 09/03/2026 a las 10:00:00 hrs.", "Valor Final $ 1,500.", "EFECTIVO"};
        QTest::newRow("card sale with decimals") << kChile << day << "09/03/2026 11:00:00"
            << QStringList{"1|200|Pan|1|1500,5|1500,5"}
            << QStringList{"Venta realizada el 09/03/2026 a las 11:00:00 hrs.", "Valor Final $ 1.500,5", "TARJETA"};
        QTest::newRow("two sales in one second at midnight") << kChile << day << "10/03/2026 0:00:00"
            << QStringList{"1|300|Vino|1||700", "2|100|Leche|1|990|990"}
            << QStringList{"Venta realizada el 10/03/2026 a las 0:00:00 hrs.", "Valor Final $ 1.690,", "TARJETA"};
    }

    void saleDetail()
    {
        QFETCH(QLocale, locale);
        QFETCH(QStringList, lines);
        QFETCH(QString, chosen);
        QFETCH(QStringList, rows);
        QFETCH(QStringList, labels);
        QLocale::setDefault(locale);
        TempShop shop;
        fill(shop, lines);
        const DaySales sales = readDaySales(shop.db);
        qsizetype row = 0;
        while (row < sales.size() && sales.stamp(row) != chosen)
            ++row;
        QVERIFY(row < sales.size());
        const SaleDetail detail = readSaleDetail(shop.db, sales.stored(row), sales.stamp(row), locale);
        QStringList shown;
        for (const QStringList& line : detail.rows)
            shown << line.join(QLatin1Char('|'));
        QCOMPARE(shown, rows);
        QCOMPARE((QStringList{detail.Label1, detail.Label2, detail.Label4}), labels);
    }
};

QTEST_GUILESS_MAIN(TestOpenDay)
#include "test_open_day.moc"
