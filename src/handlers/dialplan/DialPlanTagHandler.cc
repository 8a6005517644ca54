#include "handlers/dialplan/DialPlanTagHandler.h"

#include "builders/CXMLDialPlan.h"
#include "handlers/ElementTables.h"
#include "handlers/RequestReader.h"
#include "handlers/dialplan/DialPlanHandler.h"
#include "zdl/base/Dialect.h"

namespace zeb {

namespace {

const char kUpdateNotFound[] = "Dial Plan Tag not found.";
const char kNotFound[] = "The specified dial plan tag was not found.";

// Selects the tags named name. One name may be a tag of several dial plans: the tag of the plan
// whose name sorts first (without regard to case, as names are compared) comes first, a tag
// without a plan before all, so that every look-up by name picks the same tag.
void SelectTagsByName(zdl::CDialPlanTagList& tags, const std::string& name) {
  tags.SelectWhere(tags.session().dialect().Equals("Tag", true), {name},
                   "COALESCE((SELECT LOWER(Name) FROM DialPlan WHERE DialPlan.pkid = DialPlanTag.fkDialPlan), '')");
}

// A tag list that the shared identification can select by name: a tag's name is its "Tag".
class TagsByName : public zdl::CDialPlanTagList {
 public:
  using CDialPlanTagList::CDialPlanTagList;
  void SelectByName(const std::string& name) { SelectTagsByName(*this, name); }
};

Identification TagIdentification(FamilyOperation operation) {
  return FamilyIdentification(operation, kUpdateNotFound, kNotFound);
}

// The "uuid" attribute of a "dialPlan" element.
zdl::CZDLID ReadDialPlanUuid(XmlNode element) {
  if (!element.HasAttributes()) throw CInvalidValueException("The \"uuid\" attribute of <dialPlan> cannot be NULL.");
  auto uuid = AttributeOf(element, "uuid");
  if (!uuid) throw CInvalidValueException("The element, <dialPlan>, must contain a \"uuid\" attribute.");
  return ParseID(*uuid);
}

}  // namespace

const ElementTable kDialPlanTagElements = {
    "addDialPlanTag", "updateDialPlanTag", "getDialPlanTag",
    Join({NamedRecordRows(zdl::DialPlanTagCols::kTag),
          {
              Choice({{"dialPlan", Form::kUuid}, {"dialPlanName", Form::kName, kInAdd}}, kReq, kOpt),
              Custom("operator", Form::kValue, kReq, kOpt),
              WithEmpty(Optional("suppressFromRouteFilter", Kind::kBoolean,
                                 zdl::DialPlanTagCols::kSuppressFromRouteFilter, kOpt, kOpt),
                        IfEmpty::kLeave, IfEmpty::kMustContain),
          }})};

zdl::SmartItemPtr<zdl::CDialPlanTag> FindTagByName(zdl::CZDLSession& session, const std::string& name,
                                                   const zdl::CZDLID& preferred, const std::string& notFound) {
  zdl::CDialPlanTagList tags(session);
  SelectTagsByName(tags, name);
  if (tags.Count() == 0) ThrowNotFound(notFound);
  for (std::size_t i = 0; i < tags.Count(); ++i) {
    if (tags.GetItem(i)->GetDialPlanID() == preferred) return tags.GetItem(i);
  }
  return tags.GetItem(0);
}

zdl::SmartItemPtr<zdl::CDialPlanTag> FindTagById(zdl::CZDLSession& session, const zdl::CZDLID& id,
                                                 const std::string& notFound) {
  zdl::CDialPlanTagList tags(session);
  tags.SelectByID(id);
  if (tags.Count() == 0) ThrowNotFound(notFound);
  return tags.GetItem(0);
}

long TagOperatorNumber(const std::string& text) {
  if (text == "NOT-SELECTED") return 0;
  if (text == "EXISTS") return 1;
  if (text == "DOES-NOT-EXIST") return 2;
  return 3;
}

void CDialPlanTagHandler::Add(XmlNode request, CXMLElement& result) {
  ElementCursor wrapper = ElementCursor::Enter(request);
  wrapper.RequireNotNull("Found NULL, expecting <dialPlanTag>");
  zdl::CDialPlanTagList list(db());
  auto tag = list.Insert();
  tag->PutSuppressFromRouteFilter(false);
  ElementCursor cursor = wrapper.EnterCurrent();
  tag->PutTag(ReadAddName(cursor));
  cursor.RequireNotNull("NULL element found. Expecting <dialPlan> or <dialPlanName>");
  if (cursor.Is("dialPlan")) {
    tag->PutDialPlanID(ReadDialPlanUuid(cursor.node()));
  } else if (cursor.Is("dialPlanName")) {
    const std::string name = RequireValue(cursor.node(), ValueWording::kMustContain);
    tag->PutDialPlanID(FindIdByName<zdl::CDialPlanList>(db(), name, "Dial Plan not found."));
  } else {
    cursor.ThrowFound("<dialPlan> or <dialPlanName>");
  }
  cursor.Advance();
  cursor.Expect("operator", "<operator>", "NULL element found. Expecting <operator>");
  tag->PutMaxOperator(TagOperatorNumber(RequireValue(cursor.node(), ValueWording::kMustContain)));
  cursor.Advance();
  ReadValues(cursor, kDialPlanTagElements, Shape::kAdd, "suppressFromRouteFilter", *tag);
  list.Update();
  Return(result, tag->GetID());
}

void CDialPlanTagHandler::Update(XmlNode request, CXMLElement& result) {
  ElementCursor cursor = ElementCursor::Enter(request);
  TagsByName list(db());
  Identify(cursor, list, TagIdentification(FamilyOperation::kUpdate));
  auto tag = list.GetCurrentItem();
  ReadValues(cursor, kDialPlanTagElements, Shape::kUpdate, "newName", *tag);
  if (cursor.Is("dialPlan")) {
    tag->PutDialPlanID(ReadDialPlanUuid(cursor.node()));
    cursor.Advance();
  }
  if (cursor.Is("operator")) {
    tag->PutMaxOperator(TagOperatorNumber(RequireValue(cursor.node(), ValueWording::kMustContain)));
    cursor.Advance();
  }
  ReadValues(cursor, kDialPlanTagElements, Shape::kUpdate, "suppressFromRouteFilter", *tag);
  cursor.RequireEnd();
  list.Update();
  Return(result, tag->GetID());
}

void CDialPlanTagHandler::Remove(XmlNode request, CXMLElement& result) {
  ElementCursor cursor = ElementCursor::Enter(request);
  Return(result, RemoveIdentified<TagsByName>(db(), cursor, TagIdentification(FamilyOperation::kRemove)));
}

void CDialPlanTagHandler::Get(XmlNode request, CXMLElement& result) {
  ElementCursor cursor = ElementCursor::Enter(request);
  const zdl::CZDLID id = IdentifiedID<TagsByName>(db(), cursor, TagIdentification(FamilyOperation::kGet));
  CXMLElement holder;
  holder.AddNewChild<CXMLDialPlanTag>()->BuildFromDatabase(db(), id);
  ReturnChildren(result, holder);
}

}  // namespace zeb
