// The one way the program reads rows off the database: a statement walked row by row, with its
// cells read as a record set reads them.
#pragma once

#include "data/engine.h"

#include <QHash>
#include <QLocale>
#include <QString>
#include <QStringDecoder>
#include <QUtf8StringView>
#include <QVariant>

#include <initializer_list>
#include <optional>
#include <vector>

namespace tarvino
{

class Database;
class Query;

// One cell of the row a Query stands on. It reads the cell once, without going back to the
// statement for each question, and is valid until the query steps or restarts.
class Cell final
{
public:
    using Kind = CellKind;

    Kind kind() const { return m_value.kind; }
    bool isNull() const { return kind() == Kind::Null; }
    bool isNumber() const { return kind() == Kind::Integer || kind() == Kind::Real; }
    // A stored number as it is; any other cell as 0 (for values the program wrote as numbers).
    double real() const
    {
        return kind() == Kind::Real      ? m_value.real
               : kind() == Kind::Integer ? double(m_value.integer)
                                         : 0.0;
    }
    // An integer as it is, a real cut to its whole part, a text's leading digits; 0 otherwise.
    qint64 integer() const;
    // The stored text bytes (a number's digits as the file's engine writes them); empty for NULL.
    // A number's digits are kept in the cell itself: the view lives no longer than the cell.
    QUtf8StringView utf8() const;

    // As a record set reads it: a real as plain number text in the locale, an integer as its
    // digits, NULL as empty, text as stored.
    QString text(const QLocale& locale = QLocale()) const;
    // As a record set reads it: NULL as 0, text read as a number in the locale; a text that is no
    // number throws DbError naming the column.
    double number(const QLocale& locale = QLocale()) const;
    // The same, with NULL as no number.
    std::optional<double> optionalNumber(const QLocale& locale = QLocale()) const;
    // A DATETIME cell as a record set reads it, "dd/mm/yyyy h:mm:ss"; a stored text that is no
    // timestamp comes back as it is.
    QString stamp() const;
    // The cell exactly as stored, fit to be bound again.
    QVariant stored() const;

private:
    friend class Query;
    friend class CellTexts;
    Cell(const Query& query, int column);

    const Query& m_query;
    int m_column;
    CellValue m_value;
    mutable char m_digits[32]; // a number's text, written when asked for
};

// A query on one of the connection's cached statements. Values are bound by position from 1
// (never pasted into the text); next() steps to each row, execute() runs a statement that changes
// rows. The statement is reset however the walk ends, so that no read stays open on the file. A
// failure of the engine throws DbError.
//
// Feature code states its query text with "?" placeholders and reads cells through Cell, the
// same on the file and on a server. Walking a row allocates nothing beyond the
// texts asked for, so the long lists (a catalogue of 100,000 products, a month of history) use it.
class Query final
{
public:
    Query(Database& db, const QString& sql, std::initializer_list<QVariant> values = {});
    ~Query();
    Query(const Query&) = delete;
    Query& operator=(const Query&) = delete;

    void bind(int index, const QVariant& value);
    // Steps to the next row; false at the end.
    bool next();
    // Back before the first row, to walk again (with new bindings).
    void restart();
    // Runs a statement that changes rows (insert, update, delete, schema work) and returns the
    // rows it changed. It is one of the connection's writes (Engine::write).
    int execute();

    Cell cell(int column) const { return Cell(*this, column); }
    QString text(int column, const QLocale& locale = QLocale()) const
    {
        return cell(column).text(locale);
    }
    double number(int column, const QLocale& locale = QLocale()) const
    {
        return cell(column).number(locale);
    }
    QString stamp(int column) const { return cell(column).stamp(); }
    qint64 integer(int column) const { return cell(column).integer(); }
    bool isNull(int column) const { return cell(column).isNull(); }
    QString columnName(int column) const;
    int columnCount() const;

private:
    friend class Cell;
    Database& m_db;
    Statement* m_stmt;
};

// A stored value (as Cell::stored gives it) read as a record set reads it: a real as plain number
// text, an integer as its digits, NULL as empty, text as it is.
QString storedText(const QVariant& value, const QLocale& locale = QLocale());
// A stored value as a number: NULL as 0, text read in the locale; DbError naming the column when
// the text is no number.
double storedNumber(const QVariant& value, const QString& column,
                    const QLocale& locale = QLocale());
// A stored DATETIME text in its screen form "dd/mm/yyyy h:mm:ss"; a text that is no timestamp as it
// is.
QString stampOfStored(const QString& value);

// The texts of many cells one after another in one buffer, each cell's end in ends, as a record
// set reads them. For lists of many thousand rows: it reuses the text of a number already written
// and widens ASCII byte by byte, so a row costs no allocation of its own.
class CellTexts final
{
public:
    CellTexts(QString& buffer, std::vector<qsizetype>& ends);
    ~CellTexts() { m_buffer.resize(m_used); }
    CellTexts(const CellTexts&) = delete;
    CellTexts& operator=(const CellTexts&) = delete;

    void append(const Cell& cell);
    // A number equal to 0 is written as zeroText.
    void append(const Cell& cell, QStringView zeroText);
    void appendLiteral(QStringView text);

private:
    void reserve(qsizetype more);
    void put(QStringView text);
    void putUtf8(QUtf8StringView text);
    void putNumber(double value);
    void end() { m_ends.push_back(m_used); }

    QString& m_buffer;
    std::vector<qsizetype>& m_ends;
    qsizetype m_used = 0;
    QLocale m_locale;
    bool m_wholeDigits = false;
    QHash<quint64, QString> m_numbers; // the text of each number already written
    // Each cell on its own, and a leading byte-order mark kept as a character, as fromUtf8 does.
    QStringDecoder m_decoder{QStringConverter::Utf8, QStringConverter::Flag::Stateless |
                                                         QStringConverter::Flag::ConvertInitialBom};
};

} // namespace tarvino
