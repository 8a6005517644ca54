// A file-system layer under SQLite that hands a commit's writes to the write-ahead log to the
// kernel as one write. SQLite writes every frame of a commit with two calls (its 24-byte header,
// then its page), so a commit of eight pages costs sixteen system calls, and since frames are not
// aligned to the kernel's pages each frame prepares, copies into and dirties about three of
// them. Here consecutive writes to the log are gathered in memory and written together when the
// commit's last frame is complete, before SQLite publishes the commit to readers; any other use
// of the log (a read, a write elsewhere, a sync, its size, a truncation, closing it) writes what
// is gathered first, so the file reads exactly as it would without the layer. A failed write is
// the failure of the write that completed the commit, and the commit fails with it.
//
// Every other file, and every other use of the log, goes straight to the layer below (the
// process's default file system layer at the time the file is opened).
#pragma once

namespace zeb::zdl {

// The name to open a connection with (sqlite3_open_v2's zVfs); registered on first use.
const char* LogWriteBatchVfs();

}  // namespace zeb::zdl
