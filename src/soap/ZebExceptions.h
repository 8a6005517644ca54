// The request errors of the ZEB API itself. Each carries a message, a name and a code; the SOAP
// layer turns any of them into a detailed fault with that code and message.
#pragma once

#include <cstdint>
#include <exception>
#include <string>

namespace zeb {

class CZEBException : public std::exception {
 public:
  CZEBException();
  explicit CZEBException(std::string message);
  ~CZEBException() override = default;

  const char* what() const noexcept override { return message_.c_str(); }
  virtual const std::string& GetMessage() const { return message_; }
  virtual int GetCode() const { return code_; }
  virtual const std::string& GetName() const { return name_; }

 protected:
  CZEBException(std::string name, int code, std::string message);

 private:
  std::string message_;
  std::string name_;
  int code_;
};

// "Unknown method: <name>", code 5002.
class CUnknownMethodException : public CZEBException {
 public:
  explicit CUnknownMethodException(const std::string& method);
};

// The given text unchanged, code 5003.
class CInvalidValueException : public CZEBException {
 public:
  explicit CInvalidValueException(std::string message);
};

// "Unexpected element. <text>", code 5005.
class CUnexpectedNodeException : public CZEBException {
 public:
  explicit CUnexpectedNodeException(const std::string& text);
};

// A failure of a component (XML parser) operation: an HRESULT-style code, a description and a
// source. The SOAP layer reports it as a Server fault.
class CComError : public std::exception {
 public:
  CComError(std::uint32_t code, std::string description, std::string source = "zebxml")
      : code_(code), description_(std::move(description)), source_(std::move(source)) {}
  std::uint32_t Error() const { return code_; }
  const std::string& Description() const { return description_; }
  const std::string& Source() const { return source_; }
  // The message text of the code (see ComErrorMessage).
  std::string ErrorMessage() const;
  const char* what() const noexcept override { return description_.c_str(); }

 private:
  std::uint32_t code_;
  std::string description_;
  std::string source_;
};

// Component error codes raised by the XML layer.
constexpr std::uint32_t kComNotInitialized = 0x800401F0u;  // escapes to the front end
constexpr std::uint32_t kComPointer = 0x80004003u;         // a node that is not there was used
constexpr std::uint32_t kComTypeMismatch = 0x80020005u;    // a value that is not text was read

// Message text of a component error code: the system's text for the codes this program knows;
// else "IDispatch error #%d" for codes 0x80040200..0x8004FFFF whose value minus 0x200 has
// non-zero low 16 bits; else "Unknown error 0x%0lX".
std::string ComErrorMessage(std::uint32_t code);

}  // namespace zeb
