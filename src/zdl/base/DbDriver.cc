#include "zdl/base/DbDriver.h"

#include <atomic>

namespace zeb::zdl {

namespace {
std::atomic<std::uint64_t> gReconnects{0};
}

std::uint64_t DatabaseReconnects() { return gReconnects.load(std::memory_order_relaxed); }

void NoteDatabaseReconnect() { gReconnects.fetch_add(1, std::memory_order_relaxed); }

}  // namespace zeb::zdl
