// Adds a route partition through the record library: the record tests of the library change
// when they need a change to observe.
#pragma once

#include <string>

#include "zdl/CZDLSession.h"
#include "zdl/Records.h"

namespace zeb::test {

inline zdl::CZDLID AddPartition(zdl::CZDLSession& session, const std::string& name,
                                const std::string& description = "") {
  zdl::CRoutePartitionList list(session);
  auto partition = list.Insert();
  partition->PutName(name);
  if (!description.empty()) partition->PutDescription(description);
  list.Update();
  return partition->GetID();
}

}  // namespace zeb::test
