// What responses do not show of the element tree: escaping of both quote characters, and the
// node kinds and copies handlers rely on. Responses compare the plain layout byte for byte.
#include "soap/CXMLElement.h"

#include <gtest/gtest.h>

namespace zeb {
namespace {

TEST(CXMLElementTest, EscapingReplacesExactlyTheFiveMarkupCharacters) {
  EXPECT_EQ("a&lt;b&amp;&quot;c&quot;&apos;d&apos;&gt;", EscapeXML("a<b&\"c\"'d'>"));
  EXPECT_EQ("plain text\r\n\t\xc3\xa9", EscapeXML("plain text\r\n\t\xc3\xa9"));
  EXPECT_EQ("&amp;amp;", EscapeXML("&amp;"));
  CXMLElement element("member");
  element.AddAttribute("note", "<\"x\">");
  element.SetText("kept");
  element.SetText("");  // empty text leaves the stored text alone
  EXPECT_EQ("<member  note=\"&lt;&quot;x&quot;&gt;\">kept</member>\r\n", element.ToString());
}

TEST(CXMLElementTest, RawAndUnnamedNodesWriteOnlyTheirContent) {
  CXMLElement holder("faultstring");
  CXMLElement* raw = holder.AddRawChild("<![CDATA[a & b]]>");
  raw->SetTag("ignored");
  raw->AddChild("ignored", "too");
  EXPECT_EQ("<faultstring>\r\n<![CDATA[a & b]]></faultstring>\r\n", holder.ToString());
  CXMLElement unnamed;
  unnamed.SetText("not written");
  unnamed.AddChild("a", "1");
  unnamed.AddChild("b", "2");
  EXPECT_EQ("<a>1</a>\r\n<b>2</b>\r\n", unnamed.ToString());
}

TEST(CXMLElementTest, CopiesAreDeepAndAdoptionMovesChildrenInOrder) {
  CXMLElement original("list");
  original.AddAttribute("uuid", "{1}");
  original.AddNewChild("item")->AddChild("name", "one");
  CXMLElement copy(original);
  original.AddChild("item", "two");
  EXPECT_EQ("<list  uuid=\"{1}\">\r\n<item>\r\n<name>one</name>\r\n</item>\r\n</list>\r\n", copy.ToString());
  CXMLElement target("return");
  target.AdoptChildren(original);
  EXPECT_FALSE(original.HasChildren());
  EXPECT_EQ("<return>\r\n<item>\r\n<name>one</name>\r\n</item>\r\n<item>two</item>\r\n</return>\r\n",
            target.ToString());
}

}  // namespace
}  // namespace zeb
