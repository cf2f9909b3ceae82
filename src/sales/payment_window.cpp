// The payment window: takes the amount tendered, shows the change and settles in cash or by card.
#include "sales/payment_window.h"

#include "app/placement.h"
#include "common/key_filter.h"
#include "common/numbers.h"
#include "common/services.h"
#include "data/database.h"
#include "sales/receipt.h"
#include "sales/sales_window.h"

#include <QCloseEvent>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QTreeWidget>

namespace tarvino {

namespace {

QFont boldArial(int points)
{
    QFont font(QStringLiteral("Arial"));
    font.setPointSize(points);
    font.setBold(true);
    return font;
}

template <typename W>
W* place(W* widget, const char* name, int left, int top, int width, int height)
{
    widget->setObjectName(QString::fromLatin1(name));
    widget->setGeometry(px(left), px(top), px(width), px(height));
    return widget;
}

void textColour(QWidget* widget, const QColor& colour)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, colour);
    widget->setPalette(palette);
}

void buttonColour(QPushButton* button, const char* rgb)
{
    button->setStyleSheet(QStringLiteral("QPushButton { background-color: rgb(%1); color: black; }"
                                         "QPushButton:disabled { color: gray; }")
                              .arg(QLatin1String(rgb)));
}

} // namespace

Form5::Form5(Form1& sales, Context& context) : QDialog(nullptr), m_sales(sales), m_ctx(context)
{
    setObjectName(QStringLiteral("Form5"));
    setWindowTitle(kWindowCaption);
    setAttribute(Qt::WA_DeleteOnClose);
    setFixedSize(px(4500), px(4350));
    setFont(boldArial(10));

    Label1 = place(new QLabel(QStringLiteral("Total a pagar"), this), "Label1", 120, 120, 1935, 375);
    Label2 = place(new QLabel(this), "Label2", 2160, 120, 2175, 495);
    Label2->setFont(boldArial(14));
    textColour(Label2, QColor(0, 0, 255));
    Label3 = place(new QLabel(QStringLiteral("Paga con       $"), this), "Label3", 120, 720, 2175, 375);
    Text1 = place(new QLineEdit(this), "Text1", 2280, 720, 1935, 375);
    Text1->setMaxLength(8);
    Text1->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9,]*")), Text1));
    Label4 = place(new QLabel(QStringLiteral("Su vuelto es   $"), this), "Label4", 120, 1440, 2175, 375);
    Label5 = place(new QLabel(this), "Label5", 2280, 1380, 2175, 495);
    Label5->setFont(boldArial(16));
    textColour(Label5, QColor(255, 0, 0));
    Command1 = place(new QPushButton(QStringLiteral("EFECTIVO"), this), "Command1", 120, 2640, 1695, 495);
    buttonColour(Command1, "128, 255, 128");
    Command2 = place(new QPushButton(QStringLiteral("TARJETA"), this), "Command2", 2640, 2640, 1695, 495);
    buttonColour(Command2, "0, 255, 255");
    Command3 = place(new QPushButton(QStringLiteral("VOLVER"), this), "Command3", 1440, 3720, 1575, 495);
    buttonColour(Command3, "255, 255, 128");

    connect(Command1, &QPushButton::clicked, this, &Form5::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &Form5::Command2_Click);
    connect(Command3, &QPushButton::clicked, this, &Form5::Command3_Click);
    KeyHandler::install(Text1)->keyPress = [this](int k) { return Text1_KeyPress(k); };
    setTabOrder(Text1, Command1);
    setTabOrder(Command1, Command2);
    setTabOrder(Command2, Command3);

    // Enter on a focused button presses it.
    for (QPushButton* button : {Command1, Command2, Command3})
        button->setAutoDefault(true);

    Label2->setText(m_sales.Label8->text());
    Text1->setFocus();
    move(m_sales.geometry().center() - rect().center());
}

bool Form5::Text1_KeyPress(int keyAscii)
{
    if (keyAscii == 27) {
        Command3_Click();
        return true;
    }
    if (keyAscii == 13) {
        if (Text1->isReadOnly())
            return true;
        if (Text1->text().isEmpty())
            Command1_Click();
        else
            amountEntered();
        return true;
    }
    return !((keyAscii >= '0' && keyAscii <= '9') || keyAscii == ',' || keyAscii == 8);
}

void Form5::amountEntered()
{
    const auto total = readNumber(m_sales.Text9);
    const auto tendered = readNumber(Text1->text());
    if (!tendered || !total) {
        m_ctx.messages.inform(QStringLiteral("«") + Text1->text() +
                              QStringLiteral("» no es un monto válido. Escriba el monto con a lo "
                                             "sumo una coma decimal, por ejemplo 2000 o 1500,50."));
        Text1->clear();
        Text1->setFocus();
        return;
    }
    if (*total > *tendered) {
        m_ctx.messages.inform(
            QStringLiteral("El valor ingresado debe ser mayor o igual al total a pagar"));
        Text1->clear();
        Text1->setFocus();
        return;
    }
    const double change = *tendered - *total;
    const QString plain = plainNumber(change);
    Label5->setText(leadingNumber(plain) == 0 ? plain
                                              : formatPicture(change, QStringLiteral("###,###,###.#0")));
    Text1->setReadOnly(true);
    Command1->setEnabled(true);
    Command2->setEnabled(false);
    Command1->setFocus();
}

void Form5::Command1_Click()
{
    settle(QStringLiteral("EFECTIVO"), QStringLiteral("0"), true);
}

void Form5::Command2_Click()
{
    settle(QStringLiteral("TARJETA"), QStringLiteral("1"), false);
}

void Form5::settle(const QString& kind, const QString& flag, bool cash)
{
    if (m_done)
        return;
    m_done = true;
    m_sales.Text10 = kind;
    Text2 = flag;
    if (cash) {
        m_sales.Text11 = Text1->text();
        m_sales.Text12 = Label5->text();
    }
    m_sales.Frame2->setEnabled(true);
    m_sales.setEnabled(true);

    Receipt receipt;
    receipt.when = m_ctx.clock.now();
    for (int i = 0; i < m_sales.ListView1->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* item = m_sales.ListView1->topLevelItem(i);
        receipt.lines << ReceiptLine{item->text(2), item->text(3), item->text(4), item->text(5)};
    }
    receipt.total = Label2->text();
    receipt.tendered = Text1->text();
    receipt.change = Label5->text();
    receipt.flag = Text2;

    // A printer fault never costs the sale: it is recorded all the same and the cashier told.
    QString printFailure;
    try {
        imprimirTicket(m_ctx.db, m_ctx.printer, m_sales.Text4, receipt);
    } catch (const PrinterError& e) {
        printFailure = e.message();
    } catch (const DbError& e) {
        printFailure = e.message();
    }
    const bool recorded = m_sales.guardar();
    if (!printFailure.isEmpty()) {
        m_ctx.messages.inform(QStringLiteral("No se pudo imprimir la boleta: ") + printFailure +
                                  (recorded ? QStringLiteral(".\n\nLa venta quedó registrada.")
                                            : QStringLiteral(".")),
                              kAppTitle, Messages::Icon::Exclamation);
    }
    close();
}

void Form5::backToSale()
{
    m_sales.Frame2->setEnabled(true);
    m_sales.setEnabled(true);
}

void Form5::Command3_Click()
{
    m_done = true;
    backToSale();
    close();
}

void Form5::reject()
{
    Command3_Click();
}

void Form5::closeEvent(QCloseEvent* event)
{
    // Closing by the window frame goes back to the sale, as VOLVER does.
    if (!m_done) {
        m_done = true;
        backToSale();
    }
    m_sales.activateWindow();
    m_sales.Text7->setFocus();
    event->accept();
}

} // namespace tarvino
