#include "handlers/system/LocationHandler.h"

#include "builders/CXMLLocation.h"
#include "handlers/ElementTables.h"
#include "handlers/RequestReader.h"
#include "zdl/Records.h"

namespace zeb {

namespace {

const char kNotFound[] = "The specified Location was not found.";

}  // namespace

const ElementTable kLocationElements = {
    "addLocation", "updateLocation", "getLocation",
    Join({NamedRecordRows(zdl::LocationCols::kName),
          {
              // The location number is the library's to assign; the one given is read past.
              Optional("id", Kind::kSkipped, -1, kReq, kNo),
              WithEmpty(Optional("kbits", Kind::kNumber, zdl::LocationCols::kKbits, kReq, kOpt),
                        IfEmpty::kMustContain, IfEmpty::kMustContain),
          }})};

void CLocationHandler::Add(XmlNode request, CXMLElement& result) {
  ElementCursor wrapper = ElementCursor::Enter(request);
  wrapper.RequireNotNull("Found NULL, expecting <location>");
  zdl::CLocationList list(db());
  auto location = list.Insert();
  ElementCursor cursor = wrapper.EnterCurrent();
  location->PutName(ReadAddName(cursor));
  cursor.Expect("id", "<id>", "NULL element found. Expecting <id>.");
  cursor.Advance();
  cursor.Expect("kbits", "<kbits>", "NULL element found. Expecting <kbits>.");
  location->PutKbits(ParseLong(RequireValue(cursor.node(), ValueWording::kMustContain)));
  list.Update();
  Return(result, location->GetID());
}

void CLocationHandler::Update(XmlNode request, CXMLElement& result) {
  ElementCursor cursor = ElementCursor::Enter(request);
  zdl::CLocationList list(db());
  Identify(
      cursor, list,
      ByNameOrUuid("Found NULL, expecting <name> or <uuid>", ValueWording::kMustHave, "Location not found."));
  auto location = list.GetCurrentItem();
  ReadValues(cursor, kLocationElements, Shape::kUpdate, "newName", *location);
  list.Update();
  Return(result, location->GetID());
}

void CLocationHandler::Remove(XmlNode request, CXMLElement& result) {
  ElementCursor cursor = ElementCursor::Enter(request);
  Return(result, RemoveIdentified<zdl::CLocationList>(db(), cursor,
                                                      ByNameOrUuid("Found NULL, expecting <uuid> or <name>",
                                                                   ValueWording::kMustHave, kNotFound)));
}

void CLocationHandler::Get(XmlNode request, CXMLElement& result) {
  ElementCursor cursor = ElementCursor::Enter(request);
  zdl::CLocationList list(db());
  Identify(cursor, list,
           ByNameOrUuid("Found NULL, expecting <uuid> or <name>", ValueWording::kMustContain, kNotFound));
  CXMLElement holder;
  holder.AddNewChild<CXMLLocation>()->BuildFromDatabase(db(), list.GetCurrentItem()->GetID(),
                                                        RenderMode::kFull);
  ReturnChildren(result, holder);
}

}  // namespace zeb
