// The "ddi" element: a digit discard instruction, the dial plan tags whose digits are dropped
// before a call is sent on.
#pragma once

#include <string>

#include "builders/BuilderSupport.h"

namespace zeb {

// The clause of a digit discard instruction, made from its members when asked: the names of
// its tags in the order of the members element, separated by one blank ("" without members).
std::string DigitDiscardClause(zdl::CZDLSession& session, const zdl::CZDLID& ddi);

class CXMLDigitDiscardInstruction : public CXMLElement {
 public:
  // Mode kNames: "ddiName"; other modes: "ddi" with uuid, name, clause, dialPlanName, dialPlan (by
  // uuid), digitAnalysisId and members. Builds nothing for a null or unknown identifier.
  void BuildFromDatabase(zdl::CZDLSession& session, const zdl::CZDLID& id, RenderMode mode);
};

// "members": one "member" per member row, by tag name.
class CXMLDigitDiscardInstructionMembers : public CXMLElement {
 public:
  void BuildFromDatabase(zdl::CZDLSession& session, const zdl::CZDLID& ddi);
};

// One "member" holding its "dialPlanTag" by uuid.
class CXMLDigitDiscardInstructionMember : public CXMLElement {
 public:
  // REQUIRES: row is positioned on a DigitDiscardInstructionMember row.
  void BuildFromRow(const zdl::CFastAccess& row);
};

}  // namespace zeb
