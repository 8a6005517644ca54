// The "devicePool" element with the records it references nested inside it, and the builders of
// those records that live beside it: date/time setting, region with its related regions, and the
// haven reference. The node group builders are in CXMLDialcore.h.
#pragma once

#include "builders/BuilderSupport.h"

namespace zeb {

class CXMLDevicePool : public CXMLElement {
 public:
  // Mode kNames: "devicePoolName". Other modes: "devicePool" with uuid, name, dateTimeSetting,
  // dialcoreGroup, autoSearchSpace (when set), mediaResourceList (when set), region,
  // softkeyTemplate, networkLocale, userLocale, the two hold audio sources and havenInfo; nested
  // references are rendered in the same mode. Builds nothing for a null or unknown identifier.
  void BuildFromDatabase(zdl::CZDLSession& session, const zdl::CZDLID& id, RenderMode mode);

 private:
  void AddReferences(zdl::CZDLSession& session, const zdl::CFastAccess& row, RenderMode mode);
  void AddSettings(zdl::CZDLSession& session, const zdl::CFastAccess& row, RenderMode mode);
};

// "dateTimeSetting" (name form "dateTimeSettingName"): uuid, name, dateTemplate, timeZone. The
// tag is set first, so a null or unknown identifier leaves an empty "dateTimeSetting".
class CXMLDateTimeSetting : public CXMLElement {
 public:
  void BuildFromDatabase(zdl::CZDLSession& session, const zdl::CZDLID& id, RenderMode mode);
};

// "region" (name form "regionName"): uuid, name and, when the region has matrix entries,
// "relatedRegions" with one "relatedRegion" per entry (the entry's uuid, the other region's
// name, the bandwidth), ordered by region name. Builds nothing for a null or unknown identifier.
class CXMLRegion : public CXMLElement {
 public:
  void BuildFromDatabase(zdl::CZDLSession& session, const zdl::CZDLID& id, RenderMode mode);

 private:
  void AddRelatedRegions(zdl::CZDLSession& session, const zdl::CZDLID& id);
};

// "havenInfo" (name form "havenName"): uuid, name, havenOption, userModifiable and three address
// and port pairs. The tag is set first, so a null or unknown identifier leaves an empty
// "havenInfo".
class CXMLHavenInfo : public CXMLElement {
 public:
  void BuildFromDatabase(zdl::CZDLSession& session, const zdl::CZDLID& id, RenderMode mode);
};

}  // namespace zeb
