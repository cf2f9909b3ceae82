// Numbers held as text: the plain form, the locale-aware and leading-number readings, format pictures.
#pragma once

#include <QLocale>
#include <QString>

#include <optional>

namespace tarvino {

// Shortest text of a double: at most 15 significant digits, the locale's decimal separator and
// no digit grouping (2.5 -> "2,5" under a decimal-comma locale, 1500 -> "1500"). Always written out
// in full, never in exponent form: a cashier reads 1e-20 as "0,00000000000000000001".
QString plainNumber(double value, const QLocale& locale = QLocale());

// The decimals a quantity in stock is kept to. The editor's quantity box takes 8 characters, so
// the finest quantity a shop can type there is "0,000001"; anything finer is left over from
// binary arithmetic (0,3 - 0,1 - 0,2 is -2.78e-17, not 0).
inline constexpr int kQuantityDecimals = 6;
// A quantity rounded to kQuantityDecimals, half away from zero; -0 becomes 0. Values too large to
// carry a fraction at that precision, and infinities, are returned as they are.
double roundQuantity(double value);

// Reads text the way it was written by plainNumber or typed by the cashier. Grouping separators
// are refused, so "1.5" under a decimal-comma locale is not silently read as fifteen.
std::optional<double> readNumber(const QString& text, const QLocale& locale = QLocale());

// Reads an amount of money as typed into a money box: only the locale's decimal mark separates
// decimals, and the other of "." and "," (as well as the locale's own grouping separator) groups
// thousands and is dropped wherever it stands, so that "10.000" under a decimal-comma locale is ten
// thousand, not ten. Anything else that is not a number is refused as readNumber refuses it.
std::optional<double> readMoney(const QString& text, const QLocale& locale = QLocale());

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
