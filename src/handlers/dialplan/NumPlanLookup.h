// What the handlers of the number table share: finding a number by pattern, partition and route
// filter; the identification of get, update and remove requests with its checks; and the
// reading of references to other records in the forms requests give them.
#pragma once

#include <functional>
#include <string>
#include <type_traits>

#include "handlers/RequestReader.h"
#include "zdl/Records.h"
#include "zdl/TypeEnums.h"

namespace zeb {

// Selects the numbers with exactly this pattern in this partition with this route filter (a
// null identifier matches numbers without one).
void SelectByDNPatternAndPartitionIDAndFilterID(zdl::CNumPlanList& list, const std::string& pattern,
                                                const zdl::CZDLID& partition, const zdl::CZDLID& filter);

// How a get, update or remove request of a number kind names its record: "uuid", or "pattern"
// followed by the partition and the route filter.
struct NumPlanIdentification {
  std::string nullText;            // thrown when the request has no element child
  bool patternNeedsValue = false;  // an empty "pattern" throws instead of meaning the empty pattern
  bool filterByName = true;        // "routeFilterId" is read and "routeFilterName" accepted; else
                                   // only "routeFilterId" is accepted and its value is not read
};

// Reads the identifying elements and selects into list; advances past them. The selection may
// be empty (see RequireNumPlan).
void IdentifyNumPlan(ElementCursor& cursor, zdl::CZDLSession& session, zdl::CNumPlanList& list,
                     const NumPlanIdentification& how);

// Throws CZDLException 2 with notFound when list is empty, and with wrongUsage when its first
// record is not of the usage. Leaves the list on its first record.
void RequireNumPlan(zdl::CNumPlanList& list, zdl::PatternUsage usage, const std::string& notFound,
                    const std::string& wrongUsage);

// --- references ---

using StoreID = std::function<void(const zdl::CZDLID&)>;

// The forms in which an add method names another record at one position: the element itself
// with a "uuid" attribute (taken as is; without the attribute nothing is stored), element +
// "Name" holding a name (looked up in List; without a value nothing is stored), and element +
// "Id", which is refused with the deprecation text.
struct ReferenceForms {
  const char* element;
  std::string deprecated;  // thrown for element + "Id"; empty when that form is not recognised
  std::string notFound;    // thrown when the name names no record
};

// Reads one of the forms under the cursor into store and returns true; returns false (and reads
// nothing) when the cursor is on none of them. Does not advance. With List void the name form
// is not accepted.
template <class List = void>
bool ReadAddReference(const ElementCursor& cursor, zdl::CZDLSession& session, const ReferenceForms& forms,
                      const StoreID& store) {
  const std::string element = forms.element;
  if (cursor.Is(forms.element)) {
    if (auto uuid = AttributeOf(cursor.node(), "uuid")) store(ParseID(*uuid));
    return true;
  }
  if constexpr (!std::is_void_v<List>) {
    if (cursor.Is((element + "Name").c_str())) {
      if (auto name = ValueOf(cursor.node())) store(FindIdByName<List>(session, *name, forms.notFound));
      return true;
    }
  }
  if (!forms.deprecated.empty() && cursor.Is((element + "Id").c_str())) {
    throw CUnexpectedNodeException(forms.deprecated);
  }
  return false;
}

// A required reference position of an add method: NULL throws "NULL element found, expecting
// <element>"; another element throws the "Found" message with "<element> or <elementName>".
// Advances past the element.
template <class List>
void RequiredAddReference(ElementCursor& cursor, zdl::CZDLSession& session, const ReferenceForms& forms,
                          const StoreID& store) {
  const std::string element = forms.element;
  cursor.RequireNotNull("NULL element found, expecting <" + element + ">");
  if (!ReadAddReference<List>(cursor, session, forms, store)) {
    cursor.ThrowFound("<" + element + "> or <" + element + "Name>");
  }
  cursor.Advance();
}

// An optional reference position of an update method: element + "Id" holds the identifier
// (without a value: the null identifier); when List is not void and notFound is not empty,
// element + "Name" holds a name (looked up; without a value: the null identifier). Returns true
// and advances when the cursor was on one of them.
template <class List = void>
bool ReadUpdateReference(ElementCursor& cursor, zdl::CZDLSession& session, const std::string& element,
                         const std::string& notFound, const StoreID& store) {
  if (cursor.Is((element + "Id").c_str())) {
    store(ParseID(ValueOrEmpty(cursor.node())));
    cursor.Advance();
    return true;
  }
  if constexpr (!std::is_void_v<List>) {
    if (!notFound.empty() && cursor.Is((element + "Name").c_str())) {
      auto name = ValueOf(cursor.node());
      store(name ? FindIdByName<List>(session, *name, notFound) : zdl::CZDLID());
      cursor.Advance();
      return true;
    }
  }
  return false;
}

// --- plain values ---

// An optional position: when the cursor is on name, calls read with the element and advances.
// Returns whether it did.
bool OptionalElement(ElementCursor& cursor, const char* name, const std::function<void(XmlNode)>& read);

// A required position holding a plain value: NULL throws nullText, another element the "Found"
// message with "<name>". withValue is called only when the element has a value. Advances.
void RequiredValue(ElementCursor& cursor, const char* name, const std::string& nullText,
                   const std::function<void(const std::string&)>& withValue);

// --- the positions call park numbers, pickup groups and patterns share ---

// The add order's optional partition: "routePartition" (uuid), "routePartitionName" ("The
// specified Route Partition was not found.") or the refused "routePartitionId". Advances when
// the cursor was on one of them.
void ReadOptionalPartition(ElementCursor& cursor, zdl::CZDLSession& session, zdl::CNumPlan& number);

// The start of the call park and call pickup add orders: "pattern" (a value required), optional
// "description" and "usage" (its value is not read), with their NULL texts. Advances past them.
void ReadNumberHead(ElementCursor& cursor, zdl::CNumPlan& number);

// The start of the call park and call pickup update orders, all optional: "newPattern" (a value
// required), "description" (empty clears), "newRoutePartitionId" or "newRoutePartitionName"
// (empty: no partition).
void ReadNumberChanges(ElementCursor& cursor, zdl::CZDLSession& session, zdl::CNumPlan& number);

}  // namespace zeb
