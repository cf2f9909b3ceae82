// The drawer windows' rules without a window: who takes cash out alone, what an administrator's
// leave on the spot needs, and when the login asks for the opening cash.
#include "cash/cash_entry.h"
#include "support/temp_shop.h"
#include "users/users.h"

#include <QTest>

using namespace tarvino;
using namespace tarvino::test;

class TestCashEntry : public QObject {
    Q_OBJECT

private slots:
    void authorisation_data()
    {
        QTest::addColumn<bool>("administrator"); // the user at the till
        QTest::addColumn<bool>("out");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("by");
        QTest::addColumn<int>("box");
        const int none = int(Authorisation::Box::None), name = int(Authorisation::Box::Name),
                  password = int(Authorisation::Box::Password);
        QTest::newRow("cash in needs nobody") << false << false << "" << "" << "" << none;
        QTest::newRow("administrator takes out alone") << true << true << "" << "" << "" << none;
        QTest::newRow("cashier, no name") << false << true << "" << "jefe1" << "" << name;
        QTest::newRow("cashier, no password") << false << true << "jefe" << "" << "" << password;
        QTest::newRow("unknown name") << false << true << "nadie" << "jefe1" << "" << name;
        QTest::newRow("wrong password") << false << true << "jefe" << "jefe2" << "" << password;
        QTest::newRow("a cashier cannot allow it") << false << true << "ana" << "ana1" << "" << name;
        QTest::newRow("administrator by right") << false << true << "jefe" << "jefe1" << "jefe" << none;
        QTest::newRow("admin whatever its row") << false << true << "admin" << "admin" << "admin" << none;
    }
    void authorisation()
    {
        QFETCH(bool, administrator);
        QFETCH(bool, out);
        QFETCH(QString, name);
        QFETCH(QString, password);
        QFETCH(QString, by);
        QFETCH(int, box);
        TempShop shop;
        shop.addUser(QStringLiteral("ana"), QStringLiteral("ana1"));
        shop.addUser(QStringLiteral("jefe"), QStringLiteral("jefe1"));
        shop.execute(QStringLiteral("update Usuarios set Nivel = 1 where NombreUsuario = 'jefe'"));
        shop.execute(QStringLiteral("update Usuarios set Nivel = 0 where NombreUsuario = 'admin'"));
        UserRights rights;
        rights.administrator = administrator;
        const auto kind = out ? CashMovement::Kind::Out : CashMovement::Kind::In;
        if (!needsAuthorisation(kind, rights)) {
            QVERIFY(name.isEmpty()); // a row that asks nothing types nothing
            return;
        }
        QVERIFY(!name.isEmpty() || !password.isEmpty());
        LoginAttempts attempts;
        const Authorisation a = authoriseCashOut(shop.db, name, password, &attempts, shop.clock.now());
        QCOMPARE(a.by, by);
        QCOMPARE(int(a.box), box);
        QCOMPARE(a.refusal.isEmpty(), !by.isEmpty());
    }

    // Too many wrong passwords make the name wait, as at the login.
    void guessingWaits()
    {
        TempShop shop;
        LoginAttempts attempts;
        for (int i = 0; i < LoginAttempts::kFreeTries; ++i)
            authoriseCashOut(shop.db, QStringLiteral("admin"), QStringLiteral("x"), &attempts, shop.clock.now());
        const Authorisation a =
            authoriseCashOut(shop.db, QStringLiteral("admin"), QStringLiteral("admin"), &attempts, shop.clock.now());
        QVERIFY(a.by.isEmpty());
        QVERIFY(a.refusal.contains(QStringLiteral("Espere")));
    }

    void loginAsks_data()
    {
        QTest::addColumn<bool>("setting");
        QTest::addColumn<bool>("goesOn");
        QTest::addColumn<bool>("recorded"); // opening cash of the day already stored
        QTest::addColumn<bool>("asks");
        QTest::newRow("no setting") << false << false << false << false;
        QTest::newRow("new day") << true << false << false << true;
        QTest::newRow("resumed day") << true << true << false << false;
        QTest::newRow("already recorded") << true << false << true << false;
    }
    void loginAsks()
    {
        QFETCH(bool, setting);
        QFETCH(bool, goesOn);
        QFETCH(bool, recorded);
        QFETCH(bool, asks);
        TempShop shop;
        const QString day = QStringLiteral("09/03/2026 9:05:07");
        if (recorded)
            recordOpeningCash(shop.db, shop.clock, day, 5000000, QStringLiteral("admin"));
        CashSetting cash;
        cash.askOpeningCash = setting;
        QCOMPARE(loginAsksOpeningCash(cash, goesOn, shop.db, day), asks);
    }
};

QTEST_MAIN(TestCashEntry)
#include "test_cash_entry.moc"
