// The call park and call pickup methods: add, update, remove and get of numbers of the number
// table with the call park or call pickup usage, served by one family class with the kind. A
// call park number may be owned by one call-processing node, kept in a node map beside it.
#pragma once

#include "handlers/CRequestHandler.h"
#include "handlers/RequestReader.h"
#include "zdl/Records.h"
#include "zdl/TypeEnums.h"

namespace zeb {

// What tells the two kinds apart: usage, node ownership, messages and the element built.
struct CallNumberKind {
  zdl::PatternUsage usage;
  bool ownedByNode;            // call park numbers name their node
  const char* wrapper;         // the add request's element, e.g. "<callPark>"
  const char* updateNotFound;  // the empty-selection messages of update, remove and get
  const char* removeNotFound;
  const char* getNotFound;
  const char* wrongUsage;  // a number of another usage was named
  // Builds the kind's element of a number into holder.
  void (*build)(CXMLElement& holder, zdl::CZDLSession& session, const zdl::CZDLID& id);
};

extern const CallNumberKind kCallPark;
extern const CallNumberKind kCallPickup;

class CCallNumberHandler : public CRequestHandler {
 public:
  CCallNumberHandler(RequestContext& context, const CallNumberKind& kind)
      : CRequestHandler(context), kind_(kind) {}
  HandlerOperation Add, Update, Remove, Get;

 private:
  // Reads the identification and selects the number into list; throws notFound or the
  // wrong-usage message when the selection is empty or of another usage.
  void Lookup(ElementCursor& cursor, zdl::CNumPlanList& list, const std::string& nullText,
              const std::string& notFound);
  // Adds to maps the node map the "dialcoreId" or "dialcoreName" element under the cursor
  // gives; idWording is the missing-value wording of "dialcoreId". Does not advance.
  void ReadNode(const ElementCursor& cursor, zdl::CDialcoreCallParkMapList& maps, const zdl::CZDLID& number,
                ValueWording idWording);

  const CallNumberKind& kind_;
};

}  // namespace zeb
