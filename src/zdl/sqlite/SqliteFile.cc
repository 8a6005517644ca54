#include "zdl/sqlite/SqliteFile.h"

#include <sqlite3.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <thread>

#include "zdl/sqlite/SqliteConnection.h"

namespace zeb::zdl {

namespace {

// SQLite's own default: a checkpoint once the log holds this many pages.
constexpr int kCheckpointFrames = 1000;
constexpr std::chrono::milliseconds kCheckpointPause{50};
// Past this many frames the log is started over. While readers and writers keep coming, passive
// checkpoints copy the frames but the log never gets back to its start: it grows for as long as
// the writes go on (by tens of kilobytes a commit), and a log that grows costs every sync a
// change of the file's size too.
constexpr int kRestartFrames = 8192;
// How long the checkpointing thread waits for the write turn, and then (in tries) for readers to
// leave the log, before it gives the restart up until the next checkpoint: writers wait
// meanwhile. Readers of a request hold the log for well under a millisecond, so the checkpoint
// looks again that often (SQLite's own busy pauses start at a millisecond and grow).
constexpr std::chrono::milliseconds kRestartTurnWait{1000};
constexpr auto kRestartReadersPause = std::chrono::microseconds(50);
constexpr int kRestartReadersTries = 400;

int PauseForReaders(void*, int tries) {
  if (tries >= kRestartReadersTries) return 0;
  std::this_thread::sleep_for(kRestartReadersPause);
  return 1;
}

std::mutex gFilesMutex;
std::map<std::string, std::weak_ptr<SqliteFile>> gFiles;

}  // namespace

std::shared_ptr<SqliteFile> SqliteFile::For(const std::string& path) {
  std::error_code ignored;
  std::string key = std::filesystem::weakly_canonical(path, ignored).string();
  if (key.empty()) key = path;
  std::lock_guard<std::mutex> lock(gFilesMutex);
  std::shared_ptr<SqliteFile> file = gFiles[key].lock();
  if (!file) {
    file.reset(new SqliteFile(path));
    gFiles[key] = file;
  }
  return file;
}

SqliteFile::~SqliteFile() {
  commits_.Stop();
  sqlite3_close(syncHandle_);
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
    due_.notify_all();
  }
  if (checkpointer_.joinable()) checkpointer_.join();
}

std::shared_ptr<SqliteConnection> SqliteFile::Writer() {
  std::lock_guard<std::mutex> lock(writerMutex_);
  std::shared_ptr<SqliteConnection> writer = writer_.lock();
  if (!writer) {
    writer = std::make_shared<SqliteConnection>(path_, SqliteConnection::Role::kWriter);
    writer_ = writer;
  }
  return writer;
}

void SqliteFile::SyncInBackground() {
  if (!syncHandle_) {
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(path_.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr) != SQLITE_OK) {
      const std::string reason = sqlite3_errmsg(db);
      sqlite3_close(db);
      throw CZDLException(kZDLGeneralError, "Database error: the write-ahead log cannot be synced (" + reason + ").");
    }
    // A read opens the log.
    sqlite3_exec(db, "PRAGMA data_version", nullptr, nullptr, nullptr);
    syncHandle_ = db;
  }
  SyncWriteAheadLog(syncHandle_);
}

void SqliteFile::NoteLogSize(int frames) {
  if (frames < kCheckpointFrames) return;
  std::lock_guard<std::mutex> lock(mutex_);
  checkpointDue_ = true;
  if (!checkpointer_.joinable()) {
    checkpointer_ = std::thread([this] { Checkpoints(); });
  } else {
    due_.notify_one();
  }
}

// A passive checkpoint waits for nobody: it copies what no reader still needs from the log. With
// synchronous=NORMAL SQLite syncs the log before it copies frames and the database file after,
// so a checkpoint never makes the file depend on log frames that are not yet durable.
void SqliteFile::Checkpoints() {
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(path_.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr) != SQLITE_OK) {
    sqlite3_close(db);
    db = nullptr;
  }
  if (db) {
    sqlite3_exec(db, "PRAGMA synchronous = NORMAL", nullptr, nullptr, nullptr);
    sqlite3_busy_handler(db, &PauseForReaders, nullptr);
  }
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    due_.wait(lock, [this] { return checkpointDue_ || stopping_; });
    if (stopping_) break;
    checkpointDue_ = false;
    lock.unlock();
    int logFrames = 0;
    if (db) sqlite3_wal_checkpoint_v2(db, nullptr, SQLITE_CHECKPOINT_PASSIVE, &logFrames, nullptr);
    if (db && logFrames >= kRestartFrames) RestartLog(db);
    lock.lock();
    // While readers keep the log from starting over, every commit finds it past the threshold:
    // one checkpoint per pause copies a page changed by many commits once, not once per commit.
    due_.wait_for(lock, kCheckpointPause, [this] { return stopping_; });
  }
  lock.unlock();
  sqlite3_close(db);
}

// With the write turn held, no commit of this process adds frames: the checkpoint copies the
// rest of the log and waits for the readers still using it, so that the next commit writes the
// log from its start (the writer then cuts a longer log back to its size limit). Most frames are
// copied already by the passive checkpoints, so writers wait about one sync of the file.
void SqliteFile::RestartLog(sqlite3* db) {
  if (!gate_.Acquire(kRestartTurnWait)) return;
  sqlite3_wal_checkpoint_v2(db, nullptr, SQLITE_CHECKPOINT_RESTART, nullptr, nullptr);
  gate_.Release();
}

}  // namespace zeb::zdl
