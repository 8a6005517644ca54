// TEMPORARY stand-in until the real trace log is merged: appends records to one file.
#pragma once

#include <fstream>
#include <mutex>
#include <string>

namespace zeb {

class TraceLog {
 public:
  void Open(const std::string& dir);
  void Write(const std::string& record);
  void Close();

 private:
  std::mutex mutex_;
  std::ofstream out_;
};

}  // namespace zeb
