// The field editor: keys in, text, position, exit key and screen cells out.

#include "ui/field_editor.h"

#include <gtest/gtest.h>

#include "platform/key_decoder.h"
#include "tests/support/ui_fixture.h"

namespace {

using platform::kLeftAlt;
using platform::kLeftCtrl;
using platform::kShift;
using testing_support::UiTest;
namespace scan = platform::scan;

struct Result {
  std::string text;
  int16_t position;
  int16_t key;
};

class FieldEditorTest : public UiTest {
 protected:
  // Edits a field at (5, 10) of the screen with the scripted keys.
  Result Edit(std::string text, int16_t position, int16_t width = 0) {
    int16_t row = 5, col = 10, key = 0;
    ui::EditField(row, col, width, text, position, key);
    return {text, position, key};
  }
  void Ctrl(uint8_t scan_code) { term().PushExtended(scan_code, kLeftCtrl); }
  void Key(uint8_t scan_code) { term().PushExtended(scan_code); }
  void Enter() { term().PushKey(13); }
};

TEST_F(FieldEditorTest, InsertModeTypesIntoTheTrailingBlanks) {
  term().PushKey('X');
  Enter();
  Result r = Edit("ABC       ", 4, 10);
  EXPECT_EQ(r.text, "ABCX      ");
  EXPECT_EQ(r.position, 5);
  EXPECT_EQ(r.key, 13);
  EXPECT_EQ(ScreenAt(5, 10, 10), "ABCX      ");
  EXPECT_EQ(AttrAt(5, 10), 0x70);  // drawn in the "u" pair
  EXPECT_EQ(Cursor(), std::make_pair(5, 10));
}

TEST_F(FieldEditorTest, InsertIntoAFullFieldChangesNothing) {
  term().PushKey('X');
  Enter();
  Result r = Edit("ABCDEFGHIJ", 4, 10);
  EXPECT_EQ(r.text, "ABCDEFGHIJ");
  EXPECT_EQ(r.position, 4);
}

TEST_F(FieldEditorTest, InsertShiftsTheRestRight) {
  term().PushText("xy");
  Enter();
  Result r = Edit("ABC  ", 2);
  EXPECT_EQ(r.text, "AxyBC");
  EXPECT_EQ(r.position, 4);
}

TEST_F(FieldEditorTest, OverwriteModeAndTheInsertKey) {
  platform::SetInsertToggle(false);
  term().PushText("xy");
  Key(scan::kInsert);
  term().PushKey('z');
  Enter();
  Result r = Edit("ABCD ", 1);
  EXPECT_EQ(r.text, "xyzCD");
  EXPECT_EQ(r.position, 4);
  EXPECT_TRUE(platform::InsertToggle());  // written back for the next field
}

TEST_F(FieldEditorTest, CursorSizeFollowsTheMode) {
  platform::SetInsertToggle(true);
  // The hot key's pop-up runs inside the poll, so it sees what the poll
  // presented: the cursor as the editor set it while waiting.
  std::vector<int> sizes;
  ui::KeyHooksState().calculator = [&] {
    sizes.push_back(term().CursorSizeShown());
    return std::string();
  };
  ui::KeyMap("a", "d");
  term().PushExtended(0x2D, kLeftAlt);
  Key(scan::kInsert);
  term().PushExtended(0x2D, kLeftAlt);
  Enter();
  Result r = Edit("abc", 1);
  EXPECT_EQ(r.key, 13);
  EXPECT_EQ(sizes, (std::vector<int>{50, 100}));
  EXPECT_FALSE(platform::InsertToggle());
}

TEST_F(FieldEditorTest, BackspaceAndDelete) {
  term().PushKey(8);
  Enter();
  Result r = Edit("ABC       ", 4, 10);
  EXPECT_EQ(r.text, "AB        ");
  EXPECT_EQ(r.position, 3);

  term().PushKey(8);
  Enter();
  r = Edit("ABC", 1);
  EXPECT_EQ(r.text, "ABC");  // nothing before the first position

  Key(scan::kDelete);
  Enter();
  r = Edit("ABCD", 2);
  EXPECT_EQ(r.text, "ACD ");
  EXPECT_EQ(r.position, 2);

  Key(scan::kDelete);
  Enter();
  r = Edit("ABCD", 5);
  EXPECT_EQ(r.text, "ABCD");
}

TEST_F(FieldEditorTest, HomeEndAndBlanking) {
  Key(scan::kEnd);
  Enter();
  EXPECT_EQ(Edit("ab cd     ", 1).position, 6);
  Key(scan::kHome);
  Enter();
  EXPECT_EQ(Edit("ab cd     ", 6).position, 1);
  Ctrl(scan::kHome);
  Enter();
  Result r = Edit("ab cd", 4);
  EXPECT_EQ(r.text, "     ");
  EXPECT_EQ(r.position, 1);
  term().PushKey(25);  // Ctrl+Y
  Enter();
  EXPECT_EQ(Edit("xyz", 2).text, "   ");
}

TEST_F(FieldEditorTest, PositionIsClampedAndWidthDefaults) {
  Enter();
  int16_t row = 5, col = 10, width = 0, position = 99, key = 0;
  std::string text = "abc";
  ui::EditField(row, col, width, text, position, key);
  EXPECT_EQ(position, 4);
  EXPECT_EQ(width, 4);
  Enter();
  position = -3;
  ui::EditField(row, col, width, text, position, key);
  EXPECT_EQ(position, 1);
}

TEST_F(FieldEditorTest, TwoLineFieldMovesBetweenLines) {
  std::string text = "0123456789abcdefghij";
  Key(scan::kDown);
  Enter();
  Result r = Edit(text, 3, 10);
  EXPECT_EQ(r.position, 13);
  EXPECT_EQ(ScreenAt(5, 10, 10), "0123456789");
  EXPECT_EQ(ScreenAt(6, 10, 10), "abcdefghij");

  Key(scan::kDown);
  r = Edit(text, 13, 10);
  EXPECT_EQ(r.key, 0x5000);
  EXPECT_EQ(r.position, 13);

  Key(scan::kUp);
  Key(scan::kUp);
  r = Edit(text, 15, 10);
  EXPECT_EQ(r.key, 0x4800);
  EXPECT_EQ(r.position, 5);
}

TEST_F(FieldEditorTest, CursorAtTheEndOfAFullLineStaysOnThatLine) {
  // Position 21 of a 20-character field of width 10 shows after column 10
  // of the second line, not on a third line.
  ui::KeyHooksState().calculator = [&] {
    EXPECT_EQ(Cursor(), std::make_pair(6, 20));
    return std::string();
  };
  term().PushExtended(0x2D, kLeftAlt);
  ui::KeyMap("a", "d");
  Enter();
  Edit(std::string(20, 'x'), 21, 10);
}

TEST_F(FieldEditorTest, WordMovesStopAtBlanksAndPunctuation) {
  Ctrl(scan::kRight);
  Enter();
  EXPECT_EQ(Edit("uno, dos", 1).position, 6);
  Ctrl(scan::kLeft);
  Enter();
  EXPECT_EQ(Edit("uno, dos", 8).position, 6);
  Ctrl(scan::kLeft);
  Enter();
  EXPECT_EQ(Edit("uno, dos", 6).position, 1);
  Ctrl(scan::kRight);
  Enter();
  EXPECT_EQ(Edit("uno. dos  ", 6).position, 11);
  Ctrl(scan::kRight);
  Enter();
  EXPECT_EQ(Edit("a;b:c", 1).position, 3);
  // At the ends the move leaves the field.
  Ctrl(scan::kLeft);
  EXPECT_EQ(Edit("uno", 1).key, 0x7300);
  Ctrl(scan::kRight);
  EXPECT_EQ(Edit("uno", 4).key, 0x7400);
}

TEST_F(FieldEditorTest, ExitKeyTableFiltersAndTranslates) {
  ui::KeyMap("a", "d,1b");
  Key(0x3C);  // F2: not in the table, ignored
  term().PushKey('q');
  term().PushKey(27);
  Result r = Edit("   ", 1);
  EXPECT_EQ(r.key, 27);
  EXPECT_EQ(r.text, "q  ");

  term().PushKey(9);
  EXPECT_EQ(Edit("   ", 1).key, 13);  // Tab counts as Enter

  ui::KeyMap("e", "");
  ui::KeyMap("a", "0d=4f00");
  Enter();
  EXPECT_EQ(Edit("   ", 1).key, 0x4F00);
}

TEST_F(FieldEditorTest, F11AndF12AreKeysNotMousePresses) {
  // Their codes are negative as 16-bit numbers, like a press outside the
  // field, but the exit-key table still decides about them.
  ui::KeyMap("a", "d");
  Key(0x85);  // F11, not listed: ignored
  Ctrl(0x86);  // Ctrl+F12, not listed: ignored
  term().PushKey('q');
  Enter();
  Result r = Edit("   ", 1);
  EXPECT_EQ(r.key, 13);
  EXPECT_EQ(r.text, "q  ");

  ui::KeyMap("a", "8500");
  Key(0x85);
  EXPECT_EQ(static_cast<uint16_t>(Edit("   ", 1).key), 0x8500u);
}

TEST_F(FieldEditorTest, EnterBecomesEndWhenEndIsAnExitKey) {
  ui::KeyMap("a", "4f00=4f00,4800");
  Enter();
  EXPECT_EQ(Edit("abc", 1).key, 0x4F00);
  term().PushExtended(0x0F, kShift);  // Shift+Tab counts as Up
  EXPECT_EQ(Edit("abc", 1).key, 0x4800);
}

TEST_F(FieldEditorTest, EmptyTableEndsOnAnyOtherKey) {
  Key(0x3C);
  EXPECT_EQ(Edit("abc", 1).key, 0x3C00);
  Ctrl(0x3D);  // Ctrl+F3
  EXPECT_EQ(Edit("abc", 1).key, 0x6000);
  Ctrl(0x3E);  // Ctrl+F4 closes like Esc
  EXPECT_EQ(Edit("abc", 1).key, 27);
  term().PushExtended(0x3E, kLeftAlt);  // Alt+F4 too
  EXPECT_EQ(Edit("abc", 1).key, 27);
  term().PushKey(1);  // an unhandled control character
  EXPECT_EQ(Edit("abc", 1).key, 1);
}

TEST_F(FieldEditorTest, MaskedFieldShowsCrossesAndNeverCopies) {
  ui::KeyMap("h", "");
  platform::ClipboardSet("before");
  term().PushText("pw");
  term().PushKey(3);  // Ctrl+C
  Enter();
  Result r = Edit("    ", 1);
  EXPECT_EQ(r.text, "pw  ");
  EXPECT_EQ(ScreenAt(5, 10, 5), "XXXX ");
  EXPECT_EQ(platform::ClipboardGet(), "before");
  ui::KeyMap("v", "");
  term().PushKey(3);
  Enter();
  Edit(" pw  ", 1);
  EXPECT_EQ(platform::ClipboardGet(), "pw");
}

TEST_F(FieldEditorTest, PasteCleansTheClipboardAndStaysInsideTheField) {
  platform::ClipboardSet("\t  AB\x01" "C\x7F\xFF  \r\n");
  term().PushKey(22);
  Enter();
  Result r = Edit("xxxxxx", 2);
  EXPECT_EQ(r.text, "xABCxx");
  EXPECT_EQ(r.position, 2);

  platform::ClipboardSet("123456789");
  term().PushKey(22);
  Enter();
  EXPECT_EQ(Edit("abcd", 3).text, "ab12");

  platform::ClipboardSet("");
  term().PushKey(22);
  Enter();
  EXPECT_EQ(Edit("abcd", 1).text, "abcd");
}

TEST_F(FieldEditorTest, MouseInsideMovesOutsideLeaves) {
  // Second line, third column of a 20-character field of width 10.
  term().PushMouse(6, 12);
  Enter();
  Result r = Edit(std::string(20, 'm'), 1, 10);
  EXPECT_EQ(r.position, 13);
  EXPECT_EQ(r.key, 13);

  term().PushMouse(9, 33);
  r = Edit("abc", 2);
  EXPECT_EQ(r.key, -(33 * 100 + 9));
  EXPECT_EQ(r.position, 2);

  // A press outside ends the editing even when the table does not list it.
  ui::KeyMap("a", "d");
  term().PushMouse(1, 1);
  EXPECT_EQ(Edit("abc", 2).key, -101);
}

TEST_F(FieldEditorTest, FieldInsideAWindowAndAtTheCursor) {
  ui::WinPush(3, 4, 10, 40);
  term().PushText("hi");
  Enter();
  Result r = Edit("     ", 1);
  EXPECT_EQ(ScreenAt(8, 14, 5), "hi   ");
  EXPECT_EQ(Cursor(), std::make_pair(8, 14));
  ui::WinPop();

  platform::SetCursor(12, 30);
  term().PushKey('z');
  Enter();
  int16_t row = 0, col = 0, width = 0, position = 1, key = 0;
  std::string text = "   ";
  ui::EditField(row, col, width, text, position, key);
  EXPECT_EQ(row, 12);
  EXPECT_EQ(col, 30);
  EXPECT_EQ(ScreenAt(12, 30, 3), "z  ");
}

TEST_F(FieldEditorTest, AltXTypesTheCalculatorResultIntoTheField) {
  ui::KeyHooksState().calculator = [] { return std::string("42"); };
  ui::KeyMap("a", "d,1b");
  term().PushExtended(0x2D, kLeftAlt);
  Enter();
  Result r = Edit("     ", 1);
  EXPECT_EQ(r.text, "42   ");
  EXPECT_EQ(r.key, 13);
}

TEST_F(FieldEditorTest, AltXEndsTheEditingWhenNoTableIsSet) {
  ui::KeyHooksState().calculator = [] { return std::string("42"); };
  term().PushExtended(0x2D, kLeftAlt);
  Result r = Edit("     ", 1);
  EXPECT_EQ(r.key, 0x2D00);
  EXPECT_EQ(r.text, "     ");
  // The digits go to whoever reads next.
  EXPECT_EQ(ui::KeyInputState().injected, "42");
}

class ChoiceFieldTest : public FieldEditorTest {
 protected:
  void SetUp() override {
    FieldEditorTest::SetUp();
    ui::SetChoices("|S,S\xA1|N,No");
  }
};

TEST_F(ChoiceFieldTest, ShowsTheDescriptionBetweenArrows) {
  ui::KeyHooksState().calculator = [&] {
    EXPECT_EQ(ScreenAt(5, 9, 4), "\x11No\x10");
    EXPECT_EQ(term().CursorSizeShown(), 0);
    return std::string();
  };
  term().PushExtended(0x2D, kLeftAlt);
  ui::KeyMap("a", "d");
  Enter();
  Result r = Edit("N", 1);
  EXPECT_EQ(r.text, "N");
  // Arrows gone once the editing ends.
  EXPECT_EQ(ScreenAt(5, 9, 4), " No ");
  // What a UTF-8 terminal shows for the two arrow bytes.
  EXPECT_EQ(platform::Cp850Glyph(0x11), U'\u25C4');
  EXPECT_EQ(platform::Cp850Glyph(0x10), U'\u25BA');
}

TEST_F(ChoiceFieldTest, SpaceAndArrowsStepThroughTheEntries) {
  term().PushKey(' ');
  Enter();
  Result r = Edit("N", 1);
  EXPECT_EQ(r.text, "S");
  EXPECT_EQ(ScreenAt(5, 10, 2), "S\xA1");

  Key(scan::kLeft);
  Enter();
  EXPECT_EQ(Edit("S", 1).text, "N");  // from the first, the last
  Key(scan::kRight);
  Enter();
  EXPECT_EQ(Edit("N", 1).text, "S");  // from the last, the first
}

TEST_F(ChoiceFieldTest, FirstLetterSearchFoldsCaseAndAccents) {
  term().PushKey(' ');
  term().PushKey('n');
  Enter();
  Result r = Edit("N", 1);
  EXPECT_EQ(r.text, "N");
  EXPECT_EQ(ScreenAt(5, 10, 2), "No");
  EXPECT_FALSE(values::ValuesState().fold_for_search);

  ui::SetChoices("|1,\x90xit|2,Error|3,espera");  // "Éxit"
  term().PushKey('e');
  Enter();
  EXPECT_EQ(Edit("2", 1).text, "3");
  term().PushKey('e');
  Enter();
  EXPECT_EQ(Edit("3", 1).text, "1");
  term().PushKey('q');  // no such letter: stays
  Enter();
  EXPECT_EQ(Edit("3", 1).text, "3");
}

TEST_F(ChoiceFieldTest, UnknownValueStartsAtTheFirstEntryAndPadsTheText) {
  ui::SetChoices("|A,Alta|B,Baixa");
  Enter();
  Result r = Edit("Z  ", 1);
  EXPECT_EQ(r.text, "A  ");
  EXPECT_EQ(ScreenAt(5, 10, 5), "Alta ");
}

TEST_F(ChoiceFieldTest, EditingKeysDoNothingAndMovesLeave) {
  term().PushKey(8);
  Key(scan::kDelete);
  term().PushKey(25);
  term().PushKey(22);
  Key(scan::kDown);
  Result r = Edit("N", 1);
  EXPECT_EQ(r.text, "N");
  EXPECT_EQ(r.key, 0x5000);
  Ctrl(scan::kRight);
  EXPECT_EQ(Edit("N", 1).key, 0x7400);
}

TEST_F(ChoiceFieldTest, CopyTakesTheDescription) {
  term().PushKey(3);
  Enter();
  Edit("S", 1);
  EXPECT_EQ(platform::ClipboardGet(), "S\xA1");
}

TEST_F(ChoiceFieldTest, MouseOnTheArrowsStepsAndElsewhereLeaves) {
  term().PushMouse(5, 9);   // the left arrow
  Enter();
  EXPECT_EQ(Edit("N", 1).text, "S");
  term().PushMouse(5, 12);  // the right arrow, after the widest description
  Enter();
  EXPECT_EQ(Edit("N", 1).text, "S");
  term().PushMouse(5, 10);  // on the description: nothing
  Enter();
  EXPECT_EQ(Edit("N", 1).text, "N");
  term().PushMouse(6, 10);
  EXPECT_EQ(Edit("N", 1).key, -(10 * 100 + 6));
}

}  // namespace
