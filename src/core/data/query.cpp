// The one way the program reads rows off the database: a statement walked row by row, with its
// cells read as a record set reads them.
#include "data/query.h"

#include "common/numbers.h"
#include "common/timestamps.h"
#include "data/database.h"

#include <sqlite3.h>

#include <charconv>
#include <cmath>
#include <cstring>

namespace tarvino
{

namespace {
sqlite3_value* valueOf(void* value)
{
    return static_cast<sqlite3_value*>(value);
}
} // namespace

QString storedText(const QVariant& value, const QLocale& locale)
{
    if (!value.isValid() || value.isNull())
        return {};
    if (value.typeId() == QMetaType::Double)
        return plainNumber(value.toDouble(), locale);
    return value.toString();
}

double storedNumber(const QVariant& value, const QString& column, const QLocale& locale)
{
    if (!value.isValid() || value.isNull())
        return 0.0;
    if (value.typeId() == QMetaType::Double || value.typeId() == QMetaType::LongLong)
        return value.toDouble();
    if (auto n = readNumber(value.toString(), locale))
        return *n;
    throw DbError(QStringLiteral("El valor «%1» de la columna %2 no es un número.")
                      .arg(value.toString(), column));
}

QString stampOfStored(const QString& value)
{
    return isoToStamp(value).value_or(value);
}

// Each cell is read through one sqlite3_value, since every sqlite3_column_* call takes the
// connection's lock; reading the value without the lock is sound because the connection is only
// ever used from the one user-interface thread.
Cell::Cell(const Query& query, int column)
    : m_query(query), m_column(column), m_value(sqlite3_column_value(query.m_stmt, column))
{
}

Cell::Kind Cell::kind() const
{
    switch (sqlite3_value_type(valueOf(m_value))) {
    case SQLITE_NULL:
        return Kind::Null;
    case SQLITE_INTEGER:
        return Kind::Integer;
    case SQLITE_FLOAT:
        return Kind::Real;
    case SQLITE_TEXT:
        return Kind::Text;
    default:
        return Kind::Blob;
    }
}

bool Cell::isNumber() const
{
    const int type = sqlite3_value_type(valueOf(m_value));
    return type == SQLITE_INTEGER || type == SQLITE_FLOAT;
}

double Cell::real() const
{
    return isNumber() ? sqlite3_value_double(valueOf(m_value)) : 0.0;
}

qint64 Cell::integer() const
{
    return sqlite3_value_int64(valueOf(m_value));
}

QUtf8StringView Cell::utf8() const
{
    const auto* bytes = reinterpret_cast<const char*>(sqlite3_value_text(valueOf(m_value)));
    return bytes ? QUtf8StringView(bytes, sqlite3_value_bytes(valueOf(m_value))) : QUtf8StringView();
}

QVariant Cell::stored() const
{
    switch (kind()) {
    case Kind::Null:
        return {};
    case Kind::Integer:
        return QVariant(qint64(sqlite3_value_int64(valueOf(m_value))));
    case Kind::Real:
        return QVariant(sqlite3_value_double(valueOf(m_value)));
    default:
        return QVariant(utf8().toString());
    }
}

QString Cell::text(const QLocale& locale) const
{
    return storedText(stored(), locale);
}

double Cell::number(const QLocale& locale) const
{
    // Numbers are the common case of the long walks: read without making a variant.
    if (isNumber())
        return sqlite3_value_double(valueOf(m_value));
    if (isNull())
        return 0.0;
    return storedNumber(stored(), m_query.columnName(m_column), locale);
}

std::optional<double> Cell::optionalNumber(const QLocale& locale) const
{
    if (isNull())
        return std::nullopt;
    return number(locale);
}

QString Cell::stamp() const
{
    return stampOfStored(utf8().toString());
}

Query::Query(Database& db, const QString& sql, std::initializer_list<QVariant> values)
    : m_db(db), m_stmt(db.statement(sql))
{
    int index = 1;
    for (const QVariant& value : values)
        bind(index++, value);
}

Query::~Query()
{
    sqlite3_reset(m_stmt);
    sqlite3_clear_bindings(m_stmt);
}

void Query::bind(int index, const QVariant& value)
{
    Database::bind(m_stmt, index, value);
}

bool Query::next()
{
    const int rc = sqlite3_step(m_stmt);
    if (rc == SQLITE_ROW)
        return true;
    if (rc != SQLITE_DONE)
        m_db.raise(rc);
    return false;
}

void Query::restart()
{
    sqlite3_reset(m_stmt);
}

qint64 Query::integer(int column) const
{
    return sqlite3_column_int64(m_stmt, column);
}

QString Query::columnName(int column) const
{
    return QString::fromUtf8(sqlite3_column_name(m_stmt, column));
}

CellTexts::CellTexts(QString& buffer, std::vector<qsizetype>& ends) : m_buffer(buffer), m_ends(ends)
{
    m_wholeDigits =
        plainNumber(-123456789012345.0, m_locale) == QLatin1String("-123456789012345") &&
        plainNumber(67890.0, m_locale) == QLatin1String("67890");
}

void CellTexts::append(const Cell& cell)
{
    switch (sqlite3_value_type(valueOf(cell.m_value))) {
    case SQLITE_NULL:
        break;
    case SQLITE_FLOAT:
        putNumber(sqlite3_value_double(valueOf(cell.m_value)));
        break;
    default:
        // An integer's text is its digits, as a record set reads it.
        putUtf8(cell.utf8());
    }
    end();
}

void CellTexts::append(const Cell& cell, QStringView zeroText)
{
    if (cell.isNumber() && sqlite3_value_double(valueOf(cell.m_value)) == 0.0)
        appendLiteral(zeroText);
    else
        append(cell);
}

void CellTexts::appendLiteral(QStringView text)
{
    put(text);
    end();
}

void CellTexts::reserve(qsizetype more)
{
    if (m_used + more > m_buffer.size())
        m_buffer.resize(std::max(m_used + more, 2 * m_buffer.size() + 4096));
}

void CellTexts::put(QStringView text)
{
    reserve(text.size());
    std::copy(text.begin(), text.end(), m_buffer.data() + m_used);
    m_used += text.size();
}

void CellTexts::putUtf8(QUtf8StringView text)
{
    const auto* bytes = reinterpret_cast<const uchar*>(text.data());
    const qsizetype size = text.size();
    reserve(size); // UTF-8 never takes fewer bytes than UTF-16 takes code units
    QChar* out = m_buffer.data() + m_used;
    // Codes, numbers and most names are ASCII, which widens byte by byte.
    qsizetype i = 0;
    while (i < size && bytes[i] < 0x80) {
        out[i] = QChar(bytes[i]);
        ++i;
    }
    if (i == size) {
        m_used += size;
        return;
    }
    m_used += m_decoder.appendToBuffer(out, QByteArrayView(text.data(), size)) - out;
}

void CellTexts::putNumber(double value)
{
    // A whole number below 10^15 is written as its digits; the locale's digits and minus sign were
    // checked against plainNumber when the writer was made.
    if (m_wholeDigits && value == std::trunc(value) && std::fabs(value) < 1e15) {
        char digits[24];
        const auto end = std::to_chars(digits, digits + sizeof digits, qint64(value)).ptr;
        reserve(end - digits);
        for (const char* c = digits; c != end; ++c)
            m_buffer.data()[m_used++] = QChar(uchar(*c));
        return;
    }
    quint64 bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    auto it = m_numbers.constFind(bits);
    if (it == m_numbers.constEnd())
        it = m_numbers.insert(bits, plainNumber(value, m_locale));
    put(*it);
}

} // namespace tarvino
