// No secret reaches a file, whatever the shape of the request that carries it: requests made by
// a generator (truncated, with wrong end tags, reordered children, the secret as CDATA or as
// character references, method names misspelt or in lower case) go to a real zebd, and the
// secret's marker must then appear in no trace file, no audit row and nothing on stderr.
#include <gtest/gtest.h>

#include <filesystem>

#include "e2e/ZebdProcess.h"

namespace zeb::test {
namespace {

// The secret's text; "Zq" is also sent as the character references &#90;&#113;, so the tail
// is what must never show.
constexpr char kMarker[] = "Zqx7Mark";
constexpr char kMarkerTail[] = "x7Mark";

std::string Replace(std::string text, const std::string& what, const std::string& with) {
  const std::size_t at = text.find(what);
  if (at != std::string::npos) text.replace(at, what.size(), with);
  return text;
}

// The requests a secret travels in, each with {S} where the secret goes.
std::vector<std::string> BaseRequests() {
  const std::string parameter = "<processNodeName>EnterpriseWideData</processNodeName><service>Directory</service>";
  return {
      "<addUser><newUser><firstname>F</firstname><lastname>L</lastname><ldapRN>sec1</ldapRN><ldapDN/><email/>"
      "<password>{S}</password><pin>{S}</pin></newUser></addUser>",
      "<updateUser><ldapRN>sec1</ldapRN>\n<password>{S}</password><pin>{S}</pin></updateUser>",
      "<updateServiceParameter><name>DirectoryManagerPassword</name>" + parameter +
          "<newValue>{S}</newValue></updateServiceParameter>",
      "<updateServiceParameter><uuid>{11111111-2222-3333-4444-555555555555}</uuid><newValue>{S}</newValue>"
      "</updateServiceParameter>",
      "<updateServiceParameter><name>NoSuchParameter</name>" + parameter +
          "<newValue>{S}</newValue></updateServiceParameter>",
      "<updateServiceParameter><newValue>{S}</newValue><name>DirectoryManagerPassword</name>" + parameter +
          "</updateServiceParameter>",
      "<updateserviceparameter><name>DirectoryManagerPassword</name>" + parameter +
          "<newValue>{S}</newValue></updateserviceparameter>",
      "<updateServiceParamter><name>DirectoryManagerPassword</name><newValue>{S}</newValue></updateServiceParamter>",
      "<fooBar><password>{S}</password></fooBar>",
  };
}

// Every shape made of one request: the secret plain, as CDATA, as character references and
// over two lines; then end tags misspelt, truncations at many points, with and without the
// envelope.
std::vector<std::string> Shapes(const std::string& request) {
  std::vector<std::string> secrets = {kMarker, std::string("<![CDATA[") + kMarker + "]]>",
                                      std::string("&#90;&#113;") + kMarkerTail, std::string("a\n") + kMarker};
  std::vector<std::string> shapes;
  for (const std::string& secret : secrets) {
    std::string filled = request;
    for (std::size_t at; (at = filled.find("{S}")) != std::string::npos;) filled.replace(at, 3, secret);
    shapes.push_back(SoapEnvelope(filled));
    for (const char* tag : {"</password>", "</pin>", "</newValue>"}) {
      const std::string wrong = std::string(tag).substr(0, std::string(tag).size() - 2) + ">";
      shapes.push_back(SoapEnvelope(Replace(filled, tag, wrong)));
    }
    shapes.push_back(filled);  // no envelope
    const std::string whole = SoapEnvelope(filled);
    const std::size_t secretAt = whole.find(kMarkerTail);
    for (std::size_t cut = secretAt - 12; cut < whole.size(); cut += 9) shapes.push_back(whole.substr(0, cut));
  }
  return shapes;
}

std::string FilesUnder(const std::string& dir) {
  std::string all;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(dir)) {
    if (entry.is_regular_file()) all += ReadFile(entry.path());
  }
  return all;
}

TEST(SecretPaths, NoShapeOfRequestPutsASecretInAnyFile) {
  ZebdProcess zebd;
  std::size_t sent = 0;
  for (const std::string& request : BaseRequests()) {
    for (const std::string& shape : Shapes(request)) sent += !PostSoap(zebd.port(), shape).empty();
  }
  const std::string audit = RunZebd({"audit", "--db", zebd.dbPath()}).out;
  const std::string trace = FilesUnder(zebd.traceDir());
  EXPECT_EQ(0, zebd.Stop());
  const std::string stderrText = zebd.StderrText();
  // The requests got where they can leak, each answered: parsed or not, into the trace; the user
  // into the audit.
  EXPECT_LT(500u, sent);
  EXPECT_NE(std::string::npos, trace.find("Source Text : "));
  EXPECT_NE(std::string::npos, trace.find("updateServiceParamter"));
  EXPECT_NE(std::string::npos, audit.find("\"method\":\"addUser\""));
  EXPECT_EQ(std::string::npos, trace.find(kMarkerTail));
  EXPECT_EQ(std::string::npos, audit.find(kMarkerTail)) << audit;
  EXPECT_EQ(std::string::npos, stderrText.find(kMarkerTail)) << stderrText;
}

}  // namespace
}  // namespace zeb::test
