// Progress line of kelrec's import.
#include "tools/kelrec/progress.h"

#include "platform/system.h"

namespace tools {

namespace {

constexpr int64_t kIntervalMs = 250;
// Rows between looks at the clock.
constexpr int64_t kRowStep = 1024;

}  // namespace

ProgressLine::ProgressLine(std::ostream* out, std::string what)
    : out_(out), what_(std::move(what)) {
  if (out_ != nullptr) start_ms_ = shown_ms_ = platform::MonotonicMs();
}

void ProgressLine::Update(int64_t rows, int64_t done, int64_t total) {
  if (out_ == nullptr || rows % kRowStep != 0) return;
  const int64_t now = platform::MonotonicMs();
  if (now - shown_ms_ >= kIntervalMs) Draw(rows, done, total, now, false);
}

void ProgressLine::Show(int64_t rows, int64_t done, int64_t total) {
  if (out_ != nullptr) Draw(rows, done, total, platform::MonotonicMs(), false);
}

void ProgressLine::Finish(int64_t rows, int64_t done, int64_t total) {
  if (out_ == nullptr) return;
  Draw(rows, done, total, platform::MonotonicMs(), true);
}

void ProgressLine::Clear() {
  if (out_ == nullptr || width_ == 0) return;
  *out_ << '\r' << std::string(width_, ' ') << '\r';
  width_ = 0;
}

void ProgressLine::Draw(int64_t rows, int64_t done, int64_t total, int64_t now_ms,
                        bool last) {
  const int64_t elapsed = now_ms - start_ms_;
  std::string line = what_ + ": " + std::to_string(rows) + " rows";
  if (elapsed > 0) line += ", " + std::to_string(rows * 1000 / elapsed) + " rows/s";
  if (total > 0) line += ", " + std::to_string(done * 100 / total) + "%";
  if (last) {
    line += ", " + std::to_string(elapsed / 1000) + "." +
            std::to_string(elapsed % 1000 / 100) + " s";
  }
  const size_t width = line.size();
  if (width < width_) line.append(width_ - width, ' ');
  *out_ << '\r' << line << (last ? "\n" : "") << std::flush;
  width_ = width;
  shown_ms_ = now_ms;
}

}  // namespace tools
