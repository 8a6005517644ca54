// Each family's element table and the schema fragments declare the same requests: the same
// element names in the same order, the same optional ones, the same choices and forms. A
// request of the schema that no table declares yet is listed below, so a new one cannot slip by.
#include "handlers/ElementTables.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "soap/XmlDocument.h"
#include "wsdl/EmbeddedFiles.h"

namespace zeb {
namespace {

const ElementTable* const kTables[] = {
    &kPhoneElements,          &kDeviceProfileElements, &kLocationElements,      &kRegionElements,
    &kRoutePartitionElements, &kCSSElements,           &kDialPlanElements,      &kDialPlanTagElements,
    &kRouteGroupElements,     &kRouteListElements,     &kDialcoreGroupElements, &kDDIElements,
    &kRouteFilterElements,    &kDialcoreElements,      &kDevicePoolElements,    &kUserElements,
    &kLineElements,           &kTransPatternElements,  &kRoutePatternElements,  &kCallParkElements,
    &kCallPickupElements,     &kCTIRoutePointElements, &kVoiceMailPortElements, &kMGCPElements,
    &kNumDevicesElements};

// Requests of the schema that no element table declares yet.
const std::set<std::string> kNotYetTabled = [] {
  std::set<std::string> names = {"AddMGCPUnitRequest", "AddMGCPSubunitRequest", "AddMGCPEndpointRequest",
                                 "AddGatewayEndpointRequest"};
  for (const char* kind : {"GatewayEndpoint", "Line", "TransPattern", "RoutePattern", "CallPark",
                           "CallPickupGroup", "ServiceParameter"}) {
    names.insert(std::string("Get") + kind + "Request");
    names.insert(std::string("Update") + kind + "Request");
  }
  return names;
}();

std::string Unprefixed(const std::string& qname) { return qname.substr(qname.find(':') + 1); }

// Names sorted and joined by "|".
std::string Alternatives(std::vector<std::string> names) {
  std::sort(names.begin(), names.end());
  std::string joined;
  for (const std::string& name : names) joined += (joined.empty() ? "" : "|") + name;
  return joined;
}

// The schema's complex types and groups by name, and a flattening of a type's content into one
// line per particle: "name" (a choice: its names sorted and joined by "|"), each name marked
// "@" for a reference by "uuid", "/" for elements of its own, "=" for other attributes; then
// "?" when optional, "+" when required only after the particle before it.
class Schema {
 public:
  Schema() {
    for (std::size_t i = 0; i < wsdl::kEmbeddedFileCount; ++i) {
      auto document = std::make_unique<XmlDocument>();
      const char* text = wsdl::kEmbeddedFiles[i].text;
      EXPECT_TRUE(document->LoadXML(text, std::strlen(text))) << wsdl::kEmbeddedFiles[i].name;
      for (XmlNode node = document->FirstChild().FirstElementChild(); node;
           node = node.NextElementSibling()) {
        if (node.Is("complexType")) types_[*node.Attribute("name")] = node;
        if (node.Is("group")) groups_[*node.Attribute("name")] = node;
      }
      documents_.push_back(std::move(document));
    }
  }

  std::vector<std::string> RequestNames() const {
    std::vector<std::string> names;
    for (const auto& [name, node] : types_) {
      const bool request = name.size() > 7 && name.compare(name.size() - 7, 7, "Request") == 0;
      if (request && (name.rfind("Add", 0) == 0 || name.rfind("Update", 0) == 0 || name.rfind("Get", 0) == 0))
        names.push_back(name);
    }
    return names;
  }
  bool Has(const std::string& type) const { return types_.count(type) > 0; }

  std::vector<std::string> Flatten(const std::string& type) const {
    std::vector<std::string> out;
    Content(types_.at(type), false, out);
    return out;
  }
  // The content of an add request: the children of its one wrapper element.
  std::vector<std::string> FlattenAdd(const std::string& type) const {
    XmlNode wrapper = types_.at(type).FirstElementChild().FirstElementChild();
    return Flatten(Unprefixed(*wrapper.Attribute("type")));
  }

 private:
  void Content(XmlNode parent, bool optional, std::vector<std::string>& out) const {
    for (XmlNode node = parent.FirstElementChild(); node; node = node.NextElementSibling()) {
      const bool opt = optional || node.Attribute("minOccurs").value_or("1") == "0";
      if (node.Is("sequence")) {
        Content(node, opt, out);
      } else if (node.Is("group")) {
        Content(groups_.at(Unprefixed(*node.Attribute("ref"))), opt, out);
      } else if (node.Is("complexContent")) {
        XmlNode extension = node.FirstElementChild();
        Content(types_.at(Unprefixed(*extension.Attribute("base"))), opt, out);
        Content(extension, opt, out);
      } else if (node.Is("element")) {
        out.push_back(Marked(node) + (opt ? "?" : ""));
      } else if (node.Is("choice")) {
        ChoiceContent(node, opt, out);
      }
    }
  }

  // An optional choice of one sequence: its first particle is optional, and each required one
  // after it is required only with the first ("+").
  void ChoiceContent(XmlNode choice, bool optional, std::vector<std::string>& out) const {
    XmlNode first = choice.FirstElementChild();
    if (optional && first.Is("sequence") && !first.NextElementSibling()) {
      std::vector<std::string> run;
      Content(first, false, run);
      for (std::size_t i = 0; i < run.size(); ++i) {
        const bool alone = run[i].back() == '?';
        out.push_back(run[i] + (alone ? "" : i == 0 ? "?" : "+"));
      }
      return;
    }
    std::vector<std::string> names;
    for (XmlNode node = first; node; node = node.NextElementSibling()) {
      names.push_back(node.Is("element") ? Marked(node) : "(" + node.LocalName() + ")");
    }
    out.push_back(Alternatives(names) + (optional ? "?" : ""));
  }

  std::string Marked(XmlNode element) const {
    const std::string name = *element.Attribute("name");
    const std::string type = Unprefixed(element.Attribute("type").value_or(""));
    if (type == "Reference" || type == "OptionalReference" || type == "ReferenceOrNone") return name + "@";
    auto it = types_.find(type);
    if (it == types_.end()) return name;
    for (XmlNode node = it->second.FirstElementChild(); node; node = node.NextElementSibling()) {
      if (!node.Is("attribute") && !node.Is("attributeGroup")) return name + "/";
    }
    return name + "=";
  }

  std::vector<std::unique_ptr<XmlDocument>> documents_;
  std::map<std::string, XmlNode> types_;
  std::map<std::string, XmlNode> groups_;
};

const char* Mark(Form form) {
  return form == Form::kUuid ? "@" : form == Form::kChildren ? "/" : form == Form::kAttribute ? "=" : "";
}

// The table's rows of shape, flattened as Schema::Flatten does.
std::vector<std::string> Flatten(const ElementTable& table, Shape shape) {
  const unsigned bit = 1u << static_cast<unsigned>(shape);
  std::vector<std::string> out;
  for (const ElementRow& row : table.rows) {
    const Presence presence = row.In(shape);
    if (presence == Presence::kAbsent) continue;
    std::vector<std::string> names;
    for (const ElementForm& form : row.forms) {
      if (form.shapes & bit) names.push_back(std::string(form.name) + Mark(form.form));
    }
    out.push_back(Alternatives(names) + (presence == Presence::kOptional       ? "?"
                                         : presence == Presence::kWithPrevious ? "+"
                                                                               : ""));
  }
  return out;
}

std::string RequestType(const char* method) {
  std::string type = method;
  type[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(type[0])));
  return type + "Request";
}

std::string Lines(const std::vector<std::string>& particles) {
  std::string text;
  for (const std::string& particle : particles) text += particle + "\n";
  return text;
}

TEST(ElementTables, DeclareTheRequestsOfTheSchema) {
  const Schema schema;
  for (const ElementTable* table : kTables) {
    for (Shape shape : {Shape::kAdd, Shape::kUpdate, Shape::kGet}) {
      const char* method = table->Method(shape);
      if (!method) continue;
      const std::string type = RequestType(method);
      ASSERT_TRUE(schema.Has(type)) << type;
      const auto declared = shape == Shape::kAdd ? schema.FlattenAdd(type) : schema.Flatten(type);
      EXPECT_EQ(Lines(declared), Lines(Flatten(*table, shape))) << type;
    }
  }
}

TEST(ElementTables, CoverEveryRequestOfTheSchemaOrListIt) {
  std::set<std::string> tabled;
  for (const ElementTable* table : kTables) {
    for (Shape shape : {Shape::kAdd, Shape::kUpdate, Shape::kGet}) {
      if (table->Method(shape)) tabled.insert(RequestType(table->Method(shape)));
    }
  }
  for (const std::string& type : Schema().RequestNames()) {
    EXPECT_NE(tabled.count(type) > 0, kNotYetTabled.count(type) > 0)
        << type << ": tabled or listed, not both";
  }
}

}  // namespace
}  // namespace zeb
