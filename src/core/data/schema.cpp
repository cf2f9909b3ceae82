// The tables of bd1: creating a new file, checking an existing one and bringing it up to date.
#include "data/schema.h"

#include "data/database.h"
#include "data/dialect.h"
#include "data/engine.h"
#include "data/file_engine.h"
#include "data/query.h"
#include "data/recordset.h"
#include "data/server_engine.h"
#include "users/passwords.h"

#include <QFile>

#include <sqlite3.h>

#include <algorithm>

namespace tarvino {

const std::vector<TableSpec>& tableSpecs()
{
    static const std::vector<TableSpec> specs = {
        {QStringLiteral("Productos"),
         {{"CodigoProducto", "TEXT"},
          {"NombreProducto", "TEXT"},
          {"Cantidad", "REAL"},
          {"PrecioCosto", "REAL"},
          {"PrecioVenta", "REAL"},
          {"StockCritico", "INTEGER"},
          {"Categoria", "TEXT"},
          {"ParteDeOferta", "INTEGER DEFAULT 0"}}},
        {QStringLiteral("Temporal"),
         {{"CodigoProducto", "TEXT"},
          {"NombreProducto", "TEXT"},
          {"Cantidad", "REAL"},
          {"TotalCosto", "REAL"},
          {"TotalVenta", "REAL"},
          {"TipoPago", "TEXT"},
          {"NombreUsuario", "TEXT"},
          {"Categoria", "TEXT"},
          {"FechaInicio", "DATETIME"},
          {"FechaVenta", "DATETIME"},
          {"ValorUnitario", "REAL"}}},
        {QStringLiteral("TipoPago"),
         {{"FechaInicio", "DATETIME"},
          {"efectivo", "REAL DEFAULT 0"},
          {"tarjeta", "REAL DEFAULT 0"},
          {"CajaInicial", "INTEGER"},
          {"FechaCierre", "DATETIME"}}},
        {QStringLiteral("Recaudacion"),
         {{"CodigoProducto", "TEXT"},
          {"NombreProducto", "TEXT"},
          {"Cantidad", "REAL"},
          {"TotalCosto", "REAL"},
          {"TotalVenta", "REAL"},
          {"TipoPago", "TEXT"},
          {"NombreUsuario", "TEXT"},
          {"Categoria", "TEXT"},
          {"FechaInicio", "DATETIME"},
          {"FechaVenta", "DATETIME"}}},
        {QStringLiteral("Usuarios"),
         {{"NombreUsuario", "TEXT"},
          {"Contraseña", "TEXT"},
          {"PermisoCruce", "REAL"},
          {"Nivel", "INTEGER"},
          {"permisoproductos", "INTEGER"},
          {"permisorecaudacion", "INTEGER"}}},
        {QStringLiteral("Existencias"), {{"Producto6", "REAL"}}, false},
        // The drawer's money, beside the day's tables: added by an upgrade, so a file or server
        // from before it gets them made when missing.
        {QStringLiteral("FondoCaja"),
         {{"FechaInicio", "DATETIME"},
          {"Monto", "REAL"},
          {"NombreUsuario", "TEXT"},
          {"FechaRegistro", "DATETIME"},
          {"FechaCierre", "DATETIME"}},
         true,
         true},
        {QStringLiteral("MovimientosCaja"),
         {{"FechaInicio", "DATETIME"},
          {"Fecha", "DATETIME"},
          {"Tipo", "TEXT"},
          {"Monto", "REAL"},
          {"Motivo", "TEXT"},
          {"NombreUsuario", "TEXT"},
          {"Autoriza", "TEXT"}},
         true,
         true},
        {QStringLiteral("ArqueosCaja"),
         {{"FechaInicio", "DATETIME"},
          {"FechaArqueo", "DATETIME"},
          {"NombreUsuario", "TEXT"},
          {"Fondo", "REAL"},
          {"Efectivo", "REAL"},
          {"Tarjeta", "REAL"},
          {"Ingresos", "REAL"},
          {"Retiros", "REAL"},
          {"Esperado", "REAL"},
          {"Contado", "REAL"},
          {"Diferencia", "REAL"},
          {"Detalle", "TEXT"}},
         true,
         true},
        {QStringLiteral("PagosVenta"),
         {{"FechaInicio", "DATETIME"},
          {"FechaVenta", "DATETIME"},
          {"NombreUsuario", "TEXT"},
          {"TipoPago", "TEXT"},
          {"Total", "REAL"},
          {"Efectivo", "REAL"},
          {"Tarjeta", "REAL"},
          {"Lineas", "INTEGER"}},
         true,
         true},
        {QStringLiteral("Ofertas"), {{"CodigoOferta", "TEXT"}, {"NombreOferta", "TEXT"}}, false},
        {QStringLiteral("Actualizacion"), {{"Codigo", "TEXT"}}, false},
    };
    return specs;
}

namespace {

// The administrator "admin" with password "admin", as every new database has it.
void addAdministrator(Database& db)
{
    Query(db,
          QStringLiteral("INSERT INTO Usuarios (NombreUsuario, Contraseña, PermisoCruce, Nivel, "
                         "permisoproductos, permisorecaudacion) VALUES ('admin', ?, 0, 1, 1, 1)"),
          {hashPassword(QStringLiteral("admin"))})
        .execute();
}

// The indexes of prepareDatabase, by name.
const std::pair<const char*, const char*> kIndexes[] = {
    {"idx_Productos_CodigoProducto", "Productos (CodigoProducto)"},
    {"idx_Productos_NombreProducto", "Productos (NombreProducto)"},
    {"idx_Productos_Categoria", "Productos (Categoria)"},
    {"idx_TipoPago_FechaInicio", "TipoPago (FechaInicio)"},
    {"idx_Recaudacion_FechaInicio", "Recaudacion (FechaInicio)"},
    {"idx_Usuarios_NombreUsuario", "Usuarios (NombreUsuario)"},
};

// The first column of every row of a read.
QStringList column0(Database& db, const QString& sql)
{
    QStringList values;
    Query rows(db, sql);
    while (rows.next())
        values << rows.text(0);
    return values;
}

// Every table of tableSpecs in the engine's types, the indexes when the engine makes them with
// the tables, the administrator, and the tables' version: the whole of a new database, on the
// file as on a server.
void makeTables(Database& db, int version)
{
    const Dialect& dialect = db.dialect();
    for (const TableSpec& table : tableSpecs()) {
        QList<std::pair<QString, QString>> columns;
        for (const ColumnSpec& column : table.columns)
            columns.append({column.name, column.type});
        for (const QString& sql : dialect.createTable(table.name, columns))
            db.execute(sql);
    }
    if (dialect.preparedAtCreation())
        for (const auto& [name, columns] : kIndexes)
            db.execute(QStringLiteral("CREATE INDEX %1 ON %2").arg(QLatin1String(name), QLatin1String(columns)));
    addAdministrator(db);
    db.execute(dialect.madeTables(version));
}

} // namespace

bool serverDatabaseEmpty(Database& db)
{
    const QString count = db.dialect().tablesCountRead();
    return !count.isEmpty() && column0(db, count).value(0).toInt() == 0;
}

void createServerSchema(Database& db)
{
    if (db.dialect().tablesCountRead().isEmpty())
        throw DbError(QStringLiteral("La base de datos «%1» no es la de un servidor.").arg(db.place()));
    try {
        Transaction tx(db);
        // Two tills started at once on an empty database both offer to make it: the second waits
        // here for the first, then finds the tables made and leaves them as they are.
        db.execute(QStringLiteral("select pg_advisory_xact_lock(hashtext('tarvino: tablas'))"));
        if (!serverDatabaseEmpty(db))
            return;
        makeTables(db, std::max({kRightsCarriedOver, kExactTillRules, kCashTables}));
        tx.commit();
        engineOf(db)->tablesMade();
    } catch (const DbError& e) {
        throw DbError(QStringLiteral("No se pudo crear la base de datos «%1»: %2").arg(db.place(), e.message()));
    }
}

const TableSpec* knownTable(const QString& name)
{
    for (const TableSpec& table : tableSpecs()) {
        if (table.name.compare(name, Qt::CaseInsensitive) == 0)
            return &table;
    }
    return nullptr;
}

void createDatabase(const QString& path, const QString& key)
{
    // Built under a temporary name and renamed at the end, so that a failure never leaves a
    // half-made bd1 that the next start would take for a shop's file.
    const QString partial = path + QStringLiteral(".nuevo");
    QFile::remove(partial);
    try {
        Database db;
        db.create(partial, key);
        Transaction tx(db);
        // A new file has nothing to carry over and every table.
        makeTables(db, kCashTables);
        tx.commit();
        db.close();
    } catch (const DbError& e) {
        QFile::remove(partial);
        throw DbError(QStringLiteral("No se pudo crear la base de datos «%1»: %2").arg(path, e.message()));
    }
    if (!QFile::rename(partial, path)) {
        QFile::remove(partial);
        throw DbError(QStringLiteral("No se pudo crear la base de datos «%1»: no se pudo escribir en la carpeta.")
                          .arg(path));
    }
}

namespace {

struct DeclaredColumn {
    QString name;
    QString type;
};

// The columns of a table with their declared types, as the file has them; none when the table
// does not exist.
std::vector<DeclaredColumn> declaredColumns(Database& db, const QString& table)
{
    std::vector<DeclaredColumn> columns;
    // Names the engine folded to lower case are spelled as the program's tables spell them.
    const TableSpec* known = db.dialect().foldsNames() ? knownTable(table) : nullptr;
    const auto spelled = [&](const QString& name) {
        if (known)
            for (const ColumnSpec& column : known->columns)
                if (column.name.compare(name, Qt::CaseInsensitive) == 0)
                    return column.name;
        return name;
    };
    Query rows(db, db.dialect().columnsRead(table));
    while (rows.next())
        columns.push_back({spelled(rows.text(1)), rows.text(2).trimmed()});
    return columns;
}

// How the engine stores values in a column of this declared type (its rules of type affinity):
// a number written into a TEXT column comes back as text, a code written into a NUMERIC one
// loses its leading zeros.
enum class Affinity { Integer, Text, Blob, Real, Numeric };

Affinity affinityOf(const QString& declared)
{
    const QString t = declared.toUpper();
    if (t.contains(QLatin1String("INT")))
        return Affinity::Integer;
    if (t.contains(QLatin1String("CHAR")) || t.contains(QLatin1String("CLOB")) ||
        t.contains(QLatin1String("TEXT")))
        return Affinity::Text;
    if (t.isEmpty() || t.contains(QLatin1String("BLOB")))
        return Affinity::Blob;
    if (t.contains(QLatin1String("REAL")) || t.contains(QLatin1String("FLOA")) ||
        t.contains(QLatin1String("DOUB")))
        return Affinity::Real;
    return Affinity::Numeric;
}

// A declared type behaves as the program's own when the engine stores values the same way and
// record sets convert them the same way (a DATETIME column reads and writes timestamps, any
// other does not). VARCHAR(40) for a name or DOUBLE for an amount is as good as TEXT or REAL;
// TEXT for a timestamp or for an amount is not.
bool behavesAs(const QString& declared, const QString& wanted)
{
    return affinityOf(declared) == affinityOf(wanted) &&
           kindOfDeclaredType(declared) == kindOfDeclaredType(wanted);
}

} // namespace

QStringList tableColumns(Database& db, const QString& table)
{
    QStringList names;
    for (const DeclaredColumn& column : declaredColumns(db, table))
        names << column.name;
    return names;
}

void checkSchema(Database& db)
{
    QStringList problems;
    for (const TableSpec& table : tableSpecs()) {
        if (!table.used)
            continue;
        const std::vector<DeclaredColumn> present = declaredColumns(db, table.name);
        if (present.empty() && table.upgrade)
            continue; // made by addMissingTables
        if (present.empty()) {
            problems << QStringLiteral("falta la tabla %1").arg(table.name);
            continue;
        }
        QStringList missing;
        for (const ColumnSpec& column : table.columns) {
            const QString wanted = column.type.section(QLatin1Char(' '), 0, 0);
            const auto found = std::find_if(present.begin(), present.end(), [&](const DeclaredColumn& c) {
                return c.name.compare(column.name, Qt::CaseInsensitive) == 0;
            });
            if (found == present.end()) {
                const bool upgradable = table.name == QLatin1String("Temporal") &&
                                        column.name == QLatin1String("ValorUnitario");
                if (!upgradable)
                    missing << column.name;
            } else if (!behavesAs(found->type, wanted)) {
                problems << QStringLiteral("en la tabla %1, la columna %2 %3 y debe ser de tipo %4")
                                .arg(table.name, found->name,
                                     found->type.isEmpty()
                                         ? QStringLiteral("no tiene tipo")
                                         : QStringLiteral("es de tipo %1").arg(found->type),
                                     wanted);
            }
        }
        if (!missing.isEmpty())
            problems << QStringLiteral("a la tabla %1 le falta %2 %3")
                            .arg(table.name,
                                 missing.size() == 1 ? QStringLiteral("la columna")
                                                     : QStringLiteral("las columnas"),
                                 missing.join(QStringLiteral(", ")));
    }
    if (!problems.isEmpty())
        throw DbError(QStringLiteral("La base de datos «%1» no sirve: %2.")
                          .arg(db.place(), problems.join(QStringLiteral("; "))),
                      DbError::Cause::Contents);
}

StructureVerdict checkStructure(Database& db)
{
    // A server checks its own storage; there is no file here to read page by page.
    sqlite3* file = fileConnection(db);
    if (!file)
        return {StructureVerdict::Outcome::Whole, {}};
    return checkStructure(file);
}

StructureVerdict checkStructure(sqlite3* connection)
{
    using Outcome = StructureVerdict::Outcome;
    sqlite3_stmt* stmt = nullptr;
    int rc = sqlite3_prepare_v2(connection, "PRAGMA quick_check", -1, &stmt, nullptr);
    QString firstFault;
    if (rc == SQLITE_OK) {
        rc = sqlite3_step(stmt);
        if (rc == SQLITE_ROW)
            firstFault =
                QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0)));
    }
    sqlite3_finalize(stmt);
    if (rc == SQLITE_ROW)
        return firstFault == QLatin1String("ok") ? StructureVerdict{Outcome::Whole, {}}
                                                 : StructureVerdict{Outcome::Damaged, firstFault};
    const int primary = rc & 0xff;
    const QString cause = Database::causeText(rc, sqlite3_system_errno(connection));
    // A page that cannot be read back is as lost as a damaged one.
    if (primary == SQLITE_CORRUPT || primary == SQLITE_NOTADB || primary == SQLITE_IOERR)
        return {Outcome::Damaged, cause};
    return {Outcome::NotChecked, cause};
}

BackgroundStructureCheck::BackgroundStructureCheck(const QString& path, const QString& key,
                                                   std::function<void()> finished)
    : m_onFinished(std::move(finished))
{
    m_thread = std::thread([this, path, key] { run(path, key); });
}

BackgroundStructureCheck::~BackgroundStructureCheck()
{
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
        if (m_connection && !m_finished)
            sqlite3_interrupt(m_connection);
    }
    m_thread.join();
    sqlite3_close(m_connection);
}

StructureVerdict BackgroundStructureCheck::wait()
{
    std::unique_lock lock(m_mutex);
    m_done.wait(lock, [this] { return m_finished; });
    return m_verdict;
}

void BackgroundStructureCheck::run(const QString& path, const QString& key)
{
    using Outcome = StructureVerdict::Outcome;
    StructureVerdict verdict;
    sqlite3* connection = nullptr;
    int rc = sqlite3_open_v2(path.toUtf8().constData(), &connection, SQLITE_OPEN_READONLY, nullptr);
    if (rc == SQLITE_OK) {
        QString quoted = key;
        quoted.replace(QLatin1Char('\''), QStringLiteral("''"));
        rc = sqlite3_exec(connection,
                          QStringLiteral("PRAGMA key = '%1';").arg(quoted).toUtf8().constData(),
                          nullptr, nullptr, nullptr);
    }
    if (rc == SQLITE_OK) {
        sqlite3_busy_timeout(connection, 5000);
        // A small cache: every page is read once.
        sqlite3_exec(connection, "PRAGMA cache_size = -2000", nullptr, nullptr, nullptr);
        bool stopping;
        {
            std::lock_guard lock(m_mutex);
            m_connection = connection;
            stopping = m_stopping;
        }
        if (!stopping)
            verdict = checkStructure(connection);
    } else {
        verdict = {Outcome::NotChecked,
                   Database::causeText(rc, connection ? sqlite3_system_errno(connection) : 0)};
    }
    {
        std::lock_guard lock(m_mutex);
        if (verdict.outcome != Outcome::Damaged || !m_connection) {
            sqlite3_close(connection);
            m_connection = nullptr;
        }
        m_verdict = verdict;
        m_finished = true;
    }
    m_done.notify_all();
    if (m_onFinished)
        m_onFinished();
}

void prepareDatabase(Database& db)
{
    for (const QString& setting : db.dialect().connectionSettings())
        db.execute(setting);
    // A server's database is made whole by createServerSchema.
    if (db.dialect().preparedAtCreation())
        return;

    // What changes the file goes through stepWrite, which holds every write of a run until the
    // file's structure is known to be whole; a file already prepared is not written to at all.
    if (column0(db, QStringLiteral("PRAGMA journal_mode"))
            .value(0)
            .compare(QLatin1String("wal"), Qt::CaseInsensitive) != 0)
        Query(db, QStringLiteral("PRAGMA journal_mode = WAL")).execute();
    const QStringList present =
        column0(db, QStringLiteral("select name from sqlite_master where type = 'index'"));
    for (const auto& [name, columns] : kIndexes) {
        if (!present.contains(QLatin1String(name)))
            Query(db, QStringLiteral("CREATE INDEX IF NOT EXISTS %1 ON %2")
                          .arg(QLatin1String(name), QLatin1String(columns)))
                .execute();
    }
    carryOverRights(db);
    addMissingTables(db);
}

void addMissingTables(Database& db)
{
    const auto missing = [&] {
        std::vector<const TableSpec*> tables;
        for (const TableSpec& table : tableSpecs())
            if (table.upgrade && declaredColumns(db, table.name).empty())
                tables.push_back(&table);
        return tables;
    };
    if (missing().empty())
        return;
    try {
        Transaction tx(db);
        for (const TableSpec* table : missing()) {
            QList<std::pair<QString, QString>> columns;
            for (const ColumnSpec& column : table->columns)
                columns.append({column.name, column.type});
            for (const QString& sql : db.dialect().createTable(table->name, columns))
                db.execute(sql);
        }
        if (column0(db, db.dialect().versionRead()).value(0).toInt() < kCashTables)
            db.execute(db.dialect().versionWrite(kCashTables));
        tx.commit();
    } catch (const DbError& e) {
        throw DbError(QStringLiteral("No se pudieron agregar a la base de datos «%1» las tablas de "
                                     "la caja: %2")
                          .arg(db.place(), e.message()));
    }
}

void carryOverRights(Database& db)
{
    if (column0(db, db.dialect().versionRead()).value(0).toInt() >= kRightsCarriedOver)
        return;
    // Before rights were applied every user reached every menu, and the program left the three
    // columns empty. Such a user keeps every menu; a user whose columns hold anything was given
    // rights on purpose and keeps exactly those. The mark is in the same transaction: the
    // carrying over happens once, whole or not at all, and users made later start with none.
    Transaction tx(db);
    const auto empty = [](const char* column) {
        return QStringLiteral("(%1 IS NULL OR %1 = '')").arg(QLatin1String(column));
    };
    Query(db, QStringLiteral("UPDATE Usuarios SET Nivel = 1, permisoproductos = 1, "
                             "permisorecaudacion = 1 WHERE %1 AND %2 AND %3")
                  .arg(empty("Nivel"), empty("permisoproductos"), empty("permisorecaudacion")))
        .execute();
    Query(db, db.dialect().versionWrite(kRightsCarriedOver)).execute();
    tx.commit();
}

void actualizarTemporal(Database& db)
{
    const QStringList present = tableColumns(db, QStringLiteral("Temporal"));
    // A table with any count other than 11 lacks ValorUnitario; adding it twice would fail, so a
    // table that already has it is left alone.
    if (present.size() != 11 && !present.contains(QStringLiteral("ValorUnitario"), Qt::CaseInsensitive))
        Query(db, QStringLiteral("ALTER TABLE Temporal ADD COLUMN ValorUnitario REAL")).execute();
}

} // namespace tarvino
