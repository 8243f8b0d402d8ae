// Deterministic demo data: owners, estates in Catalan streets, their flats
// and shops with holders and telephones, and monthly receipts of several
// years ending at a given month, in the states the suite uses ("P" pending,
// "D" returned, "C" collected, "A" cancelled, "F" in instalments). The same
// options and month give the same records, byte for byte.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

namespace tools {

struct DemoOptions {
  int estates = 300;   // 1..999
  uint32_t seed = 1;
  int years = 3;       // 1..20
  int end_year = 0;    // last month of receipts; 0: the current month
  int end_month = 0;
  // Larger installations: about this many units per estate (half to one and
  // a half times it) instead of the varied buildings, and this percentage of
  // receipts pending or returned instead of the usual few. 0: as usual.
  int units = 0;
  int unpaid = 0;
  std::string server_uri;  // not empty: the record files go on this server
  std::string schema;
};

struct DemoData {
  std::vector<std::string> owners, estates, units, receipts;  // records
};

DemoData MakeDemoData(const DemoOptions& options);

// Makes the installation (as init does) and fills it; the firm name in its
// "Tavo.ini" becomes the demo firm's.
int MakeDemo(const std::string& dir, const DemoOptions& options,
             std::ostream& out, std::ostream& err);

}  // namespace tools
