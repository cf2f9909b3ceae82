// Settling a sale, without the window: the amount tendered checked against the total, the change
// as shown, and the receipt of the settled sale.
#include "sales/payment.h"

#include "common/numbers.h"

#include <QLocale>

namespace tarvino {

AmountCheck checkAmount(const QString& total, const QString& tendered)
{
    if (tendered.isEmpty())
        return {true, true, QString(), QString()};
    const auto totalNumber = readNumber(total);
    const auto tenderedNumber = readMoney(tendered);
    if (!tenderedNumber || !totalNumber) {
        return {false, false, QString(),
                QStringLiteral("«%1» no es un monto válido. Escriba el monto con a lo sumo un "
                               "separador decimal, por ejemplo 2000 o %2.")
                    .arg(tendered, QStringLiteral("1500") + QLocale().decimalPoint() + QStringLiteral("50"))};
    }
    if (*totalNumber > *tenderedNumber)
        return {false, false, QString(), QStringLiteral("El valor ingresado debe ser mayor o igual al total a pagar")};
    // A change below one is shown as the plain number, so that no change reads "0".
    const double change = *tenderedNumber - *totalNumber;
    const QString plain = plainNumber(change);
    return {true, false,
            leadingNumber(plain) == 0 ? plain : formatPicture(change, QStringLiteral("###,###,###.#0")),
            QString()};
}

SplitCheck checkSplit(const QString& total, const QString& cashPart, const QLocale& locale)
{
    SplitCheck split;
    const auto totalNumber = readNumber(total, locale);
    if (!totalNumber) {
        split.refusal = QStringLiteral("No hay un total a pagar que dividir.");
        return split;
    }
    const Cents whole = toCents(*totalNumber);
    const MoneyRead read = readMoneyBox(cashPart, locale);
    if (!read.amount) {
        split.refusal = read.refusal;
        return split;
    }
    split.cash = *read.amount;
    split.card = whole - split.cash;
    if (split.card > 0)
        split.cardText = moneyText(split.card, locale);
    if (split.cash <= 0) {
        split.refusal = QStringLiteral("El monto en efectivo debe ser mayor que cero. Si el cliente paga "
                                       "todo con tarjeta, vuelva con Esc y use TARJETA.");
    } else if (split.card <= 0) {
        split.refusal = QStringLiteral("El monto en efectivo debe ser menor que el total a pagar (%1): la "
                                       "tarjeta paga el resto. Si el cliente paga todo en efectivo, "
                                       "vuelva con Esc y use EFECTIVO.")
                            .arg(moneyText(whole, locale));
    } else {
        split.accepted = true;
    }
    return split;
}

Receipt saleReceipt(const SaleLines& lines, const QDateTime& when, const QString& total,
                    const QString& tendered, const QString& change, const QString& flag)
{
    Receipt receipt;
    receipt.when = when;
    int position = 0;
    for (const SaleLine& line : lines) {
        const QStringList row = saleListRow(line, ++position);
        receipt.lines << ReceiptLine{row[2], row[3], row[4], row[5]};
    }
    receipt.total = total;
    receipt.tendered = tendered;
    receipt.change = change;
    receipt.flag = flag;
    return receipt;
}

Receipt splitReceipt(const SaleLines& lines, const QDateTime& when, const QString& total,
                     const SplitCheck& split, const QLocale& locale)
{
    Receipt receipt = saleReceipt(lines, when, total, QString(), QString(), QStringLiteral("2"));
    receipt.cashPart = moneyText(split.cash, locale);
    receipt.cardPart = moneyText(split.card, locale);
    return receipt;
}

} // namespace tarvino
