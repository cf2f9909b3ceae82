// The sale being rung up: detail lines, the visible sale list built from them, totals, deductions.
#include "sales/sale_lines.h"

#include "common/numbers.h"

#include <cmath>

namespace tarvino {

using namespace detail;

double cellNumber(const QString& cell)
{
    return readNumber(cell).value_or(0.0);
}

SaleLine makeDetailLine(const Product& product, double q, const QString& rowText)
{
    SaleLine line(10);
    line[Row] = rowText;
    line[Code] = product.code;
    line[Name] = product.name;
    line[Quantity] = plainNumber(q);
    line[UnitCost] = product.costPrice;
    line[TotalCost] = plainNumber(cellNumber(product.costPrice) * q);
    line[UnitSale] = product.salePrice;
    line[TotalSale] = plainNumber(cellNumber(product.salePrice) * q);
    line[Flag] = QStringLiteral("0");
    line[Category] = product.category;
    return line;
}

QString mergeDetailLine(SaleLines& lines, const Product& product, const QString& code, double q,
                        const QString& quantityText)
{
    for (SaleLine& line : lines) {
        if (line[Code] == code) {
            const double quantity = cellNumber(line[Quantity]) + q;
            line[Quantity] = plainNumber(quantity);
            line[TotalCost] = plainNumber(cellNumber(line[UnitCost]) * quantity);
            line[TotalSale] = plainNumber(cellNumber(line[UnitSale]) * quantity);
            return line[Quantity];
        }
    }
    const bool first = lines.isEmpty();
    lines << makeDetailLine(product, q, QString::number(lines.size() + 1));
    return first ? lines.last()[Quantity] : quantityText;
}

QStringList saleListRow(const SaleLine& line, int position)
{
    return {QString::number(position), line[Code],      line[Name],           line[Quantity],
            line[UnitSale],            line[TotalSale], QStringLiteral("0"), line[Category]};
}

double computeTotal(const SaleLines& lines)
{
    double sum = 0.0;
    for (const SaleLine& line : lines)
        sum += cellNumber(line[TotalSale]);
    return sum;
}

QString totalCaption(const QString& plainTotal)
{
    const double total = cellNumber(plainTotal);
    if (leadingNumber(plainTotal) == 0.0) {
        // Below one unit under a decimal-comma locale: the total rounded to two decimals, in
        // plain form, so that it keeps its leading zero ("$ 0,5").
        QString rounded = formatPicture(total, QStringLiteral("###,###,###.#0"));
        if (rounded.startsWith(QLocale().decimalPoint()) || rounded.startsWith(QLatin1Char('-')))
            rounded.insert(rounded.startsWith(QLatin1Char('-')) ? 1 : 0, QLatin1Char('0'));
        return QStringLiteral("$ ") + plainNumber(cellNumber(rounded));
    }
    return formatPicture(total, QStringLiteral("$ ###,###,###.###"));
}

bool isCriticalStock(const QString& stock, const QString& criticalStock, const QString& quantityInSale)
{
    const double remaining = cellNumber(stock) - cellNumber(quantityInSale);
    return cellNumber(criticalStock) >= remaining;
}

void compactSale(SaleLines& lines)
{
    SaleLines kept;
    kept.reserve(lines.size());
    for (SaleLine& line : lines) {
        if (cellNumber(line[Quantity]) > 0) {
            line[Row] = QStringLiteral("1");
            kept << std::move(line);
        }
    }
    lines = std::move(kept);
}

DeductResult deductFromSale(SaleLines& lines, const QString& code, double q)
{
    if (lines.isEmpty())
        return DeductResult::EmptySale;
    DeductResult result = DeductResult::NotInList;
    for (SaleLine& line : lines) {
        if (line[Code] != code)
            continue;
        const double inLine = cellNumber(line[Quantity]);
        if (static_cast<float>(q) > static_cast<float>(inLine))
            return DeductResult::TooMuch;
        const double quantity = inLine - q;
        line[Quantity] = plainNumber(quantity);
        line[TotalCost] = plainNumber(cellNumber(line[UnitCost]) * quantity);
        line[TotalSale] = plainNumber(cellNumber(line[UnitSale]) * quantity);
        result = DeductResult::Deducted;
        break;
    }
    compactSale(lines);
    return result;
}

} // namespace tarvino
