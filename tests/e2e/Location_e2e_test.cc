// Locations through real HTTP.
#include "e2e/ZebdTest.h"
#include "zdl/CZDLDatabase.h"

namespace zeb::test {
namespace {

class LocationTest : public ZebdTest {
 protected:
  std::string AddLocation(const std::string& name, const std::string& kbits,
                          RequestCheck check = RequestCheck::kSchema) {
    return CallForId("addLocation",
                     "<addLocation><location><name>" + name + "</name><id>99</id><kbits>" + kbits +
                         "</kbits></location></addLocation>",
                     check);
  }
  std::string LocationResponse(const std::string& id, const std::string& name, const std::string& number,
                               const std::string& kbits, const std::string& sequence = "") {
    return Response("getLocation",
                    "<return>\r\n<location  uuid=\"" + id + "\">\r\n<name>" + name + "</name>\r\n<id>" +
                        number + "</id>\r\n<kbits>" + kbits + "</kbits>\r\n</location>\r\n</return>\r\n",
                    sequence);
  }
};

TEST_F(LocationTest, AddGetUpdateRemoveRoundTrip) {
  // The library numbers locations; the number given is not stored.
  const std::string hub = AddLocation("Hub", "64"), branch = AddLocation("Branch", "12abc", kLenient);
  EXPECT_EQ(LocationResponse(hub, "Hub", "1", "64"), Call("<getLocation><name>hub</name></getLocation>"));
  EXPECT_EQ(LocationResponse(branch, "Branch", "2", "12", "8"),
            Call("<zeb:getLocation sequence=\"8\"><zeb:uuid>" + branch + "</zeb:uuid></zeb:getLocation>"));

  EXPECT_EQ(Standard("updateLocation", branch), Call("<updateLocation><uuid>" + branch +
                                                     "</uuid><newName>Annex</newName><kbits>256</kbits>"
                                                     "</updateLocation>"));
  EXPECT_EQ(LocationResponse(branch, "Annex", "2", "256"),
            Call("<getLocation><name>Annex</name></getLocation>"));
  EXPECT_EQ(Standard("updateLocation", branch),
            Call("<updateLocation><name>Annex</name><kbits>8</kbits></updateLocation>"));
  EXPECT_EQ(LocationResponse(branch, "Annex", "2", "8"),
            Call("<getLocation><name>Annex</name></getLocation>"));

  EXPECT_EQ(Standard("removeLocation", branch), Call("<removeLocation><name>Annex</name></removeLocation>"));
  EXPECT_EQ(Fault("getLocation", kNotFound, "The specified Location was not found."),
            Call("<getLocation><uuid>" + branch + "</uuid></getLocation>"));
}

TEST_F(LocationTest, RefusalsNameTheProblemAndChangeNothing) {
  const std::string hub = AddLocation("Hub", "64");
  {
    // A device placed in the location, written behind the server's back.
    auto db = zdl::CZDLDatabase::Open(zebd_.dbPath());
    db->Session().Execute("INSERT INTO Device (pkid, Name, fkLocation) VALUES (?, ?, ?)",
                          {"{00000000-0000-0000-0000-0000000000D1}", "Lobby phone", hub});
  }
  auto add = [](const std::string& content) { return "<addLocation><location>" + content + "</location></addLocation>"; };
  struct Case {
    std::string request, method;
    int code;
    std::string message;
  } cases[] = {
      {"<addLocation/>", "addLocation", kUnexpectedNode,
       "Unexpected element. Found NULL, expecting <location>"},
      {add(""), "addLocation", kUnexpectedNode, "Unexpected element. Found NULL, expecting <name>"},
      {add("<id>1</id>"), "addLocation", kUnexpectedNode,
       "Unexpected element. Found <id>, expecting <name>."},
      {add("<name/>"), "addLocation", kInvalidValue, "The element, <name>, must contain a value."},
      {add("<name>L</name>"), "addLocation", kUnexpectedNode,
       "Unexpected element. NULL element found. Expecting <id>."},
      {add("<name>L</name><id>1</id>"), "addLocation", kUnexpectedNode,
       "Unexpected element. NULL element found. Expecting <kbits>."},
      {add("<name>L</name><kbits>1</kbits>"), "addLocation", kUnexpectedNode,
       "Unexpected element. Found <kbits>, expecting <id>."},
      {add("<name>L</name><id/><kbits/>"), "addLocation", kInvalidValue,
       "The element, <kbits>, must contain a value."},
      {add("<name>HUB</name><id/><kbits>1</kbits>"), "addLocation", 3,
       "A Location named \"HUB\" already exists."},
      {"<updateLocation/>", "updateLocation", kUnexpectedNode,
       "Unexpected element. Found NULL, expecting <name> or <uuid>"},
      {"<updateLocation><name>Nope</name></updateLocation>", "updateLocation", kNotFound,
       "Location not found."},
      {"<updateLocation><name>Hub</name><newName/></updateLocation>", "updateLocation", kInvalidValue,
       "The element, <newName>, must contain a value."},
      {"<updateLocation><name>Hub</name><kbits/></updateLocation>", "updateLocation", kInvalidValue,
       "The element, <kbits>, must contain a value."},
      {"<removeLocation/>", "removeLocation", kUnexpectedNode,
       "Unexpected element. Found NULL, expecting <uuid> or <name>"},
      {"<removeLocation><name>Nope</name></removeLocation>", "removeLocation", kNotFound,
       "The specified Location was not found."},
      {"<removeLocation><uuid>" + hub + "</uuid></removeLocation>", "removeLocation", 4,
       "The Location \"Hub\" cannot be removed because it is still used by Device \"Lobby phone\"."},
      {"<getLocation><name/></getLocation>", "getLocation", kInvalidValue,
       "The element, <name>, must contain a value."},
  };
  for (const Case& c : cases) ExpectRefused(c.request, c.method, c.code, c.message);
}

}  // namespace
}  // namespace zeb::test
