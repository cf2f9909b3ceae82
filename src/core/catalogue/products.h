// The one home of the Productos table: look-up by code, the editor's list, saving and deleting a
// product, and the search by part of the name behind both product search windows.
#pragma once

#include "common/entry_answer.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

namespace tarvino {

class Database;

// What the product editor and the search windows say to the user.
namespace productMessages {
inline const QString kCodigoVacio = QStringLiteral("Debe ingresar el código del producto");
inline const QString kFaltanDatos =
    QStringLiteral("Debe ingresar todos los datos requeridos para poder guardar");
inline const QString kNombreRepetido =
    QStringLiteral("El nombre del producto no puede ser igual a uno ya existente");
inline const QString kEnOferta = QStringLiteral(
    "No se puede eliminar el producto mientras esté compuesto dentro de una oferta");
inline const QString kConfirmarEliminacion =
    QStringLiteral("¿Está seguro que desea eliminar el registro de este Producto?");
inline const QString kTituloConfirmarEliminacion = QStringLiteral("Confirme Eliminación");
// The product of code was deleted meanwhile, at another till.
QString gone(const QString& code);
} // namespace productMessages

// A product in the text form of its boxes and list cells. As the editor's input to saveProduct,
// each field is the text of its box (Text1 to Text6, the edit text of Combo2).
struct Product {
    QString code;
    QString name;
    QString stock;         // Cantidad
    QString costPrice;     // PrecioCosto
    QString salePrice;     // PrecioVenta
    QString criticalStock; // StockCritico
    QString category;
};

// The first product in name order whose CodigoProducto equals code; nullopt when there is none.
// An empty numeric field reads as "0" and an empty text field as "".
std::optional<Product> findProductByCode(Database& db, const QString& code);

// The categories in use, one per distinct Categoria in the order the grouping gives; a product
// without category gives an empty entry.
QStringList productCategories(Database& db);

// The orders of the editor's list.
enum class ProductOrder { ByName, ByCode, ByQuantity };
// The sort selector's entries ("CODIGO", "NOMBRE PRODUCTO", "CANTIDAD"), in the order it lists them.
const QStringList& productOrderChoices();
// The order chosen by the entry at index in productOrderChoices(); name order for any other index.
ProductOrder productOrderAt(int index);

// The editor's list, every product in one order, held compactly (all cells in one text buffer) so
// that a model can show 100,000 rows without a string per cell. Columns are ListView1's: 0 "Item"
// (the row's position plus one), 1 "Código", 2 "Nombre", 3 "Cantidad", 4 "Precio Costo",
// 5 "Precio Venta", 6 "Categoría". Numbers are plain number text and NULL is empty, as a record set
// reads them, except that a price equal to 0 reads "$ 0".
class ProductList final {
public:
    static constexpr int kColumns = 7;

    qsizetype size() const { return qsizetype(m_order.size()); }
    bool isEmpty() const { return m_order.empty(); }
    QString text(qsizetype row, int column) const;
    QStringView cell(qsizetype row, int column) const;

private:
    friend ProductList productList(Database& db, ProductOrder order);
    static constexpr int kStored = kColumns - 1; // cells kept per product ("Item" is computed)

    QString m_cells;                 // every stored cell, one after another
    std::vector<qsizetype> m_ends;   // where each stored cell ends in m_cells
    std::vector<qsizetype> m_order;  // the stored product shown at each row
};

// Every product in the given order.
ProductList productList(Database& db, ProductOrder order = ProductOrder::ByName);

// What Guardar did. message is empty when the product was stored, else the text to show; name is
// what the name box holds afterwards (trimmed once the required data are there).
struct SaveResult {
    enum class Outcome { Added, Changed, MissingData, DuplicateName, BadNumber, Vanished };
    Outcome outcome;
    QString message;
    QString name;
    bool saved() const { return outcome == Outcome::Added || outcome == Outcome::Changed; }
};

// Guardar: adds the product of the boxes (editing false) or changes the first product in name
// order with its code (editing true), as ProductEntry::save answers, in one transaction that also
// reads whether the name is taken. A refusal writes nothing; so does a change of a product deleted
// meanwhile.
SaveResult saveProduct(Database& db, const Product& boxes, bool editing, const Product* loaded = nullptr);

// What Eliminar answers, as the product stands: a refusal, or the question before deleting.
struct DeleteCheck {
    enum class Outcome { Allowed, InOffer, Vanished };
    Outcome outcome;
    EntryAnswer answer;
};

// The first product in name order with this code, as ProductEntry::remove answers.
DeleteCheck checkProductDeletion(Database& db, const QString& code);
// Deletes every product with the loaded code, in one transaction; returns how many went.
int deleteProduct(Database& db, const QString& loadedCode);

// The products whose name contains the typed text, in name order: List1's entries and, beside
// each, the product row it stands for. The text is matched literally ("%", "_" and quotes are
// plain characters) and without regard to letter case, accented letters included.
struct ProductMatches {
    QStringList names;
    QList<qint64> rows;
};
ProductMatches findProductsByName(Database& db, const QString& typed);
// The code of the product behind entry index of matches; nullopt when index is no entry, or that
// product is gone or renamed since the list was filled.
std::optional<QString> chosenProductCode(Database& db, const ProductMatches& matches, qsizetype index);

// A sale takes quantity off the stock of the first product in name order with code; nothing
// happens when there is none. No lower bound: the stock may go below zero. Throws DbError.
void reduceStock(Database& db, const QString& code, double quantity);
// A quantity sold of the product with a code: a line of a sale.
struct SoldQuantity {
    QString code;
    double quantity;
};
// The same for each line of a sale, the lines of one code taken off in turn, with one read of the
// products and one batch of writes (a write per product).
void reduceStock(Database& db, const std::vector<SoldQuantity>& sold);

} // namespace tarvino
