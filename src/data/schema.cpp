// The tables of bd1: creating a new file, checking an existing one and bringing it up to date.
#include "data/schema.h"

#include "data/database.h"

#include <QFile>

#include <sqlite3.h>

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
        {QStringLiteral("Ofertas"), {{"CodigoOferta", "TEXT"}, {"NombreOferta", "TEXT"}}, false},
        {QStringLiteral("Actualizacion"), {{"Codigo", "TEXT"}}, false},
    };
    return specs;
}

void createDatabase(const QString& path, const QString& key)
{
    // Built under a temporary name and renamed at the end, so that a failure never leaves a
    // half-made bd1 that the next start would take for a shop's file.
    const QString partial = path + QStringLiteral(".nuevo");
    QFile::remove(partial);
    {
        sqlite3* raw = nullptr;
        int rc = sqlite3_open_v2(partial.toUtf8().constData(), &raw,
                                 SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
        sqlite3_close(raw);
        if (rc != SQLITE_OK) {
            QFile::remove(partial);
            throw DbError(QStringLiteral("No se pudo crear la base de datos «%1»: %2.")
                              .arg(path, Database::causeText(rc)));
        }
    }
    try {
        Database db;
        db.open(partial, key);
        Transaction tx(db);
        for (const TableSpec& table : tableSpecs()) {
            QStringList columns;
            for (const ColumnSpec& column : table.columns)
                columns << QStringLiteral("\"%1\" %2").arg(column.name, column.type);
            db.execute(QStringLiteral("CREATE TABLE \"%1\" (%2)").arg(table.name, columns.join(", ")));
        }
        db.execute(QStringLiteral(
            "INSERT INTO Usuarios (NombreUsuario, \"Contraseña\", PermisoCruce, Nivel, "
            "permisoproductos, permisorecaudacion) VALUES ('admin', 'admin', 0, 1, 1, 1)"));
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

QStringList tableColumns(Database& db, const QString& table)
{
    QStringList names;
    // The engine's PRAGMA takes no parameters; table names here are the program's own constants.
    QString quoted = table;
    quoted.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    sqlite3_stmt* stmt = db.statement(QStringLiteral("PRAGMA table_info(\"%1\")").arg(quoted));
    int rc;
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW)
        names << QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 1)));
    sqlite3_reset(stmt);
    if (rc != SQLITE_DONE)
        db.raise(rc);
    return names;
}

void checkSchema(Database& db)
{
    for (const TableSpec& table : tableSpecs()) {
        if (!table.used)
            continue;
        const QStringList present = tableColumns(db, table.name);
        if (present.isEmpty())
            throw DbError(QStringLiteral("La base de datos «%1» no sirve: falta la tabla %2.")
                              .arg(db.path(), table.name));
        QStringList missing;
        for (const ColumnSpec& column : table.columns) {
            const bool upgradable = table.name == QLatin1String("Temporal") &&
                                    column.name == QLatin1String("ValorUnitario");
            if (!upgradable && !present.contains(column.name, Qt::CaseInsensitive))
                missing << column.name;
        }
        if (!missing.isEmpty())
            throw DbError(QStringLiteral("La base de datos «%1» no sirve: a la tabla %2 le falta %3 %4.")
                              .arg(db.path(), table.name,
                                   missing.size() == 1 ? QStringLiteral("la columna")
                                                       : QStringLiteral("las columnas"),
                                   missing.join(QStringLiteral(", "))));
    }
}

void prepareDatabase(Database& db)
{
    db.execute(QStringLiteral("PRAGMA journal_mode = WAL"));
    db.execute(QStringLiteral("PRAGMA synchronous = FULL"));
    db.execute(QStringLiteral(
        "CREATE INDEX IF NOT EXISTS idx_Productos_CodigoProducto ON Productos (CodigoProducto);"
        "CREATE INDEX IF NOT EXISTS idx_Productos_NombreProducto ON Productos (NombreProducto);"
        "CREATE INDEX IF NOT EXISTS idx_TipoPago_FechaInicio ON TipoPago (FechaInicio);"
        "CREATE INDEX IF NOT EXISTS idx_Recaudacion_FechaInicio ON Recaudacion (FechaInicio);"
        "CREATE INDEX IF NOT EXISTS idx_Usuarios_NombreUsuario ON Usuarios (NombreUsuario);"));
}

void actualizarTemporal(Database& db)
{
    const QStringList present = tableColumns(db, QStringLiteral("Temporal"));
    // A table with any count other than 11 lacks ValorUnitario; adding it twice would fail, so a
    // table that already has it is left alone.
    if (present.size() != 11 && !present.contains(QStringLiteral("ValorUnitario"), Qt::CaseInsensitive))
        db.execute(QStringLiteral("ALTER TABLE Temporal ADD COLUMN ValorUnitario REAL"));
}

} // namespace tarvino
