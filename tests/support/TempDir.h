// A fresh temporary directory (under TMPDIR), removed with everything in it when the object goes
// unless ZEB_KEEP_TEST_DIRS is set.
#pragma once

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>

namespace zeb::test {

class TempDir {
 public:
  TempDir() : path_((std::filesystem::temp_directory_path() / "zeb-test-XXXXXX").string()) {
    if (mkdtemp(path_.data()) == nullptr) throw std::runtime_error("mkdtemp: " + std::string(strerror(errno)));
  }
  ~TempDir() {
    std::error_code ignored;
    if (!std::getenv("ZEB_KEEP_TEST_DIRS")) std::filesystem::remove_all(path_, ignored);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& path() const { return path_; }
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

// The whole contents of the file ("" when it cannot be read).
inline std::string ReadFile(const std::string& name) {
  std::ifstream in(name, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace zeb::test
