// The encrypted file bd1 behind the engine seam: one SQLCipher connection.
#pragma once

#include "data/engine.h"

struct sqlite3;

namespace tarvino {

class Database;

class FileEngine final : public Engine {
public:
    // Opens path with the key and reads sqlite_master to check it. Throws DbError naming the file.
    FileEngine(const QString& path, const QString& key, int flags);
    // Folds the journal into the file (when mayFold) and closes.
    ~FileEngine() override;
    FileEngine(const FileEngine&) = delete;
    FileEngine& operator=(const FileEngine&) = delete;

    const Dialect& dialect() const override;
    QString place() const override { return m_path; }
    std::unique_ptr<Statement> prepare(const QString& sql) override;
    void execute(const QString& sql) override;
    void begin() override;
    void commit() override;
    void rollback() override;
    bool inTransaction() const override;
    qint64 lastInsertRowid() override;
    std::vector<qint64> insertRows(const RowBatch& batch) override;
    void updateRows(const RowBatch& batch, const std::vector<qint64>& rowids) override;

    bool keepsJournal() const override { return true; }
    // Moves the committed journal into the file; see Database::foldJournal.
    bool foldJournal() override;
    // Folds the journal into bd1 itself before closing (at the program's end), unless the file
    // may not be written at all.
    void foldAtClose() override { m_foldAtClose = true; }
    // Closes leaving the journal beside the file for the next connection to read.
    void closeKeepingJournal() override;
    sqlite3* fileHandle() const override { return m_db; }

    sqlite3* handle() const { return m_db; }
    // Whether the file may be written at all (not a read-only file).
    bool writable() const;

    // Throws DbError for the connection's last failure.
    [[noreturn]] void raise(int code) const;

private:
    sqlite3* m_db = nullptr;
    QString m_path;
    bool m_foldAtClose = false;
};

// The file's own connection, for what only the file has (its backup copy, its structure check,
// its cipher settings, its pragmas); nullptr when the database is a server.
sqlite3* fileConnection(const Database& db);

} // namespace tarvino
