// One record file of an installation, reached straight through BTRCALL: a
// missing file is created from the installation's dictionary on open, and the
// file is closed when the object goes. Every call reports the record
// manager's status; nothing here ends the program.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "store/btrcall.h"
#include "tools/kelrec/layouts.h"

namespace tools {

// The record file below root as the suite names it ("<root>/DADES/<base>.dat")
// and its creation dictionary ("<root>/ddf/<base>.xdf").
std::string RecordFilePath(const std::string& root, Kind kind);
std::string DictionaryPath(const std::string& root, Kind kind);

class RecordIo {
 public:
  RecordIo() = default;
  ~RecordIo();
  RecordIo(const RecordIo&) = delete;
  RecordIo& operator=(const RecordIo&) = delete;

  // Opens the kind's file under root, creating it first when missing (or
  // opening the one another program made meanwhile).
  int16_t Open(const std::string& root, Kind kind);
  // Opens the record file at path as it is, in an open mode of
  // store/btrcall.h; the record length comes from its Stat.
  int16_t OpenPath(const std::string& path, int8_t mode);
  // Creates an empty record file (refused when one is there: 59).
  static int16_t Create(const std::string& path, const std::string& spec);
  bool IsOpen() const { return open_; }
  int16_t Close();

  // Reads in the order of key 0; record and key receive what was found.
  int16_t First(std::string& record);
  int16_t Next(std::string& record);
  int16_t Equal(const std::string& key, std::string& record);
  int16_t Insert(const std::string& record);
  // Deletes the record last read.
  int16_t DeleteCurrent();
  // The Stat reply: the creation specification with the record count.
  int16_t Stat(std::string& reply);
  // The physical position of the record last read.
  int16_t Position(uint32_t& position);

  // One transaction over every file this process writes.
  static int16_t Begin();
  static int16_t Commit();
  static int16_t Abort();

 private:
  int16_t Read(uint16_t op, std::string& record, const std::string& key);

  std::array<uint8_t, store::kPositionBlockSize> position_{};
  bool open_ = false;
  int record_length_ = 0;
};

}  // namespace tools
