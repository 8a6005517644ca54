#include "soap/SecretMask.h"

#include <gtest/gtest.h>
#include <libxml/parser.h>

#include <string>

namespace zeb {
namespace {

std::string Mask(const std::string& text, bool newValue = false) { return MaskSecrets(text, newValue); }

bool WellFormed(const std::string& text) {
  xmlDocPtr doc = xmlReadMemory(text.data(), static_cast<int>(text.size()), nullptr, "UTF-8",
                                XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING);
  xmlFreeDoc(doc);
  return doc != nullptr;
}

TEST(SecretMask, MasksElementsAndAttributesThatCarryASecretWhateverTheirForm) {
  struct Case {
    const char* text;
    const char* masked;
  } cases[] = {
      {"<addUser><userid>al</userid><password>hunter2</password><pin>1234</pin></addUser>",
       "<addUser><userid>al</userid><password>********</password><pin>********</pin></addUser>"},
      {"<z:PassWord>s&#101;cret</z:PassWord><a:b:PIN >4&amp;4</a:b:PIN >",
       "<z:PassWord>********</z:PassWord><a:b:PIN >********</a:b:PIN >"},
      {"<password><![CDATA[x</password>y]]><!-- </password> --></password>", "<password>********</password>"},
      {"<password><password>a</password>b<c/></password>tail", "<password>********</password>tail"},
      {"<password></password>", "<password>********</password>"},
      {"<password/><pin />", "<password/><pin />"},
      // Names that only contain a secret word are left alone.
      {"<pinCode>1</pinCode><mapping>2</mapping>", "<pinCode>1</pinCode><mapping>2</mapping>"},
      {"<user password=\"s\" name='al'/>", "<user password=\"********\" name='al'/>"},
      {"<password xmlns:x=\"urn:x\" x:v='s>'>s</password>",
       "<password xmlns:x=\"urn:x\" x:v='********'>********</password>"},
      {"<a><!-- <password>old</password> --></a>", "<a><!-- <password>********</password> --></a>"},
      // A parse-error fault quotes the source line, unclosed element included, in a CDATA section.
      {"<faultstring><![CDATA[Source Text : <password>hunter2</pass]]></faultstring>",
       "<faultstring><![CDATA[Source Text : <password>********]]></faultstring>"},
      {"<!DOCTYPE a [<!ENTITY p \"hunter2\"><!-- it's -->]><a><password>&p;</password></a>",
       "<!DOCTYPE a [<!ENTITY p \"********\"><!-- it's -->]><a><password>********</password></a>"},
      // A secret over several lines keeps the line count.
      {"<password>one\ntwo\nthree</password>\n<a/>",
       "<password>********\n********\n********</password>\n<a/>"},
  };
  for (const Case& c : cases) EXPECT_EQ(c.masked, Mask(c.text)) << c.text;
}

TEST(SecretMask, MalformedTextsLeakNothing) {
  for (const std::string text : {
           "<a><password>hunter2",                     // never closed
           "<a><password>hunter2</a>",                 // closed by another element
           "x < y <password>hunter2</password>",       // a stray '<' before it
           "<a b=\"<password>hunter2</password>\"/>",  // inside a malformed attribute value
           "<password a=\"x<y\">hunter2</password>",   // its own start tag malformed
           "<password a=\"unterminated>hunter2",
           "<a></a <password>hunter2</password>",  // an end tag without its '>'
           "<!-- <password>hunter2 ",              // in an unterminated comment
       }) {
    const std::string masked = Mask(text);
    EXPECT_EQ(std::string::npos, masked.find("hunter2")) << text << " -> " << masked;
  }
}

TEST(SecretMask, KeepsWellFormedTextsWellFormedAndOthersUntouched) {
  const std::string envelope =
      "<?xml version=\"1.0\"?><SOAP-ENV:Envelope xmlns:SOAP-ENV=\"urn:e\"><SOAP-ENV:Body>"
      "<addUser sequence=\"3\"><password a=\"1\">p<b>&lt;</b><![CDATA[]]>]]&gt;</password>"
      "<!-- <pin>1 --><pin/><x password='p'>t</x></addUser></SOAP-ENV:Body></SOAP-ENV:Envelope>";
  ASSERT_TRUE(WellFormed(envelope));
  EXPECT_TRUE(WellFormed(Mask(envelope)));
  const std::string plain = "<getPhone><phoneName>SEP1</phoneName></getPhone>";
  std::string inPlace = plain;
  MaskSecretsInPlace(inPlace, true);
  EXPECT_EQ(plain, inPlace);
}

// The quick look for a secret word that spares most texts the masking scan finds it in any case.
TEST(SecretMask, InPlaceMaskingFindsTheWordsInAnyCase) {
  for (const std::string name : {"Password", "PIN", "pIn", "z:PASSWORD", "NewValue", "nEWVALUE"}) {
    std::string text = "<a>x</a><" + name + ">hunter2</" + name + ">";
    MaskSecretsInPlace(text, true);
    EXPECT_EQ(std::string::npos, text.find("hunter2")) << name;
  }
  std::string harmless = "<NewValue>k3y</NewValue><P/><n";
  MaskSecretsInPlace(harmless, false);
  EXPECT_EQ("<NewValue>k3y</NewValue><P/><n", harmless);
}

TEST(MaskExchange, NewValueIsMaskedUnlessItsTargetIsKnownHarmless) {
  const std::string request = "<updateServiceParameter><newValue>k3y</newValue></updateServiceParameter>";
  const std::string masked = "<updateServiceParameter><newValue>********</newValue></updateServiceParameter>";
  EXPECT_EQ(request, Mask(request));
  EXPECT_EQ(masked, Mask(request, true));
  EXPECT_EQ(masked, MaskExchange(request, "", false).request);
  EXPECT_EQ(request, MaskExchange(request, "", true).request);
}

TEST(MaskExchange, TheSourceLineAParseErrorQuotesIsMaskedToo) {
  // The fault escapes the quoted line, so no markup of it is left to see.
  const std::string request = "<e>\n<updateUser><ldapRN>x</ldapRN>\n<password>Pq1</passwor></updateUser></e>";
  const std::string response =
      "<faultstring>\n&lt;![CDATA[\nSource = Line : 3, Char : 20\nCode : c00ce56d, Source Text : "
      "&lt;password&gt;Pq1&lt;/passwor&gt;&lt;/updateUser&gt;&lt;/e&gt;\n]]&gt;\n</faultstring>";
  const MaskedExchange masked = MaskExchange(request, response, false);
  EXPECT_EQ(std::string::npos, masked.request.find("Pq1"));
  EXPECT_EQ(
      "<faultstring>\n&lt;![CDATA[\nSource = Line : 3, Char : 20\nCode : c00ce56d, Source Text : "
      "&lt;password&gt;********&lt;/passwor&gt;&lt;/updateUser&gt;&lt;/e&gt;\n]]&gt;\n</faultstring>",
      masked.response);
}

TEST(MaskExchange, AnEchoOfASecretInAFaultMessageIsMasked) {
  const std::string request = "<x><pin>a&amp;b-4711</pin><password>ab</password></x>";
  const MaskedExchange masked = MaskExchange(
      request, "<faultstring>PIN a&amp;b-4711 or a&b-4711; ab stays</faultstring><message>a&b-4711</message>",
      false);
  EXPECT_EQ("<faultstring>PIN ******** or ********; ab stays</faultstring><message>********</message>",
            masked.response);
  // Without a secret in the request, the response is only masked as a text of its own.
  EXPECT_EQ("<m>a&amp;b-4711</m>", MaskExchange("<x/>", "<m>a&amp;b-4711</m>", false).response);
}

// A fault message names secret elements as text; an element it quotes whole is masked still.
TEST(MaskExchange, AMessageThatNamesASecretElementKeepsItsText) {
  const std::string fault =
      "<faultstring>\r\n<![CDATA[Unexpected element. Found NULL, expecting <password>]]></faultstring>"
      "<message>\r\n<![CDATA[The element, <Pin>, must contain a value.]]></message>";
  EXPECT_EQ(fault, MaskExchange("<addUser/>", fault, false).response);
  EXPECT_EQ("<message><![CDATA[got <pin>********</pin> for <password>]]></message>",
            MaskExchange("<x/>", "<message><![CDATA[got <pin>12</pin> for <password>]]></message>", false)
                .response);
}

TEST(MaskExchange, ASecretEqualToFixedTextLeavesTheRestOfTheResponseAlone) {
  const std::string request = "<x><password>Client</password></x>";
  const std::string response =
      "<faultcode>SOAP-ENV:Client</faultcode><faultstring>Client</faultstring><b>Client</b>";
  EXPECT_EQ("<faultcode>SOAP-ENV:Client</faultcode><faultstring>********</faultstring><b>Client</b>",
            MaskExchange(request, response, false).response);
}

}  // namespace
}  // namespace zeb
