// The stock report's work without widgets: the listings of the stock window by name, code,
// category and critical stock, the investment total, and the export of a listing to a spreadsheet.
#pragma once

#include <QString>

#include <memory>
#include <optional>
#include <vector>

namespace tarvino {

class Database;
class Messages;
class Spreadsheet;

// What the stock window says to the user.
namespace stockMessages {
inline const QString kNombreVacio = QStringLiteral("Debe ingresar el Nombre del Producto a buscar");
inline const QString kNoEncontrado = QStringLiteral("No se encontró el Producto");
inline const QString kCodigoVacio = QStringLiteral("Debe ingresar el Código del Producto a buscar");
inline const QString kCategoriaVacia = QStringLiteral("Debe ingresar el Nombre de la Categoría a buscar");
inline const QString kCategoriaSinProductos = QStringLiteral("Esta Categoría no contiene Productos");
inline const QString kSinCriticos = QStringLiteral("No se encontraron Productos en estado crítico");
inline const QString kNadaQueExportar = QStringLiteral("No existe nada que exportar");
} // namespace stockMessages

struct StockProducts;

// The rows of the stock list, held compactly so that a model shows 100,000 of them without a
// string per cell: numbers are kept as numbers and written as text only when a cell is asked for.
// Columns are ListView1's: 0 "Item" (the row's position plus one), 1 "Código", 2 "Nombre",
// 3 "Cantidad", 4 "Precio Costo", 5 "Precio Venta", 6 "Categoría", 7 "Costo Total" (Cantidad times
// Precio Costo) and 8 "Venta Total" (Cantidad times Precio Venta). Numbers are plain number text in
// the locale in use. An empty quantity or price (or text in its place) leaves the totals that need
// it empty.
class StockList final {
public:
    static constexpr int kColumns = 9;
    enum Column { Item, Code, Name, Quantity, CostPrice, SalePrice, Category, CostTotal, SaleTotal };
    // How the list is coloured: black on light yellow, or red for the products at critical stock.
    enum class Look { Plain, Critical };

    StockList();
    qsizetype size() const { return qsizetype(m_rows.size()); }
    bool isEmpty() const { return m_rows.empty(); }
    Look look() const { return m_look; }
    QString text(qsizetype row, int column) const;
    // The text of a text column (1, 2, 6) where the list keeps it, without a copy; empty for the
    // other columns. Valid while the list is.
    QStringView storedText(qsizetype row, int column) const;
    // The value of a number column (3, 4, 5, 7, 8); nullopt when the cell is empty or holds text.
    std::optional<double> number(qsizetype row, int column) const;
    // The sum of "Costo Total" over the rows; empty cells count for nothing.
    double investmentTotal() const;

private:
    friend class StockReader;

    std::shared_ptr<const StockProducts> m_products;
    std::vector<qsizetype> m_rows; // the product shown at each row
    Look m_look = Look::Plain;
};

// Whether Productos has no row at all.
bool catalogueIsEmpty(Database& db);
// The products whose name contains typed, literally and whatever the letter case, in name order;
// for "*" every product, each once, in name order.
StockList stockByName(Database& db, const QString& typed);
// The products whose code is code (letter case aside), in name order.
StockList stockByCode(Database& db, const QString& code);
// The products of the category (letter case aside), in name order.
StockList stockByCategory(Database& db, const QString& category);
// The products whose quantity is at or below their critical stock, in name order, coloured red.
StockList criticalStock(Database& db);

// Label2's text: "Total de Inversión " and the total under "$ ###,###,###.###".
QString investmentCaption(double total);

// Where the export says how far it got: the number of rows, then each row written, then 0.
class ExportProgress {
public:
    virtual ~ExportProgress() = default;
    virtual void setMaximum(qsizetype rows) = 0;
    virtual void setValue(qsizetype rows) = 0;
};

// The sheet the listing is exported to: header, width in characters and whether the cells of the
// column are written as numbers.
struct SheetColumn {
    const char* header;
    double width;
    bool number;
};
extern const SheetColumn kStockSheet[StockList::kColumns];
// The look of the header row: bold, size 10, blue.
inline constexpr double kSheetHeaderPoints = 10;
inline constexpr unsigned kSheetHeaderRgb = 0x0000FF;

// Copies the rows of list into a new workbook (headers in row 1, list row i in sheet row i + 1) and
// hands it to the user. A failure ends the export, drops the workbook unshown and is told to the
// user with the critical icon; the result says whether the workbook was shown. The progress, when
// given, counts the rows written and returns to 0 either way.
bool Exportar_Excel(Spreadsheet& sheet, Messages& messages, const StockList& list, ExportProgress* progress);

} // namespace tarvino
