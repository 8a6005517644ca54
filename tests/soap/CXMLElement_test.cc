// What responses do not show of the element tree: the copies handlers rely on. Responses compare
// the plain layout, escaping and raw nodes byte for byte.
#include "soap/CXMLElement.h"

#include <gtest/gtest.h>

namespace zeb {
namespace {

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
