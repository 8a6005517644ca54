#include "zdl/Webhooks.h"

#include <fnmatch.h>

#include "zdl/AuditLog.h"
#include "zdl/CZDLSession.h"
#include "zdl/ChangeEvents.h"
#include "zdl/SecretKey.h"
#include "zdl/base/CZDLID.h"
#include "zdl/base/CZDLValue.h"

namespace zeb::zdl {

namespace {

// The name a subscription's secret is sealed for, so that it opens for that row alone.
std::string SealName(const std::string& key) { return "WebhookSubscription" + key; }

}  // namespace

std::vector<WebhookSubscription> ReadWebhooks(CZDLSession& session) {
  const ResultSet result = session.Query(
      "SELECT ID, pkid, Url, Secret, Methods, Position, FailingSince, Failing, LastError FROM "
      "WebhookSubscription "
      "ORDER BY ID");
  std::vector<WebhookSubscription> subscriptions;
  for (const auto& row : result.rows) {
    WebhookSubscription subscription;
    subscription.id = row[0].AsInt();
    subscription.key = row[1].AsText();
    subscription.url = row[2].AsText();
    subscription.sealedSecret = row[3].AsText();
    subscription.methods = row[4].AsText();
    subscription.position = row[5].AsInt();
    subscription.failingSince = row[6].AsInt();
    subscription.failing = row[7].AsInt() != 0;
    subscription.lastError = row[8].AsText();
    subscriptions.push_back(std::move(subscription));
  }
  return subscriptions;
}

std::int64_t AddWebhook(CZDLSession& session, const SecretKey& key, const std::string& url,
                        const std::string& secret, const std::string& methods) {
  CZDLTransaction transaction(session);
  const std::string pkid = CZDLID::New().str();
  const ResultSet added = session.Query(
      "INSERT INTO WebhookSubscription (pkid, ID, Url, Secret, Methods, Position, Created) VALUES "
      "(?, (SELECT COALESCE(MAX(ID), 0) + 1 FROM WebhookSubscription), ?, ?, ?, ?, ?) RETURNING ID",
      {CZDLValue(pkid), CZDLValue(url), CZDLValue(key.Seal(SealName(pkid), secret)), CZDLValue(methods),
       CZDLValue(static_cast<long long>(NewestChangeEventId(session))),
       CZDLValue(static_cast<long long>(NowMicros()))});
  transaction.Commit();
  return added.rows[0][0].AsInt();
}

bool RemoveWebhook(CZDLSession& session, std::int64_t id) {
  CZDLTransaction transaction(session);
  const long long removed = session.Execute("DELETE FROM WebhookSubscription WHERE ID = ?",
                                            {CZDLValue(static_cast<long long>(id))});
  transaction.Commit();
  return removed > 0;
}

void StoreWebhookPosition(CZDLSession& session, const std::string& key, std::int64_t position) {
  CZDLTransaction transaction(session);
  session.Execute("UPDATE WebhookSubscription SET Position = ? WHERE pkid = ? AND Position < ?",
                  {CZDLValue(static_cast<long long>(position)), CZDLValue(key),
                   CZDLValue(static_cast<long long>(position))});
  transaction.Commit();
}

void StoreWebhookState(CZDLSession& session, const std::string& key, std::int64_t failingSince, bool failing,
                       const std::string& lastError) {
  CZDLTransaction transaction(session);
  session.Execute(
      "UPDATE WebhookSubscription SET FailingSince = ?, Failing = ?, LastError = ? WHERE pkid = ?",
      {CZDLValue(static_cast<long long>(failingSince)), CZDLValue(failing), CZDLValue(lastError),
       CZDLValue(key)});
  transaction.Commit();
}

std::string OpenWebhookSecret(const SecretKey& key, const WebhookSubscription& subscription) {
  return key.Open(SealName(subscription.key), subscription.sealedSecret);
}

bool WebhookMethodMatches(const std::string& patterns, const std::string& method) {
  if (patterns.empty()) return true;
  std::size_t start = 0;
  for (;;) {
    const std::size_t comma = patterns.find(',', start);
    const std::string pattern =
        patterns.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
    if (!pattern.empty() && fnmatch(pattern.c_str(), method.c_str(), 0) == 0) return true;
    if (comma == std::string::npos) return false;
    start = comma + 1;
  }
}

}  // namespace zeb::zdl
