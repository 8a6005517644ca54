// The elements of gateway endpoint devices: the analog access element ("zeb:XAnalogGateway"), the
// digital access element ("zeb:XT1Gateway" or "zeb:XPRIGateway"), their ports with the port's
// line, trunk and timers, and CXMLDevice, which picks the element a device is rendered as.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "builders/BuilderSupport.h"

namespace zeb {

// One line appearance of a gateway device with the pattern of its number.
struct GatewayLine {
  std::string uuid, label, display, numPlan, pattern, e164Mask;
  long index = 0, ringSetting = 0, consecutiveRingSetting = 0, wizard = 0, mwlPolicy = 0;
  std::optional<long> port;  // the port it was written under; unknown for older rows

  // True when the line belongs to the port with that number.
  bool OnPort(long number) const { return port ? *port == number : index == number; }
};

// The statement ReadGatewayLines runs is these two texts around " = ? ORDER BY NumPlanIndex"
// (shared with the MGCP builder, which reads the lines of all its endpoints ahead).
extern const char kGatewayLineColumns[];
extern const char kGatewayLinesFrom[];

// The line appearances of a device, read with one statement.
std::vector<GatewayLine> ReadGatewayLines(zdl::CZDLSession& session, const zdl::CZDLID& device);

// "line": uuid and index attributes, label, display, dirn (uuid attribute, its pattern),
// ring settings, E.164 mask, dialPlanWizardId and mwlPolicy.
class CXMLLine : public CXMLElement {
 public:
  void Build(zdl::CZDLSession& session, const GatewayLine& line);
};

// "port" of an analog or T1 access: the port's fields, the lines written under the port (see
// GatewayLine::OnPort), the trunk, the six timers and the vendor configuration; a T1 port's
// smdiPortNumber is 0. REQUIRES: row is on a row of the port table.
class CXMLGatewayPort : public CXMLElement {
 public:
  void BuildFromRow(zdl::CZDLSession& session, const zdl::CFastAccess& row, bool analog,
                    const std::vector<GatewayLine>& lines);
};

// "ports": one port per row of the device's analog (or T1) port table, ordered by port number.
class CXMLGatewayPorts : public CXMLElement {
 public:
  void BuildFromDatabase(zdl::CZDLSession& session, const zdl::CZDLID& device, bool analog);
};

// "device" with xsi:type "zeb:XAnalogGateway". REQUIRES: device is on a Device row.
class CXMLAnalogAccess : public CXMLElement {
 public:
  void BuildFromRow(zdl::CZDLSession& session, const zdl::CFastAccess& device, RenderMode mode,
                    const std::string& versionStamp);
};

// "device" with xsi:type "zeb:XT1Gateway" (protocol 4) or "zeb:XPRIGateway" (other protocols).
class CXMLDigitalAccess : public CXMLElement {
 public:
  void BuildFromRow(zdl::CZDLSession& session, const zdl::CFastAccess& device, RenderMode mode,
                    const std::string& versionStamp);

 private:
  void AddT1(zdl::CZDLSession& session, const zdl::CFastAccess& device);
  void AddPri(zdl::CZDLSession& session, const zdl::CFastAccess& device);
};

// Picks a device's element: a phone (zdl::IsPhoneClass), analog access (the analog models, and
// the MGCP models on the analog protocol), digital access (the T1 and PRI models, and the other
// MGCP devices); other devices have none.
class CXMLDevice {
 public:
  // Appends the element of the device row to parent (nothing for a device without one).
  static void AddTo(CXMLElement& parent, zdl::CZDLSession& session, const zdl::CFastAccess& device,
                    RenderMode mode, const std::string& versionStamp);
  // The same for the device with that identifier (nothing when there is none).
  static void AddTo(CXMLElement& parent, zdl::CZDLSession& session, const zdl::CZDLID& id, RenderMode mode,
                    const std::string& versionStamp);
};

}  // namespace zeb
