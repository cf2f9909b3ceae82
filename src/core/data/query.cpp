// The one way the program reads rows off the database: a statement walked row by row, with its
// cells read as a record set reads them.
#include "data/query.h"

#include "common/numbers.h"
#include "common/timestamps.h"
#include "data/database.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>

namespace tarvino
{

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

Cell::Cell(const Query& query, int column) : m_query(query), m_column(column)
{
    query.m_stmt->cell(column, m_value);
}

qint64 Cell::integer() const
{
    switch (kind()) {
    case Kind::Integer:
        return m_value.integer;
    case Kind::Real:
        if (std::isnan(m_value.real))
            return 0;
        if (m_value.real >= 9.2233720368547758e18)
            return std::numeric_limits<qint64>::max();
        if (m_value.real <= -9.2233720368547758e18)
            return std::numeric_limits<qint64>::min();
        return qint64(m_value.real);
    case Kind::Text: {
        // The leading whole number of the text, as the file's engine reads it.
        const char* begin = m_value.text;
        const char* end = begin + m_value.size;
        while (begin != end && (*begin == ' ' || *begin == '\t'))
            ++begin;
        if (begin != end && *begin == '+')
            ++begin;
        qint64 n = 0;
        std::from_chars(begin, end, n);
        return n;
    }
    default:
        return 0;
    }
}

QUtf8StringView Cell::utf8() const
{
    switch (kind()) {
    case Kind::Text:
    case Kind::Blob:
        return m_value.text ? QUtf8StringView(m_value.text, m_value.size) : QUtf8StringView();
    case Kind::Integer: {
        const auto end = std::to_chars(m_digits, m_digits + sizeof m_digits, m_value.integer).ptr;
        return QUtf8StringView(m_digits, end - m_digits);
    }
    case Kind::Real: {
        // As the file's engine writes a real: 15 significant digits, and ".0" on a whole number.
        int size = std::snprintf(m_digits, sizeof m_digits - 2, "%.15g", m_value.real);
        if (!std::strpbrk(m_digits, ".eni")) {
            m_digits[size++] = '.';
            m_digits[size++] = '0';
            m_digits[size] = 0;
        }
        return QUtf8StringView(m_digits, size);
    }
    case Kind::Null:
        break;
    }
    return {};
}

QVariant Cell::stored() const
{
    switch (kind()) {
    case Kind::Null:
        return {};
    case Kind::Integer:
        return QVariant(qint64(m_value.integer));
    case Kind::Real:
        return QVariant(m_value.real);
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
        return real();
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
    : m_db(db), m_stmt(&db.statement(sql))
{
    int index = 1;
    for (const QVariant& value : values)
        bind(index++, value);
}

Query::~Query()
{
    m_stmt->reset();
    m_stmt->clearBindings();
}

void Query::bind(int index, const QVariant& value)
{
    m_stmt->bind(index, value);
}

bool Query::next()
{
    return m_stmt->step();
}

void Query::restart()
{
    m_stmt->reset();
}

int Query::execute()
{
    return m_db.stepWrite(*m_stmt);
}

int Query::columnCount() const
{
    return m_stmt->columnCount();
}

QString Query::columnName(int column) const
{
    return m_stmt->columnName(column);
}

CellTexts::CellTexts(QString& buffer, std::vector<qsizetype>& ends) : m_buffer(buffer), m_ends(ends)
{
    m_wholeDigits =
        plainNumber(-123456789012345.0, m_locale) == QLatin1String("-123456789012345") &&
        plainNumber(67890.0, m_locale) == QLatin1String("67890");
}

void CellTexts::append(const Cell& cell)
{
    switch (cell.kind()) {
    case Cell::Kind::Null:
        break;
    case Cell::Kind::Real:
        putNumber(cell.m_value.real);
        break;
    default:
        // An integer's text is its digits, as a record set reads it.
        putUtf8(cell.utf8());
    }
    end();
}

void CellTexts::append(const Cell& cell, QStringView zeroText)
{
    if (cell.isNumber() && cell.real() == 0.0)
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
