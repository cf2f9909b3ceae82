// Writes that fail on purpose: a test puts this around a connection's engine to make the n-th
// write from arming fail, before it reaches the database or once it is done.
#pragma once

#include "data/database.h"

#include <memory>

namespace tarvino::test {

// AfterWriting: once the write is done, as a commit whose sync failed when the transaction was
// already in the file.
enum class FaultTiming { BeforeWriting, AfterWriting };

class WriteFaults final {
public:
    // Stands between db and its engine from now on, through reopenings and reconnections.
    explicit WriteFaults(Database& db);
    ~WriteFaults();
    WriteFaults(const WriteFaults&) = delete;
    WriteFaults& operator=(const WriteFaults&) = delete;

    // Makes the n-th write from now fail (1 = the next one); 0 turns it off. Every statement
    // that changes rows and every commit is a write.
    void failAtWrite(int n, FaultTiming timing = FaultTiming::BeforeWriting);
    // The writes counted since failAtWrite, up to the one that failed.
    int writesSinceArmed() const;

    struct Armed;

private:
    Database& m_db;
    std::shared_ptr<Armed> m_armed;
};

} // namespace tarvino::test
