// The engine of a record file, from its installation's settings.
#include "store/engine_route.h"

#include <libpq-fe.h>

#include <memory>

#include "app/config/settings.h"
#include "platform/ascii.h"

namespace store::engine {
namespace {

// The text before the last "/" (empty when there is none).
std::string Parent(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

std::string LastPart(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string LowerAscii(std::string s) {
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
  return s;
}

}  // namespace

std::string RouteSettingsFile(const std::string& path) {
  const std::string folder = Parent(path);
  // A file in the current folder belongs to the folder above it.
  if (folder.empty()) return "../Tavo.ini";
  if (folder.find('/') == std::string::npos) return "Tavo.ini";
  return Parent(folder) + "/Tavo.ini";
}

bool ValidSchemaName(const std::string& schema) {
  if (schema.empty() || schema.size() > 63) return false;
  if (schema[0] >= '0' && schema[0] <= '9') return false;
  for (char c : schema)
    if (!((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_')) return false;
  return true;
}

bool UsableServerUri(const std::string& uri) {
  if (uri.rfind("postgresql://", 0) != 0 && uri.rfind("postgres://", 0) != 0) return false;
  char* error = nullptr;
  std::unique_ptr<PQconninfoOption, void (*)(PQconninfoOption*)> options(
      PQconninfoParse(uri.c_str(), &error), PQconninfoFree);
  if (error != nullptr) PQfreemem(error);
  if (!options) return false;
  // Passwords belong in the password file or the environment, never here.
  for (const PQconninfoOption* o = options.get(); o->keyword != nullptr; ++o)
    if (std::string(o->keyword) == "password" && o->val != nullptr && *o->val != '\0')
      return false;
  return true;
}

RecordRoute RouteOf(const std::string& path) {
  RecordRoute route;
  const std::string settings = RouteSettingsFile(path);
  route.uri = platform::TrimWhiteSpace(config::ReadSetting(settings, "Dades", "Motor"));
  if (route.uri.empty()) return route;
  route.schema = LowerAscii(
      platform::TrimWhiteSpace(config::ReadSetting(settings, "Dades", "Esquema")));
  if (route.schema.empty()) route.schema = kDefaultSchema;
  const std::string folder = LastPart(Parent(path));
  route.name = (folder.empty() ? std::string(".") : folder) + "/" + LastPart(path);
  route.kind = UsableServerUri(route.uri) && ValidSchemaName(route.schema)
                   ? RecordRoute::kPostgres : RecordRoute::kUnusable;
  return route;
}

}  // namespace store::engine
