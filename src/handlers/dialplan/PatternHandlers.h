// The translation pattern and route pattern methods: add, update, remove and get of each, served
// by one family class with the kind of pattern. Both kinds are numbers of the number table with their own
// usage; a route pattern also has a destination (a gateway or route list device) kept in a device map.
#pragma once

#include "handlers/CRequestHandler.h"
#include "handlers/RequestReader.h"
#include "zdl/Records.h"
#include "zdl/TypeEnums.h"

namespace zeb {

// What tells the two kinds apart: usage and messages.
struct PatternKind {
  zdl::PatternUsage usage;
  const char* updateNotFound;  // the empty-selection messages of update, remove and get
  const char* removeNotFound;
  const char* getNotFound;
  const char* wrongUsage;  // a number of another usage was named
  bool IsRoute() const;
};

extern const PatternKind kTranslationPattern;
extern const PatternKind kRoutePattern;

// The pattern family, one object per request with the kind the method serves.
class CPatternHandler : public CRequestHandler {
 public:
  CPatternHandler(RequestContext& context, const PatternKind& kind) : CRequestHandler(context), kind_(kind) {}
  HandlerOperation Add, Update, Remove, Get;

 private:
  // Reads the pattern identification ("uuid", or "pattern", the partition and the route filter)
  // and selects into list; nullText is thrown when the request has no element child. Advances
  // past the identifying elements. The selection may be empty.
  void LookupPattern(ElementCursor& cursor, zdl::CNumPlanList& list, const std::string& nullText);
  // Looks the pattern up and checks that it is one of this kind (notFound, kind().wrongUsage).
  void SelectPattern(ElementCursor& cursor, zdl::CNumPlanList& list, const std::string& nullText,
                     const std::string& notFound);
  const PatternKind& kind() const { return kind_; }

  // --- add: positions 1 to 4 (pattern, description, usage, partition), then 5 to 16 ---
  void ReadAddHead(ElementCursor& cursor, zdl::CNumPlan& pattern);
  void ReadAddRouting(ElementCursor& cursor, zdl::CNumPlan& pattern);
  void ReadTranslationTail(ElementCursor& cursor, zdl::CNumPlan& pattern);
  void ReadRouteTail(ElementCursor& cursor, zdl::CNumPlan& pattern, zdl::CDeviceNumPlanMapList& maps);

  // --- update ---
  void ReadUpdateHead(ElementCursor& cursor, zdl::CNumPlan& pattern);
  void ReadUpdateRouting(ElementCursor& cursor, zdl::CNumPlan& pattern);
  // A route pattern's "destination": replaces its device map and writes it at once.
  void ReadDestination(ElementCursor& cursor, const zdl::CZDLID& pattern);
  // The name-form lookups only translation patterns accept; "" for route patterns.
  std::string TranslationOnly(const char* notFound) const;

  const PatternKind& kind_;
};

}  // namespace zeb
