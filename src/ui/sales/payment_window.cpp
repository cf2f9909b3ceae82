// The payment window: takes the amount tendered, shows the change and settles in cash or by card.
#include "sales/payment_window.h"

#include "kit/window_kit.h"
#include "kit/key_filter.h"
#include "common/services.h"
#include "data/database.h"
#include "sales/payment.h"
#include "sales/receipt.h"
#include "sales/sales_window.h"

#include <QCloseEvent>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace tarvino {

namespace {
void setShown(std::initializer_list<QWidget*> widgets, bool shown)
{
    for (QWidget* widget : widgets)
        widget->setVisible(shown);
}
} // namespace

Form5::Form5(Form1& sales, Context& context) : QDialog(nullptr), m_sales(sales), m_ctx(context)
{
    fixedWindow(this, "Form5", QSize(px(4500), px(4350)));
    setFont(arial(10, true));

    Label1 = place(new QLabel(QStringLiteral("Total a pagar"), this), "Label1", 120, 120, 1935, 375);
    Label2 = place(new QLabel(this), "Label2", 2160, 120, 2175, 495);
    Label2->setFont(arial(14, true));
    setTextColour(Label2, QColor(0, 0, 255));
    Label3 = place(new QLabel(QStringLiteral("Paga con       $"), this), "Label3", 120, 720, 2175, 375);
    Text1 = captioned(Label3, place(new QLineEdit(this), "Text1", 2280, 720, 1935, 375));
    Text1->setMaxLength(8);
    Label4 = place(new QLabel(QStringLiteral("Su vuelto es   $"), this), "Label4", 120, 1440, 2175, 375);
    Label5 = place(new QLabel(this), "Label5", 2280, 1380, 2175, 495);
    Label5->setFont(arial(16, true));
    setTextColour(Label5, QColor(255, 0, 0));
    Command1 = place(new QPushButton(QStringLiteral("EFECTIVO"), this), "Command1", 120, 2640, 1695, 495);
    setButtonColours(Command1, QColor(128, 255, 128));
    Command2 = place(new QPushButton(QStringLiteral("TARJETA"), this), "Command2", 2640, 2640, 1695, 495);
    setButtonColours(Command2, QColor(0, 255, 255));
    Command3 = place(new QPushButton(QStringLiteral("VOLVER"), this), "Command3", 1440, 3720, 1575, 495);
    setButtonColours(Command3, QColor(255, 255, 128));
    Command4 = place(new QPushButton(QStringLiteral("MIXTO (F3)"), this), "Command4", 1440, 2010, 1575, 495);
    setButtonColours(Command4, QColor(255, 192, 128));

    Label6 = place(new QLabel(QStringLiteral("Efectivo        $"), this), "Label6", 120, 720, 2175, 375);
    Text3 = captioned(Label6, place(new QLineEdit(this), "Text3", 2280, 720, 1935, 375));
    Text3->setMaxLength(12);
    Label7 = place(new QLabel(QStringLiteral("Tarjeta"), this), "Label7", 120, 1440, 2175, 375);
    Label8 = place(new QLabel(this), "Label8", 2280, 1380, 2175, 495);
    Label8->setFont(arial(16, true));
    setTextColour(Label8, QColor(0, 0, 255));
    setShown({Label6, Text3, Label7, Label8}, false);

    connect(Command1, &QPushButton::clicked, this, &Form5::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &Form5::Command2_Click);
    connect(Command3, &QPushButton::clicked, this, &Form5::Command3_Click);
    connect(Command4, &QPushButton::clicked, this, &Form5::Command4_Click);
    installKeys(Text1, KeyClass::Money, [this] { Text1_Enter(); });
    installKeys(Text3, KeyClass::Money, [this] { Text3_Enter(); });
    connect(Text3, &QLineEdit::textChanged, this, &Form5::Text3_Change);
    setTabOrder(Text1, Command1);
    setTabOrder(Command1, Command2);
    setTabOrder(Command2, Command4);
    setTabOrder(Command4, Command3);
    for (QPushButton* button : {Command1, Command2, Command3, Command4})
        keyboardButton(button);

    Label2->setText(m_sales.Label8->text());
    Text1->setFocus();
}

void Form5::Text1_Enter()
{
    if (Text1->isReadOnly())
        return;
    const AmountCheck amount = checkAmount(m_sales.Text9, Text1->text());
    if (amount.noAmount)
        Command1_Click();
    else
        showAmount(amount);
}

bool Form5::showAmount(const AmountCheck& amount)
{
    if (!amount.accepted) {
        refuse(m_ctx.messages, Text1, amount.refusal);
        return false;
    }
    if (amount.noAmount)
        return true;
    Label5->setText(amount.change);
    Text1->setReadOnly(true);
    Command1->setEnabled(true);
    Command2->setEnabled(false);
    Command1->setFocus();
    return true;
}

void Form5::Command1_Click()
{
    // An amount typed but not confirmed with Enter is checked, and its change shown, first.
    if (!Text1->isReadOnly() && !showAmount(checkAmount(m_sales.Text9, Text1->text())))
        return;
    settle(QStringLiteral("EFECTIVO"), QStringLiteral("0"), true);
}

void Form5::Command2_Click()
{
    // A card payment takes no amount: one typed and not confirmed is dropped, so that the
    // receipt shows neither an amount tendered nor change.
    if (!Text1->isReadOnly()) {
        Text1->clear();
        Label5->clear();
    }
    settle(QStringLiteral("TARJETA"), QStringLiteral("1"), false);
}

void Form5::Command4_Click()
{
    if (m_done || Text3->isVisible())
        return;
    // The split asks for its own amount: whatever was typed as tendered goes, and with it the
    // buttons that would settle the whole total one way.
    Text1->clear();
    Label5->clear();
    setShown({Label3, Text1, Label4, Label5}, false);
    setShown({Label6, Text3, Label7, Label8}, true);
    for (QPushButton* button : {Command1, Command2, Command4})
        button->setEnabled(false);
    setTabOrder(Text3, Command3);
    Text3->setFocus();
}

void Form5::Text3_Change()
{
    Label8->setText(checkSplit(m_sales.Text9, Text3->text()).cardText);
}

void Form5::Text3_Enter()
{
    const SplitCheck split = checkSplit(m_sales.Text9, Text3->text());
    if (!split.accepted) {
        refuse(m_ctx.messages, Text3, split.refusal);
        return;
    }
    settle(QStringLiteral("MIXTO"), QStringLiteral("2"), false, &split);
}

void Form5::settle(const QString& kind, const QString& flag, bool cash, const SplitCheck* split)
{
    if (m_done)
        return;
    m_done = true;
    m_sales.Text10 = kind;
    m_sales.splitCashPart = split ? split->cash : 0;
    Text2 = flag;
    if (cash) {
        m_sales.Text11 = Text1->text();
        m_sales.Text12 = Label5->text();
    }
    m_sales.Frame2->setEnabled(true);
    m_sales.setEnabled(true);

    const Receipt receipt =
        split ? splitReceipt(m_sales.ListView2, m_ctx.clock.now(), Label2->text(), *split)
              : saleReceipt(m_sales.ListView2, m_ctx.clock.now(), Label2->text(), Text1->text(),
                            Label5->text(), Text2);

    // A printer fault never costs the sale: it is recorded all the same and the cashier told.
    QString printFailure;
    try {
        imprimirTicket(m_ctx.db, m_ctx.printer, m_sales.day().user(), receipt);
    } catch (const PrinterError& e) {
        printFailure = e.message();
    } catch (const DatabaseClosedUntilRestart&) {
        // The recording below refuses too, and tells the cashier what to do.
    } catch (const DbError& e) {
        printFailure = e.message();
    }
    const bool recorded = m_sales.guardar();
    if (!printFailure.isEmpty()) {
        // The cause may be a sentence of its own already (a server's message is).
        QString said = QStringLiteral("No se pudo imprimir la boleta: ") + printFailure;
        if (!said.endsWith(QLatin1Char('.')))
            said += QLatin1Char('.');
        if (recorded)
            said += QStringLiteral("\n\nLa venta quedó registrada.");
        m_ctx.messages.inform(said, kAppTitle, Messages::Icon::Exclamation);
    }
    close();
}

void Form5::Command3_Click()
{
    m_done = true;
    close();
}

void Form5::keyPressEvent(QKeyEvent* event)
{
    // The boxes and buttons leave F3 to the window, wherever the cursor stands.
    if (event->key() == Qt::Key_F3 && event->modifiers() == Qt::NoModifier) {
        Command4_Click();
        return;
    }
    QDialog::keyPressEvent(event);
}

void Form5::reject()
{
    Command3_Click();
}

void Form5::closeEvent(QCloseEvent* event)
{
    // Closing by the window frame goes back to the sale, as VOLVER does: the sales window gets
    // itself back from the routine that opened this one.
    m_done = true;
    event->accept();
}

} // namespace tarvino
