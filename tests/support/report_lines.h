// Lines of the print work file that close a unit, an estate and the whole
// list, as the pending-receipts report writes them. Amounts are given as
// printed ("1.234'56") and right-aligned here in their 10-character columns.
// A page heading that breaks a total goes after its rule (after_rule).
#pragma once

#include <string>

namespace testing_support {

inline std::string TotalColumns(const std::string& pending, const std::string& returned) {
  auto right = [](const std::string& s) {
    return std::string(s.size() < 10 ? 10 - s.size() : 0, ' ') + s;
  };
  return "JUSD\r\n"
         " 115 ," + right(pending) + ", 0 \r\n"
         " 126 ," + right(returned) + ", 1 \r\n";
}

inline std::string UnitTotalLines(const std::string& pending, const std::string& returned) {
  return TotalColumns(pending, returned);
}

inline std::string EstateTotalLines(const std::string& pending, const std::string& returned,
                                    const std::string& after_rule = std::string()) {
  return " 115 ,---------------------, 1 \r\n" + after_rule +
         "JUSN 113 \\.\\\r\n"
         " 75 ,TOTAL FINCA , 0 \r\n" +
         TotalColumns(pending, returned);
}

inline std::string GrandTotalLines(const std::string& pending, const std::string& returned,
                                   const std::string& after_rule = std::string()) {
  return " 115 ,---------------------, 1 \r\n" + after_rule +
         " 75 ,TOTAL GENERAL, 0 \r\n" + TotalColumns(pending, returned) +
         " 75 ," + std::string(61, '=') + ", 1 \r\n";
}

}  // namespace testing_support
