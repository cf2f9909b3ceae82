// A till without windows on the shop's server, selling the shared products at random.
#include "stress/server_till.h"

#include "catalogue/products.h"
#include "common/numbers.h"
#include "common/services.h"
#include "common/timestamps.h"
#include "data/query.h"
#include "sales/recording.h"

#include <QElapsedTimer>
#include <QStringList>
#include <QThread>

#include <libpq-fe.h>

namespace tarvino::stress {

namespace {

// How long a till waits for the server to come back, or for its name to be free at start-up.
constexpr qint64 kPatienceMs = 60000;
constexpr unsigned long kPauseMs = 100;

bool serverAnswers(const QString& connection)
{
    return PQping(connection.toUtf8().constData()) == PQPING_OK;
}

} // namespace

QString sharedCode(int i)
{
    return QString::number(1001 + i);
}

bool serverLost(const QString& message)
{
    return message.contains(QStringLiteral("servidor"), Qt::CaseInsensitive) &&
           (message.contains(QStringLiteral("conexión"), Qt::CaseInsensitive) ||
            message.contains(QStringLiteral("conectar"), Qt::CaseInsensitive));
}

ServerTill::ServerTill(QString connection, QString name, int products, quint64 seed, const QDateTime& clockStart,
                       Say say)
    : m_connection(std::move(connection)), m_name(std::move(name)), m_products(products), m_random(seed),
      m_clock(clockStart), m_say(std::move(say))
{
}

int ServerTill::draw(int below)
{
    return int(m_random() % quint64(below));
}

bool ServerTill::startUp()
{
    // The sales window's load, with a cashier who answers the unclosed-day question at random.

    QElapsedTimer waited;
    waited.start();
    QString failure;
    for (;;) {
        if (waited.elapsed() > kPatienceMs) {
            m_say(QStringLiteral("F|") + oneLine(failure));
            return false;
        }
        try {
            m_db.openServer(m_connection, m_name);
        } catch (const DbError& e) {
            // The server restarting, or the session of this till's killed process not yet ended.
            failure = e.message();
            QThread::msleep(kPauseMs);
            continue;
        }
        RandomCashier cashier([this](int below) { return draw(below); }, m_clock, m_day, m_say);
        const SalesDay::Start start = m_day.load(cashier);
        if (start == SalesDay::Start::Refused) {
            failure = cashier.last;
            m_db.close();
            QThread::msleep(kPauseMs);
            continue;
        }
        return cashier.openDay(start);
    }
}

bool ServerTill::step()
{
    if (draw(100) < 92)
        return sale();
    if (!closing())
        return regainServer(m_lastFailure);
    m_clock.step();
    m_day.begin(QStringLiteral("admin"));
    m_say(QStringLiteral("L|") + m_day.openingStamp());
    return true;
}

bool ServerTill::sale()
{
    SaleLines lines;
    try {
        const int count = 1 + draw(4);
        for (int i = 0; i < count; ++i) {
            const int index = draw(10) < 4 ? draw(kBusyProducts) : draw(m_products);
            const double quantity = 1 + draw(3);
            const auto product = findProductByCode(m_db, sharedCode(index));
            if (!product) {
                m_say(QStringLiteral("E|producto %1 no encontrado").arg(sharedCode(index)));
                return false;
            }
            mergeDetailLine(lines, *product, product->code, quantity, plainNumber(quantity));
        }
    } catch (const DbError& e) {
        // Looking the products up failed: nothing was charged yet.
        m_say(QStringLiteral("E|") + oneLine(e.message()));
        return regainServer(e.message());
    }
    const QString kind = draw(10) < 7 ? QStringLiteral("EFECTIVO") : QStringLiteral("TARJETA");
    const QString total = plainNumber(computeTotal(lines));
    QStringList cells;
    for (const SaleLine& line : std::as_const(lines))
        cells << QStringLiteral("%1:%2:%3").arg(line[detail::Code], line[detail::Quantity], line[detail::TotalSale]);
    // Not stored: the cashier charges the sale on screen again once the server is back.
    for (int attempt = 0; attempt < 3; ++attempt) {
        m_clock.step();
        const QString iso = isoText(m_clock.now());
        m_say(QStringLiteral("B|%1|%2|%3|%4").arg(iso, kind, total, cells.join(QLatin1Char(','))));
        try {
            const RecordedSale recorded = m_day.record(lines, total, kind);
            m_say(recorded.commitFailure.isEmpty() ? QStringLiteral("R|") + iso
                                                   : QStringLiteral("W|%1|%2").arg(iso, oneLine(recorded.commitFailure)));
            return true;
        } catch (const SaleOutcomeUnknown& e) {
            // The connection is closed until the program starts again.
            m_say(QStringLiteral("U|%1|%2").arg(iso, oneLine(e.message())));
            return false;
        } catch (const DbError& e) {
            m_say(QStringLiteral("N|%1|%2").arg(iso, oneLine(e.message())));
            if (!regainServer(e.message()))
                return false;
        }
    }
    return true;
}

bool ServerTill::closing()
{
    m_clock.step();
    const QString iso = isoText(m_clock.now());
    m_say(QStringLiteral("C|") + iso);
    try {
        const int copied = m_day.close();
        m_say(QStringLiteral("c|%1|%2").arg(iso).arg(copied));
        return true;
    } catch (const DbError& e) {
        // The day stays open with all its lines; the next closing takes them.
        m_say(QStringLiteral("E|") + oneLine(e.message()));
        m_lastFailure = e.message();
        return false;
    }
}

bool ServerTill::regainServer(const QString& failed)
{
    QElapsedTimer waited;
    waited.start();
    bool wentAway = serverLost(failed);
    while (waited.elapsed() < kPatienceMs) {
        if (!serverAnswers(m_connection)) {
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
