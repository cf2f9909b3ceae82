// A PostgreSQL server behind the engine seam, through libpq: the data of a shop whose tills share
// one database. Each connection is one till: it sets tarvino.caja to the till's name, which the
// day's tables filter their rows by.
#pragma once

#include "data/db_error.h"
#include "data/engine.h"

#include <initializer_list>

struct pg_conn;
struct pg_result;

namespace tarvino {

// A till refused because another session holds its name. onThisMachine: the session was opened
// from this very machine, which is what a till that lost its power or its network leaves behind
// until the server notices.
class TillInUse final : public DbError {
public:
    TillInUse(const QString& message, bool onThisMachine)
        : DbError(message), m_onThisMachine(onThisMachine)
    {
    }
    bool onThisMachine() const { return m_onThisMachine; }

private:
    bool m_onThisMachine;
};

// The rule that keeps a day's table to the rows of the session's till, exactly by name: a till
// sees another's rows only through ShopWideReads, never through the name it is given.
QString serverRowRule(const QString& table);
// The version of a server's tables (tarvino_version) from which their rules are serverRowRule's.
constexpr int kExactTillRules = 2;

class ServerEngine final : public Engine {
public:
    // Connects (the password, when the server asks for one, comes from libpq's ~/.pgpass), and
    // checks that the database is empty or the program's. Writes nothing. Throws DbError naming
    // the server.
    //
    // A server that stops answering never holds the till: connecting gives up after a few
    // seconds, and so does every statement, after which the connection is closed and taken for
    // lost (libpq's own timeouts only cover connecting and a peer whose network is gone, not a
    // server whose process hangs with its socket open). The server ends a statement that runs
    // longer than that itself, and ends the session of a till whose network went silent (its
    // keepalives), which lets go of the till's lock.
    ServerEngine(const QString& connection, const QString& till);
    ~ServerEngine() override;
    ServerEngine(const ServerEngine&) = delete;
    ServerEngine& operator=(const ServerEngine&) = delete;

    const Dialect& dialect() const override;
    QString place() const override { return m_place; }
    std::unique_ptr<Statement> prepare(const QString& sql) override;
    void execute(const QString& sql) override;
    void begin() override;
    void commit() override;
    void rollback() override;
    bool inTransaction() const override;
    qint64 lastInsertRowid() override;
    std::vector<qint64> insertRows(const RowBatch& batch) override;
    void updateRows(const RowBatch& batch, const std::vector<qint64>& rowids) override;

    bool lost() override { return !alive(); }
    int session() const override { return sessionPid(); }
    void setShopWide(bool everyTill) override;
    // The tills' registry and their role come with the tables.
    void tablesMade() override;

    // Whether the database holds none of the program's tables yet.
    bool empty() const { return m_empty; }
    // Takes the till's lock for this session and notes the till as running on this machine.
    // Throws TillInUse when another session holds the till. formerSession, when given, is the
    // server's process of this program's own earlier session, lost to the network: if it still
    // holds the till's lock (the server has not noticed the loss yet), it is ended first.
    // takeOver ends whichever session holds the till's lock, once the cashier has agreed that it
    // is this machine's own, left behind.
    void claimTill(int formerSession = 0, bool takeOver = false);
    // Replaces the day's tables' rules of a database made by an earlier version, in one
    // transaction, when its version says they are older than serverRowRule, then makes the
    // drawer's tables when the version says they are missing (addCashTables). Throws DbError.
    void upgradeRowRules();
    void addCashTables();
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
    // Sets the till whose rows the day's tables show.
    void setTill(const QString& till);
    QString till() const { return m_till; }

    pg_conn* connection() const { return m_conn; }
    // Waits for the answer to what was just sent (sent: what the PQsend… call returned) and
    // returns its result, the first failure of several statements. A server that does not answer
    // within the time allowed is taken for lost: the connection is closed and null comes back,
    // which raise() tells as a lost server.
    pg_result* answer(int sent);
    // Throws DbError for a failed result (and clears it), telling a lost connection apart.
    [[noreturn]] void raise(pg_result* result) const;
    // The name of the next prepared statement of this connection.
    QByteArray nextStatementName() { return "t" + QByteArray::number(++m_statements); }

private:
    QString lostMessage() const;
    // Runs one statement with text parameters and returns its result, or throws.
    pg_result* run(const char* sql, std::initializer_list<QByteArray> parameters,
                   int expected);
    // Closes a connection the server no longer answers on.
    void giveUp();

    pg_conn* m_conn = nullptr;
    int m_pid = 0;
    bool m_silent = false; // closed because the server stopped answering
    QString m_place;
    QString m_till;
    bool m_empty = false;
    bool m_tillHeld = false; // this session holds the till's lock
    int m_statements = 0;
};

} // namespace tarvino
