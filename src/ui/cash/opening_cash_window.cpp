// The opening cash window: the cash in the drawer when the sales day starts, offered and stored.
#include "cash/opening_cash_window.h"

#include "cash/cash_book.h"
#include "cash/cash_entry.h"
#include "common/services.h"
#include "data/db_error.h"
#include "kit/window_kit.h"
#include "sales/sales_window.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace tarvino {

namespace {
constexpr int kWidth = 6000;
constexpr int kHeight = 2700;
// As many characters as 999999999,99 takes.
constexpr int kAmountLength = 12;
} // namespace

Form14::Form14(Form1& sales, Context& context) : QWidget(nullptr), m_sales(sales), m_ctx(context)
{
    fixedWindow(this, "Form14", QSize(px(kWidth), px(kHeight)));
    setFont(arial(10, true));

    Label1 = banner(this, "Label1", QStringLiteral("FONDO DE CAJA"), kWidth, 420, arial(12, true));
    Label2 = place(new QLabel(QStringLiteral("Fondo de caja $"), this), "Label2", 240, 900, 2100, 375);
    Text1 = captioned(Label2, place(new QLineEdit(this), "Text1", 2400, 840, 3300, 480));
    Text1->setFont(arial(14, true));
    Text1->setMaxLength(kAmountLength);
    Command1 = place(new QPushButton(QStringLiteral("Guardar"), this), "Command1", 2400, 1800, 1800, 495);
    setButtonColours(Command1, QColor(128, 255, 128));
    keyboardButton(Command1);
    connect(Command1, &QPushButton::clicked, this, &Form14::Command1_Click);
    installKeys(Text1, KeyClass::Money, [this] { Command1_Click(); });
    setTabOrder(Text1, Command1);

    // The amount offered is selected, so that Enter takes it and a typed figure replaces it.
    std::optional<Cents> offered;
    guarded(m_ctx.messages, QStringLiteral("No se pudo leer el fondo de caja anterior."),
            [&] { offered = offeredOpeningCash(m_ctx.db, m_sales.day().openingStamp()); });
    if (offered)
        Text1->setText(moneyBoxText(*offered));
    Text1->selectAll();
    Text1->setFocus();
}

Form14* Form14::open(Form1& sales, Context& context)
{
    auto* window = new Form14(sales, context);
    openFixed(&sales, window, CallerState::Disabled, CentreOn::Caller);
    return window;
}

void Form14::Command1_Click()
{
    const MoneyRead read = readMoneyBox(Text1->text());
    if (!read.amount) {
        refuse(m_ctx.messages, Text1, read.refusal);
        return;
    }
    const bool stored = guarded(
        m_ctx.messages, QStringLiteral("No se pudo guardar el fondo de caja. No se guardó nada."), [&] {
            recordOpeningCash(m_ctx.db, m_ctx.clock, m_sales.day().openingStamp(), *read.amount,
                              m_sales.day().user());
        });
    if (!stored) {
        Text1->selectAll();
        Text1->setFocus();
        return;
    }
    close();
}

} // namespace tarvino
