// The list file of the browse lists: where it lives, how it is opened and
// the layout of its entries.
#include "store/browse_file.h"

#include "app/config/paths.h"

namespace store {

namespace {

uint32_t Get32(const unsigned char* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

void Put32(std::string& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

}  // namespace

std::string BrowseFilePath() { return config::PathsState().temp_dir + "Browse.tmp"; }

bool OpenBrowseFile(platform::File& file, bool empty) {
  const std::string path = BrowseFilePath();
  // Emptied by making it anew: opening for output would wait forever on a
  // pipe someone left under the name.
  if (empty) platform::DeleteFile(path);
  if (!file.Open(path, platform::File::Mode::kReadWrite, /*no_follow=*/true)) return false;
  if (file.IsOwnRegularFile() && (!empty || file.Length() == 0)) return true;
  file.Close();
  return false;
}

bool ReadBrowseHeader(platform::File& file, int64_t position, BrowseEntryHeader& header) {
  if (position < 1) return false;
  unsigned char bytes[kBrowseHeaderSize];
  if (file.ReadAt(position - 1, bytes, sizeof bytes) != sizeof bytes) return false;
  header.previous = Get32(bytes);
  header.value = static_cast<int32_t>(Get32(bytes + 4));
  header.length = static_cast<uint16_t>(bytes[8] | (bytes[9] << 8));
  return true;
}

std::string EncodeBrowseEntry(const BrowseEntryHeader& header, const std::string& text) {
  std::string out;
  Put32(out, header.previous);
  Put32(out, static_cast<uint32_t>(header.value));
  out.push_back(static_cast<char>(header.length & 0xFF));
  out.push_back(static_cast<char>(header.length >> 8));
  return out + text;
}

bool WriteBrowseEntry(platform::File& file, int64_t position, BrowseEntryHeader& header,
                      std::string& text) {
  if (text.size() > kBrowseMaxText) text.resize(kBrowseMaxText);
  header.length = static_cast<uint16_t>(text.size());
  const std::string entry = EncodeBrowseEntry(header, text);
  return position >= 1 && file.WriteAt(position - 1, entry.data(), entry.size());
}

}  // namespace store
