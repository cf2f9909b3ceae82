// The login window driven with the keyboard: key filter, messages, focus and opening the sales window.
#include "app/login_window.h"
#include "sales/sales_window.h"
#include "support/temp_shop.h"

#include <QApplication>
#include <QLineEdit>
#include <QStyle>
#include <QTest>

using namespace tarvino;
using namespace tarvino::test;

namespace {
struct Login {
    Login()
    {
        shop.addUser(QStringLiteral("ana"), QStringLiteral("clave1"));
        window.show();
        window.activateWindow();
        (void)QTest::qWaitForWindowActive(&window);
    }
    ~Login() { delete window.salesWindow(); }

    void type(QLineEdit* box, const QString& text, bool enter = true)
    {
        QTest::keyClicks(box, text);
        if (enter)
            QTest::keyClick(box, Qt::Key_Return);
    }

    TempShop shop;
    Form4 window{shop.context};
};
} // namespace

class TestLogin : public QObject {
    Q_OBJECT

private slots:
    void keyFilterKeepsLowerCaseLettersAndDigits()
    {
        Login l;
        QCOMPARE(l.window.windowTitle(), QStringLiteral("TARVINO 1.0"));
        l.type(l.window.Text1, QStringLiteral("An A-1.x_"), false);
        QCOMPARE(l.window.Text1->text(), QStringLiteral("n1x"));
        l.type(l.window.Text2, QStringLiteral("Cla ve1!"), false);
        QCOMPARE(l.window.Text2->text(), QStringLiteral("lave1"));
        QTest::keyClick(l.window.Text2, Qt::Key_Backspace);
        QCOMPARE(l.window.Text2->text(), QStringLiteral("lave"));
        QCOMPARE(l.window.Text2->echoMode(), QLineEdit::Password);
        QCOMPARE(l.window.Text2->style()->styleHint(QStyle::SH_LineEdit_PasswordCharacter, nullptr,
                                                     l.window.Text2),
                 int('*'));
        QVERIFY(l.shop.messages.boxes.isEmpty());
    }

    void refusals_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("nameAfter");
        QTest::addColumn<QString>("passwordAfter");
        QTest::addColumn<bool>("focusOnName");
        QTest::newRow("empty name") << "" << "clave1" << "Debe ingresar su nombre de usuario" << ""
                                    << "clave1" << true;
        QTest::newRow("empty password") << "ana" << "" << "Debe ingresar su contraseña" << "ana"
                                        << "" << false;
        QTest::newRow("wrong password") << "ana" << "clave2" << "La contraseña es incorrecta"
                                        << "ana" << "" << false;
        QTest::newRow("unknown name") << "beto" << "clave1"
                                      << "El nombre de usuario ingresado no es correcto" << "beto"
                                      << "clave1" << true;
    }
    void refusals()
    {
        QFETCH(QString, name);
        QFETCH(QString, password);
        QFETCH(QString, message);
        QFETCH(QString, nameAfter);
        QFETCH(QString, passwordAfter);
        QFETCH(bool, focusOnName);
        Login l;
        l.type(l.window.Text1, name, false);
        l.type(l.window.Text2, password);
        QCOMPARE(l.shop.messages.texts(), QStringList{message});
        QCOMPARE(l.shop.messages.boxes[0].title, QStringLiteral("Tarvino 1.0"));
        QCOMPARE(l.shop.messages.boxes[0].icon, Messages::Icon::None);
        QCOMPARE(l.window.Text1->text(), nameAfter);
        QCOMPARE(l.window.Text2->text(), passwordAfter);
        QCOMPARE(QApplication::focusWidget(), focusOnName ? l.window.Text1 : l.window.Text2);
        QVERIFY(!l.window.salesWindow());
        QVERIFY(l.window.isVisible());
    }

    void emptyUsersTableDoesNothing()
    {
        Login l;
        l.shop.db.execute(QStringLiteral("delete from Usuarios"));
        l.type(l.window.Text1, QStringLiteral("admin"), false);
        l.type(l.window.Text2, QStringLiteral("admin"));
        QVERIFY(l.shop.messages.boxes.isEmpty());
        QVERIFY(!l.window.salesWindow());
        QVERIFY(l.window.isVisible());
    }

    void storedUpperCaseNameCannotBeTyped()
    {
        Login l;
        l.shop.addUser(QStringLiteral("Beto"), QStringLiteral("x1"));
        l.type(l.window.Text1, QStringLiteral("Beto"), false);
        l.type(l.window.Text2, QStringLiteral("x1"));
        QCOMPARE(l.shop.messages.texts(), QStringList{"El nombre de usuario ingresado no es correcto"});
    }

    void successOpensTheSalesWindow()
    {
        Login l;
        l.shop.clock.current = QDateTime(QDate(2026, 12, 7), QTime(8, 3, 4));
        // Enter in the name box logs in just as well.
        l.type(l.window.Text2, QStringLiteral("clave1"), false);
        l.type(l.window.Text1, QStringLiteral("ana"));
        Form1* sales = l.window.salesWindow();
        QVERIFY(sales);
        QVERIFY(sales->isVisible());
        QVERIFY(!l.window.isVisible());
        QCOMPARE(sales->Text4, QStringLiteral("ana"));
        QCOMPARE(sales->Text3, QStringLiteral("07/12/2026 8:03:04"));
        QVERIFY(l.shop.messages.boxes.isEmpty());
    }

    void loginTimeIsWrittenAfterTheSalesWindowLoads()
    {
        // An interrupted day closed at load: the new day still starts at the login time.
        Login l;
        l.shop.db.execute(QStringLiteral(
            "insert into Temporal values ('1','x',1,1,1,'EFECTIVO','ana','c','2026-12-06 08:00:00',"
            "'2026-12-06 09:00:00',1)"));
        l.shop.messages.answer(false);
        l.shop.clock.current = QDateTime(QDate(2026, 12, 7), QTime(8, 3, 4));
        l.type(l.window.Text1, QStringLiteral("ana"), false);
        l.type(l.window.Text2, QStringLiteral("clave1"));
        QVERIFY(l.window.salesWindow());
        QCOMPARE(l.shop.count("Recaudacion"), 1);
        QCOMPARE(l.window.salesWindow()->Text3, QStringLiteral("07/12/2026 8:03:04"));
    }
};

QTEST_MAIN(TestLogin)
#include "test_login.moc"
