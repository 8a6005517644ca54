// Masks secrets in a request or response text before it is written anywhere (a trace record, an
// audit row, the error log): the contents of every password and pin element, and of every
// newValue unless its target is known to be harmless, become "********". Every writer of
// request text goes through MaskExchange.
//
// The text is scanned lexically, not parsed, so that a text the parser refused (the ones most
// likely to be logged in full) is masked too. Element and attribute names are compared by their
// local part (after the last ':') without regard to case. What is masked:
//  - the whole content of a secret element, up to its matching end tag (nested elements,
//    comments, CDATA sections and references included), or to the end of the text when the
//    element is not closed; "<password/>" has no content and stays as it is;
//  - the value of every attribute of a secret element (namespace declarations excepted), and of
//    every attribute named like a secret on any element;
//  - the same inside comments and CDATA sections, whose text is scanned as markup (a fault
//    quoting the source line of a parse error carries it in a CDATA section); in a response a
//    secret tag that its section never closes is a fault message naming the element
//    ("expecting <password>") and stays as it is;
//  - every quoted literal of a document type declaration (an entity value could carry a secret
//    that a reference inside a secret element names).
// Delimiters stay where they are, so a well-formed text stays well-formed, and a secret that
// spans lines becomes one mask per line, so that line numbers stay as they were.
#pragma once

#include <string>
#include <string_view>

namespace zeb {

inline constexpr std::string_view kSecretMask = "********";

// The text with its secrets masked. maskNewValue: newValue elements (and attributes) are
// secret too.
std::string MaskSecrets(std::string_view text, bool maskNewValue);

// Masks text in place; returns at once, copying nothing, when no secret name occurs in it.
void MaskSecretsInPlace(std::string& text, bool maskNewValue);

struct MaskedExchange {
  std::string request;
  std::string response;
};

// The one rule for what may be written of a request and its response, whatever the request's
// shape (well-formed or not, method known or not). newValueHarmless: the handler found the
// parameter a newValue is for and it holds no secret; otherwise every newValue is masked. The
// request is masked as MaskSecrets does. The response is masked too, and so are its quotes of
// the request: the source line a parse-error fault quotes (escaped) becomes the masked line,
// and any other copy of a secret of the request (raw or escaped, four bytes or more) in a
// fault's faultstring or detail message becomes the mask. Pass an empty response for a text
// that has none (an audit row, a log line). Takes the texts by value, so that a caller done
// with them moves them in and nothing is copied when they hold no secret.
MaskedExchange MaskExchange(std::string request, std::string response, bool newValueHarmless);

}  // namespace zeb
