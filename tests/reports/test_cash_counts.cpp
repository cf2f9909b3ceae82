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

void addDayRow(Database& db, const char* opened, double cash, double card, int openingPesos)
{
    Query(db, QStringLiteral("insert into TipoPago (FechaInicio, efectivo, tarjeta, CajaInicial, "
                             "FechaCierre) values (?, ?, ?, ?, ?)"),
          {QString::fromLatin1(opened), cash, card, openingPesos, QString::fromLatin1(opened)})
        .execute();
}

void addCount(Database& db, const char* opened, double expected, double counted, double difference)
{
    Query(db, QStringLiteral("insert into ArqueosCaja (FechaInicio, FechaArqueo, NombreUsuario, Fondo, "
                             "Efectivo, Tarjeta, Ingresos, Retiros, Esperado, Contado, Diferencia) "
                             "values (?, ?, 'admin', 0, ?, 0, 0, 0, ?, ?, ?)"),
          {QString::fromLatin1(opened), QString::fromLatin1(opened), expected, expected, counted, difference})
        .execute();
}

// The week of 02/12/2026 to 08/12/2026 and around it:
// - 07/12 09:00, counted through the close: opening 1.000,10, cash 2.000,20, card 500, 300 out,
//   counted 2.700 (expected 2.700,30, short by 0,30);
// - 08/12 10:00, closed by the exit: opening 5,50, cash 0,10, card 0,20, 1 in (expected 6,60);
// - 08/12 18:00, still open (its line waits in Temporal);
// - 30/11 counted, before the week; on a server, 08/12 10:00 of "Caja 2" counted 0,10 over.
void fillWeek(TempShop& shop, Database* otherTill)
{
    Database& db = shop.db;
    shop.clock.current = QDateTime(QDate(2026, 12, 7), QTime(9, 0));
    const QString monday = QStringLiteral("07/12/2026 9:00:00");
    recordOpeningCash(db, shop.clock, monday, 100010, QStringLiteral("admin"));
    addDayRow(db, "2026-12-07 09:00:00", 2000.2, 500, 1000);
    recordMovement(db, shop.clock, monday,
                   {CashMovement::Kind::Out, 30000, QStringLiteral("Retiro a caja fuerte"), QStringLiteral("admin"), {}, {}});
    closeDayWithCount(db, shop.clock, monday, QStringLiteral("admin"), {270000, {}});

    const QString tuesday = QStringLiteral("08/12/2026 10:00:00");
    recordOpeningCash(db, shop.clock, tuesday, 550, QStringLiteral("admin"));
    addDayRow(db, "2026-12-08 10:00:00", 0.1, 0.2, 5);
    recordMovement(db, shop.clock, tuesday,
                   {CashMovement::Kind::In, 100, QStringLiteral("Sencillo para vuelto"), QStringLiteral("admin"), {}, {}});
    cierreDelDia(db, shop.clock, tuesday);

    addDayRow(db, "2026-12-08 18:00:00", 990, 0, 0);
    Query(db, QStringLiteral("insert into Temporal (CodigoProducto, Cantidad, TotalVenta, TipoPago, "
                             "FechaInicio, FechaVenta) values ('100', 1, 990, 'EFECTIVO', ?, ?)"),
          {QStringLiteral("2026-12-08 18:00:00"), QStringLiteral("2026-12-08 18:01:00")})
        .execute();
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
        QTest::newRow("none") << QDate(2026, 12, 1) << QDate(2026, 12, 6) << QStringList{}
                              << "0 días||TOTALES|$ 0|$ 0|$ 0|$ 0|$ 0|$ 0"
                              << "0 días||TOTALES|$ 0|$ 0|$ 0|$ 0|$ 0|$ 0" << QStringList{};
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
        std::unique_ptr<Database> other;
        if (onServer()) {
            other = std::make_unique<Database>();
            other->openServer(shop.connection(), QStringLiteral("Caja 2"));
        }
        fillWeek(shop, other.get());

        const CashCounts found = cashCounts(shop.db, {from, to});
        QStringList shown;
        for (qsizetype r = 0; r < qsizetype(found.days.size()); ++r) {
            QStringList cells;
            for (int c = 0; c < CashCounts::kColumns; ++c)
                cells << found.cell(r, c, kChile);
            shown << cells.join(QLatin1Char('|'));
        }
        // On a server each day names its till, the other till's day after ours of the same second.
        QStringList expected;
        for (const QString& row : std::as_const(rows)) {
            if (!row.startsWith(QStringLiteral("Caja 2|")))
                expected << (other ? kTestTill : QString()) + QLatin1Char('|') + row;
            else if (other)
                expected << row;
        }
        QCOMPARE(shown, expected);
        QCOMPARE(found.anyTill(), other && !expected.isEmpty());
        QCOMPARE((found.daysText() + QLatin1Char('|') + found.foot(kChile).join(QLatin1Char('|'))), other ? serverFoot : foot);

        if (!other) { // the chart adds up every till's day of a date; the file has one till
            QStringList figures;
            for (const DailyFigures& day : found.daily())
                figures << QStringLiteral("%1|%2|%3|%4").arg(day.date.toString(Qt::ISODate)).arg(day.cash).arg(day.card).arg(day.difference);
            QCOMPARE(figures, daily);
        }
    }
};

QTEST_MAIN(TestCashCounts)
#include "test_cash_counts.moc"
