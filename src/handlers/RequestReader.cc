#include "handlers/RequestReader.h"

#include <cctype>
#include <climits>
#include <cstring>

#include "zdl/CItem.h"
#include "zdl/CTypeList.h"

namespace zeb {

ElementCursor ElementCursor::Enter(XmlNode parent) { return ElementCursor(parent.FirstElementChild()); }

void ElementCursor::RequireNotNull(const std::string& nullText) const {
  if (!node_) throw CUnexpectedNodeException(nullText);
}

void ElementCursor::Expect(const char* localName, const std::string& expected,
                           const std::string& nullText) const {
  RequireNotNull(nullText);
  if (!Is(localName)) ThrowFound(expected);
}

void ElementCursor::ThrowFound(const std::string& expected) const {
  throw CUnexpectedNodeException("Found <" + node_.Name() + ">, expecting " + expected + ".");
}

void ElementCursor::RequireEnd(bool withStop) const {
  if (!node_) return;
  throw CUnexpectedNodeException("<" + node_.Name() + "> is not a valid element of this request type" +
                                 (withStop ? "." : ""));
}

std::optional<std::string> ValueOf(XmlNode element) { return element.Value(); }

std::string MissingValueText(const std::string& name, ValueWording wording) {
  switch (wording) {
    case ValueWording::kMustContain:
      return "The element, <" + name + ">, must contain a value.";
    case ValueWording::kMustHave:
      return "The element, <" + name + ">, must have a value.";
    default:
      return "Then element, <" + name + ">, must have a value.";
  }
}

std::string RequireValue(XmlNode element, ValueWording wording, const std::string& label) {
  auto value = element.Value();
  if (!value)
    throw CInvalidValueException(MissingValueText(label.empty() ? element.LocalName() : label, wording));
  return *value;
}

std::string ValueOrEmpty(XmlNode element) { return element.Value().value_or(""); }

std::optional<std::string> AttributeOf(XmlNode element, const char* name) { return element.Attribute(name); }

std::string RequireAttribute(XmlNode element, const char* name, bool withStop) {
  auto value = element.Attribute(name);
  if (!value) {
    throw CUnexpectedNodeException(std::string("No \"") + name + "\" attribute found in <" +
                                   element.LocalName() + ">" + (withStop ? "." : ""));
  }
  return *value;
}

bool ParseBoolean(const std::string& text) {
  if (text == "true") return true;
  if (text == "false") return false;
  throw CInvalidValueException("Invalid boolean value: " + text);
}

long ParseLong(const std::string& text) {
  std::size_t i = 0;
  while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  long long value = 0;
  for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i) {
    value = value * 10 + (text[i] - '0');
    if (value > 2147483648LL) value = 2147483648LL;
  }
  if (negative) value = -value;
  if (value > INT32_MAX) value = INT32_MAX;
  if (value < INT32_MIN) value = INT32_MIN;
  return static_cast<long>(value);
}

std::optional<long> FindTypeEnum(zdl::CZDLSession& session, const std::string& table,
                                 const std::string& text) {
  zdl::CTypeList types(session, table);
  if (types.IsBOF()) throw zdl::CZDLException(zdl::kZDLInvalidParameter, "Invalid Parameter: " + text);
  if (!types.Find(text)) return std::nullopt;
  return types.GetEnum();
}

long TypeEnum(zdl::CZDLSession& session, const std::string& table, const std::string& text) {
  auto number = FindTypeEnum(session, table, text);
  if (!number) throw zdl::CZDLException(zdl::kZDLInvalidParameter, "Invalid Parameter: " + text);
  return *number;
}

namespace {

// The rows of a run of generic values: from the row named first to the next kCustom row, or to
// the row named last (included) when last is given.
std::pair<const ElementRow*, const ElementRow*> ValueRun(const ElementTable& table, const char* first,
                                                         const char* last = nullptr) {
  const ElementRow* begin = table.rows.data();
  const ElementRow* end = begin + table.rows.size();
  while (begin != end && std::strcmp(begin->forms.front().name, first) != 0) ++begin;
  const ElementRow* stop = begin;
  while (stop != end && stop->kind != Kind::kCustom) {
    const bool isLast = last && std::strcmp(stop->forms.front().name, last) == 0;
    ++stop;
    if (isLast) break;
  }
  return {begin, stop};
}

ValueWording WordingOf(IfEmpty empty) {
  if (empty == IfEmpty::kMustHave) return ValueWording::kMustHave;
  if (empty == IfEmpty::kThenMustHave) return ValueWording::kThenMustHave;
  return ValueWording::kMustContain;
}

void StoreValue(const ElementRow& row, XmlNode element, IfEmpty empty, zdl::CItem& record) {
  std::optional<std::string> value = element.Value();
  if (!value) {
    if (empty == IfEmpty::kLeave) return;
    if (empty != IfEmpty::kClear)
      throw CInvalidValueException(MissingValueText(element.LocalName(), WordingOf(empty)));
    value = row.kind == Kind::kBoolean ? "false" : "";
  }
  if (row.kind == Kind::kText) record.SetValue(row.field, zdl::CZDLValue(*value));
  if (row.kind == Kind::kNumber) record.SetValue(row.field, zdl::CZDLValue(ParseLong(*value)));
  if (row.kind == Kind::kBoolean) record.SetValue(row.field, zdl::CZDLValue(ParseBoolean(*value)));
}

}  // namespace

bool AtValues(const ElementCursor& cursor, const ElementTable& table, Shape shape, const char* first) {
  if (cursor.AtEnd()) return false;
  const std::string name = cursor.node().LocalName();
  auto [row, end] = ValueRun(table, first);
  for (; row != end; ++row) {
    if (row->In(shape) != Presence::kAbsent && row->FormNamed(name.c_str(), shape)) return true;
  }
  return false;
}

void ReadValues(ElementCursor& cursor, const ElementTable& table, Shape shape, const char* first,
                zdl::CItem& record, const char* last) {
  auto [row, end] = ValueRun(table, first, last);
  for (; row != end; ++row) {
    const ElementForm& form = row->forms.front();
    if (row->In(shape) == Presence::kAbsent || !(form.shapes & (1u << static_cast<unsigned>(shape))))
      continue;
    if (!cursor.Is(form.name)) continue;
    if (row->kind != Kind::kSkipped) StoreValue(*row, cursor.node(), row->EmptyIn(shape), record);
    cursor.Advance();
  }
}

void ThrowNotFound(const std::string& message) { throw zdl::CZDLException(zdl::kZDLRecordNotFound, message); }

zdl::CZDLID ReadReference(zdl::CZDLSession& session, XmlNode element, const char* nameElement,
                          NameLookup find, const std::string& notFound, ValueWording wording) {
  if (element.Is(nameElement)) return find(session, RequireValue(element, wording), notFound);
  return ParseID(RequireAttribute(element, "uuid"));
}

std::string ReadAddName(ElementCursor& cursor) {
  cursor.Expect("name", "<name>", "Found NULL, expecting <name>");
  std::string name = RequireValue(cursor.node(), ValueWording::kMustContain);
  cursor.Advance();
  return name;
}

Identification ByNameOrUuid(const std::string& nullText, ValueWording nameWording,
                            const std::string& notFound, const std::string& expected) {
  return {nullText, expected, "name", nameWording, "uuid", ValueWording::kMustHave, notFound};
}

Identification FamilyIdentification(FamilyOperation operation, const char* updateNotFound,
                                    const char* notFound, bool uuidFirst) {
  const bool update = operation == FamilyOperation::kUpdate;
  const char* named = update || !uuidFirst ? "<name> or <uuid>" : "<uuid> or <name>";
  const char* expected = update || uuidFirst ? "<uuid> or <name>" : "<name> or <uuid>";
  return {std::string("Found NULL, expecting ") + named,
          expected,
          "name",
          operation == FamilyOperation::kGet ? ValueWording::kMustContain : ValueWording::kMustHave,
          "uuid",
          ValueWording::kMustHave,
          update ? updateNotFound : notFound};
}

Identified ReadIdentifier(ElementCursor& cursor, const Identification& how) {
  cursor.RequireNotNull(how.nullText);
  Identified which;
  if (cursor.Is(how.nameElement)) {
    which.value = RequireValue(cursor.node(), how.nameWording);
  } else if (cursor.Is(how.idElement)) {
    which.byId = true;
    which.value = RequireValue(cursor.node(), how.idWording);
  } else {
    cursor.ThrowFound(how.expected);
  }
  cursor.Advance();
  return which;
}

}  // namespace zeb
