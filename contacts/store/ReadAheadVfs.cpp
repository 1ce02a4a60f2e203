#include "contacts/store/ReadAheadVfs.h"

#include <sqlite3.h>

#include <algorithm>
#include <cstring>

namespace quennet::store {

namespace {

// Large enough that a pass over a store of 100,000 contacts (3,600 pages)
// takes a few dozen reads, small beside the records the open keeps.
constexpr int kRunBytes = 256 * 1024;

// A main database file opened read-only; the system's file follows it in the
// same allocation.
struct ReadAheadFile {
    sqlite3_file base;
    sqlite3_file *real;
    int lock;
    // The run of the file last read ahead: [runStart, runStart + runBytes).
    char *run;
    sqlite3_int64 runStart;
    int runBytes;
    // The last read that went straight to the file: [lastStart, lastEnd).
    sqlite3_int64 lastStart;
    sqlite3_int64 lastEnd;
    // The file's size, read once per lock.
    sqlite3_int64 size;
};

constexpr int kFileBytes = int((sizeof(ReadAheadFile) + 7) & ~size_t(7));

sqlite3_vfs *realVfs(sqlite3_vfs *vfs)
{
    return static_cast<sqlite3_vfs *>(vfs->pAppData);
}

ReadAheadFile *asReadAhead(sqlite3_file *file)
{
    return reinterpret_cast<ReadAheadFile *>(file);
}

sqlite3_file *realFile(sqlite3_file *file)
{
    return asReadAhead(file)->real;
}

void forgetRun(ReadAheadFile *f)
{
    f->runBytes = 0;
    f->lastStart = -1;
    f->lastEnd = -1;
    f->size = -1;
}

bool inRun(const ReadAheadFile *f, sqlite3_int64 offset, int amount)
{
    return f->runBytes > 0 && offset >= f->runStart && offset + amount <= f->runStart + f->runBytes;
}

// Where to read a run from for a read that carries on from the run or the
// last read, or a little past it (a tree's pages interleave with those of its
// inner nodes), either way: the structure check takes a page's children
// from the last. -1 for a read that jumps.
sqlite3_int64 runStartFor(const ReadAheadFile *f, sqlite3_int64 offset, int amount)
{
    const sqlite3_int64 end = offset + amount;
    const sqlite3_int64 runEnd = f->runStart + f->runBytes;
    if (offset == f->lastEnd || (f->runBytes > 0 && offset >= runEnd && offset - runEnd < kRunBytes))
        return offset;
    if (end == f->lastStart || (f->runBytes > 0 && end <= f->runStart && f->runStart - end < kRunBytes))
        return std::max<sqlite3_int64>(0, end - kRunBytes);
    return -1;
}

// Reads the run that starts at start; false if the file could not be read.
bool fillRun(ReadAheadFile *f, sqlite3_int64 start)
{
    sqlite3_file *real = f->real;
    if (f->size < 0 && real->pMethods->xFileSize(real, &f->size) != SQLITE_OK) {
        f->size = -1;
        return false;
    }
    const int bytes = int(std::min<sqlite3_int64>(kRunBytes, f->size - start));
    if (bytes <= 0)
        return false;
    if (!f->run && !(f->run = static_cast<char *>(sqlite3_malloc(kRunBytes))))
        return false;
    f->runBytes = 0;
    if (real->pMethods->xRead(real, f->run, bytes, start) != SQLITE_OK)
        return false;
    f->runStart = start;
    f->runBytes = bytes;
    return true;
}

bool readFromRun(ReadAheadFile *f, void *out, int amount, sqlite3_int64 offset)
{
    if (!inRun(f, offset, amount)) {
        const sqlite3_int64 start = runStartFor(f, offset, amount);
        if (start < 0 || !fillRun(f, start) || !inRun(f, offset, amount))
            return false;
    }
    std::memcpy(out, f->run + (offset - f->runStart), size_t(amount));
    return true;
}

int xRead(sqlite3_file *file, void *out, int amount, sqlite3_int64 offset)
{
    ReadAheadFile *f = asReadAhead(file);
    const bool locked = f->lock >= SQLITE_LOCK_SHARED;
    if (locked && amount < kRunBytes && readFromRun(f, out, amount, offset))
        return SQLITE_OK;
    f->lastStart = locked ? offset : -1;
    f->lastEnd = locked ? offset + amount : -1;
    return f->real->pMethods->xRead(f->real, out, amount, offset);
}

int xClose(sqlite3_file *file)
{
    ReadAheadFile *f = asReadAhead(file);
    const int rc = f->real->pMethods->xClose(f->real);
    sqlite3_free(f->run);
    f->run = nullptr;
    return rc;
}

int xWrite(sqlite3_file *file, const void *data, int amount, sqlite3_int64 offset)
{
    forgetRun(asReadAhead(file));
    return realFile(file)->pMethods->xWrite(realFile(file), data, amount, offset);
}

int xTruncate(sqlite3_file *file, sqlite3_int64 size)
{
    forgetRun(asReadAhead(file));
    return realFile(file)->pMethods->xTruncate(realFile(file), size);
}

int xSync(sqlite3_file *file, int flags)
{
    return realFile(file)->pMethods->xSync(realFile(file), flags);
}

int xFileSize(sqlite3_file *file, sqlite3_int64 *size)
{
    return realFile(file)->pMethods->xFileSize(realFile(file), size);
}

int xLock(sqlite3_file *file, int level)
{
    ReadAheadFile *f = asReadAhead(file);
    forgetRun(f);
    const int rc = f->real->pMethods->xLock(f->real, level);
    if (rc == SQLITE_OK)
        f->lock = level;
    return rc;
}

int xUnlock(sqlite3_file *file, int level)
{
    ReadAheadFile *f = asReadAhead(file);
    forgetRun(f);
    // Whatever the answer, the lock may be gone: read from the file only.
    f->lock = SQLITE_LOCK_NONE;
    const int rc = f->real->pMethods->xUnlock(f->real, level);
    if (rc == SQLITE_OK)
        f->lock = level;
    return rc;
}

int xCheckReservedLock(sqlite3_file *file, int *reserved)
{
    return realFile(file)->pMethods->xCheckReservedLock(realFile(file), reserved);
}

int xFileControl(sqlite3_file *file, int op, void *arg)
{
    return realFile(file)->pMethods->xFileControl(realFile(file), op, arg);
}

int xSectorSize(sqlite3_file *file)
{
    return realFile(file)->pMethods->xSectorSize(realFile(file));
}

int xDeviceCharacteristics(sqlite3_file *file)
{
    return realFile(file)->pMethods->xDeviceCharacteristics(realFile(file));
}

int xShmMap(sqlite3_file *file, int region, int size, int extend, void volatile **mapped)
{
    return realFile(file)->pMethods->xShmMap(realFile(file), region, size, extend, mapped);
}

int xShmLock(sqlite3_file *file, int offset, int n, int flags)
{
    return realFile(file)->pMethods->xShmLock(realFile(file), offset, n, flags);
}

void xShmBarrier(sqlite3_file *file)
{
    realFile(file)->pMethods->xShmBarrier(realFile(file));
}

int xShmUnmap(sqlite3_file *file, int deleteFlag)
{
    return realFile(file)->pMethods->xShmUnmap(realFile(file), deleteFlag);
}

// Version 2: no memory map of the file, whatever a connection asks for.
sqlite3_io_methods readAheadMethods()
{
    sqlite3_io_methods m = {};
    m.iVersion = 2;
    m.xClose = xClose;
    m.xRead = xRead;
    m.xWrite = xWrite;
    m.xTruncate = xTruncate;
    m.xSync = xSync;
    m.xFileSize = xFileSize;
    m.xLock = xLock;
    m.xUnlock = xUnlock;
    m.xCheckReservedLock = xCheckReservedLock;
    m.xFileControl = xFileControl;
    m.xSectorSize = xSectorSize;
    m.xDeviceCharacteristics = xDeviceCharacteristics;
    m.xShmMap = xShmMap;
    m.xShmLock = xShmLock;
    m.xShmBarrier = xShmBarrier;
    m.xShmUnmap = xShmUnmap;
    return m;
}

const sqlite3_io_methods kReadAheadMethods = readAheadMethods();

int xOpen(sqlite3_vfs *vfs, sqlite3_filename name, sqlite3_file *file, int flags, int *outFlags)
{
    sqlite3_vfs *real = realVfs(vfs);
    const bool readAhead = (flags & SQLITE_OPEN_MAIN_DB) && (flags & SQLITE_OPEN_READONLY);
    if (!readAhead)
        return real->xOpen(real, name, file, flags, outFlags);
    ReadAheadFile *f = asReadAhead(file);
    std::memset(f, 0, sizeof(ReadAheadFile));
    f->real = reinterpret_cast<sqlite3_file *>(reinterpret_cast<char *>(file) + kFileBytes);
    forgetRun(f);
    const int rc = real->xOpen(real, name, f->real, flags, outFlags);
    // Without methods SQLite closes nothing; with them it closes both.
    f->base.pMethods = f->real->pMethods ? &kReadAheadMethods : nullptr;
    return rc;
}

int xDelete(sqlite3_vfs *vfs, const char *name, int syncDir)
{
    return realVfs(vfs)->xDelete(realVfs(vfs), name, syncDir);
}

int xAccess(sqlite3_vfs *vfs, const char *name, int flags, int *result)
{
    return realVfs(vfs)->xAccess(realVfs(vfs), name, flags, result);
}

int xFullPathname(sqlite3_vfs *vfs, const char *name, int size, char *out)
{
    return realVfs(vfs)->xFullPathname(realVfs(vfs), name, size, out);
}

void *xDlOpen(sqlite3_vfs *vfs, const char *name)
{
    return realVfs(vfs)->xDlOpen(realVfs(vfs), name);
}

void xDlError(sqlite3_vfs *vfs, int size, char *out)
{
    realVfs(vfs)->xDlError(realVfs(vfs), size, out);
}

void (*xDlSym(sqlite3_vfs *vfs, void *library, const char *symbol))(void)
{
    return realVfs(vfs)->xDlSym(realVfs(vfs), library, symbol);
}

void xDlClose(sqlite3_vfs *vfs, void *library)
{
    realVfs(vfs)->xDlClose(realVfs(vfs), library);
}

int xRandomness(sqlite3_vfs *vfs, int size, char *out)
{
    return realVfs(vfs)->xRandomness(realVfs(vfs), size, out);
}

int xSleep(sqlite3_vfs *vfs, int microseconds)
{
    return realVfs(vfs)->xSleep(realVfs(vfs), microseconds);
}

int xCurrentTime(sqlite3_vfs *vfs, double *now)
{
    return realVfs(vfs)->xCurrentTime(realVfs(vfs), now);
}

int xGetLastError(sqlite3_vfs *vfs, int size, char *out)
{
    return realVfs(vfs)->xGetLastError(realVfs(vfs), size, out);
}

int xCurrentTimeInt64(sqlite3_vfs *vfs, sqlite3_int64 *now)
{
    sqlite3_vfs *real = realVfs(vfs);
    if (real->iVersion >= 2 && real->xCurrentTimeInt64)
        return real->xCurrentTimeInt64(real, now);
    double days = 0;
    const int rc = real->xCurrentTime(real, &days);
    *now = sqlite3_int64(days * 86400000.0);
    return rc;
}

constexpr char kName[] = "quennet-read-ahead";

const char *registerReadAheadVfs()
{
    sqlite3_vfs *real = sqlite3_vfs_find(nullptr);
    if (!real || real->iVersion < 1)
        return nullptr;
    static sqlite3_vfs vfs = {};
    vfs.iVersion = 2;
    vfs.szOsFile = kFileBytes + real->szOsFile;
    vfs.mxPathname = real->mxPathname;
    vfs.zName = kName;
    vfs.pAppData = real;
    vfs.xOpen = xOpen;
    vfs.xDelete = xDelete;
    vfs.xAccess = xAccess;
    vfs.xFullPathname = xFullPathname;
    vfs.xDlOpen = xDlOpen;
    vfs.xDlError = xDlError;
    vfs.xDlSym = xDlSym;
    vfs.xDlClose = xDlClose;
    vfs.xRandomness = xRandomness;
    vfs.xSleep = xSleep;
    vfs.xCurrentTime = xCurrentTime;
    vfs.xGetLastError = xGetLastError;
    vfs.xCurrentTimeInt64 = xCurrentTimeInt64;
    return sqlite3_vfs_register(&vfs, 0) == SQLITE_OK ? kName : nullptr;
}

} // namespace

const char *readAheadVfsName()
{
    static const char *const name = registerReadAheadVfs();
    return name;
}

} // namespace quennet::store
