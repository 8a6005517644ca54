// addPhone, updatePhone and getPhone (removePhone is the generic device removal).
#pragma once

#include "handlers/CRequestHandler.h"
#include "handlers/device/DeviceReaders.h"

namespace zeb {

class CPhoneHandler : public CRequestHandler {
 public:
  using CRequestHandler::CRequestHandler;
  // Reads <newPhone> and writes the phone with its line appearances, speed dials, add-on
  // modules, phone-service settings and subscribed services in one transaction.
  HandlerOperation Add;
  // Changes the elements the request names; lines, speed dials, add-on modules and services
  // are replaced as a whole.
  HandlerOperation Update;
  // Answers the phone element (rendering mode kNames) of the phone named by <phoneId> or <phoneName>.
  HandlerOperation Get;

 private:
  // --- add ---
  void ReadIdentity(ElementCursor& cursor, zdl::CDevice& device);
  void ReadProduct(ElementCursor& cursor, zdl::CDevice& device);
  // lines, numberOfButtons, the phone template, speeddials and addOnModules.
  void ReadLines(ElementCursor& cursor, zdl::CDevice& device, DeviceChildren& children);
  // The phone-service settings and the subscribed services.
  void ReadServices(ElementCursor& cursor, const zdl::CZDLID& id, DeviceChildren& children);
  // The softkey template, the default profile and enableExtensionMobility.
  void ReadTemplatesAndProfile(ElementCursor& cursor, zdl::CDevice& device);

  // --- update ---
  void ReadUpdateReferences(ElementCursor& cursor, zdl::CDevice& device);
  void ReadUpdateLists(ElementCursor& cursor, zdl::CDevice& device, DeviceChildren& children);
  void ReadUpdateTemplatesAndProfile(ElementCursor& cursor, zdl::CDevice& device);
};

// --- pieces the device profile handlers share ---

// Reads the optional device settings loadInformation, vendorConfig, (add only) versionStamp and
// traceFlag at the cursor, then associatedPC when the device is a phone: other devices have no
// associated PC. In an update an empty value clears the setting.
enum class AssociatedPC { kRead, kNone };
void ReadDeviceSettings(ElementCursor& cursor, zdl::CDevice& device, bool isUpdate, AssociatedPC associatedPC);
// The softkey template whose name is exactly name (case included).
zdl::CZDLID FindSoftkeyTemplateByExactName(zdl::CZDLSession& session, const std::string& name,
                                           const std::string& notFound);
// The rows of the optional references location, media resource list, AAR calling search space
// and AAR neighborhood, as a phone's and a voice-mail port's requests have them.
std::vector<ElementRow> DeviceReferenceRows();
// How update requests name their device.
extern const Identification kIdentifyDevice;
// Finds the default profile of that name, refusing a device that is not a profile.
zdl::CZDLID FindDefaultProfile(zdl::CZDLSession& session, const std::string& name, const std::string& notFound);
// The optional references of a device in an add request, in their order: calling search space,
// device pool, location, media resource list, AAR calling search space, AAR neighborhood. The
// gateway endpoint, voice-mail port and route point readers share them.
constexpr int kDeviceReferenceCount = 6;
extern const AddReference kAddReferences[kDeviceReferenceCount];
// The same references in an update request, from the device pool on (the calling search space
// has a form of its own in each family).
extern const UpdateReference kUpdateReferences[kDeviceReferenceCount - 1];
// The references of the phone template and softkey template in an update request.
extern const UpdateReference kUpdatePhoneTemplate;
extern const UpdateReference kUpdateSoftkeyTemplate;

}  // namespace zeb
