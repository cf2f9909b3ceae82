// Payment: the receipt as the settling makes it, then whole sales through the real sales and
// payment windows, checked in the windows and in bd1.
#include "catalogue/products.h"
#include "sales/payment.h"
#include "sales/payment_window.h"
#include "data/recordset.h"
#include "reports/sales_detail.h"
#include "support/sales_driver.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>
#include <QWindow>

using namespace tarvino;
using namespace tarvino::test;

namespace {

// Leche x2 (1980) and Pan x1 (1500,5): 3480,5 in all.
void ringUp(SalesDriver& d)
{
    d.typeCode(QStringLiteral("100"));
    d.typeCode(QStringLiteral("100"));
    d.typeCode(QStringLiteral("200"));
}

bool backInTheSale(const Form1& f)
{
    return f.isEnabled() && f.Frame2->isEnabled() && !f.paymentWindow();
}
} // namespace

class TestPayment : public QObject {
    Q_OBJECT

private slots:
    void init() { QLocale::setDefault(kChile); }

    // The receipt carries the sale's lines in order, as the sale list shows them, and what the
    // payment window shows.
    void receiptOfTheSale()
    {
        const Product leche{QStringLiteral("100"), QStringLiteral("Leche"), QStringLiteral("10"),
                            QStringLiteral("700"), QStringLiteral("990"), QStringLiteral("5"),
                            QStringLiteral("Lacteos")};
        const Product pan{QStringLiteral("200"), QStringLiteral("Pan"), QStringLiteral("50"),
                          QStringLiteral("900"), QStringLiteral("1500,5"), QStringLiteral("2"),
                          QStringLiteral("Panaderia")};
        SaleLines lines;
        mergeDetailLine(lines, leche, leche.code, 1, QStringLiteral("1"));
        mergeDetailLine(lines, pan, pan.code, 1, QStringLiteral("1"));
        mergeDetailLine(lines, leche, leche.code, 1, QStringLiteral("1"));
        const QDateTime when(QDate(2026, 3, 9), QTime(10, 0, 0));
        const Receipt r = saleReceipt(lines, when, QStringLiteral("$ 3.480,5"), QStringLiteral("4000"),
                                      QStringLiteral("519,50"), QStringLiteral("0"));
        QCOMPARE(r.lines.size(), 2);
        const auto text = [](const ReceiptLine& l) {
            return QStringList{l.name, l.quantity, l.unitPrice, l.total}.join(QLatin1Char('|'));
        };
        QCOMPARE(text(r.lines[0]), QStringLiteral("Leche|2|990|1980"));
        QCOMPARE(text(r.lines[1]), QStringLiteral("Pan|1|1500,5|1500,5"));
        QCOMPARE(r.when, when);
        QCOMPARE(QStringList({r.total, r.tendered, r.change, r.flag}),
                 QStringList({"$ 3.480,5", "4000", "519,50", "0"}));
        QVERIFY(saleReceipt({}, when, QString(), QString(), QString(), QStringLiteral("1")).lines.isEmpty());
    }

    void openingTheWindow()
    {
        SalesDriver d;
        Form1& f = d.open();
        ringUp(d);
        Form5& p = d.pay();
        QCOMPARE(p.windowTitle(), QStringLiteral("TARVINO 1.0"));
        QCOMPARE(p.Label2->text(), QStringLiteral("$ 3.480,5"));
        QCOMPARE(p.Label1->text(), QStringLiteral("Total a pagar"));
        QCOMPARE(p.Label3->text(), QStringLiteral("Paga con       $"));
        QCOMPARE(p.Label4->text(), QStringLiteral("Su vuelto es   $"));
        QCOMPARE(p.Command1->text(), QStringLiteral("EFECTIVO"));
        QCOMPARE(p.Command2->text(), QStringLiteral("TARJETA"));
        QCOMPARE(p.Command3->text(), QStringLiteral("VOLVER"));
        QCOMPARE(p.size(), QSize(300, 290));
        QCOMPARE(p.Text1->geometry(), QRect(152, 48, 129, 25));
        QCOMPARE(p.Command2->geometry(), QRect(176, 176, 113, 33));
        QVERIFY(p.Text1->text().isEmpty());
        QVERIFY(p.Label5->text().isEmpty());
        QVERIFY(p.Command1->isEnabled() && p.Command2->isEnabled());
        QVERIFY(!f.isEnabled());
        QVERIFY(!f.Frame2->isEnabled());

        // Only digits, one decimal comma (the point groups thousands) and at most 8 characters.
        QTest::keyClicks(p.Text1, QStringLiteral("1.2a3,5x678901"));
        QCOMPARE(p.Text1->text(), QStringLiteral("123,5678"));
    }

    void cashWithChange()
    {
        SalesDriver d;
        Form1& f = d.open();
        ringUp(d);
        Form5& p = d.pay();
        SalesDriver::typeAmount(p, QStringLiteral("4000"));
        QCOMPARE(p.Label5->text(), QStringLiteral("519,50"));
        QVERIFY(p.Text1->isReadOnly());
        QVERIFY(!p.Command2->isEnabled());
        QCOMPARE(p.focusWidget(), p.Command1);
        // An accepted amount cannot be typed over.
        QTest::keyClicks(p.Text1, QStringLiteral("9"));
        QCOMPARE(p.Text1->text(), QStringLiteral("4000"));

        d.shop.clock.current = QDateTime(QDate(2026, 3, 9), QTime(10, 0, 0));
        QTest::mouseClick(p.Command1, Qt::LeftButton);
        flushClosedWindows();
        QVERIFY(backInTheSale(f));
        QCOMPARE(f.Text10, QStringLiteral("EFECTIVO"));
        QCOMPARE(f.Text11, QStringLiteral("4000"));
        QCOMPARE(f.Text12, QStringLiteral("519,50"));
        QVERIFY(d.saleList().isEmpty());
        QCOMPARE(f.Label8->text(), QStringLiteral("$ "));
        QCOMPARE(QApplication::focusWidget(), f.Text7);
        QVERIFY(d.shop.messages.boxes.isEmpty());

        QCOMPARE(d.shop.column("select Cantidad from Productos order by CodigoProducto"),
                 (QVariantList{8.0, 49.0}));
        QCOMPARE(d.shop.rows("select CodigoProducto, NombreProducto, Cantidad, "
                               "TotalCosto, TotalVenta, TipoPago, "
                               "NombreUsuario, Categoria, FechaInicio, "
                               "FechaVenta, ValorUnitario from Temporal order by rowid"),
                 (QVariantList{"100|Leche|2.0|1400.0|1980.0|EFECTIVO|admin|General|2026-03-09 "
                               "09:05:07|2026-03-09 10:00:00|990.0",
                               "200|Pan|1.0|900.0|1500.5|EFECTIVO|admin|General|2026-03-09 "
                               "09:05:07|2026-03-09 10:00:00|1500.5"}));
        QCOMPARE(d.shop.rows("select FechaInicio, efectivo, tarjeta, "
                               "CajaInicial, FechaCierre from TipoPago"),
                 (QVariantList{"2026-03-09 09:05:07|3480.5|0.0|0|2026-03-09 10:00:00"}));
    }

    // A product sold by weight down to nothing: the stock is 0 exactly, not a binary remainder,
    // and the editor and the stock report show it as "0".
    void weighedStockSoldToNothing()
    {
        SalesDriver d;
        d.shop.addProduct({QStringLiteral("300"), QStringLiteral("Queso"), 0.3, 1000, 2000, 0});
        d.open();
        d.setManual(true);
        for (const QString& kilos : {QStringLiteral("0,1"), QStringLiteral("0,2")}) {
            d.typeCode(QStringLiteral("300"));
            d.typeQuantity(kilos);
            d.settleInCash();
        }
        QCOMPARE(d.shop.column("select count(*) from Temporal"), (QVariantList{2}));
        const QVariant stock = d.shop.scalar("select Cantidad from Productos where CodigoProducto = '300'");
        QVERIFY2(stock.toDouble() == 0.0, qPrintable(QString::number(stock.toDouble(), 'g', 17)));
        QCOMPARE(findProductByCode(d.shop.db, QStringLiteral("300"))->stock, QStringLiteral("0"));
    }

    void amountBelowTheTotal()
    {
        SalesDriver d;
        Form1& f = d.open();
        ringUp(d);
        Form5& p = d.pay();
        SalesDriver::typeAmount(p, QStringLiteral("3480"));
        QCOMPARE(d.shop.messages.texts(),
                 QStringList{"El valor ingresado debe ser mayor o igual al total a pagar"});
        QVERIFY(p.Text1->text().isEmpty());
        QVERIFY(!p.Text1->isReadOnly());
        QCOMPARE(p.focusWidget(), p.Text1);
        QVERIFY(p.isVisible());
        QVERIFY(!f.isEnabled());
        QCOMPARE(d.shop.count("Temporal"), 0);
    }

    void cashByEnterOnAnEmptyAmount()
    {
        SalesDriver d;
        Form1& f = d.open();
        ringUp(d);
        Form5& p = d.pay();
        QTest::keyClick(p.Text1, Qt::Key_Return);
        flushClosedWindows();
        QVERIFY(backInTheSale(f));
        QCOMPARE(f.Text10, QStringLiteral("EFECTIVO"));
        QVERIFY(f.Text11.isEmpty());
        QVERIFY(f.Text12.isEmpty());
        QCOMPARE(d.shop.rows("select efectivo, tarjeta from TipoPago"),
                 QVariantList{"3480.5|0.0"});
        QCOMPARE(d.shop.count("Temporal"), 2);
    }

    void cardThenCashInTheSameDay()
    {
        SalesDriver d;
        Form1& f = d.open();
        ringUp(d);
        QTest::mouseClick(d.pay().Command2, Qt::LeftButton);
        flushClosedWindows();
        QVERIFY(backInTheSale(f));
        QCOMPARE(f.Text10, QStringLiteral("TARJETA"));
        QCOMPARE(d.shop.rows("select efectivo, tarjeta, FechaCierre from TipoPago"),
                 QVariantList{"0.0|3480.5|2026-03-09 09:05:07"});
        QCOMPARE(d.shop.column("select distinct TipoPago from Temporal"), QVariantList{"TARJETA"});

        d.shop.clock.advance(65);
        d.typeCode(QStringLiteral("200"));
        SalesDriver::typeAmount(d.pay(), QStringLiteral("2000"));
        QTest::mouseClick(f.paymentWindow()->Command1, Qt::LeftButton);
        flushClosedWindows();
        // The second sale adds to the same day row and moves its closing time.
        QCOMPARE(d.shop.rows("select efectivo, tarjeta, FechaCierre from TipoPago"),
                 QVariantList{"1500.5|3480.5|2026-03-09 09:06:12"});
        QCOMPARE(d.shop.count("Temporal"), 3);
        QCOMPARE(d.shop.column("select Cantidad from Productos order by CodigoProducto"),
                 (QVariantList{8.0, 48.0}));
    }

    void goingBackLeavesTheSaleUntouched_data()
    {
        QTest::addColumn<int>("way");
        QTest::newRow("VOLVER") << 0;
        QTest::newRow("Esc in the amount") << 1;
        QTest::newRow("window frame") << 2;
        QTest::newRow("VOLVER after an accepted amount") << 3;
    }
    void goingBackLeavesTheSaleUntouched()
    {
        QFETCH(int, way);
        SalesDriver d;
        Form1& f = d.open();
        ringUp(d);
        const QStringList before = d.saleList();
        const QString dump = d.shop.dump();
        Form5& p = d.pay();
        if (way == 0) {
            QTest::mouseClick(p.Command3, Qt::LeftButton);
        } else if (way == 1) {
            QTest::keyClick(p.Text1, Qt::Key_Escape);
        } else if (way == 2) {
            p.close();
        } else {
            SalesDriver::typeAmount(p, QStringLiteral("5000"));
            QTest::mouseClick(p.Command3, Qt::LeftButton);
        }
        flushClosedWindows();
        QVERIFY(backInTheSale(f));
        QCOMPARE(d.saleList(), before);
        QCOMPARE(f.Label8->text(), QStringLiteral("$ 3.480,5"));
        QCOMPARE(d.shop.dump(), dump);
        QVERIFY(d.shop.printer.documents.isEmpty());

        // Paying again starts afresh.
        Form5& again = d.pay();
        QVERIFY(again.Text1->text().isEmpty());
        QVERIFY(!again.Text1->isReadOnly());
        QVERIFY(again.Command2->isEnabled());
    }

    // The cash part of a split: above zero, below the total; the card part is the rest, to the cent.
    void splitCheck_data()
    {
        QTest::addColumn<QString>("cash");
        QTest::addColumn<QString>("card");    // shown while typed
        QTest::addColumn<QString>("refusal"); // its start; empty when accepted
        QTest::newRow("part") << "1000" << "$ 2.480,50" << "";
        QTest::newRow("to the cent") << "3480,49" << "$ 0,01" << "";
        QTest::newRow("zero") << "0" << "$ 3.480,50" << "El monto en efectivo debe ser mayor que cero";
        QTest::newRow("the total") << "3480,5" << "" << "El monto en efectivo debe ser menor que el total a pagar ($ 3.480,50)";
    }
    void splitCheck()
    {
        QFETCH(QString, cash);
        QFETCH(QString, card);
        QFETCH(QString, refusal);
        const SplitCheck split = checkSplit(QStringLiteral("3480,5"), cash, kChile);
        QCOMPARE(split.cardText, card);
        QCOMPARE(split.accepted, refusal.isEmpty());
        QVERIFY2(refusal.isEmpty() ? split.refusal.isEmpty() : split.refusal.startsWith(refusal), qPrintable(split.refusal));
    }

    // F3, a refused cash part, then one accepted: each part lands where it belongs, receipt too.
    void splitSale()
    {
        SalesDriver d;
        d.shop.addUser(QStringLiteral("caja"), QStringLiteral("uno"), 80);
        d.open(QStringLiteral("caja"));
        ringUp(d);
        Form5& p = d.pay();
        QTest::keyClick(p.Text1, Qt::Key_F3);
        QCOMPARE(p.focusWidget(), p.Text3);
        QTest::keyClicks(p.Text3, QStringLiteral("3480,5\r"));
        QCOMPARE(d.shop.messages.boxes.size(), 1);
        QTest::keyClicks(p.Text3, QStringLiteral("1000"));
        QCOMPARE(p.Label8->text(), QStringLiteral("$ 2.480,50"));
        QTest::keyClick(p.Text3, Qt::Key_Return);
        QCOMPARE(d.shop.column("select distinct TipoPago from Temporal"), QVariantList{"MIXTO"});
        QCOMPARE(d.shop.rows("select efectivo, tarjeta from TipoPago"), QVariantList{"1000.0|2480.5"});
        QCOMPARE(d.shop.rows("select TipoPago, Total, Efectivo, Tarjeta from PagosVenta"), QVariantList{"MIXTO|3480.5|1000.0|2480.5"});
        QCOMPARE(readDaySales(d.shop.db).marker(0), QStringLiteral("M"));
        const QString receipt = FakePrinter::lines(d.shop.printer.documents.value(0)).join(QLatin1Char('\n'));
        for (const char* part : {"[2500]Efectivo    $ 1.000\n", "[2500]Tarjeta     $ 2.480,50\n", "Forma de pago : MIXTO "})
            QVERIFY2(receipt.contains(QString::fromUtf8(part)), qPrintable(receipt));
    }

    void settledSaleIsOnDiskForAnyReader()
    {
        SalesDriver d;
        d.open();
        ringUp(d);
        QTest::mouseClick(d.pay().Command2, Qt::LeftButton);
        flushClosedWindows();
        // Another connection: the file opened again, or another till reading for the whole shop.
        Database other;
        std::optional<ShopWideReads> wide;
        if (onServer()) {
            other.openServer(d.shop.connection(), QStringLiteral("Otra caja"));
            wide.emplace(other);
        } else {
            other.open(d.shop.dbPath());
        }
        RecordSet rs;
        rs.open(other, QStringLiteral("select * from TipoPago"));
        QVERIFY(!rs.eof());
        QCOMPARE(rs.number(QStringLiteral("tarjeta")), 3480.5);
        if (onServer())
            return;
        QCOMPARE(d.shop.scalar("PRAGMA journal_mode").toString(), QStringLiteral("wal"));
        QCOMPARE(d.shop.scalar("PRAGMA synchronous").toInt(), 2);
    }

    void amountsInEitherLocale_data()
    {
        QTest::addColumn<QLocale>("locale");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("kept");
        QTest::addColumn<QString>("change");
        // 3480,5 to pay; only the locale's mark is decimal, the other one is left out as a grouping.
        QTest::newRow("es_CL comma") << kChile << "4000,75" << "4000,75" << "520,25";
        QTest::newRow("es_CL point") << kChile << "10.000" << "10000" << "6.519,50";
        QTest::newRow("C point") << QLocale::c() << "4000.75" << "4000.75" << "520.25";
        QTest::newRow("C comma") << QLocale::c() << "10,000.5" << "10000.5" << "6,520.00";
    }
    void amountsInEitherLocale()
    {
        QFETCH(QLocale, locale);
        QFETCH(QString, typed);
        QFETCH(QString, kept);
        QFETCH(QString, change);
        QLocale::setDefault(locale);
        SalesDriver d;
        Form1& f = d.open();
        ringUp(d);
        Form5& p = d.pay();
        QTest::keyClicks(p.Text1, typed);
        QCOMPARE(p.Text1->text(), kept);
        QTest::keyClick(p.Text1, Qt::Key_Return);
        QVERIFY(d.shop.messages.boxes.isEmpty());
        QCOMPARE(p.Label5->text(), change);
        QTest::keyClick(p.Command1, Qt::Key_Return);
        flushClosedWindows();
        QVERIFY(backInTheSale(f));
        QCOMPARE(f.Text11, kept);
        QCOMPARE(d.shop.scalar("select efectivo from TipoPago").toDouble(), 3480.5);
    }

    // A click on the greyed sales window may make it the active window: the payment window takes
    // the keyboard back at once, and the rest of the amount lands in its box.
    void paymentKeepsTheKeyboard()
    {
        SalesDriver d;
        Form1& f = d.open();
        ringUp(d);
        Form5& p = d.pay();
        QTRY_COMPARE(QApplication::activeWindow(), &p);
        QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("40"));
        f.windowHandle()->requestActivate(); // as the window manager does on the click
        QCoreApplication::processEvents();
        QTRY_COMPARE(QApplication::activeWindow(), &p);
        QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("00"));
        QCOMPARE(p.Text1->text(), QStringLiteral("4000"));
    }

    void amountTypedButNotConfirmed_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("card");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("kind");     // empty: nothing settled
        QTest::addColumn<QString>("tendered"); // as the receipt shows it
        QTest::addColumn<QString>("change");
        QTest::newRow("cash, enough") << "4000" << false << "" << "EFECTIVO" << "4000" << "519,50";
        QTest::newRow("cash, exact") << "3480,5" << false << "" << "EFECTIVO" << "3480,5" << "0";
        QTest::newRow("cash, too little") << "3000" << false
                                          << "El valor ingresado debe ser mayor o igual al total a pagar"
                                          << "" << "" << "";
        QTest::newRow("cash, no number") << "," << false
                                         << "«,» no es un monto válido. Escriba el monto con a lo sumo un "
                                            "separador decimal, por ejemplo 2000 o 1500,50."
                                         << "" << "" << "";
        QTest::newRow("card drops it") << "3000" << true << "" << "TARJETA" << "" << "";
    }
    void amountTypedButNotConfirmed()
    {
        QFETCH(QString, typed);
        QFETCH(bool, card);
        QFETCH(QString, message);
        QFETCH(QString, kind);
        QFETCH(QString, tendered);
        QFETCH(QString, change);
        SalesDriver d;
        d.shop.addUser(QStringLiteral("caja"), QStringLiteral("uno"), 80);
        Form1& f = d.open(QStringLiteral("caja"));
        ringUp(d);
        Form5& p = d.pay();
        QTest::keyClicks(p.Text1, typed);
        QTest::mouseClick(card ? p.Command2 : p.Command1, Qt::LeftButton);
        flushClosedWindows();
        if (kind.isEmpty()) {
            QCOMPARE(d.shop.messages.boxes.size(), 1);
            QVERIFY(d.shop.messages.lastText().startsWith(message));
            QVERIFY(f.paymentWindow());
            QVERIFY(p.Text1->text().isEmpty());
            QCOMPARE(d.shop.count("Temporal"), 0);
            QVERIFY(d.shop.printer.documents.isEmpty());
            return;
        }
        QVERIFY(d.shop.messages.boxes.isEmpty());
        QVERIFY(backInTheSale(f));
        QCOMPARE(d.shop.column("select distinct TipoPago from Temporal"), QVariantList{kind});
        QCOMPARE(d.shop.printer.documents.size(), 1);
        const QStringList receipt = FakePrinter::lines(d.shop.printer.documents[0]);
        QVERIFY(receipt.contains(QStringLiteral("[2500]Efectivo    ") + tendered));
        QVERIFY(receipt.contains(QStringLiteral("[2500]Vuelto      $ ") + change));
    }

    void wholeSaleWithTheKeyboardOnly()
    {
        SalesDriver d;
        Form1& f = d.open();
        const auto press = [](int key) { QTest::keyClick(QApplication::focusWidget(), Qt::Key(key)); };
        QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("100"));
        press(Qt::Key_Return);
        QCOMPARE(d.saleList().size(), 1);
        // Tab: the search button, then PAGAR (the quantity box is disabled).
        press(Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), f.Command3);
        press(Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), f.Command1);
        press(Qt::Key_Space);
        Form5* p = f.paymentWindow();
        QVERIFY(p);
        // The payment window takes the keyboard as soon as the window system activates it.
        QTRY_COMPARE(QApplication::focusWidget(), p->Text1);
        QTest::keyClicks(p->Text1, QStringLiteral("1000"));
        press(Qt::Key_Return);
        QCOMPARE(QApplication::focusWidget(), p->Command1);
        press(Qt::Key_Return);
        flushClosedWindows();
        QVERIFY(backInTheSale(f));
        QCOMPARE(d.shop.scalar("select efectivo from TipoPago").toDouble(), 990.0);

        // Tab reaches CANCELAR and "Cantidad Manual" too, and Enter presses them.
        d.typeCode(QStringLiteral("200"));
        QTRY_VERIFY(f.isActiveWindow());
        f.Command1->setFocus();
        press(Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), f.Command2);
        press(Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), f.Check1);
        press(Qt::Key_Return);
        QVERIFY(f.Check1->isChecked());
        f.Command2->setFocus();
        press(Qt::Key_Return);
        QVERIFY(d.saleList().isEmpty());
    }

    void printerFailureStillRecordsTheSale_data()
    {
        QTest::addColumn<QString>("cause");
        QTest::newRow("a cause") << QStringLiteral("no hay una impresora predeterminada");
        QTest::newRow("a cause that is a sentence") << QStringLiteral("no hay una impresora predeterminada.");
    }
    void printerFailureStillRecordsTheSale()
    {
        QFETCH(QString, cause);
        SalesDriver d;
        d.shop.addUser(QStringLiteral("caja"), QStringLiteral("uno"), 58);
        Form1& f = d.open(QStringLiteral("caja"));
        ringUp(d);
        d.shop.printer.failNext = cause;
        QTest::mouseClick(d.pay().Command1, Qt::LeftButton);
        flushClosedWindows();
        QVERIFY(backInTheSale(f));
        QCOMPARE(d.shop.messages.texts(),
                 QStringList{"No se pudo imprimir la boleta: no hay una impresora predeterminada."
                             "\n\nLa venta quedó registrada."});
        QCOMPARE(d.shop.count("Temporal"), 2);
        QVERIFY(d.saleList().isEmpty());
    }
};

QTEST_MAIN(TestPayment)
#include "test_payment.moc"
