// The browse list without a screen: a real record file, stand-in hooks for
// the module's lines, the keys and the drawing, and the list file as it
// stands at every key wait.
#include "store/browse_list.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <deque>
#include <map>
#include <string>
#include <vector>

#include "app/config/form_table.h"
#include "app/config/paths.h"
#include "platform/console.h"
#include "platform/files.h"
#include "store/browse_file.h"
#include "tests/support/engine_client.h"
#include "tests/support/installation.h"
#include "store/store_hooks.h"
#include "tests/support/temp_dir.h"

namespace store {
namespace {

using namespace std::string_literals;

constexpr int16_t kFile = 42;
constexpr size_t kRecordLength = 40;
const std::string kBlankRow(37, ' ');  // the window's width

std::string Le32(uint32_t v) {
  std::string out;
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
  return out;
}

class BrowseListTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetFileTableState();
    ResetStoreHooksState();
    ResetBrowseHooksState();
    ResetBrowseState();
    config::ResetFormTableState();
    config::ResetPathsState();
    config::PathsState().root = dir_.path();
    config::PathsState().temp_dir = dir_.path();
    const std::string spec = testing_support::CreationSpec(kRecordLength, {{{1, 4, 0}}});
    dir_.Write("ddf/LIST.xdf", std::string{static_cast<char>(spec.size() & 0xFF),
                                           static_cast<char>(spec.size() >> 8)} + spec);
    int16_t status = -1;
    OpenRecordFile(kFile, dir_.path() + "LIST", &area_, status);
    ASSERT_EQ(status, 0);

    BrowseHooks& h = BrowseHooksState();
    h.line_text = [this](int16_t) {
      ++line_calls_;
      const size_t n = std::stoul(area_.substr(1, 3));
      return n <= lines_.size() ? lines_[n - 1] : std::string();
    };
    h.write_at = [this](int16_t row, int16_t, const std::string& text) { drawn_[row] = text; };
    h.win_push = [this](int16_t, int16_t, int16_t, int16_t) { ++pushes_; };
    h.wait_key = [this] {
      list_files_.push_back(dir_.Read("Browse.tmp"));
      lock_modes_.push_back(FileTableState().slots[FindFileSlot(kFile).slot].lock_mode);
      if (keys_.empty()) return BrowseKey::kOther;
      const BrowseKey key = keys_.front();
      keys_.pop_front();
      return key;
    };
    h.esc_waiting = [this] { return ++esc_polls_ == esc_at_poll_; };
  }

  void TearDown() override {
    int16_t status = 0;
    CloseAllRecordFiles(status);
    ResetBrowseHooksState();
    platform::ResetConsoleState();
  }

  // Records K001, K002, ... whose lines are the given texts ("" hides one).
  void Records(const std::vector<std::string>& lines) {
    lines_ = lines;
    for (size_t n = 1; n <= lines.size(); ++n) {
      std::string record = "K" + std::string(n < 10 ? "00" : n < 100 ? "0" : "") +
                           std::to_string(n);
      record.resize(kRecordLength, ' ');
      ASSERT_EQ(testing_support::InsertRecord(kFile, record), 0);
    }
  }
  // List 1 over the file, rows lines high.
  void Define(int16_t rows) {
    config::ListDefinition def;
    def.file = kFile;
    def.top = 2;
    def.left = 2;
    def.bottom = static_cast<int16_t>(3 + rows);
    def.right = 40;
    config::FormTableState().lists = {def};
  }
  int32_t PositionOf(const std::string& key) {
    int16_t status = -1;
    SeekByKey(kFile, 0, key, 0, status);
    EXPECT_EQ(status, 0);
    return RecordPosition(kFile, 0);
  }
  int16_t Run() {
    int16_t result = 99;
    BrowseList(1, result);
    return result;
  }

  testing_support::TempDir dir_;
  std::string area_;
  std::vector<std::string> lines_;
  std::map<int16_t, std::string> drawn_;
  std::deque<BrowseKey> keys_;
  std::vector<std::string> list_files_;
  std::vector<int16_t> lock_modes_;
  int line_calls_ = 0, esc_polls_ = 0, esc_at_poll_ = 0, pushes_ = 0;
};

TEST_F(BrowseListTest, LinesAreFetchedAsNeededAndChainedInTheListFile) {
  Records({"LINE 1   ", "LINE 2", "   ", "LINE 4", "LINE 5"});
  Define(2);
  int16_t status = 0;
  SetFileModes(kFile, "A", status);
  keys_ = {BrowseKey::kDown, BrowseKey::kDown, BrowseKey::kEnter};

  EXPECT_EQ(Run(), 0);
  EXPECT_EQ(area_.substr(0, 4), "K004") << "the blank record costs no row";
  ASSERT_EQ(list_files_.size(), 3u);
  EXPECT_EQ(list_files_[0], Le32(0) + Le32(PositionOf("K001")) + "\x06\0LINE 1"s +
                                Le32(1) + Le32(PositionOf("K002")) + "\x06\0LINE 2"s)
      << "two rows: two records read, trailing blanks gone";
  EXPECT_EQ(list_files_[2].substr(32), Le32(17) + Le32(PositionOf("K004")) + "\x06\0LINE 4"s);
  EXPECT_EQ(line_calls_, 4) << "record 5 was never needed";
  EXPECT_EQ(lock_modes_[0], 0) << "the list reads without locks";
  EXPECT_EQ(FileTableState().slots[FindFileSlot(kFile).slot].lock_mode, 1)
      << "and gives the lock mode back";
  EXPECT_FALSE(platform::FileExists(BrowseFilePath()));
}

TEST_F(BrowseListTest, EscCutsALongRunOfHiddenRecordsShort) {
  std::vector<std::string> lines(120, "");
  lines.front() = "FIRST";
  lines.back() = "LAST";
  Records(lines);
  Define(5);
  esc_at_poll_ = 30;
  keys_ = {BrowseKey::kDown, BrowseKey::kPgDn, BrowseKey::kEnter};

  EXPECT_EQ(Run(), 0);
  EXPECT_EQ(esc_polls_, 30) << "no record read after Esc";
  EXPECT_EQ(drawn_[2], kBlankRow);
  EXPECT_NE(list_files_[0].find("FIRST"), std::string::npos);
  EXPECT_EQ(list_files_[0].find("LAST"), std::string::npos);
  EXPECT_EQ(list_files_[0].size(), 15u) << "one entry";
  EXPECT_EQ(area_.substr(0, 4), "K001") << "Down and PgDn had nowhere to go";
}

TEST_F(BrowseListTest, EmptyFileAndEscInThePreFormChooseNothing) {
  Define(3);
  keys_ = {BrowseKey::kDown, BrowseKey::kEnter};
  EXPECT_EQ(Run(), -1);
  EXPECT_EQ(drawn_[1], kBlankRow);

  config::FormTableState().lists[0].pre_form = 3;
  BrowseHooksState().run_form = [](int16_t) { return int16_t{27}; };
  EXPECT_EQ(Run(), -1);
  EXPECT_EQ(pushes_, 1) << "Esc in the pre-form: no window";
}

TEST_F(BrowseListTest, ListFileIsNeverReachedThroughALink) {
  Records({"A"});
  Define(3);
  config::FormTableState().lists[0].file = 0;
  const std::string target = dir_.Write("elsewhere", "kept");
  ASSERT_EQ(symlink(target.c_str(), BrowseFilePath().c_str()), 0);
  std::string message;
  StoreHooksState().show_message = [&](int16_t, const std::string& text) { message = text; };
  EXPECT_EQ(Run(), -1) << "a prepared list behind a link is refused";
  EXPECT_EQ(message, "NO ES POT ACCEDIR AL FITXER " + BrowseFilePath());
  EXPECT_EQ(pushes_, 0);

  config::FormTableState().lists[0].file = kFile;
  keys_ = {BrowseKey::kEnter};
  EXPECT_EQ(Run(), 0) << "a record list makes the file anew";
  EXPECT_EQ(dir_.Read("elsewhere"), "kept");
}

}  // namespace
}  // namespace store
