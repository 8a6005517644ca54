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
  // The schema served alone is compiled by every end-to-end test that validates a response; the
  // one embedded in the WSDL is compiled here.
  const ServiceDocuments& documents = Documents();
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
  // One name, one component: a group may not share its name with a type.
  EXPECT_EQ("schema fragment One.xsd: complexType Foo has the name of a group",
            Refusal("<xsd:group name=\"Foo\"><xsd:sequence/></xsd:group><xsd:complexType name=\"Foo\"/>" + foo,
                    {"foo"}));
  EXPECT_EQ("method element foo has the name of a complexType",
            Refusal(foo + "<xsd:complexType name=\"foo\"/>", {"foo"}));
  EXPECT_EQ("no group named Missing",
            Refusal("<xsd:complexType name=\"FooRequest\"><xsd:group ref=\"zeb:Missing\"/></xsd:complexType>",
                    {"foo"}));
  EXPECT_EQ("schema fragment One.xsd: not well-formed", Refusal("<xsd:complexType>", {"foo"}));
  EXPECT_EQ("schema fragment One.xsd: namespace declaration 'x' other than xsd and zeb",
            Refusal(foo, {"foo"}, "xmlns:x=\"urn:x\""));
}

// Group and attribute group references are replaced by what the groups hold (also groups in
// groups, and the occurrence bounds of a reference), and the definitions are left out.
TEST(ServiceDocumentsTest, ServedDocumentsHoldNoGroups) {
  const ServiceDocuments documents(
      {{"One.xsd",
        "<xsd:schema xmlns:xsd=\"http://www.w3.org/2001/XMLSchema\" xmlns:zeb=\"http://www.tarvo.com/ZEB/1.0\">\n"
        "  <!-- The sequence attribute. -->\n"
        "  <xsd:attributeGroup name=\"Seq\"><xsd:attribute name=\"sequence\" type=\"xsd:int\"/></xsd:attributeGroup>\n"
        "  <xsd:group name=\"Inner\"><xsd:sequence><xsd:element name=\"b\" type=\"xsd:string\"/></xsd:sequence>"
        "</xsd:group>\n"
        "  <xsd:group name=\"Outer\"><xsd:choice><xsd:element name=\"a\" type=\"xsd:string\"/>"
        "<xsd:group ref=\"zeb:Inner\"/></xsd:choice></xsd:group>\n"
        "  <xsd:complexType name=\"FooRequest\"><xsd:sequence><xsd:group ref=\"zeb:Outer\" minOccurs=\"0\"/>"
        "</xsd:sequence><xsd:attributeGroup ref=\"zeb:Seq\"/></xsd:complexType>\n"
        "  <xsd:complexType name=\"StandardResponse\"/>\n"
        "</xsd:schema>"}},
      {"foo"});
  const std::string& schema = documents.Schema();
  EXPECT_EQ(std::string::npos, schema.find("group")) << schema;
  EXPECT_EQ(std::string::npos, schema.find("The sequence attribute")) << schema;
  EXPECT_NE(std::string::npos,
            schema.find("<xsd:complexType name=\"FooRequest\"><xsd:sequence><xsd:choice minOccurs=\"0\">"
                        "<xsd:element name=\"a\" type=\"xsd:string\"/><xsd:sequence><xsd:element name=\"b\" "
                        "type=\"xsd:string\"/></xsd:sequence></xsd:choice></xsd:sequence><xsd:attribute "
                        "name=\"sequence\" type=\"xsd:int\"/></xsd:complexType>"))
      << schema;
  EXPECT_NO_THROW(test::SchemaValidator validator(schema));
}

}  // namespace
}  // namespace zeb::wsdl
