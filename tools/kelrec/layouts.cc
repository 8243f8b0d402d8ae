// Record layouts and creation dictionaries of owners, estates, units and
// receipts.
#include "tools/kelrec/layouts.h"

#include <utility>

#include "platform/files.h"
#include "store/btrcall.h"

namespace tools {

namespace {

using store::kSegCollated;
using store::kSegDuplicates;
using store::kSegModifiable;
using store::kSegNextSegment;

constexpr uint16_t kPageSize = 4096;
constexpr uint16_t kDupMod = kSegDuplicates | kSegModifiable;

KeySegment Segment(RecordField field, uint16_t flags) {
  return {static_cast<uint16_t>(field.pos + 1), static_cast<uint16_t>(field.width),
          flags};
}

int Length(size_t length) { return static_cast<int>(length); }

const std::vector<Layout>& Layouts() {
  static const std::vector<Layout> layouts = {
      {Kind::kOwners, "owners", owner::kFileName, owner::kBaseName,
       Length(owner::kLength),
       {{Segment(owner::kNumber, 0)},
        {Segment(owner::kName, kDupMod | kSegCollated)}},
       true, Length(owner::kNumber.width), "owner,name"},
      {Kind::kEstates, "estates", estate::kFileName, estate::kBaseName,
       Length(estate::kLength),
       {{Segment(estate::kNumber, 0)}, {Segment(estate::kOwner, kDupMod)}},
       true, Length(estate::kNumber.width), "estate,owner,name,heading"},
      {Kind::kUnits, "units", unit::kFileName, unit::kBaseName,
       Length(unit::kLength),
       {{Segment(unit::kKey, 0)},
        {Segment(unit::kHolder, kDupMod | kSegCollated)}},
       true, Length(unit::kKey.width), "estate,unit,holder,designation,telephone"},
      {Kind::kReceipts, "receipts", receipt::kFileName, receipt::kBaseName,
       Length(receipt::kLength),
       {{Segment(receipt::kKey, kSegDuplicates)},
        {Segment(receipt::kCollected, kDupMod | kSegNextSegment),
         Segment(receipt::kUnitKey, kDupMod)}},
       false, Length(receipt::kKey.width),
       "estate,unit,issued,collected,amount,state"},
  };
  return layouts;
}

void PutLe16(std::string& s, size_t at, uint16_t v) {
  s[at] = static_cast<char>(v & 0xFF);
  s[at + 1] = static_cast<char>(v >> 8);
}

}  // namespace

const Layout& LayoutOf(Kind kind) {
  return Layouts()[static_cast<size_t>(kind)];
}

const std::vector<Kind>& AllKinds() {
  static const std::vector<Kind> kinds = {Kind::kOwners, Kind::kEstates,
                                          Kind::kUnits, Kind::kReceipts};
  return kinds;
}

bool KindFromName(const std::string& name, Kind& kind) {
  for (const Layout& l : Layouts()) {
    if (name == l.kind_name) {
      kind = l.kind;
      return true;
    }
  }
  return false;
}

std::string FoldingTable() {
  std::string table(256, '\0');
  for (int b = 0; b < 256; ++b) table[b] = static_cast<char>(b);
  for (int b = 'a'; b <= 'z'; ++b) table[b] = static_cast<char>(b - 'a' + 'A');
  // Accented letters of code page 850 sort with their plain capital.
  static const std::pair<uint8_t, char> folds[] = {
      {0x80, 'C'}, {0x81, 'U'}, {0x82, 'E'}, {0x83, 'A'}, {0x84, 'A'},
      {0x85, 'A'}, {0x86, 'A'}, {0x87, 'C'}, {0x88, 'E'}, {0x89, 'E'},
      {0x8A, 'E'}, {0x8B, 'I'}, {0x8C, 'I'}, {0x8D, 'I'}, {0x8E, 'A'},
      {0x8F, 'A'}, {0x90, 'E'}, {0x93, 'O'}, {0x94, 'O'}, {0x95, 'O'},
      {0x96, 'U'}, {0x97, 'U'}, {0x98, 'Y'}, {0x99, 'O'}, {0x9A, 'U'},
      {0x9B, 'O'}, {0x9D, 'O'}, {0xA0, 'A'}, {0xA1, 'I'}, {0xA2, 'O'},
      {0xA3, 'U'}, {0xA4, 'N'}, {0xA5, 'N'}, {0xB5, 'A'}, {0xB6, 'A'},
      {0xB7, 'A'}, {0xC6, 'A'}, {0xC7, 'A'}, {0xD2, 'E'}, {0xD3, 'E'},
      {0xD4, 'E'}, {0xD6, 'I'}, {0xD7, 'I'}, {0xD8, 'I'}, {0xDE, 'I'},
      {0xE0, 'O'}, {0xE2, 'O'}, {0xE3, 'O'}, {0xE4, 'O'}, {0xE5, 'O'},
      {0xE9, 'U'}, {0xEA, 'U'}, {0xEB, 'U'}, {0xEC, 'Y'}, {0xED, 'Y'},
      {0x91, '\x92'}, {0xD0, '\xD1'}, {0xE7, '\xE8'},
  };
  for (const auto& [byte, folded] : folds) table[byte] = folded;
  return table;
}

std::string CreationSpec(Kind kind) {
  const Layout& l = LayoutOf(kind);
  std::string spec(store::kFirstSegmentAt, '\0');
  PutLe16(spec, store::kRecordLengthAt, static_cast<uint16_t>(l.record_length));
  PutLe16(spec, store::kPageSizeAt, kPageSize);
  PutLe16(spec, store::kKeyCountAt, static_cast<uint16_t>(l.keys.size()));
  bool collated = false;
  for (const auto& key : l.keys) {
    for (const KeySegment& seg : key) {
      std::string entry(store::kSegmentEntrySize, '\0');
      PutLe16(entry, store::kSegmentPositionAt, seg.position);
      PutLe16(entry, store::kSegmentLengthAt, seg.length);
      PutLe16(entry, store::kSegmentFlagsAt, seg.flags);
      spec += entry;
      collated = collated || (seg.flags & kSegCollated) != 0;
    }
  }
  if (collated) {
    spec += static_cast<char>(store::kCollatingSignature);
    spec += "KELUPPER";
    spec += FoldingTable();
  }
  return spec;
}

std::string DictionaryBytes(Kind kind) {
  std::string spec = CreationSpec(kind);
  std::string file(2, '\0');
  PutLe16(file, 0, static_cast<uint16_t>(spec.size()));
  return file + spec;
}

bool WriteDictionaries(const std::string& dir, std::string& error) {
  for (Kind kind : AllKinds()) {
    std::string path = dir + "/" + std::string(LayoutOf(kind).base) + ".xdf";
    platform::File out;
    if (!out.Open(path, platform::File::Mode::kOutput) ||
        !out.Write(DictionaryBytes(kind))) {
      error = "cannot write " + path;
      return false;
    }
  }
  return true;
}

std::string BlankRecord(Kind kind) {
  const Layout& l = LayoutOf(kind);
  std::string r(static_cast<size_t>(l.record_length), ' ');
  auto zeros = [&r](RecordField f) { store::PutField(r, f, std::string(f.width, '\x80')); };
  switch (kind) {
    case Kind::kOwners:
      zeros(owner::kNumber);
      break;
    case Kind::kEstates:
      zeros(estate::kNumber);
      zeros(estate::kSince);
      zeros(estate::kOwner);
      break;
    case Kind::kUnits:
      zeros(unit::kKey);
      zeros(unit::kSince);
      break;
    case Kind::kReceipts:
      zeros(receipt::kKey);
      zeros(receipt::kCollected);
      store::PutInt32(r, receipt::kAmount, 0);
      break;
  }
  return r;
}

}  // namespace tools
