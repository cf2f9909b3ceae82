// The quantity box of the sales window, without the window: what each quantity typed comes to,
// step by step as the entry goes (read, then added or taken back out of the sale).
#include "sales/quantity_entry.h"

#include "common/numbers.h"

#include <QLocale>

namespace tarvino::QuantityEntry
{

namespace
{

// A quantity above this is asked about before it is added.
constexpr double kLargeQuantity = 9999;

} // namespace

QuantityAnswer read(const QString& typed)
{
    using Kind = QuantityAnswer::Kind;
    if (typed.isEmpty())
        return {Kind::Tell, QStringLiteral("Debe ingresar la cantidad a vender")};
    const auto q = readNumber(typed);
    if (!q) {
        return {Kind::Refuse,
                QStringLiteral("«%1» no es una cantidad válida. Escriba la cantidad con un "
                               "solo separador decimal, por ejemplo 2 o %2.")
                    .arg(typed, plainNumber(0.5))};
    }
    if (*q == 0)
        return {Kind::Drop, QString()};
    return {Kind::GoOn, QString(), *q};
}

QuantityAnswer add(const std::optional<Product>& found, double quantity)
{
    using Kind = QuantityAnswer::Kind;
    if (!found)
        return {Kind::Drop, QStringLiteral("El código ingresado no existe")};
    if (quantity > kLargeQuantity) {
        return {Kind::Ask,
                QStringLiteral("¿Agregar %1 unidades de %2 a la venta?")
                    .arg(QLocale().toString(quantity, 'g', 15), found->name),
                quantity};
    }
    return {Kind::GoOn, QString(), quantity};
}

QuantityAnswer deduct(SaleLines& lines, const QString& code, double quantity)
{
    using Kind = QuantityAnswer::Kind;
    switch (deductFromSale(lines, code, quantity)) {
    case DeductResult::EmptySale:
        return {Kind::Refuse,
                QStringLiteral("No hay nada que descontar mientras la lista esté vacía")};
    case DeductResult::TooMuch:
        return {Kind::Refuse, QStringLiteral("No puede descontar una cantidad mayor a la vendida")};
    case DeductResult::NotInList:
        return {Kind::GoOn, QStringLiteral("El código ingresado no está en la lista"), quantity};
    case DeductResult::Deducted:
        break;
    }
    return {Kind::GoOn, QString(), quantity};
}

} // namespace tarvino::QuantityEntry
