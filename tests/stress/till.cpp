// A till without windows that works a shop file through the routines the windows call, at random,
// and says each step it takes in one line, so that whoever stops it knows what it was told.
#include "stress/till.h"
#include "data/query.h"

#include "app/startup.h"
#include "catalogue/products.h"
#include "common/numbers.h"
#include "common/timestamps.h"
#include "data/schema.h"
#include "sales/recording.h"
#include "sales/sale_lines.h"
#include "sales/sales_day.h"

#include <QDir>
#include <QStringList>


namespace tarvino::stress {

namespace {

// The start-up's messages: the till has nobody to show them to, so it keeps the last one to say.
class KeptMessages final : public Messages {
public:
    void inform(const QString& text, const QString&, Icon) override { last = text; }
    bool ask(const QString& text, const QString&) override
    {
        last = text;
        return false; // the file is always there: a question about making one is a failure
    }
    QString last;
};

} // namespace

const std::vector<SoldProduct>& soldProducts()
{
    static const std::vector<SoldProduct> products{
        {QStringLiteral("101"), QStringLiteral("Leche"), 700, 990},
        {QStringLiteral("102"), QStringLiteral("Pan"), 900, 1500},
        {QStringLiteral("103"), QStringLiteral("Queso"), 3000, 4290},
        {QStringLiteral("104"), QStringLiteral("Arroz"), 800, 1190},
        {QStringLiteral("105"), QStringLiteral("Aceite"), 2100, 2890},
    };
    return products;
}

QString editorCode(int i)
{
    return QString::number(901 + i);
}

void makeShop(const QString& folder)
{
    const QString path = QDir(folder).filePath(kDatabaseFileName);
    createDatabase(path, kDatabaseKey);
    Database db;
    db.open(path);
    prepareDatabase(db);
    {
        Query insert(db, QStringLiteral(
            "insert into Productos (CodigoProducto, NombreProducto, Cantidad, PrecioCosto, PrecioVenta, "
            "StockCritico, Categoria) values (?, ?, ?, ?, ?, 5, 'Almacén')"));
        for (const SoldProduct& p : soldProducts()) {
            insert.bind(1, p.code);
            insert.bind(2, p.name);
            insert.bind(3, kSoldStock);
            insert.bind(4, p.cost);
            insert.bind(5, p.price);
            insert.execute();
        }
    }
    db.close();
}

Till::Till(const QString& folder, quint64 seed, const QDateTime& clockStart, Say say)
    : m_folder(folder), m_random(seed), m_clock(clockStart), m_say(std::move(say))
{
}

Till::~Till()
{
    close();
}

void Till::close()
{
    m_db.close();
}

int Till::draw(int below)
{
    return int(m_random() % quint64(below));
}

bool Till::startUp()
{
    KeptMessages messages;
    if (!openShopDatabase(m_db, m_folder, messages)) {
        m_say(QStringLiteral("F|") + oneLine(messages.last));
        return false;
    }
    // The sales window's load, with a cashier who answers the unclosed-day question at random.
    RandomCashier cashier([this](int below) { return draw(below); }, m_clock, m_day, m_say);
    const SalesDay::Start start = m_day.load(cashier);
    if (start == SalesDay::Start::Refused) {
        m_say(QStringLiteral("F|") + oneLine(cashier.last));
        return false;
    }
    return cashier.openDay(start);
}

bool Till::step()
{
    const int pick = draw(100);
    if (pick < 50)
        return sale(false);
    if (pick < 62) {
        if (!closing())
            return false;
        m_clock.step();
        m_day.begin(QStringLiteral("admin"));
        m_say(QStringLiteral("L|") + m_day.openingStamp());
        return true;
    }
    if (pick < 85)
        return saveProduct();
    return deleteProduct();
}

bool Till::sale(bool retry)
{
    SaleLines& lines = m_lines;
    QString& kind = m_kind;
    if (!retry) {
        lines.clear();
        const int count = 1 + draw(4);
        for (int i = 0; i < count; ++i) {
            const SoldProduct& p = soldProducts()[std::size_t(draw(int(soldProducts().size())))];
            const double quantity = 1 + draw(3);
            const auto product = findProductByCode(m_db, p.code);
            if (!product) {
                m_say(QStringLiteral("E|producto %1 no encontrado").arg(p.code));
                return false;
            }
            mergeDetailLine(lines, *product, product->code, quantity, plainNumber(quantity));
        }
        kind = draw(10) < 7 ? QStringLiteral("EFECTIVO") : QStringLiteral("TARJETA");
    }
    m_clock.step();
    const QString iso = isoText(m_clock.now());
    const QString total = plainNumber(computeTotal(lines));
    QStringList cells;
    for (const SaleLine& line : std::as_const(lines))
        cells << QStringLiteral("%1:%2:%3").arg(line[detail::Code], line[detail::Quantity], line[detail::TotalSale]);
    m_say(QStringLiteral("B|%1|%2|%3|%4").arg(iso, kind, total, cells.join(QLatin1Char(','))));
    if (beforeSale)
        beforeSale();
    try {
        const RecordedSale recorded = m_day.record(lines, total, kind);
        m_say(recorded.commitFailure.isEmpty()
                  ? QStringLiteral("R|") + iso
                  : QStringLiteral("W|%1|%2").arg(iso, oneLine(recorded.commitFailure)));
        return true;
    } catch (const SaleOutcomeUnknown& e) {
        m_say(QStringLiteral("U|%1|%2").arg(iso, oneLine(e.message())));
        return false;
    } catch (const DbError& e) {
        m_say(QStringLiteral("N|%1|%2").arg(iso, oneLine(e.message())));
        // The cashier charges the sale on screen once more.
        return !retry && m_db.isOpen() && sale(true);
    }
}

bool Till::closing()
{
    m_clock.step();
    const QString iso = isoText(m_clock.now());
    m_say(QStringLiteral("C|") + iso);
    try {
        const int copied = m_day.close();
        m_say(QStringLiteral("c|%1|%2").arg(iso).arg(copied));
        return true;
    } catch (const DbError& e) {
        m_say(QStringLiteral("E|") + oneLine(e.message()));
        return false;
    }
}

bool Till::saveProduct()
{
    m_clock.step();
    const QString iso = isoText(m_clock.now());
    const QString code = editorCode(draw(kEditorCodes));
    try {
        const bool editing = findProductByCode(m_db, code).has_value();
        // Every field changes at each save, so that a product half saved shows.
        const Product boxes{code,
                            QStringLiteral("Producto %1 %2").arg(code, iso),
                            QString::number(draw(1000)),
                            QString::number(100 + draw(900)),
                            QString::number(1000 + draw(9000)),
                            QString::number(draw(50)),
                            QStringLiteral("Categoría %1").arg(draw(4))};
        m_say(QStringList{QStringLiteral("P"), iso, code, editing ? QStringLiteral("1") : QStringLiteral("0"),
                          boxes.name, boxes.stock, boxes.costPrice, boxes.salePrice, boxes.criticalStock,
                          boxes.category}
                  .join(QLatin1Char('|')));
        const SaveResult result = tarvino::saveProduct(m_db, boxes, editing);
        m_say(result.saved() ? QStringLiteral("p|") + iso
                             : QStringLiteral("x|%1|%2").arg(iso, oneLine(result.message)));
        return true;
    } catch (const DbError& e) {
        m_say(QStringLiteral("E|") + oneLine(e.message()));
        return false;
    }
}

bool Till::deleteProduct()
{
    m_clock.step();
    const QString iso = isoText(m_clock.now());
    try {
        for (int attempt = 0; attempt < 3; ++attempt) {
            const QString code = editorCode(draw(kEditorCodes));
            if (checkProductDeletion(m_db, code).outcome != DeleteCheck::Outcome::Allowed)
                continue;
            m_say(QStringLiteral("D|%1|%2").arg(iso, code));
            const int deleted = tarvino::deleteProduct(m_db, code);
            m_say(QStringLiteral("d|%1|%2").arg(iso).arg(deleted));
            return true;
        }
        return true; // nothing to delete this time
    } catch (const DbError& e) {
        m_say(QStringLiteral("E|") + oneLine(e.message()));
        return false;
    }
}

} // namespace tarvino::stress
