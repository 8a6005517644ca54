// Module-wide constant texts of the SOAP layer.
#pragma once

#include <string>

namespace zeb {

inline constexpr char kSoapEnvelopeNs[] = "http://schemas.xmlsoap.org/soap/envelope/";
inline constexpr char kSoapEncodingNs[] = "http://schemas.xmlsoap.org/soap/encoding/";
inline constexpr char kZebNs[] = "http://www.tarvo.com/ZEB/1.0";
inline constexpr char kXsiNs[] = "http://www.w3.org/2001/XMLSchema-instance";
// The ZEB namespace, one blank, and the schema document on "localhost": the schema location of
// answers given before a method was found.
inline constexpr char kSchemaLocation[] =
    "http://www.tarvo.com/ZEB/1.0 http://localhost/QMSApi/ZEB/V1/zebsoap.xsd";

// This machine's host name as the system reports it, when it has at most 24 characters; else
// "localhost". Read once per process.
const std::string& LocalHostName();

// kSchemaLocation with the word localhost replaced by LocalHostName(): the schema location of a
// method's response and of the faults it raises. Made once per process.
const std::string& HostSchemaLocation();

}  // namespace zeb
