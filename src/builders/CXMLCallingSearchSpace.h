// The "callingSearchSpace" element with its members, and the device pool's "autoSearchSpace".
#pragma once

#include "builders/BuilderSupport.h"

namespace zeb {

class CXMLCallingSearchSpace : public CXMLElement {
 public:
  // Mode kNames: "callingSearchSpaceName"; other modes: uuid, name, description, clause,
  // dialPlanWizardGenID, members. Builds nothing for a null or unknown identifier.
  void BuildFromDatabase(zdl::CZDLSession& session, const zdl::CZDLID& id, RenderMode mode);
  // Queues in ahead what BuildFromDatabase reads in mode kFull (and of an auto search space).
  static void ReadAhead(zdl::CZDLReadAhead& ahead, const zdl::CZDLID& id);
  // The same for the calling search space of that name, with the look-up of its identifier by
  // name (as CCallingSearchSpaceList::SelectByName runs it); then CoverFound with what it found.
  static void ReadAheadByName(zdl::CZDLReadAhead& ahead, zdl::CZDLSession& session, const std::string& name);
  static void CoverFound(zdl::CZDLReadAhead& ahead, const zdl::CZDLID& id);
};

// "members": one "member" per member row, in the order the database returns them; each holds
// its partition by name in mode kFull and as the cached full element in other modes.
class CXMLCallingSearchSpaceMembers : public CXMLElement {
 public:
  void BuildFromDatabase(zdl::CZDLSession& session, const zdl::CZDLID& cssId, RenderMode mode);
};

class CXMLCallingSearchSpaceMember : public CXMLElement {
 public:
  void BuildFromRow(zdl::CZDLSession& session, const zdl::CFastAccess& row, RenderMode mode);
};

// "autoSearchSpace" (name form "autoSearchSpaceName"): like callingSearchSpace but with the
// members before dialPlanWizardGenID.
class CXMLAutoSearchSpace : public CXMLElement {
 public:
  void BuildFromDatabase(zdl::CZDLSession& session, const zdl::CZDLID& id, RenderMode mode);
};

}  // namespace zeb
