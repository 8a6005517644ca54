# Every source file of the project, listed explicitly.

set(ZEB_SOURCES
  src/zdl/CZDLID.cc
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
  src/server/ConnectionRegistry.cc
  src/server/ExtensionCall.cc
  src/server/HttpHost.cc
  src/server/HttpSession.cc
  src/server/ServerOptions.cc
  src/server/main.cc
)

set(ZEB_TEST_SOURCES
  tests/soap/CXMLElement_test.cc
  tests/soap/ProcessSOAPRequest_test.cc
  tests/extension/TraceLog_test.cc
  tests/extension/CQuillonExtension_test.cc
  tests/e2e/ZebdProcess.cc
  tests/e2e/HttpHost_e2e_test.cc
)
