// The tables of bd1: a new file, a file made by the sqlcipher shell, the Temporal upgrade, and
// files that cannot be used, which must be refused with a clear message and left untouched.
#include "data/database.h"
#include "data/queries.h"
#include "data/recordset.h"
#include "data/schema.h"
#include "support/temp_shop.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <sqlite3.h>

using namespace tarvino;
using namespace tarvino::test;

namespace {

QString columnText(sqlite3_stmt* stmt, int i)
{
    return QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(stmt, i)));
}

// "name TYPE" of every column of a table, as the file declares them.
QStringList declaredColumns(Database& db, const QString& table)
{
    QStringList columns;
    sqlite3_stmt* stmt = db.statement(QStringLiteral("PRAGMA table_info(%1)").arg(table));
    while (sqlite3_step(stmt) == SQLITE_ROW)
        columns << columnText(stmt, 1) + QLatin1Char(' ') + columnText(stmt, 2);
    sqlite3_reset(stmt);
    return columns;
}

QByteArray fileHash(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256);
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

// The message of the DbError that f throws, or an empty text when it throws none.
template <typename F>
QString errorOf(F&& f)
{
    try {
        f();
    } catch (const DbError& e) {
        return e.message();
    }
    return {};
}

} // namespace

class TestSchema : public QObject {
    Q_OBJECT

    bool m_haveShell = false;

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
        QCOMPARE(shop.column(QStringLiteral(
                     "select NombreUsuario || '/' || \"Contraseña\" from Usuarios")),
                 QVariantList({"admin/admin"}));
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
            sqlite3_stmt* stmt = db.statement(sql);
            QString value;
            if (sqlite3_step(stmt) == SQLITE_ROW)
                value = columnText(stmt, 0);
            sqlite3_reset(stmt);
            return value;
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
        rs.open(shop.db, queries::kTemporal);
        rs.close();

        tarvino::actualizarTemporal(shop.db);
        tarvino::actualizarTemporal(shop.db);
        QCOMPARE(tableColumns(shop.db, QStringLiteral("Temporal")),
                 old ? before + QStringList{QStringLiteral("ValorUnitario")} : before);

        rs.open(shop.db, queries::kTemporal);
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
            if (QFileInfo(path).isReadable())
                QSKIP("running with rights that read any file");
        }
        const QByteArray before = fileHash(path);

        Database db;
        const QString message = errorOf([&] { db.open(path); });
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
