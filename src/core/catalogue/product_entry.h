// The product editor's rules, without the window: what its code box and its Guardar and Eliminar
// buttons refuse, ask or go on to store, from the texts of its boxes.
#pragma once

#include "catalogue/products.h"
#include "common/entry_answer.h"

#include <functional>
#include <optional>

namespace tarvino
{

// A product as Guardar stores it: the name trimmed, the numbers as their columns take them. A
// number without a value keeps its column as stored.
struct ProductChange {
    QString code;
    QString name;
    std::optional<double> stock;
    std::optional<double> costPrice;
    std::optional<double> salePrice;
    std::optional<qint16> criticalStock;
    QString category;
};

// What Guardar's rules answer: a refusal, or going on to store change. name is what the name box
// holds afterwards (trimmed once the required data are there).
struct ProductSave {
    EntryAnswer answer;
    SaveResult::Outcome outcome = SaveResult::Outcome::MissingData; // the refusal's kind
    QString name;
    ProductChange change;
};

namespace ProductEntry
{

// The codes of the products already named exactly so.
using NameOwners = std::function<QStringList(const QString& name)>;

// Enter in the code box: an empty code is refused.
EntryAnswer code(const QString& typed);

// Guardar with the boxes as typed, adding a product (editing false) or changing the loaded one:
// the required boxes first, then the name (another product's name is refused), then the numbers.
// loaded is what the look-up showed: a number box whose text is still the loaded one has no value,
// since the box shows the stored number only to 15 significant digits. A typed quantity is
// rounded to kQuantityDecimals.
ProductSave save(const Product& boxes, bool editing, const Product* loaded,
                 const NameOwners& owners);

// Eliminar of the product of code as it stands when pressed: refused when it is gone (Vanished) or
// part of an offer, else asked.
EntryAnswer remove(const QString& code, DeleteCheck::Outcome standing);

} // namespace ProductEntry

} // namespace tarvino
