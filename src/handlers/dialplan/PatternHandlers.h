// The translation pattern and route pattern methods: add, update, remove and get of each, one
// handler class per method. Both kinds are numbers of the number table with their own usage;
// a route pattern also has a destination (a gateway or route list device) kept in a device map.
#pragma once

#include "dispatch/CRequestHandler.h"
#include "dispatch/RequestReader.h"
#include "zdl/Records.h"

namespace zeb {

// What tells the two kinds apart: usage and messages.
struct PatternKind {
  long usage;
  const char* updateNotFound;  // the empty-selection messages of update, remove and get
  const char* removeNotFound;
  const char* getNotFound;
  const char* wrongUsage;  // a number of another usage was named
  bool IsRoute() const;
};

extern const PatternKind kTranslationPattern;
extern const PatternKind kRoutePattern;

// The base of the eight pattern handlers, with the shared pattern lookup.
class CPatternHandler : public CRequestHandler {
 public:
  CPatternHandler(RequestContext& context, const PatternKind& kind) : CRequestHandler(context), kind_(kind) {}

 protected:
  // Reads the pattern identification ("uuid", or "pattern", the partition and the route filter)
  // and selects into list; nullText is thrown when the request has no element child. Advances
  // past the identifying elements. The selection may be empty.
  virtual void LookupPattern(ElementCursor& cursor, zdl::CNumPlanList& list, const std::string& nullText);
  // Looks the pattern up and checks that it is one of this kind (notFound, kind().wrongUsage).
  void SelectPattern(ElementCursor& cursor, zdl::CNumPlanList& list, const std::string& nullText,
                     const std::string& notFound);
  const PatternKind& kind() const { return kind_; }

 private:
  const PatternKind& kind_;
};

class CAddPatternHandler : public CPatternHandler {
 public:
  using CPatternHandler::CPatternHandler;
  void Execute(XmlNode request, CXMLElement& result) override;

 private:
  // Positions 1 to 4 (pattern, description, usage, partition), then 5 to 16.
  void ReadHead(ElementCursor& cursor, zdl::CNumPlan& pattern);
  void ReadRouting(ElementCursor& cursor, zdl::CNumPlan& pattern);
  void ReadTranslationTail(ElementCursor& cursor, zdl::CNumPlan& pattern);
  void ReadRouteTail(ElementCursor& cursor, zdl::CNumPlan& pattern, zdl::CDeviceNumPlanMapList& maps);
};

class CUpdatePatternHandler : public CPatternHandler {
 public:
  using CPatternHandler::CPatternHandler;
  void Execute(XmlNode request, CXMLElement& result) override;

 private:
  void ReadHead(ElementCursor& cursor, zdl::CNumPlan& pattern);
  void ReadRouting(ElementCursor& cursor, zdl::CNumPlan& pattern);
  // A route pattern's "destination": replaces its device map and writes it at once.
  void ReadDestination(ElementCursor& cursor, const zdl::CZDLID& pattern);
  // The name-form lookups only translation patterns accept; "" for route patterns.
  std::string TranslationOnly(const char* notFound) const;
};

class CRemovePatternHandler : public CPatternHandler {
 public:
  using CPatternHandler::CPatternHandler;
  void Execute(XmlNode request, CXMLElement& result) override;
};

class CGetPatternHandler : public CPatternHandler {
 public:
  using CPatternHandler::CPatternHandler;
  void Execute(XmlNode request, CXMLElement& result) override;
};

// The method table's classes.
#define ZEB_PATTERN_HANDLER(Class, Base, kind)                       \
  class Class : public Base {                                        \
   public:                                                           \
    explicit Class(RequestContext& context) : Base(context, kind) {} \
  };
ZEB_PATTERN_HANDLER(CAddTransPatternHandler, CAddPatternHandler, kTranslationPattern)
ZEB_PATTERN_HANDLER(CUpdateTransPatternHandler, CUpdatePatternHandler, kTranslationPattern)
ZEB_PATTERN_HANDLER(CRemoveTransPatternHandler, CRemovePatternHandler, kTranslationPattern)
ZEB_PATTERN_HANDLER(CGetTransPatternHandler, CGetPatternHandler, kTranslationPattern)
ZEB_PATTERN_HANDLER(CAddRoutePatternHandler, CAddPatternHandler, kRoutePattern)
ZEB_PATTERN_HANDLER(CUpdateRoutePatternHandler, CUpdatePatternHandler, kRoutePattern)
ZEB_PATTERN_HANDLER(CRemoveRoutePatternHandler, CRemovePatternHandler, kRoutePattern)
ZEB_PATTERN_HANDLER(CGetRoutePatternHandler, CGetPatternHandler, kRoutePattern)
#undef ZEB_PATTERN_HANDLER

}  // namespace zeb
