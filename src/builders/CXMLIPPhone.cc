#include "builders/CXMLIPPhone.h"

#include <cstdlib>
#include <optional>

#include "builders/CXMLCallingSearchSpace.h"
#include "builders/CXMLComponentVersionCache.h"
#include "builders/CXMLDevicePool.h"
#include "builders/CXMLURLCache.h"
#include "soap/Namespaces.h"
#include "zdl/CTypeList.h"

namespace zeb {

// The names of the records a phone refers to, and whether its product has phone services, read
// with one statement: rendering them is most of getPhone's work.
struct PhoneLookups {
  std::optional<std::string> css, devicePool, location, mediaResourceList, aarCss, aarNeighborhood, softkeyTemplate;
  bool phoneServices = false;
};

namespace {

std::string Decimal(long value) { return std::to_string(value); }

// The rows of a child table of the device, in the order the database returns them.
zdl::Statement ChildRows(const char* table, const zdl::CZDLID& device) {
  return {std::string("SELECT * FROM ") + table + " WHERE fkDevice = ?", {device}};
}

void SelectChildRows(zdl::CFastAccess& rows, const char* table, const zdl::CZDLID& device) {
  const zdl::Statement statement = ChildRows(table, device);
  rows.SelectCustom(statement.sql, statement.values);
}

// A column of the device's device pool (0 when the device has none).
long DevicePoolNumber(zdl::CZDLSession& session, const zdl::CFastAccess& device, const char* column) {
  zdl::CFastAccess pool(session, "DevicePool");
  return ReadRecord(pool, device.getID("fkDevicePool")) ? pool.getInt(column) : 0;
}

long EnterpriseNumber(zdl::CZDLSession& session, const char* parameter) {
  auto value = EnterpriseParameter(session, parameter);
  return value ? std::strtol(value->c_str(), nullptr, 10) : 0;
}

// The first non-zero of the device's own value, its device pool's and the enterprise default.
long WithFallBacks(zdl::CZDLSession& session, const zdl::CFastAccess& device, const char* column,
                   const char* enterpriseParameter) {
  long value = device.getInt(column);
  if (value == 0) value = DevicePoolNumber(session, device, column);
  if (value == 0) value = EnterpriseNumber(session, enterpriseParameter);
  return value;
}

// The names of the records the device refers to and whether its product has phone services,
// for the device "d" (a select list and its FROM).
const std::string& LookupColumns() {
  static const std::string columns =
      "SELECT (SELECT Name FROM CallingSearchSpace WHERE pkid = d.fkCallingSearchSpace), (SELECT Name FROM "
         "DevicePool WHERE pkid = d.fkDevicePool), (SELECT Name FROM Location WHERE pkid = d.fkLocation), (SELECT "
         "Name FROM MediaResourceList WHERE pkid = d.fkMediaResourceList), (SELECT Name FROM CallingSearchSpace "
         "WHERE pkid = d.fkCallingSearchSpace_AAR), (SELECT Name FROM AARNeighborhood WHERE pkid = "
         "d.fkAARNeighborhood), (SELECT Name FROM SoftkeyTemplate WHERE pkid = d.fkSoftkeyTemplate), (SELECT "
         "COUNT(*) FROM ProductSupportsFeature WHERE tkProduct = d.tkProduct AND tkFeature = " +
      std::to_string(kFeaturePhoneServices) + ")";
  return columns;
}

const std::string& LookupsSql() {
  static const std::string sql = LookupColumns() + " FROM Device d WHERE d.pkid = ?";
  return sql;
}

PhoneLookups ReadLookups(zdl::CZDLSession& session, const zdl::CFastAccess& device) {
  const zdl::ResultSet result = session.Query(LookupsSql(), {device.Get("pkid")});
  const std::vector<zdl::CZDLValue>& row = result.rows.at(0);
  auto name = [&](int column) -> std::optional<std::string> {
    if (row[column].IsNull()) return std::nullopt;
    return row[column].AsText();
  };
  PhoneLookups lookups{name(0), name(1), name(2), name(3), name(4), name(5), name(6)};
  lookups.phoneServices = row[7].AsInt() > 0;
  return lookups;
}

// The devices a read-ahead reads for: a condition on "Device d" and its values.
struct DeviceSelector {
  std::string where;
  std::vector<zdl::CZDLValue> values;
};

const char* const kServiceTables[] = {"Voxbeam", "VoxbeamSubscribedService"};

std::vector<const char*> ChildTables(RenderMode mode) {
  std::vector<const char*> tables{"DeviceAddOnModuleMap"};
  if (mode == RenderMode::kNames) tables.insert(tables.end(), {"DeviceNumPlanMap", "SpeedDial"});
  return tables;
}

// keyed (its one placeholder the device) for the selected devices; keys: the devices, when known.
void AddPerDevice(zdl::CZDLReadAhead& ahead, const std::string& keyed, const std::string& batch,
                  const DeviceSelector& selector, const std::vector<zdl::CZDLValue>& keys) {
  if (keys.empty()) return ahead.Add(keyed, batch, selector.values);
  ahead.Add(keyed, keys, batch, selector.values);
}

// What the phone element reads beyond its device row, for the devices selector picks: names,
// child rows and, for a product that has phone services only, the service rows.
void ReadPhoneAhead(zdl::CZDLReadAhead& ahead, const DeviceSelector& selector,
                    const std::vector<zdl::CZDLValue>& keys, RenderMode mode) {
  const std::string devices = " IN (SELECT d.pkid FROM Device d WHERE " + selector.where;
  AddPerDevice(ahead, LookupsSql(), LookupColumns() + ", d.pkid FROM Device d WHERE " + selector.where, selector,
               keys);
  auto rows = [&](const std::string& table, const std::string& condition) {
    AddPerDevice(ahead, ChildRows(table.c_str(), zdl::CZDLID()).sql,
                 "SELECT " + table + ".*, " + table + ".fkDevice FROM " + table + " WHERE fkDevice" + devices +
                     condition + ")",
                 selector, keys);
  };
  for (const char* table : ChildTables(mode)) rows(table, "");
  for (const char* table : kServiceTables) {
    rows(table, " AND EXISTS (SELECT 1 FROM ProductSupportsFeature p WHERE p.tkProduct = d.tkProduct AND "
                "p.tkFeature = " + std::to_string(kFeaturePhoneServices) + ")");
  }
}

void AddName(CXMLElement& parent, const char* tag, const std::optional<std::string>& name) {
  if (name) parent.AddChild(tag, *name);
}

void AddTypeText(CXMLElement& parent, const char* tag, zdl::CZDLSession& session, const char* table, long number) {
  parent.AddChild(tag, TypeText(session, table, number));
}

}  // namespace

void ReadChildRowsAhead(zdl::CZDLReadAhead& ahead, const zdl::CZDLID& device,
                        std::initializer_list<const char*> tables) {
  for (const char* table : tables) {
    const zdl::Statement rows = ChildRows(table, device);
    ahead.Add(rows.sql, rows.values);
  }
}

bool ProductSupportsFeature(zdl::CZDLSession& session, long product, long feature) {
  return !session
              .Query("SELECT pkid FROM ProductSupportsFeature WHERE tkProduct = ? AND tkFeature = ?",
                     {product, feature})
              .rows.empty();
}

long ModelButtonCount(zdl::CZDLSession& session, long model) {
  zdl::CTypeList models(session, "TypeModel");
  return models.Find(model) ? static_cast<long>(models.GetColumn("NumButtons").AsInt()) : 0;
}

void AddDeviceNamespaces(CXMLElement& element) {
  element.AddAttribute("xmlns", kZebNs);
  element.AddAttribute("xsi:xmlns", kXsiNs);
  element.AddAttribute("xsi:schemaLocation",
                       std::string(kZebNs) + " http://" + LocalHostName() + "/QMSApi/ZEB/V1/zebsoap.xsd");
}

void AddDeviceIdentity(CXMLElement& element, zdl::CZDLSession& session, const zdl::CFastAccess& device) {
  element.AddChild("name", device.getString("Name"));
  element.AddChild("description", device.getString("Description"));
  element.AddNewChild<CXMLProductInfo>()->BuildFromDatabase(session, device.getInt("tkProduct"));
  element.AddNewChild<CXMLModelInfo>()->BuildFromDatabase(session, device.getInt("tkModel"));
  element.AddNewChild<CXMLClassInfo>()->BuildFromDatabase(session, device.getInt("tkClass"));
  element.AddNewChild<CXMLProtocolInfo>()->BuildFromDatabase(session, device.getInt("tkDeviceProtocol"));
  element.AddNewChild<CXMLProtocolSideInfo>()->BuildFromDatabase(session, device.getInt("tkProtocolSide"));
}

void AddDeviceReferences(CXMLElement& element, zdl::CZDLSession& session, const zdl::CFastAccess& device,
                         RenderMode mode) {
  element.AddNewChild<CXMLCallingSearchSpace>()->BuildFromDatabase(session, device.getID("fkCallingSearchSpace"), mode);
  element.AddNewChild<CXMLDevicePool>()->BuildFromDatabase(session, device.getID("fkDevicePool"), mode);
  // A device's location carries no number, unlike the location family's element.
  BuildReference(*element.AddNewChild(), session, "Location", "location", device.getID("fkLocation"), mode,
                 [](CXMLElement& location, const zdl::CFastAccess& row) {
                   location.AddChild("kbits", Decimal(row.getInt("Kbits")));
                 });
}

// --- the phone ---

std::string CXMLIPPhone::ByNameSql(zdl::CZDLSession& session) {
  return "SELECT * FROM Device WHERE " + session.dialect().Equals("Name", true);
}

void CXMLIPPhone::ReadAheadByName(zdl::CZDLReadAhead& ahead, zdl::CZDLSession& session, const std::string& name,
                                  RenderMode mode) {
  ahead.Add(ByNameSql(session), {name});
  ReadPhoneAhead(ahead, {session.dialect().Equals("d.Name", true), {name}}, {}, mode);
}

void CXMLIPPhone::CoverFound(zdl::CZDLReadAhead& ahead, const zdl::CZDLID& id, RenderMode mode) {
  std::vector<const char*> tables = ChildTables(mode);
  tables.insert(tables.end(), std::begin(kServiceTables), std::end(kServiceTables));
  for (const char* table : tables) ahead.Cover(ChildRows(table, id).sql, id);
}

void CXMLIPPhone::BuildFromDatabase(zdl::CZDLSession& session, const zdl::CZDLID& id, RenderMode mode,
                                    const std::string& versionStamp) {
  zdl::CFastAccess device(session, "Device");
  if (ReadRecord(device, id)) BuildFromRow(session, device, mode, versionStamp);
}

void CXMLIPPhone::BuildFromRow(zdl::CZDLSession& session, const zdl::CFastAccess& device, RenderMode mode,
                               const std::string& versionStamp) {
  SetTag("device");
  if (mode == RenderMode::kNamespaces) AddDeviceNamespaces(*this);
  AddAttribute("xsi:type", "zeb:XIPPhone");
  AddAttribute("ctiid", Decimal(device.getInt("CtiId")));
  AddAttribute("uuid", device.getGuid("pkid"));
  AddDeviceIdentity(*this, session, device);
  std::optional<zdl::CZDLReadAhead> ahead;
  if (session.pipelinesReads()) {
    const zdl::CZDLValue id = device.Get("pkid");
    ReadPhoneAhead(ahead.emplace(session), {"d.pkid = ?", {id}}, {id}, mode);
    ahead->Run();
  }
  const PhoneLookups lookups = ReadLookups(session, device);
  AddReferences(session, device, mode, lookups);
  AddNewChild<CXMLLoadInformation>()->BuildFromDatabase(session, device.getString("SpecialLoadInformation"),
                                                        device.getInt("tkModel"));
  AddChild("vendorConfig", device.getString("xml"));
  AddChild("versionStamp", versionStamp);
  AddChild("traceFlag", BoolText(device.getBool("DeviceLevelTraceFlag")));
  AddChild("associatedPC", device.getString("AssocPC"));

  const zdl::CZDLID id = device.getID("pkid");
  if (mode == RenderMode::kNames) {
    AddNewChild<CXMLPhoneLines>()->BuildFromDatabase(session, id);
    AddChild("numberOfButtons", Decimal(ModelButtonCount(session, device.getInt("tkModel"))));
    AddChild("phoneTemplateId", device.getGuid("fkPhoneTemplate"));
    AddNewChild<CXMLSpeeddialList>()->BuildFromDatabase(session, id);
  }
  AddNewChild<CXMLAddOnModuleList>()->BuildFromDatabase(session, id);
  CXMLDeviceLocale::BuildDeviceUserLocale(*this, session, device, mode);
  CXMLDeviceLocale::BuildDeviceNetworkLocale(*this, session, device, mode);
  if (lookups.phoneServices) AddPhoneServices(session, device, lookups.softkeyTemplate);
  RemoveEmptyChildren();
}

void CXMLIPPhone::AddReferences(zdl::CZDLSession& session, const zdl::CFastAccess& device, RenderMode mode,
                                const PhoneLookups& lookups) {
  if (mode == RenderMode::kNames) {
    AddName(*this, "callingSearchSpaceName", lookups.css);
    AddName(*this, "devicePoolName", lookups.devicePool);
    AddName(*this, "locationName", lookups.location);
  } else {
    AddDeviceReferences(*this, session, device, mode);
  }
  AddName(*this, "mediaResourceListName", lookups.mediaResourceList);
  if (mode == RenderMode::kNames) {
    AddName(*this, "callingSearchSpaceName", lookups.aarCss);
  } else {
    AddNewChild<CXMLCallingSearchSpace>()->BuildFromDatabase(session, device.getID("fkCallingSearchSpace_AAR"), mode);
  }
  if (lookups.aarNeighborhood) {
    CXMLElement* neighborhood = AddNewChild("aarNeighborhood");
    neighborhood->AddAttribute("uuid", device.getGuid("fkAARNeighborhood"));
    neighborhood->AddChild("name", *lookups.aarNeighborhood);
  }
}

void CXMLIPPhone::AddPhoneServices(zdl::CZDLSession& session, const zdl::CFastAccess& device,
                                   const std::optional<std::string>& softkeyTemplate) {
  const zdl::CZDLID id = device.getID("pkid");
  zdl::CFastAccess settings(session, "Voxbeam");
  SelectChildRows(settings, "Voxbeam", id);
  // A device without a settings row shows the defaults such a row starts with.
  auto text = [&](const char* column) { return settings.IsEOF() ? std::string() : settings.getString(column); };
  AddChild("idleTimeout", Decimal(settings.IsEOF() ? 0 : settings.getInt("IdleTimeout")));
  AddChild("authenticationURL", text("AuthenticationURL"));
  AddChild("directoryURL", text("DirectoryServicesURL2"));
  AddChild("idleURL", text("IdleURL"));
  AddChild("informationURL", text("DirectoryServicesURL1"));
  AddChild("messagesURL", text("VoiceMailURL1"));
  AddChild("proxyServerURL", text("ProxyURL"));
  AddChild("servicesURL", text("VoiceMailURL2"));
  AddNewChild<CXMLSubscribedServices>()->BuildFromDatabase(session, id);
  AddName(*this, "softkeyTemplateName", softkeyTemplate);
  // Always there, as the dial plan references are: an empty "uuid" when no profile is set.
  AddUuidChild(*this, "defaultProfile", device.getID("ikDevice_DefaultProfile"));
  AddChild("enableExtensionMobility", BoolText(device.getBool("allowHotelingFlag")));
}

// --- companions ---

void CXMLPhoneLines::BuildFromDatabase(zdl::CZDLSession& session, const zdl::CZDLID& device) {
  SetTag("lines");
  zdl::CFastAccess rows(session, "DeviceNumPlanMap");
  for (SelectChildRows(rows, "DeviceNumPlanMap", device); !rows.IsEOF(); rows.MoveNext()) {
    AddNewChild<CXMLPhoneLine>()->BuildFromRow(session, rows);
  }
}

void CXMLPhoneLine::BuildFromDatabase(zdl::CZDLSession& session, const zdl::CZDLID& device) {
  zdl::CFastAccess rows(session, "DeviceNumPlanMap");
  SelectChildRows(rows, "DeviceNumPlanMap", device);
  if (!rows.IsEOF()) BuildFromRow(session, rows);
}

void CXMLPhoneLine::BuildFromRow(zdl::CZDLSession& session, const zdl::CFastAccess& row) {
  SetTag("line");
  AddAttribute("uuid", row.getGuid("pkid"));
  AddAttribute("index", Decimal(row.getInt("NumPlanIndex")));
  AddChild("label", row.getString("Label"));
  AddChild("display", row.getString("Display"));
  AddNewChild("dirn")->AddAttribute("uuid", row.getGuid("fkNumPlan"));
  AddTypeText(*this, "ringSetting", session, "TypeRingSetting", row.getInt("tkRingSetting"));
  AddTypeText(*this, "consecutiveRingSetting", session, "TypeRingSetting", row.getInt("tkRingSetting_Consecutive"));
  AddChild("e164Mask", row.getString("E164Mask"));
  AddChild("dialPlanWizardId", Decimal(row.getInt("DialPlanWizardGenID")));
  AddTypeText(*this, "mwlPolicy", session, "TypeMWLPolicy", row.getInt("tkMWLPolicy"));
}

void CXMLSpeeddialList::BuildFromDatabase(zdl::CZDLSession& session, const zdl::CZDLID& device) {
  SetTag("speeddials");
  zdl::CFastAccess rows(session, "SpeedDial");
  for (SelectChildRows(rows, "SpeedDial", device); !rows.IsEOF(); rows.MoveNext()) {
    CXMLElement* speeddial = AddNewChild("speeddial");
    speeddial->AddAttribute("index", Decimal(rows.getInt("SpeeddialIndex")));
    speeddial->AddChild("dirn", rows.getString("SpeeddialNumber"));
    speeddial->AddChild("label", rows.getString("Label"));
  }
}

void CXMLAddOnModuleList::BuildFromDatabase(zdl::CZDLSession& session, const zdl::CZDLID& device) {
  SetTag("addOnModules");
  zdl::CFastAccess rows(session, "DeviceAddOnModuleMap");
  for (SelectChildRows(rows, "DeviceAddOnModuleMap", device); !rows.IsEOF(); rows.MoveNext()) {
    CXMLElement* module = AddNewChild("addOnModule");
    module->AddAttribute("uuid", rows.getGuid("pkid"));
    module->AddAttribute("index", Decimal(rows.getInt("ModuleIndex")));
    module->AddChild("loadInformation", rows.getString("SpecialLoadInformation"));
    module->AddChild("phoneTemplateId", rows.getGuid("fkPhoneTemplate"));
  }
}

void CXMLSubscribedServices::BuildFromDatabase(zdl::CZDLSession& session, const zdl::CZDLID& device) {
  SetTag("services");
  zdl::CFastAccess rows(session, "VoxbeamSubscribedService");
  for (SelectChildRows(rows, "VoxbeamSubscribedService", device); !rows.IsEOF(); rows.MoveNext()) {
    AddNewChild<CXMLSubscribedService>()->BuildFromRow(rows);
  }
}

void CXMLSubscribedService::BuildFromRow(const zdl::CFastAccess& row) {
  SetTag("service");
  AddAttribute("uuid", row.getGuid("pkid"));
  AddChild("name", row.getString("serviceName"));
  AddChild("url", row.getString("serviceURL"));
  AddNewChild("voxbeamService")->AddAttribute("uuid", row.getGuid("fkVoxbeamService"));
}

void CXMLLoadInformation::BuildFromDatabase(zdl::CZDLSession& session, const std::string& specialLoad, long model) {
  SetTag("loadInformation");
  SetText(!specialLoad.empty() ? specialLoad : session.database().Cache<DefaultLoadCache>().DefaultLoad(session, model));
}

// --- locales ---

void CXMLUserLocaleInfo::BuildFromDatabase(zdl::CZDLSession& session, long locale) {
  zdl::CTypeList locales(session, "TypeUserLocale");
  if (!locales.Find(locale)) return;
  SetTag("userLocale");
  AddChild("name", locales.GetText());
  AddChild("DialcoreVersion", locales.GetColumn("DialcoreVersion").AsText());
  AddChild("componentVersion", locales.GetColumn("ComponentVersion").AsText());
  AddTypeText(*this, "writtenLanguage", session, "TypeLanguage", static_cast<long>(locales.GetColumn("tkLanguage").AsInt()));
  AddTypeText(*this, "SpokenLanguage", session, "TypeLanguage",
              static_cast<long>(locales.GetColumn("tkLanguage_Spoken").AsInt()));
  AddNewChild<CXMLWinCharSetInfo>()->BuildFromDatabase(session, static_cast<long>(locales.GetColumn("tkWinCharSet").AsInt()));
}

void CXMLUserLocaleInfo::BuildFromDatabaseForTftp(zdl::CZDLSession& session, long locale) {
  zdl::CTypeList locales(session, "TypeUserLocale");
  if (!locales.Find(locale)) return;
  SetTag("userLocale");
  AddChild("name", locales.GetColumn("DirectoryName").AsText());
  AddChild("uid", Decimal(locale));
  AddNewChild<CXMLLanguageInfo>()->BuildFromDatabase(session, static_cast<long>(locales.GetColumn("tkLanguage").AsInt()));
  AddChild("version", session.database().Cache<CXMLComponentVersionCache>().GetVersion(
                          session, LocalProcessNodeID(session), "Locale - " + locales.GetText()));
  AddNewChild<CXMLWinCharSetInfo>()->BuildFromDatabase(session, static_cast<long>(locales.GetColumn("tkWinCharSet").AsInt()));
}

void CXMLDeviceLocale::BuildDeviceUserLocale(CXMLElement& parent, zdl::CZDLSession& session,
                                             const zdl::CFastAccess& device, RenderMode mode) {
  if (mode == RenderMode::kTftp) {
    parent.AddNewChild<CXMLUserLocaleInfo>()->BuildFromDatabaseForTftp(
        session, WithFallBacks(session, device, "tkUserLocale", "DefaultUserLocale"));
  } else {
    parent.AddNewChild<CXMLUserLocaleInfo>()->BuildFromDatabase(session, device.getInt("tkUserLocale"));
  }
}

void CXMLDeviceLocale::BuildDeviceNetworkLocale(CXMLElement& parent, zdl::CZDLSession& session,
                                                const zdl::CFastAccess& device, RenderMode mode) {
  auto* locale = parent.AddNewChild<CXMLCountryInfo>();
  if (mode == RenderMode::kTftp) {
    locale->BuildFromDatabaseAsNetworkLocale(session, WithFallBacks(session, device, "tkCountry", "DefaultNetworkLocale"));
  } else if (mode == RenderMode::kNames || mode == RenderMode::kFull) {
    locale->BuildFromDatabase(session, device.getInt("tkCountry"));
  } else {
    locale->BuildFromDatabaseAsNetworkLocale(session, device.getInt("tkCountry"));
  }
}

}  // namespace zeb
