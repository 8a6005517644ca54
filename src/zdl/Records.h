// The record and list class of every declared table, generated from schema/*.def:
//   class C<Table> : CItem      Get<Stem>() / Put<Stem>(value) per column
//   class C<Table>List          SelectByName, SelectBy<Stem> for references and text columns
// Columns are addressed by C<Table>::Cols::k<Stem> where a generic call needs an index.
#pragma once

#include "zdl/CItem.h"
#include "zdl/CItemList.h"
#include "zdl/base/Schema.h"

namespace zeb::zdl {

// Column numbers.
#define ZDL_TABLE(I, sql, display) struct I##Cols { enum : int { kpkid,
#define ZDL_TYPE_TABLE(I, sql, display) struct I##Cols { enum : int { kEnum, kName,
#define ZDL_COL(I, Stem, sql, Kind, Flags, Default) k##Stem,
#define ZDL_REF(I, Stem, sql, Target, OnDel, Flags) k##Stem,
#define ZDL_UNIQUE(...)
#define ZDL_INDEX(...)
#define ZDL_CLUSTERED(...)
#define ZDL_LOG(...)
#define ZDL_END(I) kColumnCount }; };
#include "zdl/schema/Schema.def"
#undef ZDL_TABLE
#undef ZDL_TYPE_TABLE
#undef ZDL_COL
#undef ZDL_REF
#undef ZDL_END

// Records.
#define ZDL_ACCESS_Text(Stem, column) \
  std::string Get##Stem() const { return GetText(column); } \
  void Put##Stem(const std::string& value) { PutText(column, value); }
#define ZDL_ACCESS_Int(Stem, column) \
  long Get##Stem() const { return GetLong(column); } \
  void Put##Stem(long value) { PutLong(column, value); }
#define ZDL_ACCESS_Enum(Stem, column) ZDL_ACCESS_Int(Stem, column)
#define ZDL_ACCESS_Bool(Stem, column) \
  bool Get##Stem() const { return GetBool(column); } \
  void Put##Stem(bool value) { PutBool(column, value); }
#define ZDL_ACCESS_Guid(Stem, column) \
  CZDLID Get##Stem() const { return GetRef(column); } \
  void Put##Stem(const CZDLID& value) { PutRef(column, value); }

#define ZDL_TABLE(I, sql, display) \
  class C##I : public CItem { \
   public: \
    using Cols = I##Cols; \
    static const TableDef& Table() { static const TableDef& table = TableOf(#I); return table; } \
    C##I() : CItem(Table()) {}
#define ZDL_TYPE_TABLE(I, sql, display) \
  ZDL_TABLE(I, sql, display) \
    long GetEnum() const { return GetLong(Cols::kEnum); } \
    void PutEnum(long value) { PutLong(Cols::kEnum, value); } \
    ZDL_ACCESS_Text(Name, Cols::kName)
#define ZDL_COL(I, Stem, sql, Kind, Flags, Default) ZDL_ACCESS_##Kind(Stem, Cols::k##Stem)
#define ZDL_REF(I, Stem, sql, Target, OnDel, Flags) ZDL_ACCESS_Guid(Stem, Cols::k##Stem)
#define ZDL_END(I) };
#include "zdl/schema/Schema.def"
#undef ZDL_TABLE
#undef ZDL_TYPE_TABLE
#undef ZDL_COL
#undef ZDL_REF
#undef ZDL_END

// Lists.
#define ZDL_SELECT_Text(Stem, column) \
  void SelectBy##Stem(const std::string& value) { SelectBy(column, CZDLValue(value)); }
#define ZDL_SELECT_Int(Stem, column)
#define ZDL_SELECT_Enum(Stem, column)
#define ZDL_SELECT_Bool(Stem, column)
#define ZDL_SELECT_Guid(Stem, column) \
  void SelectBy##Stem(const CZDLID& value) { SelectBy(column, CZDLValue(value)); }

#define ZDL_TABLE(I, sql, display) \
  class C##I##List : public CItemList<C##I> { \
   public: \
    using Cols = I##Cols; \
    using CItemList::CItemList;
#define ZDL_TYPE_TABLE(I, sql, display) ZDL_TABLE(I, sql, display) ZDL_SELECT_Text(Name, Cols::kName)
#define ZDL_COL(I, Stem, sql, Kind, Flags, Default) ZDL_SELECT_##Kind(Stem, Cols::k##Stem)
#define ZDL_REF(I, Stem, sql, Target, OnDel, Flags) ZDL_SELECT_Guid(Stem, Cols::k##Stem)
#define ZDL_END(I) };
#include "zdl/schema/Schema.def"
#undef ZDL_TABLE
#undef ZDL_TYPE_TABLE
#undef ZDL_COL
#undef ZDL_REF
#undef ZDL_UNIQUE
#undef ZDL_INDEX
#undef ZDL_CLUSTERED
#undef ZDL_LOG
#undef ZDL_END

}  // namespace zeb::zdl
