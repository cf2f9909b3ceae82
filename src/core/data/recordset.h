// A record set over one query: walk its rows, read and assign columns by name, add, update, delete.
#pragma once

#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>

namespace tarvino {

class Database;

// The rows of a query, read when it is opened. Columns are read and assigned by name; a DATETIME
// column reads as "dd/mm/yyyy h:mm:ss" and accepts that text, while the file holds ISO text.
// Changes go to the table named in the query's FROM clause, row by row, when update() runs; the
// table's name is written as the query has it, unquoted, so that the server finds it as it folds
// it, and the columns' names as the engine lists them, quoted.
class RecordSet final {
public:
    enum class Kind { Text, Real, Integer, DateTime, Other };

    RecordSet() = default;
    RecordSet(const RecordSet&) = delete;
    RecordSet& operator=(const RecordSet&) = delete;

    // Runs the query with its parameters (bound, never pasted) and stands on the first row.
    void open(Database& db, const QString& sql, const QVariantList& params = {});
    // The same, its rows locked against other tills' changes until the transaction ends (on a
    // server; the file's write transaction already keeps every other writer out).
    void openLocking(Database& db, const QString& sql, const QVariantList& params = {});
    void close();
    bool isOpen() const { return m_db != nullptr; }

    bool eof() const;
    void moveFirst();
    void moveNext();
    void moveLast();

    QStringList columns() const { return m_columns; }
    QVariant value(const QString& column) const;
    // The text form of a column: numbers as plain number text, empty for NULL.
    QString text(const QString& column) const;
    // A column as a number; NULL reads as 0. Throws DbError when the stored text is no number.
    double number(const QString& column) const;

    // Assigns a column of the current row (or of the row being added), converting the value to the
    // column's kind. Text that is not a number (or not a timestamp) is refused with a DbError.
    void setValue(const QString& column, const QVariant& value);
    void addNew();
    void update();
    // Writes every row added or changed and not yet written, in order. Rows that follow one
    // another with the same change (added, or changed in the same columns) go as one batch, which
    // a server gets in one statement; each row counts as one write (Database::failAtWrite).
    void updateBatch();
    void deleteCurrent();

private:
    struct Row {
        qint64 rowid = 0;
        QVector<QVariant> values;
        QVector<bool> dirty;
        bool isNew = false;
        bool deleted = false;
    };

    int columnIndex(const QString& column) const;
    const Row& current() const;
    Row& current();
    QVariant convertForColumn(int index, const QVariant& value) const;
    void write(Row& row);
    void requireTable() const;

    Database* m_db = nullptr;
    QString m_table;
    QStringList m_columns;
    QVector<Kind> m_kinds;
    QVector<Row> m_rows;
    qsizetype m_pos = 0;
};

RecordSet::Kind kindOfDeclaredType(const QString& declared);

} // namespace tarvino
