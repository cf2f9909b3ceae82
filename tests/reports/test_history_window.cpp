// The takings history window on a temporary shop: what it lists when it opens, its refusals, and
// whole searches of days rung up on the real sales window, from the menu to the sales window again.
#include "reports/history_window.h"
#include "sales/sales_window.h"
#include "support/sales_driver.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QTreeView>

using namespace tarvino;
using namespace tarvino::test;

namespace {

QStringList itemsOf(const QComboBox* list)
{
    QStringList items;
    for (int i = 0; i < list->count(); ++i)
        items << list->itemText(i);
    return items;
}

QStringList shownLabels(const Form7& f)
{
    return {f.Label4->text(), f.Label6->text(), f.Label7->text(), f.Label8->text(), f.Label9->text(),
            f.Label11->text()};
}

bool idle(const Form7& f)
{
    return f.Label12->isHidden() && f.Text1.isEmpty() && !f.Timer1->isActive();
}

// A sales day rung up on the real sales window and closed as the exit closes it: two units of
// Leche (one cash, one card) and one Pan in cash, in category "General".
void ringUpAndClose(SalesDriver& d)
{
    Form1& sales = d.open();
    QVERIFY(d.sell(QStringLiteral("100")));
    QVERIFY(d.sell(QStringLiteral("100"), QStringLiteral("TARJETA")));
    QVERIFY(d.sell(QStringLiteral("200")));
    d.shop.clock.advance(8 * 3600);
    QVERIFY(sales.cierreDelDia());
}

} // namespace

class TestHistoryWindow : public QObject {
    Q_OBJECT

private slots:
    void init() { QLocale::setDefault(kChile); }

    void windowAfterLoad()
    {
        SalesDriver d;
        ringUpAndClose(d);
        d.shop.addProduct({QStringLiteral("300"), QStringLiteral("Vino"), 1, 1, 1, 0, QStringLiteral("Licores")});
        Form7 f(d.shop.context);
        f.Form_Load();
        f.show();
        QCOMPARE(f.windowTitle(), QStringLiteral("TARVINO 1.0"));
        QCOMPARE(f.Picture1->size(), QSize(1009, 681));
        const QList<QWidget*> controls = {f.Label2, f.Label1, f.Combo1, f.Combo2, f.Command1, f.Label3,
                                          f.Combo4, f.Combo5, f.Combo6, f.Command3, f.ListView1, f.Label4,
                                          f.Label6, f.Label7, f.Label8, f.Label9, f.Label11, f.Label12};
        for (QWidget* w : controls)
            QVERIFY2(f.Picture1->rect().contains(QRect(w->mapTo(f.Picture1, QPoint()), w->size())),
                     qPrintable(w->objectName()));
        QCOMPARE(itemsOf(f.Combo1), QStringList{d.openingStamp});
        QCOMPARE(itemsOf(f.Combo4),
                 (QStringList{"Enero", "Febrero", "Marzo", "Abril", "Mayo", "Junio", "Julio", "Agosto",
                              "Septiembre", "Octubre", "Noviembre", "Diciembre"}));
        QCOMPARE(itemsOf(f.Combo5), QStringList{"2026"});
        QCOMPARE(itemsOf(f.Combo2), (QStringList{"General", "Licores", "Todas"}));
        QCOMPARE(itemsOf(f.Combo6), itemsOf(f.Combo2));
        QCOMPARE(f.Combo2->currentText(), QStringLiteral("Todas"));
        for (QComboBox* list : {f.Combo1, f.Combo4, f.Combo5})
            QCOMPARE(list->currentIndex(), -1);
        QCOMPARE(f.Timer1->interval(), 1);
        QVERIFY(idle(f));
        QVERIFY(shownRows(f.ListView1->model()).isEmpty());
        QCOMPARE(shownLabels(f), QStringList(6));
    }

    void refusals_data()
    {
        QTest::addColumn<bool>("monthly");
        QTest::addColumn<int>("month");
        QTest::addColumn<int>("year");
        QTest::addColumn<QString>("message");
        QTest::newRow("no day") << false << -1 << -1 << "Debe seleccionar la fecha a consultar";
        QTest::newRow("no month") << true << -1 << 0 << "Debe seleccionar el mes y año a consultar";
        QTest::newRow("no year") << true << 2 << -1 << "Debe seleccionar el mes y año a consultar";
    }
    void refusals()
    {
        QFETCH(bool, monthly);
        QFETCH(int, month);
        QFETCH(int, year);
        QFETCH(QString, message);
        TempShop shop;
        Form7 f(shop.context);
        f.Form_Load();
        f.show();
        f.Combo4->setCurrentIndex(month);
        f.Combo5->setCurrentIndex(year);
        QTest::mouseClick(monthly ? f.Command3 : f.Command1, Qt::LeftButton);
        QCOMPARE(shop.messages.texts(), QStringList{message});
        QCOMPARE(shop.messages.boxes.first().title, QStringLiteral("Tarvino 1.0"));
        QCOMPARE(shop.messages.boxes.first().icon, Messages::Icon::None);
        QVERIFY(idle(f));
    }

    // A day rung up and closed on the sales window, looked up from the menu with the keyboard.
    void searchesOfADayRungUp()
    {
        SalesDriver d;
        ringUpAndClose(d);
        Form1& sales = *d.form;
        sales.recaudacion->trigger();
        Form7* f = visibleWindow<Form7>();
        QVERIFY(f);
        QVERIFY(sales.isHidden());

        QTest::keyClick(f->Combo1, Qt::Key_Down);
        QCOMPARE(f->Combo1->currentText(), d.openingStamp);
        QTest::mouseClick(f->Command1, Qt::LeftButton);
        // Pending: the notice is up and the search waits for the timer.
        QVERIFY(f->Label12->isVisible());
        QCOMPARE(f->Text1, QStringLiteral("1"));
        QVERIFY(f->Timer1->isActive());
        QVERIFY(shownRows(f->ListView1->model()).isEmpty());
        QTRY_VERIFY(idle(*f));
        QCOMPARE(shownRows(f->ListView1->model()), (QStringList{"1|100|Leche|2|1400|1980|General", "2|200|Pan|1|900|1500,5|General"}));
        QCOMPARE(shownLabels(*f),
                 (QStringList{"APERTURA:  09/03/2026 a las 09:05 hrs.  CIERRE:  09/03/2026 a las 17:05 hrs. ",
                              "Costo Total $ 2.300,", "Venta Total $ 3.480,5", "Utilidad $ 1.180,5",
                              "Efectivo $ 2.490,5", "Tarjeta $ 990,"}));
        QVERIFY(f->ListView1->isColumnHidden(0) || f->ListView1->columnWidth(0) == 0);

        // Another choice in any list clears the result.
        QTest::keyClick(f->Combo2, Qt::Key_Up);
        QCOMPARE(f->Combo2->currentText(), QStringLiteral("General"));
        QVERIFY(shownRows(f->ListView1->model()).isEmpty());
        QCOMPARE(shownLabels(*f), QStringList(6));

        // The month of the day, one category: its lines' own cash and card.
        QTest::keyClick(f->Combo4, Qt::Key_Down);
        QTest::keyClick(f->Combo4, Qt::Key_Down);
        QTest::keyClick(f->Combo4, Qt::Key_Down);
        QTest::keyClick(f->Combo5, Qt::Key_Down);
        QTest::keyClick(f->Combo6, Qt::Key_Up);
        QCOMPARE(f->Combo4->currentText(), QStringLiteral("Marzo"));
        QTest::keyClick(f->Command3, Qt::Key_Return);
        QCOMPARE(f->Text1, QStringLiteral("2"));
        QTRY_VERIFY(idle(*f));
        QCOMPARE(shownRows(f->ListView1->model()).size(), 2);
        QCOMPARE(shownLabels(*f),
                 (QStringList{"Ventas realizadas en Marzo del 2026", "Costo Total $ 2.300,",
                              "Venta Total $ 3.480,5", "Utilidad $ 1.180,5", "Efectivo $ 2.490,5",
                              "Tarjeta $ 990,"}));
        QVERIFY(d.shop.messages.boxes.isEmpty());

        f->close();
        flushClosedWindows();
        QVERIFY(sales.isVisible());
    }

    // A search the file cannot answer is reported once and leaves the window idle, not waiting.
    void failedSearchIsReported()
    {
        SalesDriver d;
        ringUpAndClose(d);
        Form7 f(d.shop.context);
        f.Form_Load();
        f.show();
        d.shop.db.execute(QStringLiteral("drop table Recaudacion"));
        f.Combo1->setCurrentIndex(0);
        QTest::mouseClick(f.Command1, Qt::LeftButton);
        QTRY_VERIFY(idle(f));
        QTest::qWait(20);
        QCOMPARE(d.shop.messages.boxes.size(), 1);
        QCOMPARE(d.shop.messages.boxes.first().icon, Messages::Icon::Critical);
        QVERIFY(d.shop.messages.lastText().startsWith(QStringLiteral("No se pudo consultar la recaudación del día.")));
        QVERIFY(shownRows(f.ListView1->model()).isEmpty());
    }
};

QTEST_MAIN(TestHistoryWindow)
#include "test_history_window.moc"
