// Checks XML against the service schema with libxml2's schema validator: a response body (the
// whole envelope: its response element or, in a detailed fault, the error record) or a request's
// request element.
#pragma once

#include <memory>
#include <string>

namespace zeb::test {

class SchemaValidator {
 public:
  // Compiles the schema document. Throws std::runtime_error with libxml2's messages when it is
  // not a valid schema.
  explicit SchemaValidator(const std::string& schemaText);
  ~SchemaValidator();
  SchemaValidator(const SchemaValidator&) = delete;
  SchemaValidator& operator=(const SchemaValidator&) = delete;

  // "" when the response envelope is well-formed, has the SOAP shape, and its body's element
  // (or a fault's detail) is valid; otherwise what is wrong.
  std::string CheckResponse(const std::string& envelope) const;
  // "" when the request envelope's request element is valid as the server reads it: by local
  // names, without looking at namespaces. So the request element is checked in the service
  // namespace and everything in it unqualified, whatever prefixes the request wrote.
  std::string CheckRequest(const std::string& envelope) const;

 private:
  struct Compiled;
  std::unique_ptr<Compiled> compiled_;
};

}  // namespace zeb::test
