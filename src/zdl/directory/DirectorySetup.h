// Choosing the cluster's directory: checking that the directory a set of settings names accepts
// them, before they are written, and the `zebd directory` command that writes them.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include "zdl/CLdapConfig.h"

namespace zeb::zdl {

class CZDLSession;

// Checks that the directory the settings name accepts them: for a directory server, that the
// URL is one ldap:// or ldaps:// URL (StartTLS only with ldap://), that the server answers and
// binds the manager, and that the user base exists; for the embedded directory (no URL), that it
// knows the manager's credentials and keeps its users under that base. Returns one line per
// check passed; throws CZDLException whose text says what was refused.
std::vector<std::string> CheckDirectorySettings(CZDLSession& session, const DirectorySettings& settings);

// The readiness check of the cluster's directory: when the configuration names a directory
// server, connects to it afresh, binds the manager and reads the user base (the embedded
// directory lives in the configuration database, which has a check of its own). Throws
// CZDLException saying what failed.
void ProbeDirectory(CZDLSession& session);

// `zebd directory --db LOCATION --url URL --user-base DN --manager-dn DN
// --manager-password-file FILE [--start-tls] [--secret-key FILE]`: checks the settings with
// CheckDirectorySettings and only then writes them into the cluster configuration in one
// transaction. `--url ''` alone returns to the embedded directory with a fresh manager password.
// Prints what it checked and wrote; returns the exit code: 0 when written, 1 when refused or
// failed (nothing changed), 2 for wrong arguments.
int RunDirectoryCommand(int argc, char** argv, std::ostream& out, std::ostream& err);

}  // namespace zeb::zdl
