// A file system layer under the database engine that plays disk faults: a power cut, which loses
// every write the disk was not yet told to keep, and a sync that fails, its writes kept, lost or
// left in the system's cache.
#include "stress/fault_vfs.h"

#include <sqlite3.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <map>
#include <random>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

namespace tarvino::stress {

namespace {

// One write or truncation not yet synced: what the file held before it, to undo it, and what it
// put there, to let it reach the disk after all.
struct Change {
    sqlite3_int64 sizeBefore = 0;
    sqlite3_int64 offset = 0;
    std::vector<char> before; // the bytes at offset that the change overwrote or cut off
    bool truncation = false;
    sqlite3_int64 sizeAfter = 0;
    std::vector<char> after; // the bytes written at offset
};

struct Layer {
    sqlite3_vfs vfs{};
    sqlite3_vfs* base = nullptr;
    sqlite3_io_methods methods{};
    std::map<std::string, std::vector<Change>> unsynced; // by the file's full path
    std::int64_t events = 0;
    std::int64_t cutAt = 0;
    double keepChance = 0;
    std::mt19937_64 random;
    bool dead = false;
    std::string failSyncSuffix;
    bool failSyncPending = false;
    FaultVfs::SyncFault failSyncKind = FaultVfs::SyncFault::InCache;
    bool cutAfterFailedSync = false;
    std::string watched;
};

Layer& layer()
{
    static Layer l;
    return l;
}

struct ShimFile {
    sqlite3_file file; // must come first: the engine sees this part
    std::string* path; // null for files whose loss does not matter (temporary ones)
    sqlite3_file* real;
};

constexpr int kRealOffset = int((sizeof(ShimFile) + 7) & ~std::size_t(7));

sqlite3_file* real(sqlite3_file* f)
{
    return reinterpret_cast<ShimFile*>(f)->real;
}

bool endsWith(const std::string& text, const std::string& suffix)
{
    return text.size() >= suffix.size() &&
           text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

void writeAll(int fd, const std::vector<char>& bytes, sqlite3_int64 offset)
{
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::pwrite(fd, bytes.data() + done, bytes.size() - done, off_t(offset + done));
        if (n <= 0)
            return;
        done += std::size_t(n);
    }
}

// Gives a file back the state of its last sync.
void undo(int fd, const std::vector<Change>& changes)
{
    for (auto it = changes.rbegin(); it != changes.rend(); ++it) {
        if (::ftruncate(fd, off_t(it->sizeBefore)) != 0)
            break;
        writeAll(fd, it->before, it->offset);
    }
}

// The power goes: every file gets back the state of its last sync, and then each unsynced change
// reaches the disk or not, at random, in the order it was made.
void cut(double keepChance)
{
    Layer& l = layer();
    std::uniform_real_distribution<double> draw(0.0, 1.0);
    for (auto& [path, changes] : l.unsynced) {
        if (changes.empty())
            continue;
        const int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
        if (fd < 0)
            continue;
        undo(fd, changes);
        for (const Change& c : changes) {
            if (keepChance <= 0 || draw(l.random) >= keepChance)
                continue;
            if (c.truncation) {
                if (::ftruncate(fd, off_t(c.sizeAfter)) != 0)
                    break;
            } else {
                writeAll(fd, c.after, c.offset);
            }
        }
        ::close(fd);
    }
    l.unsynced.clear();
    l.dead = true;
    l.cutAt = 0;
}

// Counts one write, sync or truncation; true when the power is gone, now or before.
bool powerGone()
{
    Layer& l = layer();
    if (!l.dead) {
        ++l.events;
        if (l.cutAt <= 0 || l.events < l.cutAt)
            return false;
        cut(l.keepChance);
    }
    errno = EIO;
    return true;
}

std::vector<char> readRange(sqlite3_file* f, sqlite3_int64 from, sqlite3_int64 to)
{
    std::vector<char> bytes;
    if (to <= from)
        return bytes;
    bytes.resize(std::size_t(to - from));
    if (f->pMethods->xRead(f, bytes.data(), int(bytes.size()), from) != SQLITE_OK)
        bytes.clear();
    return bytes;
}

sqlite3_int64 sizeOf(sqlite3_file* f)
{
    sqlite3_int64 size = 0;
    f->pMethods->xFileSize(f, &size);
    return size;
}

int shimClose(sqlite3_file* f)
{
    auto* shim = reinterpret_cast<ShimFile*>(f);
    const int rc = shim->real->pMethods ? shim->real->pMethods->xClose(shim->real) : SQLITE_OK;
    delete shim->path;
    shim->path = nullptr;
    return rc;
}

int shimRead(sqlite3_file* f, void* buffer, int amount, sqlite3_int64 offset)
{
    if (layer().dead)
        return SQLITE_IOERR_READ;
    return real(f)->pMethods->xRead(real(f), buffer, amount, offset);
}

int shimWrite(sqlite3_file* f, const void* buffer, int amount, sqlite3_int64 offset)
{
    if (powerGone())
        return SQLITE_IOERR_WRITE;
    auto* shim = reinterpret_cast<ShimFile*>(f);
    if (shim->path) {
        Change c;
        c.sizeBefore = sizeOf(shim->real);
        c.offset = offset;
        c.before = readRange(shim->real, offset, std::min(offset + amount, c.sizeBefore));
        const char* bytes = static_cast<const char*>(buffer);
        c.after.assign(bytes, bytes + amount);
        layer().unsynced[*shim->path].push_back(std::move(c));
    }
    return shim->real->pMethods->xWrite(shim->real, buffer, amount, offset);
}

int shimTruncate(sqlite3_file* f, sqlite3_int64 size)
{
    if (powerGone())
        return SQLITE_IOERR_TRUNCATE;
    auto* shim = reinterpret_cast<ShimFile*>(f);
    if (shim->path) {
        Change c;
        c.sizeBefore = sizeOf(shim->real);
        c.offset = size;
        c.before = readRange(shim->real, size, c.sizeBefore);
        c.truncation = true;
        c.sizeAfter = size;
        layer().unsynced[*shim->path].push_back(std::move(c));
    }
    return shim->real->pMethods->xTruncate(shim->real, size);
}

// Whether any of the changes reaches past the start of the file, where a journal keeps its header.
bool beyondItsStart(const std::vector<Change>& changes)
{
    return std::any_of(changes.begin(), changes.end(),
                       [](const Change& c) { return !c.truncation && c.offset > 0; });
}

int shimSync(sqlite3_file* f, int flags)
{
    if (powerGone())
        return SQLITE_IOERR_FSYNC;
    auto* shim = reinterpret_cast<ShimFile*>(f);
    Layer& l = layer();
    if (l.failSyncPending && shim->path && endsWith(*shim->path, l.failSyncSuffix) &&
        beyondItsStart(l.unsynced[*shim->path])) {
        l.failSyncPending = false;
        switch (l.failSyncKind) {
        case FaultVfs::SyncFault::InCache:
            break;
        case FaultVfs::SyncFault::Kept:
            if (shim->real->pMethods->xSync(shim->real, flags) == SQLITE_OK)
                l.unsynced.erase(*shim->path);
            break;
        case FaultVfs::SyncFault::Lost:
            if (const int fd = ::open(shim->path->c_str(), O_RDWR | O_CLOEXEC); fd >= 0) {
                undo(fd, l.unsynced[*shim->path]);
                ::close(fd);
            }
            l.unsynced.erase(*shim->path);
            break;
        }
        if (l.cutAfterFailedSync)
            cut(0.0);
        errno = EIO; // what the system says of a disk that cannot flush
        return SQLITE_IOERR_FSYNC;
    }
    const int rc = shim->real->pMethods->xSync(shim->real, flags);
    if (rc == SQLITE_OK && shim->path)
        l.unsynced.erase(*shim->path);
    return rc;
}

int shimFileSize(sqlite3_file* f, sqlite3_int64* size)
{
    return real(f)->pMethods->xFileSize(real(f), size);
}
int shimLock(sqlite3_file* f, int level)
{
    return real(f)->pMethods->xLock(real(f), level);
}
int shimUnlock(sqlite3_file* f, int level)
{
    return real(f)->pMethods->xUnlock(real(f), level);
}
int shimCheckReservedLock(sqlite3_file* f, int* out)
{
    return real(f)->pMethods->xCheckReservedLock(real(f), out);
}
int shimFileControl(sqlite3_file* f, int op, void* arg)
{
    return real(f)->pMethods->xFileControl(real(f), op, arg);
}
int shimSectorSize(sqlite3_file* f)
{
    return real(f)->pMethods->xSectorSize(real(f));
}
int shimDeviceCharacteristics(sqlite3_file* f)
{
    return real(f)->pMethods->xDeviceCharacteristics(real(f));
}
int shimShmMap(sqlite3_file* f, int page, int size, int extend, void volatile** out)
{
    return real(f)->pMethods->xShmMap(real(f), page, size, extend, out);
}
int shimShmLock(sqlite3_file* f, int offset, int n, int flags)
{
    return real(f)->pMethods->xShmLock(real(f), offset, n, flags);
}
void shimShmBarrier(sqlite3_file* f)
{
    real(f)->pMethods->xShmBarrier(real(f));
}
int shimShmUnmap(sqlite3_file* f, int deleteFlag)
{
    return real(f)->pMethods->xShmUnmap(real(f), deleteFlag);
}
// No memory-mapped reads: every read passes through the layer.
int shimFetch(sqlite3_file*, sqlite3_int64, int, void** out)
{
    *out = nullptr;
    return SQLITE_OK;
}
int shimUnfetch(sqlite3_file*, sqlite3_int64, void*)
{
    return SQLITE_OK;
}

int vfsOpen(sqlite3_vfs*, const char* name, sqlite3_file* f, int flags, int* outFlags)
{
    Layer& l = layer();
    auto* shim = reinterpret_cast<ShimFile*>(f);
    shim->file.pMethods = nullptr;
    shim->path = nullptr;
    shim->real = reinterpret_cast<sqlite3_file*>(reinterpret_cast<char*>(f) + kRealOffset);
    shim->real->pMethods = nullptr;
    if (l.dead)
        return SQLITE_CANTOPEN;
    const int rc = l.base->xOpen(l.base, name, shim->real, flags, outFlags);
    if (rc != SQLITE_OK) {
        shim->real->pMethods = nullptr;
        return rc;
    }
    const bool kept = flags & (SQLITE_OPEN_MAIN_DB | SQLITE_OPEN_WAL | SQLITE_OPEN_MAIN_JOURNAL);
    if (name && kept && std::string(name).compare(0, l.watched.size(), l.watched) == 0)
        shim->path = new std::string(name);
    shim->file.pMethods = &l.methods;
    return SQLITE_OK;
}

int vfsDelete(sqlite3_vfs*, const char* name, int syncDir)
{
    Layer& l = layer();
    if (l.dead)
        return SQLITE_IOERR_DELETE;
    const int rc = l.base->xDelete(l.base, name, syncDir);
    if (rc == SQLITE_OK)
        l.unsynced.erase(name);
    return rc;
}

int vfsAccess(sqlite3_vfs*, const char* name, int flags, int* out)
{
    return layer().base->xAccess(layer().base, name, flags, out);
}
int vfsFullPathname(sqlite3_vfs*, const char* name, int size, char* out)
{
    return layer().base->xFullPathname(layer().base, name, size, out);
}
void* vfsDlOpen(sqlite3_vfs*, const char* name)
{
    return layer().base->xDlOpen(layer().base, name);
}
void vfsDlError(sqlite3_vfs*, int size, char* out)
{
    layer().base->xDlError(layer().base, size, out);
}
void (*vfsDlSym(sqlite3_vfs*, void* handle, const char* symbol))(void)
{
    return layer().base->xDlSym(layer().base, handle, symbol);
}
void vfsDlClose(sqlite3_vfs*, void* handle)
{
    layer().base->xDlClose(layer().base, handle);
}
int vfsRandomness(sqlite3_vfs*, int size, char* out)
{
    return layer().base->xRandomness(layer().base, size, out);
}
int vfsSleep(sqlite3_vfs*, int micro)
{
    return layer().base->xSleep(layer().base, micro);
}
int vfsCurrentTime(sqlite3_vfs*, double* out)
{
    return layer().base->xCurrentTime(layer().base, out);
}
int vfsGetLastError(sqlite3_vfs*, int size, char* out)
{
    return layer().base->xGetLastError(layer().base, size, out);
}
int vfsCurrentTimeInt64(sqlite3_vfs*, sqlite3_int64* out)
{
    return layer().base->xCurrentTimeInt64(layer().base, out);
}

} // namespace

FaultVfs::FaultVfs()
{
    Layer& l = layer();
    l.base = sqlite3_vfs_find(nullptr);
    sqlite3_io_methods& m = l.methods;
    m.iVersion = 3;
    m.xClose = shimClose;
    m.xRead = shimRead;
    m.xWrite = shimWrite;
    m.xTruncate = shimTruncate;
    m.xSync = shimSync;
    m.xFileSize = shimFileSize;
    m.xLock = shimLock;
    m.xUnlock = shimUnlock;
    m.xCheckReservedLock = shimCheckReservedLock;
    m.xFileControl = shimFileControl;
    m.xSectorSize = shimSectorSize;
    m.xDeviceCharacteristics = shimDeviceCharacteristics;
    m.xShmMap = shimShmMap;
    m.xShmLock = shimShmLock;
    m.xShmBarrier = shimShmBarrier;
    m.xShmUnmap = shimShmUnmap;
    m.xFetch = shimFetch;
    m.xUnfetch = shimUnfetch;

    sqlite3_vfs& v = l.vfs;
    v.iVersion = 2;
    v.szOsFile = kRealOffset + l.base->szOsFile;
    v.mxPathname = l.base->mxPathname;
    v.zName = "tarvino_fault";
    v.xOpen = vfsOpen;
    v.xDelete = vfsDelete;
    v.xAccess = vfsAccess;
    v.xFullPathname = vfsFullPathname;
    v.xDlOpen = vfsDlOpen;
    v.xDlError = vfsDlError;
    v.xDlSym = vfsDlSym;
    v.xDlClose = vfsDlClose;
    v.xRandomness = vfsRandomness;
    v.xSleep = vfsSleep;
    v.xCurrentTime = vfsCurrentTime;
    v.xGetLastError = vfsGetLastError;
    v.xCurrentTimeInt64 = vfsCurrentTimeInt64;
    sqlite3_vfs_register(&v, 1);
}

FaultVfs& FaultVfs::instance()
{
    static FaultVfs vfs;
    return vfs;
}

void FaultVfs::armCut(std::int64_t n, double keepChance, std::uint64_t seed)
{
    Layer& l = layer();
    l.cutAt = n > 0 ? l.events + n : 0;
    l.keepChance = keepChance;
    l.random.seed(seed);
}

void FaultVfs::cutNow(double keepChance, std::uint64_t seed)
{
    Layer& l = layer();
    if (l.dead)
        return;
    l.random.seed(seed);
    cut(keepChance);
}

bool FaultVfs::isDead() const
{
    return layer().dead;
}

void FaultVfs::revive()
{
    Layer& l = layer();
    l.dead = false;
    l.cutAt = 0;
    l.failSyncPending = false;
    l.cutAfterFailedSync = false;
}

void FaultVfs::failNextSync(const std::string& suffix, bool cutAfter, SyncFault what)
{
    Layer& l = layer();
    l.failSyncSuffix = suffix;
    l.failSyncPending = true;
    l.cutAfterFailedSync = cutAfter;
    l.failSyncKind = what;
}

void FaultVfs::watch(const std::string& prefix)
{
    layer().watched = prefix;
}

bool FaultVfs::syncFailurePending() const
{
    return layer().failSyncPending;
}

std::int64_t FaultVfs::events() const
{
    return layer().events;
}

std::int64_t FaultVfs::unsyncedChanges() const
{
    std::int64_t n = 0;
    for (const auto& [path, changes] : layer().unsynced)
        n += std::int64_t(changes.size());
    return n;
}

} // namespace tarvino::stress
