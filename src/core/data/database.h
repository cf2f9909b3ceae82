// The one connection of the program to its data, with its cached statements: the encrypted file
// bd1, or a PostgreSQL server the shop's tills share.
#pragma once

#include "common/system_error.h"
#include "data/db_error.h"

#include <QHash>
#include <QObject>
#include <QString>
#include <QVariant>

#include <functional>
#include <memory>
#include <vector>

namespace tarvino {

class Dialect;
class Engine;
struct RowBatch;
class Statement;

// The database password compiled into the program.
inline const QString kDatabaseKey = QStringLiteral("QmK482");
// The file name of the database in the program folder.
inline const QString kDatabaseFileName = QStringLiteral("bd1");

class Database final {
public:
    Database();
    ~Database();
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    // Opens an existing file and checks the key with a read of sqlite_master. Writes nothing.
    // Throws DbError whose message names the file and the cause: missing, a folder, empty, not
    // readable or writable, its folder not writable, an unencrypted file, a wrong key.
    void open(const QString& path, const QString& key = kDatabaseKey);
    // Makes a new empty file at path, keyed, and opens it. Throws DbError when path exists.
    void create(const QString& path, const QString& key);
    // Connects to a PostgreSQL server as the till named till: connection is a libpq connection
    // string (the password, when one is asked, comes from libpq's own ~/.pgpass). The database
    // must be empty (serverDatabaseEmpty; createServerSchema fills it) or the program's, and no
    // other session may hold the same till (TillInUse; takeOver ends the session that holds it,
    // once the cashier has said it is this machine's own). Throws DbError naming the server,
    // writing nothing.
    //
    // A session the server loses afterwards is replaced at the start of the next operation
    // (a read, a change, begin()) that finds no transaction open and no query being walked: the
    // program connects again once, as the same till, and goes on. When that fails, the operation
    // throws DbError naming the server, and the next one tries again. A transaction whose session
    // is lost is gone with it: its operations fail, and nothing of it is stored.
    void openServer(const QString& connection, const QString& till, bool takeOver = false);
    // The till of a server connection; empty on the file.
    QString till() const { return m_till; }
    // The database as messages name it: the file's path, or the database and its server.
    QString place() const;
    // Moves every change still in the journal into the file itself and closes the connection,
    // so that bd1 alone, copied after the program ends, holds every sale.
    void close();
    // Closes the connection and opens the same file again with the same key: a fresh look at
    // what the file holds, as the next start of the program would see it. The journal is left as
    // it is, so that changes whose commit failed although they reached it are seen too. On a
    // server: connects again with the same connection string and till. Throws DbError.
    void reopen();
    bool isOpen() const { return m_engine != nullptr; }
    // Closes the connection without writing anything more, and refuses every later use of it,
    // until open() or the next start of the program, with DatabaseClosedUntilRestart(instruction).
    void closeUntilRestart(const QString& instruction);
    // The file's path; empty on a server.
    QString path() const { return m_path; }

    // Runs statements without results (schema work, pragmas).
    void execute(const QString& sql);
    qint64 lastInsertRowid() const;
    // The words and answers of the engine this connection is (or was last) opened on, for the
    // reads whose text differs between them.
    const Dialect& dialect() const { return *m_dialect; }
    // A read that locks the rows it reads until the transaction ends (Dialect::lockingRead).
    QString lockingRead(const QString& sql) const;
    // The till a row of the day's tables belongs to, as an expression (Dialect::tillOfRow).
    QString tillOfRow() const;

    void begin();
    // Commits; the journal is folded into the file as soon as the program is idle (see
    // foldJournal).
    void commit();
    void rollback();
    bool inTransaction() const;
    // Moves every committed change from the journal bd1-wal into bd1 itself and empties the
    // journal. Waits for nobody: while another connection reads, part of the work is left for a
    // later fold. Returns true when the journal is empty afterwards.
    //
    // Until it is folded, a committed change is kept only in the journal, and a journal damaged
    // on the disk takes it away unseen at the next start: the engine reads a journal up to its
    // first damaged frame and drops the rest. So every commit, and every change made outside a
    // transaction, asks for a fold the moment the event loop is idle, once the cashier has the
    // answer on screen.
    // On a server there is no journal of the program's: true.
    bool foldJournal();

    // Runs before every write and commit, and before the journal is folded into the file at
    // close; a guard that throws DbError keeps the write from happening (a damaged file).
    void setWriteGuard(std::function<void()> guard) { m_writeGuard = std::move(guard); }

    // Puts wrap around the engine of this connection and of every one it opens afterwards
    // (open, create, reopen, openServer, a reconnection), so that a test can stand between the
    // program and the engine. An empty wrap leaves later connections as they are made.
    using EngineWrap = std::function<std::unique_ptr<Engine>(std::unique_ptr<Engine>)>;
    void wrapEngines(EngineWrap wrap);

    // The cause of a failure of the file's engine; the system's error number, when the engine saw one, tells
    // a full disk or a missing permission apart from other read and write failures.
    static QString causeText(int code, int systemError = 0);

private:
    friend class Query;
    friend class RecordSet;
    friend class ShopWideReads;
    friend Engine* engineOf(const Database& db);

    // A prepared statement for this text, kept for reuse; it comes back reset with no bindings.
    Statement& statement(const QString& sql);
    // Runs a statement that changes rows. Every change of the program passes here, and every
    // commit through commit(). Returns the rows changed.
    int stepWrite(Statement& stmt);
    // Writes a batch of rows through the engine (Engine::insertRows, updateRows), the write
    // guard asked once per row before anything is sent.
    std::vector<qint64> insertRows(const RowBatch& batch);
    void updateRows(const RowBatch& batch, const std::vector<qint64>& rowids);
    void guardBatch(const RowBatch& batch);
    void dropStatements();
    // Before a write or a commit: throws when there is no connection, or the guard refuses.
    void guardWrite();
    // Folds the journal once the event loop is idle; several requests make one fold.
    void foldWhenIdle();
    void openKeyed(const QString& path, const QString& key, int flags);
    // Makes engine this connection's, wrapped as wrapEngines asks.
    void install(std::unique_ptr<Engine> engine);
    // Throws when there is no connection to use.
    void requireOpen() const;
    // On a server, between two operations: connects again when the session is gone (see
    // openServer). Throws DbError when the server cannot be reached.
    void reconnectIfLost();

    std::unique_ptr<Engine> m_engine;
    // The engine's dialect, kept while a lost server's session waits to be replaced.
    const Dialect* m_dialect;
    EngineWrap m_wrap;
    QString m_path;
    QString m_connection;
    QString m_till;
    QHash<QString, Statement*> m_statements;
    QString m_key;
    QString m_closedUntilRestart; // the instruction, while closed until restart
    bool m_lost = false;      // a server's session is gone and is to be replaced
    int m_lostSession = 0;    // the server's process of the session lost
    bool m_inTransaction = false; // begun and neither committed nor rolled back
    bool m_shopWide = false;  // inside ShopWideReads
    int m_queriesOpen = 0;    // Query objects holding one of the cached statements
    bool m_foldRequested = false;
    QObject m_idleFolds; // pending folds go with the connection
    std::function<void()> m_writeGuard;
};

// The engine behind db, for the data layer and for tests that look at the connection itself;
// nullptr while it is closed.
Engine* engineOf(const Database& db);

// A transaction that rolls back unless committed. Nothing of it is stored until commit().
class Transaction final {
public:
    explicit Transaction(Database& db);
    ~Transaction();
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;
    void commit();

private:
    Database& m_db;
    bool m_open = true;
};

// Reads of the open day's tables that see every till's rows, while it lasts: the takings history
// is the whole shop's. On the file, which is one till's, it changes nothing.
class ShopWideReads final {
public:
    explicit ShopWideReads(Database& db);
    ~ShopWideReads();
    ShopWideReads(const ShopWideReads&) = delete;
    ShopWideReads& operator=(const ShopWideReads&) = delete;

private:
    Database& m_db;
};

} // namespace tarvino
