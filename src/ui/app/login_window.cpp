// The login window: asks for a user name and password and opens the sales window.
#include "app/login_window.h"

#include "cash/cash_entry.h"
#include "kit/window_kit.h"
#include "common/services.h"
#include "data/database.h"
#include "sales/sales_window.h"
#include "users/users.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>

namespace tarvino {

Form4::Form4(Context& context, QWidget* parent) : QWidget(parent), m_ctx(context)
{
    buildControls();
}

Form4::Form4(Context& context, Form1& sales) : QWidget(nullptr), m_ctx(context), m_sales(&sales), m_change(true)
{
    buildControls();
    setWindowTitle(kWindowCaption + QStringLiteral(" - CAMBIO DE CAJERO"));
}

void Form4::buildControls()
{
    // The first window of the program: Esc does not leave it.
    fixedWindow(this, "Form4", QSize(330, 150), EscKey::Ignored);

    setFont(arial(10));
    Label1 = place(new QLabel(QStringLiteral("NOMBRE USUARIO"), this), "Label1", 300, 450, 1950, 360);
    Text1 = captioned(Label1, place(new QLineEdit(this), "Text1", 2400, 420, 2250, 420));
    Label2 = place(new QLabel(QStringLiteral("CONTRASEÑA"), this), "Label2", 300, 1200, 1950, 360);
    Text2 = captioned(Label2, place(new QLineEdit(this), "Text2", 2400, 1170, 2250, 420));
    hidePassword(Text2);

    installKeys(Text1, KeyClass::UserName, [this] { Login(); });
    installKeys(Text2, KeyClass::UserName, [this] { Login(); });
    Text1->setFocus();
    centreWindow(this, nullptr);
}

Form1* Form4::salesWindow() const
{
    return m_sales;
}

void Form4::Login()
{
    if (Text1->text().isEmpty()) {
        m_ctx.messages.inform(QStringLiteral("Debe ingresar su nombre de usuario"));
        Text1->setFocus();
        return;
    }
    if (Text2->text().isEmpty()) {
        m_ctx.messages.inform(QStringLiteral("Debe ingresar su contraseña"));
        Text2->setFocus();
        return;
    }
    LoginResult result;
    m_done = false;
    try {
        result = checkLogin(m_ctx.db, Text1->text(), Text2->text(), &m_attempts, m_ctx.clock.now());
    } catch (const DbError& e) {
        m_ctx.messages.inform(QStringLiteral("No se pudo comprobar el usuario.\n\n") + e.message(),
                              kAppTitle, Messages::Icon::Critical);
        return;
    }
    switch (result.outcome) {
    case LoginOutcome::NoUsers:
        return;
    case LoginOutcome::Waiting:
        m_ctx.messages.inform(
            QStringLiteral("Se ingresó %1 veces seguidas una contraseña incorrecta para este usuario. "
                           "Espere %2 y vuelva a intentarlo.")
                .arg(LoginAttempts::kFreeTries)
                .arg(result.waitSeconds == 1 ? QStringLiteral("1 segundo")
                                             : QStringLiteral("%1 segundos").arg(result.waitSeconds)));
        Text2->clear();
        Text2->setFocus();
        return;
    case LoginOutcome::WrongPassword:
        m_ctx.messages.inform(QStringLiteral("La contraseña es incorrecta"));
        Text2->clear();
        Text2->setFocus();
        return;
    case LoginOutcome::UnknownName:
        m_ctx.messages.inform(QStringLiteral("El nombre de usuario ingresado no es correcto"));
        Text1->setFocus();
        return;
    case LoginOutcome::Success:
        break;
    }
    if (m_change) {
        handOver(result);
        return;
    }

    auto* sales = new Form1(m_ctx);
    sales->setAttribute(Qt::WA_DeleteOnClose);
    m_sales = sales;
    // Before anything of the window can be reached, its own start-up questions included.
    sales->applyRights(result.rights);
    if (!sales->Form_Load()) {
        delete sales;
        close();
        QCoreApplication::exit(1);
        return;
    }
    fillScreen(sales);
    sales->show();
    sales->day().begin(result.userName);
    close();
    // Asked over the sales window, as the first thing of a new day.
    bool ask = false;
    guarded(m_ctx.messages, QStringLiteral("No se pudo leer el fondo de caja del día."), [&] {
        ask = loginAsksOpeningCash(m_ctx.cash, sales->day().goesOn(), m_ctx.db, sales->day().openingStamp());
    });
    if (ask)
        sales->askOpeningCash();
}

void Form4::handOver(const LoginResult& result)
{
    if (!m_sales) {
        close();
        return;
    }
    Form1* sales = m_sales;
    sales->day().changeUser(result.userName);
    sales->applyRights(result.rights);
    m_done = true;
    // Shown before this one closes, so that the program never stands without a window.
    sales->show();
    close();
    sales->activateWindow();
    sales->Text7->setFocus();
}

void Form4::closeEvent(QCloseEvent* event)
{
    if (!m_change || m_done || !m_sales) {
        event->accept();
        return;
    }
    // No one is at the till: the program ends with the day open and its sales kept, as a day left
    // open does, and the next start offers to go on with it. Closing the day here would let anyone
    // close it without logging in.
    if (!m_ctx.messages.ask(QStringLiteral("¿Salir del programa sin cambiar de cajero? El día de ventas "
                                           "no se cierra: al iniciar de nuevo se podrá continuar."),
                            kConfirmTitle)) {
        event->ignore();
        Text1->setFocus();
        return;
    }
    event->accept();
    m_sales->deleteLater();
    QCoreApplication::quit();
}

} // namespace tarvino
