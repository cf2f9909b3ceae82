// The tables of bd1: creating a new file, checking an existing one and bringing it up to date.
#pragma once

#include <QString>
#include <QStringList>

#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

struct sqlite3;

namespace tarvino {

class Database;

struct ColumnSpec {
    QString name;
    QString type;
};

struct TableSpec {
    QString name;
    std::vector<ColumnSpec> columns;
    bool used = true; // tables no operation reads or writes are not required in a file
    // Added by an upgrade: a file or server from before it lacks the table, which is then made
    // (see addMissingTables) rather than refused.
    bool upgrade = false;
};

// Every table of the file with its columns, in order.
const std::vector<TableSpec>& tableSpecs();
// The table of that name, whatever its case; none when the program has no such table.
const TableSpec* knownTable(const QString& name);

// Creates a new file at path with every table (unused ones empty) and the administrator "admin"
// with password "admin". The file appears complete or not at all. Throws DbError.
void createDatabase(const QString& path, const QString& key);

// Whether the server's database holds no table at all, so that the program may offer to make it
// the shop's with createServerSchema. False on the file.
bool serverDatabaseEmpty(Database& db);
// Makes an empty server database the shop's, in one transaction: every table of tableSpecs with
// the server's types (and a rowid of its own), the open day's tables kept per till, the indexes
// the file has, the administrator as createDatabase makes it, and the program's version of the
// tables. Throws DbError naming the server.
void createServerSchema(Database& db);

// Checks that every table in use has its columns (Temporal may lack ValorUnitario, which the
// sales window adds), each declared with a type that stores and converts values as the program's
// own type does. Reads only the list of tables; the rest of the file is checked by
// checkStructure. Writes nothing. Throws DbError naming the file and every table and column that
// is missing or of the wrong type.
void checkSchema(Database& db);

// What a check of the whole file found.
struct StructureVerdict {
    enum class Outcome { Whole, Damaged, NotChecked };
    Outcome outcome = Outcome::NotChecked;
    QString detail; // the first fault the engine names, or why the check could not run
};

// Reads every page of the file through connection and checks the structure of every table and
// index (the engine's quick check: pages, cells, free pages; on this encrypted file a page whose
// bytes changed also fails its checksum). Writes nothing. Takes about a second at 100,000
// products and 1,000,000 history lines.
StructureVerdict checkStructure(sqlite3* connection);
// The same over the program's connection.
StructureVerdict checkStructure(Database& db);

// checkStructure run on a thread of its own, over a read-only connection of its own; finished runs
// on that thread once the verdict is known. A damaged file's connection stays open until this is
// destroyed: the engine folds the journal into a file only when it closes the last connection to
// it, and a damaged file must not be written to. The start waits for the verdict (wait()) and
// closes the program's own connection to a damaged file while this one still holds it.
class BackgroundStructureCheck final {
public:
    BackgroundStructureCheck(const QString& path, const QString& key,
                             std::function<void()> finished);
    // Stops a check still running and waits for its thread.
    ~BackgroundStructureCheck();
    BackgroundStructureCheck(const BackgroundStructureCheck&) = delete;
    BackgroundStructureCheck& operator=(const BackgroundStructureCheck&) = delete;

    // The verdict, waiting for it when the check still runs.
    StructureVerdict wait();

private:
    void run(const QString& path, const QString& key);

    std::mutex m_mutex;
    std::condition_variable m_done;
    bool m_finished = false;
    bool m_stopping = false;
    sqlite3* m_connection = nullptr;
    StructureVerdict m_verdict;
    std::function<void()> m_onFinished;
    std::thread m_thread;
};

// The file's user_version from which the users' rights are in force: a file below it was made
// before rights were applied, when every user reached every menu.
constexpr int kRightsCarriedOver = 1;
// The version from which the drawer's tables (opening cash, movements, counts, a sale's payment)
// are in the database. Above the server's kExactTillRules, so that one number orders both.
constexpr int kCashTables = 3;

// The tables of tableSpecs marked as an upgrade that the file lacks, made in one transaction with
// the version raised to kCashTables; nothing is written when none is missing. A server's are made
// by its tables' owner as the till connects (ServerEngine). Throws DbError naming the database.
void addMissingTables(Database& db);

// Settings and indexes the program needs beyond the tables: a journal that survives a crash or
// a power cut, indexes on the columns that look-ups compare, and the users' rights carried over
// (carryOverRights). Missing ones are created; a file that has them all is not written to.
void prepareDatabase(Database& db);

// Once per file, in one transaction: every user whose Nivel, permisoproductos and
// permisorecaudacion are all empty (NULL or empty text) gets all three, the menus the user
// reached before; then user_version is set to kRightsCarriedOver, so it never happens again.
void carryOverRights(Database& db);

// Adds the column ValorUnitario to a Temporal table that does not have 11 columns.
void actualizarTemporal(Database& db);

// The column names of a table as the file has them.
QStringList tableColumns(Database& db, const QString& table);

} // namespace tarvino
