#include "app/config/language.h"

#include <gtest/gtest.h>

namespace config {
namespace {

TEST(Language, FourCodesAndCatalanForEverythingElse) {
  auto pick = [](const char* code) { return ByLanguage(code, 'C', 'S', 'G', 'O'); };
  EXPECT_EQ(pick("SPA"), 'S');
  EXPECT_EQ(pick("GLG"), 'G');
  EXPECT_EQ(pick("OCI"), 'O');
  for (const char* other : {"CAT", "   ", "", "spa", "SPAX", "ENG"}) EXPECT_EQ(pick(other), 'C') << other;
}

}  // namespace
}  // namespace config
