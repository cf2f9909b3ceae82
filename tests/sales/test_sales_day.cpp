// The sales day on the real sales window: start-up question, resumption, closing at exit, menu.
#include "data/schema.h"
#include "sales/sales_day.h"
#include "support/sales_driver.h"

#include <QAction>
#include <QLineEdit>
#include <QPushButton>
#include <QMenu>
#include <QTest>
#include <QTimer>

using namespace tarvino;
using namespace tarvino::test;

namespace {
const QString kUnclosed = QStringLiteral(
    "El sistema se cerró en forma inesperada, ¿continuar con el inicio de ventas anterior?. Si "
    "presiona NO se cerrará la venta anterior y comenzará un nuevo inicio de ventas");
const QString kExit = QStringLiteral("¿Salir del sistema asumiendo el término de las ventas del día?");
const QString kOldStamp = QStringLiteral("2026-03-08 08:00:00");

// Leaves an interrupted day: two lines in Temporal and its day row.
void interruptedDay(TempShop& shop)
{
    shop.db.execute(QStringLiteral(
        "insert into Temporal values ('100','Leche',2,1400,1980,'EFECTIVO','ana','Lacteos','%1',"
        "'2026-03-08 08:10:00',990);"
        "insert into Temporal values ('200','Pan',1,900,1500.5,'TARJETA','ana','Panaderia','%1',"
        "'2026-03-08 08:20:00',1500.5);"
        "insert into TipoPago (FechaInicio, efectivo, tarjeta, CajaInicial, FechaCierre) "
        "values ('%1', 1980, 1500.5, 0, '2026-03-08 08:20:00');")
                        .arg(kOldStamp));
}

const char* kRecaudacionRows =
    "select CodigoProducto || '|' || NombreProducto || '|' || Cantidad || '|' || TotalCosto || '|' "
    "|| TotalVenta || '|' || TipoPago || '|' || NombreUsuario || '|' || Categoria || '|' || "
    "FechaInicio || '|' || FechaVenta from Recaudacion order by rowid";
} // namespace

class TestSalesDay : public QObject {
    Q_OBJECT

private slots:
    void init() { QLocale::setDefault(kChile); }

    void firstStartAsksNothingAndWritesNothing()
    {
        SalesDriver d;
        const QString before = d.shop.dump();
        Form1& f = d.open();
        QVERIFY(d.shop.messages.boxes.isEmpty());
        QCOMPARE(f.Text3, d.openingStamp);
        QVERIFY(f.Timer2->isActive());
        QCOMPARE(f.Timer2->interval(), 1000);
        QVERIFY(f.Timer2->isSingleShot());
        QCOMPARE(d.shop.dump(), before);
    }

    void interruptedDayAnsweredNoIsClosed()
    {
        SalesDriver d;
        interruptedDay(d.shop);
        d.shop.messages.answer(false);
        d.shop.clock.current = QDateTime(QDate(2026, 3, 9), QTime(7, 30, 0));
        Form1& f = d.open();
        QCOMPARE(d.shop.messages.boxes.size(), 1);
        QCOMPARE(d.shop.messages.boxes[0].kind, FakeMessages::Box::Ask);
        QCOMPARE(d.shop.messages.boxes[0].text, kUnclosed);
        QCOMPARE(d.shop.messages.boxes[0].title, QStringLiteral("Confirmación"));
        QCOMPARE(d.shop.count("Temporal"), 0);
        QCOMPARE(d.shop.column(kRecaudacionRows),
                 (QVariantList{"100|Leche|2.0|1400.0|1980.0|EFECTIVO|ana|Lacteos|2026-03-08 "
                               "08:00:00|2026-03-08 08:10:00",
                               "200|Pan|1.0|900.0|1500.5|TARJETA|ana|Panaderia|2026-03-08 "
                               "08:00:00|2026-03-08 08:20:00"}));
        QCOMPARE(d.shop.scalar("select FechaCierre from TipoPago").toString(),
                 QStringLiteral("2026-03-09 07:30:00"));
        // A new day begins with the login's stamp.
        QCOMPARE(f.Text3, d.openingStamp);
    }

    void interruptedDayAnsweredYesIsResumed()
    {
        SalesDriver d;
        interruptedDay(d.shop);
        d.shop.messages.answer(true);
        Form1& f = d.open();
        QCOMPARE(d.shop.messages.boxes.size(), 1);
        QCOMPARE(d.shop.count("Temporal"), 2);
        QCOMPARE(f.Text3, d.openingStamp); // the login's time, until the timer fires
        QVERIFY(f.Timer2->isActive());
        QVERIFY(QMetaObject::invokeMethod(f.Timer2, "timeout"));
        QCOMPARE(f.Text3, QStringLiteral("08/03/2026 8:00:00"));

        QVERIFY(d.sell(QStringLiteral("100")));
        QCOMPARE(d.shop.count("TipoPago"), 1);
        QCOMPARE(d.shop.scalar("select efectivo from TipoPago").toDouble(), 2970.0);
        QCOMPARE(d.shop.column("select distinct FechaInicio from Temporal"), QVariantList{kOldStamp});
    }

    void saleBeforeTheStampIsReloadedStaysInTheResumedDay()
    {
        SalesDriver d;
        interruptedDay(d.shop);
        d.shop.messages.answer(true);
        Form1& f = d.open();
        QVERIFY(d.sell(QStringLiteral("200"), QStringLiteral("TARJETA")));
        QCOMPARE(f.Text3, QStringLiteral("08/03/2026 8:00:00"));
        QCOMPARE(d.shop.column("select distinct FechaInicio from Temporal"), QVariantList{kOldStamp});
        QCOMPARE(d.shop.scalar("select tarjeta from TipoPago").toDouble(), 3001.0);
    }

    void exitAnsweredNoKeepsTheDayAndDropsTheSale()
    {
        SalesDriver d;
        Form1& f = d.open();
        QVERIFY(d.sell(QStringLiteral("100")));
        d.typeCode(QStringLiteral("200"));
        const QString before = d.shop.dump();
        d.shop.messages.answer(false);
        QVERIFY(!f.close());
        QCOMPARE(d.shop.messages.boxes.last().text, kExit);
        QCOMPARE(d.shop.messages.boxes.last().title, QStringLiteral("Confirmación"));
        QVERIFY(f.isVisible());
        QVERIFY(d.saleList().isEmpty());
        QVERIFY(f.Text7->isEnabled());
        QCOMPARE(d.shop.dump(), before);
    }

    void exitWhilePayingGoesBackFirst()
    {
        SalesDriver d;
        Form1& f = d.open();
        d.typeCode(QStringLiteral("100"));
        QTest::mouseClick(f.Command1, Qt::LeftButton);
        QVERIFY(f.paymentWindow());
        d.shop.messages.answer(false);
        QVERIFY(!f.close());
        flushClosedWindows();
        // No payment window is left to settle the sale that was thrown away.
        QVERIFY(!f.paymentWindow());
        QVERIFY(f.isEnabled() && f.Frame2->isEnabled());
        QVERIFY(d.saleList().isEmpty());
        QCOMPARE(d.shop.count("TipoPago"), 0);
    }

    void exitAnsweredYesClosesTheDay()
    {
        SalesDriver d;
        Form1& f = d.open();
        QVERIFY(d.sell(QStringLiteral("100")));
        d.shop.clock.current = QDateTime(QDate(2026, 3, 9), QTime(21, 0, 0));
        d.shop.messages.answer(true);
        QVERIFY(f.close());
        QCOMPARE(d.shop.count("Temporal"), 0);
        QCOMPARE(d.shop.count("Recaudacion"), 1);
        QCOMPARE(d.shop.scalar("select FechaCierre from TipoPago").toString(),
                 QStringLiteral("2026-03-09 21:00:00"));
    }

    void exitOfADayWithoutSalesLeavesNoTrace()
    {
        SalesDriver d;
        Form1& f = d.open();
        const QString before = d.shop.dump();
        d.shop.messages.answer(true);
        QVERIFY(f.close());
        QCOMPARE(d.shop.dump(), before);
    }

    void closingStampsOnlyItsOwnDay()
    {
        SalesDriver d;
        d.shop.db.execute(QStringLiteral(
            "insert into TipoPago (FechaInicio, efectivo, tarjeta, CajaInicial, FechaCierre) values "
            "('2026-03-07 08:00:00', 10, 0, 0, '2026-03-07 20:00:00'),"
            "('2026-03-09 09:05:07', 20, 0, 0, '2026-03-09 12:00:00')"));
        d.shop.db.execute(QStringLiteral(
            "insert into Temporal values ('100','Leche',1,700,990,'EFECTIVO','admin','General',"
            "'2026-03-09 09:05:07','2026-03-09 12:00:00',990)"));
        d.shop.clock.current = QDateTime(QDate(2026, 3, 9), QTime(22, 15, 0));
        QCOMPARE(cierreDelDia(d.shop.db, d.shop.clock, QStringLiteral("09/03/2026 9:05:07")), 1);
        QCOMPARE(d.shop.column("select FechaCierre from TipoPago order by FechaInicio"),
                 (QVariantList{"2026-03-07 20:00:00", "2026-03-09 22:15:00"}));
        // Running it again copies nothing more.
        QCOMPARE(cierreDelDia(d.shop.db, d.shop.clock, QStringLiteral("09/03/2026 9:05:07")), 0);
        QCOMPARE(d.shop.count("Recaudacion"), 1);
    }

    void oldTemporalGainsItsUnitPriceColumn()
    {
        SalesDriver d;
        d.shop.db.execute(QStringLiteral(
            "drop table Temporal; create table Temporal (CodigoProducto TEXT, NombreProducto TEXT, "
            "Cantidad REAL, TotalCosto REAL, TotalVenta REAL, TipoPago TEXT, NombreUsuario TEXT, "
            "Categoria TEXT, FechaInicio DATETIME, FechaVenta DATETIME)"));
        d.open();
        QCOMPARE(tableColumns(d.shop.db, QStringLiteral("Temporal")).size(), 11);
        QCOMPARE(tableColumns(d.shop.db, QStringLiteral("Temporal")).last(),
                 QStringLiteral("ValorUnitario"));
        // And a second load leaves it as it is.
        Form1 again(d.shop.context);
        again.Form_Load();
        QCOMPARE(tableColumns(d.shop.db, QStringLiteral("Temporal")).size(), 11);
        QVERIFY(d.sell(QStringLiteral("100")));
        QCOMPARE(d.shop.scalar("select ValorUnitario from Temporal").toDouble(), 990.0);
    }

    void fileThatCannotBePreparedKeepsTheTillShut()
    {
        SalesDriver d;
        // A Temporal that cannot gain its unit price column (a view, here) stops the start.
        d.shop.db.execute(QStringLiteral(
            "drop table Temporal; create view Temporal as select CodigoProducto, NombreProducto, "
            "Cantidad, PrecioCosto as TotalCosto, PrecioVenta as TotalVenta, Categoria as TipoPago, "
            "Categoria as NombreUsuario, Categoria, Categoria as FechaInicio, Categoria as "
            "FechaVenta from Productos"));
        const QString before = d.shop.dump();
        Form1 f(d.shop.context);
        QVERIFY(!f.Form_Load());
        QCOMPARE(d.shop.messages.boxes.size(), 1);
        QVERIFY(d.shop.messages.lastText().startsWith(QStringLiteral("No se pudo preparar el día de ventas")));
        QCOMPARE(d.shop.messages.boxes[0].icon, Messages::Icon::Critical);
        QCOMPARE(d.shop.dump(), before);
    }

    void dayWhoseClosingFailedAtStartIsClosedAtExit()
    {
        SalesDriver d;
        interruptedDay(d.shop);
        d.shop.messages.answer(false);
        d.shop.db.failAtWrite(1);
        Form1& f = d.open();
        d.shop.db.failAtWrite(0);
        QCOMPARE(d.shop.messages.boxes.size(), 2);
        QVERIFY(d.shop.messages.lastText().startsWith(QStringLiteral("No se pudo cerrar el día de ventas")));
        QCOMPARE(d.shop.count("Temporal"), 2);

        // The run's sales keep a day of their own instead of joining the day nobody resumed, also
        // once the timer that reloads a resumed day's stamp has fired.
        QVERIFY(QMetaObject::invokeMethod(f.Timer2, "timeout"));
        QCOMPARE(f.Text3, d.openingStamp);
        QVERIFY(d.sell(QStringLiteral("100")));
        QCOMPARE(f.Text3, d.openingStamp);
        QCOMPARE(d.shop.column("select FechaInicio from Temporal order by rowid"),
                 (QVariantList{kOldStamp, kOldStamp, "2026-03-09 09:05:07"}));
        QCOMPARE(d.shop.count("TipoPago"), 2);

        d.shop.clock.current = QDateTime(QDate(2026, 3, 9), QTime(21, 0, 0));
        d.shop.messages.answer(true);
        QVERIFY(f.close());
        QCOMPARE(d.shop.count("Temporal"), 0);
        QCOMPARE(d.shop.count("Recaudacion"), 3);
        QCOMPARE(d.shop.column("select FechaCierre from TipoPago order by FechaInicio"),
                 (QVariantList{"2026-03-09 21:00:00", "2026-03-09 21:00:00"}));
    }

    void mainMenu()
    {
        SalesDriver d;
        Form1& f = d.open();
        QCOMPARE(f.productos->title(), QStringLiteral("PRODUCTOS"));
        QCOMPARE(f.informes->title(), QStringLiteral("INFORMES"));
        const QList<QPair<QAction*, QString>> entries = {
            {f.edicionProductos, "EDICION DE PRODUCTOS"}, {f.usuarios, "USUARIOS"},
            {f.recaudaciondeldia, "RECAUDACIÓN DEL DÍA"}, {f.recaudacion, "RECAUDACIÓN"},
            {f.stock, "STOCK DE PRODUCTOS"},              {f.ventaparcial, "DETALLE VENTA PARCIAL"},
            {f.soporte, "SOPORTE"}};
        for (const auto& [action, caption] : entries) {
            QCOMPARE(action->text(), caption);
            QVERIFY(action->isEnabled());
        }
        const QList<QAction*> report = f.informes->actions();
        QCOMPARE(report.size(), 5);
        QVERIFY(report[1]->isSeparator() && report[3]->isSeparator());
        QCOMPARE(report[0], f.recaudacion);
        QCOMPARE(report[2], f.stock);
        QCOMPARE(report[4], f.ventaparcial);
    }
};

QTEST_MAIN(TestSalesDay)
#include "test_sales_day.moc"
