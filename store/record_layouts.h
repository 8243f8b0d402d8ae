// The four record files of the suite that this module and kelrec use:
// owners, estates, units and receipts. For each, the file identifier the
// report opens it under, the name it opens (below the installation root)
// and its base name (also that of its creation dictionary), the record
// length the dictionaries create, and every field by byte position (from 0)
// and width.
//
// Codes are packed digits, two to a byte (a 2-byte code holds 0-9999);
// dates are 4-byte packed dates (four 0x80 bytes: no date); texts are code
// page 850, blank-padded; the amount is a signed 32-bit little-endian
// integer of cents. Bytes not named here belong to the suite's other
// modules. install/ddf/README.md describes the same layouts for people.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace store {

struct RecordField {
  size_t pos;
  size_t width;
};

namespace owner {
constexpr int16_t kFileId = 505;
constexpr std::string_view kFileName = "DADES\\PropietV";
constexpr std::string_view kBaseName = kFileName.substr(kFileName.find('\\') + 1);
constexpr size_t kLength = 200;
constexpr RecordField kNumber{0, 2};  // key 0
constexpr RecordField kName{2, 30};   // key 1, through the collating table
}  // namespace owner

namespace estate {
constexpr int16_t kFileId = 506;
constexpr std::string_view kFileName = "DADES\\FinquesV";
constexpr std::string_view kBaseName = kFileName.substr(kFileName.find('\\') + 1);
constexpr size_t kLength = 256;
constexpr RecordField kNumber{0, 2};  // key 0
constexpr RecordField kSince{2, 4};   // date the administration began
constexpr RecordField kOwner{6, 2};   // key 1
constexpr RecordField kName{8, 30};
// "P": the report heads the estate with the owner's name.
constexpr RecordField kHeading{141, 1};
}  // namespace estate

namespace unit {
constexpr int16_t kFileId = 507;
constexpr std::string_view kFileName = "DADES\\DepartaV";
constexpr std::string_view kBaseName = kFileName.substr(kFileName.find('\\') + 1);
constexpr size_t kLength = 200;
constexpr RecordField kEstate{0, 2};
constexpr RecordField kUnit{2, 2};
constexpr RecordField kKey{0, 4};    // key 0: estate and unit
constexpr RecordField kSince{4, 4};  // date the lease began
constexpr RecordField kHolder{8, 30};  // key 1, through the collating table
constexpr RecordField kDesignation{38, 10};
constexpr RecordField kTelephone{78, 20};
}  // namespace unit

namespace receipt {
constexpr int16_t kFileId = 509;
constexpr std::string_view kFileName = "DADES\\CobramV";
constexpr std::string_view kBaseName = kFileName.substr(kFileName.find('\\') + 1);
constexpr size_t kLength = 64;
constexpr RecordField kEstate{0, 2};
constexpr RecordField kUnit{2, 2};
constexpr RecordField kUnitKey{0, 4};  // estate and unit, as unit::kKey
constexpr RecordField kIssued{4, 4};
constexpr RecordField kKey{0, 8};  // key 0: unit and issue date, duplicates
constexpr RecordField kSeries{8, 1};
constexpr RecordField kCollected{9, 4};
constexpr RecordField kAmount{13, 4};
// "P" pending, "D" returned, "C" collected, "A" cancelled, "F" in instalments.
constexpr RecordField kState{17, 1};
}  // namespace receipt

// Field access on a record. A record shorter than its layout reads as
// blanks (texts) or zero bytes (the amount) where it ends, and is grown with
// blanks when a field is put beyond its end.
inline std::string FieldText(const std::string& record, RecordField f) {
  std::string out(f.width, ' ');
  if (f.pos < record.size()) out.replace(0, std::min(f.width, record.size() - f.pos),
                                         record, f.pos, f.width);
  return out;
}

// The value cut or blank-padded to the field's width.
inline void PutField(std::string& record, RecordField f, std::string_view value) {
  if (record.size() < f.pos + f.width) record.resize(f.pos + f.width, ' ');
  std::string text(value.substr(0, f.width));
  text.resize(f.width, ' ');
  record.replace(f.pos, f.width, text);
}

inline int32_t FieldInt32(const std::string& record, RecordField f) {
  uint32_t v = 0;
  for (size_t i = 0; i < 4; ++i) {
    size_t at = f.pos + i;
    uint8_t b = at < record.size() ? static_cast<uint8_t>(record[at]) : 0;
    v |= uint32_t{b} << (8 * i);
  }
  return static_cast<int32_t>(v);
}

inline void PutInt32(std::string& record, RecordField f, int32_t value) {
  std::string bytes(4, '\0');
  for (size_t i = 0; i < 4; ++i)
    bytes[i] = static_cast<char>((static_cast<uint32_t>(value) >> (8 * i)) & 0xFF);
  PutField(record, f, bytes);
}

}  // namespace store
