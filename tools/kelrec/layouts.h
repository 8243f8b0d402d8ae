// The four record files kelrec handles (layouts in store/record_layouts.h),
// their keys and the creation dictionaries made from them. A dictionary is
// two little-endian length bytes followed by the record manager's creation
// specification (layout in store/btrcall.h): file specification, segment
// entries key after key, and the collating block when a segment is compared
// through the table.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "store/record_layouts.h"

namespace tools {

// The record layouts, by the short names kelrec's code uses.
namespace owner = store::owner;
namespace estate = store::estate;
namespace unit = store::unit;
namespace receipt = store::receipt;
using store::RecordField;

enum class Kind { kOwners, kEstates, kUnits, kReceipts };

struct KeySegment {
  uint16_t position;  // 1-based
  uint16_t length;
  uint16_t flags;
};

struct Layout {
  Kind kind;
  const char* kind_name;  // "owners", ...
  std::string_view file_name;  // "DADES\\PropietV", ... below the root
  std::string_view base;       // "PropietV", ...
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
