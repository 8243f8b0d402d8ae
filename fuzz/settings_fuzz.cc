// Fuzzes the settings reader with whatever a settings file may hold: a
// value never spans lines nor holds the comment character, a fixed-width
// value is either missing or of its width with a non-blank first character,
// and numbers and colour tables come out of any text.
#include <fuzzer/FuzzedDataProvider.h>

#include <array>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <utility>

#include "app/config/settings.h"
#include "fuzz/fuzz_support.h"

using fuzzing::Check;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider in(data, size);
  const std::string section = in.ConsumeRandomLengthString(16);
  const std::string key = in.ConsumeRandomLengthString(16);
  const size_t width = in.ConsumeIntegralInRange<size_t>(0, 20);
  const std::string file = fuzzing::WriteScratch("Tavo.ini", in.ConsumeRemainingBytesAsString());

  for (const std::string& name : {section, std::string("Usuari")}) {
    const std::string value = config::ReadSetting(file, name, key);
    Check(value.find('\n') == std::string::npos);
    Check(value.find(';') == std::string::npos);
    const std::string fixed = config::FixedWidthSetting(value, width);
    Check(fixed.empty() || (fixed.size() == width && fixed[0] != ' '));
    config::SettingNumber(value);
    std::array<std::pair<int16_t, int16_t>, 5> table{};
    config::BuildColourTable(value, table);
  }
  return 0;
}
