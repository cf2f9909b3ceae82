// The day's takings and the sales detail windows opened from the real sales window's menu, after
// real sales: what they show, choosing a sale, and the sales window given back when they close.
#include "reports/day_takings_window.h"
#include "reports/sales_detail_window.h"
#include "support/sales_driver.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QTest>
#include <QTreeView>

using namespace tarvino;
using namespace tarvino::test;

namespace {
void clickRow(QTreeView* list, int row)
{
    const QRect rect = list->visualRect(list->model()->index(row, 0));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, rect.center());
}
} // namespace

class TestOpenDayWindows : public QObject {
    Q_OBJECT

private slots:
    void init() { QLocale::setDefault(kChile); }
    void cleanup() { flushClosedWindows(); }

    void dayTakings_data()
    {
        QTest::addColumn<QStringList>("sales"); // "code kind"
        QTest::addColumn<bool>("resumed");
        QTest::addColumn<QStringList>("captions"); // Label1, Label4, Label5
        QTest::newRow("no sale yet") << QStringList{} << false
                                     << QStringList{"$ 0,", "Total Efectivo = $ 0", "Total Tarjeta = $ 0"};
        QTest::newRow("cash and card") << QStringList{"100 EFECTIVO", "200 TARJETA", "100 EFECTIVO"} << false
                                       << QStringList{"$ 3.480,5", "Total Efectivo = $ 1.980,", "Total Tarjeta = $ 1.500,5"};
        QTest::newRow("resumed day, one more sale") << QStringList{"200 EFECTIVO"} << true
                                                    << QStringList{"$ 4.470,5", "Total Efectivo = $ 3.480,5", "Total Tarjeta = $ 990,"};
    }

    void dayTakings()
    {
        QFETCH(QStringList, sales);
        QFETCH(bool, resumed);
        QFETCH(QStringList, captions);
        SalesDriver d;
        if (resumed) {
            d.shop.db.execute(QStringLiteral(
                "insert into Temporal values ('100','Leche',2,1400,1980,'EFECTIVO','ana','Lacteos',"
                "'2026-03-08 08:00:00','2026-03-08 08:10:00',990);"
                "insert into Temporal values ('100','Leche',1,700,990,'TARJETA','ana','Lacteos',"
                "'2026-03-08 08:00:00','2026-03-08 08:20:00',990);"
                "insert into TipoPago values ('2026-03-08 08:00:00', 1980, 990, 0, '2026-03-08 08:20:00');"));
            d.shop.messages.answer(true);
        }
        Form1& sales1 = d.open();
        for (const QString& sale : sales) {
            QVERIFY(d.sell(sale.section(QLatin1Char(' '), 0, 0), sale.section(QLatin1Char(' '), 1)));
            d.shop.clock.advance(60);
        }
        d.shop.clock.current = QDateTime(QDate(2026, 3, 10), QTime(0, 15, 0));
        sales1.recaudaciondeldia->trigger();
        Form6* form = visibleWindow<Form6>();
        QVERIFY(form);
        QVERIFY(sales1.isHidden());
        QCOMPARE(form->windowTitle(), QStringLiteral("TARVINO 1.0"));
        QCOMPARE(form->Label2->text(), QStringLiteral("RECAUDACIÓN PARCIAL CON FECHA"));
        QCOMPARE(form->Label3->text(), QStringLiteral("10/03/2026"));
        QCOMPARE((QStringList{form->Label1->text(), form->Label4->text(), form->Label5->text()}), captions);
        QTest::keyClick(form, Qt::Key_Escape);
        QVERIFY(sales1.isVisible());
        QVERIFY(d.shop.messages.boxes.size() == (resumed ? 1 : 0));
    }

    void salesDetailLatestFirstAndChosenSale()
    {
        SalesDriver d;
        Form1& sales1 = d.open();
        d.shop.clock.current = QDateTime(QDate(2026, 3, 9), QTime(23, 59, 59));
        d.typeCode(QStringLiteral("100"));
        QVERIFY(d.sell(QStringLiteral("200"), QStringLiteral("EFECTIVO")));
        d.shop.clock.advance(1); // midnight
        QVERIFY(d.sell(QStringLiteral("200"), QStringLiteral("TARJETA")));
        d.shop.clock.advance(3600);
        QVERIFY(d.sell(QStringLiteral("100"), QStringLiteral("EFECTIVO")));

        sales1.ventaparcial->trigger();
        Form12* form = visibleWindow<Form12>();
        QVERIFY(form);
        QVERIFY(sales1.isHidden());
        QCOMPARE(form->Label3->text(), QStringLiteral("DETALLE DE VENTA PARCIAL DEL DÍA"));
        QCOMPARE(shownRows(form->ListView2->model(), 0),
                 (QStringList{"10/03/2026 1:00:00|E", "10/03/2026 0:00:00|T", "09/03/2026 23:59:59|E"}));
        QVERIFY(shownRows(form->ListView1->model(), 0).isEmpty());
        QVERIFY(form->Label1->text().isEmpty() && form->Label2->text().isEmpty() && form->Label4->text().isEmpty());

        clickRow(form->ListView2, 2);
        QCOMPARE(form->Text1, QStringLiteral("09/03/2026 23:59:59"));
        QCOMPARE(shownRows(form->ListView1->model(), 0), (QStringList{"1|100|Leche|1|990|990", "2|200|Pan|1|1500,5|1500,5"}));
        QCOMPARE(form->Label1->text(), QStringLiteral("Venta realizada el 09/03/2026 a las 23:59:59 hrs."));
        QCOMPARE(form->Label2->text(), QStringLiteral("Valor Final $ 2.490,5"));
        QCOMPARE(form->Label4->text(), QStringLiteral("EFECTIVO"));

        // The keyboard moves to the sale at midnight.
        QTest::keyClick(form->ListView2, Qt::Key_Up);
        QCOMPARE(shownRows(form->ListView1->model(), 2), QStringList{"Pan|1|1500,5|1500,5"});
        QCOMPARE(form->Label1->text(), QStringLiteral("Venta realizada el 10/03/2026 a las 0:00:00 hrs."));
        QCOMPARE(form->Label4->text(), QStringLiteral("TARJETA"));

        form->close();
        QVERIFY(sales1.isVisible());
    }

    void emptyDayListsNothing()
    {
        SalesDriver d;
        Form1& sales1 = d.open();
        sales1.ventaparcial->trigger();
        Form12* form = visibleWindow<Form12>();
        QVERIFY(form);
        QCOMPARE(form->ListView2->model()->rowCount(), 0);
        QTest::mouseClick(form->ListView2->viewport(), Qt::LeftButton, {}, QPoint(20, 20));
        QVERIFY(form->Text1.isEmpty() && form->Label1->text().isEmpty() && form->Label4->text().isEmpty());
        form->close();
    }

    void unreadableDayOpensNothing_data()
    {
        QTest::addColumn<bool>("detail");
        QTest::newRow("day's takings") << false;
        QTest::newRow("sales detail") << true;
    }

    void unreadableDayOpensNothing()
    {
        QFETCH(bool, detail);
        SalesDriver d;
        Form1& sales1 = d.open();
        d.shop.db.execute(QStringLiteral("alter table Temporal rename to Otra"));
        (detail ? sales1.ventaparcial : sales1.recaudaciondeldia)->trigger();
        QVERIFY(!visibleWindow<Form6>() && !visibleWindow<Form12>());
        QVERIFY(sales1.isVisible());
        QCOMPARE(d.shop.messages.boxes.size(), 1);
        QCOMPARE(d.shop.messages.boxes[0].icon, Messages::Icon::Critical);
    }
};

QTEST_MAIN(TestOpenDayWindows)
#include "test_open_day_windows.moc"
