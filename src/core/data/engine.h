// The seam between the data layer and the database engine behind it: the encrypted file
// (SQLCipher) or a PostgreSQL server shared by the shop's tills. Only src/core/data sees this;
// feature code reaches the engine through Database, Query and RecordSet.
#pragma once

#include <QString>
#include <QVariant>

#include <memory>

namespace tarvino {

// The kind of a stored value, as a record set tells them apart.
enum class CellKind { Null, Integer, Real, Text, Blob };

// One cell of a statement's current row, read in one call. Text points into the engine's own
// buffer and is valid until the statement steps or resets.
struct CellValue {
    CellKind kind = CellKind::Null;
    qint64 integer = 0; // Integer
    double real = 0;    // Real
    const char* text = nullptr; // Text and Blob
    qsizetype size = 0;
};

// A prepared statement of one connection. Values are bound by position from 1; step() runs it
// (the first time) and stands on the next row. Failures throw DbError naming the database.
class Statement {
public:
    virtual ~Statement() = default;
    virtual void bind(int index, const QVariant& value) = 0;
    virtual void clearBindings() = 0;
    // True when it stands on a row; false once done.
    virtual bool step() = 0;
    // Back before the first row, bindings kept; releases what the last run holds.
    virtual void reset() = 0;
    // The rows changed by the last run of a statement that changes rows.
    virtual int changes() const = 0;
    virtual int columnCount() const = 0;
    virtual QString columnName(int column) const = 0;
    // The column's type in the file's words (TEXT, REAL, INTEGER, DATETIME), empty when unknown.
    virtual QString declaredType(int column) const = 0;
    virtual void cell(int column, CellValue& out) const = 0;
};

// One connection to a database.
class Engine {
public:
    virtual ~Engine() = default;
    virtual bool isServer() const = 0;
    // The database as a message names it: the file's path, or the server and its database.
    virtual QString place() const = 0;
    virtual std::unique_ptr<Statement> prepare(const QString& sql) = 0;
    // Statements without results, several separated by ";" (schema work, settings).
    virtual void execute(const QString& sql) = 0;
    virtual void begin() = 0;
    virtual void commit() = 0;
    virtual void rollback() = 0;
    virtual bool inTransaction() const = 0;
    virtual qint64 lastInsertRowid() = 0;
};

} // namespace tarvino
