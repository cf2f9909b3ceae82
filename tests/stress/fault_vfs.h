// A file system layer under the database engine that plays disk faults: a power cut, which loses
// every write the disk was not yet told to keep, and a sync that fails after its writes reached
// the file.
#pragma once

#include <cstdint>
#include <string>

namespace tarvino::stress {

// The layer is registered as the engine's default the first time instance() is called, so every
// connection opened afterwards goes through it. Until a fault is armed it only passes calls on
// and remembers, for the main file and the journal, each write and truncation since that file's
// last sync. Everything happens on the thread that uses the database; the layer is not made for
// connections on several threads.
//
// What it does not play: a directory entry (a file made or deleted) is taken as kept at once, and
// a write either reaches the disk whole or not at all.
class FaultVfs final {
public:
    static FaultVfs& instance();

    // A power cut just before the n-th write, sync or truncation from now (1 = the next one).
    // keepChance is the share of the writes not yet synced that reach the disk all the same, each
    // drawn on its own (0: every one of them is lost).
    void armCut(std::int64_t n, double keepChance, std::uint64_t seed);
    // The power goes now, with the same rules.
    void cutNow(double keepChance = 0.0, std::uint64_t seed = 0);
    // After a cut every write, sync, truncation, deletion and opening fails, as on a machine
    // without power, until revive().
    bool isDead() const;
    // The power is back: the files stay as the cut left them and calls go through again.
    void revive();

    // What became of the writes of a sync that reported failure.
    enum class SyncFault {
        InCache, // in the file as the system shows it, not yet on the disk: a cut loses them
        Kept,    // on the disk all the same: only the answer was wrong
        Lost,    // gone: the file holds what it held at its last sync
    };
    // The next sync of a file whose name ends with suffix fails with an I/O error, with its
    // writes as what says; with cutAfter the power goes right after that failure. A sync of a
    // file whose only unsynced write is at its start (a journal's header) is passed over, so
    // that the fault falls on the sync of a commit.
    void failNextSync(const std::string& suffix, bool cutAfter = false,
                      SyncFault what = SyncFault::InCache);
    bool syncFailurePending() const;

    // Only files whose path starts with prefix are remembered (all of them when it is empty).
    void watch(const std::string& prefix);

    // Writes, syncs and truncations seen since the layer was made.
    std::int64_t events() const;
    // Writes and truncations waiting for a sync, over every file.
    std::int64_t unsyncedChanges() const;

private:
    FaultVfs();
};

} // namespace tarvino::stress
