// The ledger's check, on two tills: a shop whose rows agree with what both tills said passes, and
// each kind of fault planted in the rows is named.
#include "stress/ledger.h"

#include <QTest>

using namespace tarvino::stress;

namespace {

const QString k1 = QStringLiteral("Caja 1");
const QString k2 = QStringLiteral("Caja 2");
const QString kDay = QStringLiteral("2026-03-09 08:00:01");  // both tills' first day
const QString kDay2 = QStringLiteral("2026-03-09 08:00:06"); // Caja 1's day after its closing

// Caja 1: a sale stored, one not stored, one of unknown outcome (not there), its day counted and
// closed, a split sale in its next day, a new product saved. Caja 2: one sale in its open day, the
// same second as Caja 1's first, its opening cash and a cash out.
Ledger toldByTills()
{
    Ledger ledger({{QStringLiteral("1001"), {QStringLiteral("Leche"), 10}},
                   {QStringLiteral("1002"), {QStringLiteral("Pan"), 10}},
                   {QStringLiteral("1003"), {QStringLiteral("Queso"), 10}}});
    const QStringList one = {
        QStringLiteral("S|"),
        QStringLiteral("L|09/03/2026 8:00:01"),
        QStringLiteral("B|2026-03-09 08:00:02|EFECTIVO|300|1001:1:100,1002:1:200"),
        QStringLiteral("R|2026-03-09 08:00:02"),
        QStringLiteral("B|2026-03-09 08:00:03|TARJETA|100|1001:1:100"),
        QStringLiteral("N|2026-03-09 08:00:03|Se perdió la conexión con el servidor"),
        QStringLiteral("K|reopen|Se perdió la conexión con el servidor"),
        QStringLiteral("B|2026-03-09 08:00:04|EFECTIVO|100|1001:1:100"),
        QStringLiteral("U|2026-03-09 08:00:04|sin respuesta"),
        QStringLiteral("A|2026-03-09 08:00:05|2026-03-09 08:00:01|29990"),
        QStringLiteral("a|2026-03-09 08:00:05"),
        QStringLiteral("L|09/03/2026 8:00:06"),
        QStringLiteral("B|2026-03-09 08:00:07|MIXTO|200|1002:1:200|5050"),
        QStringLiteral("R|2026-03-09 08:00:07"),
        QStringLiteral("P|2026-03-09 08:00:08|901|0|Nuevo|5|100|200|1|Varios"),
        QStringLiteral("p|2026-03-09 08:00:08"),
    };
    const QStringList two = {
        QStringLiteral("S|"),
        QStringLiteral("L|09/03/2026 8:00:01"),
        QStringLiteral("B|2026-03-09 08:00:02|EFECTIVO|100|1001:1:100"),
        QStringLiteral("R|2026-03-09 08:00:02"),
        QStringLiteral("O|2026-03-09 08:00:03|2026-03-09 08:00:01|123456"),
        QStringLiteral("o|2026-03-09 08:00:03|2026-03-09 08:00:01"),
        QStringLiteral("M|2026-03-09 08:00:04|2026-03-09 08:00:01|-5050"),
        QStringLiteral("m|2026-03-09 08:00:04"),
    };
    ledger.beginRun(k1);
    ledger.beginRun(k2);
    for (const QString& line : one)
        ledger.hear(k1, line);
    for (const QString& line : two)
        ledger.hear(k2, line);
    return ledger;
}

StoredShop wholeShop()
{
    StoredShop shop;
    const QString sold = QStringLiteral("2026-03-09 08:00:02");
    shop.history = {{k1, QStringLiteral("1001"), 1, 100, QStringLiteral("EFECTIVO"), kDay, sold},
                    {k1, QStringLiteral("1002"), 1, 200, QStringLiteral("EFECTIVO"), kDay, sold}};
    shop.open = {{k1, QStringLiteral("1002"), 1, 200, QStringLiteral("MIXTO"), kDay2, QStringLiteral("2026-03-09 08:00:07")},
                 {k2, QStringLiteral("1001"), 1, 100, QStringLiteral("EFECTIVO"), kDay, sold}};
    shop.days = {{k1, kDay, 300, 0, QStringLiteral("2026-03-09 08:00:05")},
                 {k1, kDay2, 50.5, 149.5, QStringLiteral("2026-03-09 08:00:07")},
                 {k2, kDay, 100, 0, sold, 1234}};
    shop.openings = {{k2, kDay, kDay, {}, {123456}, {}}};
    shop.movements = {{k2, kDay, QStringLiteral("2026-03-09 08:00:04"), QStringLiteral("RETIRO"), {5050}, {}}};
    shop.payments = {{k1, kDay, sold, QStringLiteral("EFECTIVO"), {30000, 30000, 0}, {}},
                     {k1, kDay2, QStringLiteral("2026-03-09 08:00:07"), QStringLiteral("MIXTO"), {20000, 5050, 14950}, {}},
                     {k2, kDay, sold, QStringLiteral("EFECTIVO"), {10000, 10000, 0}, {}}};
    shop.counts = {{k1, kDay, QStringLiteral("2026-03-09 08:00:05"), {}, {0, 30000, 0, 0, 0, 30000, 29990, -10}, {}}};
    shop.products = {{QStringLiteral("1001"), QStringLiteral("Leche"), 8, 0, 0, 0, {}},
                     {QStringLiteral("1002"), QStringLiteral("Pan"), 8, 0, 0, 0, {}},
                     {QStringLiteral("1003"), QStringLiteral("Queso"), 10, 0, 0, 0, {}},
                     {QStringLiteral("901"), QStringLiteral("Nuevo"), 5, 100, 200, 1, QStringLiteral("Varios")}};
    return shop;
}

enum class Planted {
    Nothing,
    UnknownSaleStored,
    ReportedSaleMissing,
    NotStoredSalePresent,
    UnknownSaleTwice,
    SaleNobodyBegan,
    LostDecrement,
    HalfClosedDay,
    WrongTakings,
    DayRowTwice,
    ClosedDayStillOpen,
    ProductHalfSaved,
    CloseWithoutCount, CountNotAddingUp, WrongOpening, OpeningLost, MovementLost, SplitPartsWrong, PaymentMissing,
};

StoredShop plant(Planted planted)
{
    StoredShop shop = wholeShop();
    const StoredLine unknown{k1, QStringLiteral("1001"), 1, 100, QStringLiteral("EFECTIVO"), kDay,
                             QStringLiteral("2026-03-09 08:00:04")};
    switch (planted) {
    case Planted::Nothing:
        break;
    case Planted::UnknownSaleStored:
        shop.history.push_back(unknown);
        shop.days[0].cash += 100;
        shop.products[0].stock -= 1;
        shop.payments.push_back({k1, kDay, unknown.soldIso, QStringLiteral("EFECTIVO"), {10000, 10000, 0}, {}});
        shop.counts[0].amounts = {0, 40000, 0, 0, 0, 40000, 29990, -10010};
        break;
    case Planted::ReportedSaleMissing:
        shop.open.erase(shop.open.begin());
        shop.days.erase(shop.days.begin() + 1);
        shop.products[1].stock += 1;
        break;
    case Planted::NotStoredSalePresent:
        shop.history.push_back({k1, QStringLiteral("1001"), 1, 100, QStringLiteral("TARJETA"), kDay,
                                QStringLiteral("2026-03-09 08:00:03")});
        shop.days[0].card += 100;
        shop.products[0].stock -= 1;
        break;
    case Planted::UnknownSaleTwice:
        shop.history.push_back(unknown);
        shop.history.push_back(unknown);
        shop.days[0].cash += 200;
        shop.products[0].stock -= 2;
        break;
    case Planted::SaleNobodyBegan:
        // Caja 1's sale of 08:00:07 under Caja 2's name: Caja 2 never began one then.
        shop.open[0].till = k2;
        shop.days[1].till = k2;
        break;
    case Planted::LostDecrement:
        // Both tills took a unit of 1001; one decrement was written over by the other.
        shop.products[0].stock = 9;
        break;
    case Planted::HalfClosedDay:
        shop.open.push_back(shop.history.back());
        shop.history.pop_back();
        break;
    case Planted::WrongTakings:
        shop.days[2].cash = 200;
        break;
    case Planted::DayRowTwice:
        shop.days.push_back(shop.days[2]);
        break;
    case Planted::ClosedDayStillOpen:
        // The closing was told done, yet the day's lines never left Temporal.
        shop.open.insert(shop.open.begin(), shop.history.begin(), shop.history.end());
        shop.history.clear();
        shop.days[0].closedIso = QStringLiteral("2026-03-09 08:00:02");
        break;
    case Planted::ProductHalfSaved:
        shop.products.back().price = 999;
        break;
    case Planted::CloseWithoutCount: shop.counts.clear(); break;
    case Planted::CountNotAddingUp: shop.counts[0].amounts[5] -= 1; break;
    case Planted::WrongOpening: shop.days[2].opening = 0; break;
    case Planted::OpeningLost: shop.openings.clear(), shop.days[2].opening = 0; break;
    case Planted::MovementLost: shop.movements.clear(); break;
    case Planted::SplitPartsWrong: shop.payments[1].amounts = {20000, 5000, 15000}; break;
    case Planted::PaymentMissing: shop.payments.erase(shop.payments.begin()); break;
    }
    return shop;
}

} // namespace

Q_DECLARE_METATYPE(Planted)

class TestServerLedger : public QObject {
    Q_OBJECT

private slots:
    void check_data()
    {
        QTest::addColumn<Planted>("planted");
        QTest::addColumn<QString>("named");
        QTest::newRow("as the tills said") << Planted::Nothing << QString();
        QTest::newRow("unknown outcome, stored once") << Planted::UnknownSaleStored << QString();
        QTest::newRow("told stored, missing") << Planted::ReportedSaleMissing << QStringLiteral("se informó como registrada y no está");
        QTest::newRow("told not stored, present") << Planted::NotStoredSalePresent << QStringLiteral("se informó como no guardada");
        QTest::newRow("unknown outcome, stored twice") << Planted::UnknownSaleTwice << QStringLiteral("repetida");
        QTest::newRow("sale under the other till") << Planted::SaleNobodyBegan << QStringLiteral("de «Caja 2» que nadie empezó");
        QTest::newRow("lost stock decrement") << Planted::LostDecrement << QStringLiteral("el producto 1001 tiene stock 9.00");
        QTest::newRow("day half closed") << Planted::HalfClosedDay << QStringLiteral("a medio cerrar");
        QTest::newRow("takings not its lines") << Planted::WrongTakings << QStringLiteral("tiene efectivo 200.00");
        QTest::newRow("two day rows") << Planted::DayRowTwice << QStringLiteral("tiene 2 filas en TipoPago");
        QTest::newRow("closing told done, day still open") << Planted::ClosedDayStillOpen << QStringLiteral("se informó hecho");
        QTest::newRow("product half saved") << Planted::ProductHalfSaved << QStringLiteral("el producto 901 no quedó");
        QTest::newRow("count without its close") << Planted::ClosedDayStillOpen << QStringLiteral("sin su cierre");
        QTest::newRow("close by count without its count") << Planted::CloseWithoutCount << QStringLiteral("y el arqueo no está");
        QTest::newRow("count not adding up") << Planted::CountNotAddingUp << QStringLiteral("y sus filas dicen");
        QTest::newRow("CajaInicial not the opening cash") << Planted::WrongOpening << QStringLiteral("tiene caja inicial 0.00 y su fondo de caja es 1234.56");
        QTest::newRow("opening cash lost") << Planted::OpeningLost << QStringLiteral("el fondo de caja del día 2026-03-09 08:00:01 de «Caja 2»: la caja dijo");
        QTest::newRow("cash out lost") << Planted::MovementLost << QStringLiteral("el movimiento 2026-03-09 08:00:04 de «Caja 2»: la caja dijo");
        QTest::newRow("split parts not the sale's") << Planted::SplitPartsWrong << QStringLiteral("el pago de la venta 2026-03-09 08:00:07");
        QTest::newRow("sale without its payment") << Planted::PaymentMissing << QStringLiteral("el pago de la venta 2026-03-09 08:00:02 de «Caja 1» falta");
    }
    void check()
    {
        QFETCH(Planted, planted);
        QFETCH(QString, named);
        const QStringList faults = toldByTills().check(plant(planted));
        if (named.isEmpty()) {
            QVERIFY2(faults.isEmpty(), qPrintable(faults.join(QLatin1Char('\n'))));
            return;
        }
        QVERIFY2(faults.filter(named).size() == 1, qPrintable(faults.join(QLatin1Char('\n'))));
    }

    // Each till's clock goes on after its own last stamp, the other till's notwithstanding.
    void clocksPerTill()
    {
        const Ledger ledger = toldByTills();
        QCOMPARE(ledger.nextClock(k1), QDateTime(QDate(2026, 3, 9), QTime(8, 0, 9)));
        QCOMPARE(ledger.nextClock(k2), QDateTime(QDate(2026, 3, 9), QTime(8, 0, 5)));
        QCOMPARE(ledger.counts(k1).reconnectedByReopen, 1);
    }
};

QTEST_GUILESS_MAIN(TestServerLedger)
#include "test_server_ledger.moc"
