#include "zdl/sqlite/LogWriteBatch.h"

#include <sqlite3.h>

#include <algorithm>
#include <cstring>
#include <mutex>

namespace zeb::zdl {

namespace {

// A frame of the log is this header (page number, then the database size in pages after the
// commit, which is zero except in a commit's last frame, ...) followed by the page.
constexpr int kFrameHeaderBytes = 24;
// More than this is written out even in the middle of a commit.
constexpr sqlite3_int64 kMaxGathered = 1 << 20;
// The most one write hands to the layer below: SQLite's own never exceeds a page and its
// header, and the layer below may not take more than 128 KiB at once.
constexpr sqlite3_int64 kMaxWrite = 64 * 1024;
// Room for the file of the layer below, which may be wrapped itself.
constexpr int kMinBelowFileBytes = 1024;

struct BatchFile {
  sqlite3_file io;      // first: SQLite sees a BatchFile as an sqlite3_file
  sqlite3_file* below;  // the same allocation, after this struct
  bool log;             // the write-ahead log: its writes are gathered
  bool commitPageNext;  // the last write was the header of a commit's last frame
  char* data;           // the gathered bytes, for offsets [start, start + size)
  sqlite3_int64 start;
  sqlite3_int64 size;
  sqlite3_int64 capacity;
};

BatchFile* Of(sqlite3_file* file) { return reinterpret_cast<BatchFile*>(file); }
const sqlite3_io_methods& Below(sqlite3_file* file) { return *Of(file)->below->pMethods; }

sqlite3_vfs g_vfs;
sqlite3_vfs* g_registeredBelow = nullptr;
int g_belowRoom = 0;

// The layer below: the default one now, unless the default is this layer.
sqlite3_vfs* BelowVfs() {
  sqlite3_vfs* current = sqlite3_vfs_find(nullptr);
  return current && current != &g_vfs ? current : g_registeredBelow;
}

int WriteGathered(BatchFile* file) {
  const sqlite3_int64 size = file->size;
  file->size = 0;
  for (sqlite3_int64 done = 0; done < size; done += kMaxWrite) {
    const int amount = static_cast<int>(std::min(kMaxWrite, size - done));
    const int rc = file->below->pMethods->xWrite(file->below, file->data + done, amount, file->start + done);
    if (rc != SQLITE_OK) return rc;
  }
  return SQLITE_OK;
}

// The log's gathered bytes go out before anything that could observe or move past them.
int Settle(sqlite3_file* file) { return Of(file)->log ? WriteGathered(Of(file)) : SQLITE_OK; }

int Close(sqlite3_file* file) {
  BatchFile* batch = Of(file);
  const int written = Settle(file);
  const int closed = Below(file).xClose(batch->below);
  sqlite3_free(batch->data);
  batch->data = nullptr;
  return written != SQLITE_OK ? written : closed;
}

int Read(sqlite3_file* file, void* out, int amount, sqlite3_int64 offset) {
  const int rc = Settle(file);
  return rc != SQLITE_OK ? rc : Below(file).xRead(Of(file)->below, out, amount, offset);
}

bool Reserve(BatchFile* file, sqlite3_int64 needed) {
  if (needed <= file->capacity) return true;
  const sqlite3_int64 capacity = std::max<sqlite3_int64>({needed, file->capacity * 2, 64 * 1024});
  void* grown = sqlite3_realloc64(file->data, static_cast<sqlite3_uint64>(capacity));
  if (!grown) return false;
  file->data = static_cast<char*>(grown);
  file->capacity = capacity;
  return true;
}

int Write(sqlite3_file* file, const void* in, int amount, sqlite3_int64 offset) {
  BatchFile* batch = Of(file);
  if (!batch->log) return Below(file).xWrite(batch->below, in, amount, offset);
  // This write ends a commit when the one before was the header of its last frame; a commit's
  // header marks the next write so, whichever way this one goes out.
  const bool completesCommit = batch->commitPageNext;
  const auto* bytes = static_cast<const unsigned char*>(in);
  batch->commitPageNext = amount == kFrameHeaderBytes && (bytes[4] | bytes[5] | bytes[6] | bytes[7]) != 0;
  if (batch->size > 0 && offset != batch->start + batch->size) {
    const int rc = WriteGathered(batch);
    if (rc != SQLITE_OK) return rc;
  }
  if (!Reserve(batch, batch->size + amount)) {
    const int rc = WriteGathered(batch);
    return rc != SQLITE_OK ? rc : Below(file).xWrite(batch->below, in, amount, offset);
  }
  if (batch->size == 0) batch->start = offset;
  std::memcpy(batch->data + batch->size, in, static_cast<std::size_t>(amount));
  batch->size += amount;
  if (completesCommit || batch->size >= kMaxGathered) return WriteGathered(batch);
  return SQLITE_OK;
}

int Truncate(sqlite3_file* file, sqlite3_int64 size) {
  const int rc = Settle(file);
  return rc != SQLITE_OK ? rc : Below(file).xTruncate(Of(file)->below, size);
}

int Sync(sqlite3_file* file, int flags) {
  const int rc = Settle(file);
  return rc != SQLITE_OK ? rc : Below(file).xSync(Of(file)->below, flags);
}

int FileSize(sqlite3_file* file, sqlite3_int64* size) {
  const int rc = Settle(file);
  return rc != SQLITE_OK ? rc : Below(file).xFileSize(Of(file)->below, size);
}

int Lock(sqlite3_file* file, int level) { return Below(file).xLock(Of(file)->below, level); }
int Unlock(sqlite3_file* file, int level) { return Below(file).xUnlock(Of(file)->below, level); }
int CheckReservedLock(sqlite3_file* file, int* out) {
  return Below(file).xCheckReservedLock(Of(file)->below, out);
}

int FileControl(sqlite3_file* file, int op, void* arg) {
  const int rc = Settle(file);
  return rc != SQLITE_OK ? rc : Below(file).xFileControl(Of(file)->below, op, arg);
}

int SectorSize(sqlite3_file* file) { return Below(file).xSectorSize(Of(file)->below); }
int DeviceCharacteristics(sqlite3_file* file) { return Below(file).xDeviceCharacteristics(Of(file)->below); }

int ShmMap(sqlite3_file* file, int region, int size, int extend, void volatile** out) {
  return Below(file).xShmMap(Of(file)->below, region, size, extend, out);
}
int ShmLock(sqlite3_file* file, int offset, int n, int flags) {
  return Below(file).xShmLock(Of(file)->below, offset, n, flags);
}
void ShmBarrier(sqlite3_file* file) { Below(file).xShmBarrier(Of(file)->below); }
int ShmUnmap(sqlite3_file* file, int deleteFlag) {
  return Below(file).xShmUnmap(Of(file)->below, deleteFlag);
}

int Fetch(sqlite3_file* file, sqlite3_int64 offset, int amount, void** out) {
  if (Below(file).iVersion < 3) {
    *out = nullptr;
    return SQLITE_OK;
  }
  return Below(file).xFetch(Of(file)->below, offset, amount, out);
}
int Unfetch(sqlite3_file* file, sqlite3_int64 offset, void* page) {
  return Below(file).iVersion < 3 ? SQLITE_OK : Below(file).xUnfetch(Of(file)->below, offset, page);
}

// clang-format off
const sqlite3_io_methods kMethods = {
    3, Close, Read, Write, Truncate, Sync, FileSize, Lock, Unlock, CheckReservedLock, FileControl, SectorSize,
    DeviceCharacteristics, ShmMap, ShmLock, ShmBarrier, ShmUnmap, Fetch, Unfetch};
// clang-format on

int Open(sqlite3_vfs*, sqlite3_filename name, sqlite3_file* file, int flags, int* outFlags) {
  sqlite3_vfs* below = BelowVfs();
  BatchFile* batch = Of(file);
  std::memset(batch, 0, sizeof *batch);
  if (below->szOsFile > g_belowRoom) return SQLITE_CANTOPEN;
  batch->below = reinterpret_cast<sqlite3_file*>(batch + 1);
  batch->below->pMethods = nullptr;
  batch->log = (flags & SQLITE_OPEN_WAL) != 0;
  const int rc = below->xOpen(below, name, batch->below, flags, outFlags);
  // SQLite closes a file whose methods are set even when opening it failed.
  if (batch->below->pMethods) batch->io.pMethods = &kMethods;
  return rc;
}

int Delete(sqlite3_vfs*, const char* name, int syncDir) {
  return BelowVfs()->xDelete(BelowVfs(), name, syncDir);
}
int Access(sqlite3_vfs*, const char* name, int flags, int* out) {
  return BelowVfs()->xAccess(BelowVfs(), name, flags, out);
}
int FullPathname(sqlite3_vfs*, const char* name, int size, char* out) {
  return BelowVfs()->xFullPathname(BelowVfs(), name, size, out);
}
void* DlOpen(sqlite3_vfs*, const char* name) { return BelowVfs()->xDlOpen(BelowVfs(), name); }
void DlError(sqlite3_vfs*, int size, char* out) { BelowVfs()->xDlError(BelowVfs(), size, out); }
void (*DlSym(sqlite3_vfs*, void* handle, const char* symbol))(void) {
  return BelowVfs()->xDlSym(BelowVfs(), handle, symbol);
}
void DlClose(sqlite3_vfs*, void* handle) { BelowVfs()->xDlClose(BelowVfs(), handle); }
int Randomness(sqlite3_vfs*, int size, char* out) { return BelowVfs()->xRandomness(BelowVfs(), size, out); }
int Sleep(sqlite3_vfs*, int micros) { return BelowVfs()->xSleep(BelowVfs(), micros); }
int CurrentTime(sqlite3_vfs*, double* out) { return BelowVfs()->xCurrentTime(BelowVfs(), out); }
int GetLastError(sqlite3_vfs*, int size, char* out) {
  return BelowVfs()->xGetLastError(BelowVfs(), size, out);
}
int CurrentTimeInt64(sqlite3_vfs*, sqlite3_int64* out) {
  sqlite3_vfs* below = BelowVfs();
  if (below->iVersion >= 2 && below->xCurrentTimeInt64) return below->xCurrentTimeInt64(below, out);
  double days = 0;
  const int rc = below->xCurrentTime(below, &days);
  *out = static_cast<sqlite3_int64>(days * 86400000.0);
  return rc;
}

}  // namespace

const char* LogWriteBatchVfs() {
  static std::once_flag registered;
  std::call_once(registered, [] {
    g_registeredBelow = sqlite3_vfs_find(nullptr);
    g_belowRoom = std::max(g_registeredBelow->szOsFile, kMinBelowFileBytes);
    g_vfs = sqlite3_vfs{};
    g_vfs.iVersion = 2;
    g_vfs.szOsFile = static_cast<int>(sizeof(BatchFile)) + g_belowRoom;
    g_vfs.mxPathname = g_registeredBelow->mxPathname;
    g_vfs.zName = "zeb-log-batch";
    g_vfs.xOpen = Open;
    g_vfs.xDelete = Delete;
    g_vfs.xAccess = Access;
    g_vfs.xFullPathname = FullPathname;
    g_vfs.xDlOpen = DlOpen;
    g_vfs.xDlError = DlError;
    g_vfs.xDlSym = DlSym;
    g_vfs.xDlClose = DlClose;
    g_vfs.xRandomness = Randomness;
    g_vfs.xSleep = Sleep;
    g_vfs.xCurrentTime = CurrentTime;
    g_vfs.xGetLastError = GetLastError;
    g_vfs.xCurrentTimeInt64 = CurrentTimeInt64;
    sqlite3_vfs_register(&g_vfs, 0);
  });
  return g_vfs.zName;
}

}  // namespace zeb::zdl
