// The product editor's rules, without the window: what its code box and its Guardar and Eliminar
// buttons refuse, ask or go on to store, from the texts of its boxes.
#include "catalogue/product_entry.h"

#include "common/numbers.h"

#include <QLocale>

#include <cmath>
#include <limits>

namespace tarvino
{

namespace
{

QString trimSpaces(const QString& text)
{
    qsizetype first = 0;
    qsizetype last = text.size();
    while (first < last && text[first] == QLatin1Char(' '))
        ++first;
    while (last > first && text[last - 1] == QLatin1Char(' '))
        --last;
    return text.mid(first, last - first);
}

QString badNumber(const QString& text, const QString& box)
{
    return QStringLiteral("El valor «%1» de «%2» no es un número válido.").arg(text, box);
}

// Reads the number boxes into change, or gives the message naming the first box whose text is no
// number its column accepts. A box left as the look-up filled it keeps its column as stored.
std::optional<QString> readNumbers(const Product& boxes, const Product* loaded,
                                   ProductChange& change)
{
    const QLocale locale;
    const auto untouched = [loaded, &boxes](const QString Product::*field) {
        return loaded && boxes.*field == loaded->*field;
    };
    const struct {
        const QString Product::*field;
        const char* box;
        std::optional<double>& value;
    } reals[] = {{&Product::stock, "Cantidad", change.stock},
                 {&Product::costPrice, "Precio Costo", change.costPrice},
                 {&Product::salePrice, "Precio Venta", change.salePrice}};
    for (const auto& real : reals) {
        if (untouched(real.field))
            continue;
        const QString& text = boxes.*real.field;
        const auto value = readNumber(text, locale);
        if (!value)
            return badNumber(text, QString::fromUtf8(real.box));
        real.value = *value;
    }
    // A typed quantity is kept to the decimals a quantity has, as every stock change is.
    if (change.stock)
        change.stock = roundQuantity(*change.stock);
    if (untouched(&Product::criticalStock))
        return std::nullopt;
    // The critical level is a 16-bit integer, 0 when the box is left empty.
    if (boxes.criticalStock.trimmed().isEmpty()) {
        change.criticalStock = 0;
        return std::nullopt;
    }
    const QString box = QStringLiteral("Stock Crítico");
    const auto value = readNumber(boxes.criticalStock, locale);
    if (!value)
        return badNumber(boxes.criticalStock, box);
    if (*value != std::trunc(*value) || *value < std::numeric_limits<qint16>::min() ||
        *value > std::numeric_limits<qint16>::max())
        return QStringLiteral("El valor «%1» de «%2» debe ser un número entero entre %3 y %4.")
            .arg(boxes.criticalStock, box)
            .arg(std::numeric_limits<qint16>::min())
            .arg(std::numeric_limits<qint16>::max());
    change.criticalStock = qint16(*value);
    return std::nullopt;
}

} // namespace

namespace ProductEntry
{

EntryAnswer code(const QString& typed)
{
    if (typed.isEmpty())
        return EntryAnswer::refuse(productMessages::kCodigoVacio);
    return {};
}

ProductSave save(const Product& boxes, bool editing, const Product* loaded,
                 const NameOwners& owners)
{
    using Outcome = SaveResult::Outcome;
    ProductSave result;
    result.name = boxes.name;
    const auto refused = [&result](Outcome outcome, const QString& text) {
        result.answer = EntryAnswer::refuse(text);
        result.outcome = outcome;
        return result;
    };
    for (const QString* box : {&boxes.code, &boxes.name, &boxes.stock, &boxes.costPrice,
                               &boxes.salePrice, &boxes.category}) {
        if (box->isEmpty())
            return refused(Outcome::MissingData, productMessages::kFaltanDatos);
    }
    result.name = trimSpaces(boxes.name);
    // A name of spaces alone is no name.
    if (result.name.isEmpty())
        return refused(Outcome::MissingData, productMessages::kFaltanDatos);

    // Names compare exactly: two names that differ only in letter case are two names.
    for (const QString& owner : owners(result.name)) {
        if (!editing || owner != boxes.code)
            return refused(Outcome::DuplicateName, productMessages::kNombreRepetido);
    }

    // Only a change of the product that was loaded can leave columns as they are stored.
    if (!editing || (loaded && loaded->code != boxes.code))
        loaded = nullptr;
    if (const auto refusal = readNumbers(boxes, loaded, result.change))
        return refused(Outcome::BadNumber, *refusal);
    result.change.code = boxes.code;
    result.change.name = result.name;
    result.change.category = boxes.category;
    result.outcome = editing ? Outcome::Changed : Outcome::Added;
    return result;
}

EntryAnswer remove(const QString& code, DeleteCheck::Outcome standing)
{
    switch (standing) {
    case DeleteCheck::Outcome::Vanished:
        return EntryAnswer::refuse(productMessages::gone(code));
    case DeleteCheck::Outcome::InOffer:
        return EntryAnswer::refuse(productMessages::kEnOferta);
    case DeleteCheck::Outcome::Allowed:
        break;
    }
    return EntryAnswer::ask(productMessages::kConfirmarEliminacion,
                            productMessages::kTituloConfirmarEliminacion);
}

} // namespace ProductEntry

} // namespace tarvino
