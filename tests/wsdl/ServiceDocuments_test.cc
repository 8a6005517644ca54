// The service documents: the schema compiles with every method's elements, the WSDL binds every
// method, and the builder refuses fragments that would make a broken schema.
#include "wsdl/ServiceDocuments.h"

#include <gtest/gtest.h>

#include <set>

#include "dispatch/MethodTable.h"
#include "support/SchemaValidator.h"

namespace zeb::wsdl {
namespace {

int Count(const std::string& text, const std::string& what) {
  int count = 0;
  for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++count;
  return count;
}

// The quoted values that follow each occurrence of prefix (for example the names of elements).
std::multiset<std::string> Values(const std::string& text, const std::string& prefix) {
  std::multiset<std::string> values;
  for (std::size_t at = text.find(prefix); at != std::string::npos; at = text.find(prefix, at + 1)) {
    const std::size_t start = at + prefix.size();
    values.insert(text.substr(start, text.find('"', start) - start));
  }
  return values;
}

TEST(ServiceDocumentsTest, EveryMethodHasItsElementsAndOperationInDocumentsThatCompile) {
  const ServiceDocuments& documents = Documents();
  // A method without its types, a reference to an undefined type or a content model that is not
  // deterministic stops the schema from compiling.
  EXPECT_NO_THROW(test::SchemaValidator validator(documents.Schema()));
  const std::string wsdl = documents.Wsdl("https://zeb.example:8443/QMSApi/ZEB/V1/");
  const std::string embedded = wsdl.substr(wsdl.find("<xsd:schema"), wsdl.find("</wsdl:types>") - wsdl.find("<xsd:schema"));
  EXPECT_NO_THROW(test::SchemaValidator validator(embedded));
  const auto elements = Values(documents.Schema(), "\n  <xsd:element name=\"");
  const auto operations = Values(wsdl, "<wsdl:operation name=\"");
  for (const MethodEntry& method : MethodTable()) {
    const std::string name = method.name;
    EXPECT_EQ(1u, elements.count(name)) << name;
    EXPECT_EQ(1u, elements.count(name + "Response")) << name;
    EXPECT_EQ(2u, operations.count(name)) << name;  // in the port type and in the binding
  }
  EXPECT_EQ(120u, MethodTable().size());
  EXPECT_EQ(120, Count(wsdl, "<wsdl:input><soap:body use=\"literal\"/></wsdl:input>"));
  EXPECT_EQ(1, Count(wsdl, "<soap:address location=\"https://zeb.example:8443/QMSApi/ZEB/V1/\"/>"));
  EXPECT_EQ(1, Count(documents.Wsdl("http://h/\"<&>"), "location=\"http://h/&quot;&lt;&amp;&gt;\""));
}

// What building from one fragment with this text says: "built", or the error.
std::string Refusal(const std::string& body, const std::vector<std::string>& methods,
                    const std::string& start = "xmlns:zeb=\"http://www.tarvo.com/ZEB/1.0\"") {
  try {
    ServiceDocuments({{"One.xsd", "<xsd:schema xmlns:xsd=\"http://www.w3.org/2001/XMLSchema\" " + start + ">" +
                                      body + "</xsd:schema>"}},
                     methods);
  } catch (const std::runtime_error& error) {
    return error.what();
  }
  return "built";
}

TEST(ServiceDocumentsTest, RefusesFragmentsThatWouldBreakTheSchema) {
  const std::string foo = "<xsd:complexType name=\"FooRequest\"><xsd:sequence/></xsd:complexType>";
  EXPECT_EQ("built", Refusal(foo, {"foo"}));
  EXPECT_EQ("method bar has no type BarRequest", Refusal(foo, {"foo", "bar"}));
  EXPECT_EQ("schema fragment One.xsd: type FooRequest is defined twice", Refusal(foo + foo, {"foo"}));
  EXPECT_EQ("schema fragment One.xsd: not well-formed", Refusal("<xsd:complexType>", {"foo"}));
  EXPECT_EQ("schema fragment One.xsd: namespace declaration 'x' other than xsd and zeb",
            Refusal(foo, {"foo"}, "xmlns:x=\"urn:x\""));
}

}  // namespace
}  // namespace zeb::wsdl
