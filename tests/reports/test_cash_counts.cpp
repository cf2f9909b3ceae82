// The drawer's counts of a period: a day counted, one closed by the exit, one open and, on a server,
// another till's day of the same second; totals to the cent and the chart's daily figures.
#include "cash/cash_book.h"
#include "data/database.h"
#include "data/query.h"
#include "reports/cash_counts.h"
#include "sales/sales_day.h"
#include "support/temp_shop.h"

#include <QTest>

using namespace tarvino;
using namespace tarvino::test;

namespace {

void addDayRow(Database& db, const QString& opened, double cash, double card, int openingPesos)
{
    Query(db, QStringLiteral("insert into TipoPago (FechaInicio, efectivo, tarjeta, CajaInicial, FechaCierre) "
                             "values (?, ?, ?, ?, ?)"), {opened, cash, card, openingPesos, opened}).execute();
}

void addCount(Database& db, const QString& opened, double expected, double counted, double difference)
{
    Query(db, QStringLiteral("insert into ArqueosCaja (FechaInicio, FechaArqueo, NombreUsuario, Fondo, Efectivo, Tarjeta, "
                             "Ingresos, Retiros, Esperado, Contado, Diferencia) values (?, ?, 'admin', 0, ?, 0, 0, 0, ?, ?, ?)"),
          {opened, opened, expected, expected, counted, difference}).execute();
}

// The week of 02/12 to 08/12/2026 and around it: 07/12 counted through the close (expected 2.700,30,
// counted 2.700), 08/12 10:00 closed by the exit (expected 6,60), 08/12 18:00 still open (its line
// waits in Temporal), 30/11 counted before the week and, on a server, 08/12 10:00 of "Caja 2".
void fillWeek(TempShop& shop, Database* otherTill)
{
    Database& db = shop.db;
    const QString admin = QStringLiteral("admin");
    shop.clock.current = QDateTime(QDate(2026, 12, 7), QTime(9, 0));
    const QString monday = QStringLiteral("07/12/2026 9:00:00");
    recordOpeningCash(db, shop.clock, monday, 100010, admin);
    addDayRow(db, "2026-12-07 09:00:00", 2000.2, 500, 1000);
    recordMovement(db, shop.clock, monday, {CashMovement::Kind::Out, 30000, "Retiro a caja fuerte", admin, {}, {}});
    closeDayWithCount(db, shop.clock, monday, admin, {270000, {}});

    const QString tuesday = QStringLiteral("08/12/2026 10:00:00");
    recordOpeningCash(db, shop.clock, tuesday, 550, admin);
    addDayRow(db, "2026-12-08 10:00:00", 0.1, 0.2, 5);
    recordMovement(db, shop.clock, tuesday, {CashMovement::Kind::In, 100, "Sencillo para vuelto", admin, {}, {}});
    cierreDelDia(db, shop.clock, tuesday);

    addDayRow(db, "2026-12-08 18:00:00", 990, 0, 0);
    Query(db, QStringLiteral("insert into Temporal (CodigoProducto, Cantidad, TotalVenta, TipoPago, FechaInicio, "
                             "FechaVenta) values ('100', 1, 990, 'EFECTIVO', ?, ?)"),
          {QStringLiteral("2026-12-08 18:00:00"), QStringLiteral("2026-12-08 18:01:00")}).execute();
    addCount(db, "2026-11-30 09:00:00", 100, 100, 0);
    if (otherTill)
        addCount(*otherTill, "2026-12-08 10:00:00", 0.2, 0.3, 0.1);
}

} // namespace

class TestCashCounts : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QLocale::setDefault(kChile); }

    void days_data()
    {
        QTest::addColumn<QDate>("from");
        QTest::addColumn<QDate>("to");
        // The till column left out; "Caja 2"'s day is there only on a server.
        QTest::addColumn<QStringList>("rows");
        QTest::addColumn<QString>("foot");
        QTest::addColumn<QString>("serverFoot");
        QTest::addColumn<QStringList>("daily");      // date|cash|card|difference in cents
        const QString monday = "07/12/2026 09:00|$ 1.000,10|$ 2.000,20|$ 500|$ 2.700,30|$ 2.700|-$ 0,30";
        const QString tuesday = "08/12/2026 10:00|$ 5,50|$ 0,10|$ 0,20|$ 6,60|sin arqueo|";
        const QString other = "Caja 2|08/12/2026 10:00|$ 0|$ 0,20|$ 0|$ 0,20|$ 0,30|$ 0,10";
        QTest::newRow("week") << QDate(2026, 12, 2) << QDate(2026, 12, 8) << QStringList{monday, tuesday, other}
                              << "2 días, 1 sin arqueo||TOTALES|$ 1.005,60|$ 2.000,30|$ 500,20|$ 2.706,90|$ 2.700|-$ 0,30"
                              << "3 días, 1 sin arqueo||TOTALES|$ 1.005,60|$ 2.000,50|$ 500,20|$ 2.707,10|$ 2.700,30|-$ 0,20"
                              << QStringList{"2026-12-07|200020|50000|-30", "2026-12-08|10|20|0"};
        QTest::newRow("one day") << QDate(2026, 12, 8) << QDate(2026, 12, 8) << QStringList{tuesday, other}
                                 << "1 día, 1 sin arqueo||TOTALES|$ 5,50|$ 0,10|$ 0,20|$ 6,60|$ 0|$ 0"
                                 << "2 días, 1 sin arqueo||TOTALES|$ 5,50|$ 0,30|$ 0,20|$ 6,80|$ 0,30|$ 0,10"
                                 << QStringList{"2026-12-08|10|20|0"};
        const QString none = "0 días||TOTALES|$ 0|$ 0|$ 0|$ 0|$ 0|$ 0";
        QTest::newRow("none") << QDate(2026, 12, 1) << QDate(2026, 12, 6) << QStringList{} << none << none << QStringList{};
    }
    void days()
    {
        QFETCH(QDate, from);
        QFETCH(QDate, to);
        QFETCH(QStringList, rows);
        QFETCH(QString, foot);
        QFETCH(QString, serverFoot);
        QFETCH(QStringList, daily);
        TempShop shop;
        const std::unique_ptr<Database> other = onServer() ? std::make_unique<Database>() : nullptr;
        if (other)
            other->openServer(shop.connection(), QStringLiteral("Caja 2"));
        fillWeek(shop, other.get());

        const CashCounts found = cashCounts(shop.db, {from, to});
        QStringList shown(qsizetype(found.days.size()));
        for (qsizetype r = 0; r < shown.size(); ++r)
            for (int c = 0; c < CashCounts::kColumns; ++c)
                shown[r] += (c ? QStringLiteral("|") : QString()) + found.cell(r, c, kChile);
        // On a server each day names its till, the other till's day after ours of the same second.
        QStringList expected;
        for (const QString& row : std::as_const(rows))
            if (other || !row.startsWith(QStringLiteral("Caja 2|")))
                expected << (row.startsWith(QStringLiteral("Caja 2|")) ? row : (other ? kTestTill : QString()) + '|' + row);
        QCOMPARE(shown, expected);
        QCOMPARE(found.anyTill(), other && !expected.isEmpty());
        QCOMPARE((found.daysText() + QLatin1Char('|') + found.foot(kChile).join(QLatin1Char('|'))), other ? serverFoot : foot);

        QStringList figures;
        for (const DailyFigures& day : found.daily())
            figures << QStringLiteral("%1|%2|%3|%4").arg(day.date.toString(Qt::ISODate)).arg(day.cash).arg(day.card).arg(day.difference);
        if (!other) // the chart adds up every till's day of a date; the file has one till
            QCOMPARE(figures, daily);
    }
};

QTEST_MAIN(TestCashCounts)
#include "test_cash_counts.moc"
