// addGatewayEndpoint, updateGatewayEndpoint, removeGatewayEndpoint and getGatewayEndpoint: a
// gateway endpoint is a device of class 2 whose protocol selects its access record (analog 3,
// T1 4, PRI 1). The add operation also makes the device behind each MGCP endpoint.
#pragma once

#include <memory>

#include "handlers/CRequestHandler.h"
#include "handlers/RequestReader.h"
#include "zdl/Records.h"

namespace zeb {

// A port of an analog or a T1 access record. Both kinds share most columns, so the port readers
// set them by column name; the few that differ are named by IsAnalog().
class CGenericGatewayPort {
 public:
  explicit CGenericGatewayPort(std::shared_ptr<zdl::CItem> port, bool analog) : port_(std::move(port)), analog_(analog) {}
  zdl::CItem& Item() const { return *port_; }
  bool IsAnalog() const { return analog_; }

 private:
  std::shared_ptr<zdl::CItem> port_;
  bool analog_;
};

// The ports of one device: the analog or the T1 port list, whichever the device has.
class CGenericGatewayPortList {
 public:
  CGenericGatewayPortList(zdl::CZDLSession& session, bool analog);
  // A new port of device with its number.
  CGenericGatewayPort Insert(const zdl::CZDLID& device, long portNumber);
  // Marks every port of device deleted.
  void DeleteAllOf(const zdl::CZDLID& device);
  void Update();
  bool IsAnalog() const { return analog_; }

 private:
  bool analog_;
  zdl::CAnalogAccessPortList analogPorts_;
  zdl::CDigitalAccessT1PortList t1Ports_;
};

// Reads the device that the children of holder describe (common part, then the access part)
// and writes it with its access record, ports and line appearances in one transaction. Returns
// the new device's identifier. Throws the message of the first check that fails; nothing is
// written then.
zdl::CZDLID AddGatewayEndpointDevice(zdl::CZDLSession& session, XmlNode holder);

class CGatewayEndpointHandler : public CRequestHandler {
 public:
  using CRequestHandler::CRequestHandler;
  HandlerOperation Add;
  // Changes the device fields the request names, then the fields of its access-kind section;
  // ports are replaced as a whole.
  HandlerOperation Update;
  // Removes the gateway device with its access record and ports. A device still in a route
  // group is refused by the library with a message naming the group.
  HandlerOperation Remove;
  // Answers the device element (rendering mode kFull) of the gateway.
  HandlerOperation Get;
};

}  // namespace zeb
