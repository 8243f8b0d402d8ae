// What the preview says, in the session's language (config::ByLanguage on
// the settings' language code), as code page 850 text for the screen.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tools {

// "Pàgina 3 de 183"; "de 183..." while the pages are still being counted.
std::string PageOfText(int64_t page, int64_t pages, bool counting);
// The keys that fit the status line beside the page.
std::string KeysText();
// The list F1 shows, a line per key; printer names where I prints.
std::vector<std::string> KeysListText(const std::string& printer);
std::string AnyKeyText();

std::string GoToPromptText();
std::string PageRangeText(int64_t pages);
std::string FindPromptText();
std::string FindingText(int64_t page);
std::string NotFoundText(const std::string& wanted);
std::string StoppedText(int64_t page);
std::string NoTotalText();
std::string CountingText(int64_t pages);
std::string MakingText(int64_t page, int64_t pages);

// What the run says when it made nothing (UTF-8, for the module's bottom
// row): "KELPRINT: vista prèvia de 183 pàgines"; without the count when
// pages is negative (not counted to the end).
std::string ShownText(int64_t pages);

}  // namespace tools
