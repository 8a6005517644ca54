// The fixture of the gateway end-to-end tests: the device fixture plus request and response
// pieces for analog, T1 and PRI gateway endpoints, shared by the endpoint and MGCP tests.
#pragma once

#include <string>

#include "e2e/DeviceTest.h"

namespace zeb::test {

// The elements of a route point or voice-mail port request from name to the device pool.
std::string StationHead(const std::string& name);
// The common part of a gateway endpoint request, from name to the device pool.
std::string GatewayHead(const std::string& name, const std::string& product, const std::string& protocol);
// An analog port request; with a line, the line has the port's number as index and number 1000.
std::string AnalogPort(int number, bool withLine);
// An analog gateway (description "Lobby & hall", country New Zealand, vendor configuration
// <cfg a="1"/>, trunk selection Bottom Up) with the ports given.
std::string AnalogGatewayRequest(const std::string& name, const std::string& ports);
// A T1 gateway with one port (number 5) and the encoding given.
std::string T1GatewayRequest(const std::string& name, const std::string& encode);
// A PRI gateway with every field set.
std::string PriGatewayRequest(const std::string& name);
// The PRI fields of PriGatewayRequest as the PRI element renders them.
std::string RenderedPriFields();

class GatewayTest : public DeviceTest {
 protected:
  std::string AddGateway(const std::string& content);
  // The analog port of AnalogPort(number, lineId != "") as rendered.
  std::string RenderedAnalogPort(const std::string& uuid, int number, const std::string& lineId);
  // The default device pool element as devices render it in full.
  std::string DevicePoolElement();
  // The identifier of the port of device with that number.
  std::string PortId(const std::string& table, const std::string& device, int number);
};

}  // namespace zeb::test
