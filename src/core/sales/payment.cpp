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

} // namespace tarvino
