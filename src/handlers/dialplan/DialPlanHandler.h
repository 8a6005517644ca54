// addDialPlan, updateDialPlan, removeDialPlan and getDialPlan: one family class, an operation per
// method. Also the way the dial plan families (dial plans, tags, route filters, digit discard
// instructions) name the record of their update, remove and get methods.
#pragma once

#include "handlers/CRequestHandler.h"
#include "handlers/RequestReader.h"

namespace zeb {

enum class DialPlanOperation { kUpdate, kRemove, kGet };

// The identification of an update, remove or get method of a dial plan family: "name" or
// "uuid". Update reports a missing record with updateNotFound, remove and get with notFound;
// get words a "name" without value "must contain". uuidFirst names the elements "<uuid> or
// <name>" in the remove and get messages (else "<name> or <uuid>").
Identification DialPlanFamilyIdentification(DialPlanOperation operation, const char* updateNotFound,
                                            const char* notFound, bool uuidFirst = false);

class CDialPlanHandler : public CRequestHandler {
 public:
  using CRequestHandler::CRequestHandler;
  HandlerOperation Add, Update, Remove, Get;
};

}  // namespace zeb
