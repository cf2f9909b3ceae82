// The tables of bd1: creating a new file, checking an existing one and bringing it up to date.
#pragma once

#include <QString>
#include <QStringList>

#include <vector>

namespace tarvino {

class Database;

struct ColumnSpec {
    QString name;
    QString type;
};

struct TableSpec {
    QString name;
    std::vector<ColumnSpec> columns;
    bool used = true; // tables no operation reads or writes are not required in a file
};

// Every table of the file with its columns, in order.
const std::vector<TableSpec>& tableSpecs();

// Creates a new file at path with every table (unused ones empty) and the administrator "admin"
// with password "admin". The file appears complete or not at all. Throws DbError.
void createDatabase(const QString& path, const QString& key);

// Checks that the file is not damaged and that every table in use has its columns (Temporal may
// lack ValorUnitario, which the sales window adds), each declared with a type that stores and
// converts values as the program's own type does. Writes nothing. Throws DbError naming the file
// and every table and column that is missing or of the wrong type.
void checkSchema(Database& db);

// Settings and indexes the program needs beyond the tables: a journal that survives a crash or
// a power cut, and indexes on the columns that look-ups compare. Missing ones are created.
void prepareDatabase(Database& db);

// Adds the column ValorUnitario to a Temporal table that does not have 11 columns.
void actualizarTemporal(Database& db);

// The column names of a table as the file has them.
QStringList tableColumns(Database& db, const QString& table);

} // namespace tarvino
