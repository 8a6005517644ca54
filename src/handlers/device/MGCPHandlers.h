// The ten MGCP gateway methods. A gateway is written before its units, each unit and subunit
// row as soon as it is read, and each endpoint device as it is made, all in the one transaction
// of the request: a request that fails part-way leaves nothing behind.
#pragma once

#include "handlers/CRequestHandler.h"
#include "handlers/RequestReader.h"
#include "zdl/Records.h"

namespace zeb {

class CMGCPHandler : public CRequestHandler {
 public:
  using CRequestHandler::CRequestHandler;
  // The writes answer the gateway's identifier.
  HandlerOperation AddMGCP, AddUnit, AddSubunit, AddEndpoint, Update, Remove, RemoveUnit, RemoveSubunit,
      RemoveEndpoint;
  HandlerOperation Get;

 private:
  using Write = zdl::CZDLID (CMGCPHandler::*)(XmlNode request);
  // Runs write in one transaction and answers the identifier it returns. Rows are written as
  // they are read, since later checks read them back; the transaction makes a refusal
  // part-way undo them all.
  void Written(XmlNode request, CXMLElement& result, Write write);
  zdl::CZDLID WriteAddGateway(XmlNode request);
  zdl::CZDLID WriteAddUnit(XmlNode request);
  zdl::CZDLID WriteAddSubunit(XmlNode request);
  zdl::CZDLID WriteAddEndpoint(XmlNode request);
  zdl::CZDLID WriteUpdate(XmlNode request);
  zdl::CZDLID WriteRemove(XmlNode request);
  zdl::CZDLID WriteRemoveUnit(XmlNode request);
  zdl::CZDLID WriteRemoveSubunit(XmlNode request);
  zdl::CZDLID WriteRemoveEndpoint(XmlNode request);

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
};

}  // namespace zeb
