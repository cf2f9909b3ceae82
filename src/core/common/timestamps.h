// Timestamps as text: "dd/mm/yyyy h:mm:ss" on screen and in comparisons, ISO text in the file.
#pragma once

#include <QDateTime>
#include <QString>

#include <optional>

namespace tarvino {

// "dd/mm/yyyy h:mm:ss": two-digit day and month, four-digit year, hour without a leading zero.
QString stampText(const QDateTime& when);
// "dd/mm/yyyy"
QString dateText(const QDateTime& when);
// "hh:mm"
QString shortTimeText(const QDateTime& when);
// "h:mm:ss"
QString longTimeText(const QDateTime& when);

// Reads a "dd/mm/yyyy h:mm:ss" stamp (a one- or two-digit hour); nullopt when it is not one.
std::optional<QDateTime> readStamp(const QString& text);

// The stored form "YYYY-MM-DD HH:MM:SS", which sorts chronologically as text.
QString isoText(const QDateTime& when);
std::optional<QDateTime> readIso(const QString& text);

// Conversions between the two text forms; nullopt when the input is not a valid timestamp.
std::optional<QString> stampToIso(const QString& stamp);
std::optional<QString> isoToStamp(const QString& iso);

} // namespace tarvino
