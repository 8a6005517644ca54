#include "soap/CXMLElement.h"

#include <gtest/gtest.h>

namespace zeb {
namespace {

TEST(EscapeXMLTest, ReplacesExactlyTheFiveMarkupCharacters) {
  EXPECT_EQ("a&lt;b&amp;&quot;c&quot;&apos;d&apos;&gt;", EscapeXML("a<b&\"c\"'d'>"));
  EXPECT_EQ("plain text\r\n\t\xc3\xa9", EscapeXML("plain text\r\n\t\xc3\xa9"));
  EXPECT_EQ("&amp;amp;", EscapeXML("&amp;"));
}

TEST(CXMLElementTest, EmptyElementWritesStartAndEndTagOnOneLine) {
  CXMLElement element("name");
  EXPECT_EQ("<name></name>\r\n", element.ToString());
}

TEST(CXMLElementTest, AttributesFollowTwoBlanksAndAreEscaped) {
  CXMLElement element("member");
  element.AddAttribute("uuid", "{A}");
  element.AddAttribute("note", "<\"x\">");
  element.SetText("a&b");
  EXPECT_EQ("<member  uuid=\"{A}\" note=\"&lt;&quot;x&quot;&gt;\">a&amp;b</member>\r\n", element.ToString());
}

TEST(CXMLElementTest, ChildrenPutTheEndTagOnItsOwnLine) {
  CXMLElement element("routePartition");
  element.AddChild("name", "P1");
  element.AddChild("description", "");
  EXPECT_EQ("<routePartition>\r\n<name>P1</name>\r\n<description></description>\r\n</routePartition>\r\n",
            element.ToString());
}

TEST(CXMLElementTest, EmptyTextLeavesTheStoredTextAlone) {
  CXMLElement element("x");
  element.SetText("kept");
  element.SetText("");
  EXPECT_EQ("<x>kept</x>\r\n", element.ToString());
}

TEST(CXMLElementTest, RawNodeWritesOnlyItsRawText) {
  CXMLElement holder("faultstring");
  CXMLElement* raw = holder.AddRawChild("<![CDATA[a & b]]>");
  raw->SetTag("ignored");
  raw->AddChild("ignored", "too");
  EXPECT_EQ("<faultstring>\r\n<![CDATA[a & b]]></faultstring>\r\n", holder.ToString());
}

TEST(CXMLElementTest, UnnamedNodeWritesOnlyItsChildren) {
  CXMLElement holder;
  holder.SetText("not written");
  holder.AddChild("a", "1");
  holder.AddChild("b", "2");
  EXPECT_EQ("<a>1</a>\r\n<b>2</b>\r\n", holder.ToString());
}

TEST(CXMLElementTest, CopyIsDeepAndIndependent) {
  CXMLElement original("list");
  original.AddAttribute("uuid", "{1}");
  original.AddNewChild("item")->AddChild("name", "one");
  CXMLElement copy(original);
  original.AddChild("item", "two");
  EXPECT_EQ("<list  uuid=\"{1}\">\r\n<item>\r\n<name>one</name>\r\n</item>\r\n</list>\r\n", copy.ToString());
}

TEST(CXMLElementTest, AdoptChildrenMovesThemInOrder) {
  CXMLElement holder;
  holder.AddChild("a", "1");
  holder.AddChild("b", "2");
  CXMLElement target("return");
  target.AdoptChildren(holder);
  EXPECT_FALSE(holder.HasChildren());
  EXPECT_EQ("<return>\r\n<a>1</a>\r\n<b>2</b>\r\n</return>\r\n", target.ToString());
}

}  // namespace
}  // namespace zeb
