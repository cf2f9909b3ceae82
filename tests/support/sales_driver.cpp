// Drives a real sales window on a temporary shop, the way a cashier does at the keyboard.
#include "support/sales_driver.h"

#include "sales/payment_window.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>

namespace tarvino::test {

SalesDriver::SalesDriver()
{
    shop.addProduct({QStringLiteral("100"), QStringLiteral("Leche"), 10, 700, 990, 5});
    shop.addProduct({QStringLiteral("200"), QStringLiteral("Pan"), 50, 900, 1500.5, 2});
}

SalesDriver::~SalesDriver() = default;

Form1& SalesDriver::open(const QString& user)
{
    form = std::make_unique<Form1>(shop.context);
    form->Form_Load();
    form->show();
    form->activateWindow();
    (void)QTest::qWaitForWindowActive(form.get());
    form->day().begin(user, openingStamp);
    return *form;
}

void SalesDriver::typeCode(const QString& code)
{
    QTest::keyClicks(form->Text7, code);
    QTest::keyClick(form->Text7, Qt::Key_Return);
}

bool SalesDriver::sell(const QString& code, const QString& kind)
{
    typeCode(code);
    form->Text10 = kind;
    return form->guardar();
}

Form5& SalesDriver::pay()
{
    QTest::mouseClick(form->Command1, Qt::LeftButton);
    Form5* payment = form->paymentWindow();
    if (!payment)
        qFatal("the payment window did not open");
    return *payment;
}

void SalesDriver::typeAmount(Form5& payment, const QString& amount)
{
    QTest::keyClicks(payment.Text1, amount);
    QTest::keyClick(payment.Text1, Qt::Key_Return);
}

void SalesDriver::settleInCash()
{
    Form5& payment = pay();
    typeAmount(payment, QStringLiteral("5000"));
    QTest::mouseClick(payment.Command1, Qt::LeftButton);
    flushClosedWindows();
}

void SalesDriver::typeQuantity(const QString& quantity)
{
    QTest::keyClicks(form->Text8, quantity);
    QTest::keyClick(form->Text8, Qt::Key_Return);
}

void SalesDriver::setManual(bool on)
{
    if (form->Check1->isChecked() != on)
        QTest::mouseClick(form->Check1, Qt::LeftButton, {}, QPoint(8, form->Check1->height() / 2));
}

QStringList SalesDriver::saleList() const
{
    QStringList rows;
    for (int i = 0; i < form->ListView1->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* item = form->ListView1->topLevelItem(i);
        QStringList cells;
        for (int c = 1; c <= 5; ++c)
            cells << item->text(c);
        rows << cells.join(QLatin1Char('|'));
    }
    return rows;
}

QStringList SalesDriver::detailList() const
{
    QStringList rows;
    for (const SaleLine& line : form->ListView2)
        rows << line.mid(1).join(QLatin1Char('|'));
    return rows;
}

} // namespace tarvino::test
