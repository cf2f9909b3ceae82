// The stress run's own hands on the server, through libpq and not through the program (save the
// schema and the products, which the program writes): making a fresh shop database, reading
// every till's rows past row security for the check, dropping it, and restarting the server under
// the tills.
#pragma once

#include "stress/ledger.h"

#include <QString>
#include <QStringList>

#include <stdexcept>

namespace tarvino::stress {

class ServerFailure : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// What names the server and database of a connection string in a message: its host, port,
// database and user, never a password.
QString serverName(const QString& connection);

// Makes a fresh shop database on the cluster of server (a superuser's connection string), its
// schema made by the program, with the first products sold products, and lets tillRole use it.
// Returns its connection string for the superuser; tillConnection gets the one for tillRole.
// Throws ServerFailure or DbError.
QString makeShop(const QString& server, int products, const QString& tillRole, QString& tillConnection);
// Drops the shop database of makeShop. Throws ServerFailure.
void dropShop(const QString& server, const QString& shop);

// Reads Temporal, Recaudacion, TipoPago and Productos, every till's rows, as the superuser of the
// connection (row security does not apply to it), once no session of the tills' role is left on
// the database. Throws ServerFailure.
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
