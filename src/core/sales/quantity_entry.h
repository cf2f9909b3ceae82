// The quantity box of the sales window, without the window: what each quantity typed comes to,
// step by step as the entry goes (read, then added or taken back out of the sale).
#pragma once

#include "catalogue/products.h"
#include "sales/sale_lines.h"

#include <QString>

#include <optional>

namespace tarvino
{

// What the quantity rules answer to one step of an entry.
struct QuantityAnswer {
    enum class Kind {
        Tell,   // the text is told; the box keeps what it has
        Refuse, // the text is told; the box is emptied for another quantity
        Ask,    // the text is asked; a no empties the box for another quantity
        Drop,   // the text, when there is one, is told and the entry is dropped
        GoOn,   // the entry goes on with quantity, after the text when there is one
    };
    Kind kind = Kind::GoOn;
    QString text;
    double quantity = 0;
};

namespace QuantityEntry
{

// The quantity as typed under the locale: empty, not a number, or zero (which drops the entry).
QuantityAnswer read(const QString& typed);

// Adding quantity of the product found for the code (none: the code does not exist); a quantity
// above 9,999 is asked about first, since a code scanned into the box must not be sold as millions
// of units.
QuantityAnswer add(const std::optional<Product>& found, double quantity);

// Taking quantity of code back out of the sale. On a go-on the lines are already changed; a
// refusal leaves them as they were.
QuantityAnswer deduct(SaleLines& lines, const QString& code, double quantity);

} // namespace QuantityEntry

} // namespace tarvino
