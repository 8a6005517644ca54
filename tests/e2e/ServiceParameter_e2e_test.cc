// Service parameters through real HTTP.
#include "e2e/ZebdTest.h"

namespace zeb::test {
namespace {

const std::string kNode1 = "{5EED0000-0000-0000-0000-000000000001}";
const std::string kEnterprise = "{00000000-1111-0000-0000-000000000000}";
const std::string kMaxCallDuration = "{5EED0000-0000-0000-0010-000000000101}";

class ServiceParameterTest : public ZebdTest {
 protected:
  // A parameter of a node, which the API cannot create.
  void AddParameter(const std::string& node, int service, const std::string& name, const std::string& value) {
    Db().Execute("INSERT INTO ProcessConfig (pkid, fkProcessNode, tkService, paramName, paramValue) "
                 "VALUES (?, ?, ?, ?, ?)",
                 {zdl::CZDLID::New(), zdl::CZDLID(node), service, name, value});
  }

  std::string List(const std::string& node, const std::string& service) {
    return Call("<listServiceParameters><nodeName>" + node + "</nodeName><serviceType>" + service +
                "</serviceType></listServiceParameters>");
  }
  static std::string Param(const std::string& name, const std::string& value) {
    return "<param>\r\n" + El("name", name) + El("value", value) + "</param>\r\n";
  }
  std::string Listed(const std::string& params) {
    return Response("listServiceParameters",
                    params.empty() ? "<return></return>\r\n" : "<return>\r\n" + params + "</return>\r\n");
  }

  std::string GetMaxCallDuration() {
    return Call("<getServiceParameter><uuid>" + kMaxCallDuration + "</uuid></getServiceParameter>");
  }
  std::string ParameterElement(const std::string& id, const std::string& node, const std::string& name,
                               const std::string& service, const std::string& value, const std::string& type) {
    return Response("getServiceParameter",
                    Returned("<serviceParameter  uuid=\"" + id + "\">\r\n" + El("processNodeName", node) +
                             El("name", name) + El("service", service) + El("value", value) + El("valueType", type) +
                             El("primaryData", "false") + "</serviceParameter>\r\n"));
  }
  std::string MaxCallDurationElement(const std::string& escapedValue) {
    return ParameterElement(kMaxCallDuration, "ZEBNODE1", "MaxCallDuration", "Call Processing", escapedValue,
                            "Integer");
  }
  void SetMaxCallDuration(const std::string& newValue) {
    EXPECT_EQ(Standard("updateServiceParameter", kMaxCallDuration),
              Call("<updateServiceParameter><uuid>" + kMaxCallDuration + "</uuid>" + newValue +
                   "</updateServiceParameter>"));
  }
};

TEST_F(ServiceParameterTest, ListMergesTheNodesAndTheEnterpriseWideParametersByName) {
  AddParameter(kEnterprise, 1, "AlarmThreshold", "5 & more");
  AddParameter(kEnterprise, 3, "TraceLevel", "3");
  Db().Execute("INSERT INTO ProcessNode (pkid, Name) VALUES (?, 'ZEBNODE2')", {zdl::CZDLID::New()});
  EXPECT_EQ(Listed(Param("AlarmThreshold", "5 &amp; more") + Param("MaxCallDuration", "720") +
                   Param("StatisticsEnabled", "false")),
            List("ZEBNODE1", "Call Processing"));
  EXPECT_EQ(Listed(Param("AlarmThreshold", "5 &amp; more")), List("zebnode2", "Call Processing"));
  EXPECT_EQ(Listed(""), List("ZEBNODE1", "Media Server"));
  EXPECT_EQ(Response("listServiceParameters", "<return>\r\n" + Param("TraceLevel", "3") + "</return>\r\n", "9"),
            Call("<zeb:listServiceParameters sequence=\"9\"><zeb:nodeName>ZEBNODE1</zeb:nodeName>"
                 "<zeb:serviceType>Trace Collector</zeb:serviceType></zeb:listServiceParameters>"));
}

TEST_F(ServiceParameterTest, GetNamesTheParameterByUuidOrByNodeServiceAndName) {
  const std::string expected = MaxCallDurationElement("720");
  EXPECT_EQ(expected, GetMaxCallDuration());
  EXPECT_EQ(expected, Call("<getServiceParameter><name>MaxCallDuration</name><processNodeName>zebnode1"
                           "</processNodeName><service>Call Processing</service></getServiceParameter>"));
  EXPECT_EQ(expected, Call("<getServiceParameter><name>MaxCallDuration</name><processNodeId>" + kNode1 +
                           "</processNodeId><service>Call Processing</service></getServiceParameter>"));
  // Enterprise-wide parameters belong to the pseudo node, not to each node.
  const std::string dn = Call("<getServiceParameter><name>DirectoryManagerDn</name><processNodeId>" + kEnterprise +
                              "</processNodeId><service>Directory</service></getServiceParameter>");
  const std::string dnId = Column("SELECT pkid FROM ProcessConfig WHERE paramName = ?", "DirectoryManagerDn");
  EXPECT_EQ(ParameterElement(dnId, "EnterpriseWideData", "DirectoryManagerDn", "Directory",
                             "cn=Directory Manager,o=zeb", "String"),
            dn);
  EXPECT_EQ(Fault("getServiceParameter", kNotFound, "Service Parameter not found."),
            Call("<getServiceParameter><name>DirectoryManagerDn</name><processNodeName>ZEBNODE1</processNodeName>"
                 "<service>Directory</service></getServiceParameter>"));
}

TEST_F(ServiceParameterTest, UpdateReplacesTextClearsOnEmptyAndMergesXml) {
  SetMaxCallDuration("<newValue>900</newValue>");
  EXPECT_EQ(MaxCallDurationElement("900"), GetMaxCallDuration());
  SetMaxCallDuration("<newValue/>");
  EXPECT_EQ(MaxCallDurationElement(""), GetMaxCallDuration());
  SetMaxCallDuration("<newValue><limits><day>60</day><night>30</night></limits></newValue>");
  SetMaxCallDuration("<newValue>\n  <limits><night>90</night></limits>\n</newValue>");
  EXPECT_EQ(MaxCallDurationElement("&lt;limits&gt;&lt;day&gt;60&lt;/day&gt;&lt;night&gt;90&lt;/night&gt;"
                                   "&lt;/limits&gt;"),
            GetMaxCallDuration());
  EXPECT_EQ(Standard("updateServiceParameter", kMaxCallDuration, "7"),
            Call("<zeb:updateServiceParameter sequence=\"7\"><zeb:name>MaxCallDuration</zeb:name>"
                 "<zeb:processNodeName>ZEBNODE1</zeb:processNodeName><zeb:service>Call Processing</zeb:service>"
                 "<zeb:newValue>720</zeb:newValue></zeb:updateServiceParameter>"));
  EXPECT_EQ(MaxCallDurationElement("720"), GetMaxCallDuration());
}

TEST_F(ServiceParameterTest, RefusalsNameTheProblemAndChangeNothing) {
  const std::string byName = "<name>MaxCallDuration</name><processNodeName>ZEBNODE1</processNodeName>";
  ExpectAllRefused(zebd_, {
      {"<listServiceParameters/>", kUnexpectedNode, "Found NULL, expecting <nodeName>"},
      {"<listServiceParameters><nodeName>ZEBNODE1</nodeName><service>x</service></listServiceParameters>",
       kUnexpectedNode, "Found <service>, expecting <serviceType>."},
      {"<listServiceParameters><nodeName>ZEBNODE1</nodeName><serviceType>Nope</serviceType>"
       "</listServiceParameters>",
       8, "Invalid Parameter: Nope"},
      {"<getServiceParameter><uuid>{00000000-0000-0000-0000-00000000BEEF}</uuid></getServiceParameter>",
       kNotFound, "Service Parameter not found."},
      {"<getServiceParameter><name>MaxCallDuration</name>"
       "<processNodeId>{00000000-0000-0000-0000-00000000BEEF}</processNodeId><service>Call Processing</service></getServiceParameter>",
       kNotFound, "Process Node not found."},
      {"<getServiceParameter>" + byName + "<service>Nope</service></getServiceParameter>", 8,
       "Invalid Parameter: Nope"},
      // The parameter exists, but for another service; and a node that does not exist has none.
      {"<getServiceParameter>" + byName + "<service>Directory</service></getServiceParameter>", kNotFound,
       "Service Parameter not found."},
      {"<getServiceParameter><name>MaxCallDuration</name><processNodeName>NONODE</processNodeName>"
       "<service>Call Processing</service></getServiceParameter>",
       kNotFound, "Service Parameter not found."},
      {"<updateServiceParameter>" + byName + "<service>Call "
       "Processing</service><value>1</value></updateServiceParameter>",
       kUnexpectedNode, "Found <value>, expecting <newValue>."},
      {"<updateServiceParameter><name>Nope</name><processNodeName>ZEBNODE1</processNodeName><service>Call "
       "Processing</service><newValue>1</newValue></updateServiceParameter>",
       kNotFound, "Service Parameter not found."},
  });
}

}  // namespace
}  // namespace zeb::test
