#include "values/values_state.h"

#include "app/config/settings.h"

namespace values {

Values& ValuesState() {
  static Values state;
  return state;
}

void ResetValuesState() { ValuesState() = Values{}; }

std::string UserSetting(const char* key, size_t width,
                        const std::string& fallback) {
  std::string value = config::FixedWidthSetting(
      config::ReadSetting(config::MainSettingsFile(), "Usuari", key), width);
  return value.empty() ? fallback : value;
}

}  // namespace values
