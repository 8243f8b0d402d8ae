// The language code chooses one of four versions of a text the operator
// sees: "SPA" Spanish, "GLG" Galician, "OCI" Aranese; blank or any other
// code (Catalan's own "CAT" included) Catalan. The code in force is
// SettingsState().language.
#pragma once

#include <string_view>

namespace config {

template <typename T>
T ByLanguage(std::string_view code, T catalan, T spanish, T galician, T aranese) {
  if (code == "SPA") return spanish;
  if (code == "GLG") return galician;
  if (code == "OCI") return aranese;
  return catalan;
}

}  // namespace config
