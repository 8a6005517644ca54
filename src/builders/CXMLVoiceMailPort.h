// The voice-mail port element ("voiceMailPort", xsi:type zeb:XVoiceMailPort): the device's
// identity, its references, settings and its single line.
#pragma once

#include <string>

#include "builders/BuilderSupport.h"

namespace zeb {

class CXMLVoiceMailPort : public CXMLElement {
 public:
  // Builds the port with that identifier; nothing when there is no such device. Mode kNamespaces adds the
  // namespace attributes; references are nested elements except the media resource list and the
  // AAR calling search space, which are given by name.
  void BuildFromDatabase(zdl::CZDLSession& session, const zdl::CZDLID& id, RenderMode mode,
                         const std::string& versionStamp);

 private:
  // mediaResourceListName, automatedAlternateRoutingCSSName and aarNeighborhood, each when set.
  void AddNamedReferences(zdl::CZDLSession& session, const zdl::CFastAccess& device);
};

}  // namespace zeb
