// addLine, updateLine, removeLine and getLine: lines are numbers of the directory-number usage,
// named by "uuid" or by pattern, partition and route filter element.
#pragma once

#include "handlers/CRequestHandler.h"
#include "handlers/RequestReader.h"
#include "zdl/Records.h"

namespace zeb {

class CLineHandler : public CRequestHandler {
 public:
  using CRequestHandler::CRequestHandler;
  HandlerOperation Add;
  // Changes the elements the request names; all are optional.
  HandlerOperation Update;
  HandlerOperation Remove, Get;

 private:
  // The positions of an add request, in their order. Each gets the cursor on its position,
  // reads the element there into line_ (or throws), and leaves the cursor on the next position.
  void ReadPattern(ElementCursor& cursor);
  void ReadDescription(ElementCursor& cursor);
  void ReadUsage(ElementCursor& cursor);
  void ReadRoutePartition(ElementCursor& cursor);
  void ReadCallForwardAll(ElementCursor& cursor);
  void ReadCallForwardBusy(ElementCursor& cursor);
  void ReadCallForwardNoAnswer(ElementCursor& cursor);
  void ReadCallPickupGroup(ElementCursor& cursor);
  void ReadCallWaitingEnabled(ElementCursor& cursor);
  void ReadCfaCSSClause(ElementCursor& cursor);
  void ReadMwiStatus(ElementCursor& cursor);
  void ReadShareLineAppearanceCSS(ElementCursor& cursor);
  void ReadUseFullyQualCallingPartyNum(ElementCursor& cursor);
  void ReadVoiceMailProfile(ElementCursor& cursor);

  // The two halves of an update request.
  void ReadChanges(ElementCursor& cursor, zdl::CNumPlan& line);
  void ReadSettings(ElementCursor& cursor, zdl::CNumPlan& line);

  zdl::SmartItemPtr<zdl::CNumPlan> line_;
};

}  // namespace zeb
