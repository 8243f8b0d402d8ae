// The browse list on the screen: opening, the title with its column
// captions, the page, the key loop, the choice and closing.
#include "store/browse_list.h"

#include "app/config/settings.h"
#include "platform/console.h"
#include "store/browse_fetch.h"
#include "store/record_files.h"
#include "store/store_hooks.h"

namespace store {

namespace {

// Code page 850 bytes of the title row.
constexpr char kCornerLeft = '\xC9';   // the double frame's corners
constexpr char kCornerRight = '\xBB';
constexpr char kFrameLine = '\xCD';
constexpr char kMoreLeft = '\x11';   // the lines go on to the left
constexpr char kMoreRight = '\x10';  // ... or to the right

constexpr int16_t kDoubleFrame = 2;
constexpr int32_t kSideStep = 8;
constexpr int16_t kEscKey = 27;
constexpr int16_t kFailureRow = 12;
// Follow-on lists may name each other; nesting stops here.
constexpr int kMaxDepth = 8;

// The hooks with their plain defaults.
const BrowseHooks& Hooks() { return BrowseHooksState(); }

void Colour(const std::string& code) {
  if (Hooks().set_colour) Hooks().set_colour(code);
}

void WriteAt(int16_t row, int16_t col, const std::string& text) {
  if (Hooks().write_at) Hooks().write_at(row, col, text);
}

void MapKeys(const std::string& operations, const std::string& keys) {
  if (Hooks().key_map) Hooks().key_map(operations, keys);
}

BrowseKey WaitForKey() { return Hooks().wait_key ? Hooks().wait_key() : BrowseKey::kOther; }

// Shows the window with its double frame; the colours are the caller's.
void OpenWindow(const config::ListDefinition& def) {
  if (Hooks().win_push) Hooks().win_push(def.top, def.left, def.bottom, def.right);
  if (Hooks().win_frame) Hooks().win_frame(kDoubleFrame);
}

void CloseWindow() {
  if (Hooks().win_pop) Hooks().win_pop();
}

// A window partly off the screen would not be pushed, and the closing pop
// would then take away the window below it.
bool FitsScreen(const BrowseRun& run) {
  const config::ListDefinition& d = run.def;
  return d.top >= 1 && d.left >= 1 && d.bottom <= platform::ConsoleRows() &&
         d.right <= platform::ConsoleCols() && run.rows >= 1 && run.width >= 1;
}

// The part of a line the window shows, blank-padded to the full width.
std::string Shown(const BrowseRun& run, const std::string& text) {
  const size_t from = static_cast<size_t>(run.column_offset - 1);
  std::string out = from < text.size() ? text.substr(from, static_cast<size_t>(run.width)) : "";
  out.resize(static_cast<size_t>(run.width), ' ');
  return out;
}

// The top frame row carries the title as column captions that scroll with
// the lines: "_" is a blank inside a caption, a blank is frame line.
void DrawTitle(const BrowseRun& run) {
  const std::string& title = run.def.title;
  const size_t from = static_cast<size_t>(run.column_offset - 1);
  const size_t width = static_cast<size_t>(run.width);
  std::string row(1, run.column_offset == 1 ? kCornerLeft : kMoreLeft);
  for (size_t i = from; i < from + width; ++i) {
    const char c = i < title.size() ? title[i] : ' ';
    row += c == '_' ? ' ' : c == ' ' ? kFrameLine : c;
  }
  const bool title_goes_on = title.size() > from + width;
  row += (run.column_offset <= run.widest_overflow || title_goes_on) ? kMoreRight : kCornerRight;
  Colour("+n");
  WriteAt(0, 0, row);
  Colour("-");
}

// Draws the page from the file position; the current entry stays current.
void DrawPage(BrowseRun& run) {
  const int64_t remembered = run.current;
  run.page_top = run.pos;
  bool reached_last = false;
  int16_t row = 1;
  for (; row <= run.rows && !reached_last; ++row) {
    if (!ReadEntry(run)) {
      // The list ended on the row above: the bar may not stay below it.
      const int16_t last_row = row > 1 ? static_cast<int16_t>(row - 1) : int16_t{1};
      if (run.cursor_row > last_row) run.cursor_row = last_row;
      reached_last = true;
      break;
    }
    WriteAt(row, 1, Shown(run, run.text));
    const int32_t overflow = static_cast<int32_t>(run.text.size()) - run.width;
    if (overflow > run.widest_overflow) run.widest_overflow = overflow;
    if (run.at_last) {
      if (run.cursor_row > row) run.cursor_row = row;
      reached_last = true;
    }
  }
  for (; row <= run.rows; ++row) WriteAt(row, 1, std::string(static_cast<size_t>(run.width), ' '));
  run.next_page = reached_last ? 0 : run.pos;
  run.pos = remembered;
  ReadEntry(run);
}

// Drawn before any line, the title cannot know the lines are wider than
// the window; it is drawn again once a page has shown that they are.
void ShowPage(BrowseRun& run) {
  const int32_t before = run.widest_overflow;
  DrawPage(run);
  if (run.widest_overflow > before) DrawTitle(run);
}

void KeyUp(BrowseRun& run) {
  if (run.at_first) return;
  const int64_t before = run.current;
  MoveEntries(run, -1);
  if (run.current == before) return;
  if (run.cursor_row > 1) {
    --run.cursor_row;
    return;
  }
  run.pos = run.current;
  ShowPage(run);
}

void KeyDown(BrowseRun& run) {
  if (run.at_last) return;
  const int64_t before = run.current;
  MoveEntries(run, 1);
  if (run.current == before) return;
  if (run.cursor_row < run.rows) {
    ++run.cursor_row;
    return;
  }
  run.pos = EntryEnd(run, run.page_top);
  ShowPage(run);
}

void KeyPgUp(BrowseRun& run) {
  if (run.page_top <= 1) return;
  MoveEntries(run, -run.rows);
  int64_t at = run.page_top;
  for (int16_t k = run.rows; k >= 1; --k) {
    BrowseEntryHeader header;
    if (!ReadBrowseHeader(run.file, at, header)) break;
    if (header.previous == 0) {
      // The page starts at the first entry, k rows short of a full page
      // back: the bar follows its entry up by those rows.
      at = 1;
      run.cursor_row = run.cursor_row > k ? static_cast<int16_t>(run.cursor_row - k) : int16_t{1};
      break;
    }
    at = header.previous;
  }
  run.pos = at;
  ShowPage(run);
}

void KeyPgDn(BrowseRun& run) {
  if (run.next_page <= 0) return;
  MoveEntries(run, run.rows);
  run.pos = run.next_page;
  ShowPage(run);
}

void SideStep(BrowseRun& run, int32_t step) {
  run.column_offset += step;
  DrawTitle(run);
  run.pos = run.page_top;
  ShowPage(run);
}

// Runs the keys until one leaves the list; returns that key.
BrowseKey KeyLoop(BrowseRun& run) {
  for (;;) {
    Colour("u");
    WriteAt(run.cursor_row, 1, Shown(run, run.text));
    const BrowseKey key = WaitForKey();
    Colour("h");
    WriteAt(run.cursor_row, 1, Shown(run, run.text));
    switch (key) {
      case BrowseKey::kLeft:
        if (run.column_offset > 1) SideStep(run, -kSideStep);
        break;
      case BrowseKey::kRight:
        if (run.column_offset <= run.widest_overflow) SideStep(run, kSideStep);
        break;
      case BrowseKey::kUp: KeyUp(run); break;
      case BrowseKey::kDown: KeyDown(run); break;
      case BrowseKey::kPgUp: KeyPgUp(run); break;
      case BrowseKey::kPgDn: KeyPgDn(run); break;
      default: return key;
    }
  }
}

int16_t Choose(const BrowseRun& run) {
  if (!run.has_entry) return -1;
  if (run.def.file == 0) {
    BrowseState().browse_value = run.header.value;
    BrowseState().browse_text = run.text;
    return 0;
  }
  if (run.header.value == 0) return -1;
  return static_cast<int16_t>(RecordPosition(run.def.file, run.header.value));
}

void ShowFileFailure() {
  HookShowMessage(kFailureRow,
                  OpenFailureText(config::SettingsState().language) + BrowseFilePath());
  HookWaitForKey();
  HookPopMessage();
}

// Runs the follow-on list after F4, while this list's window stays up.
void RunFollowOn(int16_t follow_on, int16_t& result) {
  BrowseShared& shared = BrowseState();
  if (follow_on == 0 || shared.depth >= kMaxDepth) return;
  ++shared.depth;
  BrowseList(follow_on, result);
  --shared.depth;
  if (result != 0 || !Hooks().after_select) return;
  int16_t list = follow_on;
  int16_t field = 0;
  Hooks().after_select(list, 0, field);
}

// The window, the keys and the choice, once the list file is open.
void RunList(BrowseRun& run, int16_t& result) {
  const bool records = run.def.file != 0;
  int16_t status = 0;
  if (records) SetFileModes(run.def.file, "+D", status);
  Colour("+n");
  OpenWindow(run.def);
  Colour("h");
  MapKeys("+ea", "d,1b,4800,5000,4900,5100,4b00,4d00");
  if (run.def.follow_on != 0) MapKeys("a", "3e00");

  run.end_of_data = !records;
  DrawTitle(run);
  run.pos = 1;
  ShowPage(run);
  const BrowseKey key = KeyLoop(run);
  if (key == BrowseKey::kEnter) result = Choose(run);

  run.file.Close();
  platform::DeleteFile(BrowseFilePath());
  if (key == BrowseKey::kF4) RunFollowOn(run.def.follow_on, result);
  MapKeys("-", "");
  CloseWindow();
  Colour("-");
  if (records) SetFileModes(run.def.file, "-", status);
}

}  // namespace

BrowseHooks& BrowseHooksState() {
  static BrowseHooks hooks;
  return hooks;
}

void ResetBrowseHooksState() { BrowseHooksState() = BrowseHooks(); }

BrowseShared& BrowseState() {
  static BrowseShared state;
  return state;
}

void ResetBrowseState() { BrowseState() = BrowseShared(); }

void BrowseList(int16_t list, int16_t& result) {
  result = -1;
  const config::ListDefinition* def = config::FormTableState().FindList(list);
  if (def == nullptr) return;
  BrowseRun run;
  run.list = list;
  run.def = *def;
  run.rows = static_cast<int16_t>(def->bottom - def->top - 1);
  run.width = static_cast<int16_t>(def->right - def->left - 1);
  if (!FitsScreen(run)) return;

  const BrowseHooks& hooks = Hooks();
  if (def->pre_form != 0) {
    const int16_t key = hooks.run_form ? hooks.run_form(def->pre_form) : kEscKey;
    if (key == kEscKey) return;
  }
  if (hooks.limits) {
    const int16_t status = hooks.limits(list, run.from_key, run.to_key);
    if (status != 0) {
      result = status;
      return;
    }
  }
  if (!OpenBrowseFile(run.file, run.def.file != 0)) {
    ShowFileFailure();
    return;
  }
  RunList(run, result);
}

}  // namespace store
