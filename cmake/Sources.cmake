# Every source file of the project, listed explicitly.

set(ZEB_SOURCES
  src/zdl/CZDLID.cc
  src/zdl/CZDLValue.cc
  src/zdl/Schema.cc
  src/zdl/Dialect.cc
  src/zdl/sqlite/SqliteConnection.cc
  src/zdl/CZDLSession.cc
  src/zdl/TypeTableCache.cc
  src/zdl/CZDLDatabase.cc
  src/zdl/SeedData.cc
  src/zdl/CItem.cc
  src/zdl/CItemList.cc
  src/zdl/Integrity.cc
  src/zdl/CFastAccess.cc
  src/zdl/CTypeList.cc
  src/soap/CXMLElement.cc
  src/soap/ZebExceptions.cc
  src/soap/Faults.cc
  src/soap/XmlDocument.cc
  src/soap/ProcessSOAPRequest.cc
  src/dispatch/CRequestHandler.cc
  src/dispatch/CreateHandler.cc
  src/extension/RefusalResponses.cc
  src/extension/TraceLog.cc
  src/extension/VersionStamp.cc
  src/extension/CQuillonExtension.cc
)

set(ZEB_SERVER_SOURCES
  src/server/HttpHost.cc
  src/server/ServerOptions.cc
  src/server/main.cc
)

set(ZEB_TEST_SOURCES
  tests/soap/CXMLElement_test.cc
  tests/soap/ProcessSOAPRequest_test.cc
  tests/extension/TraceLog_test.cc
  tests/extension/CQuillonExtension_test.cc
  tests/zdl/CZDLDatabase_test.cc
  tests/zdl/CItemList_test.cc
)
