// Module-wide constant texts of the SOAP layer.
#pragma once

namespace zeb {

inline constexpr char kSoapEnvelopeNs[] = "http://schemas.xmlsoap.org/soap/envelope/";
inline constexpr char kSoapEncodingNs[] = "http://schemas.xmlsoap.org/soap/encoding/";
inline constexpr char kZebNs[] = "http://www.tarvo.com/ZEB/1.0";
inline constexpr char kXsiNs[] = "http://www.w3.org/2001/XMLSchema-instance";
// The ZEB namespace, one blank, and the schema document on "localhost"; handlers replace the
// word localhost by the name of the machine that answers.
inline constexpr char kSchemaLocation[] =
    "http://www.tarvo.com/ZEB/1.0 http://localhost/QMSApi/ZEB/V1/zebsoap.xsd";

}  // namespace zeb
