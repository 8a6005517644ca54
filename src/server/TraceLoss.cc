#include "server/TraceLoss.h"

#include <cstring>

namespace zeb::server {

void TraceLoss::OnRecord(bool lost, int error) {
  if (lost) {
    ++lost_;
    if (!losing_.exchange(true)) {
      char text[128];
      warn_("trace records are being lost: the trace directory " + directory_ + " cannot take them (" +
            strerror_r(error, text, sizeof text) + ")");
    }
  } else if (losing_.load(std::memory_order_relaxed) && losing_.exchange(false)) {
    warn_("trace records reach the trace directory " + directory_ + " again (lost or cut short meanwhile: " +
          std::to_string(lost_.exchange(0)) + ")");
  }
}

}  // namespace zeb::server
