// The wire declaration of a family: one row per element of its add, update and get requests,
// in wire order, with the forms each element may take, its presence in each request and, for a
// plain value, the record field it goes into. The request readers walk these rows, and a test
// holds the schema fragments (src/wsdl/schema) to them, so that the names, order, optionality
// and choices of a request are declared once. Pure data: the table knows no request or record.
#pragma once

#include <initializer_list>
#include <vector>

namespace zeb {

// The requests of a family a row can appear in.
enum class Shape : unsigned char { kAdd, kUpdate, kGet };

enum class Presence : unsigned char {
  kAbsent,
  kOptional,
  kRequired,
  kWithPrevious  // required when the row before it is present, absent otherwise
};

// Short names for the rows of a table.
constexpr Presence kNo = Presence::kAbsent, kOpt = Presence::kOptional, kReq = Presence::kRequired;

// How an element carries what it says.
enum class Form : unsigned char {
  kValue,     // its text
  kName,      // its text names a record, which is looked up
  kId,        // its text is a record's identifier
  kUuid,      // its "uuid" attribute is a record's identifier
  kChildren,  // elements of its own
  kAttribute  // an attribute other than "uuid"
};

// What a present element without a value does to its field.
enum class IfEmpty : unsigned char { kLeave, kClear, kMustContain, kMustHave, kThenMustHave };

// How the generic reader stores a value; kCustom rows are read by the family's own code.
enum class Kind : unsigned char { kCustom, kText, kNumber, kBoolean, kSkipped };

// Bits of the shapes a form belongs to.
constexpr unsigned char kInAdd = 1, kInUpdate = 2, kInGet = 4, kInAll = 7;

struct ElementForm {
  const char* name;
  Form form;
  unsigned char shapes = kInAll;
};

struct ElementRow {
  std::vector<ElementForm> forms;  // one element, or the alternatives of a choice
  Presence add = Presence::kAbsent;
  Presence update = Presence::kAbsent;
  Presence get = Presence::kAbsent;
  Kind kind = Kind::kCustom;
  int field = -1;  // the record's column (kText, kNumber, kBoolean)
  IfEmpty addEmpty = IfEmpty::kLeave;
  IfEmpty updateEmpty = IfEmpty::kClear;

  Presence In(Shape shape) const;
  IfEmpty EmptyIn(Shape shape) const { return shape == Shape::kAdd ? addEmpty : updateEmpty; }
  // The first form of the row that belongs to shape and is named name (nullptr when none).
  const ElementForm* FormNamed(const char* name, Shape shape) const;
};

// A row of one element read by the family's own code.
ElementRow Custom(const char* name, Form form, Presence add, Presence update,
                  Presence get = Presence::kAbsent);
// A row of a choice read by the family's own code.
ElementRow Choice(std::vector<ElementForm> forms, Presence add, Presence update,
                  Presence get = Presence::kAbsent);
// An optional value the generic reader stores in field: in an add an empty element leaves the
// field, in an update it clears it.
ElementRow Optional(const char* name, Kind kind, int field, Presence add, Presence update);
// An update's optional <newName>, stored in field; it must have a value.
ElementRow NewName(int field);
// row with what an empty element does in an add and in an update.
ElementRow WithEmpty(ElementRow row, IfEmpty add, IfEmpty update);
// A reference's forms: by "uuid" or by name, and in an update by identifier (idElement) too.
std::vector<ElementForm> UuidIdOrName(const char* element, const char* idElement, const char* nameElement);
// The identification of a get, update or remove request: one of two elements, required.
ElementRow IdentifiedBy(const char* idElement, const char* nameElement, Presence update, Presence get);
// The rows that open the tables of most families: update and get name the record by "uuid" or
// "name", an add gives its "name", and an update may rename it by "newName" (stored in field).
std::vector<ElementRow> NamedRecordRows(int nameField);

// The rows of parts, one after the other.
std::vector<ElementRow> Join(std::initializer_list<std::vector<ElementRow>> parts);

struct ElementTable {
  // The methods whose requests the rows describe (nullptr: the family has none). An add
  // request's rows are the children of its one wrapper element.
  const char* add;
  const char* update;
  const char* get;
  std::vector<ElementRow> rows;

  const char* Method(Shape shape) const;
};

}  // namespace zeb
