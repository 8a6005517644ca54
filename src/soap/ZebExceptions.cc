#include "soap/ZebExceptions.h"

#include <cstdio>

namespace zeb {

namespace {
const char kDefaultMessage[] = "No detailed exception information provided.";
}

CZEBException::CZEBException() : CZEBException("ZEBException", 5000, kDefaultMessage) {}

CZEBException::CZEBException(std::string message)
    : CZEBException("ZEBException", 5000, message.empty() ? kDefaultMessage : std::move(message)) {}

CZEBException::CZEBException(std::string name, int code, std::string message)
    : message_(std::move(message)), name_(std::move(name)), code_(code) {}

CUnknownMethodException::CUnknownMethodException(const std::string& method)
    : CZEBException("UnknownMethodException", 5002, "Unknown method: " + method) {}

CInvalidValueException::CInvalidValueException(std::string message)
    : CZEBException("InvalidValueException", 5003, std::move(message)) {}

CUnexpectedNodeException::CUnexpectedNodeException(const std::string& text)
    : CZEBException("UnexpectedNodeException", 5005, "Unexpected element. " + text) {}

std::string CComError::ErrorMessage() const { return ComErrorMessage(code_); }

std::string ComErrorMessage(std::uint32_t code) {
  switch (code) {
    case kComNotInitialized: return "The component system is not initialised on this thread.";
    case kComPointer: return "Invalid pointer";
    case kComTypeMismatch: return "Type mismatch.";
    case 0x8007000Eu: return "Not enough storage is available to complete this operation.";
    default: break;
  }
  char text[64];
  if (code >= 0x80040200u && code <= 0x8004FFFFu && ((code - 0x200u) & 0xFFFFu) != 0) {
    std::snprintf(text, sizeof text, "IDispatch error #%d", static_cast<int>((code - 0x200u) & 0xFFFFu));
  } else {
    std::snprintf(text, sizeof text, "Unknown error 0x%0lX", static_cast<unsigned long>(code));
  }
  return text;
}

}  // namespace zeb
