#include "handlers/system/UserHandlers.h"

#include <memory>

#include "builders/BuilderSupport.h"
#include "builders/CXMLUser.h"
#include "handlers/ElementTables.h"
#include "handlers/RequestReader.h"
#include "zdl/Records.h"
#include "zdl/directory/CUserInfoList.h"

namespace zeb {

namespace {

using zdl::CUserInfo;

// Selects the user named rn; throws notFound (ID 2) when there is none.
std::shared_ptr<CUserInfo> SelectUser(zdl::CUserInfoList& users, const std::string& rn, const std::string& notFound) {
  users.SelectByRn(rn);
  if (users.Count() == 0) ThrowNotFound(notFound);
  return users.GetCurrentItem();
}

std::string UserNotFound(const std::string& rn) { return "The user: " + rn + " was not found."; }

// Required element at the cursor, with "Found NULL, expecting <name>" when there is none.
void RequireAt(const ElementCursor& cursor, const std::string& name) {
  cursor.Expect(name.c_str(), "<" + name + ">", "Found NULL, expecting <" + name + ">");
}

// The values of "associatedDevices": one "device" with a value per child, joined by " ~ ".
std::string ReadDevices(XmlNode element) {
  std::vector<std::string> names;
  for (ElementCursor device = ElementCursor::Enter(element); !device.AtEnd(); device.Advance()) {
    if (!device.Is("device")) device.ThrowFound("<device>");
    names.push_back(RequireValue(device.node(), ValueWording::kMustContain));
  }
  return zdl::JoinValues(names);
}

std::string DeviceNameOf(zdl::CZDLSession& session, const std::string& idText) {
  zdl::CDeviceList devices(session);
  devices.SelectByID(ParseID(idText));
  if (devices.Count() == 0) ThrowNotFound("The specified device was not found.");
  return devices.GetCurrentItem()->GetName();
}

// "phoneProfiles": the profiles named, by name or by a device's "uuid"; the first becomes the
// default profile. The list replaces the user's profiles as a whole.
void ReadProfiles(zdl::CZDLSession& session, XmlNode element, CUserInfo& user) {
  std::vector<std::string> names;
  for (ElementCursor profile = ElementCursor::Enter(element); !profile.AtEnd(); profile.Advance()) {
    if (profile.Is("profileName")) {
      names.push_back(RequireValue(profile.node(), ValueWording::kMustContain));
    } else if (profile.Is("profile")) {
      names.push_back(DeviceNameOf(session, RequireAttribute(profile.node(), "uuid")));
    } else if (profile.Is("profileId")) {
      throw CUnexpectedNodeException("Deprecated element. Please use <profile> or <profileName.");
    } else {
      profile.ThrowFound("<profileName> or <profile>");
    }
  }
  user.PutDefaultDeviceProfile(names.empty() ? "" : names.front());
  user.PutDeviceProfiles(zdl::JoinValues(names));
}

// The optional elements that addUser and updateUser share, in their order.
enum class Kind { kText, kBoolean, kDevices, kProfiles };
enum class Mode { kAdd, kUpdate };

struct Field {
  const char* element;
  Kind kind;
  void (*put)(CUserInfo& user, const std::string& value);
  bool clearsWhenEmpty;  // in updateUser, an element without a value stores ""
};

#define ZEB_PUT(expression) [](CUserInfo& user, const std::string& value) { expression; }
const Field kSharedFields[] = {
    {"telephoneNumber", Kind::kText, ZEB_PUT(user.PutVal("telephoneNumber", value)), true},
    {"extension", Kind::kText, ZEB_PUT(user.PutExtensions(value)), false},
    {"department", Kind::kText, ZEB_PUT(user.PutVal("department", value)), true},
    {"location", Kind::kText, ZEB_PUT(user.PutVal("location", value)), true},
    {"manager", Kind::kText, ZEB_PUT(user.PutManager(value)), false},
    {"locale", Kind::kText, ZEB_PUT(user.PutVal("locale", value)), true},
    {"aaKeyPadMapping", Kind::kText, ZEB_PUT(user.PutAAKeyPadMapping(value)), false},
    {"associatedDevices", Kind::kDevices, ZEB_PUT(user.PutDeviceNames(value)), false},
    {"associatedPC", Kind::kText, ZEB_PUT(user.PutAssociatedPC(value)), false},
    {"authenticationProxyRights", Kind::kText, ZEB_PUT(user.PutAuthenticationProxyRights(value)), false},
    {"autoAttendantNameDialing", Kind::kText, ZEB_PUT(user.PutAutoAttendantNameDialing(value)), false},
    {"enableCTI", Kind::kBoolean, ZEB_PUT(user.PutCTIEnabled(value == "true")), false},
    {"enableCTIAllDevices", Kind::kBoolean, ZEB_PUT(user.PutAllDevices(value)), false},
    {"iaqExtension", Kind::kText, ZEB_PUT(user.PutIAQExtension(value)), false},
    {"phoneProfiles", Kind::kProfiles, nullptr, false},
};
#undef ZEB_PUT

// Reads one optional field when the cursor is on it, and advances past it.
void ReadField(zdl::CZDLSession& session, ElementCursor& cursor, const Field& field, Mode mode, CUserInfo& user) {
  if (!cursor.Is(field.element)) return;
  const XmlNode node = cursor.node();
  cursor.Advance();
  if (field.kind == Kind::kDevices) return field.put(user, ReadDevices(node));
  if (field.kind == Kind::kProfiles) return ReadProfiles(session, node, user);
  std::optional<std::string> value = ValueOf(node);
  if (!value && field.kind == Kind::kBoolean && mode == Mode::kUpdate) {
    value = RequireValue(node, ValueWording::kThenMustHave);
  }
  if (!value && !(mode == Mode::kUpdate && field.clearsWhenEmpty)) return;
  const std::string text = value.value_or("");
  field.put(user, field.kind == Kind::kBoolean ? BoolText(ParseBoolean(text)) : text);
}

void ReadSharedFields(zdl::CZDLSession& session, ElementCursor& cursor, Mode mode, CUserInfo& user) {
  for (const Field& field : kSharedFields) ReadField(session, cursor, field, mode, user);
}

// The table rows of the shared fields, each optional in both requests.
std::vector<ElementRow> SharedFieldRows() {
  std::vector<ElementRow> rows;
  for (const Field& field : kSharedFields) {
    const bool children = field.kind == Kind::kDevices || field.kind == Kind::kProfiles;
    rows.push_back(Custom(field.element, children ? Form::kChildren : Form::kValue, kOpt, kOpt));
  }
  return rows;
}

// addUser's required positions after the names: ldapDN (not read), email, userid (optional,
// not read), password and pin.
void ReadAddCredentials(ElementCursor& cursor, CUserInfo& user) {
  RequireAt(cursor, "ldapDN");
  cursor.Advance();
  RequireAt(cursor, "email");
  user.PutVal("email", ValueOrEmpty(cursor.node()));
  cursor.Advance();
  if (cursor.Is("userid")) cursor.Advance();
  RequireAt(cursor, "password");
  user.PutVal("password", RequireValue(cursor.node(), ValueWording::kMustContain));
  cursor.Advance();
  RequireAt(cursor, "pin");
  user.PutPIN(RequireValue(cursor.node(), ValueWording::kMustContain));
  cursor.Advance();
}

// updateUser's optional names and credentials.
void ReadUpdateNames(ElementCursor& cursor, CUserInfo& user) {
  if (cursor.Is("firstname")) {
    user.PutVal("givenName", ValueOrEmpty(cursor.node()));
    cursor.Advance();
  }
  if (cursor.Is("lastname")) {
    user.PutVal("sn", ValueOrEmpty(cursor.node()));
    cursor.Advance();
  }
  for (const char* secretOrEmail : {"email", "password", "pin"}) {
    if (!cursor.Is(secretOrEmail)) continue;
    user.PutVal(secretOrEmail, RequireValue(cursor.node(), ValueWording::kThenMustHave));
    cursor.Advance();
  }
}

}  // namespace

// A user is an entry of the directory, not a record: the rows declare the wire only, and the
// optional fields come from kSharedFields above, which reads them.
const ElementTable kUserElements = {"addUser", "updateUser", "getUser",
                                    Join({{
                                              Custom("ldapRN", Form::kValue, kNo, kReq, kReq),
                                              Custom("firstname", Form::kValue, kReq, kOpt),
                                              Custom("lastname", Form::kValue, kReq, kOpt),
                                              Custom("ldapRN", Form::kValue, kReq, kNo),
                                              Custom("ldapDN", Form::kValue, kReq, kNo),
                                              Custom("email", Form::kValue, kReq, kOpt),
                                              Custom("userid", Form::kValue, kOpt, kNo),
                                              Custom("password", Form::kValue, kReq, kOpt),
                                              Custom("pin", Form::kValue, kReq, kOpt),
                                          },
                                          SharedFieldRows()})};

void CUserHandler::Get(XmlNode request, CXMLElement& result) {
  ElementCursor cursor = ElementCursor::Enter(request);
  cursor.Expect("ldapRN", "<ldapRN>.", "NULL element found.  Expecting <ldapRN>.");
  const std::string rn = RequireValue(cursor.node(), ValueWording::kMustContain);
  auto users = zdl::OpenUserDirectory(db());
  auto user = SelectUser(*users, rn, UserNotFound(rn));
  CXMLElement holder;
  holder.AddNewChild<CXMLUser>()->BuildFromDatabase(*user);
  ReturnChildren(result, holder);
}

void CUserHandler::Add(XmlNode request, CXMLElement& result) {
  ElementCursor wrapper = ElementCursor::Enter(request);
  wrapper.RequireNotNull("Found NULL, expecting <newUser>");
  auto users = zdl::OpenUserDirectory(db());
  users->SelectByTelephoneNumber("12345");
  ElementCursor cursor = wrapper.EnterCurrent();
  cursor.Expect("firstname", "<firstname>", "Found NULL, expecting <ldapRN>");
  const std::string firstName = RequireValue(cursor.node(), ValueWording::kMustContain);
  cursor.Advance();
  cursor.Expect("lastname", "<lastname>", "NULL element found. Expecting <lastname>");
  const std::string lastName = RequireValue(cursor.node(), ValueWording::kMustContain);
  cursor.Advance();
  cursor.Expect("ldapRN", "<ldapRN>", "NULL element found. Expecting <ldapRN>");
  const std::string rn = RequireValue(cursor.node(), ValueWording::kMustContain);
  cursor.Advance();
  auto user = users->Insert(rn);
  user->PutCn(rn);
  user->PutGivenName(firstName);
  user->PutSn(lastName);
  ReadAddCredentials(cursor, *user);
  ReadSharedFields(db(), cursor, Mode::kAdd, *user);
  users->Update();
  Return(result, zdl::CZDLID::NULLID());
}

void CUserHandler::Remove(XmlNode request, CXMLElement& result) {
  ElementCursor cursor = ElementCursor::Enter(request);
  cursor.Expect("ldapRN", "<ldapRN>", "NULL element found.  Expecting <ldapRN>.");
  const std::string rn = ValueOrEmpty(cursor.node());
  auto users = zdl::OpenUserDirectory(db());
  SelectUser(*users, rn, "User: " + rn + " not found.");
  users->Delete();
  users->Update();
  Return(result, zdl::CZDLID::NULLID());
}

void CUserHandler::Update(XmlNode request, CXMLElement& result) {
  ElementCursor cursor = ElementCursor::Enter(request);
  cursor.Expect("ldapRN", "<ldapRN>", "Found NULL, expecting <ladpRN>");
  const std::string rn = RequireValue(cursor.node(), ValueWording::kThenMustHave);
  auto users = zdl::OpenUserDirectory(db());
  auto user = SelectUser(*users, rn, UserNotFound(rn));
  cursor.Advance();
  ReadUpdateNames(cursor, *user);
  ReadSharedFields(db(), cursor, Mode::kUpdate, *user);
  cursor.RequireEnd();
  users->Update();
  Return(result, zdl::CZDLID::NULLID());
}

}  // namespace zeb
