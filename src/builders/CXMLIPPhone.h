// The phone element ("device", xsi:type zeb:XIPPhone) with everything that hangs off a phone:
// line appearances, speed dials, add-on modules, load information, locales, phone-service
// settings and subscribed services. The companions are used on their own by the device profile
// and by the other device builders (voice-mail ports, route points, gateway ports).
#pragma once

#include <initializer_list>
#include <optional>
#include <string>

#include "builders/BuilderSupport.h"

namespace zeb {

// Product feature numbers of table ProductSupportsFeature.
constexpr long kFeaturePhoneServices = 1;

// True when the product has the feature.
bool ProductSupportsFeature(zdl::CZDLSession& session, long product, long feature);
// The number of buttons of a model ("NumButtons" of TypeModel); 0 for an unknown model.
long ModelButtonCount(zdl::CZDLSession& session, long model);

// Queues in ahead the rows of the device's child tables ("DeviceNumPlanMap", "SpeedDial", ...) as
// the companions below read them.
void ReadChildRowsAhead(zdl::CZDLReadAhead& ahead, const zdl::CZDLID& device,
                        std::initializer_list<const char*> tables);

// The attributes of a device element in rendering mode kNamespaces: xmlns, xsi:xmlns and
// xsi:schemaLocation (the ZEB namespace and this machine's schema document).
void AddDeviceNamespaces(CXMLElement& element);
// name, description and the enumerated-type elements product, model, class, protocol and
// protocolSide of a device row.
void AddDeviceIdentity(CXMLElement& element, zdl::CZDLSession& session, const zdl::CFastAccess& device);

// The calling search space, device pool and location of a device row, each rendered by its
// builder in mode (name forms in mode kNames); nothing for a reference that is not set.
void AddDeviceReferences(CXMLElement& element, zdl::CZDLSession& session, const zdl::CFastAccess& device,
                         RenderMode mode);

// What one statement reads about the records a phone refers to (CXMLIPPhone.cc).
struct PhoneLookups;

class CXMLIPPhone : public CXMLElement {
 public:
  // Builds the phone with that identifier; nothing when there is no such device. Mode kNames renders
  // references by name and adds lines, numberOfButtons, phoneTemplateId and speed dials; mode kNamespaces
  // adds the namespace attributes; mode kTftp renders the locales in their TFTP form.
  void BuildFromDatabase(zdl::CZDLSession& session, const zdl::CZDLID& id, RenderMode mode,
                         const std::string& versionStamp);
  // The statement that finds a device by name, and the read ahead of what the element reads
  // for the device of that name (with that statement); then CoverFound with what it found.
  static std::string ByNameSql(zdl::CZDLSession& session);
  static void ReadAheadByName(zdl::CZDLReadAhead& ahead, zdl::CZDLSession& session, const std::string& name,
                              RenderMode mode);
  static void CoverFound(zdl::CZDLReadAhead& ahead, const zdl::CZDLID& id, RenderMode mode);
  // The same from a row of table Device already read.
  void BuildFromRow(zdl::CZDLSession& session, const zdl::CFastAccess& device, RenderMode mode,
                    const std::string& versionStamp);

 private:
  void AddReferences(zdl::CZDLSession& session, const zdl::CFastAccess& device, RenderMode mode,
                     const PhoneLookups& lookups);
  void AddPhoneServices(zdl::CZDLSession& session, const zdl::CFastAccess& device,
                        const std::optional<std::string>& softkeyTemplate);
};

// "lines": one "line" per line appearance of the device, in the order the database returns them.
class CXMLPhoneLines : public CXMLElement {
 public:
  void BuildFromDatabase(zdl::CZDLSession& session, const zdl::CZDLID& device);
};

// One "line" element: uuid and index attributes, label, display, dirn, ring settings, E.164
// mask, dialPlanWizardId and mwlPolicy.
class CXMLPhoneLine : public CXMLElement {
 public:
  // The device's first line appearance; nothing when it has none.
  void BuildFromDatabase(zdl::CZDLSession& session, const zdl::CZDLID& device);
  // REQUIRES: row is on a row of table DeviceNumPlanMap.
  void BuildFromRow(zdl::CZDLSession& session, const zdl::CFastAccess& row);
};

// "speeddials": one "speeddial" (index attribute, dirn, label) per speed dial.
class CXMLSpeeddialList : public CXMLElement {
 public:
  void BuildFromDatabase(zdl::CZDLSession& session, const zdl::CZDLID& device);
};

// "addOnModules": one "addOnModule" (uuid and index attributes, loadInformation,
// phoneTemplateId) per module.
class CXMLAddOnModuleList : public CXMLElement {
 public:
  void BuildFromDatabase(zdl::CZDLSession& session, const zdl::CZDLID& device);
};

// "services": one "service" (uuid attribute, name, url, voxbeamService) per subscription.
class CXMLSubscribedServices : public CXMLElement {
 public:
  void BuildFromDatabase(zdl::CZDLSession& session, const zdl::CZDLID& device);
};

class CXMLSubscribedService : public CXMLElement {
 public:
  // REQUIRES: row is on a row of table VoxbeamSubscribedService.
  void BuildFromRow(const zdl::CFastAccess& row);
};

// "loadInformation": the device's special load, else its model's default load.
class CXMLLoadInformation : public CXMLElement {
 public:
  void BuildFromDatabase(zdl::CZDLSession& session, const std::string& specialLoad, long model);
};

// The user locale of a locale number: "userLocale" with name, DialcoreVersion,
// componentVersion, writtenLanguage, SpokenLanguage and winCharSet; nothing for an unknown number.
class CXMLUserLocaleInfo : public CXMLElement {
 public:
  void BuildFromDatabase(zdl::CZDLSession& session, long locale);
  // The form a phone loads its configuration in: name (directory name), uid, langCode, version
  // (of the component "Locale - <locale>" on this node) and winCharSet.
  void BuildFromDatabaseForTftp(zdl::CZDLSession& session, long locale);
};

// A device's user and network locales, appended to parent. Mode kTftp falls back from the device
// to its device pool and then to the enterprise defaults; other modes use only the device's own
// values.
class CXMLDeviceLocale {
 public:
  static void BuildDeviceUserLocale(CXMLElement& parent, zdl::CZDLSession& session, const zdl::CFastAccess& device,
                                    RenderMode mode);
  // Mode kTftp: "networkLocale" (blanks as "_"); modes kNames and kFull: "country"; others "networkLocale".
  static void BuildDeviceNetworkLocale(CXMLElement& parent, zdl::CZDLSession& session,
                                       const zdl::CFastAccess& device, RenderMode mode);
};

}  // namespace zeb
