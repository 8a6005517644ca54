// Webhook subscriptions (table WebhookSubscription, schema/ChangeEvents.def): where each change
// event is POSTed, with which secret, and how far delivery has come. They live in the database
// so that every node sees them and a restart loses nothing. The secret is stored sealed with the
// cluster's secret key (SecretKey.h), never in plain text.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

namespace zeb::zdl {

class CZDLSession;
class SecretKey;

struct WebhookSubscription {
  std::int64_t id = 0;  // the number administrators name it by
  std::string key;      // the row's pkid
  std::string url;
  std::string sealedSecret;       // OpenWebhookSecret gives the secret
  std::string methods;            // comma-separated method name patterns (* and ?); "" for every method
  std::int64_t position = 0;      // the last event delivered (or skipped as not matching)
  std::int64_t failingSince = 0;  // micros: the first failure since the last success; 0 when none
  bool failing = false;           // failing for longer than the delivering node allows
  std::string lastError;
};

// Every subscription, by id.
std::vector<WebhookSubscription> ReadWebhooks(CZDLSession& session);

// Adds a subscription that starts after the newest event, its secret sealed with key. Returns
// its id.
std::int64_t AddWebhook(CZDLSession& session, const SecretKey& key, const std::string& url,
                        const std::string& secret, const std::string& methods);

// Removes the subscription; false when there is none with that id.
bool RemoveWebhook(CZDLSession& session, std::int64_t id);

// Moves the delivered position forward (never back).
void StoreWebhookPosition(CZDLSession& session, const std::string& key, std::int64_t position);

// Records the subscription's failure state (failingSince 0: delivering fine).
void StoreWebhookState(CZDLSession& session, const std::string& key, std::int64_t failingSince, bool failing,
                       const std::string& lastError);

// The plain secret. Throws CZDLException when key does not open it.
std::string OpenWebhookSecret(const SecretKey& key, const WebhookSubscription& subscription);

// Whether method matches the comma-separated patterns ("" matches every method).
bool WebhookMethodMatches(const std::string& patterns, const std::string& method);

}  // namespace zeb::zdl
