// The progress line of a long import on the operator's terminal: rows so
// far, rows per second and the share of the input read, rewritten in place
// (carriage return) at most a few times a second, and a final line at the
// end. Shown only where the caller passes a stream (standard error when it
// is a terminal).
#pragma once

#include <cstdint>
#include <ostream>
#include <string>

namespace tools {

class ProgressLine {
 public:
  // out null: nothing is shown and every call costs next to nothing.
  ProgressLine(std::ostream* out, std::string what);
  // done of total input bytes read; total 0 leaves the share out. Shown
  // when the last showing is old enough.
  void Update(int64_t rows, int64_t done, int64_t total);
  // Shown at once (before a long step without updates).
  void Show(int64_t rows, int64_t done, int64_t total);
  // The last state with the time taken, and a line end, so that messages
  // start on a line of their own.
  void Finish(int64_t rows, int64_t done, int64_t total);
  // Blanks the line so that a message can take its place; the next update
  // draws it again below the message.
  void Clear();

 private:
  void Draw(int64_t rows, int64_t done, int64_t total, int64_t now_ms, bool last);

  std::ostream* out_;
  std::string what_;
  int64_t start_ms_ = 0;
  int64_t shown_ms_ = 0;
  size_t width_ = 0;  // of the line shown last, to blank what is left of it
};

}  // namespace tools
