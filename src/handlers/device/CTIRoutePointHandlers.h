// addCTIRoutePoint, updateCTIRoutePoint, removeCTIRoutePoint and getCTIRoutePoint: one handler
// that picks the operation by the request element's name. A CTI route point is a device of
// class 10 (product 26) with line appearances.
#pragma once

#include "dispatch/CRequestHandler.h"
#include "dispatch/RequestReader.h"
#include "zdl/Records.h"

namespace zeb {

constexpr long kProductCTIRoutePoint = 26;
constexpr long kClassCTIRoutePoint = 10;

class CCTIRoutePointHandler : public CRequestHandler {
 public:
  using CRequestHandler::CRequestHandler;
  void Execute(XmlNode request, CXMLElement& result) override;

 private:
  // Reads the route point and writes it with its line appearances in one transaction.
  void Add(XmlNode request, CXMLElement& result);
  // Changes the elements the request names; <lines> replaces the line appearances.
  void Update(XmlNode request, CXMLElement& result);
  void Remove(XmlNode request, CXMLElement& result);
  // Answers the routePoint element.
  void Get(XmlNode request, CXMLElement& result);

  // name .. protocolSide; the product, model and class are required but not stored.
  void ReadIdentity(ElementCursor& cursor, zdl::CDevice& device);
  // The calling search space, the required device pool, the location, then the elements that
  // are accepted and skipped, and traceFlag.
  void ReadReferencesAndSettings(ElementCursor& cursor, zdl::CDevice& device);
  // The <lines> element at the cursor, when there is one, replacing the device's appearances.
  void ReadLinesElement(ElementCursor& cursor, const zdl::CZDLID& device, zdl::CDeviceNumPlanMapList& lines);
  // The route point the request names (by <name> or <uuid>), with notFound when the identifier
  // names no device, refusing other devices.
  zdl::SmartItemPtr<zdl::CDevice> FindRoutePoint(ElementCursor& cursor, zdl::CDeviceList& devices,
                                                 const Identification& how);
};

}  // namespace zeb
