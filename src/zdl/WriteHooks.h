// What the library does around writing particular tables: columns it derives before a record is
// written, and companion rows it keeps in step after a record is inserted. Called by
// CItemList::Update inside its transaction, so a failure here undoes the whole write.
#pragma once

#include "zdl/CItem.h"
#include "zdl/CZDLSession.h"

namespace zeb::zdl {

// Before a new or changed record is checked and written.
void BeforeWrite(CZDLSession& session, CItem& item);
// After a new record has been inserted.
void AfterInsert(CZDLSession& session, const CItem& item);
// Before the row of table keyed key is deleted (ahead of the declared integrity checks). Throws
// CZDLException kZDLStillReferenced to refuse a removal the declarations cannot express.
void BeforeDelete(CZDLSession& session, const TableDef& table, const CZDLValue& key);

}  // namespace zeb::zdl
