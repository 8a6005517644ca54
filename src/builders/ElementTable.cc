#include "builders/ElementTable.h"

#include <cstring>
#include <utility>

namespace zeb {

namespace {

template <class T>
T ByShape(Shape shape, T add, T update, T get) {
  if (shape == Shape::kAdd) return add;
  return shape == Shape::kUpdate ? update : get;
}

unsigned char BitOf(Shape shape) { return static_cast<unsigned char>(1u << static_cast<unsigned>(shape)); }

}  // namespace

Presence ElementRow::In(Shape shape) const { return ByShape(shape, add, update, get); }

const ElementForm* ElementRow::FormNamed(const char* name, Shape shape) const {
  for (const ElementForm& form : forms) {
    if ((form.shapes & BitOf(shape)) && std::strcmp(form.name, name) == 0) return &form;
  }
  return nullptr;
}

ElementRow Custom(const char* name, Form form, Presence add, Presence update, Presence get) {
  return Choice({{name, form}}, add, update, get);
}

ElementRow Choice(std::vector<ElementForm> forms, Presence add, Presence update, Presence get) {
  ElementRow row;
  row.forms = std::move(forms);
  row.add = add;
  row.update = update;
  row.get = get;
  return row;
}

ElementRow Optional(const char* name, Kind kind, int field, Presence add, Presence update) {
  ElementRow row = Custom(name, Form::kValue, add, update);
  row.kind = kind;
  row.field = field;
  return row;
}

ElementRow WithEmpty(ElementRow row, IfEmpty add, IfEmpty update) {
  row.addEmpty = add;
  row.updateEmpty = update;
  return row;
}

ElementRow NewName(int field) {
  return WithEmpty(Optional("newName", Kind::kText, field, kNo, kOpt), IfEmpty::kLeave,
                   IfEmpty::kMustContain);
}

std::vector<ElementForm> UuidIdOrName(const char* element, const char* idElement, const char* nameElement) {
  return {{element, Form::kUuid}, {idElement, Form::kId, kInUpdate}, {nameElement, Form::kName}};
}

ElementRow IdentifiedBy(const char* idElement, const char* nameElement, Presence update, Presence get) {
  return Choice({{idElement, Form::kId}, {nameElement, Form::kName}}, kNo, update, get);
}

std::vector<ElementRow> NamedRecordRows(int nameField) {
  return {IdentifiedBy("uuid", "name", kReq, kReq), Custom("name", Form::kValue, kReq, kNo),
          NewName(nameField)};
}

const char* ElementTable::Method(Shape shape) const { return ByShape(shape, add, update, get); }

std::vector<ElementRow> Join(std::initializer_list<std::vector<ElementRow>> parts) {
  std::vector<ElementRow> rows;
  for (const auto& part : parts) rows.insert(rows.end(), part.begin(), part.end());
  return rows;
}

}  // namespace zeb
