// Regions and their bandwidth matrix through real HTTP.
#include "e2e/ZebdTest.h"

namespace zeb::test {
namespace {

const char kDefaultRegion[] = "{5EED0000-0000-0000-0004-000000000001}";

class RegionTest : public ZebdTest {
 protected:
  std::string AddRegion(const std::string& name) {
    return CallForId("addRegion", "<addRegion><region><name>" + name + "</name></region></addRegion>");
  }
  std::string GetRegion(const std::string& name) {
    return Call("<getRegion><name>" + name + "</name></getRegion>");
  }
  // The identifier of the matrix entry of the region named related in a getRegion response.
  std::string EntryId(const std::string& response, const std::string& related) {
    const std::size_t name = response.find("<name>" + related + "</name>\r\n<bandwidth>");
    const std::size_t uuid = response.rfind("<relatedRegion  uuid=\"", name);
    if (name == std::string::npos || uuid == std::string::npos) {
      ADD_FAILURE() << "no entry for " << related << " in:\n" << response;
      return "";
    }
    return response.substr(uuid + 22, 38);
  }
  std::string Related(const std::string& entry, const std::string& name, const std::string& bandwidth) {
    return "<relatedRegion  uuid=\"" + entry + "\">\r\n" + El("name", name) + El("bandwidth", bandwidth) +
           "</relatedRegion>\r\n";
  }
  std::string RegionResponse(const std::string& id, const std::string& name, const std::string& related) {
    return Got("getRegion", "<region  uuid=\"" + id + "\">\r\n" + El("name", name) +
                                (related.empty() ? "" : "<relatedRegions>\r\n" + related + "</relatedRegions>\r\n") +
                                "</region>\r\n");
  }
};

TEST_F(RegionTest, EveryPairOfRegionsHasOneMatrixEntry) {
  // Alone, the seeded region has no entry, not even with itself.
  EXPECT_EQ(RegionResponse(kDefaultRegion, "Default", ""), GetRegion("Default"));

  const std::string west = AddRegion("West"), east = AddRegion("East");
  const std::string westView = GetRegion("west");
  const std::string defaultWest = EntryId(westView, "Default"), eastWest = EntryId(westView, "East");
  EXPECT_EQ(RegionResponse(west, "West",
                           Related(defaultWest, "Default", "G.711") + Related(eastWest, "East", "G.711")),
            westView);

  EXPECT_EQ(Standard("updateRegionMatrix", eastWest, "3"),
            Call("<zeb:updateRegionMatrix sequence=\"3\"><zeb:uuid>" + eastWest +
                 "</zeb:uuid><zeb:bandwidth>G.729</zeb:bandwidth></zeb:updateRegionMatrix>"));
  const std::string eastView = GetRegion("East");
  EXPECT_EQ(RegionResponse(east, "East",
                           Related(EntryId(eastView, "Default"), "Default", "G.711") +
                               Related(eastWest, "West", "G.729")),
            eastView);

  // A region's entries go with it.
  EXPECT_EQ(Standard("removeRegion", west), Call("<removeRegion><uuid>" + west + "</uuid></removeRegion>"));
  EXPECT_EQ(RegionResponse(east, "East", Related(EntryId(eastView, "Default"), "Default", "G.711")),
            Call("<getRegion><uuid>" + east + "</uuid></getRegion>"));
  EXPECT_EQ(Fault("updateRegionMatrix", kNotFound, "Region Matrix not found."),
            Call("<updateRegionMatrix><uuid>" + eastWest +
                 "</uuid><bandwidth>G.711</bandwidth></updateRegionMatrix>"));
}

TEST_F(RegionTest, NewEntriesTakeTheEnterpriseDefaultBandwidth) {
  Db().Execute("UPDATE ProcessConfig SET paramValue = '3' WHERE paramName = 'DefaultRegionBandwidth'");
  const std::string north = AddRegion("North");
  const std::string view = GetRegion("North");
  EXPECT_EQ(RegionResponse(north, "North", Related(EntryId(view, "Default"), "Default", "G.723")), view);
  // A number that names no bandwidth means G.711.
  Db().Execute("UPDATE ProcessConfig SET paramValue = '99' WHERE paramName = 'DefaultRegionBandwidth'");
  const std::string south = AddRegion("South");
  const std::string southView = GetRegion("South");
  EXPECT_EQ(RegionResponse(south, "South",
                           Related(EntryId(southView, "Default"), "Default", "G.711") +
                               Related(EntryId(southView, "North"), "North", "G.711")),
            southView);
}

TEST_F(RegionTest, RefusalsNameTheProblemAndChangeNothing) {
  AddRegion("West");
  const std::string entry = EntryId(GetRegion("West"), "Default");
  auto matrix = [](const std::string& content) {
    return "<updateRegionMatrix>" + content + "</updateRegionMatrix>";
  };
  ExpectAllRefused(zebd_, {
      {"<addRegion/>", kUnexpectedNode, "Found NULL, expecting <region>"},
      {"<addRegion><region><name>west</name></region></addRegion>", 3, "A Region named \"west\" already exists."},
      {matrix("<uuid>" + std::string(kDefaultRegion) + "</uuid><bandwidth>G.711</bandwidth>"), kNotFound,
       "Region Matrix not found."},
      {matrix("<uuid>" + entry + "</uuid><bandwidth>G.999</bandwidth>"), 8, "Invalid Parameter: G.999"},
      {matrix("<uuid>" + entry + "</uuid>"), kUnexpectedNode, "NULL element found, expecting <bandwidth>"},
      {"<removeRegion><name>Nope</name></removeRegion>", kNotFound, "The specified Region was not found."},
      {"<removeRegion><name>Default</name></removeRegion>", 4,
       "The Region \"Default\" cannot be removed because it is still used by Device Pool \"Default\"."},
      {"<getRegion><uuid>" + entry + "</uuid></getRegion>", kNotFound, "The specified Region was not found."},
  });
}

}  // namespace
}  // namespace zeb::test
