// Laid-out pages as an XLSX workbook through libxlsxwriter.

#include <stdlib.h>
#include <xlsxwriter.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <string>
#include <utility>

#include "platform/ascii.h"
#include "platform/files.h"
#include "platform/system.h"
#include "tools/kelprint/render.h"

namespace tools {

namespace {

constexpr uint8_t kPaperA4 = 9;

// A folder only this process can enter, removed with what it holds: the
// workbook and libxlsxwriter's row files are written there, never in the
// shared listings folder.
class ScratchFolder {
 public:
  ScratchFolder() : base_(platform::GetEnv("TMPDIR")) {
    if (base_.empty()) base_ = "/tmp";
    std::string name = base_ + "/kelprint-XXXXXX";
    if (::mkdtemp(name.data()) != nullptr) path_ = name;
  }
  ~ScratchFolder() {
    std::error_code ec;
    if (!path_.empty()) std::filesystem::remove_all(path_, ec);
  }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;
  const std::string& path() const { return path_; }
  const std::string& base() const { return base_; }  // where it was made

 private:
  std::string base_, path_;
};

// "&" starts a code in a print header.
std::string HeaderText(const std::string& text) {
  std::string out;
  for (char c : text) out += c == '&' ? std::string("&&") : std::string(1, c);
  return out;
}

// The listing's own order and separator, without leading zeros as printed.
std::string DateFormat(const ListingFormat& f) {
  const std::string sep = f.date_separator == '/' ? "/" : std::string("\\") + f.date_separator;
  std::string out;
  int parts = 0;
  for (char c : f.date_order) {
    const char u = platform::UpperAscii(c);
    const char* part = u == 'D' ? "d" : u == 'M' ? "m" : u == 'A' ? "yyyy" : nullptr;
    if (part == nullptr) continue;
    if (parts++ > 0) out += sep;
    out += part;
  }
  return parts == 3 ? out : "d/m/yyyy";
}

class XlsxRenderer : public PageRenderer {
 public:
  XlsxRenderer(const SheetInfo& info, ByteSink sink)
      : info_(info), sink_(std::move(sink)), table_(info.format) {}
  ~XlsxRenderer() override {
    if (workbook_ != nullptr) lxw_workbook_free(workbook_);
  }

  bool Page(const LaidPage& page) override {
    if (!error_.empty()) return false;
    const std::vector<SheetRow> rows = table_.Rows(page);
    if (workbook_ == nullptr && !Open()) return false;
    ++pages_;
    for (const SheetRow& row : rows)
      if (!Row(row)) return false;
    return true;
  }

  bool Finish() override {
    if (!error_.empty()) return false;
    if (pages_ == 0) return Fail("el document no té cap pàgina");
    CloseSheet();
    lxw_error status = workbook_close(workbook_);
    workbook_ = nullptr;
    if (status != LXW_NO_ERROR) return Fail(status);
    return HandOver();
  }
  const std::string& error() const override { return error_; }

 private:
  bool Fail(std::string message) {
    if (error_.empty()) error_ = std::move(message);
    return false;
  }
  bool Fail(lxw_error status) {
    return Fail(std::string("error de libxlsxwriter: ") + lxw_strerror(status));
  }

  bool Open() {
    if (scratch_.path().empty())
      return Fail("no es pot crear una carpeta temporal a " + scratch_.base());
    file_ = scratch_.path() + "/listing.xlsx";
    lxw_workbook_options options{};
    options.constant_memory = LXW_TRUE;
    options.tmpdir = const_cast<char*>(scratch_.path().c_str());
    options.use_zip64 = LXW_TRUE;  // a ten-year listing passes 4 GB of XML
    workbook_ = workbook_new_opt(file_.c_str(), &options);
    if (workbook_ == nullptr) return Fail("no s'ha pogut començar el full de càlcul");
    title_ = table_.title();
    firm_ = table_.firm();
    lxw_doc_properties properties{};
    properties.title = const_cast<char*>(title_.c_str());
    properties.company = const_cast<char*>(firm_.c_str());
    properties.author = const_cast<char*>(info_.creator.c_str());
    workbook_set_properties(workbook_, &properties);
    heading_ = workbook_add_format(workbook_);
    format_set_bold(heading_);
    format_set_bottom(heading_, LXW_BORDER_THIN);
    date_format_ = DateFormat(info_.format);
    return NewSheet();
  }

  // Cells of one kind, plain or bold, made once.
  lxw_format* Format(const SheetCell& cell, bool bold) {
    const int key = (cell.kind == SheetCell::Kind::kDate     ? -1
                     : cell.kind == SheetCell::Kind::kNumber ? cell.decimals
                                                             : -2) * 2 + bold;
    lxw_format*& format = formats_[key];
    if (format != nullptr) return format;
    format = workbook_add_format(workbook_);
    if (bold) format_set_bold(format);
    if (cell.kind == SheetCell::Kind::kDate) {
      format_set_num_format(format, date_format_.c_str());
    } else if (cell.kind == SheetCell::Kind::kNumber) {
      std::string number = "#,##0";
      if (cell.decimals > 0) number += "." + std::string(static_cast<size_t>(cell.decimals), '0');
      format_set_num_format(format, number.c_str());
    }
    return format;
  }

  bool NewSheet() {
    const std::string name =
        sheets_ == 0 ? info_.name : info_.name + " (" + std::to_string(sheets_ + 1) + ")";
    sheet_ = workbook_add_worksheet(workbook_, name.c_str());
    if (sheet_ == nullptr) return Fail("no s'ha pogut afegir el full " + name);
    ++sheets_;
    worksheet_set_landscape(sheet_);
    worksheet_set_paper(sheet_, kPaperA4);
    worksheet_fit_to_pages(sheet_, 1, 0);
    // Too long a header is only left out: the rows are what matters.
    const std::string header = "&L" + HeaderText(firm_) + "&C" + HeaderText(title_);
    if (worksheet_set_header(sheet_, header.c_str()) != LXW_NO_ERROR)
      worksheet_set_header(sheet_, ("&C" + HeaderText(title_)).c_str());
    worksheet_set_footer(sheet_, "&R&P / &N");
    row_ = 0;
    const std::vector<SheetColumn>& columns = table_.columns();
    if (columns.empty()) {
      worksheet_set_column(sheet_, 0, 0, 137, nullptr);
      return true;
    }
    worksheet_repeat_rows(sheet_, 0, 0);
    worksheet_freeze_panes(sheet_, 1, 0);
    for (size_t c = 0; c < columns.size(); ++c) {
      const auto col = static_cast<lxw_col_t>(c);
      const double width = std::max<double>(columns[c].last - columns[c].first + 1,
                                            static_cast<double>(columns[c].heading.size()));
      worksheet_set_column(sheet_, col, col, width + 2, nullptr);
      lxw_error status =
          worksheet_write_string(sheet_, 0, col, columns[c].heading.c_str(), heading_);
      if (status != LXW_NO_ERROR) return Fail(status);
    }
    row_ = 1;
    return true;
  }

  void CloseSheet() {
    const size_t columns = table_.columns().size();
    if (columns > 0)
      worksheet_autofilter(sheet_, 0, 0, row_ > 0 ? row_ - 1 : 0,
                           static_cast<lxw_col_t>(columns - 1));
  }

  bool Row(const SheetRow& row) {
    if (row_ >= LXW_ROW_MAX) {
      CloseSheet();
      if (!NewSheet()) return false;
    }
    for (size_t c = 0; c < row.cells.size(); ++c) {
      const SheetCell& cell = row.cells[c];
      const auto col = static_cast<lxw_col_t>(c);
      if (cell.kind == SheetCell::Kind::kEmpty) continue;
      lxw_format* format = Format(cell, row.bold);
      lxw_error status = LXW_NO_ERROR;
      if (cell.kind == SheetCell::Kind::kText) {
        status = worksheet_write_string(sheet_, row_, col, cell.text.c_str(), format);
      } else if (cell.kind == SheetCell::Kind::kNumber) {
        status = worksheet_write_number(sheet_, row_, col, cell.number, format);
      } else {
        lxw_datetime when{cell.year, cell.month, cell.day, 0, 0, 0.0};
        status = worksheet_write_datetime(sheet_, row_, col, &when, format);
      }
      if (status != LXW_NO_ERROR) return Fail(status);
    }
    ++row_;
    return true;
  }

  // The finished workbook, from the scratch folder to the listing.
  bool HandOver() {
    platform::File file;
    if (!file.Open(file_, platform::File::Mode::kRead, /*no_follow=*/true))
      return Fail("no s'ha pogut llegir el full de càlcul acabat");
    unsigned char buf[1 << 16];
    // A read error is told from the end of the file by the error it leaves.
    platform::ErrorNumber() = 0;
    for (;;) {
      const size_t n = file.Read(buf, sizeof buf);
      if (n == 0) break;
      if (!sink_(buf, n)) return Fail("no s'ha pogut escriure");
    }
    return platform::ErrorNumber() == 0 || Fail("no s'ha pogut escriure");
  }

  SheetInfo info_;
  ByteSink sink_;
  SheetTable table_;
  ScratchFolder scratch_;
  std::string file_, title_, firm_, date_format_;
  lxw_workbook* workbook_ = nullptr;
  lxw_worksheet* sheet_ = nullptr;
  lxw_format* heading_ = nullptr;
  std::map<int, lxw_format*> formats_;
  lxw_row_t row_ = 0;
  int sheets_ = 0;
  int64_t pages_ = 0;
  std::string error_;
};

}  // namespace

std::unique_ptr<PageRenderer> MakeXlsxRenderer(const SheetInfo& info, ByteSink sink) {
  return std::make_unique<XlsxRenderer>(info, std::move(sink));
}

}  // namespace tools
