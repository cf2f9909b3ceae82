// Receipts of settled sales, line by line in both layouts, as the printer receives them.
#include "sales/payment_window.h"
#include "sales/receipt.h"
#include "support/sales_driver.h"
#include "users/users.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTest>

using namespace tarvino;
using namespace tarvino::test;

namespace {
const QString kWhen = QStringLiteral("09/03/2026 10:00:00");

// Three lines: Leche x2, Pan x1, Queso x0,5; settled in cash with the given amount, or by card.
FakePrinter::Document sell(SalesDriver& d, double setting, const QString& amount, bool card)
{
    d.shop.addUser(QStringLiteral("caja"), QStringLiteral("uno"), setting);
    d.shop.addProduct({QStringLiteral("300"), QStringLiteral("Queso"), 5, 4000, 6000, 0});
    d.open(QStringLiteral("caja"));
    d.shop.clock.current = QDateTime(QDate(2026, 3, 9), QTime(10, 0, 0));
    d.typeCode(QStringLiteral("100"));
    d.typeCode(QStringLiteral("200"));
    d.typeCode(QStringLiteral("100"));
    d.setManual(true);
    d.typeCode(QStringLiteral("300"));
    d.typeQuantity(QStringLiteral("0,5"));
    Form5& p = d.pay();
    if (card) {
        QTest::mouseClick(p.Command2, Qt::LeftButton);
    } else {
        SalesDriver::typeAmount(p, amount);
        if (!amount.isEmpty())
            QTest::mouseClick(p.Command1, Qt::LeftButton);
    }
    flushClosedWindows();
    return d.shop.printer.documents.value(0);
}
} // namespace

class TestReceipt : public QObject {
    Q_OBJECT

private slots:
    void init() { QLocale::setDefault(kChile); }

    void eightyMillimetreCash()
    {
        SalesDriver d;
        const auto doc = sell(d, 80, QStringLiteral("10000"), false);
        QCOMPARE(d.shop.printer.documents.size(), 1);
        const QStringList expected = {
            QString(20, ' ') + kWhen,
            QString(62, '-'),
            " ",
            "Descripcion" + QString(28, ' ') + "Cantidad" + QString(8, ' ') + "Total",
            " ",
            "[0]Leche[2500]2[3200]1980 ",
            "[0]Pan[2500]1[3200]1500,5 ",
            "[0]Queso[2500]0,5[3200]3000 ",
            QString(60, ' ') + QString(11, '_'),
            "[2500]Total       $ 6.480,5",
            "[2500]Efectivo    10000",
            "[2500]Vuelto      $ 3.519,50",
            QString(42, '='),
            " ",
            QString(20, ' ') + "Forma de pago : EFECTIVO ",
            " ", " ", " ", " "};
        QCOMPARE(FakePrinter::lines(doc), expected);
        QCOMPARE(d.shop.printer.rollWidths, QList<double>{80});
        // The 80 mm layout keeps the printer's own font.
        for (const auto& print : doc)
            QCOMPARE(print.size, 0.0);
        // Printed before the sale was cleared, recorded after.
        QCOMPARE(d.shop.count("Temporal"), 3);
    }

    void fiftyEightMillimetreCash()
    {
        SalesDriver d;
        const auto doc = sell(d, 58, QStringLiteral("7000"), false);
        const QStringList expected = {
            "   " + kWhen,
            "   " + QString(26, '-'),
            " ",
            "Detalle:",
            " ",
            "[0]Leche ",
            "[0]2 x [500]990 = [1500]1980 ",
            "[0]Pan ",
            "[0]1 x [500]1500,5 = [1500]1500,5 ",
            "[0]Queso ",
            "[0]0,5 x [500]6000 = [1500]3000 ",
            QString(16, ' ') + QString(11, '_'),
            "[500]Total       $ 6.480,5",
            "[500]Efectivo    7000",
            "[500]Vuelto      $ 519,50",
            QString(20, '='),
            " ",
            "  Forma de pago : EFECTIVO ",
            " ", " ", " ", " "};
        QCOMPARE(FakePrinter::lines(doc), expected);
        QCOMPARE(d.shop.printer.rollWidths, QList<double>{58});
        // Size 10 throughout except the bold size-11 total line.
        for (const auto& print : doc) {
            const bool totalLine = print.text.startsWith(QStringLiteral("Total       "));
            QCOMPARE(print.size, totalLine ? 11.0 : 10.0);
            QCOMPARE(print.bold, totalLine);
        }
    }

    void cardSale_data()
    {
        QTest::addColumn<double>("setting");
        QTest::addColumn<QStringList>("tail");
        QTest::newRow("80") << 80.0
                            << QStringList{"[2500]Efectivo    ", "[2500]Vuelto      $ ",
                                           QString(42, '='), " ",
                                           QString(20, ' ') + "Forma de pago : TARJETA "};
        QTest::newRow("58") << 58.0
                            << QStringList{"[500]Efectivo    ", "[500]Vuelto      $ ", QString(20, '='),
                                           " ", "  Forma de pago : TARJETA "};
    }
    void cardSale()
    {
        QFETCH(double, setting);
        QFETCH(QStringList, tail);
        SalesDriver d;
        const QStringList lines = FakePrinter::lines(sell(d, setting, QString(), true));
        QCOMPARE(lines.mid(lines.size() - 9, 5), tail);
        QCOMPARE(d.shop.scalar("select tarjeta from TipoPago").toDouble(), 6480.5);
    }

    void cashByEnterPrintsEmptyAmounts()
    {
        SalesDriver d;
        const QStringList lines = FakePrinter::lines(sell(d, 80, QString(), false));
        QVERIFY(lines.contains(QStringLiteral("[2500]Efectivo    ")));
        QVERIFY(lines.contains(QStringLiteral("[2500]Vuelto      $ ")));
        QVERIFY(lines.contains(QString(20, ' ') + QStringLiteral("Forma de pago : EFECTIVO ")));
    }

    void noReceiptUnlessTheSettingAsks_data()
    {
        QTest::addColumn<double>("setting");
        QTest::newRow("no imprimir") << 0.0;
        QTest::newRow("other value") << 57.0;
    }
    void noReceiptUnlessTheSettingAsks()
    {
        QFETCH(double, setting);
        SalesDriver d;
        sell(d, setting, QStringLiteral("10000"), false);
        QVERIFY(d.shop.printer.documents.isEmpty());
        QVERIFY(d.shop.messages.boxes.isEmpty());
        QCOMPARE(d.shop.count("Temporal"), 3);
    }

    void settingOfTheFirstMatchingUser()
    {
        TempShop shop;
        shop.addUser(QStringLiteral("ana"), QStringLiteral("x"), 58);
        shop.addUser(QStringLiteral("ana"), QStringLiteral("y"), 80);
        QCOMPARE(receiptSetting(shop.db, QStringLiteral("ana")), 58.0);
        QCOMPARE(receiptSetting(shop.db, QStringLiteral("Ana")), 0.0);
        Receipt receipt;
        QCOMPARE(imprimirTicket(shop.db, shop.printer, QStringLiteral("nadie"), receipt), 0);
        QVERIFY(shop.printer.documents.isEmpty());
    }
};

QTEST_MAIN(TestReceipt)
#include "test_receipt.moc"
