// The seam between the data layer and the database engine behind it: the encrypted file
// (SQLCipher) or a PostgreSQL server shared by the shop's tills. Only src/core/data sees this;
// feature code reaches the engine through Database, Query and RecordSet.
#pragma once

#include <QString>
#include <QStringList>
#include <QVariant>

#include <memory>
#include <vector>

struct sqlite3;

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

// How a value is bound: the engines store whole numbers, reals and text each their own way.
enum class BoundKind { Null, Integer, Real, Text };
inline BoundKind boundKind(const QVariant& value)
{
    if (!value.isValid() || value.isNull())
        return BoundKind::Null;
    switch (value.typeId()) {
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::UInt:
    case QMetaType::ULongLong:
    case QMetaType::Short:
    case QMetaType::Bool:
        return BoundKind::Integer;
    case QMetaType::Double:
    case QMetaType::Float:
        return BoundKind::Real;
    default:
        return BoundKind::Text;
    }
}

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

// Rows of one table written in one go: for each row a value of every column, in order.
struct RowBatch {
    QString table;       // as the program's SQL names it
    QStringList columns; // as the engine lists them
    std::vector<QVariantList> rows;
};

class Dialect;

// One connection to a database. What the engines do differently is theirs to do: a feature, and
// Database itself, never asks which engine it has. Where one engine has nothing to do, the
// default does nothing.
class Engine {
public:
    virtual ~Engine() = default;
    // The engine's words and answers (see Dialect).
    virtual const Dialect& dialect() const = 0;
    // The database as a message names it: the file's path, or the server and its database.
    virtual QString place() const = 0;
    virtual std::unique_ptr<Statement> prepare(const QString& sql) = 0;
    // Statements without results, several separated by ";" (schema work, settings).
    virtual void execute(const QString& sql) = 0;
    // Runs a prepared statement that changes rows, leaves it reset, and returns the rows it
    // changed. Every change of the program passes here, and every commit through commit().
    virtual int write(Statement& stmt);
    virtual void begin() = 0;
    virtual void commit() = 0;
    virtual void rollback() = 0;
    virtual bool inTransaction() const = 0;
    virtual qint64 lastInsertRowid() = 0;
    // Adds the batch's rows in order and returns their rowids. A server gets them all in one
    // statement, so a sale's hundred lines cost one exchange instead of a hundred.
    virtual std::vector<qint64> insertRows(const RowBatch& batch) = 0;
    // Sets the batch's columns of the row with each rowid to that row's values, in one statement
    // on a server. Each rowid comes at most once.
    virtual void updateRows(const RowBatch& batch, const std::vector<qint64>& rowids) = 0;

    // Whether committed changes wait in a journal to be folded into the database (foldJournal),
    // which is then asked for whenever the program is idle.
    virtual bool keepsJournal() const { return false; }
    // Moves every committed change from the journal into the database; true when none is left.
    virtual bool foldJournal() { return true; }
    // Folds the journal into the database when the connection closes (at the program's end).
    virtual void foldAtClose() {}
    // Closes leaving the journal as it is, for the next connection to read.
    virtual void closeKeepingJournal() {}

    // Whether the session is gone (the server ended it, or stopped answering), so that a new
    // connection is to replace this one; as far as can be told without waiting.
    virtual bool lost() { return false; }
    // The server's process of this session, which a new connection may end while it still holds
    // the till; 0 where there is none.
    virtual int session() const { return 0; }
    // Reads of the day's tables that see every till's rows, or again only this till's.
    virtual void setShopWide(bool) {}
    // After the program's tables were made in an empty database: what the engine does once they
    // are there.
    virtual void tablesMade() {}

    // The file's own connection, for what only the file has (its copies, its structure check,
    // its pragmas); nullptr on a server.
    virtual sqlite3* fileHandle() const { return nullptr; }
};

} // namespace tarvino
