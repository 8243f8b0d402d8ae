// Page marks of a work file, and pages read again from them.

#include "tools/kelprint/page_index.h"

#include <algorithm>

namespace tools {

namespace {

// Laid pages kept: a screen's page and the ones either side of it.
constexpr size_t kCachedPages = 8;
// A page read again is a few kilobytes; blocks of this size reach its end.
constexpr size_t kPageReadBlock = 64 * 1024;

}  // namespace

PageIndex::PageIndex() = default;
PageIndex::~PageIndex() = default;

bool PageIndex::Open(const std::string& path, std::string& error) {
  marks_.clear();
  cache_.clear();
  passed_ = 0;
  complete_ = false;
  fault_ = ParseError{};
  if (!file_.Open(path, error)) return false;
  pass_ = std::make_unique<WorkFileParser>([](const PrintPage&) { return true; });
  pass_->SetKeepLines(false);
  pass_->SetMarkHandler([this](const PageMark& mark) { marks_.push_back(mark); });
  return true;
}

bool PageIndex::Advance(size_t budget) {
  if (complete_ || !pass_) return false;
  std::string buf(std::min<int64_t>(static_cast<int64_t>(budget), file_.size() - passed_), '\0');
  size_t got = 0;
  std::string error;
  if (!file_.ReadAt(passed_, buf.data(), buf.size(), got, error)) {
    fault_ = ParseError{0, error};
    complete_ = true;
    return false;
  }
  passed_ += static_cast<int64_t>(got);
  bool more = got > 0 && pass_->Feed(std::string_view(buf.data(), got)) &&
              passed_ < file_.size();
  if (!more && !pass_->failed()) pass_->Finish();
  if (pass_->failed()) {
    fault_ = pass_->error();
    more = false;
  }
  complete_ = !more;
  return more;
}

int64_t PageIndex::pages() const {
  if (!pass_) return 0;
  const int64_t begun = pass_->pages();
  return failed() && begun > 0 ? begun - 1 : begun;
}

const LaidPage* PageIndex::Page(int64_t k, ParseError& error) {
  auto hit = std::find_if(cache_.begin(), cache_.end(),
                          [k](const auto& entry) { return entry.first == k; });
  if (hit != cache_.end()) {
    cache_.splice(cache_.begin(), cache_, hit);
    return &cache_.front().second;
  }
  PrintPage page;
  if (!ReadPage(k, page, error)) return nullptr;
  if (cache_.size() >= kCachedPages) cache_.pop_back();
  cache_.emplace_front(k, LayOutPage(page));
  return &cache_.front().second;
}

// From the last mark at or before the page, up to the page's end.
bool PageIndex::ReadPage(int64_t k, PrintPage& page, ParseError& error) {
  auto after = std::upper_bound(
      marks_.begin(), marks_.end(), k,
      [](int64_t n, const PageMark& mark) { return n < mark.pages_before; });
  if (k < 0 || after == marks_.begin()) {
    error = ParseError{0, "no hi ha la pàgina " + std::to_string(k + 1)};
    return false;
  }
  const PageMark& mark = *std::prev(after);
  bool found = false;
  WorkFileParser parser(
      [&](const PrintPage& p) {
        if (parser.pages() - 1 < k) return true;
        page = p;
        found = true;
        return false;
      },
      mark);
  std::string read_error;
  if (!FeedWorkFile(file_, mark.offset, parser, read_error, kPageReadBlock)) {
    error = ParseError{0, read_error};
    return false;
  }
  if (found) return true;
  error = parser.failed() ? parser.error()
                          : ParseError{0, "no hi ha la pàgina " + std::to_string(k + 1)};
  return false;
}

}  // namespace tools
