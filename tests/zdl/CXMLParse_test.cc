#include "zdl/CXMLParse.h"

#include <gtest/gtest.h>

#include "zdl/base/CZDLException.h"

namespace zeb::zdl {
namespace {

struct MergeCase {
  const char* what;
  std::string current, change, expected;
};

TEST(CXMLParseTest, XMLChangeMergesAsDocumented) {
  const MergeCase cases[] = {
      {"plain text replaces text", "720", "900", "900"},
      {"plain text replaces XML", "<a>1</a>", "x", "x"},
      {"references in plain text are resolved", "", "a &amp; b &lt;c&gt; &#65;", "a & b <c> A"},
      {"CDATA is plain text", "old", "<![CDATA[<not> & element]]>", "<not> & element"},
      {"empty change empties", "<a>1</a>", "", ""},
      {"XML replaces plain text", "720", "<a>1</a>", "<a>1</a>"},
      {"XML replaces a value that is not well-formed", "<a>", "<b/>", "<b/>"},
      {"a leaf's content is replaced, the rest kept",
       "<cfg><port>1</port><host>h</host></cfg>", "<cfg><port>2</port></cfg>",
       "<cfg><port>2</port><host>h</host></cfg>"},
      {"an element without a pair is appended", "<cfg><port>1</port></cfg>", "<cfg><host>h</host></cfg>",
       "<cfg><port>1</port><host>h</host></cfg>"},
      {"a top-level element without a pair is appended", "<a>1</a>", "<b>2</b>", "<a>1</a><b>2</b>"},
      {"an empty element empties its pair", "<cfg><port>1</port></cfg>", "<cfg><port/></cfg>",
       "<cfg><port/></cfg>"},
      {"attributes are added and overwritten, others kept", "<a x=\"1\" y=\"2\">t</a>", "<a y=\"3\" z=\"4\"/>",
       "<a x=\"1\" y=\"3\" z=\"4\"/>"},
      {"same-named siblings pair by occurrence", "<l><i>a</i><i>b</i><i>c</i></l>", "<l><i>a</i><i>B</i></l>",
       "<l><i>a</i><i>B</i><i>c</i></l>"},
      {"more occurrences than current appends", "<l><i>a</i></l>", "<l><i>a</i><i>b</i></l>",
       "<l><i>a</i><i>b</i></l>"},
      {"text between the change's elements is ignored, current's text kept", "<l>\n  <i>a</i>\n</l>",
       "<l> junk <i>b</i> junk </l>", "<l>\n  <i>b</i>\n</l>"},
      {"merging goes down several levels", "<a><b><c>1</c><d>2</d></b></a>", "<a><b><c>9</c></b></a>",
       "<a><b><c>9</c><d>2</d></b></a>"},
      {"elements replace text content of their pair", "<a>text</a>", "<a><b>1</b></a>", "<a>text<b>1</b></a>"},
      {"special characters stay escaped in XML results", "<a>1</a>", "<a>x &amp; &lt;y&gt;</a>",
       "<a>x &amp; &lt;y&gt;</a>"},
      {"prefixed names are matched as written", "<p:a>1</p:a><a>2</a>", "<a>3</a>", "<p:a>1</p:a><a>3</a>"},
  };
  for (const MergeCase& c : cases) EXPECT_EQ(c.expected, CXMLParse::XMLChange(c.current, c.change)) << c.what;
}

TEST(CXMLParseTest, ChangeThatIsNotWellFormedIsRefused) {
  for (const char* change : {"<a>", "a & b", "&undefined;", "</a>", "<a></b>"}) {
    try {
      CXMLParse::XMLChange("old", change);
      ADD_FAILURE() << "accepted " << change;
    } catch (const CZDLException& error) {
      EXPECT_EQ(kZDLInvalidParameter, error.GetExceptionID()) << change;
      EXPECT_STREQ("The new value is not well-formed XML content.", error.what());
    }
  }
}

}  // namespace
}  // namespace zeb::zdl
