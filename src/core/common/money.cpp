// Amounts of the drawer's money, kept exact to the cent.
#include "common/money.h"

#include "common/numbers.h"

#include <cmath>

namespace tarvino {

Cents toCents(double amount)
{
    return std::isfinite(amount) ? Cents(std::llround(amount * 100.0)) : 0;
}

double fromCents(Cents cents)
{
    return double(cents) / 100.0;
}

MoneyRead readMoneyBox(const QString& text, const QLocale& locale)
{
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty())
        return {std::nullopt, QStringLiteral("Debe ingresar un monto.")};
    const QString point = locale.decimalPoint();
    const QString markName = point == QLatin1String(",") ? QStringLiteral("la coma") : QStringLiteral("el punto");
    if (trimmed.startsWith(QLatin1Char('-')))
        return {std::nullopt, QStringLiteral("El monto no puede ser negativo.")};
    for (const QChar c : trimmed) {
        if (!(c.unicode() >= '0' && c.unicode() <= '9') && c != QLatin1Char('.') && c != QLatin1Char(','))
            return {std::nullopt,
                    QStringLiteral("El monto «%1» no es válido: escriba solo números y %2 para los "
                                   "decimales.")
                        .arg(trimmed, markName)};
    }
    const qsizetype mark = trimmed.indexOf(point);
    if (mark >= 0 && trimmed.indexOf(point, mark + 1) >= 0)
        return {std::nullopt, QStringLiteral("El monto «%1» tiene más de un separador decimal.").arg(trimmed)};
    if (mark >= 0) {
        QString decimals = trimmed.mid(mark + 1);
        decimals.remove(QLatin1Char('.'));
        decimals.remove(QLatin1Char(','));
        if (decimals.size() > 2)
            return {std::nullopt, QStringLiteral("El monto admite a lo más dos decimales.")};
    }
    const std::optional<double> read = readMoney(trimmed, locale);
    if (!read)
        return {std::nullopt,
                QStringLiteral("El monto «%1» no es válido: escriba solo números y %2 para los "
                               "decimales.")
                    .arg(trimmed, markName)};
    // Up to 999.999.999,99 a double holds every cent exactly.
    if (*read > fromCents(kMaxCents))
        return {std::nullopt, QStringLiteral("El monto no puede superar %1.").arg(moneyText(kMaxCents, locale))};
    return {toCents(*read), QString()};
}

QString moneyText(Cents cents, const QLocale& locale)
{
    const Cents whole = (cents < 0 ? -cents : cents);
    QString text = QStringLiteral("$ ") + locale.toString(whole / 100);
    if (whole % 100 != 0)
        text += locale.decimalPoint() + QStringLiteral("%1").arg(whole % 100, 2, 10, QLatin1Char('0'));
    return cents < 0 ? QStringLiteral("-") + text : text;
}

QString moneyBoxText(Cents cents, const QLocale& locale)
{
    return plainNumber(fromCents(cents), locale);
}

} // namespace tarvino
