// What the connections of one process to one embedded database file share: the write turn, the
// group commit of the write-ahead log (whose syncing thread syncs through a handle of its own),
// and the thread that checkpoints the log, so that no writer pays for a checkpoint while others
// wait for their turn.
#pragma once

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "zdl/sqlite/GroupCommit.h"
#include "zdl/sqlite/WriteGate.h"

struct sqlite3;

namespace zeb::zdl {

class SqliteConnection;

class SqliteFile {
 public:
  // The shared state of the file at path (one per file while any connection holds it).
  static std::shared_ptr<SqliteFile> For(const std::string& path);
  ~SqliteFile();
  SqliteFile(const SqliteFile&) = delete;
  SqliteFile& operator=(const SqliteFile&) = delete;

  WriteGate& gate() { return gate_; }
  GroupCommit& commits() { return commits_; }
  // The connection every write transaction of this process runs on, in turn (opened on first
  // use, closed with the last worker connection that used it). Only it changes the file here,
  // so its page cache stays valid from one write to the next, where a worker's own would have
  // been emptied by the commits of the others.
  std::shared_ptr<SqliteConnection> Writer();

  // The log holds frames frames after a commit: past a threshold the checkpointing thread
  // copies them into the database file, on a connection of its own, in the background.
  void NoteLogSize(int frames);

 private:
  explicit SqliteFile(std::string path)
      : path_(std::move(path)),
        commits_([this] { SyncInBackground(); }, [this] { return gate_.Waiting() > 0; }) {}
  void Checkpoints();
  // Has the log written from its start again by the next commit.
  void RestartLog(sqlite3* db);
  // The group commit's background sync, on its syncing thread.
  void SyncInBackground();

  const std::string path_;
  WriteGate gate_;
  sqlite3* syncHandle_ = nullptr;  // the syncing thread's, opened on its first sync
  GroupCommit commits_;
  std::mutex writerMutex_;
  std::weak_ptr<SqliteConnection> writer_;  // guarded by writerMutex_
  std::mutex mutex_;
  std::condition_variable due_;
  bool checkpointDue_ = false;  // guarded by mutex_, as is stopping_
  bool stopping_ = false;
  std::thread checkpointer_;  // started with the first checkpoint that is due
};

}  // namespace zeb::zdl
