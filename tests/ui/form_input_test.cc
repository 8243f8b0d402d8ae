// The screen form input driven through the headless terminal: scripted keys
// in, the form table and the screen grid out.

#include "ui/form_input.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "tests/support/ui_fixture.h"

namespace {

using config::Form;
using config::FormField;
using config::kFieldDisplayOnly;
using config::kFieldFresh;
using config::kFieldMasked;

constexpr int16_t kEnter = 13, kEsc = 27;
constexpr int16_t kUp = 0x4800, kDown = 0x5000, kPgUp = 0x4900, kPgDn = 0x5100;
constexpr int16_t kF1 = 0x3B00, kF4 = 0x3E00, kEnd = 0x4F00;

FormField Field(int16_t row, int16_t col, const std::string& label, int16_t width,
                int16_t flags = 0, const std::string& value = "") {
  FormField f;
  f.row = row;
  f.col = col;
  f.label = label;
  f.width = width;
  f.flags = flags;
  f.SetValue(value);
  return f;
}

// A framed form at rows 5-12, columns 10-50 with text fields at rows 2, 3,
// 4 of the window.
Form ThreeFields(const std::string& exit_keys = "d,1b,4800,5000,4900,5100,3e00") {
  Form form;
  form.name = exit_keys;
  form.top = 5;
  form.left = 10;
  form.bottom = 12;
  form.right = 50;
  form.fields.push_back(Field(2, 2, "Primer: ", 5));
  form.fields.push_back(Field(3, 2, "Segon : ", 5));
  form.fields.push_back(Field(4, 2, "Tercer: ", 5));
  return form;
}

class FormInputTest : public testing_support::UiTest {
 protected:
  void SetUp() override {
    UiTest::SetUp();
    term().SetDryLimit(20);
    // Record every check; let the form close.
    ui::FormHooksState().parameter_check = [this](int16_t form, int16_t key) {
      checks_.emplace_back(form, key);
      return check_answer_;
    };
  }

  void Type(const std::string& text) { term().PushText(text); }

  int16_t Run(int16_t form = 1, int16_t top = 0, int16_t bottom = 0) {
    int16_t key = -5;
    ui::FormInput(form, top, bottom, key);
    return key;
  }
  std::string Value(int16_t form, int16_t field) {
    return config::FormTableState().FindField(form, field)->value;
  }
  std::string Row(int row) {
    platform::Refresh();
    return term().Text(row);
  }

  std::vector<std::pair<int16_t, int16_t>> checks_;
  int16_t check_answer_ = 0;
};

TEST_F(FormInputTest, EnterOnLastFieldEndsWithEnterAndDownStays) {
  config::FormTableState().forms.push_back(ThreeFields());
  Keys({kDown, kDown, kDown, kDown});  // to the last field, where Down stays
  Type("x");
  Keys({kEnter});
  EXPECT_EQ(Run(), kEnter);
  EXPECT_EQ(Value(1, 3), "x    ");
  EXPECT_EQ(Value(1, 1), "     ");
  ASSERT_EQ(checks_.size(), 1u);
  EXPECT_EQ(checks_[0], std::make_pair(int16_t{1}, kEnter));
  EXPECT_EQ(term().DryEscapes(), 0) << "the form ended on the scripted keys";
  EXPECT_EQ(ui::ScreenState().win_depth, 0) << "the form's window is gone";
}

TEST_F(FormInputTest, UpOnFirstFieldGivesUp) {
  config::FormTableState().forms.push_back(ThreeFields());
  Keys({kUp});
  EXPECT_EQ(Run(), kEsc);
  ASSERT_EQ(checks_.size(), 1u);
  EXPECT_EQ(checks_[0].second, kEsc);
}

TEST_F(FormInputTest, EscGoesToFirstFieldThenLeaves) {
  config::FormTableState().forms.push_back(ThreeFields());
  config::FormTableState().FindField(1, 2)->SetValue("keep");
  Keys({kDown});
  Type("zz");
  Keys({kEsc});  // typing dropped, back on field 1
  Type("q");
  Keys({kDown, kDown, kEsc, kEsc});
  EXPECT_EQ(Run(), kEsc);
  EXPECT_EQ(Value(1, 1), "q    ");
  EXPECT_EQ(Value(1, 2), "keep ") << "Esc restores the stored value";
  EXPECT_EQ(checks_.size(), 1u);
  EXPECT_EQ(term().DryEscapes(), 0);
}

TEST_F(FormInputTest, PageKeysNeverEndWithoutLeaveFlags) {
  config::FormTableState().forms.push_back(ThreeFields());
  Keys({kPgDn, kPgDn});
  Type("c");
  Keys({kPgUp, kPgUp});
  Type("a");
  Keys({kEnter, kEnter, kEnter});
  EXPECT_EQ(Run(), kEnter);
  EXPECT_EQ(Value(1, 1), "a    ");
  EXPECT_EQ(Value(1, 3), "c    ");
  EXPECT_EQ(checks_.size(), 1u);
}

TEST_F(FormInputTest, PageKeysLeaveWithTheirFlags) {
  config::FormTableState().forms.push_back(ThreeFields());
  Keys({kPgUp});
  EXPECT_EQ(Run(1, -1, 0), kPgUp);
  EXPECT_EQ(ui::FormInputState().last_form_shown, 1);
  Keys({kPgDn, kPgDn});
  EXPECT_EQ(Run(1, 0, -1), kPgDn);
}

TEST_F(FormInputTest, EndLeavesAndOtherExitKeysLeaveWithThemselves) {
  // With End among the exit keys the editor turns Enter into End.
  config::FormTableState().forms.push_back(ThreeFields("d,1b,4800,5000,4f00,4400"));
  Keys({kDown, kEnter});
  EXPECT_EQ(Run(), kEnd);
  Keys({0x4400});  // F10
  EXPECT_EQ(Run(), 0x4400);
}

TEST_F(FormInputTest, DisplayOnlyFieldsAreSkippedBothWays) {
  Form form = ThreeFields();
  form.fields[1].flags = kFieldDisplayOnly;
  form.fields[1].SetValue("fix");
  config::FormTableState().forms.push_back(form);
  Keys({kEnter});
  Type("c");  // lands on field 3
  Keys({kUp});
  Type("a");  // back on field 1
  Keys({kEnter, kEnter});
  EXPECT_EQ(Run(), kEnter);
  EXPECT_EQ(Value(1, 1), "a    ");
  EXPECT_EQ(Value(1, 2), "fix  ");
  EXPECT_EQ(Value(1, 3), "c    ");
}

TEST_F(FormInputTest, AllDisplayOnlyFormIsPaintedAndClosesAfterTheCheck) {
  Form form = ThreeFields();
  for (FormField& f : form.fields) f.flags = kFieldDisplayOnly;
  form.fields[0].SetValue("vist");
  config::FormTableState().forms.push_back(form);
  std::string painted;
  ui::FormHooksState().parameter_check = [&](int16_t f, int16_t key) {
    checks_.emplace_back(f, key);
    painted = Row(7);
    return int16_t{-1};  // even a refusal cannot keep the operator in it
  };
  int16_t key = 0;
  ui::FormInput(1, 0, 0, key);
  EXPECT_EQ(key, 0) << "nothing was typed";
  ASSERT_EQ(checks_.size(), 1u);
  EXPECT_NE(painted.find("Primer: vist"), std::string::npos) << painted;
  EXPECT_EQ(Row(7).find("Primer"), std::string::npos) << "the window was taken away";
}

TEST_F(FormInputTest, RefusedValueBeepsAndIsEditedAgainAsTyped) {
  config::FormTableState().forms.push_back(ThreeFields());
  std::vector<std::string> offered;
  ui::FormHooksState().field_accept = [&](int16_t form, const std::string& value,
                                          int16_t& field, int16_t&) -> int16_t {
    offered.push_back(value);
    if (value.find('!') == std::string::npos) return -1;
    config::FormTableState().FindField(form, field)->SetValue(value);
    return 0;
  };
  Type("bad");
  Keys({kEnter});  // refused: the same field again, from position 1
  Type("!");
  Keys({kEnter, kEsc, kEsc});
  EXPECT_EQ(Run(), kEsc);
  ASSERT_GE(offered.size(), 2u);
  EXPECT_EQ(offered[0], "bad  ");
  EXPECT_EQ(offered[1], "!bad ");
  EXPECT_EQ(Value(1, 1), "!bad ");
  EXPECT_EQ(term().Beeps(), 1);
}

TEST_F(FormInputTest, FreshFieldLeftBlankKeepsItsValue) {
  Form form = ThreeFields();
  form.fields[0].flags = kFieldFresh;
  form.fields[0].SetValue("abc");
  form.fields[1].flags = kFieldFresh;
  form.fields[1].SetValue("old");
  config::FormTableState().forms.push_back(form);
  Keys({kEnter});
  Type("new");
  Keys({kEnter, kEnter});
  EXPECT_EQ(Run(), kEnter);
  EXPECT_EQ(Value(1, 1), "abc  ");
  EXPECT_EQ(Value(1, 2), "new  ");
}

TEST_F(FormInputTest, MaskedFieldHidesTypingAndKeepsBlankEntry) {
  Form form = ThreeFields();
  form.fields[0].flags = kFieldMasked;
  form.fields[0].SetValue("pwd");
  config::FormTableState().forms.push_back(form);
  std::string seen;
  ui::FormHooksState().field_accept = [&](int16_t f, const std::string& value, int16_t& field,
                                          int16_t&) -> int16_t {
    seen = Row(7);
    config::FormTableState().FindField(f, field)->SetValue(value);
    return 0;
  };
  Type("zz");
  Keys({kEnter, kEsc});
  Run();
  EXPECT_EQ(Value(1, 1), "zz   ");
  EXPECT_EQ(seen.find("zz"), std::string::npos) << seen;
  EXPECT_EQ(ui::KeyInputState().hide_char, 0) << "masking is switched off after the field";
}

TEST_F(FormInputTest, MouseOnALabelSelectsThatField) {
  config::FormTableState().forms.push_back(ThreeFields());
  // Field 3's label starts at window (4, 2): screen row 9, column 12.
  term().PushMouse(9, 13);
  Type("m");
  Keys({kEnter});
  EXPECT_EQ(Run(), kEnter);
  EXPECT_EQ(Value(1, 3), "m    ");
  EXPECT_EQ(Value(1, 1), "     ");
}

TEST_F(FormInputTest, MouseOutsideEveryFieldMovesNothing) {
  config::FormTableState().forms.push_back(ThreeFields());
  Type("p");
  term().PushMouse(20, 70);
  Keys({kEsc});
  Run();
  // The click ended the editing of field 1 (its value accepted), and field 1
  // stayed current: the Esc then left from it.
  EXPECT_EQ(Value(1, 1), "p    ");
  EXPECT_EQ(checks_.size(), 1u);
}

TEST_F(FormInputTest, F4WithoutAListDoesNothing) {
  config::FormTableState().forms.push_back(ThreeFields());
  int lists = 0;
  ui::FormHooksState().browse_list = [&](int16_t) {
    ++lists;
    return int16_t{0};
  };
  Keys({kF4});
  Type("a");
  Keys({kEsc});
  Run();
  EXPECT_EQ(lists, 0);
  EXPECT_EQ(Value(1, 1), "     ") << "F4 drops the typing and stays; Esc leaves";
}

TEST_F(FormInputTest, F4ChoiceMovesToTheNextField) {
  Form form = ThreeFields();
  form.fields[0].look_up_list = 1;
  config::FormTableState().forms.push_back(form);
  std::vector<int16_t> lists;
  ui::FormHooksState().browse_list = [&](int16_t list) {
    lists.push_back(list);
    return int16_t{0};
  };
  ui::FormHooksState().browse_after_select = [](int16_t&, int16_t f, int16_t& field) {
    config::FormTableState().FindField(f, field)->SetValue("007");
  };
  Keys({kF4});
  Type("b");  // now on field 2
  Keys({kEnter, kEnter});
  EXPECT_EQ(Run(), kEnter);
  EXPECT_EQ(lists, std::vector<int16_t>{1});
  EXPECT_EQ(Value(1, 1), "007  ");
  EXPECT_EQ(Value(1, 2), "b    ");
}

TEST_F(FormInputTest, F4CancelledListStays) {
  Form form = ThreeFields();
  form.fields[0].look_up_list = 1;
  config::FormTableState().forms.push_back(form);
  ui::FormHooksState().browse_list = [](int16_t) { return int16_t{-1}; };
  Keys({kF4});
  Type("a");
  Keys({kEsc});
  Run();
  EXPECT_EQ(Value(1, 1), "     ");
  EXPECT_EQ(Value(1, 2), "     ");
}

TEST_F(FormInputTest, F1ShowsTheHelpOfTheMenuEntry) {
  config::FormTableState().forms.push_back(ThreeFields());
  std::vector<std::string> topics;
  ui::FormHooksState().show_help = [&](const std::string& t) { topics.push_back(t); };
  config::SettingsState().menu_name = "LLISTATS  ";
  Keys({kF1, kEsc});
  Run();
  EXPECT_EQ(topics, std::vector<std::string>{"LLISTATS"});
  config::SettingsState().menu_name = "";
  Keys({kF1, kEsc});
  Run();
  EXPECT_EQ(topics.size(), 1u) << "no help without a menu name";
}

TEST_F(FormInputTest, RefusingCheckStartsAgainAtTheFirstField) {
  config::FormTableState().forms.push_back(ThreeFields());
  check_answer_ = -1;
  Keys({kDown, kDown, kEnter});  // leave: refused, back on field 1
  ui::FormHooksState().parameter_check = [&](int16_t f, int16_t key) {
    checks_.emplace_back(f, key);
    return static_cast<int16_t>(checks_.size() == 1 ? -1 : 0);
  };
  Type("1");
  Keys({kEnter, kEsc, kEsc});
  EXPECT_EQ(Run(), kEsc);
  ASSERT_EQ(checks_.size(), 2u);
  EXPECT_EQ(checks_[0].second, kEnter);
  EXPECT_EQ(Value(1, 1), "1    ");
}

TEST_F(FormInputTest, PaintsTitleLabelsAndValuesInItsWindow) {
  config::SettingsState().menu_title = " LLISTATS ";
  Form form = ThreeFields();
  form.fields[1].SetValue("dos");
  config::FormTableState().forms.push_back(form);
  std::string title, frame, label;
  ui::FormHooksState().parameter_check = [&](int16_t, int16_t) {
    title = Row(1);
    frame = Row(5);
    label = Row(8);
    return int16_t{0};
  };
  Keys({kEsc});
  Run();
  // 10 characters: from column 41 - 5.
  EXPECT_EQ(title.substr(35, 10), " LLISTATS ");
  EXPECT_EQ(frame.substr(9, 3), "\xC9\xCD\xCD") << "double frame at column 10";
  EXPECT_EQ(label.find("Segon : dos"), 11u) << label;
}

TEST_F(FormInputTest, OddTitleLengthRoundsTheColumnHalfToEven) {
  config::FormTableState().forms.push_back(ThreeFields());
  // 41 - 3.5 = 37.5 becomes 38; 41 - 2.5 = 38.5 becomes 38 too.
  for (const std::string& title : {std::string(" Caixa "), std::string(" Abc ")}) {
    SCOPED_TRACE(title);
    config::SettingsState().menu_title = title;
    std::string row;
    ui::FormHooksState().parameter_check = [&](int16_t, int16_t) {
      row = Row(1);
      return int16_t{0};
    };
    Keys({kEsc});
    Run();
    EXPECT_EQ(row.find(title.substr(1, 3)), 38u) << row;  // column 39 holds the first letter
  }
}

// A child form (2) whose parent (1) is run again above it when the operator
// moves past the child's last field.
TEST_F(FormInputTest, ParentFormContinuesAfterTheChildsLastField) {
  Form parent = ThreeFields();
  Form child = ThreeFields();
  child.top = 14;
  child.bottom = 20;
  child.parent = 1;
  config::FormTableState().forms.push_back(parent);
  config::FormTableState().forms.push_back(child);
  Keys({kDown, kDown});
  Type("c");
  Keys({kEnter});  // past the child's last field: into the parent
  Type("p");
  Keys({kUp});     // Up on the parent's first field stays in a parent run
  Type("q");
  Keys({kEnter, kEnter, kEnter});  // past the parent's last: both end
  EXPECT_EQ(Run(2), kEnter);
  EXPECT_EQ(Value(2, 3), "c    ");
  EXPECT_EQ(Value(1, 1), "qp   ");
  ASSERT_EQ(checks_.size(), 2u);
  EXPECT_EQ(checks_[0].first, 1) << "the parent run is checked first";
  EXPECT_EQ(checks_[1].first, 2);
  EXPECT_EQ(ui::ScreenState().win_depth, 0);
}

TEST_F(FormInputTest, MissingFormGivesUp) {
  EXPECT_EQ(Run(3), kEsc);
  EXPECT_TRUE(checks_.empty());
}

TEST_F(FormInputTest, ParentCycleDoesNotRecurseWithoutEnd) {
  Form a = ThreeFields();
  a.parent = 2;
  Form b = ThreeFields();
  b.parent = 1;
  config::FormTableState().forms.push_back(a);
  config::FormTableState().forms.push_back(b);
  for (int i = 0; i < 40; ++i) Keys({kEnter});
  Run(1);  // must come back
  EXPECT_EQ(ui::FormInputState().depth, 0);
}

}  // namespace
