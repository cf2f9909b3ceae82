// A throwaway PostgreSQL database for a test: made on the server of TARVINO_TEST_SERVER when the
// test runs on the server engine (TARVINO_ENGINE=servidor), dropped when the test ends.
#pragma once

#include <QString>

class QObject;

namespace tarvino::test {

// Whether this run of the tests is the server engine's.
bool onServer();

// The connection string of the throwaway server; a server run without one stops the test
// program with a message (a server test never runs on the file instead).
QString testServer();

// Runs the test functions of tests as QTest::qExec does. In a run on the server the functions
// named in the class's Q_CLASSINFO("fileOnly", "a,b") are left out (they try what only a file
// has: its journal, its disk), unless the command line names functions itself.
int runTests(QObject& tests, int argc, char** argv);

class ServerDatabase final {
public:
    // Makes a new empty database with a name of its own, owned by a role that is no superuser, so
    // that the day's tables keep each till's rows apart for it as for a shop's own user.
    ServerDatabase();
    // Drops the database, closing the sessions still on it.
    ~ServerDatabase();
    ServerDatabase(const ServerDatabase&) = delete;
    ServerDatabase& operator=(const ServerDatabase&) = delete;

    QString name() const { return m_name; }
    // A libpq connection string to this database as its owner.
    QString connection() const { return m_connection; }

private:
    QString m_name;
    QString m_connection;
};

} // namespace tarvino::test

