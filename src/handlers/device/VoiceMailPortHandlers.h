// addVoiceMailPort, updateVoiceMailPort, removeVoiceMailPort and getVoiceMailPort: one handler
// that picks the operation by the request element's name. A voice-mail port is a device of
// class 8 (product 27) with its line appearances.
#pragma once

#include "dispatch/CRequestHandler.h"
#include "dispatch/RequestReader.h"
#include "zdl/Records.h"

namespace zeb {

constexpr long kProductVoiceMailPort = 27;
constexpr long kClassVoiceMailPort = 8;

class CVoiceMailPortHandler : public CRequestHandler {
 public:
  using CRequestHandler::CRequestHandler;
  void Execute(XmlNode request, CXMLElement& result) override;

 private:
  // Reads <voiceMailPort> and writes the port with its line appearances in one transaction.
  void Add(XmlNode request, CXMLElement& result);
  // Changes the elements the request names; <line> replaces the port's line appearances.
  void Update(XmlNode request, CXMLElement& result);
  void Remove(XmlNode request, CXMLElement& result);
  // Answers the voiceMailPort element (rendering mode 3).
  void Get(XmlNode request, CXMLElement& result);

  // name .. protocolSide of an add request; the product, model and class are not stored.
  void ReadIdentity(ElementCursor& cursor, zdl::CDevice& device);
  // The calling search space, the required device pool and the optional references after it.
  void ReadReferences(ElementCursor& cursor, zdl::CDevice& device);
  // The references of an update, each optional, in their order.
  void ReadUpdateReferences(ElementCursor& cursor, zdl::CDevice& device);
  // The voice-mail port the request names (by <uuid> or <name>), refusing other devices.
  zdl::SmartItemPtr<zdl::CDevice> FindPort(ElementCursor& cursor, zdl::CDeviceList& devices,
                                           const Identification& how);
};

}  // namespace zeb
