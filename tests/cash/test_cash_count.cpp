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

namespace {

const QString kUser = QStringLiteral("cajera");

// Opening 10.000 + Pan in cash 1.500,5 + in 2.000 - out 500 = 13.000,5 expected; Leche by card.
struct CountedDay {
    SalesDriver d;
    Form1* f;
    CountedDay()
    {
        d.shop.addUser(kUser, QStringLiteral("1234"), 80);
        f = &d.open(kUser);
        recordOpeningCash(d.shop.db, d.shop.clock, d.openingStamp, 1000000, kUser);
        d.sell(QStringLiteral("200"));
        d.sell(QStringLiteral("100"), QStringLiteral("TARJETA"));
        recordMovement(d.shop.db, d.shop.clock, d.openingStamp,
                       {CashMovement::Kind::In, 200000, QStringLiteral("Cambio"), kUser, {}, {}});
        recordMovement(d.shop.db, d.shop.clock, d.openingStamp,
                       {CashMovement::Kind::Out, 50000, QStringLiteral("Pago a proveedor"), kUser, {}, {}});
        d.shop.clock.current = QDateTime(QDate(2026, 3, 9), QTime(21, 0, 0));
    }
    Form16* count()
    {
        f->arqueoCierre->trigger();
        return visibleWindow<Form16>();
    }
    // Nothing counted, the day open with its two lines.
    bool leftOpen()
    {
        return d.shop.count(QStringLiteral("ArqueosCaja")) == 0 && d.shop.count(QStringLiteral("Temporal")) == 2 &&
               f->day().openingStamp() == d.openingStamp;
    }
};

} // namespace

class TestCashCount : public QObject {
    Q_OBJECT

private slots:
    void init() { QLocale::setDefault(kChile); }

    void differenceAsTyped_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("shown");
        QTest::newRow("exact") << "13000,5" << "Sin diferencia";
        QTest::newRow("short by half a peso") << "13000" << "Faltante $ 0,50";
        QTest::newRow("over") << "14000" << "Sobrante $ 999,50";
        QTest::newRow("thousands mark") << "14.000" << "Sobrante $ 999,50";
    }
    void differenceAsTyped()
    {
        QFETCH(QString, typed);
        QFETCH(QString, shown);
        CountedDay day;
        Form16* count = day.count();
        QVERIFY(count);
        QCOMPARE(count->focusWidget(), count->Text1);
        QCOMPARE(count->Label6->text(), QStringLiteral("$ 13.000,50"));
        QCOMPARE(count->Label7->text(), QStringLiteral("$ 990"));
        QTest::keyClicks(count->Text1, typed);
        QCOMPARE(count->Label9->text(), shown);
        count->close();
    }

    // The pieces fill the counted box; Enter stores the count with them and closes the day.
    void piecesThenEnterCloseTheDay()
    {
        CountedDay day;
        Form16* count = day.count();
        QTest::keyClicks(count->Pieces[4].second, QStringLiteral("3")); // 1.000
        QTest::keyClicks(count->Pieces[7].second, QStringLiteral("1")); // 10.000
        QCOMPARE(count->Text1->text(), QStringLiteral("13000"));
        QTest::keyClick(count->Text1, Qt::Key_Return);
        flushClosedWindows();
        QVERIFY(!visibleWindow<Form16>());
        QCOMPARE(day.d.shop.rows(QStringLiteral("select Esperado, Contado, Diferencia, Detalle from ArqueosCaja")),
                 QVariantList{QStringLiteral("13000.5|13000.0|-0.5|1000x3 10000x1")});
        QCOMPARE(day.d.shop.count(QStringLiteral("Temporal")), 0);
        QCOMPARE(day.d.shop.count(QStringLiteral("Recaudacion")), 2);
        QCOMPARE(day.f->day().openingStamp(), QStringLiteral("09/03/2026 21:00:00"));
        QCOMPARE(day.d.shop.printer.documents.size(), 1);
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
        QVERIFY(!visibleWindow<Form14>() && day.f->isEnabled());
        QCOMPARE(day.d.shop.rows(QStringLiteral("select Monto, FechaCierre from FondoCaja order by rowid")),
                 (QVariantList{QStringLiteral("10000.0|2026-03-09 21:00:00"), QStringLiteral("13000.0|NULL")}));
    }

    void escLeavesTheDayOpen()
    {
        CountedDay day;
        Form16* count = day.count();
        QTest::keyClicks(count->Text1, QStringLiteral("13000"));
        QTest::keyClick(count->Text1, Qt::Key_Escape);
        flushClosedWindows();
        QVERIFY(!visibleWindow<Form16>() && day.f->isEnabled());
        QVERIFY(day.leftOpen());
    }

    void failedCloseLeavesTheDayOpen()
    {
        CountedDay day;
        Form16* count = day.count();
        QTest::keyClicks(count->Text1, QStringLiteral("13000"));
        day.d.shop.faults->failAtWrite(3);
        QTest::mouseClick(count->Command1, Qt::LeftButton);
        QVERIFY(day.d.shop.messages.lastText().startsWith(QStringLiteral("No se pudo cerrar la caja")));
        QCOMPARE(visibleWindow<Form16>(), count);
        QVERIFY(day.leftOpen());
        QVERIFY(day.d.shop.printer.documents.isEmpty());
        count->close();
    }

    void saleOnScreenKeepsTheCountShut()
    {
        CountedDay day;
        day.d.typeCode(QStringLiteral("100"));
        QVERIFY(!day.count());
        QVERIFY(day.d.shop.messages.lastText().contains(QStringLiteral("cerrar la caja")));
        QVERIFY(day.leftOpen());
    }

    // The X report shows and prints the day so far and stores nothing.
    void xReport()
    {
        CountedDay day;
        const QString before = day.d.shop.dump();
        day.f->informeX->trigger();
        Form17* x = visibleWindow<Form17>();
        QVERIFY(x && x->Text1->toPlainText().contains(QStringLiteral("13.000,50")));
        QTest::mouseClick(x->Command1, Qt::LeftButton);
        QCOMPARE(day.d.shop.printer.documents.size(), 1);
        QCOMPARE(day.d.shop.dump(), before);
        x->close();
    }
};

QTEST_MAIN(TestCashCount)
#include "test_cash_count.moc"
