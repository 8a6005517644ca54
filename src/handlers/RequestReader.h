// The shared toolkit by which every handler reads its request: a cursor over element children
// (text, comments and processing instructions are never seen), local-name tests, element and
// attribute values, and the checks with their message shapes. Messages that vary per handler
// are parameters; the fixed shapes ("Found <x>, expecting ...", "The element, <x>, must contain a
// value.", ...) live here once.
#pragma once

#include <optional>
#include <string>

#include "builders/ElementTable.h"
#include "soap/XmlDocument.h"
#include "soap/ZebExceptions.h"
#include "zdl/base/CZDLException.h"
#include "zdl/base/CZDLID.h"

namespace zeb {

namespace zdl {
class CItem;
class CZDLSession;
}

// The three wordings of a missing required value.
enum class ValueWording {
  kMustContain,  // "The element, <x>, must contain a value."
  kMustHave,     // "The element, <x>, must have a value."
  kThenMustHave  // "Then element, <x>, must have a value."
};

class ElementCursor {
 public:
  // A cursor on the first element child of parent (NULL when there is none).
  static ElementCursor Enter(XmlNode parent);
  // A cursor on node itself (an element, or NULL).
  static ElementCursor At(XmlNode node) { return ElementCursor(node); }

  XmlNode node() const { return node_; }
  bool AtEnd() const { return !node_; }
  // True when the cursor is on an element of that local name.
  bool Is(const char* localName) const { return node_.Is(localName); }
  // The qualified name as the client wrote it.
  std::string Name() const { return node_.Name(); }
  // Moves to the next element sibling (NULL after the last).
  void Advance() { node_ = node_.NextElementSibling(); }
  // A cursor on the first element child of the current element.
  ElementCursor EnterCurrent() const { return Enter(node_); }

  // Throws CUnexpectedNodeException(nullText) when the cursor is NULL.
  void RequireNotNull(const std::string& nullText) const;
  // Required element: NULL throws nullText; another element throws the "Found" message with
  // expected (for example "<name>"). Does not advance.
  void Expect(const char* localName, const std::string& expected, const std::string& nullText) const;
  // Throws "Found <current>, expecting <expected>." REQUIRES: !AtEnd().
  [[noreturn]] void ThrowFound(const std::string& expected) const;
  // Throws "<current> is not a valid element of this request type." when the cursor is not
  // NULL; withStop false leaves out the final full stop.
  void RequireEnd(bool withStop = true) const;

 private:
  explicit ElementCursor(XmlNode node) : node_(node) {}
  XmlNode node_;
};

// --- values ---

// The element's value, or nothing (see XmlNode::Value).
std::optional<std::string> ValueOf(XmlNode element);
// The value, or the missing-value exception in the given wording. label overrides the element
// name shown in the message (for example "pattern" for newPattern).
std::string RequireValue(XmlNode element, ValueWording wording, const std::string& label = "");
// The missing-value message text.
std::string MissingValueText(const std::string& name, ValueWording wording);
// The value, or "" when the element has none.
std::string ValueOrEmpty(XmlNode element);

std::optional<std::string> AttributeOf(XmlNode element, const char* name);
// The attribute, or CUnexpectedNodeException "No "<name>" attribute found in <element>." naming
// the element by its local name (with the final full stop when withStop).
std::string RequireAttribute(XmlNode element, const char* name, bool withStop = true);

// "true" or "false" exactly; anything else throws CInvalidValueException
// "Invalid boolean value: <text>".
bool ParseBoolean(const std::string& text);
// The C library's decimal conversion of a leading integer (32-bit): blanks skipped, optional
// sign, digits up to the first other character; no digits give 0; out of range clamps.
long ParseLong(const std::string& text);

// The enumeration number of text in the type table (for example "TypeStatus"). An empty table
// throws CZDLException 8 "Invalid Parameter: <text>"; so does a text that names no row.
long TypeEnum(zdl::CZDLSession& session, const std::string& table, const std::string& text);
// The enumeration number, or nothing when the text names no row; an empty table throws as above.
std::optional<long> FindTypeEnum(zdl::CZDLSession& session, const std::string& table,
                                 const std::string& text);

// An identifier from request text; malformed text throws CZDLException kZDLInvalidParameter.
inline zdl::CZDLID ParseID(const std::string& text) { return zdl::CZDLID(text); }

// The value of the required "name" element that starts an add request; a missing element or
// value throws. Advances past it.
std::string ReadAddName(ElementCursor& cursor);

// True when the cursor is on an element of a row of table, in shape, from the row whose first
// form is named first up to the next kCustom row.
bool AtValues(const ElementCursor& cursor, const ElementTable& table, Shape shape, const char* first);
// Reads those rows in their order into record: each row's element, when the cursor is on it,
// is stored in the row's field as its kind says (an empty one as the row's IfEmpty in shape
// says) and passed. A last name ends the rows at the row of that name instead. REQUIRES: the
// table has a row whose first form is named first.
void ReadValues(ElementCursor& cursor, const ElementTable& table, Shape shape, const char* first,
                zdl::CItem& record, const char* last = nullptr);

// Throws CZDLException(kZDLRecordNotFound, message).
[[noreturn]] void ThrowNotFound(const std::string& message);

// The identifier of the first record named name in the list type, or the not-found exception.
template <class List>
zdl::CZDLID FindIdByName(zdl::CZDLSession& session, const std::string& name, const std::string& notFound) {
  List list(session);
  list.SelectByName(name);
  if (list.Count() == 0) ThrowNotFound(notFound);
  return list.GetCurrentItem()->GetID();
}

// Looks a record up by name: its identifier, or the not-found exception (FindIdByName<List>).
using NameLookup = zdl::CZDLID (*)(zdl::CZDLSession& session, const std::string& name,
                                   const std::string& notFound);

// The identifier a reference element gives. The element named nameElement holds a record name,
// looked up with find (an empty one throws the missing-value message in wording, an unknown one
// notFound); any other element carries it in its "uuid" attribute, stored without a look-up ("No
// "uuid" attribute found in <element>." when missing). The caller has matched the element.
zdl::CZDLID ReadReference(zdl::CZDLSession& session, XmlNode element, const char* nameElement,
                          NameLookup find, const std::string& notFound,
                          ValueWording wording = ValueWording::kMustContain);

// How a get, update or remove request names its record: by an identifier element or a name
// element, as the first child of the request.
struct Identification {
  std::string nullText;  // thrown when the request has no element child
  std::string expected;  // the "Found" message's expected list, e.g. "<uuid> or <name>"
  const char* nameElement = "name";
  ValueWording nameWording = ValueWording::kMustHave;
  const char* idElement = "uuid";
  ValueWording idWording = ValueWording::kMustHave;
  std::string notFound;  // thrown (ID 2) when the selection is empty
};

// The identification by "name" (its value required in nameWording) or "uuid" (its value
// required, "must have") that most methods use.
Identification ByNameOrUuid(const std::string& nullText, ValueWording nameWording,
                            const std::string& notFound, const std::string& expected = "<uuid> or <name>");

// Replaces the rows of members, which the caller has selected, by a row for each child of
// element: each child must be a "member", and read(row, member) fills the row inserted for it.
template <class MemberList, class Read>
void ReplaceMembers(MemberList& members, XmlNode element, Read read) {
  members.DeleteAll();
  for (ElementCursor member = ElementCursor::Enter(element); !member.AtEnd(); member.Advance()) {
    if (!member.Is("member")) member.ThrowFound("<member>");
    read(*members.Insert(), member);
  }
}

enum class FamilyOperation { kUpdate, kRemove, kGet };

// The identification of an update, remove or get request of a family that names its record by
// "name" or "uuid". Update reports a missing record with updateNotFound, remove and get with
// notFound; get words a "name" without value "must contain". uuidFirst names the elements
// "<uuid> or <name>" in the remove and get messages (else "<name> or <uuid>").
Identification FamilyIdentification(FamilyOperation operation, const char* updateNotFound,
                                    const char* notFound, bool uuidFirst = false);

struct Identified {
  bool byId = false;
  std::string value;  // the element's value
};

// Reads the identifying element under the cursor and selects into list (SelectByID or
// SelectByName); throws the messages of how when something is missing or nothing is found.
// Advances past the element. On return list holds at least one record, current is the first.
template <class List>
Identified Identify(ElementCursor& cursor, List& list, const Identification& how);

// Reads only the identifying element (no selection); for get methods that build by identifier.
Identified ReadIdentifier(ElementCursor& cursor, const Identification& how);

// The identifier of the record the request names (see Identify); a name is looked up in List.
template <class List>
zdl::CZDLID IdentifiedID(zdl::CZDLSession& session, ElementCursor& cursor, const Identification& how) {
  const Identified which = ReadIdentifier(cursor, how);
  return which.byId ? ParseID(which.value) : FindIdByName<List>(session, which.value, how.notFound);
}

// Deletes the record the request names (see Identify) and returns its identifier.
template <class List>
zdl::CZDLID RemoveIdentified(zdl::CZDLSession& session, ElementCursor& cursor, const Identification& how) {
  List list(session);
  Identify(cursor, list, how);
  const zdl::CZDLID id = list.GetCurrentItem()->GetID();
  list.Delete();
  list.Update();
  return id;
}

template <class List>
Identified Identify(ElementCursor& cursor, List& list, const Identification& how) {
  Identified which = ReadIdentifier(cursor, how);
  if (which.byId) {
    list.SelectByID(ParseID(which.value));
  } else {
    list.SelectByName(which.value);
  }
  if (list.Count() == 0) ThrowNotFound(how.notFound);
  list.MoveFirst();
  return which;
}

}  // namespace zeb
