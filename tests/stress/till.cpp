// A till without windows that works a shop, on its file or on its server, through the routines
// the windows call, at random, and says each step it takes in one line.
#include "stress/till.h"

#include "app/startup.h"
#include "cash/cash_book.h"
#include "catalogue/products.h"
#include "common/numbers.h"
#include "common/timestamps.h"
#include "data/query.h"
#include "sales/recording.h"

#include <QElapsedTimer>
#include <QStringList>
#include <QThread>

namespace tarvino::stress {

namespace {

// How long a till on a server waits for it to come back, or for its name to be free at start-up.
constexpr qint64 kPatienceMs = 60000;
constexpr unsigned long kPauseMs = 100;

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

// The cashier of a till at start-up: answers the unclosed-day question at random and says so. Yes
// resumes the day; No has the load close it right away, one second on.
class RandomCashier final : public Messages {
public:
    RandomCashier(std::function<int(int)> draw, SteppingClock& clock, SalesDay& day, const Till::Say& say)
        : m_draw(std::move(draw)), m_clock(clock), m_day(day), m_say(say)
    {
    }
    void inform(const QString& text, const QString&, Icon) override { last = text; }
    bool ask(const QString&, const QString&) override
    {
        asked = true;
        m_say(QStringLiteral("S|") + m_day.openingStamp());
        if (m_draw(2) == 0) {
            m_say(QStringLiteral("Y"));
            return true;
        }
        m_clock.step();
        closingIso = isoText(m_clock.now());
        m_say(QStringLiteral("C|") + closingIso);
        return false;
    }
    // After the day's load: says what it did, then logs in (a resumed day reloads its stamp).
    // False, said with E, when the till cannot go on.
    bool openDay(SalesDay::Start start)
    {
        if (!asked)
            m_say(QStringLiteral("S|"));
        if (m_day.earlierDayUnclosed()) {
            m_say(QStringLiteral("E|") + oneLine(last));
            return false;
        }
        if (!closingIso.isEmpty())
            m_say(QStringLiteral("c|%1|%2").arg(closingIso).arg(m_day.linesClosed()));
        m_clock.step();
        m_day.begin(QStringLiteral("admin"));
        if (start == SalesDay::Start::Resume) {
            try {
                m_day.reload();
            } catch (const DbError& e) {
                m_say(QStringLiteral("E|") + oneLine(e.message()));
                return false;
            }
        }
        m_say(QStringLiteral("L|") + m_day.openingStamp());
        return true;
    }
    QString last;
    QString closingIso;
    bool asked = false;

private:
    std::function<int(int)> m_draw;
    SteppingClock& m_clock;
    SalesDay& m_day;
    const Till::Say& m_say;
};

} // namespace

QString soldCode(int i)
{
    return QString::number(1001 + i);
}

QString soldName(int i)
{
    return QStringLiteral("Producto %1").arg(i + 1);
}

void addSoldProducts(Database& db, int count)
{
    Transaction tx(db);
    {
        Query insert(db, QStringLiteral("insert into Productos (CodigoProducto, NombreProducto, Cantidad, PrecioCosto, "
                                        "PrecioVenta, StockCritico, Categoria) values (?, ?, ?, ?, ?, 5, 'Almacén')"));
        for (int i = 0; i < count; ++i) {
            insert.bind(1, soldCode(i));
            insert.bind(2, soldName(i));
            insert.bind(3, kSoldStock);
            insert.bind(4, 50.0 * (i + 1));
            insert.bind(5, 100.0 * (i + 1));
            insert.execute();
        }
    }
    tx.commit();
}

QMap<QString, Ledger::Sold> soldBeforeSales(int count)
{
    QMap<QString, Ledger::Sold> sold;
    for (int i = 0; i < count; ++i)
        sold.insert(soldCode(i), {soldName(i), kSoldStock});
    return sold;
}

QString editorCode(int i)
{
    return QString::number(901 + i);
}

bool serverLost(const QString& message)
{
    return message.contains(QStringLiteral("servidor"), Qt::CaseInsensitive) &&
           (message.contains(QStringLiteral("conexión"), Qt::CaseInsensitive) ||
            message.contains(QStringLiteral("conectar"), Qt::CaseInsensitive));
}

Till::Till(const QString& folder, quint64 seed, const QDateTime& clockStart, Say say)
    : m_folder(folder), m_random(seed), m_clock(clockStart), m_say(std::move(say))
{
}

Till::Till(const QString& connection, const QString& name, int products, std::function<bool()> serverAnswers,
           quint64 seed, const QDateTime& clockStart, Say say)
    : m_connection(connection), m_name(name), m_products(products), m_serverAnswers(std::move(serverAnswers)),
      m_random(seed), m_clock(clockStart), m_say(std::move(say))
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

bool Till::open(QString& failure)
{
    if (m_connection.isEmpty()) {
        KeptMessages messages;
        const bool opened = openShopDatabase(m_db, m_folder, messages);
        failure = messages.last;
        return opened;
    }
    try {
        m_db.openServer(m_connection, m_name);
        return true;
    } catch (const DbError& e) {
        failure = e.message();
        return false;
    }
}

bool Till::startUp()
{
    // A file that does not open has failed for good; a server may be restarting, or still hold
    // the session of this till's killed process, for a while.
    const qint64 patience = m_connection.isEmpty() ? 0 : kPatienceMs;
    QElapsedTimer waited;
    waited.start();
    for (;;) {
        QString failure;
        if (open(failure)) {
            // The sales window's load, with a cashier who answers the unclosed-day question at random.
            RandomCashier cashier([this](int below) { return draw(below); }, m_clock, m_day, m_say);
            const SalesDay::Start start = m_day.load(cashier);
            // A new day mostly gets its opening cash at once, else later in the day, if at all.
            if (start != SalesDay::Start::Refused)
                return cashier.openDay(start) && (start != SalesDay::Start::NewDay || draw(2) == 0 || drawer('O'));
            failure = cashier.last;
            m_db.close();
        }
        if (waited.elapsed() >= patience) {
            m_say(QStringLiteral("F|") + oneLine(failure));
            return false;
        }
        QThread::msleep(kPauseMs);
    }
}

bool Till::step()
{
    const int pick = draw(100);
    if (!m_connection.isEmpty())
        return pick < 80 ? sale() : pick < 83 ? closing() : pick < 89 ? drawer('A') : pick < 96 ? drawer('M') : drawer('O');
    if (pick < 45)
        return sale();
    if (pick < 50)
        return closing();
    if (pick < 67)
        return pick < 57 ? drawer('A') : pick < 64 ? drawer('M') : drawer('O');
    if (pick < 85)
        return saveProduct();
    return deleteProduct();
}

bool Till::sale()
{
    SaleLines lines;
    try {
        const int count = 1 + draw(4);
        for (int i = 0; i < count; ++i) {
            const int index = draw(10) < 4 ? draw(kBusyProducts) : draw(m_products);
            const double quantity = 1 + draw(3);
            const auto product = findProductByCode(m_db, soldCode(index));
            if (!product) {
                m_say(QStringLiteral("E|producto %1 no encontrado").arg(soldCode(index)));
                return false;
            }
            mergeDetailLine(lines, *product, product->code, quantity, plainNumber(quantity));
        }
    } catch (const DbError& e) {
        // Looking the products up failed: nothing was charged yet.
        m_say(QStringLiteral("E|") + oneLine(e.message()));
        return regain(e.message());
    }
    const int paid = draw(10);
    const QString kind = paid < 6 ? QStringLiteral("EFECTIVO") : paid < 8 ? QStringLiteral("TARJETA") : QStringLiteral("MIXTO");
    const QString total = plainNumber(computeTotal(lines));
    // A split sale's cash part in cents, so that both parts carry odd cents.
    const Cents cashPart = kind == QLatin1String("MIXTO") ? 1 + draw(int(toCents(computeTotal(lines))) - 1) : 0;
    QStringList cells;
    for (const SaleLine& line : std::as_const(lines))
        cells << QStringLiteral("%1:%2:%3").arg(line[detail::Code], line[detail::Quantity], line[detail::TotalSale]);
    // Not stored: the cashier charges the sale on screen again once the shop can be used.
    for (int attempt = 0; attempt < 3; ++attempt) {
        m_clock.step();
        const QString iso = isoText(m_clock.now());
        m_say(QStringLiteral("B|%1|%2|%3|%4|%5").arg(iso, kind, total, cells.join(QLatin1Char(','))).arg(cashPart));
        if (beforeSale)
            beforeSale();
        try {
            const RecordedSale recorded = m_day.record(lines, total, kind, cashPart);
            m_say(recorded.commitFailure.isEmpty()
                      ? QStringLiteral("R|") + iso
                      : QStringLiteral("W|%1|%2").arg(iso, oneLine(recorded.commitFailure)));
            return true;
        } catch (const SaleOutcomeUnknown& e) {
            // The connection is closed until the program starts again.
            m_say(QStringLiteral("U|%1|%2").arg(iso, oneLine(e.message())));
            return false;
        } catch (const DbError& e) {
            m_say(QStringLiteral("N|%1|%2").arg(iso, oneLine(e.message())));
            if (!regain(e.message()))
                return false;
        }
    }
    return true;
}

bool Till::closing()
{
    m_clock.step();
    const QString iso = isoText(m_clock.now());
    m_say(QStringLiteral("C|") + iso);
    try {
        const int copied = m_day.close();
        m_say(QStringLiteral("c|%1|%2").arg(iso).arg(copied));
    } catch (const DbError& e) {
        // The day stays open with all its lines; the next closing takes them.
        m_say(QStringLiteral("E|") + oneLine(e.message()));
        return regain(e.message());
    }
    m_clock.step();
    m_day.begin(QStringLiteral("admin"));
    m_say(QStringLiteral("L|") + m_day.openingStamp());
    return draw(2) == 0 || drawer('O');
}

bool Till::drawer(char act)
{
    m_clock.step();
    const QString iso = isoText(m_clock.now()), day = stampToIso(m_day.openingStamp()).value_or(QString());
    // Odd amounts with cents; now and then an opening cash near the largest a box takes, or a count
    // made of pieces. A movement below 0 is a cash out.
    const Cents amount = act == 'O'     ? (draw(5) == 0 ? kMaxCents - draw(100000000) : 1 + draw(50000000))
                         : act == 'M'   ? (draw(2) == 0 ? 1 : -1) * (1 + draw(20000000))
                         : draw(4) == 0 ? countTotal({{1000, draw(50)}, {50000, draw(20)}, {2000000, draw(5)}})
                                        : draw(1000000000);
    // After a failure nothing of it is stored: a count leaves the day open with all its lines.
    bool newDay = false;
    const bool goesOn = store([&] {
        if (act == 'O' && openingCashOf(m_db, m_day.openingStamp()))
            return; // a day's opening cash is recorded once here
        m_say(QStringLiteral("%1|%2|%3|%4").arg(QLatin1Char(act)).arg(iso, day).arg(amount));
        if (act == 'O')
            recordOpeningCash(m_db, m_clock, m_day.openingStamp(), amount, m_day.user());
        else if (act == 'M')
            recordMovement(m_db, m_clock, m_day.openingStamp(),
                           {amount > 0 ? CashMovement::Kind::In : CashMovement::Kind::Out, std::abs(amount),
                            movementReasons().value(draw(4), QStringLiteral("Vuelto para la caja 2")), m_day.user(), {}, {}});
        else
            closeDayWithCount(m_db, m_clock, m_day.openingStamp(), m_day.user(), {amount, {}});
        m_say(QStringLiteral("%1|%2|%3").arg(QChar(act).toLower(), iso, day));
        newDay = act == 'A';
    });
    if (!newDay)
        return goesOn;
    m_clock.step();
    m_day.startNewDay(m_day.user());
    m_say(QStringLiteral("L|") + m_day.openingStamp());
    return draw(4) == 0 || drawer('O');
}

bool Till::store(const std::function<void()>& work)
{
    try {
        work();
        return true;
    } catch (const DbError& e) {
        m_say(QStringLiteral("E|") + oneLine(e.message()));
        return regain(e.message());
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
        return regain(e.message());
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
        return regain(e.message());
    }
}

bool Till::regain(const QString& failed)
{
    if (m_connection.isEmpty())
        return m_db.isOpen();
    QElapsedTimer waited;
    waited.start();
    bool wentAway = serverLost(failed);
    while (waited.elapsed() < kPatienceMs) {
        if (!m_serverAnswers()) {
            wentAway = true;
            QThread::msleep(kPauseMs);
            continue;
        }
        QString failure;
        try {
            Query probe(m_db, QStringLiteral("select count(*) from Productos"));
            probe.next();
            if (wentAway)
                m_say(QStringLiteral("K|sola"));
            return true;
        } catch (const DbError& e) {
            failure = e.message();
        }
        try {
            m_db.reopen();
            m_say(QStringLiteral("K|reopen|") + oneLine(failure));
            return true;
        } catch (const DbError&) {
            QThread::msleep(kPauseMs);
        }
    }
    m_say(QStringLiteral("E|el servidor no volvió en %1 s").arg(kPatienceMs / 1000));
    return false;
}

} // namespace tarvino::stress
