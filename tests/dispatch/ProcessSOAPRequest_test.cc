#include "dispatch/ProcessSOAPRequest.h"

#include <gtest/gtest.h>

#include "soap/ZebExceptions.h"
#include "support/SoapText.h"

namespace zeb {
namespace {

using test::Envelope;
using test::FaultEnvelope;
using test::PlainFault;
using test::RequestEnvelope;

std::string Process(const std::string& text) {
  zdl::CGenericBuffer buffer(20480);
  RequestContext context;
  const long length = ProcessSOAPRequest(text.c_str(), buffer, context);
  EXPECT_EQ(static_cast<long>(buffer.GetLength()), length);
  return buffer.str();
}

std::string ClientFault(const std::string& text) { return Envelope(PlainFault("SOAP-ENV:Client", text)); }

TEST(ProcessSOAPRequestTest, SequenceIsEchoedAsSigned32BitDecimal) {
  struct Case {
    const char* attribute;
    const char* echoed;
  } cases[] = {{"7", "7"},          {"12abc", "12"},         {"", "0"},        {"  42", "42"},
               {"4294967295", "-1"}, {"99999999999", "-1"}, {"2147483648", "-2147483648"},
               {"-1", "-1"},         {"abc", "0"}};
  for (const Case& c : cases) {
    const std::string request = std::string("<fooBar sequence=\"") + c.attribute + "\"/>";
    EXPECT_EQ(FaultEnvelope("localhost", "fooBar", 5002, "Unknown method: fooBar", c.echoed),
              Process(RequestEnvelope(request)))
        << c.attribute;
  }
}

TEST(ProcessSOAPRequestTest, MethodNamesAreCaseSensitiveAndExact) {
  for (const char* name : {"AddPhone", "getphone"}) {
    EXPECT_EQ(FaultEnvelope("localhost", name, 5002, std::string("Unknown method: ") + name),
              Process(RequestEnvelope(std::string("<") + name + "/>")));
  }
}

// Any prefix or none, declared or not; comments, processing instructions and a header are
// skipped; the encoding declaration is ignored, the text is UTF-8.
TEST(ProcessSOAPRequestTest, EnvelopeIsFoundWhateverItsPrefixesAndWhatSurroundsIt) {
  const std::string expected = FaultEnvelope("localhost", "fooBar", 5002, "Unknown method: fooBar");
  EXPECT_EQ(expected, Process("<Envelope><Body><fooBar/></Body></Envelope>"));
  EXPECT_EQ(expected, Process("<s:Envelope><s:Body><zeb:fooBar/></s:Body></s:Envelope>"));
  EXPECT_EQ(FaultEnvelope("localhost", "caf\xc3\xa9", 5002, "Unknown method: caf\xc3\xa9"),
            Process("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><!-- before --><?pi data?>\n<Envelope>\n<!-- c -->"
                    "<Header><a/></Header><?pi?><!-- between --><Body>\n  <!-- x --><caf\xc3\xa9/><third/></Body>"
                    "</Envelope>"));
}

TEST(ProcessSOAPRequestTest, EnvelopeShapeFaults) {
  const std::string noBody = ClientFault("SOAP Body element not found!");
  EXPECT_EQ(ClientFault("SOAP Envelope element not found!"), Process("<Envelop><Body><fooBar/></Body></Envelop>"));
  EXPECT_EQ(noBody, Process("<Envelope/>"));
  EXPECT_EQ(noBody, Process("<Envelope><Header/><Other/><Body><fooBar/></Body></Envelope>"));
  EXPECT_EQ(ClientFault("No request method found in SOAP Body!"),
            Process("<Envelope><Body> text only <!-- c --></Body></Envelope>"));
}

// Invalid bytes in the quoted source line become replacement characters.
TEST(ProcessSOAPRequestTest, ParseErrorsNameLineColumnCodeAndSourceLine) {
  EXPECT_EQ(ClientFault("\n&lt;![CDATA[\nAn error occured during parsing\n   Message: Document is empty\n"
                        "Source = Line : 1, Char : 1\nCode : c00ce004, Source Text : \n]]&gt;\n"),
            Process(""));
  EXPECT_EQ(
      ClientFault("\n&lt;![CDATA[\nAn error occured during parsing\n   Message: Opening and ending tag "
                  "mismatch: b line 2 and a\nSource = Line : 2, Char : 9\nCode : c00ce04c, Source Text :  "
                  "&lt;b&gt;&lt;/a&gt;\n]]&gt;\n"),
      Process("<Envelope>\n <b></a>\n</Envelope>"));
  // "<?xml version="1.0"?><Envelope><Body><fooBar/></Body></Envelope>" in EBCDIC (code page 37),
  // whose first bytes the parser would take for that encoding, is read as UTF-8 all the same.
  EXPECT_NE(std::string::npos,
            Process("\x4c\x6f\xa7\x94\x93\x40\xa5\x85\x99\xa2\x89\x96\x95\x7e\x7f\xf1\x4b\xf0\x7f\x6f\x6e\x4c"
                    "\xc5\x95\xa5\x85\x93\x96\x97\x85\x6e\x4c\xc2\x96\x84\xa8\x6e\x4c\x86\x96\x96\xc2\x81\x99"
                    "\x61\x6e\x4c\x61\xc2\x96\x84\xa8\x6e\x4c\x61\xc5\x95\xa5\x85\x93\x96\x97\x85\x6e")
                .find("Message: Start tag expected, &apos;&lt;&apos; not found\nSource = Line : 1, Char : 1\n"));
  EXPECT_NE(
      std::string::npos,
      Process("<Envelope><Body>\xFF</Body></Envelope>")
          .find("Source Text : &lt;Envelope&gt;&lt;Body&gt;\xEF\xBF\xBD&lt;/Body&gt;&lt;/Envelope&gt;\n"));
}

// A long request on one line is parsed whole, and one cut short is reported where it ends: the
// parser reads the text from memory with no callback for more input.
TEST(ProcessSOAPRequestTest, LongOneLineRequestsAndTheirTruncations) {
  std::string items;
  for (int i = 0; i < 40; ++i) {
    const std::string n = std::to_string(i);
    items += "<item n=\"" + n + "\" kind=\"k" + n + "\">value " + n + "</item>";
  }
  const std::string request =
      "<SOAP-ENV:Envelope xmlns:SOAP-ENV=\"http://schemas.xmlsoap.org/soap/envelope/\">"
      "<SOAP-ENV:Body><fooBar sequence=\"3\">" +
      items + "</fooBar></SOAP-ENV:Body></SOAP-ENV:Envelope>";
  EXPECT_EQ(FaultEnvelope("localhost", "fooBar", 5002, "Unknown method: fooBar", "3"), Process(request));
  struct Case {
    std::size_t cut;
    const char* error;
  } cases[] = {
      {request.size() - 30,
       "Message: expected &apos;&gt;&apos;\nSource = Line : 1, Char : %zu\nCode : c00ce049"},
      {700,
       "Message: Premature end of data in tag item line 1\nSource = Line : 1, Char : %zu\nCode : c00ce04d"},
  };
  for (const Case& c : cases) {
    char expected[160];
    std::snprintf(expected, sizeof expected, c.error, c.cut + 1);
    EXPECT_NE(std::string::npos, Process(request.substr(0, c.cut)).find(expected)) << expected;
  }
}

TEST(ProcessSOAPRequestTest, DocumentTypesAndUndefinedEntitiesAreRefused) {
  const std::string laughs =
      "<?xml version=\"1.0\"?>\n<!DOCTYPE lolz [<!ENTITY lol \"lol\"><!ENTITY lol2 \"&lol;&lol;&lol;\">]>\n"
      "<Envelope><Body><fooBar>&lol2;</fooBar></Body></Envelope>";
  const std::string response = Process(laughs);
  EXPECT_NE(std::string::npos, response.find("A document type declaration is not allowed in a request."));
  EXPECT_NE(std::string::npos, response.find("Code : c00cefff"));
  EXPECT_EQ(std::string::npos, response.find("lollol"));
  EXPECT_NE(std::string::npos, Process("<Envelope><Body><fooBar>&ext;</fooBar></Body></Envelope>")
                                   .find("Entity &apos;ext&apos; not defined"));
}

TEST(FaultsTest, FaultTextsAreValidUtf8AndXmlCharacters) {
  struct Case {
    std::string text, valid;
  } cases[] = {
      {"caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x93\x9E\t\r\n", "caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x93\x9E\t\r\n"},
      {"a\xFF" "b", "a\xEF\xBF\xBD" "b"},                    // a byte that starts nothing
      {"\xE2\x82", "\xEF\xBF\xBD\xEF\xBF\xBD"},           // a sequence cut short
      {"\xC0\xAF", "\xEF\xBF\xBD\xEF\xBF\xBD"},           // an overlong '/'
      {"\xED\xA0\x80", "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},  // a surrogate
      {"\x01\x1F", "\xEF\xBF\xBD\xEF\xBF\xBD"},           // control characters XML refuses
      {"\xEF\xBF\xBE", "\xEF\xBF\xBD"},                    // U+FFFE
  };
  for (const Case& c : cases) EXPECT_EQ(c.valid, ValidXmlText(c.text)) << c.text;
}

TEST(FaultsTest, CDataIsSplitWhereTheMessageWouldEndIt) {
  CXMLElement body("SOAP-ENV:Body");
  AddDetailedFault("loc", &body, "addPhone", 3, std::nullopt, "Name \"a]]>b]]]>\xFF\" exists.");
  const std::string cdata = "<![CDATA[Name \"a]]]]><![CDATA[>b]]]]]><![CDATA[>\xEF\xBF\xBD\" exists.]]>";
  EXPECT_NE(std::string::npos, body.ToString().find("<message>\r\n" + cdata + "</message>"));
}

TEST(ComErrorMessageTest, FallsBackToDispatchAndUnknownTexts) {
  EXPECT_EQ("IDispatch error #1", ComErrorMessage(0x80040201u));
  EXPECT_EQ("Unknown error 0x80040200", ComErrorMessage(0x80040200u));
  EXPECT_EQ("Unknown error 0x1234", ComErrorMessage(0x1234u));
}

}  // namespace
}  // namespace zeb
