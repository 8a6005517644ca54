#include "handlers/dialplan/DDIHandler.h"

#include "builders/CXMLDigitDiscardInstruction.h"
#include "handlers/ElementTables.h"
#include "handlers/dialplan/DialPlanHandler.h"
#include "handlers/dialplan/DialPlanTagHandler.h"

namespace zeb {

namespace {

const char kUpdateNotFound[] = "Digit Discard Instruction not found.";
const char kNotFound[] = "The specified Digit Discard Instruction was not found.";
const char kDialPlanNotFound[] = "Dial Plan not found.";
const char kTagNotFound[] = "The specified Dial Plan Tag was not found.";

Identification DDIIdentification(FamilyOperation operation) {
  return FamilyIdentification(operation, kUpdateNotFound, kNotFound);
}

// A tag may be discarded only by an instruction of its own dial plan.
void RequireTagOfPlan(const zdl::CZDLID& tagPlan, const zdl::CZDLID& plan) {
  if (tagPlan == plan) return;
  throw CInvalidValueException(
      "Invalid Dial Plan Tag.  The Dial Plan Tag used must contain a reference to the same Dial Plan specified for "
      "this Digit Discard Instruction.");
}

void ReadMember(zdl::CZDLSession& session, const zdl::CZDLID& ddi, const zdl::CZDLID& plan,
                zdl::CDigitDiscardInstructionMember& row, const ElementCursor& member) {
  row.PutDDIID(ddi);
  ElementCursor cursor = member.EnterCurrent();
  cursor.RequireNotNull("NULL element found. Expecting <dialPlanTagName> or <dialPlanTag>.");
  zdl::SmartItemPtr<zdl::CDialPlanTag> tag;
  if (cursor.Is("dialPlanTagName")) {
    tag = FindTagByName(session, RequireValue(cursor.node(), ValueWording::kMustContain), plan, kTagNotFound);
  } else if (cursor.Is("dialPlanTag")) {
    tag = FindTagById(session, ParseID(RequireAttribute(cursor.node(), "uuid")), kTagNotFound);
  } else {
    cursor.ThrowFound("<dialPlanTagName> or <dialPlanTag>");
  }
  RequireTagOfPlan(tag->GetDialPlanID(), plan);
  row.PutDialPlanTagID(tag->GetID());
}

// Replaces the members of ddi by the children of "members"; each tag must be of dial plan plan.
void ReadMembers(zdl::CZDLSession& session, const zdl::CZDLID& ddi, const zdl::CZDLID& plan,
                 zdl::CDigitDiscardInstructionMemberList& members, XmlNode element) {
  members.SelectByDDIID(ddi);
  ReplaceMembers(members, element,
                 [&](zdl::CDigitDiscardInstructionMember& row, const ElementCursor& member) {
                   ReadMember(session, ddi, plan, row, member);
                 });
}

}  // namespace

const ElementTable kDDIElements = {
    "addDDI", "updateDDI", "getDDI",
    ClauseFamilyRows(zdl::DigitDiscardInstructionCols::kName, "digitAnalysisId", kOpt)};

void CDDIHandler::Add(XmlNode request, CXMLElement& result) {
  ElementCursor wrapper = ElementCursor::Enter(request);
  wrapper.RequireNotNull("Found NULL, expecting <ddi>");
  zdl::CDigitDiscardInstructionList list(db());
  auto ddi = list.Insert();
  ElementCursor cursor = wrapper.EnterCurrent();
  ddi->PutName(ReadAddName(cursor));
  SkipClause(cursor, "NULL element found. Expecting <dialPlan> or <dialPlanName>");
  ddi->PutDialPlanID(ReadAddDialPlan(db(), cursor, "<dialPlan> or <dialPlanName>", kDialPlanNotFound));
  cursor.Advance();
  if (cursor.Is("digitAnalysisId")) cursor.Advance();
  zdl::CDigitDiscardInstructionMemberList members(db());
  if (!cursor.AtEnd()) {
    if (!cursor.Is("members")) cursor.ThrowFound("<members>");
    ReadMembers(db(), ddi->GetID(), ddi->GetDialPlanID(), members, cursor.node());
  }
  zdl::CZDLTransaction transaction(db());
  list.Update();
  if (members.Count() > 0) members.Update();
  transaction.Commit();
  Return(result, ddi->GetID());
}

void CDDIHandler::Update(XmlNode request, CXMLElement& result) {
  ElementCursor cursor = ElementCursor::Enter(request);
  zdl::CDigitDiscardInstructionList list(db());
  Identify(cursor, list, DDIIdentification(FamilyOperation::kUpdate));
  auto ddi = list.GetCurrentItem();
  ReadValues(cursor, kDDIElements, Shape::kUpdate, "newName", *ddi);
  if (auto plan = ReadUpdateDialPlan(db(), cursor, kDialPlanNotFound)) ddi->PutDialPlanID(*plan);
  zdl::CDigitDiscardInstructionMemberList members(db());
  const bool replaceMembers = cursor.Is("members");
  if (replaceMembers) {
    ReadMembers(db(), ddi->GetID(), ddi->GetDialPlanID(), members, cursor.node());
    cursor.Advance();
  } else {
    // Members that stay must still fit the instruction's (possibly new) dial plan.
    members.SelectByDDIID(ddi->GetID());
    for (std::size_t i = 0; i < members.Count(); ++i) {
      RequireTagOfPlan(FindTagById(db(), members.GetItem(i)->GetDialPlanTagID(), kTagNotFound)->GetDialPlanID(),
                       ddi->GetDialPlanID());
    }
  }
  cursor.RequireEnd();
  zdl::CZDLTransaction transaction(db());
  if (replaceMembers) members.Update();
  list.Update();
  transaction.Commit();
  Return(result, ddi->GetID());
}

void CDDIHandler::Remove(XmlNode request, CXMLElement& result) {
  ElementCursor cursor = ElementCursor::Enter(request);
  Return(result, RemoveIdentified<zdl::CDigitDiscardInstructionList>(
                     db(), cursor, DDIIdentification(FamilyOperation::kRemove)));
}

void CDDIHandler::Get(XmlNode request, CXMLElement& result) {
  ElementCursor cursor = ElementCursor::Enter(request);
  const zdl::CZDLID id =
      IdentifiedID<zdl::CDigitDiscardInstructionList>(db(), cursor, DDIIdentification(FamilyOperation::kGet));
  CXMLElement holder;
  holder.AddNewChild<CXMLDigitDiscardInstruction>()->BuildFromDatabase(db(), id, RenderMode::kFull);
  ReturnChildren(result, holder);
}

}  // namespace zeb
