// Locations through real HTTP.
#include "e2e/ZebdTest.h"

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
    return Got("getLocation", "<location  uuid=\"" + id + "\">\r\n" + El("name", name) + El("id", number) +
                                  El("kbits", kbits) + "</location>\r\n", sequence);
  }
};

TEST_F(LocationTest, AddGetUpdateRemoveRoundTrip) {
  // The library numbers locations; the number given is not stored.
  const std::string hub = AddLocation("Hub", "64"), branch = AddLocation("Branch", "12abc", kLenient);
  EXPECT_EQ(LocationResponse(hub, "Hub", "1", "64"), ByName("getLocation", "hub"));
  EXPECT_EQ(LocationResponse(branch, "Branch", "2", "12", "8"),
            Call("<zeb:getLocation sequence=\"8\"><zeb:uuid>" + branch + "</zeb:uuid></zeb:getLocation>"));

  EXPECT_EQ(Standard("updateLocation", branch), Call("<updateLocation><uuid>" + branch +
                                                     "</uuid><newName>Annex</newName><kbits>256</kbits>"
                                                     "</updateLocation>"));
  EXPECT_EQ(LocationResponse(branch, "Annex", "2", "256"), ByName("getLocation", "Annex"));

  EXPECT_EQ(Standard("removeLocation", branch), ByName("removeLocation", "Annex"));
  EXPECT_EQ(Fault("getLocation", kNotFound, "The specified Location was not found."),
            ById("getLocation", branch));
}

TEST_F(LocationTest, RefusalsNameTheProblemAndChangeNothing) {
  const std::string hub = AddLocation("Hub", "64");
  // A device placed in the location, written behind the server's back.
  Db().Execute("INSERT INTO Device (pkid, Name, fkLocation) VALUES (?, ?, ?)",
               {"{00000000-0000-0000-0000-0000000000D1}", "Lobby phone", hub});
  auto add = [](const std::string& content) { return "<addLocation><location>" + content + "</location></addLocation>"; };
  ExpectAllRefused(zebd_, {
      {"<addLocation/>", kUnexpectedNode, "Found NULL, expecting <location>"},
      {add("<name>L</name><kbits>1</kbits>"), kUnexpectedNode, "Found <kbits>, expecting <id>."},
      {add("<name>HUB</name><id/><kbits>1</kbits>"), 3, "A Location named \"HUB\" already exists."},
      {"<updateLocation><name>Nope</name></updateLocation>", kNotFound, "Location not found."},
      {"<updateLocation><name>Hub</name><kbits/></updateLocation>", kInvalidValue,
       "The element, <kbits>, must contain a value."},
      {"<removeLocation><name>Nope</name></removeLocation>", kNotFound,
       "The specified Location was not found."},
      {"<removeLocation><uuid>" + hub + "</uuid></removeLocation>", 4,
       "The Location \"Hub\" cannot be removed because it is still used by Device \"Lobby phone\"."},
  });
}

}  // namespace
}  // namespace zeb::test
