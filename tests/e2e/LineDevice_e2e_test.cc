// What CTI route points and voice-mail ports share: devices with line appearances, added,
// updated, removed and found the same way.
#include "e2e/GatewayTest.h"

namespace zeb::test {
namespace {

const std::string kUnknown = "{00000000-0000-0000-0000-00000000DEAD}";

struct LineDeviceKind {
  std::string suffix;   // of the method names
  std::string wrapper;  // the add request's element
  std::string lines;    // "%" stands for the line elements of an add request
  std::string notThisKind, notFound;
};

const LineDeviceKind kRoutePoint{"CTIRoutePoint", "routePoint", "<lines>%</lines>",
                                 "The specified device is not a CTI Route Point.", "route point not found."};
const LineDeviceKind kVoiceMailPort{"VoiceMailPort", "voiceMailPort", "%",
                                    "The device specified is not a Voice Mail Port.",
                                    "The specified VoiceMailPort was not found."};

class LineDeviceTest : public GatewayTest, public ::testing::WithParamInterface<LineDeviceKind> {
 protected:
  const LineDeviceKind& kind() const { return GetParam(); }
  std::string Add(const std::string& content) const {
    return "<add" + kind().suffix + "><" + kind().wrapper + ">" + content + "</" + kind().wrapper + "></add" +
           kind().suffix + ">";
  }
  std::string Lines(const std::string& lines) const {
    std::string text = kind().lines;
    return text.replace(text.find('%'), 1, lines);
  }
  std::string Named(const std::string& verb, const std::string& name) const {
    return "<" + verb + kind().suffix + "><name>" + name + "</name></" + verb + kind().suffix + ">";
  }
  static std::string Line(const std::string& dirn) {
    return "<line index=\"1\"><label/><display/><dirn uuid=\"" + dirn + "\"/><ringSetting>Ring</ringSetting></line>";
  }
};

TEST_P(LineDeviceTest, RemoveTakesTheLineAppearancesAlong) {
  const std::string id = CallForId("add" + kind().suffix, Add(StationHead("D1") + Lines(Line(dn1000_))));
  EXPECT_EQ("1", Column("SELECT COUNT(*) FROM DeviceNumPlanMap WHERE fkDevice = ?", id));
  EXPECT_EQ(Standard("remove" + kind().suffix, id), Call(Named("remove", "D1")));
  EXPECT_EQ("0", Column("SELECT COUNT(*) FROM Device WHERE pkid = ?", id));
  EXPECT_EQ("0", Column("SELECT COUNT(*) FROM DeviceNumPlanMap WHERE fkDevice = ?", id));
}

TEST_P(LineDeviceTest, RefusalsNameTheProblemAndChangeNothing) {
  CallForId("add" + kind().suffix, Add(StationHead("D5") + Lines(Line(dn1000_))));
  AddPhone(PhoneHead("SEP1"));
  const std::string identity =
      "<name>X</name><product/><model/><class/><protocol>Station</protocol><protocolSide>User</protocolSide>";
  const std::string update = "<update" + kind().suffix + "><name>D5</name>";
  const std::string updateEnd = "</update" + kind().suffix + ">";
  ExpectAllRefused(zebd_, {
      {"<add" + kind().suffix + "/>", kUnexpectedNode,
       "Found NULL, expecting <" + (kind().wrapper == "routePoint" ? "routePointt" : kind().wrapper) + ">"},
      {Add(identity + "<callingSearchSpaceName>Nope</callingSearchSpaceName>"), kNotFound,
       "Calling search space not found."},
      // The device and its lines are one unit: a line that cannot be written leaves no device.
      {Add(StationHead("X") + Lines(Line(kUnknown))), 5,
       "The Number Plan entry " + kUnknown + " referred to by this line appearance does not exist."},
      {Add(StationHead("d5") + Lines(Line(dn1000_))), 3, "A Device named \"d5\" already exists."},
      {update + "<devicePoolName>Nope</devicePoolName>" + updateEnd, kNotFound, "Device Pool not found."},
      {update + "<callingSearchSpaceName>Nope</callingSearchSpaceName>" + updateEnd, kNotFound,
       "Calling Search Space not found."},
      {Named("update", "SEP1"), kNotFound, kind().notThisKind},
      {Named("remove", "Nope"), kNotFound, kind().notFound},
      {Named("remove", "SEP1"), kNotFound, kind().notThisKind},
      {Named("get", "Nope"), kNotFound, kind().notFound},
      {Named("get", "SEP1"), kNotFound, kind().notThisKind},
  });
}

INSTANTIATE_TEST_SUITE_P(Kinds, LineDeviceTest, ::testing::Values(kRoutePoint, kVoiceMailPort),
                         [](const auto& info) { return info.param.suffix; });

}  // namespace
}  // namespace zeb::test
