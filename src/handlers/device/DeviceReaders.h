// The request readers that every device handler shares: line appearances, speed dials, add-on
// modules, phone-service settings, subscribed services and the references of a device. Each
// reads its elements in their fixed order and throws the exact message of the check that fails;
// nothing is written here: the caller writes the lists (DeviceChildren::Update) after the device.
#pragma once

#include <string>

#include "handlers/RequestReader.h"
#include "zdl/Records.h"

namespace zeb {

// The rows that hang off one device, collected while a request is read.
struct DeviceChildren {
  explicit DeviceChildren(zdl::CZDLSession& session)
      : lines(session), speeddials(session), addOnModules(session), settings(session), services(session) {}

  // Writes every list that has pending changes. REQUIRES: the device is written (or is being
  // written in the same transaction) before.
  void Update();

  zdl::CDeviceNumPlanMapList lines;
  zdl::CSpeedDialList speeddials;
  zdl::CDeviceAddOnModuleMapList addOnModules;
  zdl::CVoxbeamList settings;
  zdl::CVoxbeamSubscribedServiceList services;
};

// How the line reader differs between its callers.
struct LineRules {
  // <ringSetting> must be present ("NULL element found. Expecting <ringSetting>."): the shared
  // routine of the voice-mail port, route point and gateway port readers.
  bool ringSettingRequired = false;
  // An empty <mwlPolicy> is refused (updatePhone) instead of skipped.
  bool mwlPolicyNeedsValue = false;
  // <dirnId> carries the directory number's identifier (addDeviceProfile) instead of being
  // refused as deprecated.
  bool dirnIdIsIdentifier = false;
};

// Reads first and each following element sibling as a <line> or <lineIdentifier> of device and
// appends a line appearance per element to lines. A null first throws
// "NULL element found, expecting <line> or <lineIdentifier>".
void ReadLines(zdl::CZDLSession& session, XmlNode first, const zdl::CZDLID& device,
               zdl::CDeviceNumPlanMapList& lines, const LineRules& rules);
// Reads one <line> or <lineIdentifier> element into a new line appearance of device.
void ReadLine(zdl::CZDLSession& session, const ElementCursor& line, const zdl::CZDLID& device,
              zdl::CDeviceNumPlanMapList& lines, const LineRules& rules);
// Replaces the device's line appearances in lines by the children of the <lines> element.
void ReplaceLines(zdl::CZDLSession& session, XmlNode linesElement, const zdl::CZDLID& device,
                  zdl::CDeviceNumPlanMapList& lines, const LineRules& rules);
// Throws when the new device already has line appearances (a device is written only once).
void RequireNoLineAppearances(zdl::CZDLSession& session, const zdl::CZDLID& device);
// Writes the device and its line appearances as one unit: a device exists only with the line
// appearances its request asked for.
void WriteDeviceAndLines(zdl::CZDLSession& session, zdl::CDeviceList& devices, zdl::CDeviceNumPlanMapList& lines);

// Appends a speed dial per <speeddial> child of speeddials.
void ReadSpeeddials(XmlNode speeddials, const zdl::CZDLID& device, zdl::CSpeedDialList& list);
// Appends a module per <addOnModule> child; at least one is required.
void ReadAddOnModules(XmlNode addOnModules, const zdl::CZDLID& device, zdl::CDeviceAddOnModuleMapList& list);

// Reads the optional <speeddials> and <addOnModules> at the cursor, each replacing the device's
// rows of its kind.
void ReplaceSpeeddialsAndModules(ElementCursor& cursor, const zdl::CZDLID& device, DeviceChildren& children);

// The device's phone-service settings row in list: the stored one, or a new one.
zdl::SmartItemPtr<zdl::CVoxbeam> SettingsOf(zdl::CVoxbeamList& list, const zdl::CZDLID& device, bool isNew);
// Replaces the device's subscribed services in list by the <service> children of services.
void ReadSubscribedServices(zdl::CZDLSession& session, XmlNode services, const zdl::CZDLID& device,
                            zdl::CVoxbeamSubscribedServiceList& list);

// One optional reference of an add request: the element with a "uuid" attribute, a deprecated
// identifier element that is refused, and the name element that is looked up.
struct AddReference {
  const char* element;
  const char* deprecatedElement;  // null when there is none
  const char* deprecatedText;
  const char* nameElement;
  const char* emptyNameText;      // thrown for a name element without value; null: skipped
  const char* notFound;
  NameLookup find;
  int column;                     // the record's column that receives the identifier
};
// Reads the reference at the cursor when the cursor is on one of its forms, stores it in record
// and advances; otherwise leaves both alone.
void ReadAddReference(zdl::CZDLSession& session, ElementCursor& cursor, zdl::CItem& record, const AddReference& form);

// One optional reference of an update request: every form is accepted, and an empty value
// clears the reference.
struct UpdateReference {
  const char* element;    // "uuid" attribute; without it the reference is left as it is (may be null)
  const char* idElement;  // the identifier as the value
  const char* nameElement;
  const char* notFound;
  NameLookup find;
  int column;
};
void ReadUpdateReference(zdl::CZDLSession& session, ElementCursor& cursor, zdl::CItem& record,
                         const UpdateReference& form);
// The same in an update that names the record by identifier or name only: the element form is
// not one of its elements, and stays at the cursor.
void ReadUpdateReferenceByIdOrName(zdl::CZDLSession& session, ElementCursor& cursor, zdl::CItem& record,
                                   UpdateReference form);

// The same reference where a value is required: the element form needs its "uuid" attribute
// ("No "uuid" attribute found in <element>."), and an identifier or name element without a
// value throws the missing-value message in wording. form.element may be null (no such form).
// Stores the identifier and advances when the cursor is on one of the forms; returns whether it was.
bool ReadRequiredReference(zdl::CZDLSession& session, ElementCursor& cursor, zdl::CItem& record,
                           const UpdateReference& form, ValueWording wording);

}  // namespace zeb
