// The record set over a real bd1: walking, reading, converting on assignment, adding, changing and
// deleting rows, and the write failures a test can provoke.
#include "data/database.h"
#include "data/recordset.h"
#include "support/temp_shop.h"

#include <QTest>

using namespace tarvino;
using namespace tarvino::test;

// The record sets this file opens, by their query texts.
namespace q {
const QString kProductoPorCodigo = QStringLiteral("select * from Productos where CodigoProducto = ? order by NombreProducto");
const QString kProductos = QStringLiteral("select * from Productos order by NombreProducto");
const QString kTemporal = QStringLiteral("select * from Temporal");
const QString kTemporalNuevas = QStringLiteral("select * from Temporal limit 0");
const QString kTipoPago = QStringLiteral("select * from TipoPago order by FechaInicio");
const QString kTipoPagoDelDia = QStringLiteral("select * from TipoPago where FechaInicio = ? order by FechaInicio");
} // namespace q

namespace {

void addDay(Database& db, const QString& stamp)
{
    RecordSet rs;
    rs.open(db, q::kTipoPago);
    rs.addNew();
    rs.setValue(QStringLiteral("FechaInicio"), stamp);
    rs.update();
}

void addTemporal(Database& db, const QString& code)
{
    RecordSet rs;
    rs.open(db, q::kTemporalNuevas);
    rs.addNew();
    rs.setValue(QStringLiteral("CodigoProducto"), code);
    rs.update();
}

QStringList walk(Database& db, const QString& sql, const QString& column)
{
    QStringList seen;
    RecordSet rs;
    for (rs.open(db, sql); !rs.eof(); rs.moveNext())
        seen << rs.text(column);
    return seen;
}

} // namespace

class TestRecordSet : public QObject {
    Q_OBJECT

private slots:
    void walkingAndReading()
    {
        TempShop shop;
        RecordSet rs;
        rs.open(shop.db, q::kTemporal);
        QVERIFY(rs.eof());

        shop.addProduct({QStringLiteral("3"), QStringLiteral("Cebolla"), 4, 100, 150, 3});
        shop.addProduct({QStringLiteral("1"), QStringLiteral("Arroz")});
        shop.addProduct({QStringLiteral("2"), QStringLiteral("Bebida")});
        QCOMPARE(walk(shop.db, q::kProductos, QStringLiteral("NombreProducto")),
                 QStringList({"Arroz", "Bebida", "Cebolla"}));

        // After a full walk the set can go back to either end, as the look-ups rely on.
        rs.open(shop.db, q::kProductos);
        while (!rs.eof())
            rs.moveNext();
        rs.moveFirst();
        QCOMPARE(rs.text(QStringLiteral("NombreProducto")), QStringLiteral("Arroz"));
        rs.moveLast();
        QCOMPARE(rs.text(QStringLiteral("NOMBREPRODUCTO")), QStringLiteral("Cebolla"));
        QCOMPARE(rs.text(QStringLiteral("cantidad")), QStringLiteral("4"));
        QCOMPARE(rs.text(QStringLiteral("StockCritico")), QStringLiteral("3"));
        QVERIFY_THROWS_EXCEPTION(DbError, rs.text(QStringLiteral("Precio")));
        rs.moveNext();
        QVERIFY(rs.eof());
    }

    void timestampsStoredAsIso_data()
    {
        QTest::addColumn<QString>("stamp");
        QTest::addColumn<QString>("iso");
        QTest::newRow("morning") << "09/03/2026 9:05:07" << "2026-03-09 09:05:07";
        QTest::newRow("evening") << "31/12/2026 23:59:59" << "2026-12-31 23:59:59";
        QTest::newRow("midnight") << "01/01/2027 0:00:00" << "2027-01-01 00:00:00";
    }
    void timestampsStoredAsIso()
    {
        QFETCH(QString, stamp);
        QFETCH(QString, iso);
        TempShop shop;
        addDay(shop.db, stamp);
        QCOMPARE(shop.scalar(QStringLiteral("select FechaInicio from TipoPago")).toString(), iso);

        RecordSet rs;
        rs.open(shop.db, q::kTipoPagoDelDia, {iso});
        QVERIFY(!rs.eof());
        QCOMPARE(rs.text(QStringLiteral("FechaInicio")), stamp);
        QCOMPARE(rs.text(QStringLiteral("FechaCierre")), QString());
    }

    void orderByFechaInicioIsChronological()
    {
        TempShop shop;
        // Read as dd/mm text these would sort 01/02, 02/12, 10/01 10h, 10/01 9h, 15/01, 31/12.
        const QStringList shuffled{"15/01/2026 10:00:00", "02/12/2025 9:00:00",
                                   "01/02/2026 8:00:00",  "10/01/2026 10:00:00",
                                   "31/12/2025 23:59:59", "10/01/2026 9:30:00"};
        for (const QString& stamp : shuffled)
            addDay(shop.db, stamp);
        QCOMPARE(walk(shop.db, q::kTipoPago, QStringLiteral("FechaInicio")),
                 QStringList({"02/12/2025 9:00:00", "31/12/2025 23:59:59", "10/01/2026 9:30:00",
                              "10/01/2026 10:00:00", "15/01/2026 10:00:00", "01/02/2026 8:00:00"}));
    }

    void addNewTakesColumnDefaults()
    {
        TempShop shop;
        addDay(shop.db, QStringLiteral("09/03/2026 9:05:07"));
        QCOMPARE(shop.count(QStringLiteral("TipoPago")), 1);
        QCOMPARE(shop.scalar(QStringLiteral("select efectivo from TipoPago")), QVariant(0.0));
        QCOMPARE(shop.scalar(QStringLiteral("select tarjeta from TipoPago")), QVariant(0.0));

        RecordSet rs;
        rs.open(shop.db, q::kProductos);
        rs.addNew();
        rs.setValue(QStringLiteral("CodigoProducto"), QStringLiteral("77"));
        rs.setValue(QStringLiteral("NombreProducto"), QStringLiteral("Harina"));
        rs.update();
        QCOMPARE(shop.scalar(QStringLiteral("select ParteDeOferta from Productos")),
                 QVariant(qint64(0)));

        addTemporal(shop.db, QStringLiteral("77"));
        rs.open(shop.db, q::kTemporal);
        QCOMPARE(rs.text(QStringLiteral("CodigoProducto")), QStringLiteral("77"));
        QCOMPARE(rs.text(QStringLiteral("ValorUnitario")), QString());
    }

    void updateChangesOnlyTheCurrentRow()
    {
        TempShop shop;
        for (const char* name : {"Arroz", "Bebida", "Cebolla"})
            shop.addProduct({QString::number(shop.count(QStringLiteral("Productos")) + 1), name});
        RecordSet rs;
        rs.open(shop.db, q::kProductos);
        rs.moveNext();
        rs.setValue(QStringLiteral("Cantidad"), 5.5);
        rs.setValue(QStringLiteral("Categoria"), QStringLiteral("Bebidas"));
        rs.update();
        const QString byName = QStringLiteral(" from Productos order by NombreProducto");
        QCOMPARE(shop.column(QStringLiteral("select Cantidad") + byName),
                 QVariantList({10.0, 5.5, 10.0}));
        QCOMPARE(shop.column(QStringLiteral("select Categoria") + byName),
                 QVariantList({"General", "Bebidas", "General"}));
    }

    // Rows written in one batch land as a row's own statement leaves them, and keep their rowids.
    void batchLandsAsRowByRow_data()
    {
        QTest::addColumn<QString>("column");
        QTest::addColumn<QVariant>("value");
        QTest::newRow("quotes, backslashes") << "NombreProducto" << QVariant(QStringLiteral("\"Gran\" C:\\vino\\ O'Higgins"));
        QTest::newRow("control, accents, emoji") << "NombreProducto" << QVariant(QStringLiteral("a\tb\nñandú 😀\x01"));
        QTest::newRow("a double's last digit") << "Cantidad" << QVariant(0.1 + 0.2);
        QTest::newRow("a stamp") << "FechaVenta" << QVariant(QStringLiteral("09/03/2026 9:05:07"));
        QTest::newRow("null") << "TotalVenta" << QVariant();
    }
    void batchLandsAsRowByRow()
    {
        QFETCH(QString, column);
        QFETCH(QVariant, value);
        TempShop shop;
        RecordSet rs;
        rs.open(shop.db, q::kTemporalNuevas);
        for (const char* code : {"1", "2", "3"}) {
            rs.addNew();
            rs.setValue(QStringLiteral("CodigoProducto"), QString::fromLatin1(code));
            rs.setValue(column, value);
            if (*code == '1')
                rs.update();
        }
        rs.updateBatch();
        rs.setValue(QStringLiteral("CodigoProducto"), QStringLiteral("tres"));
        rs.update();
        QCOMPARE(shop.column(QStringLiteral("select CodigoProducto from Temporal order by rowid")),
                 (QVariantList{"1", "2", "tres"}));
        const QVariantList stored = shop.column(QStringLiteral("select %1 from Temporal").arg(column));
        QCOMPARE(stored, QVariantList(3, stored.first()));
    }

    void deleteWhileWalking()
    {
        TempShop shop;
        for (const char* code : {"1", "2", "1", "3", "1"})
            addTemporal(shop.db, QString::fromLatin1(code));
        RecordSet rs;
        for (rs.open(shop.db, q::kTemporal); !rs.eof(); rs.moveNext())
            if (rs.text(QStringLiteral("CodigoProducto")) == QLatin1String("1"))
                rs.deleteCurrent();
        QCOMPARE(shop.column(QStringLiteral("select CodigoProducto from Temporal")),
                 QVariantList({"2", "3"}));
        rs.moveFirst();
        QCOMPARE(rs.text(QStringLiteral("CodigoProducto")), QStringLiteral("2"));

        // The closing of the day: every row, first to last.
        for (rs.moveFirst(); !rs.eof(); rs.moveNext())
            rs.deleteCurrent();
        QCOMPARE(shop.count(QStringLiteral("Temporal")), 0);
        rs.moveLast();
        QVERIFY(rs.eof());
    }

    void numberTextFollowsLocale_data()
    {
        const QLocale chile(QLocale::Spanish, QLocale::Chile);
        QTest::addColumn<QLocale>("locale");
        QTest::addColumn<QString>("column");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<double>("stored");
        QTest::addColumn<QString>("readBack");
        QTest::newRow("comma decimal") << chile << "Cantidad" << "2,5" << true << 2.5 << "2,5";
        QTest::newRow("comma locale, point refused")
            << chile << "Cantidad" << "1.5" << false << 0.0 << "";
        QTest::newRow("point decimal")
            << QLocale::c() << "PrecioVenta" << "1234.25" << true << 1234.25 << "1234.25";
        QTest::newRow("point locale, comma refused")
            << QLocale::c() << "PrecioVenta" << "2,5" << false << 0.0 << "";
        QTest::newRow("letters refused") << chile << "PrecioCosto" << "doce" << false << 0.0 << "";
        QTest::newRow("whole column") << chile << "StockCritico" << "7" << true << 7.0 << "7";
    }
    void numberTextFollowsLocale()
    {
        QFETCH(QLocale, locale);
        QFETCH(QString, column);
        QFETCH(QString, typed);
        QFETCH(bool, ok);
        QFETCH(double, stored);
        QFETCH(QString, readBack);
        const LocaleGuard guard(locale);
        TempShop shop;
        shop.addProduct({QStringLiteral("1"), QStringLiteral("Pan")});
        const QString read = QStringLiteral("select %1 from Productos").arg(column);
        const QVariant before = shop.scalar(read);

        RecordSet rs;
        rs.open(shop.db, q::kProductos);
        if (!ok) {
            QVERIFY_THROWS_EXCEPTION(DbError, rs.setValue(column, typed));
            rs.update();
            QCOMPARE(shop.scalar(read), before);
            return;
        }
        rs.setValue(column, typed);
        rs.update();
        QCOMPARE(shop.scalar(read).toDouble(), stored);
        rs.open(shop.db, q::kProductos);
        QCOMPARE(rs.text(column), readBack);
    }

    void invalidTimestampRefused_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::newRow("no such day") << "31/02/2026 9:00:00";
        QTest::newRow("no such hour") << "09/03/2026 25:00:00";
        QTest::newRow("date only") << "09/03/2026";
        QTest::newRow("words") << "hoy";
    }
    void invalidTimestampRefused()
    {
        QFETCH(QString, typed);
        TempShop shop;
        addDay(shop.db, QStringLiteral("09/03/2026 9:05:07"));
        RecordSet rs;
        rs.open(shop.db, q::kTipoPago);
        QVERIFY_THROWS_EXCEPTION(DbError, rs.setValue(QStringLiteral("FechaCierre"), typed));
        rs.update();
        QVERIFY(shop.scalar(QStringLiteral("select FechaCierre from TipoPago")).isNull());
    }

    void boundValuesStayLiteral()
    {
        TempShop shop;
        const QString name = QStringLiteral("Vino O'Higgins 100% \"reserva\"");
        RecordSet rs;
        rs.open(shop.db, q::kProductos);
        rs.addNew();
        rs.setValue(QStringLiteral("CodigoProducto"), QStringLiteral("12"));
        rs.setValue(QStringLiteral("NombreProducto"), name);
        rs.update();
        QCOMPARE(shop.scalar(QStringLiteral("select NombreProducto from Productos")).toString(),
                 name);

        rs.open(shop.db, q::kProductoPorCodigo, {QStringLiteral("12")});
        QVERIFY(!rs.eof());
        QCOMPARE(rs.text(QStringLiteral("NombreProducto")), name);
        rs.open(shop.db, q::kProductoPorCodigo, {QStringLiteral("1%")});
        QVERIFY(rs.eof());
        rs.open(shop.db, q::kProductoPorCodigo, {QStringLiteral("12' or '1'='1")});
        QVERIFY(rs.eof());
    }

    void codeLookupIsTextEquality()
    {
        TempShop shop;
        shop.addProduct({QStringLiteral("7"), QStringLiteral("Siete")});
        RecordSet rs;
        rs.open(shop.db, q::kProductoPorCodigo, {QStringLiteral("007")});
        QVERIFY(rs.eof());
        rs.open(shop.db, q::kProductoPorCodigo, {QStringLiteral("7.0")});
        QVERIFY(rs.eof());

        shop.addProduct({QStringLiteral("007"), QStringLiteral("Agente")});
        rs.open(shop.db, q::kProductoPorCodigo, {QStringLiteral("007")});
        QCOMPARE(rs.text(QStringLiteral("NombreProducto")), QStringLiteral("Agente"));
        rs.moveNext();
        QVERIFY(rs.eof());
        rs.open(shop.db, q::kProductoPorCodigo, {QStringLiteral("7")});
        QCOMPARE(rs.text(QStringLiteral("NombreProducto")), QStringLiteral("Siete"));
    }

    void provokedWriteFailure()
    {
        TempShop shop;
        shop.faults->failAtWrite(2);
        addTemporal(shop.db, QStringLiteral("1"));
        QVERIFY_THROWS_EXCEPTION(DbError, addTemporal(shop.db, QStringLiteral("2")));
        addTemporal(shop.db, QStringLiteral("3")); // the failure fires once
        QCOMPARE(shop.column(QStringLiteral("select CodigoProducto from Temporal")),
                 QVariantList({"1", "3"}));

        // Inside a transaction the rows written before the failure are not kept either.
        shop.faults->failAtWrite(2);
        try {
            Transaction tx(shop.db);
            addTemporal(shop.db, QStringLiteral("4"));
            addTemporal(shop.db, QStringLiteral("5"));
            tx.commit();
            QFAIL("the second write should have failed");
        } catch (const DbError&) {
        }
        QVERIFY(!shop.db.inTransaction());
        QCOMPARE(shop.count(QStringLiteral("Temporal")), 2);
    }
};

QTEST_GUILESS_MAIN(TestRecordSet)
#include "test_recordset.moc"
