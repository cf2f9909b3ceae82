// Timestamps as text: "dd/mm/yyyy h:mm:ss" on screen and in comparisons, ISO text in the file.
#include "common/timestamps.h"

#include <cstdio>


namespace tarvino {


QString stampText(const QDateTime& when)
{
    const QDate d = when.date();
    const QTime t = when.time();
    char text[32];
    std::snprintf(text, sizeof text, "%02d/%02d/%04d %d:%02d:%02d", d.day(), d.month(), d.year(),
                  t.hour(), t.minute(), t.second());
    return QString::fromLatin1(text);
}

QString dateText(const QDateTime& when)
{
    return when.toString(QStringLiteral("dd/MM/yyyy"));
}

QString shortTimeText(const QDateTime& when)
{
    return when.toString(QStringLiteral("HH:mm"));
}

QString longTimeText(const QDateTime& when)
{
    return when.toString(QStringLiteral("H:mm:ss"));
}

namespace {
// A hand-written reader for the two fixed forms: the file's dates are read on every row of a
// closing or a report, and Qt's general date parser is many times slower.
class Reader {
public:
    explicit Reader(const QString& text) : m_text(text) {}
    // Between min and max digits.
    bool number(int min, int max, int& value)
    {
        value = 0;
        int n = 0;
        while (n < max && m_pos < m_text.size() && m_text[m_pos] >= QLatin1Char('0') &&
               m_text[m_pos] <= QLatin1Char('9')) {
            value = value * 10 + (m_text[m_pos].unicode() - '0');
            ++m_pos;
            ++n;
        }
        return n >= min;
    }
    bool literal(QChar c)
    {
        if (m_pos >= m_text.size() || m_text[m_pos] != c)
            return false;
        ++m_pos;
        return true;
    }
    bool atEnd() const { return m_pos == m_text.size(); }

private:
    const QString& m_text;
    qsizetype m_pos = 0;
};

// The time zone plays no part, so a local time that a daylight-saving change skips still reads.
std::optional<QDateTime> make(int year, int month, int day, int hour, int minute, int second)
{
    if (!QDate::isValid(year, month, day) || !QTime::isValid(hour, minute, second))
        return std::nullopt;
    return QDateTime(QDate(year, month, day), QTime(hour, minute, second), Qt::UTC);
}
} // namespace

std::optional<QDateTime> readStamp(const QString& text)
{
    const QString trimmed = text.trimmed();
    Reader r(trimmed);
    int d, mo, y, h, mi, se;
    if (r.number(2, 2, d) && r.literal(QLatin1Char('/')) && r.number(2, 2, mo) &&
        r.literal(QLatin1Char('/')) && r.number(4, 4, y) && r.literal(QLatin1Char(' ')) &&
        r.number(1, 2, h) && r.literal(QLatin1Char(':')) && r.number(2, 2, mi) &&
        r.literal(QLatin1Char(':')) && r.number(2, 2, se) && r.atEnd())
        return make(y, mo, d, h, mi, se);
    return std::nullopt;
}

QString isoText(const QDateTime& when)
{
    const QDate d = when.date();
    const QTime t = when.time();
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", d.year(), d.month(), d.day(),
                  t.hour(), t.minute(), t.second());
    return QString::fromLatin1(text);
}

std::optional<QDateTime> readIso(const QString& text)
{
    const QString trimmed = text.trimmed();
    Reader r(trimmed);
    int d, mo, y, h, mi, se;
    // Other tools may write the ISO "T" between date and time.
    if (r.number(4, 4, y) && r.literal(QLatin1Char('-')) && r.number(2, 2, mo) &&
        r.literal(QLatin1Char('-')) && r.number(2, 2, d) &&
        (r.literal(QLatin1Char(' ')) || r.literal(QLatin1Char('T'))) && r.number(2, 2, h) &&
        r.literal(QLatin1Char(':')) && r.number(2, 2, mi) && r.literal(QLatin1Char(':')) &&
        r.number(2, 2, se) && r.atEnd())
        return make(y, mo, d, h, mi, se);
    return std::nullopt;
}

std::optional<QString> stampToIso(const QString& stamp)
{
    if (auto when = readStamp(stamp))
        return isoText(*when);
    return std::nullopt;
}

std::optional<QString> isoToStamp(const QString& iso)
{
    if (auto when = readIso(iso))
        return stampText(*when);
    return std::nullopt;
}

} // namespace tarvino
