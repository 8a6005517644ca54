// addCallPickupGroup, updateCallPickupGroup, removeCallPickupGroup and getCallPickupGroup: one
// handler that picks the operation by the request element's name.
#pragma once

#include "dispatch/CRequestHandler.h"
#include "dispatch/RequestReader.h"
#include "zdl/Records.h"

namespace zeb {

class CCallPickupHandler : public CRequestHandler {
 public:
  using CRequestHandler::CRequestHandler;
  void Execute(XmlNode request, CXMLElement& result) override;

 protected:
  // Reads the identification and selects the pickup group into list; throws notFound or the
  // wrong-usage message when the selection is empty or not a pickup group.
  virtual void LookupCallPickup(ElementCursor& cursor, zdl::CNumPlanList& list, const std::string& nullText,
                                const std::string& notFound);

 private:
  void Add(XmlNode request, CXMLElement& result);
  void Update(XmlNode request, CXMLElement& result);
  void Remove(XmlNode request, CXMLElement& result);
  void Get(XmlNode request, CXMLElement& result);
};

}  // namespace zeb
