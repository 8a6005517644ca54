#include "handlers/system/LocationHandler.h"

#include "builders/CXMLLocation.h"
#include "handlers/RequestReader.h"
#include "zdl/Records.h"

namespace zeb {

namespace {

const char kNotFound[] = "The specified Location was not found.";

}  // namespace

void CLocationHandler::Add(XmlNode request, CXMLElement& result) {
  ElementCursor wrapper = ElementCursor::Enter(request);
  wrapper.RequireNotNull("Found NULL, expecting <location>");
  zdl::CLocationList list(db());
  auto location = list.Insert();
  ElementCursor cursor = wrapper.EnterCurrent();
  location->PutName(ReadAddName(cursor));
  // The location number is the library's to assign; the one given is read past.
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
  if (cursor.Is("newName")) {
    location->PutName(RequireValue(cursor.node(), ValueWording::kMustContain));
    cursor.Advance();
  }
  if (cursor.Is("kbits")) {
    location->PutKbits(ParseLong(RequireValue(cursor.node(), ValueWording::kMustContain)));
    cursor.Advance();
  }
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
