// Laid-out pages as a CSV table.

#include <cstdio>
#include <string>

#include "tools/kelprint/render.h"
#include "tools/kelrec/csv.h"

namespace tools {

namespace {

std::string Field(const SheetCell& cell) {
  char b[64];
  switch (cell.kind) {
    case SheetCell::Kind::kEmpty:
      return "";
    case SheetCell::Kind::kText:
      return CsvField(cell.text);
    case SheetCell::Kind::kNumber:
      std::snprintf(b, sizeof b, "%.*f", cell.decimals, cell.number);
      return b;
    case SheetCell::Kind::kDate:
      std::snprintf(b, sizeof b, "%04d-%02d-%02d", cell.year, cell.month, cell.day);
      return b;
  }
  return "";
}

class CsvRenderer : public PageRenderer {
 public:
  CsvRenderer(const ListingFormat& format, ByteSink sink)
      : table_(format), sink_(std::move(sink)) {}

  bool Page(const LaidPage& page) override {
    if (!error_.empty()) return false;
    std::string out;
    const std::vector<SheetRow> rows = table_.Rows(page);
    if (pages_++ == 0 && !table_.columns().empty()) {
      std::string line;
      for (const SheetColumn& col : table_.columns())
        line += (line.empty() ? "" : ",") + CsvField(col.heading);
      out += line + "\r\n";
    }
    for (const SheetRow& row : rows) {
      for (size_t c = 0; c < row.cells.size(); ++c) {
        if (c > 0) out += ',';
        out += Field(row.cells[c]);
      }
      out += "\r\n";
    }
    return SendToSink(sink_, out, error_);
  }
  bool Finish() override { return error_.empty(); }
  const std::string& error() const override { return error_; }

 private:
  SheetTable table_;
  ByteSink sink_;
  int64_t pages_ = 0;
  std::string error_;
};

}  // namespace

std::unique_ptr<PageRenderer> MakeCsvRenderer(const ListingFormat& format, ByteSink sink) {
  return std::make_unique<CsvRenderer>(format, std::move(sink));
}

}  // namespace tools
