#include "handlers/dialplan/NumPlanLookup.h"

#include <optional>

namespace zeb {

namespace {

// "column = ?" with the value, or "column IS NULL" for the null identifier.
void MatchReference(std::string& where, std::vector<zdl::CZDLValue>& values, const char* column,
                    const zdl::CZDLID& id) {
  where += std::string(" AND ") + column;
  if (id.isNull()) {
    where += " IS NULL";
  } else {
    where += " = ?";
    values.emplace_back(id);
  }
}

// A reference an identification gives by identifier or by name; a name is looked up in the
// statement that selects the number, and again on its own only when that finds nothing.
struct NamedReference {
  zdl::CZDLID id;
  std::optional<std::string> name;
};

// "<element>Id" (without a value: the null identifier) or "<element>Name" (without a value: the
// null identifier, else the name); false when the cursor is on neither. Advances past it.
bool ReadNamedReference(ElementCursor& cursor, const std::string& element, NamedReference& reference) {
  if (cursor.Is((element + "Id").c_str())) {
    reference.id = ParseID(ValueOrEmpty(cursor.node()));
  } else if (cursor.Is((element + "Name").c_str())) {
    reference.name = ValueOf(cursor.node());
  } else {
    return false;
  }
  cursor.Advance();
  return true;
}

const char kPartitionNotFound[] = "Route Partition not found.";
const char kFilterNotFound[] = "Route Filter not found.";

NamedReference ReadPartition(ElementCursor& cursor) {
  cursor.RequireNotNull("Found NULL, expecting <routePartitionId>");
  NamedReference partition;
  if (!ReadNamedReference(cursor, "routePartition", partition)) {
    cursor.ThrowFound("<routePartitionId> or <routePartitionName>");
  }
  return partition;
}

NamedReference ReadFilter(ElementCursor& cursor, bool byName) {
  cursor.RequireNotNull("Found NULL, expecting <routeFilterId>");
  NamedReference filter;
  if (!byName) {
    // Lines name the filter element but never use its value.
    if (!cursor.Is("routeFilterId")) cursor.ThrowFound("<routeFilterId>");
    cursor.Advance();
    return filter;
  }
  if (!ReadNamedReference(cursor, "routeFilter", filter)) cursor.ThrowFound("<routeFilterId> or <routeFilterName>");
  return filter;
}

// Throws the not-found text when the reference names a record by a name no record has.
template <class List>
void RequireNamed(zdl::CZDLSession& session, const NamedReference& reference, const char* notFound) {
  if (reference.name) FindIdByName<List>(session, *reference.name, notFound);
}

// "column = ?" with the identifier, "column IS NULL" for the null identifier, or the record of
// that name in table.
void MatchNamedReference(zdl::CZDLSession& session, std::string& where, std::vector<zdl::CZDLValue>& values,
                         const char* column, const char* table, const NamedReference& reference) {
  if (!reference.name) return MatchReference(where, values, column, reference.id);
  where += std::string(" AND ") + column + " = (SELECT pkid FROM " + table + " WHERE " +
           session.dialect().Equals("Name", true) + ")";
  values.emplace_back(*reference.name);
}

}  // namespace

void SelectByDNPatternAndPartitionIDAndFilterID(zdl::CNumPlanList& list, const std::string& pattern,
                                                const zdl::CZDLID& partition, const zdl::CZDLID& filter) {
  std::string where = "DNOrPattern = ?";
  std::vector<zdl::CZDLValue> values{pattern};
  MatchReference(where, values, "fkRoutePartition", partition);
  MatchReference(where, values, "fkRouteFilter", filter);
  list.SelectWhere(where, values);
}

void IdentifyNumPlan(ElementCursor& cursor, zdl::CZDLSession& session, zdl::CNumPlanList& list,
                     const NumPlanIdentification& how) {
  cursor.RequireNotNull(how.nullText);
  if (cursor.Is("uuid")) {
    list.SelectByID(ParseID(RequireValue(cursor.node(), ValueWording::kMustHave)));
    cursor.Advance();
    return;
  }
  if (!cursor.Is("pattern")) cursor.ThrowFound("<uuid> or <pattern>");
  const std::string pattern = how.patternNeedsValue ? RequireValue(cursor.node(), ValueWording::kMustHave)
                                                     : ValueOrEmpty(cursor.node());
  cursor.Advance();
  const NamedReference partition = ReadPartition(cursor);
  NamedReference filter;
  try {
    filter = ReadFilter(cursor, how.filterByName);
  } catch (...) {
    // An unknown partition is reported before what follows it.
    RequireNamed<zdl::CRoutePartitionList>(session, partition, kPartitionNotFound);
    throw;
  }
  std::string where = "DNOrPattern = ?";
  std::vector<zdl::CZDLValue> values{pattern};
  MatchNamedReference(session, where, values, "fkRoutePartition", "RoutePartition", partition);
  MatchNamedReference(session, where, values, "fkRouteFilter", "RouteFilter", filter);
  list.SelectWhere(where, values);
  if (list.Count() > 0) return;
  RequireNamed<zdl::CRoutePartitionList>(session, partition, kPartitionNotFound);
  RequireNamed<zdl::CRouteFilterList>(session, filter, kFilterNotFound);
}

void RequireNumPlan(zdl::CNumPlanList& list, zdl::PatternUsage usage, const std::string& notFound,
                    const std::string& wrongUsage) {
  if (list.Count() == 0) ThrowNotFound(notFound);
  list.MoveFirst();
  if (list.GetCurrentItem()->GetPatternUsageType() != usage) ThrowNotFound(wrongUsage);
}

bool OptionalElement(ElementCursor& cursor, const char* name, const std::function<void(XmlNode)>& read) {
  if (!cursor.Is(name)) return false;
  read(cursor.node());
  cursor.Advance();
  return true;
}

void RequiredValue(ElementCursor& cursor, const char* name, const std::string& nullText,
                   const std::function<void(const std::string&)>& withValue) {
  cursor.Expect(name, std::string("<") + name + ">", nullText);
  if (auto value = ValueOf(cursor.node())) withValue(*value);
  cursor.Advance();
}

void ReadOptionalPartition(ElementCursor& cursor, zdl::CZDLSession& session, zdl::CNumPlan& number) {
  const ReferenceForms forms{"routePartition",
                             "Deprecated element <routePartitionId>. Please use <routePartition> or "
                             "<routePartitionName>.",
                             "The specified Route Partition was not found."};
  if (ReadAddReference<zdl::CRoutePartitionList>(
          cursor, session, forms, [&](const zdl::CZDLID& id) { number.PutRoutePartitionID(id); })) {
    cursor.Advance();
  }
}

void ReadNumberHead(ElementCursor& cursor, zdl::CNumPlan& number) {
  if (!cursor.Is("pattern")) cursor.ThrowFound("<pattern>");
  number.PutDNOrPattern(RequireValue(cursor.node(), ValueWording::kMustHave));
  cursor.Advance();
  cursor.RequireNotNull("NULL element found, expecting more elements.");
  OptionalElement(cursor, "description", [&](XmlNode element) {
    if (auto value = ValueOf(element)) number.PutDescription(*value);
  });
  RequiredValue(cursor, "usage", "NULL element found, expecting <usage>.", [](const std::string&) {});
}

void ReadNumberChanges(ElementCursor& cursor, zdl::CZDLSession& session, zdl::CNumPlan& number) {
  OptionalElement(cursor, "newPattern", [&](XmlNode element) {
    number.PutDNOrPattern(RequireValue(element, ValueWording::kMustHave));
  });
  OptionalElement(cursor, "description",
                  [&](XmlNode element) { number.PutDescription(ValueOrEmpty(element)); });
  ReadUpdateReference<zdl::CRoutePartitionList>(
      cursor, session, "newRoutePartition", "The specified Route Partition was not found.",
      [&](const zdl::CZDLID& id) { number.PutRoutePartitionID(id); });
}

}  // namespace zeb
