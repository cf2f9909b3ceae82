// The login window: asks for a user name and password and opens the sales window.
#include "app/login_window.h"

#include "app/users_store.h"
#include "common/key_filter.h"
#include "common/services.h"
#include "common/timestamps.h"
#include "data/database.h"
#include "sales/sales_window.h"

#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QLineEdit>
#include <QProxyStyle>
#include <QRegularExpressionValidator>

namespace tarvino {

namespace {
// Shows each character of the password as "*".
class StarPasswordStyle final : public QProxyStyle {
public:
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returnData) const override
    {
        if (hint == SH_LineEdit_PasswordCharacter)
            return '*';
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
};
} // namespace

Form4::Form4(Context& context, QWidget* parent) : QWidget(parent), m_ctx(context)
{
    setObjectName(QStringLiteral("Form4"));
    setWindowTitle(kWindowCaption);
    setFixedSize(330, 150);

    Label1 = new QLabel(QStringLiteral("NOMBRE USUARIO"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setGeometry(20, 30, 130, 24);
    Text1 = new QLineEdit(this);
    Text1->setObjectName(QStringLiteral("Text1"));
    Text1->setGeometry(160, 28, 150, 28);
    Label2 = new QLabel(QStringLiteral("CONTRASEÑA"), this);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label2->setGeometry(20, 80, 130, 24);
    Text2 = new QLineEdit(this);
    Text2->setObjectName(QStringLiteral("Text2"));
    Text2->setGeometry(160, 78, 150, 28);
    Text2->setEchoMode(QLineEdit::Password);
    auto* style = new StarPasswordStyle;
    style->setParent(this);
    Text2->setStyle(style);

    // Pasting cannot bring in what the key filter keeps out.
    const QRegularExpression allowed(QStringLiteral("[a-z0-9]*"));
    Text1->setValidator(new QRegularExpressionValidator(allowed, Text1));
    Text2->setValidator(new QRegularExpressionValidator(allowed, Text2));

    KeyHandler::install(Text1)->keyPress = [this](int k) { return Text1_KeyPress(k); };
    KeyHandler::install(Text2)->keyPress = [this](int k) { return Text2_KeyPress(k); };
    Text1->setFocus();
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

Form1* Form4::salesWindow() const
{
    return m_sales;
}

bool Form4::keyFilter(int k)
{
    if (k == 13) {
        Login();
        return true;
    }
    const bool allowed = (k >= 'a' && k <= 'z') || (k >= '0' && k <= '9') || k == 8;
    return !allowed;
}

bool Form4::Text1_KeyPress(int keyAscii)
{
    return keyFilter(keyAscii);
}

bool Form4::Text2_KeyPress(int keyAscii)
{
    return keyFilter(keyAscii);
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
    try {
        result = checkLogin(m_ctx.db, Text1->text(), Text2->text());
    } catch (const DbError& e) {
        m_ctx.messages.inform(QStringLiteral("No se pudo comprobar el usuario.\n\n") + e.message(),
                              kAppTitle, Messages::Icon::Critical);
        return;
    }
    switch (result.outcome) {
    case LoginOutcome::NoUsers:
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

    auto* sales = new Form1(m_ctx);
    sales->setAttribute(Qt::WA_DeleteOnClose);
    m_sales = sales;
    sales->Form_Load();
    // Filled to the screen even where no window manager maximises it.
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        sales->setGeometry(screen->availableGeometry());
    sales->showMaximized();
    sales->Text4 = result.userName;
    sales->Text3 = stampText(m_ctx.clock.now());
    close();
}

} // namespace tarvino
