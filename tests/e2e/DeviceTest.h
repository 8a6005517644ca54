// The fixture of the device end-to-end tests: a real zebd, plus the records the device methods
// refer to (partitions through the API; directory numbers, locations and the like written
// straight into the database beside the server, since their families are built elsewhere).
#pragma once

#include <string>

#include "e2e/ZebdTest.h"

namespace zeb::test {

// The elements every addPhone request needs, from name to protocolSide.
std::string PhoneHead(const std::string& name, const std::string& product = "Desk Phone 12",
                      const std::string& description = "");

// A line appearance as a device element renders it.
std::string LineElement(const std::string& uuid, int index, const std::string& label,
                        const std::string& display, const std::string& dirn,
                        const std::string& ring = "Use System Default",
                        const std::string& consecutive = "Use System Default", const std::string& mask = "",
                        int wizard = 0, const std::string& mwl = "Use System Policy");

// A device's elements from name to protocolSide as a get renders them; the model is the product.
std::string Identity(const std::string& name, const std::string& description, const std::string& product,
                     const std::string& deviceClass, const std::string& protocol, const std::string& side);

// Partition Internal holds directory numbers 1000 and 1001.
class DeviceTest : public ZebdTest {
 protected:
  void SetUp() override;

  // The first column of every row, joined with commas.
  std::string Joined(const std::string& sql, const std::string& value);

  // A record with only a name in table Location, MediaResourceList or AARNeighborhood.
  std::string AddNamed(const std::string& table, const std::string& name);

  std::string AddPhone(const std::string& elements);
  std::string AddProfile(const std::string& name, const std::string& rest = "<lines><lineIdentifier>"
                                                                             "<directoryNumber>1000</directoryNumber>"
                                                                             "<routePartitionName>Internal"
                                                                             "</routePartitionName></lineIdentifier>"
                                                                             "</lines>");

  // The start tag of a device element of the schema type given: <tag  xsi:type ctiid uuid>.
  std::string DeviceTag(const std::string& tag, const std::string& type, const std::string& id);

  // The response with every version stamp's value replaced by {STAMP}.
  static std::string WithoutStamp(std::string response);

  std::string internal_, dn1000_, dn1001_;
};

}  // namespace zeb::test
