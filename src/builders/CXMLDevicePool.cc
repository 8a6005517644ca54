#include "builders/CXMLDevicePool.h"

#include <optional>

#include "builders/CXMLCallingSearchSpace.h"
#include "builders/CXMLDialcore.h"

namespace zeb {

namespace {

std::string Decimal(const zdl::CFastAccess& row, const char* column) {
  return std::to_string(row.getInt(column));
}

// A region's matrix entries with the name of the region at the other end of each.
const char kRelatedRegions[] =
    "SELECT DISTINCT Region.name AS name, RegionMatrix.* FROM RegionMatrix INNER JOIN Region ON "
    "RegionMatrix.fkRegion_B = Region.pkid AND fkRegion_A = ? OR RegionMatrix.fkRegion_A = Region.pkid AND "
    "fkRegion_B = ? ORDER BY Region.name";

// What the pool element reads beyond its row, in one round trip where the back end can; the
// embedded one reads as it goes.
void ReadPoolAhead(std::optional<zdl::CZDLReadAhead>& ahead, zdl::CZDLSession& session,
                   const zdl::CFastAccess& row) {
  if (!session.pipelinesReads()) return;
  ahead.emplace(session);
  ahead->AddRecord("datetimeSetting", row.getID("fkDateTimeSetting"));
  CXMLDialcoreGroup::ReadAhead(*ahead, row.getID("fkDialcoreGroup"));
  CXMLCallingSearchSpace::ReadAhead(*ahead, row.getID("fkCallingSearchSpace_Autoregistration"));
  const zdl::CZDLID region = row.getID("fkRegion");
  if (!region.isNull()) {
    ahead->AddRecord("Region", region);
    ahead->Add(kRelatedRegions, {region, region});
  }
  ahead->AddRecord("Haven", row.getID("fkHaven"));
  ahead->Run();
}

}  // namespace

void CXMLDevicePool::BuildFromDatabase(zdl::CZDLSession& session, const zdl::CZDLID& id, RenderMode mode) {
  BuildReference(*this, session, "DevicePool", "devicePool", id, mode,
                 [&](CXMLElement&, const zdl::CFastAccess& row) {
                   std::optional<zdl::CZDLReadAhead> ahead;
                   ReadPoolAhead(ahead, session, row);
                   AddReferences(session, row, mode);
                   AddSettings(session, row, mode);
                 });
}

void CXMLDevicePool::AddReferences(zdl::CZDLSession& session, const zdl::CFastAccess& row, RenderMode mode) {
  AddNewChild<CXMLDateTimeSetting>()->BuildFromDatabase(session, row.getID("fkDateTimeSetting"), mode);
  AddNewChild<CXMLDialcoreGroup>()->BuildFromDatabase(session, row.getID("fkDialcoreGroup"), mode);
  AddNewChild<CXMLAutoSearchSpace>()->BuildFromDatabase(
      session, row.getID("fkCallingSearchSpace_Autoregistration"), mode);
  // A reference that is null or empty names no list.
  const zdl::CZDLID mediaResourceList = row.getID("fkMediaResourceList");
  if (!mediaResourceList.isNull()) AddNewChild("mediaResourceList")->AddAttribute("uuid", mediaResourceList.str());
  AddNewChild<CXMLRegion>()->BuildFromDatabase(session, row.getID("fkRegion"), mode);
  AddNewChild("softkeyTemplate")->AddAttribute("uuid", row.getGuid("fkSoftkeyTemplate"));
}

void CXMLDevicePool::AddSettings(zdl::CZDLSession& session, const zdl::CFastAccess& row, RenderMode mode) {
  AddChild("networkLocale", TypeText(session, "TypeCountry", row.getInt("tkCountry")));
  AddChild("userLocale", TypeText(session, "TypeUserLocale", row.getInt("tkUserLocale")));
  AddChild("networkHoldMOHAudioSourceId", Decimal(row, "holdPartyNetworkHoldMOHAudioSourceID"));
  AddChild("userHoldMOHAudioSourceId", Decimal(row, "holdPartyUserHoldMOHAudioSourceID"));
  AddNewChild<CXMLHavenInfo>()->BuildFromDatabase(session, row.getID("fkHaven"), mode);
}

void CXMLDateTimeSetting::BuildFromDatabase(zdl::CZDLSession& session, const zdl::CZDLID& id,
                                            RenderMode mode) {
  SetTag("dateTimeSetting");
  BuildReference(*this, session, "datetimeSetting", "dateTimeSetting", id, mode,
                 [&](CXMLElement& element, const zdl::CFastAccess& row) {
                   element.AddChild("dateTemplate", row.getString("DateTemplate"));
                   element.AddChild("timeZone", TypeText(session, "TypeTimeZone", row.getInt("tkTimeZone")));
                 });
}

void CXMLRegion::BuildFromDatabase(zdl::CZDLSession& session, const zdl::CZDLID& id, RenderMode mode) {
  BuildReference(*this, session, "Region", "region", id, mode,
                 [&](CXMLElement&, const zdl::CFastAccess&) { AddRelatedRegions(session, id); });
}

void CXMLRegion::AddRelatedRegions(zdl::CZDLSession& session, const zdl::CZDLID& id) {
  zdl::CFastAccess rows(session, "RegionMatrix");
  rows.SelectCustom(kRelatedRegions, {id, id});
  if (rows.IsEOF()) return;
  CXMLElement* related = AddNewChild("relatedRegions");
  for (; !rows.IsEOF(); rows.MoveNext()) {
    CXMLElement* region = related->AddNewChild("relatedRegion");
    region->AddAttribute("uuid", rows.getGuid("pkid"));
    region->AddChild("name", rows.getString("name"));
    region->AddChild("bandwidth", TypeText(session, "TypeBandwidth", rows.getInt("tkBandwidth")));
  }
}

void CXMLHavenInfo::BuildFromDatabase(zdl::CZDLSession& session, const zdl::CZDLID& id, RenderMode mode) {
  SetTag("havenInfo");
  BuildReference(
      *this, session, "Haven", "haven", id, mode, [&](CXMLElement& element, const zdl::CFastAccess& row) {
        // The full form is named after the element, not the record: rename it after the shared start.
        element.SetTag("havenInfo");
        element.AddChild("havenOption", TypeText(session, "TypeHavenOption", row.getInt("tkHavenOption")));
        element.AddChild("userModifiable", BoolText(row.getBool("isUserModifiable")));
        for (const char* n : {"1", "2", "3"}) {
          element.AddChild(std::string("ipAddr") + n, row.getString(std::string("IPAddr") + n));
          element.AddChild(std::string("port") + n, Decimal(row, (std::string("Port") + n).c_str()));
        }
      });
}

}  // namespace zeb
