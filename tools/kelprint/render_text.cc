// Laid-out pages as plain UTF-8 text.

#include <string>

#include "platform/ascii.h"
#include "platform/console.h"
#include "tools/kelprint/render.h"

namespace tools {

namespace {

class TextRenderer : public PageRenderer {
 public:
  explicit TextRenderer(ByteSink sink) : sink_(std::move(sink)) {}

  bool Page(const LaidPage& page) override {
    if (!error_.empty()) return false;
    std::string out;
    if (pages_++ > 0) out += '\f';
    for (const LaidLine& line : page.lines) {
      out += platform::Cp850ToUtf8(platform::TrimTrailingBlanks(LineText(line)));
      out += '\n';
    }
    return SendToSink(sink_, out, error_);
  }
  bool Finish() override { return error_.empty(); }
  const std::string& error() const override { return error_; }

 private:
  ByteSink sink_;
  int64_t pages_ = 0;
  std::string error_;
};

}  // namespace

bool SendToSink(const ByteSink& sink, const std::string& out, std::string& error) {
  if (sink(reinterpret_cast<const unsigned char*>(out.data()), out.size())) return true;
  error = "no s'ha pogut escriure";
  return false;
}

std::unique_ptr<PageRenderer> MakeTextRenderer(ByteSink sink) {
  return std::make_unique<TextRenderer>(std::move(sink));
}

std::string RenderText(const std::vector<LaidPage>& pages) {
  std::string out;
  TextRenderer renderer([&out](const unsigned char* data, size_t size) {
    out.append(reinterpret_cast<const char*>(data), size);
    return true;
  });
  for (const LaidPage& page : pages) renderer.Page(page);
  return out;
}

}  // namespace tools
