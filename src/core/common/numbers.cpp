// Numbers held as text: the plain form, the locale-aware and leading-number readings, format pictures.
#include "common/numbers.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>

namespace tarvino {

namespace {

// The symbols of the locale last asked for: asking a locale for them makes a string each time.
struct LocaleSymbols {
    QLocale locale;
    QString point;
    QString minus;
    char32_t zero = U'0';
    bool asciiDigits = true;
};

const LocaleSymbols& symbolsOf(const QLocale& locale)
{
    thread_local LocaleSymbols cached{QLocale::c(), QStringLiteral("."), QStringLiteral("-")};
    if (!(cached.locale == locale)) {
        const QString zero = locale.zeroDigit();
        cached = {locale, locale.decimalPoint(), locale.negativeSign(), zero.isEmpty() ? U'0' : zero.toUcs4().value(0, U'0'),
                  zero == QLatin1String("0")};
    }
    return cached;
}

} // namespace

QString plainNumber(double value, const QLocale& locale)
{
    if (value == 0.0)
        return QStringLiteral("0"); // also turns -0 into "0"
    if (!std::isfinite(value))
        return locale.toString(value);

    // The 15 significant digits and the power of ten of the first one: "d.dddddddddddddde±x".
    char scientific[32];
    const auto written =
        std::to_chars(scientific, scientific + sizeof scientific, std::fabs(value), std::chars_format::scientific, 14);
    const char* e = std::find(scientific, written.ptr, 'e');
    char digits[16];
    qsizetype count = 0;
    for (const char* c = scientific; c != e; ++c) {
        if (*c != '.')
            digits[count++] = *c;
    }
    while (count > 1 && digits[count - 1] == '0')
        --count;
    int exponent = 0;
    std::from_chars(e + 1 + (e[1] == '+'), written.ptr, exponent);

    // Laid out in full: digits before the decimal separator, then after it.
    const qsizetype whole = exponent + 1; // digits before the separator
    char plain[400];                      // the smallest double has 324 digits after the point
    qsizetype length = 0;
    const auto put = [&](char c, qsizetype times) {
        for (; times > 0; --times)
            plain[length++] = c;
    };
    if (whole <= 0) {
        put('0', 1);
        put('.', 1);
        put('0', -whole);
        for (qsizetype i = 0; i < count; ++i)
            put(digits[i], 1);
    } else {
        for (qsizetype i = 0; i < count; ++i) {
            if (i == whole)
                put('.', 1);
            put(digits[i], 1);
        }
        put('0', whole - count);
    }

    const LocaleSymbols& symbols = symbolsOf(locale);
    QString text;
    text.reserve(length + 2);
    if (value < 0)
        text += symbols.minus;
    for (qsizetype i = 0; i < length; ++i) {
        const char c = plain[i];
        if (c == '.')
            text += symbols.point;
        else if (symbols.asciiDigits)
            text += QLatin1Char(c);
        else
            text += QString::fromUcs4(std::array<char32_t, 1>{symbols.zero + char32_t(c - '0')}.data(), 1);
    }
    return text;
}

double roundQuantity(double value)
{
    constexpr double kScale = 1e6;
    static_assert(kQuantityDecimals == 6, "kScale is 10 to the power of kQuantityDecimals");
    const double scaled = value * kScale;
    // From 2^52 on a double holds no fraction at all: nothing to round, and a product of
    // rounding would only lose digits.
    if (!std::isfinite(scaled) || std::fabs(scaled) >= 4503599627370496.0)
        return value;
    const double rounded = std::round(scaled) / kScale;
    return rounded == 0.0 ? 0.0 : rounded;
}

std::optional<double> readNumber(const QString& text, const QLocale& locale)
{
    QLocale strict = locale;
    strict.setNumberOptions(QLocale::RejectGroupSeparator | QLocale::OmitGroupSeparator);
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty())
        return std::nullopt;
    bool ok = false;
    const double value = strict.toDouble(trimmed, &ok);
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    return value;
}

std::optional<double> readMoney(const QString& text, const QLocale& locale)
{
    const QString point = locale.decimalPoint();
    QString kept = text;
    if (const QString group = locale.groupSeparator(); !group.isEmpty() && group != point)
        kept.remove(group);
    for (const QChar mark : {QLatin1Char('.'), QLatin1Char(',')}) {
        if (point != mark)
            kept.remove(mark);
    }
    return readNumber(kept, locale);
}

double leadingNumber(const QString& text)
{
    qsizetype i = 0;
    const qsizetype n = text.size();
    auto skipBlanks = [&] {
        while (i < n && (text[i] == QLatin1Char(' ') || text[i] == QLatin1Char('\t')))
            ++i;
    };
    skipBlanks();
    QString digits;
    if (i < n && (text[i] == QLatin1Char('-') || text[i] == QLatin1Char('+')))
        digits += text[i++];
    bool any = false;
    while (i < n && text[i].isDigit() && text[i].unicode() < 128) {
        digits += text[i++];
        any = true;
    }
    if (i < n && text[i] == QLatin1Char('.')) {
        digits += text[i++];
        while (i < n && text[i].isDigit() && text[i].unicode() < 128) {
            digits += text[i++];
            any = true;
        }
    }
    if (!any)
        return 0.0;
    if (i < n && (text[i] == QLatin1Char('E') || text[i] == QLatin1Char('e'))) {
        QString exponent = QStringLiteral("e");
        qsizetype j = i + 1;
        if (j < n && (text[j] == QLatin1Char('-') || text[j] == QLatin1Char('+')))
            exponent += text[j++];
        bool expDigits = false;
        while (j < n && text[j].isDigit() && text[j].unicode() < 128) {
            exponent += text[j++];
            expDigits = true;
        }
        if (expDigits)
            digits += exponent;
    }
    bool ok = false;
    const double value = digits.toDouble(&ok); // QString::toDouble always reads the C form
    return ok ? value : 0.0;
}

QString formatPicture(double value, const QString& picture, const QLocale& locale)
{
    // Split the picture into the literal text before the first digit placeholder, the whole part,
    // the decimal part and the literal text after the last placeholder.
    const auto isPlaceholder = [](QChar c) {
        return c == QLatin1Char('#') || c == QLatin1Char('0') || c == QLatin1Char(',');
    };
    qsizetype start = 0;
    while (start < picture.size() && !isPlaceholder(picture[start]) &&
           picture[start] != QLatin1Char('.'))
        ++start;
    qsizetype end = start;
    while (end < picture.size() && (isPlaceholder(picture[end]) || picture[end] == QLatin1Char('.')))
        ++end;
    const QString prefix = picture.left(start);
    const QString suffix = picture.mid(end);
    const QString body = picture.mid(start, end - start);
    const qsizetype dot = body.indexOf(QLatin1Char('.'));
    const QString wholePart = dot < 0 ? body : body.left(dot);
    const QString decimalPart = dot < 0 ? QString() : body.mid(dot + 1);

    const bool grouping = wholePart.contains(QLatin1Char(','));
    int minWholeDigits = 0; // zeros in the whole part, counted from the decimal point leftwards
    for (qsizetype k = wholePart.size() - 1, pos = 0; k >= 0; --k) {
        if (wholePart[k] == QLatin1Char(','))
            continue;
        ++pos;
        if (wholePart[k] == QLatin1Char('0'))
            minWholeDigits = int(pos);
    }
    int maxDecimals = 0;
    int minDecimals = 0;
    for (QChar c : decimalPart) {
        if (c == QLatin1Char('#') || c == QLatin1Char('0')) {
            ++maxDecimals;
            if (c == QLatin1Char('0'))
                minDecimals = maxDecimals;
        }
    }

    const bool negative = value < 0;
    // Rounds half away from zero at the decimals the picture allows.
    QString digits = QString::number(std::fabs(value), 'f', maxDecimals);
    QString whole = digits;
    QString fraction;
    if (maxDecimals > 0) {
        const qsizetype point = digits.indexOf(QLatin1Char('.'));
        whole = digits.left(point);
        fraction = digits.mid(point + 1);
        while (fraction.size() > minDecimals && fraction.endsWith(QLatin1Char('0')))
            fraction.chop(1);
    }
    while (whole.startsWith(QLatin1Char('0')) && whole.size() > minWholeDigits)
        whole.remove(0, 1);
    while (whole.size() < minWholeDigits)
        whole.prepend(QLatin1Char('0'));
    if (grouping && whole.size() > 3) {
        const QString separator = locale.groupSeparator();
        for (qsizetype k = whole.size() - 3; k > 0; k -= 3)
            whole.insert(k, separator);
    }

    QString result = prefix + whole;
    if (dot >= 0)
        result += locale.decimalPoint() + fraction;
    result += suffix;
    const bool isZero = whole.isEmpty() && fraction.count(QLatin1Char('0')) == fraction.size();
    if (negative && !isZero)
        result.prepend(QLatin1Char('-'));
    return result;
}

} // namespace tarvino
