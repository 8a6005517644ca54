#include "builders/CXMLLocation.h"

namespace zeb {

void CXMLLocation::BuildFromDatabase(zdl::CZDLSession& session, const zdl::CZDLID& id, RenderMode mode) {
  BuildReference(*this, session, "Location", "location", id, mode,
                 [](CXMLElement& element, const zdl::CFastAccess& row) {
                   element.AddChild("id", std::to_string(row.getInt("ID")));
                   element.AddChild("kbits", std::to_string(row.getInt("Kbits")));
                 });
}

}  // namespace zeb
