// Fuzzes the creation dictionaries: the reader of a ".xdf" file and the
// record manager's check of the creation specification it holds. A
// specification that is accepted has keys that lie inside the record, and
// keys taken from any record have the key's length; what Stat answers is the
// specification as given.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "fuzz/fuzz_support.h"
#include "store/btrcall.h"
#include "store/engine.h"
#include "store/record_files.h"

using fuzzing::Check;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider in(data, size);
  const std::string file = in.ConsumeRandomLengthString(2048);
  const std::string record = in.ConsumeRemainingBytesAsString();
  std::string spec;
  if (!store::ReadCreationDictionary(fuzzing::WriteScratch("X.xdf", file), spec)) return 0;
  Check(!spec.empty() && spec.size() <= store::kDataAreaSize);

  store::engine::FileSpec parsed;
  if (store::engine::ParseCreationSpec(reinterpret_cast<const uint8_t*>(spec.data()),
                                       spec.size(), parsed) != 0)
    return 0;
  Check(parsed.record_length >= 1 && parsed.record_length <= store::kMaxRecordLength);
  std::string row(parsed.record_length, '\0');
  row.replace(0, std::min(row.size(), record.size()), record, 0, row.size());
  const auto* bytes = reinterpret_cast<const uint8_t*>(row.data());
  for (size_t k = 0; k < parsed.keys.size(); ++k) {
    const store::engine::KeyDef& key = parsed.keys[k];
    for (const store::engine::Segment& seg : key.segments)
      Check(seg.position >= 1 && seg.position + seg.length - 1u <= parsed.record_length);
    std::string raw, collated;
    store::engine::RawKey(parsed, static_cast<int>(k), bytes, raw);
    store::engine::CollatedKey(parsed, static_cast<int>(k), bytes, collated);
    Check(raw.size() == key.length && collated.size() == key.length);
  }
  store::engine::StatReply(parsed, 7);
  return 0;
}
