// The CTI route point and voice-mail port methods: add, update, remove and get of devices whose
// only children are their line appearances, served by one family class with the kind (its
// product and device class). The two kinds read their add and update requests by rules of their own.
#pragma once

#include "handlers/CRequestHandler.h"
#include "handlers/RequestReader.h"
#include "zdl/Records.h"
#include "zdl/TypeEnums.h"

namespace zeb {

struct LineDeviceKind {
  bool routePoint;  // true: the CTI route point's request rules; false: the voice-mail port's
  zdl::Product product;
  zdl::DeviceClass deviceClass;
  const char* wrapperNull;  // thrown when the add request has no element child
  const char* lookupNull;   // thrown when a remove or get request has no element child
  const char* updateNotFound;
  const char* removeNotFound;
  const char* getNotFound;
  const char* nameNotFound;  // a name that names no device; null: the not-found of the method
  const char* wrongClass;    // the device named is of another class
  // Builds the kind's element (rendering mode kFull) of a device into holder.
  void (*build)(CXMLElement& holder, zdl::CZDLSession& session, const zdl::CZDLID& id,
                const std::string& versionStamp);
};

extern const LineDeviceKind kCTIRoutePoint;
extern const LineDeviceKind kVoiceMailPort;

class CLineDeviceHandler : public CRequestHandler {
 public:
  CLineDeviceHandler(RequestContext& context, const LineDeviceKind& kind)
      : CRequestHandler(context), kind_(kind) {}
  // Reads the add request and writes the device with its line appearances in one transaction.
  HandlerOperation Add;
  // Changes the elements the request names; <lines> (route point) or <line> (port) replaces the
  // device's line appearances.
  HandlerOperation Update;
  HandlerOperation Remove, Get;

 private:
  // The device the request names (by <uuid> or <name>), refusing devices of another class.
  zdl::SmartItemPtr<zdl::CDevice> Find(ElementCursor& cursor, zdl::CDeviceList& devices, const char* nullText,
                                       const char* notFound);

  // --- the route point's rules ---
  // name .. protocolSide; the product, model and class are required but not stored.
  void ReadRoutePointIdentity(ElementCursor& cursor, zdl::CDevice& device);
  // The calling search space, the required device pool, the location, then the elements that
  // are accepted and skipped, and traceFlag.
  void ReadRoutePointReferences(ElementCursor& cursor, zdl::CDevice& device);
  void ReadRoutePointUpdateReferences(ElementCursor& cursor, zdl::CDevice& device);
  // The <lines> element at the cursor, when there is one, replacing the device's appearances.
  void ReadLinesElement(ElementCursor& cursor, const zdl::CZDLID& device, zdl::CDeviceNumPlanMapList& lines);

  // --- the voice-mail port's rules ---
  void ReadPortIdentity(ElementCursor& cursor, zdl::CDevice& device);
  // The calling search space, the required device pool and the optional references after it.
  void ReadPortReferences(ElementCursor& cursor, zdl::CDevice& device);
  // The references of an update, each optional, in their order.
  void ReadPortUpdateReferences(ElementCursor& cursor, zdl::CDevice& device);

  const LineDeviceKind& kind_;
};

}  // namespace zeb
