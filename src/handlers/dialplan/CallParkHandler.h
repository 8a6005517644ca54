// addCallPark, updateCallPark, removeCallPark and getCallPark: one handler that picks the
// operation by the request element's name. A call park number may be owned by one
// call-processing node, kept in a node map beside the number.
#pragma once

#include "dispatch/CRequestHandler.h"
#include "dispatch/RequestReader.h"
#include "zdl/Records.h"

namespace zeb {

class CCallParkHandler : public CRequestHandler {
 public:
  using CRequestHandler::CRequestHandler;
  void Execute(XmlNode request, CXMLElement& result) override;

 protected:
  // Reads the identification and selects the call park number into list; throws notFound or
  // the wrong-usage message when the selection is empty or not a call park number.
  virtual void LookupCallPark(ElementCursor& cursor, zdl::CNumPlanList& list, const std::string& nullText,
                              const std::string& notFound);

 private:
  void Add(XmlNode request, CXMLElement& result);
  void Update(XmlNode request, CXMLElement& result);
  void Remove(XmlNode request, CXMLElement& result);
  void Get(XmlNode request, CXMLElement& result);
  // Adds to maps the node map the "dialcoreId" or "dialcoreName" element under the cursor
  // gives; idWording is the missing-value wording of "dialcoreId". Does not advance.
  void ReadNode(const ElementCursor& cursor, zdl::CDialcoreCallParkMapList& maps, const zdl::CZDLID& park,
                ValueWording idWording);
};

}  // namespace zeb
