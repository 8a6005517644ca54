// The four fixed HTTP responses with which a request is refused before it reaches the SOAP layer.
#pragma once

#include <string>

namespace zeb {

enum class Refusal { kMethodNotAllowed, kUnsupportedMediaType, kTooLarge, kNoResources };

// The complete response text: status line, extra header, Content-Type, Content-Length and the
// eight-line fault body (CR LF between lines, none after the last).
const std::string& RefusalResponse(Refusal which);

}  // namespace zeb
