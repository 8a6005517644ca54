// Files compiled into the binary by cmake/EmbedFiles.cmake: the schema fragments of the
// service documents (src/wsdl/schema/*.xsd).
#pragma once

#include <cstddef>

namespace zeb::wsdl {

struct EmbeddedFile {
  const char* name;  // file name without directory, e.g. "Phones.xsd"
  const char* text;  // the whole file
};

extern const EmbeddedFile kEmbeddedFiles[];
extern const std::size_t kEmbeddedFileCount;

}  // namespace zeb::wsdl
