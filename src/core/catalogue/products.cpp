// The one home of the Productos table: look-up by code, the editor's list, saving and deleting a
// product, and the search by part of the name behind both product search windows.
#include "catalogue/products.h"

#include "catalogue/product_entry.h"
#include "common/numbers.h"
#include "data/database.h"
#include "data/query.h"
#include "data/window_data.h"

#include <QHash>

#include <algorithm>

namespace tarvino {

namespace {

const QString kCodigo = QStringLiteral("CodigoProducto");
const QString kNombre = QStringLiteral("NombreProducto");
const QString kCantidad = QStringLiteral("Cantidad");
const QString kPrecioCosto = QStringLiteral("PrecioCosto");
const QString kPrecioVenta = QStringLiteral("PrecioVenta");
const QString kStockCritico = QStringLiteral("StockCritico");
const QString kCategoria = QStringLiteral("Categoria");
const QString kParteDeOferta = QStringLiteral("ParteDeOferta");

// The list and the search read their columns straight off the statement: a record set of the
// whole catalogue costs half a second at 100,000 products. The rows are read in the table's own
// order, page after page: fetched in name order they would cost a page read (and decryption) per
// row. The order is then taken from the name or code index, which holds nothing else.
const QString kFilas = QStringLiteral(
    "select rowid, CodigoProducto, NombreProducto, Cantidad, PrecioCosto, PrecioVenta, Categoria "
    "from Productos order by rowid");
const QString kFilasPorNombre =
    QStringLiteral("select rowid from Productos order by NombreProducto");
const QString kFilasPorCodigo =
    QStringLiteral("select rowid from Productos order by CodigoProducto");
// Name and row only, so that the name index answers the search without reading the table.
const QString kNombresComo = QStringLiteral(
    "select rowid, NombreProducto from Productos where NombreProducto like ? escape '\\' "
    "order by NombreProducto");
const QString kProductoDeFila =
    QStringLiteral("select CodigoProducto, NombreProducto from Productos where rowid = ?");

const QString kPesoCero = QStringLiteral("$ 0");

QString numberText(const RecordSet& rs, const QString& column)
{
    const QString text = rs.text(column);
    return text.isEmpty() ? QStringLiteral("0") : text;
}

// A column value ordered as the engine orders one column: NULL first, then numbers by value,
// then text and blobs by their bytes.
struct SortKey {
    int kind = 0;
    double number = 0;
    QByteArray bytes;

    bool operator<(const SortKey& other) const
    {
        if (kind != other.kind)
            return kind < other.kind;
        if (kind == 1)
            return number < other.number;
        return bytes < other.bytes;
    }
};

SortKey sortKey(const Cell& cell)
{
    switch (cell.kind()) {
    case Cell::Kind::Null:
        return {};
    case Cell::Kind::Integer:
    case Cell::Kind::Real:
        return {1, cell.real(), {}};
    default: {
        const QUtf8StringView bytes = cell.utf8();
        return {cell.kind() == Cell::Kind::Text ? 2 : 3, 0, QByteArray(bytes.data(), bytes.size())};
    }
    }
}

void writeFields(RecordSet& rs, const ProductChange& change)
{
    rs.setValue(kNombre, change.name);
    if (change.stock)
        rs.setValue(kCantidad, *change.stock);
    if (change.costPrice)
        rs.setValue(kPrecioCosto, *change.costPrice);
    if (change.salePrice)
        rs.setValue(kPrecioVenta, *change.salePrice);
    if (change.criticalStock)
        rs.setValue(kStockCritico, int(*change.criticalStock));
    rs.setValue(kCategoria, change.category);
}

// The LIKE pattern for "name contains typed". The engine ignores case for ASCII letters only, so
// a letter outside ASCII that has another case becomes "_" (any one character) and the rows it
// lets through are sifted afterwards; refine says whether that is needed.
QString containsPattern(const QString& typed, bool& refine)
{
    refine = false;
    QString pattern = QStringLiteral("%");
    pattern.reserve(typed.size() + 2);
    for (qsizetype i = 0; i < typed.size(); ++i) {
        const QChar c = typed[i];
        if (c == QLatin1Char('%') || c == QLatin1Char('_') || c == QLatin1Char('\\')) {
            pattern += QLatin1Char('\\');
            pattern += c;
            continue;
        }
        char32_t point = c.unicode();
        qsizetype units = 1;
        if (c.isHighSurrogate() && i + 1 < typed.size() && typed[i + 1].isLowSurrogate()) {
            point = QChar::surrogateToUcs4(c, typed[i + 1]);
            units = 2;
        }
        if (point >= 0x80 && (QChar::toLower(point) != point || QChar::toUpper(point) != point ||
                              QChar::toCaseFolded(point) != point)) {
            pattern += QLatin1Char('_');
            refine = true;
        } else {
            pattern += typed.mid(i, units);
        }
        i += units - 1;
    }
    pattern += QLatin1Char('%');
    return pattern;
}

} // namespace

// ---- The record-set routines on Productos ------------------------------------------------------

void WindowData::OpenProductos()
{
    rs.open(m_db, QStringLiteral("select * from Productos order by NombreProducto"));
}

void WindowData::OpenProductosByCode()
{
    rs.open(m_db, QStringLiteral("select * from Productos order by CodigoProducto"));
}

void WindowData::OpenProductosByQuantity()
{
    rs.open(m_db, QStringLiteral("select * from Productos order by Cantidad"));
}

// The first of them is the product a typed code stands for, found through the code index.
namespace {
// The first product in name order whose code equals the typed code, found through the index.
const QString kProductoPorCodigo =
    QStringLiteral("select * from Productos where CodigoProducto = ? order by NombreProducto");
} // namespace

void WindowData::OpenProductosWithCode(const QString& code)
{
    rs.open(m_db, kProductoPorCodigo, {code});
}

// A sale's codes in one read, by code and, within a code, in name order. The number of "?" is
// rounded up to a power of two (the last code repeated) so that a few statements, prepared once,
// serve every sale.
void WindowData::OpenProductosWithCodesLocking(const QStringList& codes)
{
    qsizetype marks = 1;
    while (marks < codes.size())
        marks *= 2;
    QStringList placeholders;
    QVariantList values;
    for (qsizetype i = 0; i < marks; ++i) {
        placeholders << QStringLiteral("?");
        values << codes.value(std::min(i, codes.size() - 1));
    }
    rs.openLocking(m_db,
                   QStringLiteral("select * from Productos where CodigoProducto in (%1) order by "
                                  "CodigoProducto, NombreProducto, rowid")
                       .arg(placeholders.join(QLatin1Char(','))),
                   values);
}

void WindowData::OpenProductosWithName(const QString& name)
{
    rs.open(m_db, QStringLiteral("select * from Productos where NombreProducto = ?"), {name});
}

void WindowData::OpenProductosForAdding()
{
    rs.open(m_db, QStringLiteral("select * from Productos limit 0"));
}

void WindowData::OpenCategorias()
{
    rs.open(m_db, QStringLiteral("select Categoria from Productos Group by Categoria"));
}

// ---- Look-up, list, saving and deleting --------------------------------------------------------

std::optional<Product> findProductByCode(Database& db, const QString& code)
{
    WindowData data(db);
    data.OpenProductosWithCode(code);
    const RecordSet& rs = data.rs;
    if (rs.eof())
        return std::nullopt;
    Product p;
    p.code = rs.text(kCodigo);
    p.name = rs.text(kNombre);
    p.stock = numberText(rs, kCantidad);
    p.costPrice = numberText(rs, kPrecioCosto);
    p.salePrice = numberText(rs, kPrecioVenta);
    p.criticalStock = numberText(rs, kStockCritico);
    p.category = rs.text(kCategoria);
    return p;
}

QStringList productCategories(Database& db)
{
    WindowData data(db);
    data.OpenCategorias();
    QStringList categories;
    for (RecordSet& rs = data.rs; !rs.eof(); rs.moveNext())
        categories << rs.text(kCategoria);
    return categories;
}

const QStringList& productOrderChoices()
{
    static const QStringList choices = {QStringLiteral("CODIGO"), QStringLiteral("NOMBRE PRODUCTO"),
                                        QStringLiteral("CANTIDAD")};
    return choices;
}

ProductOrder productOrderAt(int index)
{
    switch (index) {
    case 0:
        return ProductOrder::ByCode;
    case 2:
        return ProductOrder::ByQuantity;
    default:
        return ProductOrder::ByName;
    }
}

QStringView ProductList::cell(qsizetype row, int column) const
{
    if (row < 0 || row >= size() || column < 1 || column >= kColumns)
        return {};
    const qsizetype index = m_order[size_t(row)] * kStored + column - 1;
    const qsizetype begin = index == 0 ? 0 : m_ends[size_t(index - 1)];
    return QStringView(m_cells).mid(begin, m_ends[size_t(index)] - begin);
}

QString ProductList::text(qsizetype row, int column) const
{
    if (column == 0 && row >= 0 && row < size())
        return QString::number(row + 1);
    return cell(row, column).toString();
}

ProductList productList(Database& db, ProductOrder order)
{
    ProductList list;
    std::vector<qint64> rowids;
    std::vector<SortKey> quantities;
    {
        Query walk(db, kFilas);
        CellTexts cells(list.m_cells, list.m_ends);
        while (walk.next()) {
            rowids.push_back(walk.integer(0));
            cells.append(walk.cell(1));
            cells.append(walk.cell(2));
            const Cell quantity = walk.cell(3);
            cells.append(quantity);
            // A price equal to 0 shows as "$ 0".
            cells.append(walk.cell(4), kPesoCero);
            cells.append(walk.cell(5), kPesoCero);
            cells.append(walk.cell(6));
            if (order == ProductOrder::ByQuantity)
                quantities.push_back(sortKey(quantity));
        }
    }

    std::vector<qsizetype>& shown = list.m_order;
    shown.reserve(rowids.size());
    if (order == ProductOrder::ByQuantity) {
        // Quantity has no index; equal quantities keep the table's order, as the engine's sort does.
        for (size_t i = 0; i < rowids.size(); ++i)
            shown.push_back(qsizetype(i));
        std::stable_sort(shown.begin(), shown.end(),
                         [&](qsizetype a, qsizetype b) { return quantities[a] < quantities[b]; });
        return list;
    }
    // Where each row number was read: a table when the numbers lie close together, as they do in
    // a table that only grows, else a search.
    const qint64 first = rowids.empty() ? 0 : rowids.front();
    const qint64 span = rowids.empty() ? 0 : rowids.back() - first + 1;
    std::vector<qsizetype> positionOf;
    if (span <= 4 * qint64(rowids.size())) {
        positionOf.assign(size_t(span), -1);
        for (size_t i = 0; i < rowids.size(); ++i)
            positionOf[size_t(rowids[i] - first)] = qsizetype(i);
    }
    Query walk(db, order == ProductOrder::ByCode ? kFilasPorCodigo : kFilasPorNombre);
    while (walk.next()) {
        const qint64 rowid = walk.integer(0);
        if (!positionOf.empty()) {
            if (rowid >= first && rowid - first < span && positionOf[size_t(rowid - first)] >= 0)
                shown.push_back(positionOf[size_t(rowid - first)]);
            continue;
        }
        const auto it = std::lower_bound(rowids.begin(), rowids.end(), rowid);
        if (it != rowids.end() && *it == rowid)
            shown.push_back(it - rowids.begin());
    }
    return list;
}

QString productMessages::gone(const QString& code)
{
    return QStringLiteral("El producto de código «%1» ya no existe.").arg(code);
}

SaveResult saveProduct(Database& db, const Product& boxes, bool editing, const Product* loaded)
{
    using Outcome = SaveResult::Outcome;
    // Read only once the required boxes are there, within the transaction that writes.
    std::optional<Transaction> tx;
    WindowData data(db);
    RecordSet& rs = data.rs;
    const ProductSave rules = ProductEntry::save(boxes, editing, loaded, [&](const QString& name) {
        tx.emplace(db);
        QStringList owners;
        data.OpenProductosWithName(name);
        for (; !rs.eof(); rs.moveNext())
            owners << rs.text(kCodigo);
        return owners;
    });
    if (!rules.answer.goesOn())
        return {rules.outcome, rules.answer.text, rules.name};

    const ProductChange& change = rules.change;
    if (editing) {
        data.OpenProductosWithCode(change.code);
        if (rs.eof())
            return {Outcome::Vanished, productMessages::gone(change.code), rules.name};
        writeFields(rs, change);
        rs.update();
    } else {
        data.OpenProductosForAdding();
        rs.addNew();
        rs.setValue(kCodigo, change.code);
        writeFields(rs, change);
        rs.update();
    }
    data.CloseDatabase();
    tx->commit();
    return {rules.outcome, QString(), rules.name};
}

DeleteCheck checkProductDeletion(Database& db, const QString& code)
{
    WindowData data(db);
    data.OpenProductosWithCode(code);
    using Outcome = DeleteCheck::Outcome;
    Outcome standing = Outcome::Allowed;
    if (data.rs.eof())
        standing = Outcome::Vanished;
    else if (data.rs.number(kParteDeOferta) == 1)
        standing = Outcome::InOffer;
    return {standing, ProductEntry::remove(code, standing)};
}

int deleteProduct(Database& db, const QString& loadedCode)
{
    Transaction tx(db);
    WindowData data(db);
    RecordSet& rs = data.rs;
    data.OpenProductosWithCode(loadedCode);
    int deleted = 0;
    for (; !rs.eof(); rs.moveNext(), ++deleted)
        rs.deleteCurrent();
    data.CloseDatabase();
    tx.commit();
    return deleted;
}

ProductMatches findProductsByName(Database& db, const QString& typed)
{
    bool refine = false;
    const QString pattern = containsPattern(typed, refine);
    ProductMatches matches;
    Query walk(db, kNombresComo, {pattern});
    while (walk.next()) {
        QString name = walk.cell(1).utf8().toString();
        if (refine && !name.contains(typed, Qt::CaseInsensitive))
            continue;
        matches.names << std::move(name);
        matches.rows << walk.integer(0);
    }
    return matches;
}

std::optional<QString> chosenProductCode(Database& db, const ProductMatches& matches, qsizetype index)
{
    if (index < 0 || index >= matches.rows.size() || index >= matches.names.size())
        return std::nullopt;
    Query walk(db, kProductoDeFila, {matches.rows[index]});
    // A row number can be given again to a product added after a deletion; the exact name tells.
    if (!walk.next() || walk.cell(1).utf8().toString() != matches.names[index])
        return std::nullopt;
    return walk.cell(0).utf8().toString();
}

void reduceStock(Database& db, const QString& code, double quantity)
{
    reduceStock(db, {{code, quantity}});
}

void reduceStock(Database& db, const std::vector<SoldQuantity>& sold)
{
    // Each code's quantities in the order sold. The products are read and locked in code order:
    // two tills on one server that sell the same products then lock their rows in the same order,
    // so neither ever waits for the other in a circle.
    QHash<QString, std::vector<double>> quantities;
    for (const SoldQuantity& line : sold)
        quantities[line.code].push_back(line.quantity);
    QStringList codes = quantities.keys();
    std::sort(codes.begin(), codes.end());

    WindowData data(db);
    RecordSet& rs = data.rs;
    // A sale's codes fit one read; more than a statement may carry are read a part at a time.
    constexpr qsizetype kCodesPerRead = 512;
    for (qsizetype from = 0; from < codes.size(); from += kCodesPerRead) {
        // Locked while the sale's transaction lasts: another till selling the same products waits
        // for these quantities instead of writing over them.
        data.OpenProductosWithCodesLocking(codes.mid(from, kCodesPerRead));
        QString previous;
        for (; !rs.eof(); rs.moveNext()) {
            // The first row of each code is the first product in name order with it.
            const QString code = rs.text(kCodigo);
            if (code == previous)
                continue;
            previous = code;
            const auto sales = quantities.constFind(code);
            if (sales == quantities.constEnd())
                continue;
            // Kept to a quantity's decimals: 0,3 sold as 0,1 and 0,2 leaves 0, not a remainder.
            double left = rs.number(kCantidad);
            for (const double quantity : *sales)
                left = roundQuantity(left - quantity);
            rs.setValue(kCantidad, left);
        }
        rs.updateBatch();
    }
}

} // namespace tarvino
