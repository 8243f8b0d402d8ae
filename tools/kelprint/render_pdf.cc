// Laid-out pages as PDF through cairo.

#include <cairo-pdf.h>
#include <cairo.h>

#include <algorithm>
#include <string>

#include "platform/console.h"
#include "tools/kelprint/render.h"

namespace tools {

namespace {

constexpr double kPageWidth = 595.276;  // A4 in points
constexpr double kPageHeight = 841.890;
constexpr double kPrintLineWidth = 540.0;  // the 8-inch line, scaled to fit
constexpr double kBodyHeight = 792.0;      // 66 lines at 6 an inch
constexpr double kUnit = kPrintLineWidth / kLineUnits;
constexpr double kLeft = (kPageWidth - kPrintLineWidth) / 2;
constexpr double kTop = (kPageHeight - kBodyHeight) / 2;
// Glyph height against the line pitch, and its ceiling so that short pages
// do not print letters taller than they are wide by far.
constexpr double kGlyphHeightRatio = 0.78;
constexpr double kMaxGlyphHeight = 10.0;
constexpr double kBaselineRatio = 0.80;
constexpr const char* kFontFamily = "DejaVu Sans Mono";

struct SinkState {
  const ByteSink* sink;
  bool failed = false;
};

cairo_status_t WriteToSink(void* closure, const unsigned char* data,
                           unsigned int length) {
  auto* state = static_cast<SinkState*>(closure);
  if (state->failed || !(*state->sink)(data, length)) {
    state->failed = true;
    return CAIRO_STATUS_WRITE_ERROR;
  }
  return CAIRO_STATUS_SUCCESS;
}

// Owns the cairo objects of one rendering.
class PdfWriter {
 public:
  PdfWriter(const PdfInfo& info, SinkState& sink) {
    surface_ = cairo_pdf_surface_create_for_stream(WriteToSink, &sink,
                                                   kPageWidth, kPageHeight);
    cairo_pdf_surface_set_metadata(surface_, CAIRO_PDF_METADATA_TITLE,
                                   info.title.c_str());
    cairo_pdf_surface_set_metadata(surface_, CAIRO_PDF_METADATA_CREATOR,
                                   info.creator.c_str());
    cr_ = cairo_create(surface_);
    options_ = cairo_font_options_create();
    // Positions come from the cell grid, never from hinted metrics.
    cairo_font_options_set_hint_metrics(options_, CAIRO_HINT_METRICS_OFF);
    cairo_font_options_set_hint_style(options_, CAIRO_HINT_STYLE_NONE);
    for (int bold = 0; bold < 2; ++bold) {
      faces_[bold] = cairo_toy_font_face_create(
          kFontFamily, CAIRO_FONT_SLANT_NORMAL,
          bold ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL);
      advance_[bold] = UnitAdvance(faces_[bold]);
    }
  }
  ~PdfWriter() {
    DropFonts();
    for (cairo_font_face_t* f : faces_) cairo_font_face_destroy(f);
    cairo_font_options_destroy(options_);
    cairo_destroy(cr_);
    cairo_surface_destroy(surface_);
  }
  PdfWriter(const PdfWriter&) = delete;
  PdfWriter& operator=(const PdfWriter&) = delete;

  bool Ok() const {
    return cairo_surface_status(surface_) == CAIRO_STATUS_SUCCESS &&
           cairo_status(cr_) == CAIRO_STATUS_SUCCESS;
  }
  std::string Status() const {
    cairo_status_t s = cairo_surface_status(surface_);
    if (s == CAIRO_STATUS_SUCCESS) s = cairo_status(cr_);
    return cairo_status_to_string(s);
  }

  void Page(const LaidPage& page) {
    const double pitch = kBodyHeight / std::max(page.length, 1);
    MakeFonts(std::min(pitch * kGlyphHeightRatio, kMaxGlyphHeight));
    cairo_set_source_rgb(cr_, 0, 0, 0);
    for (size_t i = 0; i < page.lines.size(); ++i)
      Line(page.lines[i], kTop + (static_cast<double>(i) + kBaselineRatio) * pitch);
    cairo_show_page(cr_);
  }

  void Finish() { cairo_surface_finish(surface_); }

 private:
  // Advance of "0" at size 1, so that any fallback font still fills its
  // cells exactly.
  double UnitAdvance(cairo_font_face_t* face) {
    cairo_matrix_t m, ctm;
    cairo_matrix_init_identity(&m);
    cairo_matrix_init_identity(&ctm);
    cairo_scaled_font_t* sf = cairo_scaled_font_create(face, &m, &ctm, options_);
    cairo_text_extents_t ext;
    cairo_scaled_font_text_extents(sf, "0", &ext);
    cairo_scaled_font_destroy(sf);
    return ext.x_advance > 0.1 ? ext.x_advance : 0.6;
  }

  void DropFonts() {
    for (auto& row : fonts_)
      for (cairo_scaled_font_t*& sf : row) {
        if (sf) cairo_scaled_font_destroy(sf);
        sf = nullptr;
      }
  }

  void MakeFonts(double height) {
    DropFonts();
    cairo_matrix_t ctm;
    cairo_matrix_init_identity(&ctm);
    for (int bold = 0; bold < 2; ++bold)
      for (int condensed = 0; condensed < 2; ++condensed) {
        double cell = (condensed ? kCondensedCellUnits : kNormalCellUnits) * kUnit;
        cairo_matrix_t m;
        cairo_matrix_init_scale(&m, cell / advance_[bold], height);
        fonts_[bold][condensed] =
            cairo_scaled_font_create(faces_[bold], &m, &ctm, options_);
      }
  }

  void Line(const LaidLine& line, double baseline) {
    const std::vector<Cell>& cells = line.cells;
    auto blank = [&](size_t k) { return !cells[k].written || cells[k].ch == ' '; };
    int units = 0;  // offset of cell i
    size_t i = 0;
    while (i < cells.size()) {
      size_t j = i;
      while (j < cells.size() && cells[j].style == cells[i].style) ++j;
      // Cells i..j-1 share a style; draw them without outer blanks.
      size_t b = i, e = j;
      int start_units = units;
      while (b < e && blank(b)) start_units += CellUnits(cells[b++].style);
      while (e > b && blank(e - 1)) --e;
      if (b < e) Run(cells, b, e, kLeft + start_units * kUnit, baseline);
      for (size_t k = i; k < j; ++k) units += CellUnits(cells[k].style);
      i = j;
    }
  }

  void Run(const std::vector<Cell>& cells, size_t b, size_t e, double x,
           double baseline) {
    const PrintStyle& style = cells[b].style;
    std::string bytes;
    for (size_t k = b; k < e; ++k) bytes += cells[k].written ? cells[k].ch : ' ';
    std::string utf8 = platform::Cp850ToUtf8(bytes);
    cairo_scaled_font_t* sf = fonts_[style.bold][style.condensed];
    cairo_glyph_t* glyphs = nullptr;
    int num_glyphs = 0;
    cairo_text_cluster_t* clusters = nullptr;
    int num_clusters = 0;
    cairo_text_cluster_flags_t flags{};
    if (cairo_scaled_font_text_to_glyphs(
            sf, x, baseline, utf8.data(), static_cast<int>(utf8.size()), &glyphs,
            &num_glyphs, &clusters, &num_clusters, &flags) != CAIRO_STATUS_SUCCESS)
      return;
    const double cell = CellUnits(style) * kUnit;
    if (num_glyphs == static_cast<int>(e - b))
      for (int g = 0; g < num_glyphs; ++g) glyphs[g].x = x + g * cell;
    cairo_set_scaled_font(cr_, sf);
    cairo_show_text_glyphs(cr_, utf8.data(), static_cast<int>(utf8.size()),
                           glyphs, num_glyphs, clusters, num_clusters, flags);
    cairo_glyph_free(glyphs);
    cairo_text_cluster_free(clusters);
  }

  cairo_surface_t* surface_ = nullptr;
  cairo_t* cr_ = nullptr;
  cairo_font_options_t* options_ = nullptr;
  cairo_font_face_t* faces_[2] = {nullptr, nullptr};
  double advance_[2] = {0.6, 0.6};
  cairo_scaled_font_t* fonts_[2][2] = {{nullptr, nullptr}, {nullptr, nullptr}};
};

class PdfRenderer : public PageRenderer {
 public:
  PdfRenderer(const PdfInfo& info, ByteSink sink)
      : sink_(std::move(sink)), state_{&sink_}, writer_(info, state_) {}
  // Unfinished (no pages, or given up): whatever cairo still has to say
  // goes nowhere.
  ~PdfRenderer() override { state_.failed = true; }

  bool Page(const LaidPage& page) override {
    if (!Check()) return false;
    writer_.Page(page);
    ++pages_;
    return Check();
  }
  bool Finish() override {
    if (pages_ == 0) {
      error_ = "el document no té cap pàgina";
      return false;
    }
    if (!Check()) return false;
    writer_.Finish();
    return Check();
  }
  const std::string& error() const override { return error_; }

 private:
  bool Check() {
    if (!error_.empty()) return false;
    if (state_.failed)
      error_ = "no s'ha pogut escriure el PDF";
    else if (!writer_.Ok())
      error_ = "error de cairo: " + writer_.Status();
    return error_.empty();
  }

  ByteSink sink_;
  SinkState state_;
  PdfWriter writer_;
  int64_t pages_ = 0;
  std::string error_;
};

}  // namespace

std::unique_ptr<PageRenderer> MakePdfRenderer(const PdfInfo& info, ByteSink sink) {
  return std::make_unique<PdfRenderer>(info, std::move(sink));
}

}  // namespace tools
