// Timings of the login: the check of name and password against Usuarios with the menu rights of
// the user, for a password kept as a hash (every login but the first), a wrong password, and the
// first login with a password an earlier version kept in clear (checked, hashed and stored); then
// the whole login from Enter to the sales window shown. Not a test: it prints figures and targets.
#include "bench_support.h"

#include "app/login_window.h"
#include "sales/sales_window.h"
#include "support/temp_shop.h"
#include "users/passwords.h"
#include "users/users.h"

#include <QApplication>
#include <QLineEdit>

#include <cstdio>

using namespace tarvino;
using namespace tarvino::bench;
using tarvino::test::TempShop;

namespace {

// A shop's staff: the owner and a few cashiers, each with a hashed password.
constexpr int kCashiers = 12;

QString cashier(int i)
{
    return QStringLiteral("caja%1").arg(i);
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    TempShop shop;
    for (int i = 0; i < kCashiers; ++i)
        check(saveUser(shop.db, cashier(i), QStringLiteral("clave%1").arg(i), QStringLiteral("0"), false,
                       {false, i % 2 == 0, i % 3 == 0})
                  .saved(),
              "a cashier is saved");

    LoginResult result{};
    report("Login: hashed password checked, menu rights read", 100, measure(1, 15, [&] {
               result = checkLogin(shop.db, cashier(6), QStringLiteral("clave6"));
               (void)menuAccess(result.rights);
           }));
    check(result.outcome == LoginOutcome::Success && result.rights == UserRights{false, true, true},
          "the cashier logs in with its rights");

    report("Wrong password refused", 100, measure(1, 15, [&] {
               result = checkLogin(shop.db, cashier(7), QStringLiteral("mala"));
           }));
    check(result.outcome == LoginOutcome::WrongPassword, "a wrong password is refused");

    int round = 0;
    report("First login with a clear password: checked, hashed, stored", 100, measure(1, 15, [&] {
               ++round;
               shop.addUser(QStringLiteral("viejo%1").arg(round), QStringLiteral("clave"));
           }, [&] {
               result = checkLogin(shop.db, QStringLiteral("viejo%1").arg(round), QStringLiteral("clave"));
           }));
    check(result.outcome == LoginOutcome::Success &&
              isPasswordHash(shop.scalar(QStringLiteral("select \"Contraseña\" from Usuarios where "
                                                        "NombreUsuario = 'viejo%1'")
                                             .arg(round))
                                 .toString()),
          "the clear password is replaced by its hash");

    Form1* sales = nullptr;
    report("Whole login: Enter to the sales window shown", 0, measure(1, 7, [&] {
               auto* login = new Form4(shop.context);
               login->setAttribute(Qt::WA_DeleteOnClose);
               login->Text1->setText(cashier(6));
               login->Text2->setText(QStringLiteral("clave6"));
               login->Login();
               sales = login->salesWindow();
               QCoreApplication::processEvents();
           }));
    check(sales && sales->isVisible() && !sales->usuarios->isEnabled(), "the sales window opens with the rights");

    printTable();
    return failures() ? 1 : 0;
}
