// Writes that fail on purpose, by an engine standing in front of the real one.
#include "support/faulty_engine.h"

#include "data/engine.h"

namespace tarvino::test {

namespace {

class FaultyEngine final : public Engine {
public:
    FaultyEngine(std::unique_ptr<Engine> inner, std::shared_ptr<WriteFaults> faults)
        : m_inner(std::move(inner)), m_faults(std::move(faults)) {}

    int write(Statement& stmt) override
    {
        m_faults->count(place());
        const int changed = m_inner->write(stmt);
        m_faults->failIfDone(place());
        return changed;
    }
    void commit() override
    {
        m_faults->count(place());
        m_inner->commit();
        m_faults->failIfDone(place());
    }
    // Each row of a batch is one write, all counted before the batch is sent.
    std::vector<qint64> insertRows(const RowBatch& batch) override
    {
        countRows(batch);
        std::vector<qint64> rowids = m_inner->insertRows(batch);
        m_faults->failIfDone(place());
        return rowids;
    }
    void updateRows(const RowBatch& batch, const std::vector<qint64>& rowids) override
    {
        countRows(batch);
        m_inner->updateRows(batch, rowids);
        m_faults->failIfDone(place());
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
    void countRows(const RowBatch& batch)
    {
        for (size_t row = 0; row < batch.rows.size(); ++row)
            m_faults->count(place());
    }

    std::unique_ptr<Engine> m_inner;
    std::shared_ptr<WriteFaults> m_faults;
};

} // namespace

void WriteFaults::failAtWrite(int n, FaultTiming timing)
{
    *this = WriteFaults();
    m_failAt = n;
    m_afterWriting = timing == FaultTiming::AfterWriting;
}

void WriteFaults::count(const QString& place)
{
    if (m_failAt == 0 || ++m_writes != m_failAt)
        return;
    m_failAt = 0;
    m_done = m_afterWriting;
    if (!m_done)
        throw DbError(QStringLiteral("Error en la base de datos «%1»: falla de escritura provocada.")
                          .arg(place));
}

void WriteFaults::failIfDone(const QString& place)
{
    if (!m_done)
        return;
    m_done = false;
    throw DbError(QStringLiteral("Error en la base de datos «%1»: falló la lectura o escritura en el "
                                 "disco (falla provocada después de escribir).")
                      .arg(place));
}

std::shared_ptr<WriteFaults> faultyWrites(Database& db)
{
    auto faults = std::make_shared<WriteFaults>();
    db.wrapEngines([faults](std::unique_ptr<Engine> engine) -> std::unique_ptr<Engine> {
        return std::make_unique<FaultyEngine>(std::move(engine), faults);
    });
    return faults;
}

} // namespace tarvino::test
