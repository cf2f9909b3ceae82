// Writes that fail on purpose, by an engine standing in front of the real one.
#include "support/faulty_engine.h"

#include "data/db_error.h"
#include "data/engine.h"

#include <utility>

namespace tarvino::test {

struct WriteFaults::Armed {
    int failAt = 0;
    int writes = 0;
    bool afterWriting = false;
    bool done = false; // the armed write went through, and fails now

    void count(const QString& place)
    {
        if (failAt == 0 || ++writes != failAt)
            return;
        failAt = 0;
        done = afterWriting;
        if (!done)
            throw DbError(QStringLiteral("Error en la base de datos «%1»: falla de escritura "
                                         "provocada.").arg(place));
    }
    void failIfDone(const QString& place)
    {
        if (std::exchange(done, false))
            throw DbError(QStringLiteral("Error en la base de datos «%1»: falló la lectura o "
                                         "escritura en el disco (falla provocada después de "
                                         "escribir).").arg(place));
    }
};

namespace {

class FaultyEngine final : public Engine {
public:
    FaultyEngine(std::unique_ptr<Engine> inner, std::shared_ptr<WriteFaults::Armed> armed)
        : m_inner(std::move(inner)), m_armed(std::move(armed)) {}

    int write(Statement& stmt) override
    {
        m_armed->count(place());
        const int changed = m_inner->write(stmt);
        m_armed->failIfDone(place());
        return changed;
    }
    void commit() override
    {
        m_armed->count(place());
        m_inner->commit();
        m_armed->failIfDone(place());
    }

    const Dialect& dialect() const override { return m_inner->dialect(); }
    QString place() const override { return m_inner->place(); }
    std::unique_ptr<Statement> prepare(const QString& sql) override { return m_inner->prepare(sql); }
    void execute(const QString& sql) override { m_inner->execute(sql); }
    void begin() override { m_inner->begin(); }
    void rollback() override { m_inner->rollback(); }
    bool inTransaction() const override { return m_inner->inTransaction(); }
    qint64 lastInsertRowid() override { return m_inner->lastInsertRowid(); }
    bool keepsJournal() const override { return m_inner->keepsJournal(); }
    bool foldJournal() override { return m_inner->foldJournal(); }
    void foldAtClose() override { m_inner->foldAtClose(); }
    void closeKeepingJournal() override { m_inner->closeKeepingJournal(); }
    bool lost() override { return m_inner->lost(); }
    int session() const override { return m_inner->session(); }
    void setShopWide(bool everyTill) override { m_inner->setShopWide(everyTill); }
    void tablesMade() override { m_inner->tablesMade(); }
    sqlite3* fileHandle() const override { return m_inner->fileHandle(); }

private:
    std::unique_ptr<Engine> m_inner;
    std::shared_ptr<WriteFaults::Armed> m_armed;
};

} // namespace

WriteFaults::WriteFaults(Database& db) : m_db(db), m_armed(std::make_shared<Armed>())
{
    m_db.wrapEngines([armed = m_armed](std::unique_ptr<Engine> engine) -> std::unique_ptr<Engine> {
        return std::make_unique<FaultyEngine>(std::move(engine), armed);
    });
}

WriteFaults::~WriteFaults()
{
    failAtWrite(0);
    m_db.wrapEngines({});
}

void WriteFaults::failAtWrite(int n, FaultTiming timing)
{
    *m_armed = Armed{n, 0, timing == FaultTiming::AfterWriting, false};
}

int WriteFaults::writesSinceArmed() const
{
    return m_armed->writes;
}

} // namespace tarvino::test
