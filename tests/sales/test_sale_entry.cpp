// Ringing up a sale on the real sales window: codes, quantities, merging, totals, the warning.
#include "support/sales_driver.h"

#include <QApplication>
#include <QCheckBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>

using namespace tarvino;
using namespace tarvino::test;

namespace {

bool inCodeEntry(const Form1& f)
{
    return f.Text7->isEnabled() && !f.Text8->isEnabled() && f.Text8->text() == QLatin1String("1") &&
           f.Check1->isEnabled();
}

bool inQuantityEntry(const Form1& f)
{
    return !f.Text7->isEnabled() && f.Text8->isEnabled() && !f.Check1->isEnabled();
}

// One unit of Leche rung up, then code with a typed quantity under "Cantidad Manual".
void oneLecheThenManual(SalesDriver& d, const QString& code, const QString& quantity)
{
    d.typeCode(QStringLiteral("100"));
    d.setManual(true);
    d.typeCode(code);
    d.typeQuantity(quantity);
}

QColor base(const QLineEdit* box)
{
    return box->palette().color(QPalette::Base);
}
} // namespace

class TestSaleEntry : public QObject {
    Q_OBJECT

private slots:
    void init() { QLocale::setDefault(kChile); }
    void cleanup() { QLocale::setDefault(kChile); }

    void windowAfterLoad()
    {
        SalesDriver d;
        Form1& f = d.open();
        QCOMPARE(f.windowTitle(), QStringLiteral("TARVINO 1.0"));
        QCOMPARE(f.Label8->text(), QStringLiteral("$ "));
        QVERIFY(inCodeEntry(f));
        QVERIFY(f.Label17->isHidden());
        QVERIFY(f.Label18->isHidden());
        QCOMPARE(QApplication::focusWidget(), f.Text7);
        const QStringList titles = {"_", "Código", "Nombre", "Cantidad", "Valor Unitario",
                                    "Valor Total", "1/0", "Categoría"};
        QCOMPARE(f.ListView1->columnCount(), titles.size());
        for (int i = 0; i < titles.size(); ++i) {
            QCOMPARE(f.ListView1->headerItem()->text(i), titles[i]);
            // The row number, the flag and the category are never shown.
            QCOMPARE(f.ListView1->columnWidth(i) == 0, i == 0 || i >= 6);
        }
        QCOMPARE(f.ListView1->palette().color(QPalette::Base), QColor(255, 255, 128));
        QCOMPARE(f.ListView1->font().pointSize(), 18);
        QVERIFY(f.ListView1->font().bold());
    }

    void keyFilters()
    {
        SalesDriver d;
        Form1& f = d.open();
        QTest::keyClicks(f.Text7, QStringLiteral("1a2.,b 3-"));
        QCOMPARE(f.Text7->text(), QStringLiteral("123"));
        QTest::keyClick(f.Text7, Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(f.Text7->text(), QStringLiteral("123"));
        QTest::keyClick(f.Text7, Qt::Key_Backspace);
        QCOMPARE(f.Text7->text(), QStringLiteral("12"));

        f.Text7->clear();
        d.setManual(true);
        d.typeCode(QStringLiteral("200"));
        QVERIFY(inQuantityEntry(f));
        QTest::keyClicks(f.Text8, QStringLiteral("1a,5x-"));
        QCOMPARE(f.Text8->text(), QStringLiteral("1,5"));
        // One decimal mark only, whichever key typed it.
        QTest::keyClicks(f.Text8, QStringLiteral("."));
        QCOMPARE(f.Text8->text(), QStringLiteral("1,5"));
    }

    void codeMessages()
    {
        SalesDriver d;
        Form1& f = d.open();
        QTest::keyClick(f.Text7, Qt::Key_Return);
        QCOMPARE(d.shop.messages.texts(), QStringList{"Debe ingresar el código del producto"});
        QCOMPARE(d.shop.messages.boxes.last().title, QStringLiteral("Tarvino 1.0"));
        QCOMPARE(d.shop.messages.boxes.last().icon, Messages::Icon::None);
        QVERIFY(inCodeEntry(f));

        d.shop.messages.clear();
        d.typeCode(QStringLiteral("999"));
        QCOMPARE(d.shop.messages.texts(), QStringList{"El Código ingresado no existe"});
        QVERIFY(f.Text7->text().isEmpty());
        QVERIFY(inCodeEntry(f));
        QVERIFY(d.saleList().isEmpty());
    }

    void mergingAndOrder()
    {
        SalesDriver d;
        Form1& f = d.open();
        d.typeCode(QStringLiteral("100"));
        d.typeCode(QStringLiteral("200"));
        d.typeCode(QStringLiteral("100"));
        QCOMPARE(d.detailList(), (QStringList{"100|Leche|2|700|1400|990|1980|0|General",
                                              "200|Pan|1|900|900|1500,5|1500,5|0|General"}));
        QCOMPARE(d.saleList(), (QStringList{"100|Leche|2|990|1980", "200|Pan|1|1500,5|1500,5"}));
        QCOMPARE(f.ListView1->topLevelItem(1)->text(0), QStringLiteral("2"));
        QCOMPARE(f.Text9, QStringLiteral("3480,5"));
        QCOMPARE(f.Label8->text(), QStringLiteral("$ 3.480,5"));
        QCOMPARE(f.Text13, QStringLiteral("2"));
        QVERIFY(inCodeEntry(f));
        QCOMPARE(QApplication::focusWidget(), f.Text7);
        QVERIFY(d.shop.messages.boxes.isEmpty());
    }

    void manualQuantities()
    {
        SalesDriver d;
        Form1& f = d.open();
        d.setManual(true);
        d.typeCode(QStringLiteral("200"));
        QVERIFY(inQuantityEntry(f));
        QVERIFY(f.Text8->text().isEmpty());
        QCOMPARE(QApplication::focusWidget(), f.Text8);

        // An empty quantity keeps the cashier in the quantity box.
        QTest::keyClick(f.Text8, Qt::Key_Return);
        QCOMPARE(d.shop.messages.lastText(), QStringLiteral("Debe ingresar la cantidad a vender"));
        QVERIFY(inQuantityEntry(f));

        d.typeQuantity(QStringLiteral("0,5"));
        QCOMPARE(d.saleList(), QStringList{"200|Pan|0,5|1500,5|750,25"});
        QCOMPARE(f.Label8->text(), QStringLiteral("$ 750,25"));
        QVERIFY(f.Check1->isChecked());
        QVERIFY(f.Check1->isEnabled());

        // A second entry of the same code merges, fractions included.
        d.typeCode(QStringLiteral("200"));
        d.typeQuantity(QStringLiteral("1,25"));
        QCOMPARE(d.saleList(), QStringList{"200|Pan|1,75|1500,5|2625,875"});
        QCOMPARE(f.Label8->text(), QStringLiteral("$ 2.625,875"));
    }

    void zeroQuantityAbandons_data()
    {
        QTest::addColumn<QString>("quantity");
        QTest::newRow("0") << "0";
    }
    void zeroQuantityAbandons()
    {
        QFETCH(QString, quantity);
        SalesDriver d;
        Form1& f = d.open();
        oneLecheThenManual(d, QStringLiteral("200"), quantity);
        QVERIFY(inCodeEntry(f));
        QCOMPARE(d.saleList(), QStringList{"100|Leche|1|990|990"});
        QVERIFY(d.shop.messages.boxes.isEmpty());
    }

    void notANumberIsRefused_data()
    {
        QTest::addColumn<QString>("quantity");
        QTest::newRow("lone separator") << ",";
        QTest::newRow("lone point") << ".";
    }
    void notANumberIsRefused()
    {
        QFETCH(QString, quantity);
        SalesDriver d;
        Form1& f = d.open();
        oneLecheThenManual(d, QStringLiteral("100"), quantity);
        QCOMPARE(d.shop.messages.boxes.size(), 1);
        QCOMPARE(d.shop.messages.lastText(),
                 QStringLiteral("«,» no es una cantidad válida. Escriba la cantidad con un solo "
                                "separador decimal, por ejemplo 2 o 0,5."));
        QVERIFY(inQuantityEntry(f));
        QVERIFY(f.Text8->text().isEmpty());
        QCOMPARE(d.saleList(), QStringList{"100|Leche|1|990|990"});
        QCOMPARE(f.Text9, QStringLiteral("990"));
    }

    void unknownCodeWithManualQuantity()
    {
        SalesDriver d;
        Form1& f = d.open();
        d.setManual(true);
        d.typeCode(QStringLiteral("999"));
        QVERIFY(d.shop.messages.boxes.isEmpty());
        QVERIFY(inQuantityEntry(f));
        d.typeQuantity(QStringLiteral("2"));
        QCOMPARE(d.shop.messages.texts(), QStringList{"El código ingresado no existe"});
        QVERIFY(inCodeEntry(f));
        QVERIFY(d.saleList().isEmpty());
    }

    void criticalStockBoundary()
    {
        // Stock 10, critical 5: the fifth unit leaves 5, which is at the critical level.
        SalesDriver d;
        Form1& f = d.open();
        for (int unit = 1; unit <= 4; ++unit) {
            d.typeCode(QStringLiteral("100"));
            QVERIFY2(f.Label17->isHidden(), qPrintable(QString::number(unit)));
            QCOMPARE(base(f.Text8), QColor(255, 255, 255));
        }
        d.typeCode(QStringLiteral("100"));
        QVERIFY(!f.Label17->isHidden());
        QCOMPARE(f.Label17->text(), QStringLiteral("Leche"));
        QCOMPARE(base(f.Text8), QColor(255, 0, 0));
        QCOMPARE(f.Text14, QStringLiteral("5"));
        QCOMPARE(f.Text15, QStringLiteral("10"));

        // The warning follows the last product entered only.
        d.typeCode(QStringLiteral("200"));
        QVERIFY(f.Label17->isHidden());
        QCOMPARE(base(f.Text8), QColor(255, 255, 255));
        QCOMPARE(f.Label17->text(), QStringLiteral("Pan"));
    }

    void sellingBeyondStock()
    {
        SalesDriver d;
        Form1& f = d.open();
        d.setManual(true);
        d.typeCode(QStringLiteral("200"));
        d.typeQuantity(QStringLiteral("60"));
        QCOMPARE(d.saleList(), QStringList{"200|Pan|60|1500,5|90030"});
        QVERIFY(!f.Label17->isHidden());
        QVERIFY(d.shop.messages.boxes.isEmpty());
    }

    void deductionModeSwitch()
    {
        SalesDriver d;
        Form1& f = d.open();
        QTest::keyClick(f.Text7, Qt::Key_F2);
        QVERIFY(!f.deductionMode());
        d.setManual(true);
        QTest::keyClick(f.Text7, Qt::Key_F2);
        QVERIFY(f.deductionMode());
        QVERIFY(!f.Label18->isHidden());
        QTest::keyClick(f.Text7, Qt::Key_F1);
        QVERIFY(!f.deductionMode());
        QTest::keyClick(f.Text7, Qt::Key_F2);
        d.setManual(false);
        QVERIFY(!f.deductionMode());
        d.setManual(true);
        QVERIFY(!f.deductionMode());
        QTest::keyClick(f.Text7, Qt::Key_F2);
        QTest::mouseClick(f.Command2, Qt::LeftButton);
        QVERIFY(!f.deductionMode());
    }

    void cancelClearsTheSale()
    {
        SalesDriver d;
        Form1& f = d.open();
        d.typeCode(QStringLiteral("100"));
        for (int i = 0; i < 4; ++i)
            d.typeCode(QStringLiteral("100"));
        QVERIFY(!f.Label17->isHidden());
        d.setManual(true);
        QTest::keyClick(f.Text7, Qt::Key_F2);
        QTest::mouseClick(f.Command2, Qt::LeftButton);
        QVERIFY(d.saleList().isEmpty());
        QVERIFY(f.ListView2.isEmpty());
        QCOMPARE(f.Label8->text(), QStringLiteral("$ "));
        QVERIFY(f.Label17->isHidden());
        QVERIFY(!f.deductionMode());
        QCOMPARE(base(f.Text8), QColor(255, 255, 255));
        QVERIFY(inCodeEntry(f));
        QCOMPARE(QApplication::focusWidget(), f.Text7);
        // The hidden total keeps the last one until the next addition.
        QCOMPARE(f.Text9, QStringLiteral("4950"));
    }

    void quantityInEitherLocale_data()
    {
        QTest::addColumn<QLocale>("locale");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("line");
        QTest::newRow("es_CL comma") << kChile << "0,5" << "200|Pan|0,5|1500,5|750,25";
        QTest::newRow("es_CL point") << kChile << "2.5" << "200|Pan|2,5|1500,5|3751,25";
        QTest::newRow("C point") << QLocale::c() << "0.5" << "200|Pan|0.5|1500.5|750.25";
        QTest::newRow("C comma") << QLocale::c() << "2,5" << "200|Pan|2.5|1500.5|3751.25";
    }
    void quantityInEitherLocale()
    {
        QFETCH(QLocale, locale);
        QFETCH(QString, typed);
        QFETCH(QString, line);
        QLocale::setDefault(locale);
        SalesDriver d;
        d.open();
        d.setManual(true);
        d.typeCode(QStringLiteral("200"));
        d.typeQuantity(typed);
        QVERIFY(d.shop.messages.boxes.isEmpty());
        QCOMPARE(d.saleList(), QStringList{line});
    }

    void scannedCodeInTheQuantityBox_data()
    {
        QTest::addColumn<bool>("yes");
        QTest::addColumn<QStringList>("sale");
        QTest::newRow("no: nothing booked") << false << QStringList{"100|Leche|1|990|990"};
        QTest::newRow("yes: booked as shown")
            << true << QStringList{"100|Leche|1|990|990", "200|Pan|78020000|1500,5|117069010000"};
    }
    // With "Cantidad Manual" still ticked, the next scan lands in the quantity box.
    void scannedCodeInTheQuantityBox()
    {
        QFETCH(bool, yes);
        QFETCH(QStringList, sale);
        SalesDriver d;
        Form1& f = d.open();
        d.shop.messages.answer(yes);
        oneLecheThenManual(d, QStringLiteral("200"), QStringLiteral("7802000000011"));
        QCOMPARE(d.shop.messages.boxes.size(), 1);
        QCOMPARE(d.shop.messages.boxes[0].kind, FakeMessages::Box::Ask);
        QCOMPARE(d.shop.messages.boxes[0].text, QStringLiteral("¿Agregar 78.020.000 unidades de Pan a la venta?"));
        QCOMPARE(d.shop.messages.boxes[0].title, QStringLiteral("Confirmación"));
        QCOMPARE(d.saleList(), sale);
        QCOMPARE(d.detailList().size(), sale.size());
        if (yes) {
            QVERIFY(inCodeEntry(f));
            return;
        }
        // No: the code stays and the cashier types the quantity meant for it.
        QVERIFY(inQuantityEntry(f));
        QVERIFY(f.Text8->text().isEmpty());
        QCOMPARE(QApplication::focusWidget(), f.Text8);
        QCOMPARE(f.Text9, QStringLiteral("990"));
        d.typeQuantity(QStringLiteral("2"));
        QCOMPARE(d.saleList(), (QStringList{"100|Leche|1|990|990", "200|Pan|2|1500,5|3001"}));
    }

    void saleListTitlesAndLongTotals()
    {
        SalesDriver d;
        d.shop.addProduct({QStringLiteral("300"), QStringLiteral("Televisor"), 5, 0, 98765432.5, 0});
        Form1& f = d.open();
        // The column titles stand in the list's own font.
        QCOMPARE(f.ListView1->header()->font().pointSize(), 18);
        QVERIFY(f.ListView1->header()->font().bold());
        d.typeCode(QStringLiteral("300"));
        d.typeCode(QStringLiteral("300"));
        QCOMPARE(f.Label8->text(), QStringLiteral("$ 197.530.865,"));
        // Shown whole: the figure fits its label.
        QVERIFY(QFontMetrics(f.Label8->font()).horizontalAdvance(f.Label8->text()) <=
                f.Label8->contentsRect().width());
        QVERIFY(f.Label8->font().pointSize() < 54);
        // And a short total gets its full size back.
        QTest::mouseClick(f.Command2, Qt::LeftButton);
        d.typeCode(QStringLiteral("100"));
        QCOMPARE(f.Label8->font().pointSize(), 54);
    }

    void totalCaptionUnderBothLocales_data()
    {
        QTest::addColumn<QLocale>("locale");
        QTest::addColumn<QString>("price");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("hidden");
        QTest::newRow("comma below one") << kChile << "0,5" << "$ 0,5" << "0,5";
        QTest::newRow("comma rounds below one") << kChile << "0,125" << "$ 0,13" << "0,125";
        QTest::newRow("comma whole") << kChile << "1500" << "$ 1.500," << "1500";
        QTest::newRow("comma fraction") << kChile << "1234,5678" << "$ 1.234,568" << "1234,5678";
        QTest::newRow("point below one") << QLocale::c() << "0.5" << "$ .5" << "0.5";
        QTest::newRow("point whole") << QLocale::c() << "1500" << "$ 1,500." << "1500";
        QTest::newRow("point fraction") << QLocale::c() << "1234.5678" << "$ 1,234.568" << "1234.5678";
    }
    void totalCaptionUnderBothLocales()
    {
        QFETCH(QLocale, locale);
        QFETCH(QString, price);
        QFETCH(QString, caption);
        QFETCH(QString, hidden);
        QLocale::setDefault(locale);
        SalesDriver d;
        d.shop.addProduct({QStringLiteral("300"), QStringLiteral("Caramelo"), 100, 0,
                           locale.toDouble(price), 0});
        Form1& f = d.open();
        d.typeCode(QStringLiteral("300"));
        QCOMPARE(f.Label8->text(), caption);
        QCOMPARE(f.Text9, hidden);
    }
};

QTEST_MAIN(TestSaleEntry)
#include "test_sale_entry.moc"
