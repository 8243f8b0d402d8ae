// Key input: console events in, the suite's key codes out.

#include <gtest/gtest.h>

#include <memory>

#include "platform/key_decoder.h"
#include "platform/tty_terminal.h"
#include "tests/support/pseudo_terminal.h"
#include "tests/support/ui_fixture.h"

namespace {

using platform::kLeftAlt;
using platform::kLeftCtrl;
using platform::kRightAlt;
using platform::kRightCtrl;
using platform::kShift;
using testing_support::UiTest;

class KeysTest : public UiTest {
 protected:
  int16_t Poll() {
    int16_t key = 0, button = 0, row = 0, col = 0;
    ui::GetKey(key, button, row, col);
    return key;
  }
  int16_t Wait() {
    int16_t key = 0;
    ui::WaitKey(key);
    return key;
  }
};

TEST_F(KeysTest, CharactersAndExtendedKeys) {
  term().PushKey('a');
  term().PushKey(13);
  term().PushExtended(platform::scan::kRight);
  term().PushExtended(platform::scan::kF1);
  term().PushKey(0xA4);  // ñ
  EXPECT_EQ(Poll(), 'a');
  EXPECT_EQ(Poll(), 13);
  EXPECT_EQ(Poll(), 0x4D00);
  EXPECT_EQ(Poll(), 0x3B00);
  EXPECT_EQ(Poll(), 0xA4);
  EXPECT_EQ(Poll(), 0);
}

TEST_F(KeysTest, ModifiedFunctionKeys) {
  struct Case {
    uint8_t scan;
    uint16_t modifiers;
    uint16_t expected;
  };
  const Case cases[] = {
      {0x3D, kShift, 0x5600},      // Shift+F3
      {0x86, kLeftCtrl, 0x8A00},   // Ctrl+F12
      {0x3B, kLeftAlt, 0x6800},    // Alt+F1
      {0x44, kRightAlt, 0x7100},   // Alt+F10
      {0x44, kRightCtrl, 0x6700},  // Ctrl+F10
      {0x3B, kShift, 0x5400},      // Shift+F1
      {0x85, kShift, 0x8700},      // Shift+F11
      {0x86, kShift, 0x8800},      // Shift+F12
      {0x85, kLeftCtrl, 0x8900},   // Ctrl+F11
      {0x85, kLeftAlt, 0x8B00},    // Alt+F11
      {0x86, kRightAlt, 0x8C00},   // Alt+F12
      // Alt wins over Ctrl, Ctrl over Shift.
      {0x3E, kLeftAlt | kLeftCtrl, 0x6B00},
      {0x3E, kLeftCtrl | kShift, 0x6100},
      {0x47, kLeftCtrl, 0x7700},   // Ctrl+Home
      {0x4B, kRightCtrl, 0x7300},  // Ctrl+Left
      {0x4D, kLeftCtrl, 0x7400},   // Ctrl+Right
      {0x47, kShift, 0x4700},      // Shift+Home stays Home
      {0x4F, kLeftCtrl, 0x4F00},   // Ctrl+End stays End
      {0x47, kLeftAlt, 0x4700},
  };
  for (const Case& c : cases) term().PushExtended(c.scan, c.modifiers);
  for (const Case& c : cases) {
    EXPECT_EQ(static_cast<uint16_t>(Poll()), c.expected)
        << "scan " << std::hex << int{c.scan} << " modifiers " << c.modifiers;
  }
}

TEST_F(KeysTest, CharactersKeepTheirCodeWithModifiers) {
  term().PushKey('@', kRightAlt | kLeftCtrl);  // AltGr on a Spanish keyboard
  term().PushKey('A', kShift);
  EXPECT_EQ(Poll(), '@');
  EXPECT_EQ(Poll(), 'A');
}

TEST_F(KeysTest, AltEIsTheEuroSign) {
  term().PushExtended(0x12, kLeftAlt);
  EXPECT_EQ(Poll(), 213);
}

TEST_F(KeysTest, AltKeypadDigitsTypeACharacter) {
  // 1, 6, 5 with NumLock off: End, Right, centre.
  term().PushExtended(platform::scan::kEnd, kLeftAlt, true);
  term().PushExtended(platform::scan::kRight, kLeftAlt, true);
  term().PushExtended(platform::scan::kCentre, kLeftAlt, true);
  EXPECT_EQ(Poll(), 165);  // Ñ
  // 3, 2, 1: 321 modulo 256.
  term().PushExtended(platform::scan::kPgDn, kLeftAlt, true);
  term().PushExtended(platform::scan::kDown, kLeftAlt, true);
  term().PushExtended(platform::scan::kEnd, kLeftAlt, true);
  term().PushKey('z');  // ends the collection and is not lost
  EXPECT_EQ(Poll(), 65);
  EXPECT_EQ(Poll(), 'z');
}

TEST_F(KeysTest, AltKeypadWithNumLockOnAndLongNumbers) {
  // Four digits: 1234 modulo 256 is 210.
  for (char d : std::string("1234")) {
    platform::InputEvent ev;
    ev.kind = platform::InputEvent::kKey;
    ev.ch = static_cast<uint8_t>(d);
    ev.keypad = true;
    ev.modifiers = kLeftAlt;
    term().PushEvent(ev);
  }
  EXPECT_EQ(Poll(), 210);
}

TEST_F(KeysTest, KeypadKeysWithoutLeftAltAreCursorKeys) {
  term().PushExtended(platform::scan::kEnd, 0, true);
  term().PushExtended(platform::scan::kEnd, kRightAlt, true);
  EXPECT_EQ(Poll(), 0x4F00);
  EXPECT_EQ(Poll(), 0x4F00);
}

TEST_F(KeysTest, InjectedKeysComeFirstAndLeaveTheOtherOutputs) {
  term().PushKey('k');
  ui::InjectKeys("12");
  ui::InjectKeys("\x82");
  int16_t key = 0, button = 7, row = 8, col = 9;
  ui::GetKey(key, button, row, col);
  EXPECT_EQ(key, '1');
  EXPECT_EQ(button, 7);
  EXPECT_EQ(row, 8);
  EXPECT_EQ(col, 9);
  EXPECT_EQ(Poll(), '2');
  EXPECT_EQ(Poll(), 0x82);  // a byte above 127 is not negative
  EXPECT_EQ(Poll(), 'k');
}

TEST_F(KeysTest, MousePressesAndTheReportingSwitch) {
  int16_t key = 0, button = 0, row = 0, col = 0;
  ui::GetKey(key, button, row, col);
  EXPECT_EQ(ui::KeyInputState().mouse, ui::MouseMode::kOn);
  EXPECT_TRUE(term().MouseReporting());

  term().PushMouse(5, 7, 2);
  ui::GetKey(key, button, row, col);
  EXPECT_EQ(key, 0);
  EXPECT_EQ(button, 2);
  EXPECT_EQ(row, 5);
  EXPECT_EQ(col, 7);
  // Off while the press is dealt with, on again at the next poll.
  EXPECT_FALSE(term().MouseReporting());
  EXPECT_EQ(Poll(), 0);
  EXPECT_TRUE(term().MouseReporting());

  term().PushMouse(3, 10, 1);
  EXPECT_EQ(Wait(), 10 * 256 + 64 + 3);
}

TEST_F(KeysTest, NoMouseMeansReportingStaysOff) {
  term().SetMouseButtonCount(0);
  Poll();
  EXPECT_EQ(ui::KeyInputState().mouse, ui::MouseMode::kAbsent);
  EXPECT_FALSE(term().MouseReporting());
}

TEST_F(KeysTest, WaitKeyWaitsThroughEmptyPolls) {
  term().SetDryLimit(100000);
  EXPECT_EQ(term().Pending(), 0u);
  term().PushExtended(platform::scan::kF1);
  EXPECT_EQ(Wait(), 0x3B00);
  // Nothing scripted: the dry script's Esc ends the wait instead of a hang.
  term().SetDryLimit(50);
  EXPECT_EQ(Wait(), 27);
}

TEST_F(KeysTest, AWaitForKeysTellsTheModuleOnceThatItIsIdle) {
  int idle = 0;
  ui::KeyHooksState().idle = [&] { ++idle; };
  term().PushKey('a');
  EXPECT_EQ(Wait(), 'a');
  EXPECT_EQ(idle, 0) << "a key typed ahead: no wait";
  term().SetDryLimit(5);  // several empty polls, then the dry script's Esc
  EXPECT_EQ(Wait(), 27);
  EXPECT_EQ(idle, 1) << "once for the whole wait";
  term().PushKey('x');
  EXPECT_EQ(Wait(), 'x');
  EXPECT_EQ(Wait(), 27);
  EXPECT_EQ(idle, 2) << "a key ends a wait, the next one is told again";
}

TEST_F(KeysTest, AltXRunsTheCalculatorAndTypesItsResult) {
  int runs = 0;
  ui::KeyHooksState().calculator = [&] {
    ++runs;
    EXPECT_TRUE(ui::KeyInputState().calculator_running);
    return std::string("42");
  };
  term().PushExtended(0x2D, kLeftAlt);
  EXPECT_EQ(Poll(), 0x2D00);
  EXPECT_EQ(runs, 1);
  EXPECT_FALSE(ui::KeyInputState().calculator_running);
  EXPECT_EQ(Poll(), '4');
  EXPECT_EQ(Poll(), '2');
}

TEST_F(KeysTest, HotKeyInsideItsOwnPopupDoesNotOpenASecond) {
  int runs = 0;
  ui::KeyHooksState().calendar = [&] {
    ++runs;
    term().PushExtended(0x2E, kLeftAlt);
    int16_t key = 0, b = 0, r = 0, c = 0;
    ui::GetKey(key, b, r, c);
    EXPECT_EQ(key, 0x2E00);
    return std::string("07/12/2026");
  };
  term().PushExtended(0x2E, kLeftAlt);
  EXPECT_EQ(Poll(), 0x2E00);
  EXPECT_EQ(runs, 1);
  EXPECT_EQ(ui::KeyInputState().injected, "07/12/2026");
}

TEST_F(KeysTest, TypeAheadIsDroppedEvenAnEscNotYetToldApart) {
  testing_support::PseudoTerminal pty;
  ASSERT_TRUE(pty.ok());
  platform::TtyTerminal::Options opt;
  opt.handle_signals = false;
  auto tty = std::make_unique<platform::TtyTerminal>(pty.slave, pty.slave, opt);
  ASSERT_TRUE(tty->Start());
  platform::InstallTerminal(std::move(tty));
  ASSERT_TRUE(pty.Type("a\x1b"));
  platform::InputEvent ev;
  ASSERT_TRUE(platform::WaitEvent(ev, 1000));  // 'a'; the Esc may start a sequence
  ASSERT_TRUE(pty.Type("b\x1b"));
  ui::DiscardTypeAhead();
  EXPECT_FALSE(platform::WaitEvent(ev, 300)) << "a key typed ahead came through";
  ASSERT_TRUE(pty.Type("z"));
  EXPECT_EQ(Wait(), 'z');
  platform::ResetConsoleState();  // the tty is given back before the pty goes
}

class KeyMapTest : public UiTest {
 protected:
  using Entries = std::vector<std::pair<int, int>>;
  // The exit-key table as unsigned (from, to) pairs.
  static Entries Table() {
    Entries out;
    const ui::KeyInput& k = ui::KeyInputState();
    for (size_t i = 0; i < k.key_from.size(); ++i) {
      out.emplace_back(static_cast<uint16_t>(k.key_from[i]),
                       static_cast<uint16_t>(k.key_to[i]));
    }
    return out;
  }
};

TEST_F(KeyMapTest, AppendReadsHexItemsAndMappings) {
  ui::KeyMap("a", "d,1B,4F00=0d, 3b00 ,8600=FFFF");
  EXPECT_EQ(Table(), (Entries{{0x0D, 0x0D}, {0x1B, 0x1B}, {0x4F00, 0x0D},
                              {0x3B00, 0x3B00}, {0x8600, 0xFFFF}}));
}

TEST_F(KeyMapTest, EmptyItemIsCodeZeroButAnEmptyListAddsNothing) {
  ui::KeyMap("A", "d,,1b");
  EXPECT_EQ(Table(), (Entries{{0x0D, 0x0D}, {0, 0}, {0x1B, 0x1B}}));
  ui::KeyMap("a", "");
  EXPECT_EQ(Table().size(), 3u);
  ui::KeyMap("a", "zz,4g");  // unreadable digits stop the number
  EXPECT_EQ(Table()[3], std::make_pair(0, 0));
  EXPECT_EQ(Table()[4], std::make_pair(4, 4));
}

TEST_F(KeyMapTest, DeleteRemovesOnlyTheFirstMatch) {
  ui::KeyMap("a", "d,1b,d");
  ui::KeyMap("d", "d=4f00,3b00");
  EXPECT_EQ(Table(), (Entries{{0x1B, 0x1B}, {0x0D, 0x0D}}));
}

TEST_F(KeyMapTest, SaveAndRestoreKeepOneLevel) {
  ui::KeyMap("a", "1b");
  ui::KeyMap("+ea", "d");
  EXPECT_EQ(Table(), (Entries{{0x0D, 0x0D}}));
  ui::KeyMap("+e", "");  // a copy is already saved: nothing saved now
  EXPECT_TRUE(Table().empty());
  ui::KeyMap("-", "");
  EXPECT_EQ(Table(), (Entries{{0x1B, 0x1B}}));
  EXPECT_FALSE(ui::KeyInputState().saved);
  ui::KeyMap("-", "");  // nothing saved: no change
  EXPECT_EQ(Table(), (Entries{{0x1B, 0x1B}}));
}

TEST_F(KeyMapTest, HideAndShowAndOtherLettersIgnored) {
  ui::KeyMap("h", "");
  EXPECT_EQ(ui::KeyInputState().hide_char, 88);
  ui::KeyMap("xyzV", "1b");
  EXPECT_EQ(ui::KeyInputState().hide_char, 0);
  EXPECT_TRUE(Table().empty());
}

}  // namespace
