// addDialPlan, updateDialPlan, removeDialPlan and getDialPlan: one family class, an operation per
// method. Also what route filters and digit discard instructions share: a dial plan, and a clause
// made from tag members.
#pragma once

#include <optional>
#include <vector>

#include "builders/ElementTable.h"
#include "handlers/CRequestHandler.h"
#include "handlers/RequestReader.h"

namespace zeb {

// The rows of a family whose clause is made from its members, never taken from a request: its
// name (stored in nameField), "clause", its dial plan (by "uuid" or name in an add, by identifier
// or name in an update), the optional element extra, which is not read, and "members"
// (membersInAdd in an add, optional in an update).
std::vector<ElementRow> ClauseFamilyRows(int nameField, const char* extra, Presence membersInAdd);

// Reads past an add's optional "clause", which follows the name. Throws nullText when nothing
// follows the name, and the dial plan's NULL message when nothing follows the clause.
void SkipClause(ElementCursor& cursor, const char* nullText);

// The dial plan of an add at the cursor: "dialPlan" by its "uuid", or "dialPlanName" (a plan of
// no such name throws notFound). Any other element throws "Found" naming expected.
zdl::CZDLID ReadAddDialPlan(zdl::CZDLSession& session, const ElementCursor& cursor, const char* expected,
                            const char* notFound);

// The optional dial plan of an update at the cursor: "dialPlanId", or "dialPlanName" (notFound as
// above); advances past it. Empty when the cursor is on neither.
std::optional<zdl::CZDLID> ReadUpdateDialPlan(zdl::CZDLSession& session, ElementCursor& cursor,
                                              const char* notFound);

class CDialPlanHandler : public CRequestHandler {
 public:
  using CRequestHandler::CRequestHandler;
  HandlerOperation Add, Update, Remove, Get;
};

}  // namespace zeb
