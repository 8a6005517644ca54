// addLine, updateLine, removeLine and getLine: lines are numbers of the directory-number usage,
// named by "uuid" or by pattern, partition and route filter element.
#pragma once

#include "dispatch/CRequestHandler.h"
#include "dispatch/RequestReader.h"
#include "zdl/Records.h"

namespace zeb {

// The line handlers that set a line's fields: one operation per settable element position, in
// the order the add request gives them. Each gets the cursor on its position, reads the element
// there (or throws), and leaves the cursor on the next position. The defaults read nothing;
// the update handler reads its elements in Execute instead, since its elements are all optional
// and differ from the add request's.
class CLineHandler : public CRequestHandler {
 public:
  using CRequestHandler::CRequestHandler;

 protected:
  virtual void ReadPattern(ElementCursor&) {}
  virtual void ReadUsage(ElementCursor&) {}
  virtual void ReadRoutePartition(ElementCursor&) {}
  virtual void ReadCallForwardAll(ElementCursor&) {}
  virtual void ReadCallForwardBusy(ElementCursor&) {}
  virtual void ReadCallForwardNoAnswer(ElementCursor&) {}
  virtual void ReadCallPickupGroup(ElementCursor&) {}
  virtual void ReadCallWaitingEnabled(ElementCursor&) {}
  virtual void ReadCfaCSSClause(ElementCursor&) {}
  virtual void ReadShareLineAppearanceCSS(ElementCursor&) {}
  virtual void ReadUseFullyQualCallingPartyNum(ElementCursor&) {}
};

class CAddLineHandler : public CLineHandler {
 public:
  using CLineHandler::CLineHandler;
  void Execute(XmlNode request, CXMLElement& result) override;

 protected:
  void ReadPattern(ElementCursor& cursor) override;
  void ReadUsage(ElementCursor& cursor) override;
  void ReadRoutePartition(ElementCursor& cursor) override;
  void ReadCallForwardAll(ElementCursor& cursor) override;
  void ReadCallForwardBusy(ElementCursor& cursor) override;
  void ReadCallForwardNoAnswer(ElementCursor& cursor) override;
  void ReadCallPickupGroup(ElementCursor& cursor) override;
  void ReadCallWaitingEnabled(ElementCursor& cursor) override;
  void ReadCfaCSSClause(ElementCursor& cursor) override;
  void ReadShareLineAppearanceCSS(ElementCursor& cursor) override;
  void ReadUseFullyQualCallingPartyNum(ElementCursor& cursor) override;

 private:
  // The positions that are not slots: description, mwiStatus and voiceMailProfile.
  void ReadDescription(ElementCursor& cursor);
  void ReadMwiStatus(ElementCursor& cursor);
  void ReadVoiceMailProfile(ElementCursor& cursor);

  zdl::SmartItemPtr<zdl::CNumPlan> line_;
};

class CUpdateLineHandler : public CLineHandler {
 public:
  using CLineHandler::CLineHandler;
  void Execute(XmlNode request, CXMLElement& result) override;

 private:
  void ReadChanges(ElementCursor& cursor, zdl::CNumPlan& line);
  void ReadSettings(ElementCursor& cursor, zdl::CNumPlan& line);
};

class CRemoveLineHandler : public CRequestHandler {
 public:
  using CRequestHandler::CRequestHandler;
  void Execute(XmlNode request, CXMLElement& result) override;
};

class CGetLineHandler : public CRequestHandler {
 public:
  using CRequestHandler::CRequestHandler;
  void Execute(XmlNode request, CXMLElement& result) override;
};

}  // namespace zeb
