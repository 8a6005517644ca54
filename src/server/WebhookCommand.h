// `zebd webhook add|list|remove`: the webhook subscriptions of a configuration database, kept
// by administrators from the command line (Webhooks.h).
#pragma once

#include <iosfwd>

namespace zeb::server {

// argv holds the arguments after "webhook". Returns 0, 1 when the database, the key or the
// secret file cannot be used, 2 for wrong arguments (a bad URL among them).
int RunWebhookCommand(int argc, char** argv, std::ostream& out, std::ostream& err);

}  // namespace zeb::server
