#include "handlers/system/RegionHandler.h"

#include "builders/CXMLDevicePool.h"
#include "handlers/ElementTables.h"
#include "handlers/RequestReader.h"
#include "zdl/Records.h"

namespace zeb {

namespace {

Identification ByUuidOrName(ValueWording nameWording) {
  return ByNameOrUuid("Found NULL, expecting <uuid> or <name>", nameWording,
                      "The specified Region was not found.");
}

}  // namespace

// A region's update is the update of one entry of the region matrix.
const ElementTable kRegionElements = {"addRegion",
                                      "updateRegionMatrix",
                                      "getRegion",
                                      {
                                          IdentifiedBy("uuid", "name", kNo, kReq),
                                          Custom("uuid", Form::kId, kNo, kReq),
                                          Custom("name", Form::kValue, kReq, kNo),
                                          Custom("bandwidth", Form::kValue, kNo, kReq),
                                      }};

void CRegionHandler::Add(XmlNode request, CXMLElement& result) {
  ElementCursor wrapper = ElementCursor::Enter(request);
  wrapper.RequireNotNull("Found NULL, expecting <region>");
  zdl::CRegionList list(db());
  auto region = list.Insert();
  ElementCursor cursor = wrapper.EnterCurrent();
  region->PutName(ReadAddName(cursor));
  list.Update();
  Return(result, region->GetID());
}

void CRegionHandler::UpdateMatrix(XmlNode request, CXMLElement& result) {
  ElementCursor cursor = ElementCursor::Enter(request);
  cursor.Expect("uuid", "<uuid>", "Found NULL, expecting <uuid>");
  zdl::CRegionMatrixList list(db());
  list.SelectByID(ParseID(RequireValue(cursor.node(), ValueWording::kMustHave)));
  if (list.Count() == 0) ThrowNotFound("Region Matrix not found.");
  cursor.Advance();
  cursor.Expect("bandwidth", "<bandwidth>", "NULL element found, expecting <bandwidth>");
  auto entry = list.GetCurrentItem();
  entry->PutBandwidthEnum(
      TypeEnum(db(), "TypeBandwidth", RequireValue(cursor.node(), ValueWording::kMustContain)));
  list.Update();
  Return(result, entry->GetID());
}

void CRegionHandler::Remove(XmlNode request, CXMLElement& result) {
  ElementCursor cursor = ElementCursor::Enter(request);
  Return(result, RemoveIdentified<zdl::CRegionList>(db(), cursor, ByUuidOrName(ValueWording::kMustHave)));
}

void CRegionHandler::Get(XmlNode request, CXMLElement& result) {
  ElementCursor cursor = ElementCursor::Enter(request);
  zdl::CRegionList list(db());
  Identify(cursor, list, ByUuidOrName(ValueWording::kMustContain));
  CXMLElement holder;
  holder.AddNewChild<CXMLRegion>()->BuildFromDatabase(db(), list.GetCurrentItem()->GetID(),
                                                      RenderMode::kFull);
  ReturnChildren(result, holder);
}

}  // namespace zeb
