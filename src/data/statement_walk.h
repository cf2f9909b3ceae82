// Reading the rows of one of the connection's cached statements straight off the engine, for the
// lists that a record set would make too slow (a whole catalogue, a day of many thousand lines).
#pragma once

#include <QString>
#include <QVariant>

#include <initializer_list>

struct sqlite3_stmt;

namespace tarvino {

class Database;

// Binds the values in order and walks the rows; the statement is reset however the walk ends, so
// that no read stays open on the file. A failure of the engine throws DbError.
class StatementWalk final {
public:
    StatementWalk(Database& db, const QString& sql, std::initializer_list<QVariant> values = {});
    ~StatementWalk();
    StatementWalk(const StatementWalk&) = delete;
    StatementWalk& operator=(const StatementWalk&) = delete;

    // Steps to the next row; false at the end.
    bool next();
    sqlite3_stmt* stmt() const { return m_stmt; }

    // Column i of the current row as text (NULL as an empty text).
    QString text(int i) const;
    // Column i of the current row as a number (NULL and text that is no number as 0).
    double number(int i) const;
    bool isNull(int i) const;

private:
    Database& m_db;
    sqlite3_stmt* m_stmt;
};

} // namespace tarvino
