#include "handlers/dialplan/CCSSHandler.h"

#include "builders/CXMLCallingSearchSpace.h"
#include "handlers/ElementTables.h"
#include "zdl/CZDLReadAhead.h"

namespace zeb {

namespace {

const char kMoreElements[] = "NULL element found. Expecting more elements.";
const char kNotFound[] = "The specified calling search space was not found.";

}  // namespace

const ElementTable kCSSElements = {
    "addCSS", "updateCSS", "getCSS",
    Join({NamedRecordRows(zdl::CallingSearchSpaceCols::kName),
          {
              Optional("description", Kind::kText, zdl::CallingSearchSpaceCols::kDescription, kOpt, kOpt),
              Optional("clause", Kind::kSkipped, -1, kOpt, kNo),
              Optional("dialPlanWizardGenId", Kind::kSkipped, -1, kOpt, kNo),
              Custom("members", Form::kChildren, kReq, kOpt),
          }})};

void CCSSHandler::Add(XmlNode request, CXMLElement& result) {
  ElementCursor wrapper = ElementCursor::Enter(request);
  wrapper.RequireNotNull("Found NULL, expecting <newCSS>");
  zdl::CCallingSearchSpaceList list(db());
  auto css = list.Insert();
  zdl::CCallingSearchSpaceMemberList members(db());

  ElementCursor cursor = wrapper.EnterCurrent();
  css->PutName(ReadAddName(cursor));
  cursor.RequireNotNull(kMoreElements);
  if (cursor.Is("description")) {
    css->PutDescription(ValueOrEmpty(cursor.node()));
    cursor.Advance();
    cursor.RequireNotNull(kMoreElements);
  }
  if (cursor.Is("clause")) {
    cursor.Advance();
    cursor.RequireNotNull("NULL element found. Expecting <dialPlanWizardGenId> or <members>");
  }
  if (cursor.Is("dialPlanWizardGenId")) {
    cursor.Advance();
    cursor.RequireNotNull("NULL element found. Expecting <members>");
  }
  if (!cursor.Is("members")) cursor.ThrowFound("<members>");
  ReadMembers(css->GetID(), members, cursor.node());

  // The calling search space and its members are one unit: a failed member write leaves neither.
  zdl::CZDLTransaction transaction(db());
  list.Update();
  if (members.Count() > 0) members.Update();
  transaction.Commit();
  Return(result, css->GetID());
}

void CCSSHandler::ReadMembers(const zdl::CZDLID& css, zdl::CCallingSearchSpaceMemberList& members, XmlNode element) {
  members.SelectByCallingSearchSpaceID(css);
  ReplaceMembers(members, element, [&](zdl::CCallingSearchSpaceMember& row, const ElementCursor& member) {
    ReadMember(css, row, member);
  });
}

void CCSSHandler::ReadMember(const zdl::CZDLID& css, zdl::CCallingSearchSpaceMember& row,
                             const ElementCursor& member) {
  row.PutCallingSearchSpaceID(css);
  row.PutSortOrder(ParseLong(RequireAttribute(member.node(), "index")));
  ElementCursor partition = member.EnterCurrent();
  partition.RequireNotNull("NULL element found. Expecting <routePartitionName> or <routePartitionId>.");
  if (partition.Is("routePartitionName")) {
    const std::string name = RequireValue(partition.node(), ValueWording::kMustContain);
    row.PutRoutePartitionID(
        FindIdByName<zdl::CRoutePartitionList>(db(), name, "The specified route partition was not found."));
  } else if (partition.Is("routePartition")) {
    row.PutRoutePartitionID(ParseID(RequireAttribute(partition.node(), "uuid")));
  } else if (partition.Is("routePartitionId")) {
    throw CUnexpectedNodeException("Deprecated element. Please use <routePartition> or <routePartitionName.");
  } else {
    partition.ThrowFound("<routePartitionName> or <routePartitionId>");
  }
}

void CCSSHandler::Update(XmlNode request, CXMLElement& result) {
  ElementCursor cursor = ElementCursor::Enter(request);
  zdl::CCallingSearchSpaceList list(db());
  Identify(cursor, list,
           ByNameOrUuid("Found NULL, expecting <name> or <uuid>", ValueWording::kMustHave,
                        "Calling search space not found."));
  auto css = list.GetCurrentItem();
  ReadValues(cursor, kCSSElements, Shape::kUpdate, "newName", *css);
  zdl::CCallingSearchSpaceMemberList members(db());
  const bool replaceMembers = cursor.Is("members");
  if (replaceMembers) {
    ReadMembers(css->GetID(), members, cursor.node());
    cursor.Advance();
  }
  cursor.RequireEnd();
  zdl::CZDLTransaction transaction(db());
  if (replaceMembers) members.Update();
  list.Update();
  transaction.Commit();
  Return(result, css->GetID());
}

void CCSSHandler::Remove(XmlNode request, CXMLElement& result) {
  ElementCursor cursor = ElementCursor::Enter(request);
  Return(result,
         RemoveIdentified<zdl::CCallingSearchSpaceList>(
             db(), cursor,
             ByNameOrUuid("Found NULL, expecting <uuid> or <name>", ValueWording::kMustHave, kNotFound)));
}

void CCSSHandler::Get(XmlNode request, CXMLElement& result) {
  ElementCursor cursor = ElementCursor::Enter(request);
  const Identified which = ReadIdentifier(
      cursor, ByNameOrUuid("Found NULL, expecting <uuid> or <name>", ValueWording::kMustContain, kNotFound));
  // What the element reads, in one go (on the shared back end, in one round trip, the look-up by
  // name included).
  zdl::CZDLReadAhead ahead(db());
  const bool byName = !which.byId && db().pipelinesReads();
  if (byName) {
    CXMLCallingSearchSpace::ReadAheadByName(ahead, db(), which.value);
    ahead.Run();
  }
  const zdl::CZDLID id = which.byId ? ParseID(which.value)
                                    : FindIdByName<zdl::CCallingSearchSpaceList>(db(), which.value, kNotFound);
  if (byName) {
    CXMLCallingSearchSpace::CoverFound(ahead, id);
  } else {
    CXMLCallingSearchSpace::ReadAhead(ahead, id);
    ahead.Run();
  }
  CXMLElement holder;
  holder.AddNewChild<CXMLCallingSearchSpace>()->BuildFromDatabase(db(), id, RenderMode::kFull);
  ReturnChildren(result, holder);
}

}  // namespace zeb
