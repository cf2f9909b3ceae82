// Numbers held as text: the plain form, the locale-aware and leading-number readings, format pictures.
#pragma once

#include <QLocale>
#include <QString>

#include <optional>

namespace tarvino {

// Shortest text of a double: at most 15 significant digits, the locale's decimal separator and
// no digit grouping (2.5 -> "2,5" under a decimal-comma locale, 1500 -> "1500").
QString plainNumber(double value, const QLocale& locale = QLocale());

// Reads text the way it was written by plainNumber or typed by the cashier. Grouping separators
// are refused, so "1.5" under a decimal-comma locale is not silently read as fifteen.
std::optional<double> readNumber(const QString& text, const QLocale& locale = QLocale());

// Leading-number reading: blanks skipped, an optional sign, leading digits, "." as the only
// decimal separator and an optional exponent; reading stops at the first other character
// ("7,5" -> 7, "abc" -> 0).
double leadingNumber(const QString& text);

// Formats a number with a picture such as "$ ###,###,###.###": "#" is a digit shown only when
// significant, "0" a digit always shown, "," in the whole part groups thousands with the locale's
// separator, "." stands for the locale's decimal separator (always written when present) and any
// other character is copied.
QString formatPicture(double value, const QString& picture, const QLocale& locale = QLocale());

} // namespace tarvino
