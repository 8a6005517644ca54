// Call-processing nodes ("dialcore") and node groups ("dialcoreGroup") as response elements: the
// node group with its members is nested in the device pool element and in gateways; the node
// element stands alone in getDialcore and inside each member.
#pragma once

#include "builders/BuilderSupport.h"

namespace zeb {

// "dialcoreGroup" (name form "dialcoreGroupName"): uuid, name, tftpDefault, members. The tag is
// set first, so a null or unknown identifier leaves an empty "dialcoreGroup".
class CXMLDialcoreGroup : public CXMLElement {
 public:
  void BuildFromDatabase(zdl::CZDLSession& session, const zdl::CZDLID& id, RenderMode mode);
  // Queues in ahead what BuildFromDatabase reads in modes other than kNames: the group, its
  // members, their nodes and the nodes' auto-registration partitions.
  static void ReadAhead(zdl::CZDLReadAhead& ahead, const zdl::CZDLID& id);
};

// "members": one "member" per member row of the group, in the order the database returns them.
// Always present, empty for a group without members.
class CXMLDialcoreGroupMembers : public CXMLElement {
 public:
  void BuildFromDatabase(zdl::CZDLSession& session, const zdl::CZDLID& groupId, RenderMode mode);
};

// "member" with its "priority" attribute, holding the full "dialcore" element of its node.
class CXMLDialcoreGroupMember : public CXMLElement {
 public:
  // REQUIRES: row is on a DialcoreGroupMember row.
  void BuildFromRow(zdl::CZDLSession& session, const zdl::CFastAccess& row, RenderMode mode);
};

// "dialcore" (name form "dialcoreName"): uuid, name, description, autoRegistration, ports and
// the name of the node's process node. Builds nothing for a null or unknown identifier. The
// automatic-registration partition is rendered in the same mode, so always in full.
class CXMLDialcore : public CXMLElement {
 public:
  void BuildFromDatabase(zdl::CZDLSession& session, const zdl::CZDLID& id, RenderMode mode);
};

// "autoRegistration": startDN, endDN, nextDN, the automatic-registration partition (when set)
// and e164Mask. REQUIRES: row is on a Dialcore row.
class CXMLAutoRegistration : public CXMLElement {
 public:
  void BuildFromRow(zdl::CZDLSession& session, const zdl::CFastAccess& row, RenderMode mode);
};

// "ports": analogAccessPort, digitalAccessPort, ethernetPhonePort and mgcpPorts.
class CXMLDialcorePorts : public CXMLElement {
 public:
  void BuildFromRow(const zdl::CFastAccess& row);
};

// "mgcpPorts": listen and keepAlive.
class CXMLMGCPPorts : public CXMLElement {
 public:
  void BuildFromRow(const zdl::CFastAccess& row);
};

}  // namespace zeb
