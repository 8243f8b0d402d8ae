// The record files of a temporary installation in tests: the installation's
// own creation dictionaries, records laid out as store/record_layouts.h says,
// and inserts into files opened through the record-file layer. Header only:
// the support library does not link the store.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

#include "store/btrcall.h"
#include "store/record_files.h"
#include "store/record_layouts.h"

namespace testing_support {

// Copies the four creation dictionaries of install/ddf into root + "ddf/"
// and makes root + "DADES/"; root ends in a separator.
inline void InstallDictionaries(const std::string& root) {
  namespace fs = std::filesystem;
  fs::create_directories(root + "DADES");
  fs::create_directories(root + "ddf");
  for (std::string_view base : {store::owner::kBaseName, store::estate::kBaseName,
                                store::unit::kBaseName, store::receipt::kBaseName}) {
    const std::string name = std::string(base) + ".xdf";
    fs::copy_file(fs::path(KEL_SOURCE_DIR) / "install" / "ddf" / name, root + "ddf/" + name,
                  fs::copy_options::overwrite_existing);
  }
}

// Packed four-digit code.
inline std::string PackedCode(int n) {
  return {static_cast<char>(0x80 + n / 100 % 100), static_cast<char>(0x80 + n % 100)};
}

// Packed date from "YYYYMMDD"; "" gives the empty date.
inline std::string PackedDate(const std::string& ymd) {
  std::string digits = ymd.empty() ? "00000000" : ymd;
  std::string out;
  for (size_t i = 0; i < 8; i += 2)
    out += static_cast<char>(0x80 + (digits[i] - '0') * 10 + (digits[i + 1] - '0'));
  return out;
}

// Records with the fields the report reads, blanks elsewhere.
inline std::string OwnerRecord(int number, const std::string& name) {
  std::string r(store::owner::kLength, ' ');
  store::PutField(r, store::owner::kNumber, PackedCode(number));
  store::PutField(r, store::owner::kName, name);
  return r;
}

inline std::string EstateRecord(int number, int owner, const std::string& name,
                                char heading = ' ') {
  std::string r(store::estate::kLength, ' ');
  store::PutField(r, store::estate::kNumber, PackedCode(number));
  store::PutField(r, store::estate::kOwner, PackedCode(owner));
  store::PutField(r, store::estate::kName, name);
  store::PutField(r, store::estate::kHeading, std::string(1, heading));
  return r;
}

inline std::string UnitRecord(int estate, int unit, const std::string& holder,
                              const std::string& designation, const std::string& telephone) {
  std::string r(store::unit::kLength, ' ');
  store::PutField(r, store::unit::kKey, PackedCode(estate) + PackedCode(unit));
  store::PutField(r, store::unit::kHolder, holder);
  store::PutField(r, store::unit::kDesignation, designation);
  store::PutField(r, store::unit::kTelephone, telephone);
  return r;
}

// Dates as "YYYYMMDD", "" for none.
inline std::string ReceiptRecord(int estate, int unit, const std::string& issued,
                                 const std::string& collected, int32_t cents, char state) {
  std::string r(store::receipt::kLength, ' ');
  store::PutField(r, store::receipt::kUnitKey, PackedCode(estate) + PackedCode(unit));
  store::PutField(r, store::receipt::kIssued, PackedDate(issued));
  store::PutField(r, store::receipt::kCollected, PackedDate(collected));
  store::PutInt32(r, store::receipt::kAmount, cents);
  store::PutField(r, store::receipt::kState, std::string(1, state));
  return r;
}

// Inserts a record through the position block of a file the record-file
// layer holds open; the record manager's status (3 when the file is not open).
inline int16_t InsertRecord(int16_t id, std::string record) {
  store::SlotSearch found = store::FindFileSlot(id);
  if (found.kind != store::SlotSearch::kOpen) return store::kStIdNotOpen;
  uint32_t length = static_cast<uint32_t>(record.size());
  uint8_t key[store::kKeyAreaSize] = {};
  return store::BTRCALL(store::kOpInsert,
                        store::FileTableState().slots[found.slot].position.data(),
                        record.data(), &length, key, 0, 0);
}

}  // namespace testing_support
