// Numbers held as text: the plain form, the locale-aware and leading-number readings, format pictures.
#include "common/numbers.h"

#include <cmath>

namespace tarvino {

QString plainNumber(double value, const QLocale& locale)
{
    if (value == 0.0)
        return QStringLiteral("0"); // also turns -0 into "0"
    QLocale plain = locale;
    plain.setNumberOptions(QLocale::OmitGroupSeparator);
    QString text = plain.toString(value, 'g', 15);
    return text.replace(QLatin1Char('e'), QLatin1Char('E'));
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
