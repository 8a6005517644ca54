#include "handlers/dialplan/NumPlanLookup.h"

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

zdl::CZDLID ReadPartition(ElementCursor& cursor, zdl::CZDLSession& session) {
  cursor.RequireNotNull("Found NULL, expecting <routePartitionId>");
  zdl::CZDLID partition;
  if (!ReadUpdateReference<zdl::CRoutePartitionList>(cursor, session, "routePartition",
                                                     "Route Partition not found.",
                                                     [&](const zdl::CZDLID& id) { partition = id; })) {
    cursor.ThrowFound("<routePartitionId> or <routePartitionName>");
  }
  return partition;
}

zdl::CZDLID ReadFilter(ElementCursor& cursor, zdl::CZDLSession& session, bool byName) {
  cursor.RequireNotNull("Found NULL, expecting <routeFilterId>");
  if (!byName) {
    // Lines name the filter element but never use its value.
    if (!cursor.Is("routeFilterId")) cursor.ThrowFound("<routeFilterId>");
    cursor.Advance();
    return zdl::CZDLID();
  }
  zdl::CZDLID filter;
  if (!ReadUpdateReference<zdl::CRouteFilterList>(cursor, session, "routeFilter", "Route Filter not found.",
                                                  [&](const zdl::CZDLID& id) { filter = id; })) {
    cursor.ThrowFound("<routeFilterId> or <routeFilterName>");
  }
  return filter;
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
  const zdl::CZDLID partition = ReadPartition(cursor, session);
  const zdl::CZDLID filter = ReadFilter(cursor, session, how.filterByName);
  SelectByDNPatternAndPartitionIDAndFilterID(list, pattern, partition, filter);
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
