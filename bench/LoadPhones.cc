// Fills a configuration database with phones for scale tests and benchmarks:
//   zeb_load_phones DB COUNT [PREFIX]
// Each phone is a device of product 7 named PREFIX + a 12-digit hex number, described
// "Phone <n> of <count>", in the default device pool, with a line of its own (directory number
// "8" + 9 decimal digits, in no partition) and a speed dial, as a working phone has: looking a
// phone's lines or speed dials up then has to find them among every other phone's. Rows are
// inserted in batches of 5000 phones in one transaction each.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "zdl/CZDLDatabase.h"
#include "zdl/base/CZDLException.h"

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: %s DB COUNT [PREFIX]\n", argv[0]);
    return 2;
  }
  const long count = std::strtol(argv[2], nullptr, 10);
  const std::string prefix = argc > 3 ? argv[3] : "SEP";
  try {
    auto db = zeb::zdl::CZDLDatabase::Open(argv[1]);
    zeb::zdl::CZDLSession& session = db->Session();
    const auto pool = session.Query("SELECT pkid FROM DevicePool WHERE Name = ?", {"Default"}).rows.at(0).at(0);
    long long cti = session.Query("SELECT COALESCE(MAX(CtiId), 0) FROM Device").rows[0][0].AsInt();
    // Numbers go on after those of an earlier load into the same database.
    const long first = static_cast<long>(
        session.Query("SELECT COUNT(*) FROM NumPlan WHERE DNOrPattern LIKE '8_________'").rows[0][0].AsInt());
    constexpr long kBatch = 5000;
    for (long done = 0; done < count;) {
      zeb::zdl::CZDLTransaction transaction(session);
      for (long i = 0; i < kBatch && done < count; ++i, ++done) {
        char name[32];
        std::snprintf(name, sizeof name, "%s%012lX", prefix.c_str(), static_cast<unsigned long>(done));
        const zeb::zdl::CZDLID device = zeb::zdl::CZDLID::New();
        const zeb::zdl::CZDLID line = zeb::zdl::CZDLID::New();
        char number[16];
        std::snprintf(number, sizeof number, "8%09ld", first + done);
        session.Execute(
            "INSERT INTO Device (pkid, Name, Description, tkClass, tkModel, tkProduct, tkDeviceProtocol, "
            "tkProtocolSide, fkDevicePool, CtiId) VALUES (?, ?, ?, 1, 7, 7, 0, 1, ?, ?)",
            {device, std::string(name), "Phone " + std::to_string(done + 1) + " of " + std::to_string(count), pool,
             ++cti});
        session.Execute("INSERT INTO NumPlan (pkid, DNOrPattern, tkPatternUsage) VALUES (?, ?, 2)",
                        {line, std::string(number)});
        session.Execute("INSERT INTO DeviceNumPlanMap (pkid, fkDevice, fkNumPlan, NumPlanIndex) VALUES (?, ?, ?, 1)",
                        {zeb::zdl::CZDLID::New(), device, line});
        session.Execute(
            "INSERT INTO SpeedDial (pkid, fkDevice, SpeeddialIndex, SpeeddialNumber) VALUES (?, ?, 1, '2000')",
            {zeb::zdl::CZDLID::New(), device});
      }
      transaction.Commit();
    }
  } catch (const zeb::zdl::CZDLException& error) {
    std::fprintf(stderr, "zeb_load_phones: %s\n", error.what());
    return 1;
  }
  return 0;
}
