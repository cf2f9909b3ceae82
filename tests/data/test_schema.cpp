// The tables of bd1: a new file, a file made by the sqlcipher shell, the Temporal upgrade, and
// files that cannot be used, which must be refused with a clear message and left untouched.
#include "data/database.h"
#include "data/recordset.h"
#include "data/schema.h"
#include "sales/recording.h"
#include "sales/sales_day.h"
#include "support/temp_shop.h"
#include "users/passwords.h"
#include "support/without_override_rights.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QLocale>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include "data/query.h"

#include <algorithm>
#include <optional>

using namespace tarvino;
using namespace tarvino::test;

// The record sets this file opens, by their query texts.
namespace q {
const QString kProductos = QStringLiteral("select * from Productos order by NombreProducto");
const QString kTemporal = QStringLiteral("select * from Temporal");
} // namespace q

namespace {

// "name TYPE" of every column of a table, as the file declares them.
QStringList declaredColumns(Database& db, const QString& table)
{
    QStringList columns;
    Query rows(db, QStringLiteral("PRAGMA table_info(%1)").arg(table));
    while (rows.next())
        columns << rows.text(1) + QLatin1Char(' ') + rows.text(2);
    return columns;
}

// Feeds a script to the sqlcipher shell on the file; returns what it printed, errors included.
QString runShell(const QString& path, const QString& script)
{
    QProcess shell;
    shell.setProcessChannelMode(QProcess::MergedChannels);
    shell.start(QStringLiteral("sqlcipher"), {path});
    if (!shell.waitForStarted())
        return QStringLiteral("<no se pudo iniciar sqlcipher>");
    shell.write(script.toUtf8());
    shell.closeWriteChannel();
    shell.waitForFinished();
    return QString::fromUtf8(shell.readAll());
}

const QString kShellKey = QStringLiteral("PRAGMA key='QmK482';\n");

// The tables in use as another tool would make them: no defaults, no indexes, and a Temporal from
// before ValorUnitario existed.
const QString kShellTables = QStringLiteral(
    "CREATE TABLE Productos (CodigoProducto TEXT, NombreProducto TEXT, Cantidad REAL,"
    " PrecioCosto REAL, PrecioVenta REAL, StockCritico INTEGER, Categoria TEXT,"
    " ParteDeOferta INTEGER);\n"
    "CREATE TABLE Temporal (CodigoProducto TEXT, NombreProducto TEXT, Cantidad REAL,"
    " TotalCosto REAL, TotalVenta REAL, TipoPago TEXT, NombreUsuario TEXT, Categoria TEXT,"
    " FechaInicio DATETIME, FechaVenta DATETIME);\n"
    "CREATE TABLE TipoPago (FechaInicio DATETIME, efectivo REAL, tarjeta REAL, CajaInicial INTEGER,"
    " FechaCierre DATETIME);\n"
    "CREATE TABLE Recaudacion (CodigoProducto TEXT, NombreProducto TEXT, Cantidad REAL,"
    " TotalCosto REAL, TotalVenta REAL, TipoPago TEXT, NombreUsuario TEXT, Categoria TEXT,"
    " FechaInicio DATETIME, FechaVenta DATETIME);\n"
    "CREATE TABLE Usuarios (NombreUsuario TEXT, \"Contraseña\" TEXT, PermisoCruce REAL,"
    " Nivel INTEGER, permisoproductos INTEGER, permisorecaudacion INTEGER);\n"
    "INSERT INTO Usuarios VALUES ('admin', 'admin', 0, 1, 1, 1);\n");

// Makes table again with one column declared as type, the others as the program declares them.
void redeclare(Database& db, const QString& table, const QString& column, const QString& type)
{
    const auto declared = std::find_if(tableSpecs().begin(), tableSpecs().end(),
                                   [&](const TableSpec& t) { return t.name == table; });
    QStringList columns;
    for (const ColumnSpec& c : declared->columns)
        columns << QStringLiteral("\"%1\" %2").arg(c.name, c.name == column ? type : c.type);
    db.execute(QStringLiteral("DROP TABLE \"%1\"; CREATE TABLE \"%1\" (%2)").arg(table, columns.join(", ")));
}

// Every row of every table with each value as the engine quotes it, so that the text '1500',
// the integer 1500 and the real 1500.0 all read differently.
QString quotedDump(Database& db)
{
    QString all;
    for (const TableSpec& table : tableSpecs()) {
        QStringList quoted;
        // A password is hashed with a salt of its own in each file: only its presence compares.
        for (const ColumnSpec& c : table.columns)
            quoted << (c.name == QStringLiteral("Contraseña") ? QStringLiteral("(\"%1\" <> '')")
                                                              : QStringLiteral("quote(\"%1\")"))
                          .arg(c.name);
        Query rows(db, QStringLiteral("select %1 from \"%2\" order by rowid")
                           .arg(quoted.join(QStringLiteral(" || '|' || ")), table.name));
        all += table.name + QLatin1Char('\n');
        while (rows.next())
            all += rows.text(0) + QLatin1Char('\n');
    }
    return all;
}

// A day of the shop: a product with a code that starts with zeros, two sales of the same day a
// minute apart (cash, then card), and the closing of the day.
void runADay(TempShop& shop)
{
    shop.addProduct({QStringLiteral("00779"), QStringLiteral("Leche"), 10, 800.5, 1200, 2,
                     QStringLiteral("Lácteos")});
    const QString stamp = QStringLiteral("09/03/2026 9:05:07");
    const SaleLines lines = {{QStringLiteral("1"), QStringLiteral("00779"), QStringLiteral("Leche"),
                              QStringLiteral("2"), QStringLiteral("800.5"), QStringLiteral("1601"),
                              QStringLiteral("1200"), QStringLiteral("2400"), QStringLiteral("1"),
                              QStringLiteral("Lácteos")}};
    shop.clock.advance(60);
    recordSale(shop.db, shop.clock, {lines, stamp, QStringLiteral("admin"), QStringLiteral("2400"),
                                     QStringLiteral("EFECTIVO")});
    shop.clock.advance(60);
    recordSale(shop.db, shop.clock, {lines, stamp, QStringLiteral("admin"), QStringLiteral("2400"),
                                     QStringLiteral("TARJETA")});
    shop.clock.advance(60);
    cierreDelDia(shop.db, shop.clock, stamp);
}

} // namespace

class TestSchema : public QObject {
    Q_OBJECT

    bool m_haveShell = false;
    QString m_ownDay; // a day run on a file with the program's own declarations

private slots:
    void initTestCase()
    {
        m_haveShell = !QStandardPaths::findExecutable(QStringLiteral("sqlcipher")).isEmpty();
    }

    void newFileHasEveryTableAndAdmin()
    {
        TempShop shop;
        QStringList names;
        for (const TableSpec& table : tableSpecs()) {
            names << table.name;
            QStringList expected;
            for (const ColumnSpec& column : table.columns)
                expected << column.name + QLatin1Char(' ') + column.type.section(' ', 0, 0);
            QCOMPARE(declaredColumns(shop.db, table.name), expected);
        }
        names.sort();
        QVariantList expectedTables;
        for (const QString& name : std::as_const(names))
            expectedTables << name;
        QCOMPARE(shop.column(QStringLiteral(
                     "select name from sqlite_master where type='table' order by name")),
                 expectedTables);
        QCOMPARE(shop.column(QStringLiteral("select NombreUsuario || Nivel || permisoproductos || "
                                            "permisorecaudacion from Usuarios")),
                 QVariantList({"admin111"}));
        // Its first password is kept as a hash, never in clear.
        const QString password = shop.scalar(QStringLiteral("select \"Contraseña\" from Usuarios")).toString();
        QVERIFY(isPasswordHash(password) && passwordMatches(password, QStringLiteral("admin")));
        QVERIFY(!QFile::exists(shop.dbPath() + QStringLiteral(".nuevo")));
    }

    void newFileOpensInTheShellWithTheKeyOnly()
    {
        if (!m_haveShell)
            QSKIP("sqlcipher shell not installed");
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("bd1"));
        createDatabase(path, kDatabaseKey);
        const QString query = QStringLiteral("select NombreUsuario from Usuarios;\n");
        QVERIFY2(runShell(path, kShellKey + query).contains(QLatin1String("admin")), "right key");
        const QString wrong = runShell(path, QStringLiteral("PRAGMA key='QmK483';\n") + query);
        QVERIFY2(!wrong.contains(QLatin1String("admin")), qPrintable(wrong));
        QVERIFY(!runShell(path, query).contains(QLatin1String("admin")));
    }

    void shellMadeFileIsAcceptedAndPrepared()
    {
        if (!m_haveShell)
            QSKIP("sqlcipher shell not installed");
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("bd1"));
        QCOMPARE(runShell(path, kShellKey + kShellTables), QString()); // no error printed
        Database db;
        db.open(path);
        checkSchema(db);
        prepareDatabase(db);
        prepareDatabase(db); // a second start finds everything in place

        const auto first = [&](const QString& sql) {
            Query rows(db, sql);
            return rows.next() ? rows.text(0) : QString();
        };
        for (const auto& [table, column] : {std::pair{"Productos", "CodigoProducto"},
                                            std::pair{"Productos", "NombreProducto"},
                                            std::pair{"TipoPago", "FechaInicio"}})
            QVERIFY2(first(QStringLiteral("select count(*) from sqlite_master where type='index'"
                                          " and tbl_name='%1' and sql like '%(%2)%'")
                               .arg(table, column)) == QLatin1String("1"),
                     column);
        QCOMPARE(first(QStringLiteral("PRAGMA journal_mode")), QStringLiteral("wal"));
        db.close();
        QVERIFY(runShell(path, kShellKey + QStringLiteral("select NombreUsuario from Usuarios;\n"))
                    .contains(QLatin1String("admin")));
    }

    // A file from before rights were applied (user_version 0): users with all three columns
    // empty keep every menu, users with anything in them keep exactly that, all or nothing, and
    // only once; a user made afterwards with empty columns gets no right from it.
    void rightsCarriedOverOnce_data()
    {
        QTest::addColumn<int>("failAt"); // the write that fails on the first try; 0 for none
        QTest::newRow("no failure") << 0;
        QTest::newRow("update fails") << 1;
        QTest::newRow("mark fails") << 2;
        QTest::newRow("commit fails") << 3;
    }
    void rightsCarriedOverOnce()
    {
        QFETCH(int, failAt);
        TempShop shop;
        shop.db.execute(QStringLiteral(
            "PRAGMA user_version = 0;"
            "update Usuarios set Nivel = NULL, permisoproductos = NULL, permisorecaudacion = NULL;"
            "insert into Usuarios values ('ana', 'a', 0, NULL, NULL, NULL);"
            "insert into Usuarios values ('beto', 'b', 0, '', '', '');"
            "insert into Usuarios values ('caro', 'c', 0, 'x', NULL, 2);"
            "insert into Usuarios values ('dani', 'd', 0, 0, 0, 0);"
            "insert into Usuarios values ('eva', 'e', 0, NULL, 1, NULL);"));
        const auto rights = [&] {
            return shop.column(QStringLiteral(
                "select NombreUsuario || ':' || quote(Nivel) || quote(permisoproductos) || "
                "quote(permisorecaudacion) from Usuarios order by rowid"));
        };
        const QVariantList before = rights();
        if (failAt) {
            shop.faults->failAtWrite(failAt);
            QVERIFY_THROWS_EXCEPTION(DbError, prepareDatabase(shop.db));
            QCOMPARE(rights(), before);
            QCOMPARE(shop.scalar(QStringLiteral("PRAGMA user_version")).toInt(), 0);
        }
        prepareDatabase(shop.db);
        const QVariantList after{"admin:111", "ana:111", "beto:111", "caro:'x'NULL2",
                                 "dani:000", "eva:NULL1NULL"};
        QCOMPARE(rights(), after);
        QCOMPARE(shop.scalar(QStringLiteral("PRAGMA user_version")).toInt(), kRightsCarriedOver);

        shop.db.execute(QStringLiteral("insert into Usuarios values ('fede', 'f', 0, NULL, NULL, NULL)"));
        shop.db.reopen();
        prepareDatabase(shop.db);
        QCOMPARE(rights().last().toString(), QStringLiteral("fede:NULLNULLNULL"));
    }

    void actualizarTemporal_data()
    {
        QTest::addColumn<bool>("old");
        QTest::newRow("10 columns gain ValorUnitario") << true;
        QTest::newRow("11 columns stay") << false;
    }
    void actualizarTemporal()
    {
        QFETCH(bool, old);
        TempShop shop;
        if (old) {
            shop.db.execute(QStringLiteral(
                "DROP TABLE Temporal; CREATE TABLE Temporal (CodigoProducto TEXT, NombreProducto"
                " TEXT, Cantidad REAL, TotalCosto REAL, TotalVenta REAL, TipoPago TEXT,"
                " NombreUsuario TEXT, Categoria TEXT, FechaInicio DATETIME, FechaVenta DATETIME)"));
        }
        const QStringList before = tableColumns(shop.db, QStringLiteral("Temporal"));
        QCOMPARE(before.size(), old ? 10 : 11);
        // A record set opened before the upgrade must not leave the old column list behind.
        RecordSet rs;
        rs.open(shop.db, q::kTemporal);
        rs.close();

        tarvino::actualizarTemporal(shop.db);
        tarvino::actualizarTemporal(shop.db);
        QCOMPARE(tableColumns(shop.db, QStringLiteral("Temporal")),
                 old ? before + QStringList{QStringLiteral("ValorUnitario")} : before);

        rs.open(shop.db, q::kTemporal);
        QCOMPARE(rs.columns(), tableColumns(shop.db, QStringLiteral("Temporal")));
        rs.addNew();
        rs.setValue(QStringLiteral("ValorUnitario"), 1500.0);
        rs.update();
        QCOMPARE(shop.scalar(QStringLiteral("select ValorUnitario from Temporal")),
                 QVariant(1500.0));
    }

    void checkSchemaNamesWhatIsMissing_data()
    {
        QTest::addColumn<QString>("change");
        QTest::addColumn<QStringList>("named");
        QTest::newRow("table") << "DROP TABLE TipoPago" << QStringList{"TipoPago"};
        QTest::newRow("column")
            << "DROP TABLE Productos; CREATE TABLE Productos (CodigoProducto TEXT, NombreProducto"
               " TEXT, Cantidad REAL, PrecioCosto REAL, StockCritico INTEGER, Categoria TEXT,"
               " ParteDeOferta INTEGER)"
            << QStringList{"Productos", "PrecioVenta"};
        QTest::newRow("Temporal column other than ValorUnitario")
            << "DROP TABLE Temporal; CREATE TABLE Temporal (CodigoProducto TEXT, NombreProducto"
               " TEXT, Cantidad REAL, TotalCosto REAL, TotalVenta REAL, TipoPago TEXT,"
               " NombreUsuario TEXT, Categoria TEXT, FechaInicio DATETIME, ValorUnitario REAL)"
            << QStringList{"Temporal", "FechaVenta"};
    }
    void checkSchemaNamesWhatIsMissing()
    {
        QFETCH(QString, change);
        QFETCH(QStringList, named);
        TempShop shop;
        shop.db.execute(change);
        shop.db.close();
        const QByteArray before = fileHash(shop.dbPath());

        Database db;
        db.open(shop.dbPath());
        const QString message = errorOf([&] { checkSchema(db); });
        db.close();
        QVERIFY2(message.contains(shop.dbPath()), qPrintable(message));
        for (const QString& name : std::as_const(named))
            QVERIFY2(message.contains(name), qPrintable(message));
        QCOMPARE(fileHash(shop.dbPath()), before);
    }

    // Declared types that store or convert values otherwise than the program's own are refused
    // at start, naming each one; the file is left as it was.
    void checkSchemaRefusesTypesThatBehaveOtherwise_data()
    {
        QTest::addColumn<QString>("table");
        QTest::addColumn<QString>("column");
        QTest::addColumn<QString>("type");
        QTest::addColumn<QString>("named");
        const auto row = [](const char* name, const char* table, const char* column, const char* type,
                            const char* named) {
            QTest::newRow(name) << table << column << type << QString::fromUtf8(named);
        };
        // Stamps stored as typed, not as ISO text: a day's second sale finds no day row.
        row("day stamp TEXT", "TipoPago", "FechaInicio", "TEXT",
            "en la tabla TipoPago, la columna FechaInicio es de tipo TEXT y debe ser de tipo DATETIME");
        row("sale stamp VARCHAR", "Temporal", "FechaVenta", "VARCHAR(20)",
            "la columna FechaVenta es de tipo VARCHAR(20) y debe ser de tipo DATETIME");
        row("history stamp INTEGER", "Recaudacion", "FechaInicio", "INTEGER",
            "la columna FechaInicio es de tipo INTEGER y debe ser de tipo DATETIME");
        // Amounts kept as text sort and add up as text.
        row("price TEXT", "Productos", "PrecioVenta", "TEXT",
            "en la tabla Productos, la columna PrecioVenta es de tipo TEXT y debe ser de tipo REAL");
        row("takings NUMERIC", "TipoPago", "efectivo", "NUMERIC",
            "la columna efectivo es de tipo NUMERIC y debe ser de tipo REAL");
        row("unit price TEXT", "Temporal", "ValorUnitario", "TEXT",
            "la columna ValorUnitario es de tipo TEXT y debe ser de tipo REAL");
        row("critical stock REAL", "Productos", "StockCritico", "REAL",
            "la columna StockCritico es de tipo REAL y debe ser de tipo INTEGER");
        // A NUMERIC code loses its leading zeros.
        row("code STRING", "Productos", "CodigoProducto", "STRING",
            "la columna CodigoProducto es de tipo STRING y debe ser de tipo TEXT");
        row("receipt setting without type", "Usuarios", "PermisoCruce", "",
            "en la tabla Usuarios, la columna PermisoCruce no tiene tipo y debe ser de tipo REAL");
        row("date as a stamp", "TipoPago", "FechaCierre", "DATE TEXT",
            "la columna FechaCierre es de tipo DATE TEXT y debe ser de tipo DATETIME");
    }
    void checkSchemaRefusesTypesThatBehaveOtherwise()
    {
        QFETCH(QString, table);
        QFETCH(QString, column);
        QFETCH(QString, type);
        QFETCH(QString, named);
        TempShop shop;
        redeclare(shop.db, table, column, type);
        shop.db.close();
        const QByteArray before = fileHash(shop.dbPath());

        Database db;
        db.open(shop.dbPath());
        const QString message = errorOf([&] { checkSchema(db); });
        db.close();
        QVERIFY2(message.startsWith(QStringLiteral("La base de datos «%1» no sirve: ").arg(shop.dbPath())),
                 qPrintable(message));
        QVERIFY2(message.contains(named), qPrintable(message));
        QCOMPARE(fileHash(shop.dbPath()), before);
    }

    void checkSchemaNamesEveryWrongColumnAtOnce()
    {
        TempShop shop;
        redeclare(shop.db, QStringLiteral("TipoPago"), QStringLiteral("FechaCierre"), QStringLiteral("TEXT"));
        shop.db.execute(QStringLiteral("DROP TABLE Usuarios"));
        const QString message = errorOf([&] { checkSchema(shop.db); });
        QCOMPARE(message, QStringLiteral("La base de datos «%1» no sirve: en la tabla TipoPago, la "
                                         "columna FechaCierre es de tipo TEXT y debe ser de tipo "
                                         "DATETIME; falta la tabla Usuarios.")
                              .arg(shop.dbPath()));
    }

    // Other spellings of the same types are accepted, and a day of sales leaves exactly the same
    // values in the file as with the program's own declarations.
    void typesThatBehaveAlikeWorkAlike_data()
    {
        QTest::addColumn<QString>("table");
        QTest::addColumn<QString>("column");
        QTest::addColumn<QString>("type");
        QTest::newRow("name VARCHAR(40)") << "Productos" << "NombreProducto" << "VARCHAR(40)";
        QTest::newRow("code CHAR(15)") << "Productos" << "CodigoProducto" << "CHAR(15)";
        QTest::newRow("stock DOUBLE") << "Productos" << "Cantidad" << "DOUBLE";
        QTest::newRow("critical stock SMALLINT") << "Productos" << "StockCritico" << "SMALLINT";
        QTest::newRow("day stamp TIMESTAMP") << "TipoPago" << "FechaInicio" << "TIMESTAMP";
        QTest::newRow("closing stamp lower case") << "TipoPago" << "FechaCierre" << "datetime";
        QTest::newRow("takings FLOAT") << "TipoPago" << "efectivo" << "FLOAT";
        QTest::newRow("sale stamp DATE") << "Temporal" << "FechaVenta" << "DATE";
        QTest::newRow("history amount DOUBLE PRECISION")
            << "Recaudacion" << "TotalVenta" << "DOUBLE PRECISION";
    }
    void typesThatBehaveAlikeWorkAlike()
    {
        QFETCH(QString, table);
        QFETCH(QString, column);
        QFETCH(QString, type);
        QLocale::setDefault(QLocale::c());
        if (m_ownDay.isEmpty()) {
            TempShop own;
            runADay(own);
            m_ownDay = quotedDump(own.db);
        }

        TempShop other;
        redeclare(other.db, table, column, type);
        checkSchema(other.db);
        prepareDatabase(other.db);
        runADay(other);

        QCOMPARE(other.count(QStringLiteral("TipoPago")), 1);
        QCOMPARE(quotedDump(other.db), m_ownDay);
    }

    // After closing, bd1 alone holds every change: a copy taken without the journal beside it
    // has them all, also when another connection was still open at the closing.
    void closedFileIsWholeWithoutItsJournal_data()
    {
        QTest::addColumn<bool>("otherConnection");
        QTest::newRow("only connection") << false;
        QTest::newRow("another connection open") << true;
    }
    void closedFileIsWholeWithoutItsJournal()
    {
        QFETCH(bool, otherConnection);
        TempShop shop;
        QCOMPARE(shop.scalar(QStringLiteral("PRAGMA journal_mode")), QVariant(QStringLiteral("wal")));
        Database other;
        if (otherConnection)
            other.open(shop.dbPath());
        Transaction tx(shop.db);
        for (int i = 0; i < 300; ++i)
            shop.addProduct({QString::number(i), QStringLiteral("Producto %1").arg(i)});
        tx.commit();
        QVERIFY(QFileInfo(shop.dbPath() + QStringLiteral("-wal")).size() > 0);
        shop.db.close();

        QTemporaryDir copyDir;
        const QString copy = copyDir.filePath(QStringLiteral("bd1"));
        QVERIFY(QFile::copy(shop.dbPath(), copy));
        Database db;
        db.open(copy);
        RecordSet rs;
        rs.open(db, q::kProductos);
        int rows = 0;
        for (; !rs.eof(); rs.moveNext())
            ++rows;
        QCOMPARE(rows, 300);
        rs.close();
        db.close();
        if (m_haveShell)
            QVERIFY(runShell(copy, kShellKey + QStringLiteral("select count(*) from Productos;\n"))
                        .contains(QLatin1String("300")));
    }

    void openRefusesUnusableFiles_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("cause");
        QTest::newRow("plain file") << "plain" << "no es una base de datos";
        QTest::newRow("wrong key") << "key" << "la contraseña no corresponde";
        QTest::newRow("missing") << "missing" << "no existe";
        QTest::newRow("unreadable") << "unreadable" << "permiso";
    }
    void openRefusesUnusableFiles()
    {
        QFETCH(QString, kind);
        QFETCH(QString, cause);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("bd1"));
        if (kind == QLatin1String("plain")) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(QByteArray("Lista de precios\n").repeated(400));
        } else if (kind == QLatin1String("key")) {
            createDatabase(path, QStringLiteral("otra"));
        } else if (kind == QLatin1String("unreadable")) {
            createDatabase(path, kDatabaseKey);
            QFile::setPermissions(path, QFileDevice::Permissions());
        }
        const QByteArray before = fileHash(path);

        Database db;
        std::optional<WithoutOverrideRights> ordinaryUser;
        if (kind == QLatin1String("unreadable")) {
            ordinaryUser.emplace();
            if (!ordinaryUser->active()) {
                QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
                QSKIP("cannot give up the rights of root here");
            }
        }
        const QString message = errorOf([&] { db.open(path); });
        ordinaryUser.reset();
        QVERIFY(!db.isOpen());
        QVERIFY2(message.contains(path), qPrintable(message));
        QVERIFY2(message.contains(cause), qPrintable(message));
        QCOMPARE(fileHash(path), before);
        QCOMPARE(QFile::exists(path), kind != QLatin1String("missing"));
        QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    }
};

QTEST_GUILESS_MAIN(TestSchema)
#include "test_schema.moc"
