// The estates look-up list on the headless screen, wired as the program
// wires it: what the window shows at every key wait (the bar, the lines, the
// title row), and what the list leaves behind.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/browse_hooks.h"
#include "platform/files.h"
#include "store/browse_file.h"
#include "tests/support/installation_fixture.h"
#include "values/digits.h"

namespace {

using testing_support::PackedCode;

constexpr int16_t kEnter = 13, kEsc = 27, kUp = 0x4800, kDown = 0x5000, kPgUp = 0x4900,
                  kPgDn = 0x5100, kLeft = 0x4B00, kRight = 0x4D00;
constexpr uint8_t kBarColour = 0x70;  // "u" with the default colours

std::string Name(int n) {
  return "C. DE SANT ANTONI M. CLARET " + std::string(n < 10 ? "0" : "") + std::to_string(n);
}
std::string Line(int n) { return values::ZeroPad(n, 3) + "  " + Name(n); }

class BrowseScreenTest : public testing_support::InstallationTest {
 protected:
  // The window as the operator sees it while the list waits for a key.
  struct Seen {
    int bar = 0;  // row of the bar, 0 when none
    std::string title;
    std::vector<std::string> rows;
    bool operator==(const Seen&) const = default;
    std::string UnderBar() const { return bar > 0 ? rows[bar - 1].substr(0, 3) : ""; }
  };

  void SetUp() override {
    InstallationTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    for (int n = 1; n <= 25; ++n) Estate(n, Name(n));
    store::BrowseHooks& hooks = store::BrowseHooksState();
    // Scripted keys are for the list's own loop, not for the fetch's Esc check.
    hooks.esc_waiting = [] { return false; };
    hooks.wait_key = [this, wait = hooks.wait_key] {
      seen_.push_back(Look());
      return wait();
    };
  }

  config::ListDefinition& Window(int16_t top, int16_t left, int16_t bottom, int16_t right) {
    config::ListDefinition& list = *config::FormTableState().FindList(app::kEstatesList);
    list.top = top;
    list.left = left;
    list.bottom = bottom;
    list.right = right;
    return list;
  }

  Seen Look() const {
    const config::ListDefinition& l = *config::FormTableState().FindList(app::kEstatesList);
    Seen s;
    s.title = ScreenAt(l.top, l.left, l.right - l.left + 1);
    for (int r = l.top + 1; r < l.bottom; ++r) {
      s.rows.push_back(ScreenAt(r, l.left + 1, l.right - l.left - 1));
      if (s.bar == 0 && AttrAt(r, l.left + 1) == kBarColour) s.bar = r - l.top;
    }
    return s;
  }

  int16_t Run() {
    int16_t result = 99;
    store::BrowseList(app::kEstatesList, result);
    return result;
  }
  static std::string Chosen() { return app::ReportRunState().estate.substr(0, 2); }

  std::vector<Seen> seen_;
};

TEST_F(BrowseScreenTest, PageKeysKeepTheBarOnTheCurrentEstate) {
  Window(5, 22, 16, 58);  // 10 rows
  Keys({kDown, kDown, kDown, kDown, kPgDn, kPgDn, kPgUp, kEnter});
  EXPECT_EQ(Run(), 0);
  ASSERT_EQ(seen_.size(), 8u);
  EXPECT_EQ(seen_[0].rows[0], Line(1));
  EXPECT_EQ(seen_[4].bar, 5);
  EXPECT_EQ(seen_[5].rows[0].substr(0, 3), "011");
  EXPECT_EQ(seen_[5].UnderBar(), "015");
  EXPECT_EQ(seen_[6].rows[0].substr(0, 3), "021") << "only 5 more estates";
  EXPECT_EQ(seen_[6].UnderBar(), "025");
  EXPECT_EQ(seen_[6].rows[5], std::string(35, ' '));
  EXPECT_EQ(seen_[7].rows[0].substr(0, 3), "011");
  EXPECT_EQ(seen_[7].UnderBar(), "015");
  EXPECT_EQ(Chosen(), PackedCode(15));
  EXPECT_FALSE(platform::FileExists(store::BrowseFilePath()));
  EXPECT_EQ(ui::ScreenState().win_depth, 0);
}

TEST_F(BrowseScreenTest, PgUpNearTheTopMovesTheBarWithItsEstate) {
  Window(5, 22, 16, 58);
  Keys({kDown, kDown, kDown, kDown, kDown, kDown, kDown, kDown, kDown, kDown, kDown});
  Keys({kPgUp});
  Keys({kDown, kDown, kDown, kDown, kDown, kDown, kDown, kDown, kDown, kDown, kUp});
  Keys({kPgUp, kEnter});
  EXPECT_EQ(Run(), 0);
  ASSERT_EQ(seen_.size(), 25u);
  EXPECT_EQ(seen_[11].rows[0].substr(0, 3), "003");
  EXPECT_EQ(seen_[11].UnderBar(), "012");
  EXPECT_EQ(seen_[12].rows[0].substr(0, 3), "001");
  EXPECT_EQ(seen_[12].bar, 2);
  EXPECT_EQ(seen_[23].UnderBar(), "011");
  EXPECT_EQ(seen_[23].bar, 9);
  EXPECT_EQ(seen_[24].rows[0].substr(0, 3), "001");
  EXPECT_EQ(seen_[24].bar, 1) << "the bar stays on estate 1, the current one";
  EXPECT_EQ(Chosen(), PackedCode(1));
}

TEST_F(BrowseScreenTest, RightStopsOnceTheWidestLineIsInView) {
  Window(5, 22, 16, 43);  // 20 columns for lines of 35
  Keys({kRight, kRight, kRight, kLeft, kLeft, kLeft, kEsc});
  EXPECT_EQ(Run(), -1);
  ASSERT_EQ(seen_.size(), 7u);
  EXPECT_EQ(seen_[0].title, "\xC9N\xA3m  Nom de la finca\x10");
  EXPECT_EQ(seen_[0].rows[0], Line(1).substr(0, 20));
  EXPECT_EQ(seen_[1].title, "\x11 de la finca" + std::string(8, '\xCD') + "\x10");
  EXPECT_EQ(seen_[1].rows[0], Line(1).substr(8, 20));
  EXPECT_EQ(seen_[2].title, "\x11inca" + std::string(16, '\xCD') + "\xBB");
  EXPECT_EQ(seen_[2].rows[0], Line(1).substr(16) + " ");
  EXPECT_EQ(seen_[3], seen_[2]) << "offset 17 is past the widest overflow, 15";
  EXPECT_EQ(seen_[4], seen_[1]);
  EXPECT_EQ(seen_[5], seen_[0]);
  EXPECT_EQ(seen_[6], seen_[0]);
}

TEST_F(BrowseScreenTest, PreparedListShowsItsCaptionsAndHandsBackTheChoice) {
  config::ListDefinition& list = Window(5, 30, 9, 43);  // 3 rows of 12
  list.file = 0;
  list.title = "Codi__Nom";
  auto entry = [](uint32_t previous, int32_t value, const std::string& text) {
    return store::EncodeBrowseEntry({previous, value, static_cast<uint16_t>(text.size())}, text);
  };
  dir().Write("Browse.tmp", entry(0, 7001, "A1  PRIMER") + entry(1, 7002, "B2  SEGON"));
  Keys({kDown, kEnter});
  EXPECT_EQ(Run(), 0);
  ASSERT_EQ(seen_.size(), 2u);
  EXPECT_EQ(seen_[0].title, "\xC9" "Codi  Nom\xCD\xCD\xCD\xBB");
  EXPECT_EQ(seen_[0].rows[1], "B2  SEGON   ");
  EXPECT_EQ(seen_[0].rows[2], std::string(12, ' '));
  EXPECT_EQ(seen_[1].bar, 2);
  EXPECT_EQ(store::BrowseState().browse_value, 7002);
  EXPECT_EQ(store::BrowseState().browse_text, "B2  SEGON");
  EXPECT_FALSE(platform::FileExists(store::BrowseFilePath()));
}

}  // namespace
