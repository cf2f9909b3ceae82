// Faults in the middle of recording a sale or closing the day: nothing half-written, nothing lost.
#include "sales/payment_window.h"
#include "sales/sales_day.h"
#include "support/sales_driver.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTest>

using namespace tarvino;
using namespace tarvino::test;

namespace {
void settleInCash(SalesDriver& d)
{
    Form5& payment = d.pay();
    SalesDriver::typeAmount(payment, QStringLiteral("5000"));
    QTest::mouseClick(payment.Command1, Qt::LeftButton);
    flushClosedWindows();
}
} // namespace

class TestFaults : public QObject {
    Q_OBJECT

private slots:
    void init() { QLocale::setDefault(kChile); }

    void everyWriteOfARecordingFailingInTurn()
    {
        SalesDriver d;
        Form1& f = d.open();
        // A day row already exists, so that the sale updates it rather than creating it.
        QVERIFY(d.sell(QStringLiteral("200"), QStringLiteral("TARJETA")));

        d.typeCode(QStringLiteral("100"));
        d.typeCode(QStringLiteral("200"));
        d.typeCode(QStringLiteral("100"));
        const QStringList sale = d.saleList();
        const QString before = d.shop.dump();

        // Two stock updates, two lines, the day row and the commit: six writes.
        int failures = 0;
        for (int n = 1;; ++n) {
            d.shop.messages.clear();
            d.shop.db.failAtWrite(n);
            settleInCash(d);
            if (d.shop.messages.boxes.isEmpty())
                break; // the n-th write was never reached: the sale went through
            ++failures;
            QVERIFY2(d.shop.messages.lastText().startsWith(QStringLiteral("No se pudo registrar la venta")),
                     qPrintable(d.shop.messages.lastText()));
            QCOMPARE(d.shop.messages.boxes.last().icon, Messages::Icon::Critical);
            QCOMPARE(d.shop.dump(), before);
            QCOMPARE(d.saleList(), sale);
            QVERIFY(f.isEnabled() && f.Frame2->isEnabled());
            QVERIFY(n < 20);
        }
        QCOMPARE(failures, 6);
        d.shop.db.failAtWrite(0);
        QVERIFY(d.saleList().isEmpty());
        QCOMPARE(d.shop.count("Temporal"), 3);
        QCOMPARE(d.shop.column("select efectivo || '|' || tarjeta from TipoPago"),
                 QVariantList{"3480.5|1500.5"});
        QCOMPARE(d.shop.column("select Cantidad from Productos order by CodigoProducto"),
                 (QVariantList{8.0, 48.0}));
    }

    void firstSaleOfTheDayFailingCreatesNoDayRow()
    {
        SalesDriver d;
        d.open();
        d.typeCode(QStringLiteral("100"));
        d.shop.db.failAtWrite(3); // the new day row
        settleInCash(d);
        d.shop.db.failAtWrite(0);
        QCOMPARE(d.shop.count("TipoPago"), 0);
        QCOMPARE(d.shop.count("Temporal"), 0);
        QCOMPARE(d.shop.scalar("select Cantidad from Productos where CodigoProducto = '100'").toDouble(), 10.0);
        settleInCash(d);
        QCOMPARE(d.shop.count("TipoPago"), 1);
        QCOMPARE(d.shop.count("Temporal"), 1);
    }

    void everyWriteOfAClosingFailingInTurn()
    {
        SalesDriver d;
        Form1& f = d.open();
        for (const char* code : {"100", "200", "100"}) {
            QVERIFY(d.sell(QString::fromLatin1(code)));
        }
        QCOMPARE(d.shop.count("Temporal"), 3);
        const QString before = d.shop.dump();
        d.shop.clock.current = QDateTime(QDate(2026, 3, 9), QTime(22, 0, 0));

        // The day row, the copy of the lines, their deletion and the commit: four writes.
        int failures = 0;
        for (int n = 1;; ++n) {
            d.shop.messages.clear();
            d.shop.db.failAtWrite(n);
            if (f.cierreDelDia())
                break;
            ++failures;
            QVERIFY(d.shop.messages.lastText().startsWith(QStringLiteral("No se pudo cerrar el día")));
            // Still open with all its lines, nothing copied.
            QCOMPARE(d.shop.dump(), before);
            QVERIFY(n < 20);
        }
        QCOMPARE(failures, 4);
        d.shop.db.failAtWrite(0);
        QVERIFY(d.shop.messages.boxes.isEmpty());
        QCOMPARE(d.shop.count("Temporal"), 0);
        QCOMPARE(d.shop.count("Recaudacion"), 3);
        QCOMPARE(d.shop.scalar("select FechaCierre from TipoPago").toString(),
                 QStringLiteral("2026-03-09 22:00:00"));
        // Closing again copies nothing twice.
        QVERIFY(f.cierreDelDia());
        QCOMPARE(d.shop.count("Recaudacion"), 3);
    }

    void failedClosingAtExitIsOfferedAgainAtTheNextStart()
    {
        SalesDriver d;
        Form1& f = d.open();
        QVERIFY(d.sell(QStringLiteral("100")));
        d.shop.db.failAtWrite(2);
        d.shop.messages.answer(true);
        f.close();
        d.shop.db.failAtWrite(0);
        QCOMPARE(d.shop.count("Temporal"), 1);
        QCOMPARE(d.shop.count("Recaudacion"), 0);
        QVERIFY(firstTemporalStamp(d.shop.db));
    }
};

QTEST_MAIN(TestFaults)
#include "test_faults.moc"
