// What the library does around writing particular tables: columns it derives before a record is
// written, companion rows and derived columns of other records it keeps in step after a write.
// Called by CItemList::Update inside its transaction, so a failure here undoes the whole write.
#pragma once

#include "zdl/CItem.h"
#include "zdl/CZDLSession.h"

namespace zeb::zdl {

// Before a new or changed record is checked and written.
void BeforeWrite(CZDLSession& session, CItem& item);
// After a new record has been inserted.
void AfterInsert(CZDLSession& session, const CItem& item);
// After the changed columns of a record have been written (item still knows which).
void AfterUpdate(CZDLSession& session, const CItem& item);
// After a record has been deleted.
void AfterDelete(CZDLSession& session, const CItem& item);
// Before the row of table keyed key is deleted (ahead of the declared integrity checks). Throws
// CZDLException kZDLStillReferenced to refuse a removal the declarations cannot express.
void BeforeDelete(CZDLSession& session, const TableDef& table, const CZDLValue& key);

// Stores the clause of the calling search space keyed css: its member partitions' names in
// member order (ties by name, without regard to case) joined by ":", the form a call-control
// engine reads. The hooks above call it whenever members or partition names change.
void RefreshCallingSearchSpaceClause(CZDLSession& session, const CZDLValue& css);

}  // namespace zeb::zdl
