// Display and acceptance of form values, read back from the screen grid.

#include "values/field_hooks.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/support/fixed_clock.h"
#include "tests/support/headless_fixture.h"
#include "values/text.h"

namespace {

using config::FormField;
using config::kFieldDate;
using config::kFieldMasked;
using config::kFieldNumber;

// Packed 2026-12-07.
const std::string kWorkDate = "\x94\x9A\x8C\x87";

FormField MakeField(int16_t row, int16_t col, const std::string& label, int16_t width,
                    int16_t type, int16_t flags = 0, int16_t desc = 0,
                    const std::string& choices = "", int16_t line = 0) {
  FormField f;
  f.row = row;
  f.col = col;
  f.label = label;
  f.width = width;
  f.line_width = line;
  f.description_width = desc;
  f.flags = flags;
  f.type = type;
  f.choices = choices;
  f.SetValue("");
  return f;
}

class FieldHooksTest : public testing_support::HeadlessTest {
 protected:
  void SetUp() override {
    HeadlessTest::SetUp();
    // No Tavo.ini there: the default separator and order.
    config::PathsState().root = dir().path();
    config::SettingsState().work_date = kWorkDate;
    config::Form form;  // no window: screen positions
    form.fields.push_back(MakeField(3, 5, "Data: ", 8, kFieldDate));
    form.fields.push_back(MakeField(4, 5, "Num: ", 3, kFieldNumber));
    form.fields.push_back(MakeField(5, 5, "Ok: ", 1, 0, 0, 2, "|S,S\xA1|N,No"));  // 3 choice
    form.fields.push_back(MakeField(6, 5, "Clau: ", 6, 0, kFieldMasked));
    form.fields.push_back(MakeField(7, 5, "Nota: ", 6, 0, 0, 0, "", 3));  // 5 two lines
    form.fields.push_back(MakeField(9, 5, "Text: ", 4, 0));               // 6 text
    config::FormTableState().forms.push_back(form);
  }

  int16_t Accept(int16_t field, const std::string& value) {
    int16_t f = field, key = 13;
    int16_t answer = values::AcceptFieldValue(1, value, f, key);
    EXPECT_EQ(f, field) << "the field number is never changed";
    EXPECT_EQ(key, 13) << "the key is never changed";
    return answer;
  }
  const std::string& Value(int16_t field) { return config::FormTableState().FindField(1, field)->value; }

  testing_support::FixedClock clock_{2026, 12, 7};
};

TEST_F(FieldHooksTest, BlankDateTakesWorkDateInCompactForm) {
  EXPECT_EQ(Accept(1, "        "), 0);
  EXPECT_EQ(Value(1), "071226  ");
  EXPECT_EQ(ScreenAt(3, 11, 10), "7/12/2026 ");
  EXPECT_EQ(Accept(1, ""), 0);
  EXPECT_EQ(Value(1), "071226  ");
}

TEST_F(FieldHooksTest, DatesAreValidatedAndStoredAsTyped) {
  config::FormTableState().FindField(1, 1)->SetValue("010126");
  EXPECT_EQ(Accept(1, "31/02/26"), -1);
  EXPECT_EQ(Value(1), "010126  ") << "a refused value leaves the stored one";
  EXPECT_EQ(ScreenAt(3, 11, 10), std::string(10, ' ')) << "nothing is shown on refusal";

  EXPECT_EQ(Accept(1, "29/02/24"), 0);
  EXPECT_EQ(Value(1), "29/02/24") << "a date is not normalised";
  EXPECT_EQ(ScreenAt(3, 11, 10), "29/2/2024 ");

  EXPECT_EQ(Accept(1, "29/02/25"), -1);
  EXPECT_EQ(Accept(1, "1/2"), -1);
}

TEST_F(FieldHooksTest, AnyDateFormShowsTheSame) {
  for (const char* typed : {"071226", "7.12.26", "07122026", "7-12-26"}) {
    SCOPED_TRACE(typed);
    config::FormTableState().FindField(1, 1)->SetValue(typed);
    values::ShowFieldValue(1, 1);
    EXPECT_EQ(ScreenAt(3, 11, 10), "7/12/2026 ");
  }
  config::FormTableState().FindField(1, 1)->SetValue("xx");
  values::ShowFieldValue(1, 1);
  EXPECT_EQ(ScreenAt(3, 11, 10), std::string(10, ' ')) << "an unparsable date shows blank";
}

TEST_F(FieldHooksTest, NumbersAcceptOnlyDigitsAndBlanks) {
  EXPECT_EQ(Accept(2, "12a"), -1);
  EXPECT_EQ(Value(2), "   ");
  EXPECT_EQ(Accept(2, "-1"), -1);
  EXPECT_EQ(Accept(2, " 12"), 0);
  EXPECT_EQ(Value(2), " 12");
  EXPECT_EQ(ScreenAt(4, 10, 3), " 12");
  EXPECT_EQ(Accept(2, "4567"), 0);
  EXPECT_EQ(Value(2), "456") << "cut to the field width";
}

TEST_F(FieldHooksTest, ChoiceShowsPaddedDescriptionOrNothing) {
  platform::SetCursor(5, 9);
  platform::WriteText("###");
  EXPECT_EQ(Accept(3, "N"), 0);
  EXPECT_EQ(ScreenAt(5, 9, 3), "No ") << "padded to width plus description width";
  EXPECT_EQ(Accept(3, "S"), 0);
  EXPECT_EQ(ScreenAt(5, 9, 3), "S\xA1 ");

  platform::SetCursor(5, 9);
  platform::WriteText("###");
  EXPECT_EQ(Accept(3, "Q"), 0) << "text fields accept anything";
  EXPECT_EQ(ScreenAt(5, 9, 3), "###") << "no matching entry writes nothing";
}

TEST_F(FieldHooksTest, LongDescriptionIsCut) {
  config::FormField* f = config::FormTableState().FindField(1, 3);
  f->choices = "|A,Alfa|B,Beta llarga";
  platform::SetCursor(5, 9);
  platform::WriteText("#####");
  EXPECT_EQ(Accept(3, "B"), 0);
  EXPECT_EQ(ScreenAt(5, 9, 5), "Bet##");
}

TEST_F(FieldHooksTest, MaskedFieldShowsNothing) {
  EXPECT_EQ(Accept(4, "secret"), 0);
  EXPECT_EQ(Value(4), "secret");
  EXPECT_EQ(ScreenAt(6, 11, 6), std::string(6, ' '));
}

TEST_F(FieldHooksTest, MultiLineValueLeavesTheTextStackAsFound) {
  values::PushText("marker");
  EXPECT_EQ(Accept(5, "abcdef"), 0);
  EXPECT_EQ(ScreenAt(7, 11, 3), "abc");
  EXPECT_EQ(ScreenAt(8, 11, 3), "def");
  EXPECT_EQ(ScreenAt(7, 14, 3), "   ") << "each piece is line width long";
  EXPECT_EQ(values::PopText(), "marker");
}

TEST_F(FieldHooksTest, WindowedFormIsPlacedInsideItsFrame) {
  config::Form& form = config::FormTableState().forms[0];
  form.top = 10;
  form.left = 20;
  form.bottom = 20;
  form.right = 60;
  EXPECT_EQ(Accept(6, "hola"), 0);
  // Label at (9, 5) of the window: value at screen row 19, column 20 + 5 + 6.
  EXPECT_EQ(ScreenAt(19, 31, 4), "hola");
  int row = 0, col = 0;
  ASSERT_TRUE(values::FieldValuePlace(1, 6, row, col));
  EXPECT_EQ(row, 19);
  EXPECT_EQ(col, 31);
}

TEST_F(FieldHooksTest, UnknownFieldsAreLeftAlone) {
  int16_t field = 9, key = 13;
  EXPECT_EQ(values::AcceptFieldValue(1, "x", field, key), -1);
  field = 1;
  EXPECT_EQ(values::AcceptFieldValue(3, "x", field, key), -1);
  values::ShowFieldValue(2, 1);  // must not crash
  int row = 0, col = 0;
  EXPECT_FALSE(values::FieldValuePlace(1, 0, row, col));
}

}  // namespace
