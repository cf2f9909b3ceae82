// Amounts of the drawer's money, kept exact to the cent: read from a money box, added up, shown.
#pragma once

#include <QLocale>
#include <QString>

#include <optional>

namespace tarvino {

// An amount in hundredths of the shop's money: sums and differences of these never leave a
// binary remainder, as sums of stored REAL amounts can.
using Cents = qint64;

// The largest amount a money box takes: 999.999.999.
inline constexpr Cents kMaxCents = Cents(999'999'999) * 100;

// A stored amount to the nearest cent, and back.
Cents toCents(double amount);
double fromCents(Cents cents);

// What a money box holds: the amount, or what the cashier is told.
struct MoneyRead {
    std::optional<Cents> amount;
    QString refusal;
};

// A money box takes digits and the locale's decimal mark only, at most two decimals, nothing
// negative and nothing above 999.999.999; the other of "." and "," groups thousands and is
// dropped ("10.000" is ten thousand under a decimal-comma locale). An empty box is refused.
MoneyRead readMoneyBox(const QString& text, const QLocale& locale = QLocale());

// An amount as the reports show it: "$ 10.000", "$ 1.500,50", "-$ 300".
QString moneyText(Cents cents, const QLocale& locale = QLocale());
// An amount as a money box is filled with it: no grouping ("10000", "1500,5").
QString moneyBoxText(Cents cents, const QLocale& locale = QLocale());

} // namespace tarvino
