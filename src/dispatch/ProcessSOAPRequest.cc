#include "dispatch/ProcessSOAPRequest.h"

#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <new>
#include <stdexcept>

#include "dispatch/MethodGate.h"
#include "dispatch/MethodTable.h"
#include "soap/Namespaces.h"
#include "soap/ZebExceptions.h"
#include "zdl/CZDLDatabase.h"
#include "zdl/CZDLSession.h"
#include "zdl/base/CZDLException.h"
#include "zdl/base/Durability.h"

namespace zeb {

namespace {

// The elements by which a request names its record: in the record an add carries, its name
// ("name", "pattern", "ldapRN"); directly in the request (remove, update, do), also an element
// such as "partitionName" or "deviceName", but not the "newName" an update gives it.
bool IsNameElement(XmlNode node, bool direct) {
  if (node.Is("name") || node.Is("pattern") || node.Is("ldapRN")) return true;
  if (!direct || node.Is("newName")) return false;
  const std::string name = node.LocalName();
  return name.size() > 4 && name.compare(name.size() - 4, 4, "Name") == 0;
}

std::string NameIn(XmlNode parent, bool direct) {
  for (XmlNode child = parent.FirstElementChild(); child; child = child.NextElementSibling()) {
    if (!IsNameElement(child, direct)) continue;
    const XmlNode text = child.FirstChild();
    return text ? text.NodeValue().value_or("") : "";
  }
  return "";
}

// Where the answer of a get may be kept and found again: on a database that keeps answers.
zdl::ResponseCache* KeptAnswers(const MethodEntry& entry, const RequestContext& context) {
  if (entry.role != Role::kRead || std::strncmp(entry.name, "get", 3) != 0 || !context.db) return nullptr;
  return context.db->database().responses();
}

// What an answer is kept under: the method and its request's elements as they came (not the
// request element's own attributes, such as its sequence, which the answer does not depend on).
std::string AnswerKey(const std::string& method, XmlNode request) {
  std::string key = method;
  for (XmlNode child = request.FirstElementChild(); child; child = child.NextElementSibling()) {
    key += '\n';
    key += child.Xml();
  }
  return key;
}

// The name the request names, for its change event; "" when it names none.
std::string RecordNameOf(XmlNode request) {
  std::string name = NameIn(request, true);
  if (name.empty() && request.FirstElementChild()) name = NameIn(request.FirstElementChild(), false);
  return name;
}

const char kClient[] = "SOAP-ENV:Client";
const char kServer[] = "SOAP-ENV:Server";

// Adds a plain fault and notes its code, without the prefix, for the front end.
void AddPlainFault(CXMLElement* body, RequestContext& context, const char* code, const std::string& text) {
  context.faultCode = std::strrchr(code, ':') + 1;
  AddFault(body, code, text);
}

void AddCodedFault(const std::string& schemaLocation, CXMLElement* body, RequestContext& context,
                   const std::string& method, int code, Sequence sequence, const std::string& text) {
  context.faultCode = std::to_string(code);
  AddDetailedFault(schemaLocation, body, method, code, sequence, text);
}

const std::string& ModuleSchemaLocation() {
  static const std::string location = kSchemaLocation;
  return location;
}

std::string ComErrorText(const CComError& error) {
  return "\n<![CDATA[\nAn error occured during parsing\nMessage: " + error.Description() + "\nSource = " +
         error.Source() + "\nCode meaning = " + error.ErrorMessage() + "\n]]>\n";
}

}  // namespace

std::uint32_t ParseSequence(const std::string& text) {
  std::size_t i = 0;
  while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  std::uint64_t value = 0;
  bool overflow = false;
  for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i) {
    value = value * 10 + static_cast<unsigned>(text[i] - '0');
    if (value > 0xFFFFFFFFull) overflow = true, value = 0xFFFFFFFFull;
  }
  if (overflow) return 0xFFFFFFFFu;
  const auto result = static_cast<std::uint32_t>(value);
  return negative ? static_cast<std::uint32_t>(0u - result) : result;
}

std::string ParseErrorText(const XmlParseError& error) {
  char code[16];
  std::snprintf(code, sizeof code, "%x", static_cast<unsigned>(error.code));
  return "\n<![CDATA[\nAn error occured during parsing\n   Message: " + error.reason + "\nSource = Line : " +
         std::to_string(error.line) + ", Char : " + std::to_string(error.linepos) + "\nCode : " + code +
         ", Source Text : " + error.srcText + "\n]]>\n";
}

long ProcessSOAPRequest(const char* requestText, zdl::CGenericBuffer& out, RequestContext& context) {
  if (!requestText) throw std::invalid_argument("Request parameter cannot be NULL.");
  CXMLElement root;
  CSOAPRequest(requestText).Process(&root, context);
  root.Serialize(out.str());
  return static_cast<long>(out.GetLength());
}

void CSOAPRequest::Process(CXMLElement* root, RequestContext& context) {
  static const std::string envelopeAttributes = [] {
    CXMLElement element;
    element.AddAttribute("xmlns:SOAP-ENV", kSoapEnvelopeNs);
    element.AddAttribute("SOAP-ENV:encodingStyle", kSoapEncodingNs);
    return element.GetAttributeText();
  }();
  root->SetTag("SOAP-ENV:Envelope");
  root->AppendAttributeText(envelopeAttributes);
  CXMLElement* body;
  try {
    body = root->AddNewChild("SOAP-ENV:Body");
  } catch (const std::bad_alloc&) {
    throw zdl::CZDLException(zdl::kZDLOutOfMemory, "Could not allocate memory while creating new XML element.");
  }

  try {
    XmlDocument document;
    if (!document.LoadXML(text_, std::strlen(text_))) {
      AddPlainFault(body, context, kClient, ParseErrorText(document.error()));
      return;
    }
    XmlNode envelope = document.FirstChild();
    while (envelope && !envelope.IsElement()) envelope = envelope.NextSibling();
    if (!envelope.Is("Envelope")) {
      AddPlainFault(body, context, kClient, "SOAP Envelope element not found!");
      return;
    }
    XmlNode bodyElement = envelope.FirstElementChild();
    if (bodyElement.Is("Header")) bodyElement = bodyElement.NextElementSibling();
    if (!bodyElement.Is("Body")) {
      AddPlainFault(body, context, kClient, "SOAP Body element not found!");
      return;
    }
    XmlNode request = bodyElement.FirstElementChild();
    if (!request) {
      AddPlainFault(body, context, kClient, "No request method found in SOAP Body!");
      return;
    }
    CSOAPRequestElement(request).Process(body, context);
  } catch (const CComError& error) {
    if (error.Error() == kComNotInitialized) throw;
    AddPlainFault(body, context, kServer, ComErrorText(error));
  } catch (...) {
    AddPlainFault(body, context, kServer, "An unknown error occured on the server. Please try again later.");
  }
}

void CSOAPRequestElement::Process(CXMLElement* body, RequestContext& context) {
  Sequence sequence;
  std::string method;
  // Faults raised once a method is found name this machine's schema document.
  const std::string* schemaLocation = &ModuleSchemaLocation();
  try {
    if (!node_) throw CInvalidValueException("No request element found.");
    if (auto value = node_.Attribute("sequence")) sequence = ParseSequence(*value);
    method = node_.LocalName();
    context.method = method;
    const MethodEntry* entry = FindMethod(method);
    if (!entry) {
      // Most unknown names come from clients probing; answer without unwinding an exception.
      const CUnknownMethodException unknown(method);
      AddCodedFault(*schemaLocation, body, context, method, unknown.GetCode(), sequence, unknown.what());
      return;
    }
    if (context.gate) {
      if (std::optional<AccessRefusal> refusal = context.gate->Admit(*entry)) {
        if (refusal->servedElsewhere) return;
        context.accessStatus = refusal->status;
        context.retryAfter = refusal->retryAfter;
        AddPlainFault(body, context, refusal->serverFault ? kServer : kClient, refusal->text);
        return;
      }
    }
    schemaLocation = &HostSchemaLocation();
    if (entry->role != Role::kRead) context.recordName = RecordNameOf(node_);
    auto result = std::make_unique<CXMLElement>("return");
    zdl::ResponseCache* kept = KeptAnswers(*entry, context);
    const std::string key = kept ? AnswerKey(method, node_) : std::string();
    // Taken before the snapshot, so that a change the snapshot misses keeps the answer out.
    const std::uint64_t generation = kept ? kept->Generation() : 0;
    bool built = false;
    {
      // The request's reads share one snapshot (a write ends it and takes the write lock). A
      // kept answer is looked up once the snapshot has shown the changes of other processes.
      std::optional<zdl::CZDLReadScope> snapshot;
      if (context.db) snapshot.emplace(*context.db);
      std::string answer;
      if (kept) context.db->LookForOthersChanges();
      if (kept && kept->Find(key, context.versionStamp, &answer)) {
        result->SetRaw(std::move(answer));
      } else {
        entry->serve(context, node_, *result);
        built = true;
      }
    }
    // An answer that waits for a sync is not kept: another request could be given it sooner.
    if (kept && built && !zdl::DurabilityPending())
      kept->Store(generation, key, result->ToString(), context.versionStamp);
    CXMLElement* response = body->AddNewChild("zeb:" + method + "Response");
    AddZebAttributes(response, *schemaLocation, sequence);
    response->AdoptChild(std::move(result));
  } catch (const zdl::CZDLException& error) {
    context.faultInDirectory = error.origin() == zdl::CZDLException::Origin::kDirectory;
    AddCodedFault(*schemaLocation, body, context, method, error.GetExceptionID(), sequence, error.GetExceptionStr());
  } catch (const CZEBException& error) {
    AddCodedFault(*schemaLocation, body, context, method, error.GetCode(), sequence, error.what());
  } catch (const std::string& text) {
    AddPlainFault(body, context, kClient, text);
  } catch (...) {
    AddPlainFault(body, context, kServer, "Unknown error occured on server. Please check your XML for errors.");
  }
}

}  // namespace zeb
