// A text dump of every row of every table of a configuration database, for asserting that a
// refused request changed nothing: take one before and one after, and compare.
#pragma once

#include <string>

namespace zeb::test {

// Opens the database at location (the same --db value zebd was given) alongside the server and
// returns every table's rows, sorted, as text.
std::string DatabaseSnapshot(const std::string& location);

}  // namespace zeb::test
