// Record layouts of the four record files kelrec handles and the creation
// dictionaries made from them. A dictionary is two little-endian length bytes
// followed by the record manager's creation specification: a 16-byte file
// specification (record length, page size, number of keys), 16-byte segment
// entries (1-based position, length, flags) key after key, and the 265-byte
// collating block when a segment is compared through the table.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tools {

enum class Kind { kOwners, kEstates, kUnits, kReceipts };

// Byte positions (0-based) of the fields kelrec reads and writes.
namespace owners {
constexpr int kLength = 200;
constexpr int kNumber = 0, kName = 2, kNameWidth = 30;
}  // namespace owners
namespace estates {
constexpr int kLength = 256;
constexpr int kNumber = 0, kSince = 2, kOwner = 6, kName = 8, kNameWidth = 30;
constexpr int kHeading = 141;
}  // namespace estates
namespace units {
constexpr int kLength = 200;
constexpr int kEstate = 0, kUnit = 2, kSince = 4;
constexpr int kHolder = 8, kHolderWidth = 30;
constexpr int kDesignation = 38, kDesignationWidth = 10;
constexpr int kTelephone = 78, kTelephoneWidth = 20;
}  // namespace units
namespace receipts {
constexpr int kLength = 64;
constexpr int kUnitKey = 0, kIssued = 4, kSeries = 8, kCollected = 9;
constexpr int kAmount = 13, kState = 17;
}  // namespace receipts

struct KeySegment {
  uint16_t position;  // 1-based
  uint16_t length;
  uint16_t flags;
};

struct Layout {
  Kind kind;
  const char* kind_name;  // "owners", ...
  const char* base;       // "PropietV", ...
  int record_length;
  // Segments of every key in order; chained ones carry 0x10.
  std::vector<std::vector<KeySegment>> keys;
  bool key0_unique;
  int key0_length;
  // CSV header row.
  const char* header;
};

const Layout& LayoutOf(Kind kind);
const std::vector<Kind>& AllKinds();
// Kind from its command-line name; false when there is none.
bool KindFromName(const std::string& name, Kind& kind);

// The case- and accent-folding collating table (code page 850) used by the
// name keys.
std::string FoldingTable();

// Creation specification and the whole dictionary file of a kind.
std::string CreationSpec(Kind kind);
std::string DictionaryBytes(Kind kind);
// Writes the four "<base>.xdf" files into dir; false on a write failure.
bool WriteDictionaries(const std::string& dir, std::string& error);

// A record of the kind with every field empty: blanks in texts, packed
// zeros in codes and dates, zero amount.
std::string BlankRecord(Kind kind);

}  // namespace tools
