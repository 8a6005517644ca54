// The element builder framework: how records become response elements. Every builder is a
// CXMLElement that fills itself in BuildFromDatabase; one that finds nothing to build stays
// empty (no tag, no children) and writes nothing.
#pragma once

#include <functional>
#include <map>
#include <mutex>
#include <string>

#include "soap/CXMLElement.h"
#include "soap/RequestContext.h"
#include "zdl/CFastAccess.h"
#include "zdl/CZDLReadAhead.h"
#include "zdl/CZDLDatabase.h"
#include "zdl/base/CZDLID.h"

namespace zeb {

// How an entity builder renders a record and the references it holds.
enum class RenderMode {
  kTftp,        // as kFull, and the phone's user locale in its TFTP form
  kNames,       // references by name only
  kNamespaces,  // the top element carries the namespace attributes
  kFull,        // references as nested elements
};

// The text of a number in a type table; "" when the table is empty or has no such row.
std::string TypeText(zdl::CZDLSession& session, const std::string& table, long number);

inline const char* BoolText(bool value) { return value ? "true" : "false"; }

// Reads one record of table by identifier into row. False when id is null or names no record.
bool ReadRecord(zdl::CFastAccess& row, const zdl::CZDLID& id);

// Fills element as the reference element of a record: nothing for a null or dangling id; in
// mode kNames "<entity>Name" holding the record's Name; otherwise "<entity>" with the "uuid"
// attribute, a "name" child and whatever fill adds from the row.
using RowFiller = std::function<void(CXMLElement& element, const zdl::CFastAccess& row)>;
void BuildReference(CXMLElement& element, zdl::CZDLSession& session, const char* table, const char* entity,
                    const zdl::CZDLID& id, RenderMode mode, const RowFiller& fill = {});

// Appends a child element with the "uuid" attribute holding id's text (empty for a null id, so
// that a client always finds the attribute) and neither text nor children; returns it.
CXMLElement* AddUuidChild(CXMLElement& parent, const std::string& tag, const zdl::CZDLID& id);

// An element whose text is a type table's text for a number (the type-info builders).
class CXMLTypeInfo : public CXMLElement {
 public:
  CXMLTypeInfo(const char* tag, const char* table) : table_(table) { SetTag(tag); }
  void BuildFromDatabase(zdl::CZDLSession& session, long number) { SetText(TypeText(session, table_, number)); }

 private:
  const char* table_;
};

#define ZEB_TYPE_INFO(Class, tag, table) \
  class Class : public CXMLTypeInfo {     \
   public:                                \
    Class() : CXMLTypeInfo(tag, table) {} \
  };
ZEB_TYPE_INFO(CXMLClassInfo, "class", "TypeClass")
ZEB_TYPE_INFO(CXMLModelInfo, "model", "TypeModel")
ZEB_TYPE_INFO(CXMLProductInfo, "product", "TypeProduct")
ZEB_TYPE_INFO(CXMLProtocolInfo, "protocol", "TypeDeviceProtocol")
ZEB_TYPE_INFO(CXMLProtocolSideInfo, "protocolSide", "TypeProtocolSide")
ZEB_TYPE_INFO(CXMLTrunkSelectionOrderInfo, "trunkSelectionOrder", "TypeTrunkSelectionOrder")
ZEB_TYPE_INFO(CXMLSilenceSuppressionThresholdInfo, "silenceSuppressionThreshold", "TypeSilenceSuppressionThreshold")
ZEB_TYPE_INFO(CXMLCallingPartySelectionInfo, "callingPartySelection", "TypeCallingPartySelection")
ZEB_TYPE_INFO(CXMLClockReferenceInfo, "clockReference", "TypeClockReference")
ZEB_TYPE_INFO(CXMLPriProtocolInfo, "priProtocol", "TypePriProtocol")
ZEB_TYPE_INFO(CXMLCallerIdInfo, "callerId", "TypeCallerID")
ZEB_TYPE_INFO(CXMLMGCPSlotModuleInfo, "product", "TypeMGCPSlotModule")
ZEB_TYPE_INFO(CXMLWinCharSetInfo, "winCharSet", "TypeWinCharSet")
#undef ZEB_TYPE_INFO

// "country" (or, as a network locale, "networkLocale" with blanks replaced by "_").
class CXMLCountryInfo : public CXMLElement {
 public:
  void BuildFromDatabase(zdl::CZDLSession& session, long number);
  void BuildFromDatabaseAsNetworkLocale(zdl::CZDLSession& session, long number);
};

// "encode": 0 is "A-law", anything else "u-law".
class CXMLEncodeInfo : public CXMLElement {
 public:
  void BuildFromDatabase(long number);
};

// "langCode": the language's code.
class CXMLLanguageInfo : public CXMLElement {
 public:
  void BuildFromDatabase(zdl::CZDLSession& session, long number);
};

// "maxPorts": the product's maximum port count in decimal.
class CXMLMaxPorts : public CXMLElement {
 public:
  void BuildFromDatabase(zdl::CZDLSession& session, long product);
};

// Model number to default load text, from table "Defaults". A miss reloads the whole table once
// before answering "".
class DefaultLoadCache : public zdl::ModuleCache {
 public:
  std::string DefaultLoad(zdl::CZDLSession& session, long model);
  void Invalidate() override;

 private:
  std::mutex mutex_;
  std::map<long, std::string> loads_;
};

}  // namespace zeb
