// The ten MGCP gateway methods. A gateway is written before its units, each unit and subunit
// row as soon as it is read, and each endpoint device as it is made, all in the one transaction
// of the request: a request that fails part-way leaves nothing behind.
#pragma once

#include <string>

#include "dispatch/CRequestHandler.h"
#include "dispatch/RequestReader.h"
#include "zdl/Records.h"

namespace zeb {

class CMGCPHandler : public CRequestHandler {
 public:
  CMGCPHandler(RequestContext& context, std::string method) : CRequestHandler(context), method_(std::move(method)) {}
  void Execute(XmlNode request, CXMLElement& result) override;

 private:
  zdl::CZDLID AddMGCP(XmlNode request);
  zdl::CZDLID AddUnit(XmlNode request);
  zdl::CZDLID AddSubunit(XmlNode request);
  zdl::CZDLID AddEndpoint(XmlNode request);
  zdl::CZDLID Update(XmlNode request);
  zdl::CZDLID Remove(XmlNode request);
  zdl::CZDLID RemoveUnit(XmlNode request);
  zdl::CZDLID RemoveSubunit(XmlNode request);
  zdl::CZDLID RemoveEndpoint(XmlNode request);
  void Get(XmlNode request, CXMLElement& result);

  // The gateway's header fields of addMGCP, from domainName to the node group.
  void ReadHeader(ElementCursor& cursor, zdl::CMGCP& gateway);
  // scratch, vendorConfig, versionStamp and loadInformation at the end of addMGCP.
  void ReadTail(ElementCursor& cursor, zdl::CMGCP& gateway);
  // Reads a <unit> (with its subunits and their endpoints) and writes its slot row.
  void ReadUnit(const zdl::CZDLID& gateway, XmlNode unit);
  // Reads a <subunit> of a unit and writes its slot row, its endpoint devices and members.
  void ReadSubunit(const zdl::CZDLID& gateway, long slot, long module, const ElementCursor& subunit);
  // Makes the device of an <endpoint> and appends its member row to members.
  void ReadEndpoint(const zdl::CZDLID& gateway, long slot, long subunit, const ElementCursor& endpoint,
                    zdl::CMGCPDeviceMemberList& members);

  std::string method_;
};

}  // namespace zeb
