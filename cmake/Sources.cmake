# Every source file of the project, listed explicitly.

set(ZEB_SOURCES
  src/extension/StandInExtension.cc  # TEMPORARY until the extension is merged
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
  tests/e2e/ZebdProcess.cc
  tests/e2e/HttpHost_e2e_test.cc
)
