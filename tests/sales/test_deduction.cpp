// Taking units back out of the sale in deduction mode, on the real sales window.
#include "support/sales_driver.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>

using namespace tarvino;
using namespace tarvino::test;

namespace {

// Rings up 3 Leche and 1 Pan, then switches deduction mode on.
void ringUpAndDeduct(SalesDriver& d)
{
    for (int i = 0; i < 3; ++i)
        d.typeCode(QStringLiteral("100"));
    d.typeCode(QStringLiteral("200"));
    d.setManual(true);
    QTest::keyClick(d.form->Text7, Qt::Key_F2);
    QVERIFY(d.form->deductionMode());
}
} // namespace

class TestDeduction : public QObject {
    Q_OBJECT

private slots:
    void init() { QLocale::setDefault(kChile); }

    void partialDeductionRecomputesTheLine()
    {
        SalesDriver d;
        Form1& f = d.open();
        ringUpAndDeduct(d);
        d.typeCode(QStringLiteral("100"));
        d.typeQuantity(QStringLiteral("1"));
        QCOMPARE(d.detailList(), (QStringList{"100|Leche|2|700|1400|990|1980|0|General",
                                              "200|Pan|1|900|900|1500,5|1500,5|0|General"}));
        QCOMPARE(d.saleList(), (QStringList{"100|Leche|2|990|1980", "200|Pan|1|1500,5|1500,5"}));
        QCOMPARE(f.Label8->text(), QStringLiteral("$ 3.480,5"));
        QCOMPARE(f.Text9, QStringLiteral("3480,5"));
        // Still in deduction mode, back in code entry.
        QVERIFY(f.deductionMode());
        QVERIFY(f.Text7->isEnabled());
        QCOMPARE(QApplication::focusWidget(), f.Text7);
        QVERIFY(d.shop.messages.boxes.isEmpty());
    }

    void fractionalDeductionInEitherLocale_data()
    {
        QTest::addColumn<QLocale>("locale");
        QTest::addColumn<QString>("quantity");
        QTest::addColumn<QString>("line");
        QTest::newRow("es_CL") << kChile << "0,5" << "200|Pan|0,5|1500,5|750,25";
        QTest::newRow("C") << QLocale::c() << "0.5" << "200|Pan|0.5|1500.5|750.25";
    }
    void fractionalDeductionInEitherLocale()
    {
        QFETCH(QLocale, locale);
        QFETCH(QString, quantity);
        QFETCH(QString, line);
        QLocale::setDefault(locale);
        SalesDriver d;
        d.open();
        ringUpAndDeduct(d);
        d.typeCode(QStringLiteral("100"));
        d.typeQuantity(QStringLiteral("3"));
        d.typeCode(QStringLiteral("200"));
        d.typeQuantity(quantity);
        QCOMPARE(d.saleList(), QStringList{line});
        QVERIFY(d.shop.messages.boxes.isEmpty());
    }

    void fullDeductionRemovesTheLineKeepingOrder()
    {
        SalesDriver d;
        Form1& f = d.open();
        d.typeCode(QStringLiteral("200"));
        ringUpAndDeduct(d);
        d.typeCode(QStringLiteral("200"));
        d.typeQuantity(QStringLiteral("2"));
        QCOMPARE(d.saleList(), QStringList{"100|Leche|3|990|2970"});
        QCOMPARE(f.ListView1->topLevelItemCount(), 1);
        QCOMPARE(f.Label8->text(), QStringLiteral("$ 2.970,"));
    }

    void deductingEverythingLeavesAnEmptySale()
    {
        SalesDriver d;
        Form1& f = d.open();
        ringUpAndDeduct(d);
        d.typeCode(QStringLiteral("100"));
        d.typeQuantity(QStringLiteral("3"));
        d.typeCode(QStringLiteral("200"));
        d.typeQuantity(QStringLiteral("1"));
        QVERIFY(d.saleList().isEmpty());
        QVERIFY(f.ListView2.isEmpty());
        QCOMPARE(f.Label8->text(), QStringLiteral("$ 0"));
        QCOMPARE(f.Text9, QStringLiteral("0"));
        // PAGAR refuses an empty sale.
        QTest::mouseClick(f.Command1, Qt::LeftButton);
        QCOMPARE(d.shop.messages.lastText(), QStringLiteral("La lista de productos a vender está vacía"));
        QVERIFY(f.isEnabled());
    }

    void fractionalDeduction()
    {
        SalesDriver d;
        Form1& f = d.open();
        d.typeCode(QStringLiteral("200"));
        d.setManual(true);
        QTest::keyClick(f.Text7, Qt::Key_F2);
        d.typeCode(QStringLiteral("200"));
        d.typeQuantity(QStringLiteral("0,5"));
        QCOMPARE(d.saleList(), QStringList{"200|Pan|0,5|1500,5|750,25"});
        QCOMPARE(f.Label8->text(), QStringLiteral("$ 750,25"));
    }

    void refusals_data()
    {
        QTest::addColumn<bool>("emptySale");
        QTest::addColumn<QString>("quantity");
        QTest::addColumn<QString>("message");
        QTest::newRow("more than sold") << false << "4"
                                        << "No puede descontar una cantidad mayor a la vendida";
        QTest::newRow("empty sale") << true << "1"
                                    << "No hay nada que descontar mientras la lista esté vacía";
    }
    void refusals()
    {
        QFETCH(bool, emptySale);
        QFETCH(QString, quantity);
        QFETCH(QString, message);
        SalesDriver d;
        Form1& f = d.open();
        if (emptySale) {
            d.setManual(true);
            QTest::keyClick(f.Text7, Qt::Key_F2);
        } else {
            ringUpAndDeduct(d);
        }
        const QStringList before = d.detailList();
        d.typeCode(QStringLiteral("100"));
        d.typeQuantity(quantity);
        QCOMPARE(d.shop.messages.texts(), QStringList{message});
        QCOMPARE(d.detailList(), before);
        // The cashier stays in the emptied quantity box to type a smaller quantity at once.
        QVERIFY(f.Text8->isEnabled());
        QVERIFY(f.Text8->text().isEmpty());
        QVERIFY(!f.Text7->isEnabled());
        QCOMPARE(QApplication::focusWidget(), f.Text8);
        if (!emptySale) {
            d.typeQuantity(QStringLiteral("3"));
            QCOMPARE(d.saleList(), QStringList{"200|Pan|1|1500,5|1500,5"});
        }
    }

    void codeNotInTheSale()
    {
        SalesDriver d;
        Form1& f = d.open();
        ringUpAndDeduct(d);
        const QStringList before = d.saleList();
        // Leading zeros make another code text: it is not in the sale.
        d.typeCode(QStringLiteral("0100"));
        d.typeQuantity(QStringLiteral("1"));
        QCOMPARE(d.shop.messages.texts(), QStringList{"El código ingresado no está en la lista"});
        QCOMPARE(d.saleList(), before);
        QVERIFY(f.Text7->isEnabled());
        QVERIFY(f.deductionMode());
        QCOMPARE(f.Label8->text(), QStringLiteral("$ 4.470,5"));
    }

    void singlePrecisionComparison()
    {
        // A quantity above the line's by less than single precision can tell passes, and the
        // line, now at or below zero, is removed.
        SalesDriver d;
        Form1& f = d.open();
        ringUpAndDeduct(d);
        d.typeCode(QStringLiteral("200"));
        d.typeQuantity(QStringLiteral("1,00000001"));
        QVERIFY(d.shop.messages.boxes.isEmpty());
        QCOMPARE(d.saleList(), QStringList{"100|Leche|3|990|2970"});
        QCOMPARE(f.Label8->text(), QStringLiteral("$ 2.970,"));
    }

    void warningIsLeftAsItWas()
    {
        SalesDriver d;
        Form1& f = d.open();
        for (int i = 0; i < 5; ++i)
            d.typeCode(QStringLiteral("100"));
        QVERIFY(!f.Label17->isHidden());
        d.setManual(true);
        QTest::keyClick(f.Text7, Qt::Key_F2);
        d.typeCode(QStringLiteral("100"));
        d.typeQuantity(QStringLiteral("4"));
        QCOMPARE(d.saleList(), QStringList{"100|Leche|1|990|990"});
        QVERIFY(!f.Label17->isHidden());
    }
};

QTEST_MAIN(TestDeduction)
#include "test_deduction.moc"
