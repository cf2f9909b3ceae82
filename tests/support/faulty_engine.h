// Writes that fail on purpose: a test's connection gets an engine in front of the real one, which
// makes the n-th write from arming fail, before it reaches the database or once it is done.
#pragma once

#include "data/database.h"

#include <memory>

namespace tarvino::test {

// AfterWriting: as a commit whose sync failed when the transaction was already in the file.
enum class FaultTiming { BeforeWriting, AfterWriting };

class WriteFaults final {
public:
    // Makes the n-th write from now fail (1 = the next one); 0 turns it off. Every statement
    // that changes rows and every commit is a write.
    void failAtWrite(int n, FaultTiming timing = FaultTiming::BeforeWriting);
    // The writes counted since failAtWrite, up to the one that failed.
    int writesSinceArmed() const { return m_writes; }

    // Before a write: throws when it is the armed one, failing before it is done.
    void count(const QString& place);
    // After a write: throws when it was the armed one, failing once it is done.
    void failIfDone(const QString& place);

private:
    int m_failAt = 0;
    int m_writes = 0;
    bool m_afterWriting = false;
    bool m_done = false;
};

// Puts the faults in front of db's engine, from now on and through reopenings and reconnections.
std::shared_ptr<WriteFaults> faultyWrites(Database& db);

} // namespace tarvino::test
