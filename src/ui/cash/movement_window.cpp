// The cash movement window: money put into the drawer or taken out of it, with its reason, and
// for a cash out by a cashier the administrator who allows it.
#include "cash/movement_window.h"

#include "cash/cash_entry.h"
#include "cash/cash_report.h"
#include "common/services.h"
#include "data/database.h"
#include "data/db_error.h"
#include "kit/key_filter.h"
#include "kit/window_kit.h"
#include "sales/sales_window.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace tarvino {

namespace {
constexpr int kWidth = 6600;
constexpr int kRow = 600;
constexpr int kAmountLength = 12; // 999999999,99
} // namespace

Form15::Form15(Form1& sales, Context& context, CashMovement::Kind kind)
    : QWidget(nullptr), m_sales(sales), m_ctx(context), m_kind(kind),
      m_needsAuthorisation(needsAuthorisation(kind, sales.rights()))
{
    const int rows = m_needsAuthorisation ? 4 : 2;
    // Room for the boxes shown, Guardar below them and a margin.
    fixedWindow(this, "Form15", QSize(px(kWidth), px(780 + rows * kRow + 120 + 495 + 300)));
    setFont(arial(10, true));

    const bool in = kind == CashMovement::Kind::In;
    Label1 = banner(this, "Label1", in ? QStringLiteral("INGRESO DE DINERO") : QStringLiteral("RETIRO DE DINERO"),
                    kWidth, 420, arial(12, true));
    Label2 = place(new QLabel(QStringLiteral("Monto $"), this), "Label2", 240, 780, 1950, 375);
    Text1 = captioned(Label2, place(new QLineEdit(this), "Text1", 2280, 720, 4080, 450));
    Text1->setFont(arial(12, true));
    Text1->setMaxLength(kAmountLength);
    Label3 = place(new QLabel(QStringLiteral("Motivo"), this), "Label3", 240, 780 + kRow, 1950, 375);
    Combo1 = captioned(Label3, place(new QComboBox(this), "Combo1", 2280, 720 + kRow, 4080, 450));
    Combo1->setEditable(true);
    Combo1->setInsertPolicy(QComboBox::NoInsert);
    Combo1->addItems(movementReasons());
    Combo1->setCurrentIndex(-1);
    Combo1->lineEdit()->setMaxLength(kMaxReasonLength);

    // Asked as at the login: the name, then the password typed hidden.
    Label4 = place(new QLabel(QStringLiteral("Administrador"), this), "Label4", 240, 780 + 2 * kRow, 1950, 375);
    Text2 = captioned(Label4, place(new QLineEdit(this), "Text2", 2280, 720 + 2 * kRow, 4080, 450));
    Label5 = place(new QLabel(QStringLiteral("Contraseña"), this), "Label5", 240, 780 + 3 * kRow, 1950, 375);
    Text3 = captioned(Label5, place(new QLineEdit(this), "Text3", 2280, 720 + 3 * kRow, 4080, 450));
    hidePassword(Text3);
    for (QWidget* w : {static_cast<QWidget*>(Label4), static_cast<QWidget*>(Text2),
                       static_cast<QWidget*>(Label5), static_cast<QWidget*>(Text3)})
        w->setVisible(m_needsAuthorisation);

    Command1 = place(new QPushButton(QStringLiteral("Guardar"), this), "Command1", 2280,
                     780 + rows * kRow + 120, 1800, 495);
    setButtonColours(Command1, QColor(128, 255, 128));
    keyboardButton(Command1);
    connect(Command1, &QPushButton::clicked, this, &Form15::Command1_Click);

    // Enter walks the boxes in order, and saves from the last one.
    installKeys(Text1, KeyClass::Money, [this] { Combo1->setFocus(); });
    KeyHandler* reasonKeys = KeyHandler::install(Combo1);
    reasonKeys->keyPress = [this](int key) {
        if (key != 13)
            return false;
        Combo1_Enter();
        return true;
    };
    installKeys(Text2, KeyClass::UserName, [this] { Text3->setFocus(); });
    installKeys(Text3, KeyClass::UserName, [this] { Command1_Click(); });
    setTabOrder(Text1, Combo1);
    setTabOrder(Combo1, Text2);
    setTabOrder(Text2, Text3);
    setTabOrder(Text3, Command1);
    Text1->setFocus();
}

Form15* Form15::open(Form1& sales, Context& context, CashMovement::Kind kind)
{
    auto* window = new Form15(sales, context, kind);
    openFixed(&sales, window, CallerState::Disabled, CentreOn::Caller);
    return window;
}

void Form15::Combo1_Enter()
{
    if (m_needsAuthorisation)
        Text2->setFocus();
    else
        Command1_Click();
}

QString Form15::authorisation()
{
    Authorisation answer;
    const bool read = guarded(m_ctx.messages, QStringLiteral("No se pudo comprobar al administrador."), [&] {
        answer = authoriseCashOut(m_ctx.db, Text2->text(), Text3->text(), &m_attempts, m_ctx.clock.now());
    });
    if (!read)
        return {};
    if (answer.by.isEmpty()) {
        // A refused name takes its password with it: the two are typed again together.
        Text3->clear();
        refuse(m_ctx.messages, answer.box == Authorisation::Box::Name ? Text2 : Text3, answer.refusal);
    }
    return answer.by;
}

void Form15::Command1_Click()
{
    const MoneyRead read = readMoneyBox(Text1->text());
    if (!read.amount) {
        refuse(m_ctx.messages, Text1, read.refusal);
        return;
    }
    CashMovement movement;
    movement.kind = m_kind;
    movement.amount = *read.amount;
    movement.reason = Combo1->currentText().trimmed();
    movement.user = m_sales.day().user();
    if (const QString problem = movementProblem(movement); !problem.isEmpty()) {
        refuse(m_ctx.messages, movement.amount <= 0 ? Text1 : Combo1->lineEdit(), problem);
        return;
    }
    if (m_needsAuthorisation) {
        movement.authorisedBy = authorisation();
        if (movement.authorisedBy.isEmpty())
            return;
    }
    const bool stored = guarded(
        m_ctx.messages, QStringLiteral("No se pudo registrar el movimiento. No se guardó nada de él."),
        [&] { movement = recordMovement(m_ctx.db, m_ctx.clock, m_sales.day().openingStamp(), movement); });
    if (!stored)
        return;

    // A printer fault never costs the movement: it is stored already, and the cashier is told.
    QString printFailure;
    try {
        printReport(m_ctx.db, m_ctx.printer, movement.user, movementSlipLines(movement, m_ctx.db.till()));
    } catch (const PrinterError& e) {
        printFailure = e.message();
    } catch (const DbError& e) {
        printFailure = e.message();
    }
    if (!printFailure.isEmpty()) {
        QString said = QStringLiteral("No se pudo imprimir el comprobante: ") + printFailure;
        if (!said.endsWith(QLatin1Char('.')))
            said += QLatin1Char('.');
        said += QStringLiteral("\n\nEl movimiento quedó registrado.");
        m_ctx.messages.inform(said, kAppTitle, Messages::Icon::Exclamation);
    }
    close();
}

} // namespace tarvino
