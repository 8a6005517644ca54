// The checks the library makes before it writes, so that a refused write names what is wrong:
// required values, unique values (names compared without case), references to records that do
// not exist, and records that cannot be removed while others still refer to them. The
// database's own constraints back these up.
#pragma once

#include <string>
#include <vector>

#include "zdl/CItem.h"
#include "zdl/CZDLSession.h"

namespace zeb::zdl {

// REQUIRES: a write transaction. Throws CZDLException (kZDLRequiredValue, kZDLDuplicate,
// kZDLReferenceMissing) for the first problem of the record's new or changed columns.
void CheckWrite(CZDLSession& session, const CItem& item);

// REQUIRES: a write transaction. Throws kZDLStillReferenced naming a record that still refers to
// the row (directly, or to a row that would go with it).
void CheckDelete(CZDLSession& session, const TableDef& table, const CZDLValue& key);

// The text that names a row in messages: its label column in quotes, else its key.
std::string RowLabel(CZDLSession& session, const TableDef& table, const CZDLValue& key);

// Fills columns the library derives (a device's class and model from its product, the CTI
// identifier of a new device) before a record is written.
void BeforeWrite(CZDLSession& session, CItem& item);

}  // namespace zeb::zdl
