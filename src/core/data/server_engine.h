// A PostgreSQL server behind the engine seam, through libpq: the data of a shop whose tills share
// one database. Each connection is one till: it sets tarvino.caja to the till's name, which the
// day's tables filter their rows by.
#pragma once

#include "data/engine.h"

struct pg_conn;
struct pg_result;

namespace tarvino {

class Database;

class ServerEngine final : public Engine {
public:
    // Connects (the password, when the server asks for one, comes from libpq's ~/.pgpass), and
    // checks that the database is empty or the program's. Writes nothing. Throws DbError naming
    // the server.
    ServerEngine(const QString& connection, const QString& till);
    ~ServerEngine() override;
    ServerEngine(const ServerEngine&) = delete;
    ServerEngine& operator=(const ServerEngine&) = delete;

    bool isServer() const override { return true; }
    QString place() const override { return m_place; }
    std::unique_ptr<Statement> prepare(const QString& sql) override;
    void execute(const QString& sql) override;
    void begin() override;
    void commit() override;
    void rollback() override;
    bool inTransaction() const override;
    qint64 lastInsertRowid() override;

    // Whether the database holds none of the program's tables yet.
    bool empty() const { return m_empty; }
    // Takes the till's lock for this session and notes the till as running on this machine.
    // Throws DbError when another session holds the till. formerSession, when given, is the
    // server's process of this program's own earlier session, lost to the network: if it still
    // holds the till's lock (the server has not noticed the loss yet), it is ended first.
    void claimTill(int formerSession = 0);
    // Whether the session is still there, as far as can be told without asking the server: a
    // session the server ended (an administrator, a restart of the server) has said so and closed
    // the connection, which this reads without waiting. A network that dropped silently shows only
    // when the next statement finds no answer.
    bool alive();
    // The server's process of this session.
    int sessionPid() const;
    // Notes the till as running on this machine, in the table of running tills, for the message
    // of a second till of the same name.
    void noteTill();
    // A superuser passes by the rules that keep each till to its own day's rows: such a session,
    // once the program's tables are there, works on as the role tarvino_cajero, which the rules
    // hold to (made and given the tables' rights here when missing). Any other role is left as it
    // is.
    void actAsTill();
    // Sets the till whose rows the day's tables show; "*" shows every till's.
    void setTill(const QString& till);
    QString till() const { return m_till; }

    pg_conn* connection() const { return m_conn; }
    // Throws DbError for a failed result (and clears it), telling a lost connection apart.
    [[noreturn]] void raise(pg_result* result) const;
    // The name of the next prepared statement of this connection.
    QByteArray nextStatementName() { return "t" + QByteArray::number(++m_statements); }

private:
    QString lostMessage() const;

    pg_conn* m_conn = nullptr;
    QString m_place;
    QString m_till;
    bool m_empty = false;
    int m_statements = 0;
};

// The server's connection of db; nullptr when db is the file.
ServerEngine* serverEngine(const Database& db);

} // namespace tarvino
