// A till without windows on the shop's server: it sells the shared products at random and closes
// its day now and then, through the routines the windows call, saying each step in one line as
// stress::Till does. It outlives a server that goes away: what it was doing is told truthfully (N
// or U), then it waits for the server and goes on.
#pragma once

#include "data/database.h"
#include "sales/sale_lines.h"
#include "sales/sales_day.h"
#include "stress/till.h"

#include <QDateTime>
#include <QString>

#include <functional>
#include <random>

namespace tarvino::stress {

// The shared products: codes 1001 onwards, each with this stock.
inline constexpr double kSharedStock = 100000;
QString sharedCode(int i);
// The few products both tills sell most, so that they often take the same product at once.
inline constexpr int kBusyProducts = 5;

// Lines said besides stress::Till's:
//   K|sola            the server came back and the connection went on by itself
//   K|reopen|failure  the server came back, the connection still failed (failure), a reopen() fixed it
class ServerTill final {
public:
    using Say = std::function<void(const QString&)>;
    ServerTill(QString connection, QString name, int products, quint64 seed, const QDateTime& clockStart, Say say);

    // Opens the server as this till and runs the sales window's load (the unclosed-day question
    // answered at random, No closing that day), then the login. A server still down, or the till's
    // name still held by the session of a till just killed, is waited for a while. False when the
    // start-up failed (said with F or E): the process ends and is started again.
    bool startUp();
    // A sale (most of the time) or the day's closing and a new day. False when the till must end:
    // a sale whose outcome is unknown leaves the connection closed until the program starts again.
    bool step();

private:
    bool sale();
    bool closing();
    // After an operation failed with the server gone: waits until the server answers again and
    // this till can use it, first on its own connection, else through reopen(). Says K.
    // failed: the failure that sent the till here.
    bool regainServer(const QString& failed);
    int draw(int below);

    QString m_connection;
    QString m_name;
    int m_products;
    std::mt19937_64 m_random;
    SteppingClock m_clock;
    Say m_say;
    Database m_db;
    SalesDay m_day{m_db, m_clock};
    QString m_lastFailure;
};

// True when a failure says the server could not be reached.
bool serverLost(const QString& message);

} // namespace tarvino::stress
