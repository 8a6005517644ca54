#include "builders/CXMLDialcore.h"

#include "builders/CXMLRoutePartition.h"

namespace zeb {

namespace {

std::string Decimal(const zdl::CFastAccess& row, const char* column) {
  return std::to_string(row.getInt(column));
}

// One node with the name of its process node, which lives in its own table.
const char kNodeWithProcessNode[] =
    "SELECT Dialcore.*, ProcessNode.Name AS ProcessNodeName FROM Dialcore LEFT OUTER JOIN ProcessNode ON "
    "ProcessNode.pkid = Dialcore.fkProcessNode WHERE Dialcore.pkid = ?";

const char kMembers[] = "SELECT * FROM DialcoreGroupMember where fkDialcoreGroup = ?";

}  // namespace

void CXMLDialcoreGroup::ReadAhead(zdl::CZDLReadAhead& ahead, const zdl::CZDLID& id) {
  if (id.isNull()) return;
  ahead.AddRecord("DialcoreGroup", id);
  ahead.Add(kMembers, {id});
  ahead.Add(kNodeWithProcessNode,
            "SELECT Dialcore.*, ProcessNode.Name AS ProcessNodeName, Dialcore.pkid FROM Dialcore LEFT OUTER JOIN "
            "ProcessNode ON ProcessNode.pkid = Dialcore.fkProcessNode WHERE Dialcore.pkid IN (SELECT fkDialcore FROM "
            "DialcoreGroupMember WHERE fkDialcoreGroup = ?)",
            {id});
  ahead.Add(zdl::RecordByIdSql(*zdl::FindTable("RoutePartition")),
            "SELECT RoutePartition.*, RoutePartition.pkid FROM RoutePartition WHERE pkid IN (SELECT "
            "Dialcore.fkRoutePartition_Autoregistration FROM Dialcore JOIN DialcoreGroupMember ON "
            "DialcoreGroupMember.fkDialcore = Dialcore.pkid WHERE DialcoreGroupMember.fkDialcoreGroup = ?)",
            {id});
}

void CXMLDialcoreGroup::BuildFromDatabase(zdl::CZDLSession& session, const zdl::CZDLID& id, RenderMode mode) {
  SetTag("dialcoreGroup");
  BuildReference(*this, session, "DialcoreGroup", "dialcoreGroup", id, mode,
                 [&](CXMLElement& element, const zdl::CFastAccess& row) {
                   element.AddChild("tftpDefault", BoolText(row.getBool("TFTPDefault")));
                   element.AddNewChild<CXMLDialcoreGroupMembers>()->BuildFromDatabase(session, id, mode);
                 });
}

void CXMLDialcoreGroupMembers::BuildFromDatabase(zdl::CZDLSession& session, const zdl::CZDLID& groupId,
                                                 RenderMode mode) {
  SetTag("members");
  zdl::CFastAccess rows(session, "DialcoreGroupMember");
  rows.SelectCustom(kMembers, {groupId});
  for (; !rows.IsEOF(); rows.MoveNext())
    AddNewChild<CXMLDialcoreGroupMember>()->BuildFromRow(session, rows, mode);
}

void CXMLDialcoreGroupMember::BuildFromRow(zdl::CZDLSession& session, const zdl::CFastAccess& row,
                                           RenderMode mode) {
  SetTag("member");
  AddAttribute("priority", Decimal(row, "Priority"));
  AddNewChild<CXMLDialcore>()->BuildFromDatabase(session, row.getID("fkDialcore"),
                                                 mode == RenderMode::kNames ? RenderMode::kFull : mode);
}

void CXMLDialcore::BuildFromDatabase(zdl::CZDLSession& session, const zdl::CZDLID& id, RenderMode mode) {
  if (id.isNull()) return;
  zdl::CFastAccess row(session, "Dialcore");
  row.SelectCustom(kNodeWithProcessNode, {id});
  if (row.IsEOF()) return;
  if (mode == RenderMode::kNames) {
    SetTag("dialcoreName");
    SetText(row.getString("Name"));
    return;
  }
  SetTag("dialcore");
  AddAttribute("uuid", row.getGuid("pkid"));
  AddChild("name", row.getString("Name"));
  AddChild("description", row.getString("Description"));
  AddNewChild<CXMLAutoRegistration>()->BuildFromRow(session, row, mode);
  AddNewChild<CXMLDialcorePorts>()->BuildFromRow(row);
  AddChild("processNodeName", row.getString("ProcessNodeName"));
}

void CXMLAutoRegistration::BuildFromRow(zdl::CZDLSession& session, const zdl::CFastAccess& row,
                                        RenderMode mode) {
  SetTag("autoRegistration");
  AddChild("startDN", Decimal(row, "AutoregistrationStartDN"));
  AddChild("endDN", Decimal(row, "AutoregistrationEndDN"));
  AddChild("nextDN", Decimal(row, "AutoregistrationNextDN"));
  AddNewChild<CXMLRoutePartition>()->BuildFromDatabase(session,
                                                       row.getID("fkRoutePartition_Autoregistration"), mode);
  AddChild("e164Mask", row.getString("E164MaskAutoregistration"));
}

void CXMLDialcorePorts::BuildFromRow(const zdl::CFastAccess& row) {
  SetTag("ports");
  AddChild("analogAccessPort", Decimal(row, "AnalogAccessPort"));
  AddChild("digitalAccessPort", Decimal(row, "DigitalAccessPort"));
  AddChild("ethernetPhonePort", Decimal(row, "EthernetPhonePort"));
  AddNewChild<CXMLMGCPPorts>()->BuildFromRow(row);
}

void CXMLMGCPPorts::BuildFromRow(const zdl::CFastAccess& row) {
  SetTag("mgcpPorts");
  AddChild("listen", Decimal(row, "MGCPListenPort"));
  AddChild("keepAlive", Decimal(row, "MGCPKeepAlivePort"));
}

}  // namespace zeb
