// The stock report's work without widgets: the listings of the stock window by name, code,
// category and critical stock, the investment total, and the export of a listing to a spreadsheet.
#include "catalogue/stock_report.h"

#include "catalogue/products.h"
#include "common/numbers.h"
#include "common/services.h"
#include "data/database.h"
#include "data/dialect.h"
#include "data/query.h"

#include <QHash>

#include <algorithm>
#include <charconv>
#include <functional>

namespace tarvino {

// Where each of a set of row numbers (ascending, each once) stands in it: through a table when
// the numbers lie close together, as they do in a table that only grows, else by a search.
class RowIndex final {
public:
    RowIndex() = default;
    explicit RowIndex(const std::vector<qint64>& ascending) : m_rowids(&ascending)
    {
        if (ascending.empty())
            return;
        m_first = ascending.front();
        const qint64 span = ascending.back() - m_first + 1;
        if (span > 4 * qint64(ascending.size()))
            return;
        m_table.assign(size_t(span), -1);
        for (size_t i = 0; i < ascending.size(); ++i)
            m_table[size_t(ascending[i] - m_first)] = qint32(i);
    }

    // -1 when the row number is not in the set.
    qsizetype positionOf(qint64 rowid) const
    {
        if (!m_rowids)
            return -1;
        if (!m_table.empty()) {
            const qint64 offset = rowid - m_first;
            return offset >= 0 && offset < qint64(m_table.size()) ? m_table[size_t(offset)] : -1;
        }
        const auto it = std::lower_bound(m_rowids->begin(), m_rowids->end(), rowid);
        return it != m_rowids->end() && *it == rowid ? qsizetype(it - m_rowids->begin()) : -1;
    }

private:
    const std::vector<qint64>* m_rowids = nullptr;
    qint64 m_first = 0;
    std::vector<qint32> m_table;
};

// The products a list shows, as one read left them, in the order of their row numbers. Texts
// (code, name, category) lie one after another in one buffer; the four numbers (quantity, cost
// price, sale price, critical stock) are kept as numbers with the kind of each stored value.
struct StockProducts {
    enum Kind : quint8 { Null, Number, Text };
    static constexpr int kTexts = 3;
    static constexpr int kNumbers = 4;
    enum TextField { CodeText, NameText, CategoryText };
    enum NumberField { QuantityValue, CostValue, PriceValue };

    QString texts;
    std::vector<qsizetype> ends;  // where each text ends in texts, kTexts per product
    std::vector<double> values;   // kNumbers per product
    std::vector<Kind> kinds;      // kNumbers per product
    QHash<qsizetype, QString> numberTexts; // a number column holding text, by product * kNumbers + field
    std::vector<qint64> rowids;   // ascending

    QStringView text(qsizetype product, int field) const
    {
        const qsizetype index = product * kTexts + field;
        const qsizetype begin = index == 0 ? 0 : ends[size_t(index - 1)];
        return QStringView(texts).mid(begin, ends[size_t(index)] - begin);
    }

    std::optional<double> value(qsizetype product, int field) const
    {
        const size_t index = size_t(product * kNumbers + field);
        if (kinds[index] != Number)
            return std::nullopt;
        return values[index];
    }

    QString valueText(qsizetype product, int field) const
    {
        const size_t index = size_t(product * kNumbers + field);
        switch (kinds[index]) {
        case Number:
            return plainNumber(values[index]);
        case Text:
            return numberTexts.value(qsizetype(index));
        case Null:
            break;
        }
        return {};
    }

};

namespace {

// The columns of a product, by row number or for the whole table in the table's own order, page
// after page: fetched in name order the whole table would cost a page read per row. The name
// order is taken from the name index, which holds nothing else.
const QString kProducto = QStringLiteral(
    "select rowid, CodigoProducto, NombreProducto, Cantidad, PrecioCosto, PrecioVenta, StockCritico, "
    "Categoria from Productos where rowid = ?");
const QString kProductos = QStringLiteral(
    "select rowid, CodigoProducto, NombreProducto, Cantidad, PrecioCosto, PrecioVenta, StockCritico, "
    "Categoria from Productos order by rowid");
const QString kFilasPorNombre = QStringLiteral("select rowid from Productos order by NombreProducto");
const QString kFilasDeCodigo =
    QStringLiteral("select rowid from Productos where CodigoProducto = ? order by NombreProducto");
const QString kCodigos = QStringLiteral("select rowid, CodigoProducto from Productos");
const QString kCategorias = QStringLiteral("select rowid, Categoria from Productos");
// Only numbers compare: a quantity or level that is empty, or text, makes no product critical.
const QString kFilasCriticas = QStringLiteral(
    "select rowid from Productos where %1 and %2 and Cantidad <= StockCritico");
const QString kHayProductos = QStringLiteral("select 1 from Productos limit 1");

// Up to this many products are read one by one through their row numbers; more are picked out
// of one read of the whole table.
constexpr size_t kReadsByRow = 16384;

// Appends a text cell as a record set reads it; ASCII, the common case, without a decoder.
void appendText(QString& buffer, const Cell& cell)
{
    if (cell.kind() == Cell::Kind::Real) {
        buffer += cell.text();
        return;
    }
    const QUtf8StringView text = cell.utf8();
    qsizetype i = 0;
    while (i < text.size() && uchar(text.data()[i]) < 0x80)
        ++i;
    if (i == text.size())
        buffer.append(QLatin1StringView(text.data(), text.size()));
    else
        buffer.append(text.toString());
}

// Appends the product on the current row of a statement of kProducto's columns.
void appendProduct(StockProducts& p, const Query& row)
{
    p.rowids.push_back(row.integer(0));
    for (const int column : {1, 2, 7}) {
        appendText(p.texts, row.cell(column));
        p.ends.push_back(p.texts.size());
    }
    for (int column = 3; column <= 6; ++column) {
        const Cell value = row.cell(column);
        switch (value.kind()) {
        case Cell::Kind::Integer:
        case Cell::Kind::Real:
            p.kinds.push_back(StockProducts::Number);
            p.values.push_back(value.real());
            break;
        case Cell::Kind::Null:
            p.kinds.push_back(StockProducts::Null);
            p.values.push_back(0);
            break;
        default: {
            // Text the column could not take as a number: shown as it is, multiplied by nothing.
            QString text;
            appendText(text, value);
            p.kinds.push_back(text.isEmpty() ? StockProducts::Null : StockProducts::Text);
            p.values.push_back(0);
            if (!text.isEmpty())
                p.numberTexts.insert(qsizetype(p.kinds.size() - 1), text);
        }
        }
    }
}

// Reads the products with the given row numbers (ascending, each once).
std::shared_ptr<StockProducts> readProducts(Database& db, const std::vector<qint64>& wanted)
{
    auto products = std::make_shared<StockProducts>();
    StockProducts& p = *products;
    p.rowids.reserve(wanted.size());
    p.ends.reserve(wanted.size() * StockProducts::kTexts);
    p.values.reserve(wanted.size() * StockProducts::kNumbers);
    p.kinds.reserve(wanted.size() * StockProducts::kNumbers);
    if (wanted.size() <= kReadsByRow) {
        Query walk(db, kProducto);
        for (const qint64 rowid : wanted) {
            walk.restart();
            walk.bind(1, rowid);
            if (walk.next())
                appendProduct(p, walk);
        }
        return products;
    }
    Query walk(db, kProductos);
    auto next = wanted.begin();
    while (next != wanted.end() && walk.next()) {
        const qint64 rowid = walk.integer(0);
        next = std::lower_bound(next, wanted.end(), rowid);
        if (next != wanted.end() && *next == rowid)
            appendProduct(p, walk);
    }
    return products;
}

std::vector<qint64> ascendingOnce(std::vector<qint64> rowids)
{
    if (rowids.empty() || std::is_sorted(rowids.begin(), rowids.end())) {
        rowids.erase(std::unique(rowids.begin(), rowids.end()), rowids.end());
        return rowids;
    }
    // Close-lying numbers (a table that only grows) are put in order by marking them.
    const auto [low, high] = std::minmax_element(rowids.begin(), rowids.end());
    const qint64 first = *low;
    const qint64 span = *high - first + 1;
    if (span <= 4 * qint64(rowids.size())) {
        std::vector<bool> present(static_cast<size_t>(span));
        for (const qint64 rowid : rowids)
            present[size_t(rowid - first)] = true;
        rowids.clear();
        for (qint64 offset = 0; offset < span; ++offset) {
            if (present[size_t(offset)])
                rowids.push_back(first + offset);
        }
        return rowids;
    }
    std::sort(rowids.begin(), rowids.end());
    rowids.erase(std::unique(rowids.begin(), rowids.end()), rowids.end());
    return rowids;
}

// The row numbers a statement gives in its first column.
std::vector<qint64> rowidsOf(Database& db, const QString& sql, const QVariant& parameter = {})
{
    std::vector<qint64> rowids;
    Query walk(db, sql);
    if (parameter.isValid())
        walk.bind(1, parameter);
    while (walk.next())
        rowids.push_back(walk.integer(0));
    return rowids;
}

// The products of rowids (ascending), in name order.
std::vector<qint64> inNameOrder(Database& db, const std::vector<qint64>& rowids)
{
    std::vector<qint64> ordered;
    if (rowids.empty())
        return ordered;
    ordered.reserve(rowids.size());
    const RowIndex wanted(rowids);
    Query walk(db, kFilasPorNombre);
    while (walk.next()) {
        const qint64 rowid = walk.integer(0);
        if (wanted.positionOf(rowid) >= 0)
            ordered.push_back(rowid);
    }
    return ordered;
}

// The products whose text in the second column of sql (row number, text) keeps, in name order.
std::vector<qint64> keptInNameOrder(Database& db, const QString& sql, const std::function<bool(QUtf8StringView)>& keep)
{
    std::vector<qint64> kept;
    {
        Query walk(db, sql);
        while (walk.next()) {
            if (keep(walk.cell(1).utf8()))
                kept.push_back(walk.integer(0));
        }
    }
    return inNameOrder(db, ascendingOnce(std::move(kept)));
}

} // namespace

// Builds a list out of the row numbers of its products in the order shown.
class StockReader final {
public:
    static StockList list(Database& db, const std::vector<qint64>& order, StockList::Look look = StockList::Look::Plain)
    {
        StockList list;
        list.m_look = look;
        auto products = readProducts(db, ascendingOnce(order));
        const RowIndex read(products->rowids);
        list.m_rows.reserve(order.size());
        for (const qint64 rowid : order) {
            const qsizetype product = read.positionOf(rowid);
            if (product >= 0)
                list.m_rows.push_back(product);
        }
        list.m_products = std::move(products);
        return list;
    }
};

StockList::StockList() = default;

QString StockList::text(qsizetype row, int column) const
{
    if (row < 0 || row >= size())
        return {};
    const StockProducts& p = *m_products;
    const qsizetype product = m_rows[size_t(row)];
    switch (column) {
    case Item:
        return QString::number(row + 1);
    case Code:
        return p.text(product, StockProducts::CodeText).toString();
    case Name:
        return p.text(product, StockProducts::NameText).toString();
    case Category:
        return p.text(product, StockProducts::CategoryText).toString();
    case Quantity:
        return p.valueText(product, StockProducts::QuantityValue);
    case CostPrice:
        return p.valueText(product, StockProducts::CostValue);
    case SalePrice:
        return p.valueText(product, StockProducts::PriceValue);
    case CostTotal:
    case SaleTotal: {
        const auto value = number(row, column);
        return value ? plainNumber(*value) : QString();
    }
    default:
        return {};
    }
}

QStringView StockList::storedText(qsizetype row, int column) const
{
    if (row < 0 || row >= size())
        return {};
    const qsizetype product = m_rows[size_t(row)];
    switch (column) {
    case Code:
        return m_products->text(product, StockProducts::CodeText);
    case Name:
        return m_products->text(product, StockProducts::NameText);
    case Category:
        return m_products->text(product, StockProducts::CategoryText);
    default:
        return {};
    }
}

std::optional<double> StockList::number(qsizetype row, int column) const
{
    if (row < 0 || row >= size())
        return std::nullopt;
    const StockProducts& p = *m_products;
    const qsizetype product = m_rows[size_t(row)];
    switch (column) {
    case Quantity:
        return p.value(product, StockProducts::QuantityValue);
    case CostPrice:
        return p.value(product, StockProducts::CostValue);
    case SalePrice:
        return p.value(product, StockProducts::PriceValue);
    case CostTotal:
    case SaleTotal: {
        const auto quantity = p.value(product, StockProducts::QuantityValue);
        const auto price = p.value(product, column == CostTotal ? StockProducts::CostValue : StockProducts::PriceValue);
        if (!quantity || !price)
            return std::nullopt;
        return *quantity * *price;
    }
    default:
        return std::nullopt;
    }
}

double StockList::investmentTotal() const
{
    double total = 0;
    for (qsizetype row = 0; row < size(); ++row) {
        if (const auto cost = number(row, CostTotal))
            total += *cost;
    }
    return total;
}

bool catalogueIsEmpty(Database& db)
{
    Query walk(db, kHayProductos);
    return !walk.next();
}

StockList stockByName(Database& db, const QString& typed)
{
    // "*" asks for the whole catalogue in name order. The products whose name holds a "*" are
    // part of it already; listed a second time they would be counted twice in the investment
    // total and in the export.
    if (typed == QLatin1String("*"))
        return StockReader::list(db, rowidsOf(db, kFilasPorNombre));
    // The matching of the search windows: literal, and blind to letter case, accents included.
    const ProductMatches matches = findProductsByName(db, typed);
    return StockReader::list(db, std::vector<qint64>(matches.rows.begin(), matches.rows.end()));
}

StockList stockByCode(Database& db, const QString& code)
{
    // A code without letters is its own every case, so the index finds it.
    if (code.toCaseFolded() == code && code.toUpper() == code)
        return StockReader::list(db, rowidsOf(db, kFilasDeCodigo, code));
    return StockReader::list(db, keptInNameOrder(db, kCodigos, [&](QUtf8StringView stored) {
        return QAnyStringView::compare(stored, code, Qt::CaseInsensitive) == 0;
    }));
}

StockList stockByCategory(Database& db, const QString& category)
{
    return StockReader::list(db, keptInNameOrder(db, kCategorias, [&](QUtf8StringView stored) {
        return QAnyStringView::compare(stored, category, Qt::CaseInsensitive) == 0;
    }));
}

namespace {

QString criticalRows(const Database& db)
{
    const Dialect& dialect = db.dialect();
    return kFilasCriticas.arg(dialect.holdsNumber(QStringLiteral("Cantidad")),
                              dialect.holdsNumber(QStringLiteral("StockCritico")));
}

} // namespace

StockList criticalStock(Database& db)
{
    return StockReader::list(db, inNameOrder(db, ascendingOnce(rowidsOf(db, criticalRows(db)))),
                             StockList::Look::Critical);
}

QString investmentCaption(double total)
{
    return QStringLiteral("Total de Inversión ") + formatPicture(total, QStringLiteral("$ ###,###,###.###"));
}

const SheetColumn kStockSheet[StockList::kColumns] = {
    {"ITEM", 5, false},          {"CÓDIGO PRODUCTO", 18, false}, {"NOMBRE PRODUCTO", 25, false},
    {"CANTIDAD", 12, true},      {"PRECIO COSTO", 16, true},     {"PRECIO VENTA", 16, false},
    {"CATEGORÍA", 30, false},    {"COSTO TOTAL", 14, true},      {"VENTA TOTAL", 14, true},
};

namespace {

// Fills the sheet; throws SpreadsheetError at the first failure.
void fillSheet(Spreadsheet& sheet, const StockList& list, ExportProgress* progress)
{
    sheet.newWorkbook(QStringLiteral("Stock"));
    if (progress)
        progress->setMaximum(list.size());
    for (int column = 0; column < StockList::kColumns; ++column)
        sheet.setColumnWidth(column + 1, kStockSheet[column].width);
    const CellFont header{true, kSheetHeaderPoints, kSheetHeaderRgb};
    for (int column = 0; column < StockList::kColumns; ++column)
        sheet.setText(1, column + 1, QString::fromUtf8(kStockSheet[column].header), header);

    // The texts are handed over where the list keeps them, and the item number is written into
    // a buffer of its own: a copy of every cell would cost more than writing it. Prices repeat
    // across a catalogue; each is made text once.
    QHash<double, QString> priceTexts;
    char16_t item[24];
    for (qsizetype row = 0; row < list.size(); ++row) {
        const int sheetRow = int(row + 2);
        char digits[24];
        const char* end = std::to_chars(digits, digits + sizeof digits, row + 1).ptr;
        std::copy(static_cast<const char*>(digits), end, item);
        sheet.setText(sheetRow, 1, QStringView(item, end - digits));
        for (int column = 1; column < StockList::kColumns; ++column) {
            if (!kStockSheet[column].number) {
                if (column != StockList::SalePrice) {
                    sheet.setText(sheetRow, column + 1, list.storedText(row, column));
                    continue;
                }
                const auto price = list.number(row, column);
                if (!price) {
                    sheet.setText(sheetRow, column + 1, list.text(row, column));
                    continue;
                }
                auto text = priceTexts.constFind(*price);
                if (text == priceTexts.constEnd())
                    text = priceTexts.insert(*price, list.text(row, column));
                sheet.setText(sheetRow, column + 1, *text);
                continue;
            }
            if (const auto value = list.number(row, column)) {
                sheet.setNumber(sheetRow, column + 1, *value);
                continue;
            }
            // An empty cell stays empty; text where a number belongs cannot be summed.
            const QString text = list.text(row, column);
            if (!text.isEmpty())
                throw SpreadsheetError(QStringLiteral("No se pudo exportar la fila %1: «%2» de la columna «%3» "
                                                      "no es un número.")
                                           .arg(row + 1)
                                           .arg(text, QString::fromUtf8(kStockSheet[column].header)));
        }
        if (progress)
            progress->setValue(row + 1);
    }
    sheet.show();
}

} // namespace

bool Exportar_Excel(Spreadsheet& sheet, Messages& messages, const StockList& list, ExportProgress* progress)
{
    try {
        fillSheet(sheet, list, progress);
    } catch (const SpreadsheetError& e) {
        sheet.discard();
        if (progress)
            progress->setValue(0);
        messages.inform(e.message(), kAppTitle, Messages::Icon::Critical);
        return false;
    }
    if (progress)
        progress->setValue(0);
    return true;
}

} // namespace tarvino
