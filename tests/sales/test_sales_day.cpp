// The sales day: its rules on the day itself (start-up, resumption, sales, closing), and on the
// real sales window the timer, the exit and the menu.
#include "catalogue/products.h"
#include "common/numbers.h"
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
    shop.db.execute(insertInto(QStringLiteral("Temporal")) + QStringLiteral(
        "values ('100','Leche',2,1400,1980,'EFECTIVO','ana','Lacteos','%1',"
        "'2026-03-08 08:10:00',990), ('200','Pan',1,900,1500.5,'TARJETA','ana','Panaderia','%1',"
        "'2026-03-08 08:20:00',1500.5);"
        "insert into TipoPago (FechaInicio, efectivo, tarjeta, CajaInicial, FechaCierre) "
        "values ('%1', 1980, 1500.5, 0, '2026-03-08 08:20:00');")
                        .arg(kOldStamp));
}

// A ten-column Temporal, made before the unit price was kept.
void oldTemporal(TempShop& shop)
{
    shop.db.execute(QStringLiteral(
        "drop table Temporal; create table Temporal (CodigoProducto TEXT, NombreProducto TEXT, "
        "Cantidad REAL, TotalCosto REAL, TotalVenta REAL, TipoPago TEXT, NombreUsuario TEXT, "
        "Categoria TEXT, FechaInicio DATETIME, FechaVenta DATETIME)"));
}

// A Temporal that cannot gain its unit price column: a view.
void unpreparableTemporal(TempShop& shop)
{
    shop.db.execute(QStringLiteral(
        "drop table Temporal; create view Temporal as select CodigoProducto, NombreProducto, "
        "Cantidad, PrecioCosto as TotalCosto, PrecioVenta as TotalVenta, Categoria as TipoPago, "
        "Categoria as NombreUsuario, Categoria, Categoria as FechaInicio, Categoria as "
        "FechaVenta from Productos"));
}

enum Setup { EmptyFile, Interrupted, OldTemporal, Unpreparable };

void prepare(SalesDriver& d, int setup)
{
    switch (setup) {
    case Interrupted: interruptedDay(d.shop); break;
    case OldTemporal: oldTemporal(d.shop); break;
    case Unpreparable: unpreparableTemporal(d.shop); break;
    default: break;
    }
}

// One unit of code, as the sale detail list holds it.
SaleLines oneUnit(Database& db, const QString& code)
{
    SaleLines lines;
    const auto product = findProductByCode(db, code);
    if (!product)
        qFatal("no product %s", qPrintable(code));
    mergeDetailLine(lines, *product, code, 1, QStringLiteral("1"));
    return lines;
}

RecordedSale sellOne(SalesDay& day, Database& db, const QString& code, const QString& kind)
{
    const SaleLines lines = oneUnit(db, code);
    return day.record(lines, plainNumber(computeTotal(lines)), kind);
}

const QString kLogin = QStringLiteral("09/03/2026 9:05:07");
const QString kOld = QStringLiteral("08/03/2026 8:00:00");
const QString kLoginIso = QStringLiteral("2026-03-09 09:05:07");

const char* kRecaudacionRows =
    "select CodigoProducto, NombreProducto, Cantidad, TotalCosto, "
    "TotalVenta, TipoPago, NombreUsuario, Categoria, "
    "FechaInicio, FechaVenta from Recaudacion order by rowid";
} // namespace

class TestSalesDay : public QObject {
    Q_OBJECT

private slots:
    void init() { QLocale::setDefault(kChile); }

    // The start-up on the day: what it asks, what it closes, and the stamp it leaves for the
    // question and the login.
    void load_data()
    {
        QTest::addColumn<int>("setup");
        QTest::addColumn<bool>("answer");
        QTest::addColumn<bool>("closingFails");
        QTest::addColumn<int>("start");
        QTest::addColumn<bool>("asked");
        QTest::addColumn<bool>("fileUnchanged");
        QTest::addColumn<QVariantList>("history");
        QTest::addColumn<QString>("stamp");
        QTest::addColumn<bool>("earlierUnclosed");
        QTest::addColumn<QString>("message");
        QTest::addColumn<int>("left");             // lines of the interrupted day still in Temporal
        QTest::addColumn<QVariantList>("closings"); // FechaCierre of each day in TipoPago

        const int newDay = int(SalesDay::Start::NewDay);
        const QVariantList none;
        const QVariantList both{
            "100|Leche|2.0|1400.0|1980.0|EFECTIVO|ana|Lacteos|2026-03-08 08:00:00|2026-03-08 08:10:00",
            "200|Pan|1.0|900.0|1500.5|TARJETA|ana|Panaderia|2026-03-08 08:00:00|2026-03-08 08:20:00"};
        QTest::newRow("first start") << int(EmptyFile) << false << false << newDay << false << true << none
                                     << QString() << false << QString() << 0 << none;
        // Closed at the start's time.
        QTest::newRow("interrupted, closed") << int(Interrupted) << false << false << newDay << true << false
                                             << both << kOld << false << QString() << 0
                                             << QVariantList{"2026-03-09 07:30:00"};
        const QVariantList lastSale{"2026-03-08 08:20:00"};
        QTest::newRow("interrupted, resumed") << int(Interrupted) << true << false << int(SalesDay::Start::Resume)
                                              << true << true << none << kOld << false << QString() << 2
                                              << lastSale;
        QTest::newRow("interrupted, closing fails")
            << int(Interrupted) << false << true << newDay << true << true << none << kOld << true
            << QStringLiteral("No se pudo cerrar el día de ventas") << 2 << lastSale;
        // A file made by an older program or another tool; a server's tables are made whole when
        // its database is made.
        if (onServer())
            return;
        // Its rows stay as they were; the column it gains is checked below.
        QTest::newRow("ten-column Temporal") << int(OldTemporal) << false << false << newDay << false << true
                                             << none << QString() << false << QString() << 0 << none;
        QTest::newRow("Temporal that cannot be prepared")
            << int(Unpreparable) << false << false << int(SalesDay::Start::Refused) << false << true << none
            << QString() << false << QStringLiteral("No se pudo preparar el día de ventas") << 0 << none;
    }

    void load()
    {
        QFETCH(int, setup);
        QFETCH(bool, answer);
        QFETCH(bool, closingFails);
        SalesDriver d;
        prepare(d, setup);
        d.shop.messages.answer(answer);
        d.shop.clock.current = QDateTime(QDate(2026, 3, 9), QTime(7, 30, 0));
        const QString before = d.shop.dump();
        SalesDay day(d.shop.db, d.shop.clock);
        if (closingFails)
            d.shop.faults->failAtWrite(1);
        const SalesDay::Start start = day.load(d.shop.messages);
        d.shop.faults->failAtWrite(0);

        QTEST(int(start), "start");
        QFETCH(bool, asked);
        const auto& boxes = d.shop.messages.boxes;
        QCOMPARE(!boxes.isEmpty() && boxes[0].kind == FakeMessages::Box::Ask, asked);
        if (asked) {
            QCOMPARE(boxes[0].text, kUnclosed);
            QCOMPARE(boxes[0].title, QStringLiteral("Confirmación"));
        }
        QFETCH(QString, message);
        QCOMPARE(boxes.size(), int(asked) + int(!message.isEmpty()));
        if (!message.isEmpty()) {
            QVERIFY(d.shop.messages.lastText().startsWith(message));
            QCOMPARE(boxes.last().icon, Messages::Icon::Critical);
        }
        QTEST(d.shop.dump() == before, "fileUnchanged");
        QTEST(d.shop.rows(kRecaudacionRows), "history");
        QTEST(day.openingStamp(), "stamp");
        QTEST(day.earlierDayUnclosed(), "earlierUnclosed");

        QTEST(d.shop.scalar("select count(*) from Temporal where FechaInicio = '" + kOldStamp + "'").toInt(),
              "left");
        QTEST(d.shop.column("select FechaCierre from TipoPago order by FechaInicio"), "closings");
        if (start != SalesDay::Start::Refused) {
            QCOMPARE(tableColumns(d.shop.db, QStringLiteral("Temporal")).size(), 11);
            QCOMPARE(tableColumns(d.shop.db, QStringLiteral("Temporal")).last(), QStringLiteral("ValorUnitario"));
            // A second start leaves the columns as they are, and the unit price is kept.
            SalesDay again(d.shop.db, d.shop.clock);
            d.shop.messages.answer(true);
            QVERIFY(again.load(d.shop.messages) != SalesDay::Start::Refused);
            QCOMPARE(tableColumns(d.shop.db, QStringLiteral("Temporal")).size(), 11);
            again.begin(QStringLiteral("admin"), kLogin);
            sellOne(again, d.shop.db, QStringLiteral("100"), QStringLiteral("EFECTIVO"));
            QCOMPARE(d.shop.scalar("select ValorUnitario from Temporal order by rowid desc").toDouble(), 990.0);
        }
    }

    // After the start and the login: which day the sales go to, with and without the reload of
    // the stamp, and the closing at the end of the run.
    void salesAndClosing_data()
    {
        QTest::addColumn<int>("setup");
        QTest::addColumn<bool>("answer");
        QTest::addColumn<bool>("closingFails");
        QTest::addColumn<bool>("reload");
        QTest::addColumn<QString>("code");
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("stamp");
        QTest::addColumn<QVariantList>("days");
        QTest::addColumn<QVariantList>("takings"); // efectivo|tarjeta of each day
        QTest::addColumn<int>("closed");

        QTest::newRow("new day") << int(EmptyFile) << false << false << true << QStringLiteral("100") << QStringLiteral("EFECTIVO") << kLogin
                                 << QVariantList{kLoginIso} << QVariantList{"990.0|0.0"} << 1;
        QTest::newRow("resumed, sale after the reload")
            << int(Interrupted) << true << false << true << QStringLiteral("100") << QStringLiteral("EFECTIVO") << kOld
            << QVariantList{kOldStamp, kOldStamp, kOldStamp} << QVariantList{"2970.0|1500.5"} << 3;
        QTest::newRow("resumed, sale before the reload")
            << int(Interrupted) << true << false << false << QStringLiteral("200") << QStringLiteral("TARJETA") << kOld
            << QVariantList{kOldStamp, kOldStamp, kOldStamp} << QVariantList{"1980.0|3001.0"} << 3;
        // The run's sales keep a day of their own instead of joining the day nobody resumed, also
        // once the stamp is reloaded; the closing closes both days.
        QTest::newRow("earlier day unclosed")
            << int(Interrupted) << false << true << true << QStringLiteral("100") << QStringLiteral("EFECTIVO") << kLogin
            << QVariantList{kOldStamp, kOldStamp, kLoginIso} << QVariantList{"1980.0|1500.5", "990.0|0.0"} << 3;
    }

    void salesAndClosing()
    {
        QFETCH(int, setup);
        QFETCH(bool, answer);
        QFETCH(bool, closingFails);
        QFETCH(bool, reload);
        QFETCH(QString, code);
        QFETCH(QString, kind);
        SalesDriver d;
        prepare(d, setup);
        d.shop.messages.answer(answer);
        SalesDay day(d.shop.db, d.shop.clock);
        if (closingFails)
            d.shop.faults->failAtWrite(1);
        QVERIFY(day.load(d.shop.messages) != SalesDay::Start::Refused);
        d.shop.faults->failAtWrite(0);
        day.begin(QStringLiteral("ana"), kLogin);
        QCOMPARE(day.user(), QStringLiteral("ana"));
        if (reload)
            day.reload();

        QTEST(sellOne(day, d.shop.db, code, kind).openingStamp, "stamp");
        QTEST(day.openingStamp(), "stamp");
        QTEST(d.shop.column("select FechaInicio from Temporal order by rowid"), "days");
        QTEST(d.shop.rows("select efectivo, tarjeta from TipoPago order by FechaInicio"), "takings");
        QCOMPARE(d.shop.scalar("select NombreUsuario from Temporal order by rowid desc").toString(), QStringLiteral("ana"));

        d.shop.clock.current = QDateTime(QDate(2026, 3, 9), QTime(21, 0, 0));
        QTEST(day.close(), "closed");
        QVERIFY(!day.earlierDayUnclosed());
        QCOMPARE(d.shop.count("Temporal"), 0);
        QTEST(d.shop.count("Recaudacion"), "closed");
        for (const QVariant& closedAt : d.shop.column("select FechaCierre from TipoPago"))
            QCOMPARE(closedAt.toString(), QStringLiteral("2026-03-09 21:00:00"));
    }

    // The window's part of a resumed start: the login's stamp holds until the timer reloads the
    // interrupted day's.
    void resumedStampComesBackWithTheTimer()
    {
        SalesDriver d;
        interruptedDay(d.shop);
        d.shop.messages.answer(true);
        Form1& f = d.open();
        QCOMPARE(d.shop.messages.boxes.size(), 1);
        QCOMPARE(f.day().openingStamp(), d.openingStamp);
        QVERIFY(f.Timer2->isActive());
        QCOMPARE(f.Timer2->interval(), 1000);
        QVERIFY(f.Timer2->isSingleShot());
        QVERIFY(QMetaObject::invokeMethod(f.Timer2, "timeout"));
        QCOMPARE(f.day().openingStamp(), kOld);
        QVERIFY(d.sell(QStringLiteral("100")));
        QCOMPARE(d.shop.scalar("select efectivo from TipoPago").toDouble(), 2970.0);
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
        d.shop.db.execute(insertInto(QStringLiteral("Temporal")) + QStringLiteral(
            "values ('100','Leche',1,700,990,'EFECTIVO','admin','General',"
            "'2026-03-09 09:05:07','2026-03-09 12:00:00',990)"));
        d.shop.clock.current = QDateTime(QDate(2026, 3, 9), QTime(22, 15, 0));
        QCOMPARE(cierreDelDia(d.shop.db, d.shop.clock, QStringLiteral("09/03/2026 9:05:07")), 1);
        QCOMPARE(d.shop.column("select FechaCierre from TipoPago order by FechaInicio"),
                 (QVariantList{"2026-03-07 20:00:00", "2026-03-09 22:15:00"}));
        // Running it again copies nothing more.
        QCOMPARE(cierreDelDia(d.shop.db, d.shop.clock, QStringLiteral("09/03/2026 9:05:07")), 0);
        QCOMPARE(d.shop.count("Recaudacion"), 1);
    }

    void fileThatCannotBePreparedKeepsTheTillShut()
    {
        SalesDriver d;
        unpreparableTemporal(d.shop);
        Form1 f(d.shop.context);
        QVERIFY(!f.Form_Load());
        QCOMPARE(d.shop.messages.boxes.size(), 1);
    }

    // INFORMES walked with the keyboard: the takings history, the stock, then the day's detail.
    void reportsMenuInOrder()
    {
        SalesDriver d;
        Form1& f = d.open();
        f.informes->popup(f.mapToGlobal(QPoint(0, 0)));
        QVERIFY(QTest::qWaitForWindowExposed(f.informes));
        QList<QAction*> visited;
        for (int i = 0; i < 3; ++i) {
            QTest::keyClick(f.informes, Qt::Key_Down);
            visited << f.informes->activeAction();
        }
        f.informes->hide();
        QCOMPARE(visited, (QList<QAction*>{f.recaudacion, f.stock, f.ventaparcial}));
    }
};

QTEST_MAIN(TestSalesDay)
#include "test_sales_day.moc"
