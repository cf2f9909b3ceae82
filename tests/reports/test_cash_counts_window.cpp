// The drawer's counts from the sales menu after a counted day: list, foot, charts, Esc back.
#include "cash/cash_book.h"
#include "reports/cash_counts_window.h"
#include "support/sales_driver.h"

#include <QAction>
#include <QApplication>
#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QDateEdit>
#include <QStackedBarSeries>
#include <QTest>
#include <QToolTip>
#include <QTreeView>

using namespace tarvino;
using namespace tarvino::test;

namespace {

// Each bar set of the chart's one series: "label=value,value".
QStringList barsOf(QChartView* view)
{
    const auto series = view->chart()->series();
    QStringList sets{QStringLiteral("%1 series").arg(series.size())};
    const auto* bars = qobject_cast<QStackedBarSeries*>(series.value(0));
    for (QBarSet* set : bars ? bars->barSets() : QList<QBarSet*>()) {
        sets << set->label() + QLatin1Char('=');
        for (int i = 0; i < set->count(); ++i)
            sets.last() += (i ? QStringLiteral(",") : QString()) + QString::number(set->at(i));
    }
    return sets;
}

} // namespace

class TestCashCountsWindow : public QObject {
    Q_OBJECT

private slots:
    void init() { QLocale::setDefault(kChile); }

    void countedDayFromTheMenu()
    {
        SalesDriver d;
        Form1& sales = d.open();
        QVERIFY(d.sell(QStringLiteral("100")));
        QVERIFY(d.sell(QStringLiteral("200"), QStringLiteral("TARJETA")));
        // 990 in cash expected, 1.000 counted.
        closeDayWithCount(d.shop.db, d.shop.clock, d.openingStamp, QStringLiteral("admin"), {100000, {}});

        QVERIFY(sales.arqueos->isEnabled());
        sales.arqueos->trigger();
        Form18* f = visibleWindow<Form18>();
        QVERIFY(f && sales.isHidden());
        QVERIFY(QTest::qWaitForWindowActive(f));
        QCOMPARE(QApplication::focusWidget(), f->DTPicker1);
        const QDate today = d.shop.clock.now().date();
        QCOMPARE((QList<QDate>{f->DTPicker1->date(), f->DTPicker2->date()}), (QList<QDate>{today.addDays(-6), today}));
        QCOMPARE(shownRows(f->ListView1->model(), 1), QStringList{"09/03/2026 09:05|$ 0|$ 990|$ 1.500,50|$ 990|$ 1.000|$ 10"});
        QCOMPARE(shownRows(f->ListView2->model(), 1), QStringList{"TOTALES|$ 0|$ 990|$ 1.500,50|$ 990|$ 1.000|$ 10"});
        QVERIFY(f->ListView1->isColumnHidden(0)); // one till's file: no till column
        QCOMPARE(barsOf(f->Chart1), (QStringList{"1 series", "Efectivo=990", "Tarjeta=1500.5"}));
        QCOMPARE(barsOf(f->Chart2), (QStringList{"1 series", "Sobrante=10", "Faltante=0"}));
        // The mouse over a bar tells its date and amount.
        emit static_cast<QStackedBarSeries*>(f->Chart1->chart()->series().value(0))->barSets().value(1)->hovered(true, 0);
        QCOMPARE(QToolTip::text(), QStringLiteral("09/03/2026, Tarjeta: $ 1.500,50"));

        // A period that ends before it starts is refused and leaves the list as it was.
        f->DTPicker1->setDate(f->DTPicker2->date().addDays(1));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QCOMPARE(d.shop.messages.texts(), QStringList{cashCountsTexts::kPeriodoAlReves});
        QCOMPARE(f->ListView1->model()->rowCount(), 1);

        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        QTRY_VERIFY(!visibleWindow<Form18>());
        QVERIFY(sales.isVisible());
    }
};

QTEST_MAIN(TestCashCountsWindow)
#include "test_cash_counts_window.moc"
