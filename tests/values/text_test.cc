#include "values/text.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "values/values_state.h"

namespace {

using values::FoldText;
using values::FormatParagraph;

class TextTest : public ::testing::Test {
 protected:
  void SetUp() override { values::ResetValuesState(); }
  void TearDown() override { values::ResetValuesState(); }
  void SearchMode(bool on) { values::ValuesState().fold_for_search = on; }
};

std::string Byte(int c) { return std::string(1, static_cast<char>(c)); }

TEST_F(TextTest, FoldsForDisplayAndForSearch) {
  struct Case {
    std::string text, upper, search;
  };
  const Case cases[] = {
      {"Mar\x87", "MAR\x80", "MARC"},  // Març
      {"a[b", "A[B", "A B"},
      {"0123 456789", "0123 456789", "0123 456789"},
      {"@`{|}~\x7F", "@`{|}~\x7F", "       "},
      {"\x82\xA4\x85\x87", "\x90\xA5\xB7\x80", "ENAC"},  // éñàç
      {"\x9B\xE7", "\x9B\xE7", "OT"},                  // ø and þ stay upper
      {"\xE1\xC4\xCD", "\xE1\xC4\xCD", "S  "},         // ß, box drawing
      {"\xEC\xED\xEE\xFF", "\xED\xED\xEE\xFF", "YY\xEE\xFF"},
  };
  for (const auto& c : cases) {
    SearchMode(false);
    EXPECT_EQ(FoldText(c.text), c.upper) << c.text;
    SearchMode(true);
    EXPECT_EQ(FoldText(c.text), c.search) << c.text;
  }
}

TEST_F(TextTest, FoldTablesAreConsistent) {
  for (int c = 0; c < 256; ++c) {
    SearchMode(false);
    const std::string upper = FoldText(Byte(c));
    ASSERT_EQ(upper.size(), 1u);
    // Capitals fold to themselves.
    ASSERT_EQ(FoldText(upper), upper) << c;
    SearchMode(true);
    const std::string search = FoldText(Byte(c));
    if (c < 64 || c > 237) {
      ASSERT_EQ(search, Byte(c)) << c;
      ASSERT_EQ(upper, Byte(c)) << c;
      continue;
    }
    // Letters search as plain capitals, anything else as a blank.
    const char s = search[0];
    ASSERT_TRUE(s == ' ' || (s >= 'A' && s <= 'Z')) << c;
    // A letter and its capital are found by the same search letter.
    ASSERT_EQ(FoldText(upper), search) << c;
  }
}

struct ParagraphCase {
  std::string text;
  int16_t indent;
  int16_t width;
  const char* alignment;
  std::string expected;
};

TEST_F(TextTest, ParagraphAlignments) {
  const ParagraphCase cases[] = {
      {"uno dos tres", 0, 8, "L", "uno dos tres    "},
      {"uno dos tres", 0, 8, "e", "uno dos tres    "},
      {"uno dos tres", 0, 8, "i", "uno dos tres    "},
      {"uno dos tres", 0, 8, "R", " uno dos    tres"},
      {"uno dos tres", 0, 8, "d", " uno dos    tres"},
      {"uno dos tres", 0, 8, "C", "uno dos   tres  "},
      {"uno dos tres", 0, 8, "N", "uno dos-tres----"},
      {"uno dos tres", 0, 8, "x", "uno dostres"},
      {"uno dos tres", 0, 8, "", "uno dostres"},
      {"abcdefghij", 0, 4, "L", "abcdefghij  "},
      {"uno dos tres cuatro", 0, 10, "A", "uno    dostrescuatro"},
      {"uno dos tres cuatro", 0, 10, "b", "uno    dostrescuatro"},
      {"a b c d e", 0, 6, "A", "a  b cd e"},
      {"uno dos tres", 2, 8, "L", "  uno   dos tres"},
      {"uno dos tres", -2, 8, "L", "uno dos   tres  "},
      {"uno   dos", 0, 20, "L", "uno   dos           "},
      {"   uno", 0, 5, "L", "     uno  "},  // leading blanks make a line
      {"", 0, 8, "L", ""},
  };
  for (const auto& c : cases) {
    std::string text = c.text;
    FormatParagraph(text, c.indent, c.width, c.alignment);
    EXPECT_EQ(text, c.expected) << "'" << c.text << "' indent " << c.indent
                                << " width " << c.width << " " << c.alignment;
  }
}

TEST_F(TextTest, ControlCodesTakeNoColumnAndTravelWithTheirWord) {
  std::string text = "ab\x01" "cd";
  FormatParagraph(text, 0, 4, "L");
  EXPECT_EQ(text, "ab\x01" "cd");

  text = "ab \x02" "cd ef";
  FormatParagraph(text, 0, 4, "L");
  EXPECT_EQ(text, "ab  \x02" "cd  ef  ");

  text = "ab\x03 cd";
  FormatParagraph(text, 0, 2, "L");
  EXPECT_EQ(text, "ab\x03" "cd");
}

TEST_F(TextTest, DegenerateWidthsStillEnd) {
  std::string text = "uno dos";
  FormatParagraph(text, 0, 0, "L");
  EXPECT_EQ(text, "unodos");  // one character per line, blanks skipped
  text = "uno dos";
  FormatParagraph(text, 9, 4, "L");
  EXPECT_FALSE(text.empty());
  text = "uno dos tres";
  FormatParagraph(text, 0, -3, "A");
  EXPECT_FALSE(text.empty());
}

// Removes the blanks and the "-" padding of a laid-out text.
std::string Letters(const std::string& s) {
  std::string out;
  for (char c : s) {
    if (c != ' ') out.push_back(c);
  }
  return out;
}

TEST_F(TextTest, LeftAlignedLinesAreFullWidthAndLoseNoText) {
  std::mt19937 random(7);
  std::uniform_int_distribution<int> word_length(1, 14);
  std::uniform_int_distribution<int> gap(1, 3);
  for (int round = 0; round < 200; ++round) {
    std::string text;
    const int words = 1 + round % 30;
    for (int w = 0; w < words; ++w) {
      text += std::string(static_cast<size_t>(word_length(random)),
                          static_cast<char>('a' + w % 26));
      text += std::string(static_cast<size_t>(gap(random)), ' ');
    }
    const int16_t width = static_cast<int16_t>(5 + round % 70);
    const int16_t indent = static_cast<int16_t>(round % 7 - 3);
    std::string laid = text;
    FormatParagraph(laid, indent, width, "i");
    ASSERT_EQ(laid.size() % static_cast<size_t>(width), 0u) << text;
    ASSERT_EQ(Letters(laid), Letters(text)) << text;
  }
}

// Visible columns of a laid-out text (control codes take none).
size_t VisibleColumns(const std::string& s) {
  size_t n = 0;
  for (char c : s) {
    if (static_cast<unsigned char>(c) >= 32) ++n;
  }
  return n;
}

TEST_F(TextTest, CutWordKeepsTheFullWidthAfterAControlCode) {
  // A word too long for the line, led by an attribute code: the cut line
  // still holds width visible characters, the code riding along.
  std::string text = "\x01" "abcdef";
  FormatParagraph(text, 0, 4, "L");
  EXPECT_EQ(text, "\x01" "abcdef  ");

  text = " \x02" "abcdef";
  FormatParagraph(text, 0, 4, "i");
  EXPECT_EQ(text, " \x02" "abcdef ");

  std::mt19937 random(11);
  std::uniform_int_distribution<int> pick(0, 9);
  for (int round = 0; round < 500; ++round) {
    std::string original;
    const int length = 1 + round % 50;
    for (int i = 0; i < length; ++i) {
      const int k = pick(random);
      original += k < 2 ? ' ' : k == 2 ? '\x03' : static_cast<char>('a' + k);
    }
    const int16_t width = static_cast<int16_t>(3 + round % 9);
    std::string laid = original;
    FormatParagraph(laid, 0, width, "i");
    ASSERT_EQ(VisibleColumns(laid) % static_cast<size_t>(width), 0u)
        << "width " << width << " '" << original << "'";
    ASSERT_EQ(Letters(laid), Letters(original)) << original;
  }
}

TEST_F(TextTest, TextStackIsLastInFirstOut) {
  values::PushText("ab");
  values::PushText("");
  EXPECT_EQ(values::PopText(), "");
  EXPECT_EQ(values::PopText(), "ab");

  const std::string binary("a\0\xFF\x01", 4);
  values::PushText(binary);
  values::PushText(std::string(70000, 'x'));  // longer than 16 bits
  values::PushText("12");
  EXPECT_EQ(values::PopText(), "12");
  EXPECT_EQ(values::PopText(), std::string(70000, 'x'));
  EXPECT_EQ(values::PopText(), binary);
  EXPECT_EQ(values::PopText(), "");  // empty stack: empty text
  EXPECT_TRUE(values::ValuesState().text_stack.empty());
}

TEST_F(TextTest, IsAllChar) {
  EXPECT_EQ(values::IsAllChar("", 'x'), -1);
  EXPECT_EQ(values::IsAllChar("", 300), -1);
  EXPECT_EQ(values::IsAllChar("   ", ' '), -1);
  EXPECT_EQ(values::IsAllChar(" x ", ' '), 0);
  EXPECT_EQ(values::IsAllChar("\xFF\xFF", 255), -1);  // bytes are unsigned
  EXPECT_EQ(values::IsAllChar("\xFF", -1), 0);
  EXPECT_EQ(values::IsAllChar("a", 'a' + 256), 0);
}

TEST_F(TextTest, CenterOffset) {
  EXPECT_EQ(values::CenterOffset("abc", 10), 3);
  EXPECT_EQ(values::CenterOffset("abcd", 10), 3);
  EXPECT_EQ(values::CenterOffset("", 7), 3);
  EXPECT_EQ(values::CenterOffset("abcdefghijk", 10), 0);  // -1/2 truncates
  EXPECT_EQ(values::CenterOffset("abcdefghijkl", 10), -1);
  EXPECT_EQ(values::CenterOffset(std::string(70000, 'x'), 10), -32768);
}

}  // namespace
