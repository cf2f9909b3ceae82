// What the engines are told differently: the one place where the program's SQL, written for the
// file, is turned into the server's, and where each engine answers the questions on which the
// two differ. Features ask the dialect of their Database; they never ask which engine it is.
#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <utility>

namespace tarvino {

// Where a commit that failed went wrong, which says what the cashier can do about it.
enum class FailurePlace { Disk, Server };

class Dialect {
public:
    virtual ~Dialect() = default;

    // The text of a read that locks the rows it reads until the transaction ends: on a server,
    // where another till may change them in between; the file's write transactions exclude
    // every other writer already.
    virtual QString lockingRead(const QString& sql) const = 0;
    // The till a row of the day's tables (Temporal, TipoPago, Recaudacion) belongs to, as an
    // expression for a read's text: on a server each till keeps its own days, and two tills may
    // open theirs in the same second, so a day is its opening stamp and its till; the file is one
    // till's, and there the expression is an empty text.
    virtual QString tillOfRow() const = 0;
    // The row number a record set reads as its first column. A grouped read has no one row behind
    // each of its rows: the server refuses a bare rowid there, and takes the group's first.
    virtual QString rowidColumn(bool grouped) const = 0;
    // An expression true when the column holds a number: the file's number columns may hold text
    // or nothing, which compares as no number; the server's hold numbers only.
    virtual QString holdsNumber(const QString& column) const = 0;

    // A column's type as this engine declares it, from the file's declared type.
    virtual QString columnType(const QString& fileType) const = 0;
    // The statements that make the program's table of that name with these columns, each a name
    // and its type in the file's words.
    virtual QStringList createTable(const QString& table,
                                    const QList<std::pair<QString, QString>>& columns) const = 0;
    // What ends the making of a new database, after its tables: its version, and whatever the
    // engine keeps of its own beside the program's tables.
    virtual QString madeTables(int version) const = 0;
    // What each connection is told before its first use, not written into the database.
    virtual QStringList connectionSettings() const = 0;
    // Whether the indexes are made with the tables (and prepareDatabase leaves the database
    // alone), or found missing and made at each start.
    virtual bool preparedAtCreation() const = 0;
    // A read of one cell: how many tables the database holds, when a database of this engine can
    // be found empty and made the shop's afterwards; empty text when it never is (a file is made
    // whole by createDatabase).
    virtual QString tablesCountRead() const = 0;
    // The read of the tables' version (one cell), and the statement that sets it.
    virtual QString versionRead() const = 0;
    virtual QString versionWrite(int version) const = 0;
    // A read of a table's columns in order: each row the column's name in its second cell and its
    // declared type, in the file's words, in its third. Only the program's own columns: a
    // server's rowid and till are not the file's.
    virtual QString columnsRead(const QString& table) const = 0;
    // Whether the names of columns come back folded to lower case.
    virtual bool foldsNames() const = 0;

    // Whether copies of the database are kept beside it when a day closes: a server is backed up
    // with its own tools (pg_dump), not by the tills.
    virtual bool keepsCopies() const = 0;
    // Where a failed commit went wrong.
    virtual FailurePlace failurePlace() const = 0;
};

const Dialect& fileDialect();
const Dialect& serverDialect();

// The text with each "?" placeholder numbered $1, $2 … in order, skipping string literals,
// quoted identifiers and comments; "is ?" (the file's equality that also matches NULL) becomes
// "is not distinct from $n", and LIKE, which ignores the case of ASCII letters in the file, is
// ILIKE. count, when given, receives the number of placeholders.
QString serverStatementText(const QString& sql, int* count = nullptr);

// A column's type as the server declares it, from the file's declared type: TEXT sorts by bytes
// as the file does, DATETIME is a timestamp whose text is the file's ISO text; a DEFAULT clause
// is kept.
QString serverColumnType(const QString& fileType);

} // namespace tarvino
