#include "handlers/device/DeviceReaders.h"

#include "zdl/TypeEnums.h"

namespace zeb {

namespace {

const char kPartitionNotFound[] = "The specified Route Partition was not found.";

// The partition named by name: the null partition for "", else the record of that name.
zdl::CZDLID PartitionNamed(zdl::CZDLSession& session, const std::string& name) {
  if (name.empty()) return zdl::CZDLID();
  return FindIdByName<zdl::CRoutePartitionList>(session, name, kPartitionNotFound);
}

// The directory number with that pattern in that partition.
zdl::CZDLID FindDirectoryNumber(zdl::CZDLSession& session, const std::string& pattern, const zdl::CZDLID& partition,
                                const std::string& notFound) {
  zdl::CNumPlanList numbers(session);
  if (partition.isNull()) {
    numbers.SelectWhere("DNOrPattern = ? AND fkRoutePartition IS NULL", {pattern});
  } else {
    numbers.SelectWhere("DNOrPattern = ? AND fkRoutePartition = ?", {pattern, partition});
  }
  if (numbers.Count() == 0) ThrowNotFound(notFound);
  auto number = numbers.GetCurrentItem();
  if (number->GetPatternUsageType() != zdl::kUsageDirectoryNumber) {
    ThrowNotFound("The NumPlan specified is not a Directory Number.");
  }
  return number->GetID();
}

// <dirn uuid="..."/>, or <dirn> holding pattern, usage and the partition.
zdl::CZDLID ReadDirn(zdl::CZDLSession& session, const ElementCursor& cursor, const LineRules& rules) {
  cursor.RequireNotNull("NULL element found, expecting <dirn>");
  if (cursor.Is("dirnId")) {
    if (!rules.dirnIdIsIdentifier) throw CUnexpectedNodeException("Deprecated element. Please use <dirn>.");
    return ParseID(RequireValue(cursor.node(), ValueWording::kMustContain));
  }
  if (!cursor.Is("dirn")) cursor.ThrowFound("<dirn>");
  if (auto uuid = AttributeOf(cursor.node(), "uuid")) return ParseID(*uuid);

  ElementCursor part = cursor.EnterCurrent();
  part.Expect("pattern", "<pattern>", "NULL element found, expecting <pattern>");
  const std::string pattern = ValueOrEmpty(part.node());
  part.Advance();
  part.Expect("usage", "<usage>", "NULL element found, expecting <usage>");
  part.Advance();
  part.RequireNotNull("NULL element found, expecting <routePartitionId> or <routeParititionName>");
  zdl::CZDLID partition;
  if (part.Is("routePartitionId")) {
    partition = ParseID(ValueOrEmpty(part.node()));
  } else if (part.Is("routePartitionName")) {
    partition = PartitionNamed(session, ValueOrEmpty(part.node()));
  } else {
    part.ThrowFound("<routePartitionId> or <routePartitionName>");
  }
  // The pattern runs into the words without blanks ("Directory Number1000not found."): clients
  // match this message as it stands.
  return FindDirectoryNumber(session, pattern, partition, "Directory Number" + pattern + "not found.");
}

// The optional settings after <dirn>: ring settings, E.164 mask, wizard number, lamp policy.
void ReadLineSettings(zdl::CZDLSession& session, ElementCursor& cursor, zdl::CDeviceNumPlanMap& row,
                      const LineRules& rules) {
  if (rules.ringSettingRequired) {
    cursor.Expect("ringSetting", "<ringSetting>", "NULL element found. Expecting <ringSetting>.");
  }
  if (cursor.Is("ringSetting")) {
    row.PutRingSetting(TypeEnum(session, "TypeRingSetting", RequireValue(cursor.node(), ValueWording::kMustContain)));
    cursor.Advance();
  }
  if (cursor.Is("consecutiveRingSetting")) {
    if (auto value = ValueOf(cursor.node())) row.PutConsecutiveRingSetting(TypeEnum(session, "TypeRingSetting", *value));
    cursor.Advance();
  }
  if (cursor.Is("e164Mask")) {
    if (auto value = ValueOf(cursor.node())) row.PutE164Mask(*value);
    cursor.Advance();
  }
  if (cursor.Is("dialPlanWizardId")) cursor.Advance();
  if (cursor.Is("mwlPolicy")) {
    auto value = ValueOf(cursor.node());
    if (!value && rules.mwlPolicyNeedsValue) RequireValue(cursor.node(), ValueWording::kMustContain);
    if (value) row.PutMWLPolicy(TypeEnum(session, "TypeMWLPolicy", *value));
    cursor.Advance();
  }
}

zdl::SmartItemPtr<zdl::CDeviceNumPlanMap> NewLine(zdl::CDeviceNumPlanMapList& lines, const zdl::CZDLID& device) {
  auto row = lines.Insert();
  row->PutDeviceID(device);
  row->PutRingSetting(0);
  return row;
}

void ReadLineElement(zdl::CZDLSession& session, XmlNode line, const zdl::CZDLID& device,
                     zdl::CDeviceNumPlanMapList& lines, const LineRules& rules) {
  auto row = NewLine(lines, device);
  if (!line.HasAttributes()) throw CUnexpectedNodeException("No \"index\" attribute found in <line>.");
  auto index = AttributeOf(line, "index");
  if (!index) throw CUnexpectedNodeException("The <line> element requires an index attribute.");
  row->PutNumPlanIndex(ParseLong(*index));

  ElementCursor cursor = ElementCursor::Enter(line);
  cursor.Expect("label", "<label>", "NULL element found, expecting <label>");
  row->PutLabel(ValueOrEmpty(cursor.node()));
  cursor.Advance();
  cursor.Expect("display", "<display>", "NULL element found, expecting <display>");
  row->PutDisplay(ValueOrEmpty(cursor.node()));
  cursor.Advance();
  row->PutNumPlanID(ReadDirn(session, cursor, rules));
  cursor.Advance();
  ReadLineSettings(session, cursor, *row, rules);
}

// A line given by number and partition; its index is its position among the device's lines.
void ReadLineIdentifier(zdl::CZDLSession& session, XmlNode line, const zdl::CZDLID& device,
                        zdl::CDeviceNumPlanMapList& lines) {
  auto row = NewLine(lines, device);
  row->PutNumPlanIndex(static_cast<long>(lines.Count()));
  ElementCursor cursor = ElementCursor::Enter(line);
  cursor.Expect("directoryNumber", "<directoryNumber>", "NULL element found. Expecting <directoryNumber>.");
  const std::string pattern = ValueOrEmpty(cursor.node());
  cursor.Advance();
  cursor.Expect("routePartitionName", "<routePartitionName>", "NULL element found. Expecting <routePartitionName>.");
  const zdl::CZDLID partition = PartitionNamed(session, ValueOrEmpty(cursor.node()));
  row->PutNumPlanID(FindDirectoryNumber(session, pattern, partition, "Directory Number not found."));
}

}  // namespace

void DeviceChildren::Update() {
  lines.Update();
  speeddials.Update();
  addOnModules.Update();
  settings.Update();
  services.Update();
}

void ReadLines(zdl::CZDLSession& session, XmlNode first, const zdl::CZDLID& device, zdl::CDeviceNumPlanMapList& lines,
               const LineRules& rules) {
  if (!first) throw CUnexpectedNodeException("NULL element found, expecting <line> or <lineIdentifier>");
  for (ElementCursor line = ElementCursor::At(first); !line.AtEnd(); line.Advance()) {
    ReadLine(session, line, device, lines, rules);
  }
}

void ReadLine(zdl::CZDLSession& session, const ElementCursor& line, const zdl::CZDLID& device,
              zdl::CDeviceNumPlanMapList& lines, const LineRules& rules) {
  if (line.Is("line")) {
    ReadLineElement(session, line.node(), device, lines, rules);
  } else if (line.Is("lineIdentifier")) {
    ReadLineIdentifier(session, line.node(), device, lines);
  } else {
    line.ThrowFound("<line> or <lineIdentifier>");
  }
}

void ReplaceLines(zdl::CZDLSession& session, XmlNode linesElement, const zdl::CZDLID& device,
                  zdl::CDeviceNumPlanMapList& lines, const LineRules& rules) {
  lines.SelectByDeviceID(device);
  lines.DeleteAll();
  ReadLines(session, linesElement.FirstElementChild(), device, lines, rules);
}

void WriteDeviceAndLines(zdl::CZDLSession& session, zdl::CDeviceList& devices, zdl::CDeviceNumPlanMapList& lines) {
  zdl::CZDLTransaction transaction(session);
  devices.Update();
  lines.Update();
  transaction.Commit();
}

void RequireNoLineAppearances(zdl::CZDLSession& session, const zdl::CZDLID& device) {
  zdl::CDeviceNumPlanMapList existing(session);
  existing.SelectByDeviceID(device);
  if (existing.Count() > 0) {
    throw zdl::CZDLException(zdl::kZDLInvalidOperation,
                             "DeviceNumPlanMap entries cannot exist for this device because the device has not been "
                             "created yet.");
  }
}

void ReadSpeeddials(XmlNode speeddials, const zdl::CZDLID& device, zdl::CSpeedDialList& list) {
  for (ElementCursor speeddial = ElementCursor::Enter(speeddials); !speeddial.AtEnd(); speeddial.Advance()) {
    if (!speeddial.Is("speeddial")) speeddial.ThrowFound("<speeddial>");
    auto row = list.Insert();
    row->PutDeviceID(device);
    row->PutSpeeddialIndex(ParseLong(RequireAttribute(speeddial.node(), "index")));
    ElementCursor field = speeddial.EnterCurrent();
    field.Expect("dirn", "<dirn>", "NULL element found. Expecting <dirn>.");
    row->PutSpeeddialNumber(RequireValue(field.node(), ValueWording::kMustContain));
    field.Advance();
    field.Expect("label", "<label>", "NULL element found. Expecting <label>.");
    row->PutLabel(ValueOrEmpty(field.node()));
  }
}

void ReadAddOnModules(XmlNode addOnModules, const zdl::CZDLID& device, zdl::CDeviceAddOnModuleMapList& list) {
  ElementCursor module = ElementCursor::Enter(addOnModules);
  module.RequireNotNull("At least one <addOnModule> is required if <addOnModules> is present.");
  for (; !module.AtEnd(); module.Advance()) {
    if (!module.Is("addOnModule")) module.ThrowFound("<addOnModule>");
    auto row = list.Insert();
    row->PutDeviceID(device);
    row->PutModuleIndex(ParseLong(RequireAttribute(module.node(), "index")));
    ElementCursor field = module.EnterCurrent();
    field.Expect("loadInformation", "<loadInformation>", "NULL element found. Expecting <loadInformation>.");
    row->PutSpecialLoadInformation(ValueOrEmpty(field.node()));
    field.Advance();
    field.Expect("phoneTemplateId", "<phoneTemplateId>", "NULL element found. Expecting <phoneTemplateId>.");
    row->PutPhoneTemplateID(ParseID(RequireValue(field.node(), ValueWording::kMustContain)));
  }
}

void ReplaceSpeeddialsAndModules(ElementCursor& cursor, const zdl::CZDLID& device, DeviceChildren& children) {
  if (cursor.Is("speeddials")) {
    children.speeddials.SelectByDeviceID(device);
    children.speeddials.DeleteAll();
    ReadSpeeddials(cursor.node(), device, children.speeddials);
    cursor.Advance();
  }
  if (cursor.Is("addOnModules")) {
    children.addOnModules.SelectByDeviceID(device);
    children.addOnModules.DeleteAll();
    ReadAddOnModules(cursor.node(), device, children.addOnModules);
    cursor.Advance();
  }
}

zdl::SmartItemPtr<zdl::CVoxbeam> SettingsOf(zdl::CVoxbeamList& list, const zdl::CZDLID& device, bool isNew) {
  if (!isNew) {
    list.SelectByDeviceID(device);
    if (list.Count() > 0) return list.GetCurrentItem();
  }
  auto settings = list.Insert();
  settings->PutDeviceID(device);
  return settings;
}

void ReadSubscribedServices(zdl::CZDLSession& session, XmlNode services, const zdl::CZDLID& device,
                            zdl::CVoxbeamSubscribedServiceList& list) {
  list.SelectByDeviceID(device);
  list.DeleteAll();
  ElementCursor service = ElementCursor::Enter(services);
  service.RequireNotNull("NULL element found, expecting <service>");
  for (; !service.AtEnd(); service.Advance()) {
    if (!service.Is("service")) service.ThrowFound("<service>");
    auto row = list.Insert();
    row->PutDeviceID(device);
    ElementCursor field = service.EnterCurrent();
    field.Expect("name", "<name>", "NULL element found, expecting <name>");
    row->PutServiceName(ValueOrEmpty(field.node()));
    field.Advance();
    field.Expect("url", "<url>", "NULL element found, expecting <url>");
    row->PutServiceURL(ValueOrEmpty(field.node()));
    field.Advance();
    field.RequireNotNull("NULL element found, expecting <voxbeamService> or <voxbeamServiceName>");
    if (field.Is("voxbeamService")) {
      row->PutVoxbeamServiceID(ParseID(RequireAttribute(field.node(), "uuid")));
    } else if (field.Is("voxbeamServiceName")) {
      row->PutVoxbeamServiceID(FindIdByName<zdl::CVoxbeamServiceList>(session, ValueOrEmpty(field.node()),
                                                                      "Voxbeam Service not found."));
    } else {
      field.ThrowFound("<voxbeamService> or <voxbeamServiceName>");
    }
  }
}

void ReadAddReference(zdl::CZDLSession& session, ElementCursor& cursor, zdl::CItem& record, const AddReference& form) {
  if (cursor.Is(form.element)) {
    record.SetValue(form.column, ParseID(RequireAttribute(cursor.node(), "uuid")));
  } else if (form.deprecatedElement && cursor.Is(form.deprecatedElement)) {
    throw CUnexpectedNodeException(form.deprecatedText);
  } else if (cursor.Is(form.nameElement)) {
    auto name = ValueOf(cursor.node());
    if (!name && form.emptyNameText) throw CInvalidValueException(form.emptyNameText);
    if (name) record.SetValue(form.column, form.find(session, *name, form.notFound));
  } else {
    return;
  }
  cursor.Advance();
}

void ReadUpdateReference(zdl::CZDLSession& session, ElementCursor& cursor, zdl::CItem& record,
                         const UpdateReference& form) {
  if (form.element && cursor.Is(form.element)) {
    if (auto uuid = AttributeOf(cursor.node(), "uuid")) record.SetValue(form.column, ParseID(*uuid));
  } else if (cursor.Is(form.idElement)) {
    record.SetValue(form.column, ParseID(ValueOrEmpty(cursor.node())));
  } else if (cursor.Is(form.nameElement)) {
    const std::string name = ValueOrEmpty(cursor.node());
    record.SetValue(form.column, name.empty() ? zdl::CZDLID() : form.find(session, name, form.notFound));
  } else {
    return;
  }
  cursor.Advance();
}

void ReadUpdateReferenceByIdOrName(zdl::CZDLSession& session, ElementCursor& cursor, zdl::CItem& record,
                                   UpdateReference form) {
  form.element = nullptr;
  ReadUpdateReference(session, cursor, record, form);
}

bool ReadRequiredReference(zdl::CZDLSession& session, ElementCursor& cursor, zdl::CItem& record,
                           const UpdateReference& form, ValueWording wording) {
  if (form.element && cursor.Is(form.element)) {
    record.SetValue(form.column, ParseID(RequireAttribute(cursor.node(), "uuid")));
  } else if (form.idElement && cursor.Is(form.idElement)) {
    record.SetValue(form.column, ParseID(RequireValue(cursor.node(), wording)));
  } else if (cursor.Is(form.nameElement)) {
    record.SetValue(form.column, form.find(session, RequireValue(cursor.node(), wording), form.notFound));
  } else {
    return false;
  }
  cursor.Advance();
  return true;
}

}  // namespace zeb
