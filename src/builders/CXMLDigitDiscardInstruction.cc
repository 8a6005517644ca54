#include "builders/CXMLDigitDiscardInstruction.h"

namespace zeb {

namespace {

// The members of an instruction with their tag's name as "TagName", in element order.
void SelectMembers(zdl::CFastAccess& rows, const zdl::CZDLID& ddi) {
  rows.SelectCustom(
      "SELECT DigitDiscardInstructionMember.*, DialPlanTag.Tag AS TagName FROM DigitDiscardInstructionMember "
      "LEFT JOIN DialPlanTag ON DialPlanTag.pkid = DigitDiscardInstructionMember.fkDialPlanTag "
      "WHERE DigitDiscardInstructionMember.fkDigitDiscardInstruction = ? ORDER BY DialPlanTag.Tag",
      {ddi});
}

}  // namespace

std::string DigitDiscardClause(zdl::CZDLSession& session, const zdl::CZDLID& ddi) {
  zdl::CFastAccess rows(session, "DigitDiscardInstructionMember");
  std::string clause;
  for (SelectMembers(rows, ddi); !rows.IsEOF(); rows.MoveNext()) {
    clause += (clause.empty() ? "" : " ") + rows.getString("TagName");
  }
  return clause;
}

void CXMLDigitDiscardInstruction::BuildFromDatabase(zdl::CZDLSession& session, const zdl::CZDLID& id,
                                                    RenderMode mode) {
  BuildReference(*this, session, "DigitDiscardInstruction", "ddi", id, mode,
                 [&](CXMLElement& element, const zdl::CFastAccess& row) {
                   const zdl::CZDLID plan = row.getID("fkDialPlan");
                   zdl::CFastAccess planRow(session, "DialPlan");
                   element.AddChild("clause", DigitDiscardClause(session, id));
                   element.AddChild("dialPlanName", ReadRecord(planRow, plan) ? planRow.getString("Name") : "");
                   AddUuidChild(element, "dialPlan", plan);
                   element.AddChild("digitAnalysisId", std::to_string(row.getInt("DigitAnalysisID")));
                   element.AddNewChild<CXMLDigitDiscardInstructionMembers>()->BuildFromDatabase(session, id);
                 });
}

void CXMLDigitDiscardInstructionMembers::BuildFromDatabase(zdl::CZDLSession& session, const zdl::CZDLID& ddi) {
  SetTag("members");
  zdl::CFastAccess rows(session, "DigitDiscardInstructionMember");
  for (SelectMembers(rows, ddi); !rows.IsEOF(); rows.MoveNext()) {
    AddNewChild<CXMLDigitDiscardInstructionMember>()->BuildFromRow(rows);
  }
}

void CXMLDigitDiscardInstructionMember::BuildFromRow(const zdl::CFastAccess& row) {
  SetTag("member");
  AddUuidChild(*this, "dialPlanTag", row.getID("fkDialPlanTag"));
}

}  // namespace zeb
