// A growable byte buffer. The serialised response is appended into one, and the front end
// writes its contents to the client.
#pragma once

#include <cstddef>
#include <string>

namespace zeb::zdl {

class CGenericBuffer {
 public:
  // An empty buffer whose storage is reserved for initialSize bytes.
  explicit CGenericBuffer(std::size_t initialSize = 0) { data_.reserve(initialSize); }

  void Append(const char* text) { data_.append(text); }
  void Append(const std::string& text) { data_.append(text); }
  void Append(const char* bytes, std::size_t n) { data_.append(bytes, n); }

  std::size_t GetLength() const { return data_.size(); }
  const char* GetData() const { return data_.data(); }
  const std::string& str() const { return data_; }
  std::string& str() { return data_; }
  void Clear() { data_.clear(); }

 private:
  std::string data_;
};

}  // namespace zeb::zdl
