// Timestamps as text: "dd/mm/yyyy h:mm:ss" on screen and in comparisons, ISO text in the file.
#include "common/timestamps.h"


namespace tarvino {

namespace {
const QString kStampFormat = QStringLiteral("dd/MM/yyyy H:mm:ss");
const QString kIsoFormat = QStringLiteral("yyyy-MM-dd HH:mm:ss");
} // namespace

QString stampText(const QDateTime& when)
{
    return when.toString(kStampFormat);
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
// Parses "date time" with the given formats; the time zone plays no part, so a local time that
// a daylight-saving change skips still converts.
std::optional<QDateTime> readParts(const QString& text, const QString& dateFormat,
                                   const QString& timeFormat, QChar between)
{
    const QString trimmed = text.trimmed();
    const qsizetype split = trimmed.indexOf(between);
    if (split < 0)
        return std::nullopt;
    const QDate date = QDate::fromString(trimmed.left(split), dateFormat);
    const QTime time = QTime::fromString(trimmed.mid(split + 1), timeFormat);
    if (!date.isValid() || !time.isValid())
        return std::nullopt;
    return QDateTime(date, time, Qt::UTC);
}
} // namespace

std::optional<QDateTime> readStamp(const QString& text)
{
    if (auto when = readParts(text, QStringLiteral("dd/MM/yyyy"), QStringLiteral("H:mm:ss"),
                              QLatin1Char(' ')))
        return when;
    return std::nullopt;
}

QString isoText(const QDateTime& when)
{
    return when.toString(kIsoFormat);
}

std::optional<QDateTime> readIso(const QString& text)
{
    if (auto when = readParts(text, QStringLiteral("yyyy-MM-dd"), QStringLiteral("HH:mm:ss"),
                              QLatin1Char(' ')))
        return when;
    // Other tools may write the ISO "T" form.
    return readParts(text, QStringLiteral("yyyy-MM-dd"), QStringLiteral("HH:mm:ss"),
                     QLatin1Char('T'));
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
