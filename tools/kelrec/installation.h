// Installation folders made by kelrec: the folders the programs expect
// (FORMS, LOCALE, ddf, DADES, AJUDA) and the main settings file, copied from
// the installation template that travels with the programs.
#pragma once

#include <string>

namespace tools {

// The template: "<exe dir>/install" when it holds the dictionaries (a build
// tree), else where the package puts it ("<exe dir>/../share/kel-pendents/
// install"), else the source tree's install folder. Empty when none exists.
std::string TemplateDirectory();

// Makes dir (which must not exist or be empty) into a new installation.
// False with a reason.
bool MakeInstallation(const std::string& dir, std::string& error);

// Removes an installation that MakeInstallation has just made.
void RemoveInstallation(const std::string& dir);

// Sets key in section of the installation's "Tavo.ini" (code page 850 text,
// CR LF line ends), adding the key or the whole section when missing.
bool SetSetting(const std::string& dir, const std::string& section,
                const std::string& key, const std::string& cp850_value,
                std::string& error);

// Replaces the company name ([Usuari] NomEmpresa).
bool SetFirmName(const std::string& dir, const std::string& cp850_name,
                 std::string& error);

}  // namespace tools
