// The stress run's own hands on the server, through libpq and not through the program: making a
// fresh shop database, reading every till's rows past row security for the check, dropping it,
// and restarting the server under the tills.
#pragma once

#include "stress/server_ledger.h"

#include <QString>
#include <QStringList>

#include <stdexcept>

namespace tarvino::stress {

class ServerFailure : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The connection string with one keyword set (dbname, user), whatever it said before.
QString withKeyword(const QString& connection, const char* keyword, const QString& value);

// Runs statements without results on a new connection; throws ServerFailure.
void executeOn(const QString& connection, const QString& sql);

// Reads Temporal, Recaudacion, TipoPago and the stock of Productos, every till's rows, as the
// superuser of the connection (row security does not apply to it), once no session of the tills'
// role is left on the database. Throws ServerFailure.
StoredShop readShop(const QString& connection, const QString& tillRole);

// The cluster behind a connection string, restarted with pg_ctl.
class ServerRestarter final {
public:
    // dataFolder empty: the folder is looked for beside the socket folder named by host (its
    // "data" folder). canRestart() tells whether it was found and pg_ctl can be run on it.
    ServerRestarter(const QString& connection, QString dataFolder);
    bool canRestart() const { return m_why.isEmpty(); }
    // Why the server cannot be restarted.
    QString why() const { return m_why; }
    // The command for a restart: mode "fast" or "immediate"; waits until the server is up.
    QStringList restartCommand(const QString& mode) const;

private:
    QString m_data;
    QString m_pgCtl;
    QString m_owner; // run pg_ctl as this user (root cannot run the server)
    QString m_why;
};

// True when the server takes connections.
bool serverUp(const QString& connection);

} // namespace tarvino::stress
