// The service documents: the schema compiles with every method's elements, the WSDL describes
// every method, and the builder refuses fragments that would make a broken schema.
#include "wsdl/ServiceDocuments.h"

#include <gtest/gtest.h>

#include <libxml/parser.h>
#include <libxml/xpath.h>
#include <libxml/xpathInternals.h>

#include "dispatch/CreateHandler.h"
#include "support/SchemaValidator.h"

namespace zeb::wsdl {
namespace {

const std::string kFragmentStart =
    "<xsd:schema xmlns:xsd=\"http://www.w3.org/2001/XMLSchema\" xmlns:zeb=\"http://www.tarvo.com/ZEB/1.0\">";
const std::string kFragmentEnd = "</xsd:schema>";

std::string RequestType(const std::string& name) {
  return "<xsd:complexType name=\"" + name + "\"><xsd:sequence/></xsd:complexType>";
}

// The number of nodes the XPath expression selects in the document.
int Count(const std::string& document, const char* xpath) {
  xmlDocPtr doc = xmlReadMemory(document.data(), static_cast<int>(document.size()), nullptr, nullptr, XML_PARSE_NONET);
  if (!doc) return -1;
  xmlXPathContextPtr context = xmlXPathNewContext(doc);
  xmlXPathRegisterNs(context, reinterpret_cast<const xmlChar*>("w"),
                     reinterpret_cast<const xmlChar*>("http://schemas.xmlsoap.org/wsdl/"));
  xmlXPathRegisterNs(context, reinterpret_cast<const xmlChar*>("s"),
                     reinterpret_cast<const xmlChar*>("http://schemas.xmlsoap.org/wsdl/soap/"));
  xmlXPathObjectPtr result = xmlXPathEvalExpression(reinterpret_cast<const xmlChar*>(xpath), context);
  const int count = result && result->nodesetval ? result->nodesetval->nodeNr : 0;
  xmlXPathFreeObject(result);
  xmlXPathFreeContext(context);
  xmlFreeDoc(doc);
  return count;
}

TEST(ServiceDocumentsTest, SchemaCompilesWithARequestAndResponseElementPerMethod) {
  const ServiceDocuments& documents = Documents();
  // A method without its types, a reference to an undefined type or a content model that is
  // not deterministic makes the schema fail to compile.
  EXPECT_NO_THROW(test::SchemaValidator validator(documents.Schema()));
  const std::size_t methods = MethodTable().size();
  EXPECT_EQ(120u, methods);
  EXPECT_EQ(static_cast<int>(2 * methods + 1), Count(documents.Schema(), "/*/*[local-name()='element']"));
}

TEST(ServiceDocumentsTest, WsdlBindsEveryMethodAsDocumentLiteral) {
  const std::string wsdl = Documents().Wsdl("https://zeb.example:8443/QMSApi/ZEB/V1/");
  const int methods = static_cast<int>(MethodTable().size());
  EXPECT_EQ(methods, Count(wsdl, "/w:definitions/w:portType/w:operation[w:input and w:output and w:fault]"));
  EXPECT_EQ(methods, Count(wsdl, "/w:definitions/w:binding/w:operation[w:input/s:body/@use='literal']"));
  EXPECT_EQ(1, Count(wsdl, "//s:address[@location='https://zeb.example:8443/QMSApi/ZEB/V1/']"));
  EXPECT_NO_THROW(test::SchemaValidator validator(
      wsdl.substr(wsdl.find("<xsd:schema"), wsdl.find("</wsdl:types>") - wsdl.find("<xsd:schema"))));
}

TEST(ServiceDocumentsTest, AddressIsEscaped) {
  const std::string wsdl = Documents().Wsdl("http://h/\"<&>");
  EXPECT_NE(std::string::npos, wsdl.find("location=\"http://h/&quot;&lt;&amp;&gt;\""));
}

// What building from one fragment with this text says: "built", or the error.
std::string Refusal(const std::string& fragment, const std::vector<std::string>& methods) {
  try {
    ServiceDocuments({{"One.xsd", fragment}}, methods);
  } catch (const std::runtime_error& error) {
    return error.what();
  }
  return "built";
}

TEST(ServiceDocumentsTest, RefusesFragmentsThatWouldBreakTheSchema) {
  const std::string foo = RequestType("FooRequest");
  EXPECT_EQ("built", Refusal(kFragmentStart + foo + kFragmentEnd, {"foo"}));
  EXPECT_EQ("method bar has no type BarRequest", Refusal(kFragmentStart + foo + kFragmentEnd, {"foo", "bar"}));
  EXPECT_EQ("schema fragment One.xsd: type FooRequest is defined twice",
            Refusal(kFragmentStart + foo + foo + kFragmentEnd, {"foo"}));
  EXPECT_EQ("schema fragment One.xsd: not well-formed", Refusal(kFragmentStart + "<xsd:complexType>", {"foo"}));
  EXPECT_EQ("schema fragment One.xsd: namespace declaration 'x' other than xsd and zeb",
            Refusal("<xsd:schema xmlns:xsd=\"http://www.w3.org/2001/XMLSchema\" xmlns:x=\"urn:x\">" + foo +
                        kFragmentEnd,
                    {"foo"}));
}

}  // namespace
}  // namespace zeb::wsdl
