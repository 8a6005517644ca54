// Expected response texts for tests, built from literal pieces so a test reads like the bytes it
// expects. Every line ends in CR LF.
#pragma once

#include <string>

namespace zeb::test {

inline const std::string kEnvelopeStart =
    "<SOAP-ENV:Envelope  xmlns:SOAP-ENV=\"http://schemas.xmlsoap.org/soap/envelope/\" "
    "SOAP-ENV:encodingStyle=\"http://schemas.xmlsoap.org/soap/encoding/\">\r\n<SOAP-ENV:Body>\r\n";
inline const std::string kEnvelopeEnd = "</SOAP-ENV:Body>\r\n</SOAP-ENV:Envelope>\r\n";

inline std::string Envelope(const std::string& bodyContent) { return kEnvelopeStart + bodyContent + kEnvelopeEnd; }

// The zeb attributes of a response or error element; host is the schema document's host.
inline std::string ZebAttributes(const std::string& host, const std::string& sequence = "") {
  std::string text = "  xmlns:zeb=\"http://www.tarvo.com/ZEB/1.0\" xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\" "
                     "xsi:schemaLocation=\"http://www.tarvo.com/ZEB/1.0 http://" + host +
                     "/QMSApi/ZEB/V1/zebsoap.xsd\"";
  if (!sequence.empty()) text += " sequence=\"" + sequence + "\"";
  return text;
}

inline std::string PlainFault(const std::string& code, const std::string& escapedString) {
  return "<SOAP-ENV:Fault>\r\n<faultcode>" + code + "</faultcode>\r\n<faultstring>" + escapedString +
         "</faultstring>\r\n</SOAP-ENV:Fault>\r\n";
}

inline std::string DetailedFault(const std::string& host, const std::string& method, int code,
                                 const std::string& message, const std::string& sequence = "") {
  const std::string cdata = "<![CDATA[" + message + "]]>";
  return "<SOAP-ENV:Fault>\r\n<faultcode>SOAP-ENV:Client</faultcode>\r\n<faultstring>\r\n" + cdata +
         "</faultstring>\r\n<detail>\r\n<zeb:error" + ZebAttributes(host, sequence) + ">\r\n<code>" +
         std::to_string(code) + "</code>\r\n<message>\r\n" + cdata + "</message>\r\n<request>" + method +
         "</request>\r\n</zeb:error>\r\n</detail>\r\n</SOAP-ENV:Fault>\r\n";
}

// A whole response envelope holding a detailed fault.
inline std::string FaultEnvelope(const std::string& host, const std::string& method, int code,
                                 const std::string& message, const std::string& sequence = "") {
  return Envelope(DetailedFault(host, method, code, message, sequence));
}

// A whole response envelope holding zeb:<method>Response with the given return content.
inline std::string ResponseEnvelope(const std::string& host, const std::string& method, const std::string& ret,
                                    const std::string& sequence = "") {
  return Envelope("<zeb:" + method + "Response" + ZebAttributes(host, sequence) + ">\r\n" + ret + "</zeb:" +
                  method + "Response>\r\n");
}

// A standard response: return holds text.
inline std::string StandardResponse(const std::string& host, const std::string& method, const std::string& text,
                                    const std::string& sequence = "") {
  return ResponseEnvelope(host, method, "<return>" + text + "</return>\r\n", sequence);
}

// Lines of an expected element: "<tag>text</tag>", and a reference "<tag  uuid="id"></tag>".
inline std::string El(const std::string& tag, const std::string& text) {
  return "<" + tag + ">" + text + "</" + tag + ">\r\n";
}
inline std::string Ref(const std::string& tag, const std::string& id) {
  return "<" + tag + "  uuid=\"" + id + "\"></" + tag + ">\r\n";
}
// A route partition element as a get writes it.
inline std::string PartitionElement(const std::string& id, const std::string& name,
                                    const std::string& description = "") {
  return "<routePartition  uuid=\"" + id + "\">\r\n" + El("name", name) + El("description", description) +
         El("dialPlanWizardGenId", "0") + "</routePartition>\r\n";
}
// A node group as a get writes it; members are its <member> elements.
inline std::string DialcoreGroupElement(const std::string& id, const std::string& name,
                                        const std::string& tftp, const std::string& members = "") {
  return "<dialcoreGroup  uuid=\"" + id + "\">\r\n" + El("name", name) + El("tftpDefault", tftp) +
         "<members>" + (members.empty() ? "" : "\r\n" + members) + "</members>\r\n</dialcoreGroup>\r\n";
}
// The return element of a get method holding the element built.
inline std::string Returned(const std::string& element) { return "<return>\r\n" + element + "</return>\r\n"; }

// A request envelope around the given request element text.
inline std::string RequestEnvelope(const std::string& requestElement) {
  return "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<soap:Envelope "
         "xmlns:soap=\"http://schemas.xmlsoap.org/soap/envelope/\" xmlns:zeb=\"http://www.tarvo.com/ZEB/1.0\">\n"
         "<soap:Body>\n" + requestElement + "\n</soap:Body>\n</soap:Envelope>\n";
}

}  // namespace zeb::test
