// The list and count queries through real HTTP.
#include "e2e/RoutingTest.h"

namespace zeb::test {
namespace {

class ListQueryTest : public RoutingTest {
 protected:
  std::string AddDescribedPartition(const std::string& name) { return AddPartition(name, name + " numbers"); }

  static std::string Phone(const std::string& id, const std::string& name, const std::string& model) {
    return "<phone  uuid=\"" + id + "\">\r\n" + El("name", name) + El("product", model) + El("model", model) +
           "</phone>\r\n";
  }
  // The response of a list method whose return holds items (empty: an empty return).
  std::string Listed(const std::string& method, const std::string& items, const std::string& sequence = "") {
    return Response(method, items.empty() ? "<return></return>\r\n" : "<return>\r\n" + items + "</return>\r\n",
                    sequence);
  }
  std::string Search(const std::string& method, const std::string& text) {
    return CallWith(method, "searchString", text);
  }
};

TEST_F(ListQueryTest, PhonesMatchNameOrDescriptionPatternsWithoutRegardToCase) {
  const std::string a = InsertDevice("SEPAAA", 7, "Lobby phone");
  const std::string b = InsertDevice("sepabb", 8, "Front 100% desk");
  const std::string c = InsertDevice("SEPX_Y", 35, "O'Brien's phone");
  InsertDevice("SEPGATE", 30, "Lobby gateway");
  InsertDevice("SEPPROFILE", 7, "Lobby profile", 254);
  const std::string pa = Phone(a, "SEPAAA", "Desk Phone 12"), pb = Phone(b, "sepabb", "Desk Phone 40"),
                    pc = Phone(c, "SEPX_Y", "Desk Phone 60");
  struct Case {
    std::string method, text, items;
  } cases[] = {
      {"listPhoneByName", "sep%", pa + pb + pc},
      {"listPhoneByName", "SEP_A%", pa},
      {"listPhoneByName", "%x_y", pc},
      {"listPhoneByName", "SEPAA", ""},
      {"listPhoneByName", "", ""},
      {"listPhoneByName", "SEPAAA' OR '1'='1", ""},
      {"listPhoneByDescription", "lobby%", pa},
      {"listPhoneByDescription", "%100%%", pb},
      {"listPhoneByDescription", "%o'brien%", pc},
  };
  for (const Case& t : cases) EXPECT_EQ(Listed(t.method, t.items), Search(t.method, t.text)) << t.text;
  EXPECT_EQ(Listed("listPhoneByName", pa, "5"),
            Call("<zeb:listPhoneByName sequence=\"5\"><zeb:searchString>sepaaa</zeb:searchString><ignored/>"
                 "</zeb:listPhoneByName>",
                 kLenient));
}

TEST_F(ListQueryTest, GetNumDevicesCountsTheClass) {
  InsertDevice("SEP1", 7);
  InsertDevice("SEP2", 8);
  InsertDevice("GW1", 30);
  InsertDevice("PROFILE1", 7, "", 254);
  const std::pair<const char*, const char*> cases[] = {
      {"Phone", "2"}, {"Gateway", "1"}, {"Device Profile", "1"}, {"Route List", "0"}};
  for (const auto& [deviceClass, count] : cases) {
    EXPECT_EQ(Standard("getNumDevices", count), CallWith("getNumDevices", "class", deviceClass));
  }
}

TEST_F(ListQueryTest, RoutePlansListByUsageOrAllInPatternOrder) {
  const std::string internal = AddDescribedPartition("Internal"), pub = AddDescribedPartition("Public");
  const std::string local = InsertNamed<zdl::CRouteFilterList>("Local & Free");
  const std::string line = AddNumber("1000", internal);
  const std::string translation = AddNumber("1000", pub, 3);
  const std::string orphan = AddNumber("2000");
  const std::string route = AddNumber("9.@", pub, 5, local);
  auto plan = [](const std::string& id, const std::string& pattern, const std::string& partition,
                 const std::string& usage, const std::string& filter) {
    return "<routePlan  uuid=\"" + id + "\">\r\n" + El("directoryNumber", pattern) +
           El("routePartitionName", partition) + El("usage", usage) + El("routeFilterName", filter) +
           "</routePlan>\r\n";
  };
  EXPECT_EQ(Listed("listRoutePlanByType",
                   plan(line, "1000", "Internal", "Device", "") + plan(orphan, "2000", "", "Device", "")),
            CallWith("listRoutePlanByType", "usage", "Device"));
  EXPECT_EQ(Listed("listRoutePlanByType", plan(line, "1000", "Internal", "Device", "") +
                                              plan(translation, "1000", "Public", "Translation", "") +
                                              plan(orphan, "2000", "", "Device", "") +
                                              plan(route, "9.@", "Public", "Route", "Local &amp; Free")),
            Call("<listRoutePlanByType><usage/></listRoutePlanByType>"));
  EXPECT_EQ(Listed("listRoutePlanByType", ""), CallWith("listRoutePlanByType", "usage", "Call Park"));
}

TEST_F(ListQueryTest, PartitionsAndSearchSpacesMatchNamePatterns) {
  const std::string internal = AddDescribedPartition("Internal"), lab = AddDescribedPartition("INT_Lab"),
                    pub = AddDescribedPartition("Public");
  const std::string lobby = CallForId(
      "addCSS", "<addCSS><newCSS><name>Lobby</name><members><member index=\"1\"><routePartitionName>Public"
                "</routePartitionName></member><member index=\"2\"><routePartitionName>Internal</routePartitionName>"
                "</member></members></newCSS></addCSS>");
  const std::string staff = AddCSS("Staff");
  auto partition = [](const std::string& id, const std::string& name) {
    return PartitionElement(id, name, name + " numbers");
  };
  EXPECT_EQ(Listed("listRoutePartitionByName", partition(lab, "INT_Lab") + partition(internal, "Internal")),
            Search("listRoutePartitionByName", "int%"));
  EXPECT_EQ(Listed("listRoutePartitionByName", partition(lab, "INT_Lab")),
            Search("listRoutePartitionByName", "int_l%"));
  EXPECT_EQ(Listed("listRoutePartitionByName", ""), Search("listRoutePartitionByName", "x' OR 'a'='a"));
  EXPECT_EQ(Listed("listRoutePartitionByName",
                   partition(lab, "INT_Lab") + partition(internal, "Internal") + partition(pub, "Public")),
            Search("listRoutePartitionByName", "%"));
  const std::string lobbyElement =
      CssElement(lobby, "Lobby", "", "Public:Internal", CssMember(1, "Public") + CssMember(2, "Internal"));
  const std::string staffElement = CssElement(staff, "Staff", "", "", "");
  EXPECT_EQ(Listed("listCSSByName", lobbyElement + staffElement), Search("listCSSByName", "%"));
  EXPECT_EQ(Listed("listCSSByName", staffElement), Search("listCSSByName", "STAFF"));
}

TEST_F(ListQueryTest, TenThousandPhonesAreReturnedWhole) {
  constexpr int kPhones = 10000;
  {
    zdl::CZDLTransaction transaction(Db());
    for (int i = 0; i < kPhones; ++i) {
      char name[16];
      std::snprintf(name, sizeof name, "SEP%06d", i);
      Db().Execute(
          "INSERT INTO Device (pkid, Name, tkClass, tkModel, tkProduct, CtiId) VALUES (?, ?, 1, 7, 7, ?)",
          {zdl::CZDLID::New(), std::string(name), i + 1});
    }
    transaction.Commit();
  }
  // Building this answer takes seconds under the sanitizers on the shared back end: the wait
  // for it is longer than the usual bound, which would cut off a whole answer still coming.
  RawConnection connection(zebd_.port());
  connection.Send(
      SoapRequest(SoapEnvelope("<listPhoneByName><searchString>SEP%</searchString></listPhoneByName>")));
  const std::string answer = connection.ReadResponse(Millis{60'000});
  EXPECT_EQ("HTTP/1.1 200 OK", StatusLineOf(answer));
  const std::string response = BodyOf(answer);
  EXPECT_EQ(static_cast<std::size_t>(kPhones), Occurrences(response, "<phone  uuid="));
  EXPECT_TRUE(Contains(response, "<name>SEP000000</name>"));
  const std::string tail = "<name>SEP009999</name>\r\n<product>Desk Phone 12</product>\r\n<model>Desk Phone 12"
                           "</model>\r\n</phone>\r\n</return>\r\n</zeb:listPhoneByNameResponse>\r\n" + kEnvelopeEnd;
  EXPECT_EQ(tail, response.substr(response.size() - tail.size()));
  EXPECT_EQ(Standard("getNumDevices", std::to_string(kPhones)), CallWith("getNumDevices", "class", "Phone"));
}

TEST_F(ListQueryTest, RefusalsNameTheProblem) {
  ExpectAllRefused(zebd_, {
      {"<listPhoneByName/>", kUnexpectedNode, "Found NULL, expecting <searchString>"},
      {"<listCSSByName><zeb:name>x</zeb:name></listCSSByName>", kUnexpectedNode,
       "Found <zeb:name>, expecting <searchString>."},
      {"<listUserByName/>", kUnexpectedNode, "Found NULL, expecting <firstname>"},
      {"<listUserByName><lastname/></listUserByName>", kUnexpectedNode, "Found <lastname>, expecting <firstname>."},
      {"<listUserByName><firstname/></listUserByName>", kUnexpectedNode, "Found NULL, expecting <lastname>"},
      {"<listUserByName><firstname/><surname/></listUserByName>", kUnexpectedNode,
       "Found <surname>, expecting <lastname>."},
      {"<listRoutePlanByType/>", kUnexpectedNode, "Found NULL, expecting <usage>"},
      {"<listRoutePlanByType><type/></listRoutePlanByType>", kUnexpectedNode, "Found <type>, expecting <usage>."},
      {"<listRoutePlanByType><usage>Nope</usage></listRoutePlanByType>", 8, "Invalid Parameter: Nope"},
      {"<getNumDevices/>", kUnexpectedNode, "Found NULL, expecting <class>"},
      {"<getNumDevices><kind>Phone</kind></getNumDevices>", kUnexpectedNode, "Found <kind>, expecting <class>."},
      {"<getNumDevices><class/></getNumDevices>", kInvalidValue, "Then element, <class>, must have a value."},
      {"<getNumDevices><class>Nope</class></getNumDevices>", 8, "Invalid Parameter: Nope"},
  });
}

}  // namespace
}  // namespace zeb::test
