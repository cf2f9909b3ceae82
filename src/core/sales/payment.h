// Settling a sale, without the window: the amount tendered checked against the total, the change
// as shown, and the receipt of the settled sale.
#pragma once

#include "common/money.h"
#include "sales/receipt.h"
#include "sales/sale_lines.h"

#include <QDateTime>
#include <QString>

namespace tarvino {

// What an amount tendered comes to against the total to pay.
struct AmountCheck {
    bool accepted = false;
    bool noAmount = false; // nothing typed: the sale is paid in cash without an amount or change
    QString change;        // the change as shown, when an amount is accepted
    QString refusal;       // what the cashier is told, when refused
};

// The total is read as a plain number, the amount tendered as money typed in the locale (its
// thousands separators dropped, see readMoney); an amount must cover the total. An empty box is
// accepted as no amount at all.
AmountCheck checkAmount(const QString& total, const QString& tendered);

// A sale paid part in cash and the rest by card: the cash part as typed, checked against the total.
struct SplitCheck {
    bool accepted = false;
    Cents cash = 0;   // the cash part, when the box holds an amount
    Cents card = 0;   // the rest of the total, which the card pays
    QString cardText; // the card part as shown while the cash part is typed; empty when none
    QString refusal;  // what the cashier is told, when refused
};

// The total is read as a plain number, the cash part as a money box (readMoneyBox). The cash part
// must be above zero and below the total: a split with nothing left for either side is a plain
// cash or card sale, and those have their own buttons.
SplitCheck checkSplit(const QString& total, const QString& cashPart,
                      const QLocale& locale = QLocale());

// The receipt of the sale as it is settled: its lines as the sale list shows them, and the total,
// amount tendered, change and payment flag as the payment window shows them.
Receipt saleReceipt(const SaleLines& lines, const QDateTime& when, const QString& total,
                    const QString& tendered, const QString& change, const QString& flag);
// The receipt of a split sale: no amount tendered nor change, both parts and the flag "2".
Receipt splitReceipt(const SaleLines& lines, const QDateTime& when, const QString& total,
                     const SplitCheck& split, const QLocale& locale = QLocale());

} // namespace tarvino
