// The drawer's money: money boxes, the [caja] settings, and a day of sales, movements and a count
// whose every figure is checked against what the shop did.
#include "cash/cash_book.h"
#include "cash/cash_report.h"
#include "app/cash_setting.h"
#include "catalogue/products.h"
#include "common/numbers.h"
#include "data/query.h"
#include "data/schema.h"
#include "sales/sales_day.h"
#include "support/temp_shop.h"

#include <QFile>
#include <QTest>

using namespace tarvino;
using namespace tarvino::test;

namespace {

// A sale of one product at the given price.
RecordedSale sell(TempShop& shop, SalesDay& day, const QString& code, const QString& kind, Cents cashPart = 0)
{
    SaleLines lines;
    const auto product = findProductByCode(shop.db, code);
    mergeDetailLine(lines, *product, code, 1, QStringLiteral("1"));
    shop.clock.advance(60);
    return day.record(lines, plainNumber(computeTotal(lines)), kind, cashPart);
}

} // namespace

class TestCashBook : public QObject {
    Q_OBJECT

private slots:
    void init() { QLocale::setDefault(kChile); }

    void moneyBoxes_data()
    {
        QTest::addColumn<QLocale>("locale");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<qint64>("cents"); // -1: refused
        const QLocale us(QLocale::English, QLocale::UnitedStates);
        QTest::newRow("full stop groups thousands") << kChile << "10.000" << qint64(1000000);
        QTest::newRow("comma decimals") << kChile << "1500,50" << qint64(150050);
        QTest::newRow("point decimals") << us << "1500.5" << qint64(150050);
        QTest::newRow("comma groups under a point") << us << "10,000" << qint64(1000000);
        QTest::newRow("largest") << kChile << "999.999.999" << qint64(99999999900);
        QTest::newRow("above the largest") << kChile << "1000000000" << qint64(-1);
        QTest::newRow("a cent above the largest") << kChile << "999999999,01" << qint64(-1);
        QTest::newRow("negative") << kChile << "-500" << qint64(-1);
        QTest::newRow("letters") << kChile << "5OO" << qint64(-1);
        QTest::newRow("three decimals") << kChile << "1,005" << qint64(-1);
        QTest::newRow("two decimal marks") << kChile << "1,5,0" << qint64(-1);
        QTest::newRow("empty") << kChile << "  " << qint64(-1);
        QTest::newRow("exponent") << kChile << "1e5" << qint64(-1);
        QTest::newRow("zero") << kChile << "0" << qint64(0);
    }
    void moneyBoxes()
    {
        QFETCH(QLocale, locale);
        QFETCH(QString, typed);
        QFETCH(qint64, cents);
        const MoneyRead read = readMoneyBox(typed, locale);
        QCOMPARE(std::pair(read.amount.value_or(-1), read.refusal.isEmpty()), std::pair(cents, cents >= 0));
        if (cents >= 0) // what a box is filled with reads back as the same amount
            QCOMPARE(readMoneyBox(moneyBoxText(cents, locale), locale).amount.value_or(-1), cents);
    }

    void settings_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<bool>("refused");
        QTest::addColumn<bool>("asks");
        QTest::addColumn<qint64>("firstCoin");
        QTest::newRow("no section keeps today's start") << "[servidor]\nconexion=host=x\n" << false << false << qint64(1000);
        QTest::newRow("ask") << "[caja]\npedir_fondo=si\n" << false << true << qint64(1000);
        QTest::newRow("euro coins") << "[caja]\nmonedas=2,0.5,1\n" << false << false << qint64(50);
        QTest::newRow("unknown key") << "[caja]\nfondo=5\n" << true << false << qint64(0);
        QTest::newRow("wrong answer") << "[caja]\npedir_fondo=quizas\n" << true << false << qint64(0);
        QTest::newRow("zero coin") << "[caja]\nmonedas=0,10\n" << true << false << qint64(0);
        QTest::newRow("twice") << "[caja]\npedir_fondo=si\npedir_fondo=no\n" << true << false << qint64(0);
    }
    void settings()
    {
        QFETCH(QString, file);
        QFETCH(bool, refused);
        QFETCH(bool, asks);
        QFETCH(qint64, firstCoin);
        QTemporaryDir dir;
        QFile conf(dir.filePath(QStringLiteral("tarvino.conf")));
        QVERIFY(conf.open(QIODevice::WriteOnly) && conf.write(file.toUtf8()) > 0);
        conf.close();
        const CashSettingRead read = readCashSetting(dir.path());
        QCOMPARE(read.error.contains(QLatin1String("tarvino.conf")), refused);
        if (!refused)
            QCOMPARE(std::pair(read.setting.askOpeningCash, read.setting.coins.front()), std::pair(asks, firstCoin));
    }

    // A day of odd amounts: every figure of the day, of its count and of its reports follows from
    // what was done, and the stored rows say the same.
    void dayAddsUp()
    {
        TempShop shop;
        shop.addProduct({QStringLiteral("1"), QStringLiteral("Pan"), 50, 0.1, 1000.1});
        shop.addProduct({QStringLiteral("2"), QStringLiteral("Queso"), 50, 0.1, 0.2});
        shop.addProduct({QStringLiteral("3"), QStringLiteral("Vino"), 50, 1, 15000.5});
        SalesDay day(shop.db, shop.clock);
        QCOMPARE(day.load(shop.messages), SalesDay::Start::NewDay);
        day.begin(QStringLiteral("ana"));
        const QString stamp = day.openingStamp();
        recordOpeningCash(shop.db, shop.clock, stamp, 1234567, QStringLiteral("ana"));
        sell(shop, day, QStringLiteral("1"), QStringLiteral("EFECTIVO"));
        // Recorded again after the first sale: the day row follows.
        recordOpeningCash(shop.db, shop.clock, stamp, 1234599, QStringLiteral("ana"));
        sell(shop, day, QStringLiteral("2"), QStringLiteral("EFECTIVO"));
        sell(shop, day, QStringLiteral("2"), QStringLiteral("EFECTIVO"));
        sell(shop, day, QStringLiteral("3"), QStringLiteral("TARJETA"));
        sell(shop, day, QStringLiteral("3"), QStringLiteral("MIXTO"), 1000000);
        recordMovement(shop.db, shop.clock, stamp, {CashMovement::Kind::In, 500005, QStringLiteral("Sencillo para vuelto"), QStringLiteral("ana"), {}, {}});
        recordMovement(shop.db, shop.clock, stamp, {CashMovement::Kind::Out, 333333, QStringLiteral("Retiro a caja fuerte"), QStringLiteral("ana"), QStringLiteral("admin"), {}});
        day.changeUser(QStringLiteral("beto"));
        sell(shop, day, QStringLiteral("2"), QStringLiteral("EFECTIVO"));
        // The identity, from the amounts above: 1000,10 + 3 x 0,20 + 10.000 cash, 15.000,5 +
        // 5.000,5 card; 12.345,99 opening, 5.000,05 in, 3.333,33 out.
        const Cents cash = 100010 + 3 * 20 + 1000000;
        const Cents card = 1500050 + 500050;
        const Cents expected = 1234599 + cash + 500005 - 333333;
        const CashSummary s = summarise(shop.db, {stamp, {}, {}});
        QCOMPARE((QList<Cents>{s.opening, s.sales, s.cash, s.card, s.cashIn, s.cashOut, s.expected()}),
                 (QList<Cents>{1234599, 6, cash, card, 500005, 333333, expected}));
        QVERIFY(s.movements.size() == 2 && s.movements[1].authorisedBy == QLatin1String("admin"));
        // The day row and the sales' payments say the same; the lines of a split sale are MIXTO.
        QCOMPARE(shop.rows(QStringLiteral("select CajaInicial from TipoPago")), QVariantList{"12345"});
        QCOMPARE(toCents(shop.scalar(QStringLiteral("select efectivo from TipoPago")).toDouble()), cash);
        QCOMPARE(toCents(shop.scalar(QStringLiteral("select sum(Efectivo) from PagosVenta")).toDouble()), cash);
        QCOMPARE(toCents(shop.scalar(QStringLiteral("select sum(Tarjeta) from PagosVenta")).toDouble()), card);
        QCOMPARE(toCents(shop.scalar(QStringLiteral("select sum(TotalVenta) from Temporal where TipoPago = 'EFECTIVO'")).toDouble()) +
                     toCents(shop.scalar(QStringLiteral("select sum(Efectivo) from PagosVenta where TipoPago = 'MIXTO'")).toDouble()),
                 cash);
        // The share of the cashier who came in: one sale, nothing else.
        const CashSummary beto = summarise(shop.db, {stamp, QStringLiteral("beto"), day.userSince()});
        QCOMPARE((QList<Cents>{beto.sales, beto.cash, beto.expected(), Cents(beto.movements.size())}),
                 (QList<Cents>{1, 20, 20, 0}));
        // The count closes the day with it, exactly.
        shop.clock.advance(60);
        const StoredCount count = closeDayWithCount(shop.db, shop.clock, stamp, QStringLiteral("beto"), {expected - 1001, {}});
        QCOMPARE(count.difference, Cents(-1001));
        QCOMPARE(std::pair(shop.count(QStringLiteral("Temporal")), shop.count(QStringLiteral("Recaudacion"))), std::pair(0, 6));
        QCOMPARE(shop.rows(QStringLiteral("select count(*) from FondoCaja where FechaCierre is null")), QVariantList{"0"});
        const QVariantList stored = shop.rows(QStringLiteral("select Fondo, Efectivo, Tarjeta, Ingresos, Retiros, Esperado, Contado, Diferencia from ArqueosCaja"));
        QCOMPARE(stored.size(), 1);
        const QStringList cells = stored[0].toString().split(QLatin1Char('|'));
        const QList<Cents> figures{1234599, cash, card, 500005, 333333, expected, expected - 1001, -1001};
        for (int i = 0; i < figures.size(); ++i)
            QCOMPARE(toCents(cells[i].toDouble()), figures[i]);
        const std::optional<StoredCount> again = countOfDay(shop.db, stamp);
        QVERIFY(again && again->summary.expected() == expected && again->counted == expected - 1001);
        // The Z report says the shortfall, and prints on the user's roll.
        const QString z = reportText(zReportLines(*again, {}));
        QVERIFY2(z.contains(QStringLiteral("Faltante")) && z.contains(moneyText(1001)), qPrintable(z));
        shop.addUser(QStringLiteral("beto"), QStringLiteral("clave"), 58);
        QCOMPARE(printReport(shop.db, shop.printer, QStringLiteral("beto"), zReportLines(*again, {})), 58);
        QCOMPARE(shop.printer.rollWidths, QList<double>{58});
        QVERIFY(FakePrinter::lines(shop.printer.documents.first()).join('\n').contains(moneyText(1001)));
        // The next day offers what this one closed with.
        QCOMPARE(lastCountedCash(shop.db).value_or(-1), expected - 1001);
    }

    // An opening cash alone is picked up after a crash without asking; the first sale carries it.
    void openingCashAloneIsPickedUp()
    {
        TempShop shop;
        shop.addProduct({QStringLiteral("1"), QStringLiteral("Pan"), 50, 1, 990});
        QString stamp;
        {
            SalesDay day(shop.db, shop.clock);
            QCOMPARE(day.load(shop.messages), SalesDay::Start::NewDay);
            day.begin(QStringLiteral("ana"));
            stamp = day.openingStamp();
            recordOpeningCash(shop.db, shop.clock, stamp, 2000050, QStringLiteral("ana"));
        }
        shop.clock.advance(3600);
        SalesDay day(shop.db, shop.clock);
        QVERIFY(day.load(shop.messages) == SalesDay::Start::Resume && shop.messages.boxes.isEmpty());
        day.begin(QStringLiteral("ana"));
        QVERIFY(day.openingStamp() == stamp && day.goesOn());
        QCOMPARE(sell(shop, day, QStringLiteral("1"), QStringLiteral("EFECTIVO")).openingStamp, stamp);
        QCOMPARE(shop.rows(QStringLiteral("select CajaInicial from TipoPago")), QVariantList{"20000"});
        // Closed by the exit, without a count: nothing offered at the next start.
        day.close();
        SalesDay next(shop.db, shop.clock);
        QCOMPARE(next.load(shop.messages), SalesDay::Start::NewDay);
        QVERIFY(!countOfDay(shop.db, stamp));
    }

    // An older file gets the drawer's tables at its start, once and whole, its other tables untouched.
    void olderFileGetsTheTables()
    {
        TempShop shop;
        const QString before = shop.dump();
        for (const char* table : {"FondoCaja", "MovimientosCaja", "ArqueosCaja", "PagosVenta"})
            shop.execute(QStringLiteral("drop table %1").arg(QLatin1String(table)));
        if (!shop.connection().isEmpty()) {
            // A server's are made as a till connects, each till's rows its own.
            shop.execute(QStringLiteral("update tarvino_version set version = 2"));
            Database other;
            other.openServer(shop.connection(), QStringLiteral("Caja 2"));
            QCOMPARE(shop.scalar(QStringLiteral("select version from tarvino_version")).toInt(), kCashTables);
            recordOpeningCash(other, shop.clock, QStringLiteral("09/03/2026 9:05:07"), 100, QStringLiteral("ana"));
            QCOMPARE(shop.count(QStringLiteral("FondoCaja")), 0);
            QCOMPARE(openingCashOf(other, QStringLiteral("09/03/2026 9:05:07")).value_or(-1), Cents(100));
            return;
        }
        shop.execute(QStringLiteral("PRAGMA user_version = 1"));
        checkSchema(shop.db); // an older file is not refused for lacking them
        // The commit fails: no table is left made without the others.
        shop.faults->failAtWrite(1);
        QVERIFY_THROWS_EXCEPTION(DbError, prepareDatabase(shop.db));
        QCOMPARE(shop.scalar(QStringLiteral("select count(*) from sqlite_master where name = 'FondoCaja'")).toInt(), 0);
        shop.faults->failAtWrite(0);
        prepareDatabase(shop.db);
        QCOMPARE(std::pair(shop.scalar(QStringLiteral("PRAGMA user_version")).toInt(), shop.count(QStringLiteral("ArqueosCaja"))),
                 std::pair(kCashTables, 0));
        QCOMPARE(shop.dump(), before);
    }
};

QTEST_MAIN(TestCashBook)
#include "test_cash_book.moc"
