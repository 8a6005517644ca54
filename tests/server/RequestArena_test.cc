#include "server/RequestArena.h"

#include <gtest/gtest.h>

#include <boost/beast/http/fields.hpp>
#include <cstdint>
#include <string>

namespace zeb::server {
namespace {

using Fields = boost::beast::http::basic_fields<ArenaAllocator<char>>;

TEST(RequestArena, HandsOutAlignedPiecesAndTheSameOnesAgainAfterAReset) {
  RequestArena arena;
  void* first = arena.Take(3, 1);
  void* aligned = arena.Take(16, 8);
  EXPECT_EQ(0u, reinterpret_cast<std::uintptr_t>(aligned) % 8);
  EXPECT_GE(static_cast<char*>(aligned), static_cast<char*>(first) + 3);
  arena.Reset();
  EXPECT_EQ(first, arena.Take(3, 1));
}

// A header larger than the block spills to the heap; every field reads back whole, and the
// fields give their memory back without harm (the sanitizers check the heap's share).
TEST(RequestArena, HeaderFieldsThatDoNotFitComeFromTheHeap) {
  RequestArena arena;
  const std::string large(RequestArena::kBlockBytes, 'x');
  for (int round = 0; round < 2; ++round) {
    {
      Fields fields{ArenaAllocator<char>(arena)};
      fields.insert("Content-Type", "text/xml");
      fields.insert("X-Large", large);
      fields.insert("SOAPAction", "\"getCSS\"");
      EXPECT_EQ("text/xml", fields["Content-Type"]);
      EXPECT_EQ(large, std::string(fields["X-Large"]));
      EXPECT_EQ("\"getCSS\"", fields["SOAPAction"]);
    }
    arena.Reset();
  }
}

}  // namespace
}  // namespace zeb::server
