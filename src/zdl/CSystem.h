// The cluster side of extension mobility and device resets: what a call-processing node does
// when a client logs a user in to a phone, logs the user out, resets a device, or asks for a
// profile made from a phone. No phone is attached to this server, so each operation records
// its effect in the configuration database, where clients and operators can read it:
//   - a login sets the device's ikDevice_CurrentLoginProfile, LoginUserID, LoginTime,
//     LoginDuration (minutes) and LoginExpiry (seconds since the epoch, 0 for no limit);
//   - a logout clears them;
//   - a reset adds a row to DeviceReset (device, name, model, type, time).
// Every refusal is a CZDLException naming what is wrong.
#pragma once

#include <string>

#include "zdl/CZDLSession.h"
#include "zdl/base/CZDLID.h"

namespace zeb::zdl {

// Reset types.
constexpr long kResetHard = 1;
constexpr long kResetSoft = 2;

class CSystem {
 public:
  explicit CSystem(CZDLSession& session) : session_(session) {}

  // Makes an auto-generated profile (class 254, profile type 2) from the phone: its product,
  // model, protocol, locales and templates, and copies of its line appearances, speed dials,
  // add-on modules, phone-service settings and subscribed services. The profile is named
  // "AutoProfile_" + the phone's name and goes with the phone when the phone is removed.
  // Returns the new profile's identifier. Throws ID 2 when the phone does not exist,
  // kZDLInvalidOperation when the device is not a phone, kZDLDuplicate when the phone already
  // has an auto-generated profile.
  CZDLID GenerateProfile(const CZDLID& phone);

  // Logs userId in to device with profile for durationMinutes (0: no limit). Unless force, a
  // device with a login that has not expired is refused. Throws ID 2 for a device or profile
  // that does not exist, kZDLInvalidOperation when device is not a phone or profile is not a
  // device profile or the device is taken, kZDLInvalidParameter for a negative duration.
  void DeviceLogin(const CZDLID& device, const CZDLID& profile, const std::string& userId, long durationMinutes,
                   bool force);

  // Clears the phone's login, if any. Throws ID 2 for a device that does not exist and
  // kZDLInvalidOperation for one that is not a phone.
  void DeviceLogout(const CZDLID& device);

  // Records a reset (kResetHard or kResetSoft) of the device of that name and model. Throws
  // ID 2 when no device has that name, kZDLInvalidParameter for another model or reset type.
  void DoDeviceResetByName(const std::string& name, long model, long resetType);

 private:
  CZDLSession& session_;
};

}  // namespace zeb::zdl
