#include "handlers/system/DialcoreGroupHandler.h"

#include "builders/CXMLDialcore.h"
#include "handlers/ElementTables.h"

namespace zeb {

namespace {

const char kNotFound[] = "The specified Dialcore group was not found.";

}  // namespace

// In an update an empty <tftpDefault> clears the flag.
const ElementTable kDialcoreGroupElements = {
    "addDialcoreGroup", "updateDialcoreGroup", "getDialcoreGroup",
    Join({NamedRecordRows(zdl::DialcoreGroupCols::kName),
          {
              Optional("tftpDefault", Kind::kBoolean, zdl::DialcoreGroupCols::kIsTFTPDefault, kOpt, kOpt),
              Custom("members", Form::kChildren, kReq, kOpt),
          }})};

void CDialcoreGroupHandler::Add(XmlNode request, CXMLElement& result) {
  ElementCursor wrapper = ElementCursor::Enter(request);
  wrapper.RequireNotNull("Found NULL, expecting <dialcoreGroup>");
  zdl::CDialcoreGroupList list(db());
  auto group = list.Insert();

  ElementCursor cursor = wrapper.EnterCurrent();
  group->PutName(ReadAddName(cursor));
  cursor.RequireNotNull("NULL element found. Expecting <tftpDefault> or <members>");
  ReadValues(cursor, kDialcoreGroupElements, Shape::kAdd, "tftpDefault", *group);
  cursor.Expect("members", "<members>", "NULL element found. Expecting <members>");

  // The group is written before its members are read, so a refused group is reported first; a
  // failure among the members takes the group back with them.
  zdl::CZDLTransaction transaction(db());
  list.Update();
  zdl::CDialcoreGroupMemberList members(db());
  ReadMembers(group->GetID(), members, cursor.node());
  if (members.Count() > 0) members.Update();
  transaction.Commit();
  Return(result, group->GetID());
}

void CDialcoreGroupHandler::ReadMembers(const zdl::CZDLID& group, zdl::CDialcoreGroupMemberList& members,
                                        XmlNode element) {
  members.SelectByDialcoreGroupID(group);
  ReplaceMembers(members, element, [&](zdl::CDialcoreGroupMember& row, const ElementCursor& member) {
    ReadMember(group, row, member);
  });
}

void CDialcoreGroupHandler::ReadMember(const zdl::CZDLID& group, zdl::CDialcoreGroupMember& row,
                                       const ElementCursor& member) {
  row.PutDialcoreGroupID(group);
  row.PutPriority(ParseLong(RequireAttribute(member.node(), "priority")));
  ElementCursor node = member.EnterCurrent();
  node.RequireNotNull("NULL element found. Expecting <dialcore>");
  if (!node.Is("dialcore") && !node.Is("dialcoreName")) node.ThrowFound("<dialcore> or <dialcoreName>");
  row.PutDialcoreID(ReadReference(db(), node.node(), "dialcoreName", &FindIdByName<zdl::CDialcoreList>,
                                  "The specified Dialcore was not found."));
}

void CDialcoreGroupHandler::Update(XmlNode request, CXMLElement& result) {
  ElementCursor cursor = ElementCursor::Enter(request);
  zdl::CDialcoreGroupList list(db());
  Identify(cursor, list,
           ByNameOrUuid("Found NULL, expecting <name> or <uuid>", ValueWording::kMustHave, kNotFound));
  auto group = list.GetCurrentItem();
  ReadValues(cursor, kDialcoreGroupElements, Shape::kUpdate, "newName", *group);
  zdl::CDialcoreGroupMemberList members(db());
  const bool replaceMembers = cursor.Is("members");
  if (replaceMembers) {
    ReadMembers(group->GetID(), members, cursor.node());
    cursor.Advance();
  }
  cursor.RequireEnd();
  zdl::CZDLTransaction transaction(db());
  if (replaceMembers) members.Update();
  list.Update();
  transaction.Commit();
  Return(result, group->GetID());
}

void CDialcoreGroupHandler::Remove(XmlNode request, CXMLElement& result) {
  ElementCursor cursor = ElementCursor::Enter(request);
  Return(result,
         RemoveIdentified<zdl::CDialcoreGroupList>(
             db(), cursor,
             ByNameOrUuid("Found NULL, expecting <uuid> or <name>", ValueWording::kMustHave, kNotFound)));
}

void CDialcoreGroupHandler::Get(XmlNode request, CXMLElement& result) {
  ElementCursor cursor = ElementCursor::Enter(request);
  zdl::CDialcoreGroupList list(db());
  Identify(cursor, list,
           ByNameOrUuid("Found NULL, expecting <uuid> or <name>", ValueWording::kMustContain, kNotFound));
  CXMLElement holder;
  holder.AddNewChild<CXMLDialcoreGroup>()->BuildFromDatabase(db(), list.GetCurrentItem()->GetID(),
                                                             RenderMode::kFull);
  ReturnChildren(result, holder);
}

}  // namespace zeb
