// The count and close of the drawer, and the X report, through the real windows over a sales day
// with opening cash, a cash and a card sale, cash in and cash out.
#include "cash/count_window.h"
#include "cash/opening_cash_window.h"
#include "cash/report_window.h"
#include "support/sales_driver.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

using namespace tarvino;
using namespace tarvino::test;

class TestCashCount : public QObject {
    Q_OBJECT

private slots:
    void init() { QLocale::setDefault(kChile); }

    // One day walked to its close: the X report stores nothing; a sale on screen, Esc and a failed
    // close each leave the day open; then the pieces fill the counted box and Enter closes the day.
    void walkToTheClose()
    {
        // Opening 10.000 + Pan in cash 1.500,5 + in 2.000 - out 500 = 13.000,5 expected; Leche by card.
        SalesDriver d;
        TempShop& shop = d.shop;
        const QString user = QStringLiteral("cajera");
        shop.addUser(user, QStringLiteral("1234"), 80);
        Form1& f = d.open(user);
        recordOpeningCash(shop.db, shop.clock, d.openingStamp, 1000000, user);
        d.sell(QStringLiteral("200"));
        d.sell(QStringLiteral("100"), QStringLiteral("TARJETA"));
        recordMovement(shop.db, shop.clock, d.openingStamp, {CashMovement::Kind::In, 200000, "Cambio", user, {}, {}});
        recordMovement(shop.db, shop.clock, d.openingStamp, {CashMovement::Kind::Out, 50000, "Pago a proveedor", user, {}, {}});
        shop.clock.current = QDateTime(QDate(2026, 3, 9), QTime(21, 0, 0));
        const auto count = [&] {
            f.arqueoCierre->trigger();
            return visibleWindow<Form16>();
        };
        const auto leftOpen = [&] {
            return shop.count("ArqueosCaja") == 0 && shop.count("Temporal") == 2 && f.day().openingStamp() == d.openingStamp;
        };

        const QString before = shop.dump();
        f.informeX->trigger();
        Form17* x = visibleWindow<Form17>();
        QVERIFY(x && x->Text1->toPlainText().contains(QStringLiteral("13.000,50")));
        QTest::mouseClick(x->Command1, Qt::LeftButton);
        QCOMPARE(shop.printer.documents.size(), 1);
        QCOMPARE(shop.dump(), before);
        x->close();

        d.typeCode(QStringLiteral("100"));
        QVERIFY(!count());
        QVERIFY(shop.messages.lastText().contains(QStringLiteral("cerrar la caja")));
        QVERIFY(leftOpen());
        f.Command2_Click();

        Form16* w = count();
        QVERIFY(w);
        QCOMPARE(w->focusWidget(), w->Text1);
        QCOMPARE(w->Label6->text(), QStringLiteral("$ 13.000,50"));
        QCOMPARE(w->Label7->text(), QStringLiteral("$ 990"));
        const std::pair<const char*, const char*> differences[] = {{"13000,5", "Sin diferencia"}, {"14000", "Sobrante $ 999,50"},
                                                                   {"14.000", "Sobrante $ 999,50"}, {"13000", "Faltante $ 0,50"}};
        for (const auto& [typed, shown] : differences) {
            w->Text1->clear();
            QTest::keyClicks(w->Text1, QString::fromUtf8(typed));
            QCOMPARE(w->Label9->text(), QString::fromUtf8(shown));
        }
        QTest::keyClick(w->Text1, Qt::Key_Escape);
        flushClosedWindows();
        QVERIFY(!visibleWindow<Form16>() && f.isEnabled());
        QVERIFY(leftOpen());

        w = count();
        QTest::keyClicks(w->Pieces[4].second, QStringLiteral("3")); // 1.000
        QTest::keyClicks(w->Pieces[7].second, QStringLiteral("1")); // 10.000
        QCOMPARE(w->Text1->text(), QStringLiteral("13000"));
        shop.faults->failAtWrite(3);
        QTest::mouseClick(w->Command1, Qt::LeftButton);
        QVERIFY(shop.messages.lastText().startsWith(QStringLiteral("No se pudo cerrar la caja")));
        QCOMPARE(visibleWindow<Form16>(), w);
        QVERIFY(leftOpen());
        QCOMPARE(shop.printer.documents.size(), 1); // the X report's alone

        QTest::keyClick(w->Text1, Qt::Key_Return);
        flushClosedWindows();
        QVERIFY(!visibleWindow<Form16>());
        QCOMPARE(shop.rows(QStringLiteral("select Esperado, Contado, Diferencia, Detalle from ArqueosCaja")),
                 QVariantList{QStringLiteral("13000.5|13000.0|-0.5|1000x3 10000x1")});
        QCOMPARE(shop.count(QStringLiteral("Temporal")), 0);
        QCOMPARE(shop.count(QStringLiteral("Recaudacion")), 2);
        QCOMPARE(f.day().openingStamp(), QStringLiteral("09/03/2026 21:00:00"));
        QCOMPARE(shop.printer.documents.size(), 2);
        Form17* z = visibleWindow<Form17>();
        QVERIFY(z && z->Text1->toPlainText().contains(QStringLiteral("13.000,50")));
        QTest::keyClick(z->Text1, Qt::Key_Escape);
        flushClosedWindows();
        QVERIFY(!visibleWindow<Form17>());
        // The new day asks for its opening cash, offering what was counted.
        Form14* opening = visibleWindow<Form14>();
        QVERIFY(opening);
        QCOMPARE(opening->Text1->text(), QStringLiteral("13000"));
        QTest::keyClick(opening->Text1, Qt::Key_Return);
        flushClosedWindows();
        QVERIFY(!visibleWindow<Form14>() && f.isEnabled());
        QCOMPARE(shop.rows(QStringLiteral("select Monto, FechaCierre from FondoCaja order by rowid")),
                 (QVariantList{QStringLiteral("10000.0|2026-03-09 21:00:00"), QStringLiteral("13000.0|NULL")}));
    }
};

QTEST_MAIN(TestCashCount)
#include "test_cash_count.moc"
