// Pieces of the directory-server back end (OpenLdapDirectory in DirectoryBackEnd.h) that other
// parts use on their own.
#pragma once

#include <string>
#include <vector>

namespace zeb::zdl {

// Whether text matches a name pattern as the embedded directory matches it: % any run of
// characters, _ any one character, letters of ASCII without regard to case, nothing else
// special. A directory server's substring filters only narrow the search; this decides.
bool MatchesLike(const std::string& pattern, const std::string& text);
// Whether one of the values matches; an empty pattern matches anything, also no value.
bool MatchesLike(const std::string& pattern, const std::vector<std::string>& values);

}  // namespace zeb::zdl
