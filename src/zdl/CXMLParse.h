// Merging a change into a stored value that may itself hold XML (service parameter values).
#pragma once

#include <string>

namespace zeb::zdl {

class CXMLParse {
 public:
  // Returns the value that results from applying change to current. Both are read as XML
  // content (what may stand between an element's tags: text, elements, comments, CDATA).
  //
  // - A change without elements is plain text: the result is its text, with character and entity
  //   references resolved ("a &amp; b" gives "a & b"). The empty change gives "".
  // - A change with elements, when current holds no element (plain text, empty, or not
  //   well-formed), replaces current: the result is the change.
  // - Otherwise the change's elements are merged into current, and current's other content
  //   (text, comments, elements the change does not name) stays as it was:
  //     each element of the change is paired with the element of current of the same qualified
  //     name and the same occurrence among its siblings (the change's second <item> with
  //     current's second <item>). A paired element takes the change's attributes (added or
  //     overwritten; its other attributes stay); then, when the change's element holds elements,
  //     its children are merged into the paired element's children by the same rule, and
  //     otherwise the paired element's content is replaced by the change's (its text, or nothing
  //     for an empty element). An element without a pair is appended to its parent's children.
  //     Text between the change's elements is ignored.
  //
  // Elements are written back as the XML parser writes them (an empty element as <a/>).
  // Throws CZDLException kZDLInvalidParameter when change is not well-formed XML content.
  static std::string XMLChange(const std::string& current, const std::string& change);
};

}  // namespace zeb::zdl
