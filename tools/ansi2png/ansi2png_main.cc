// ansi2png: a terminal screen captured with its colours ("tmux capture-pane
// -e -p": UTF-8 text with SGR colour sequences) drawn as a PNG picture, cell
// by cell in DejaVu Sans Mono on the 16 colours of the PC console. The
// README's pictures are made with it (scripts/pictures.sh).
//
//   ansi2png CAPTURE COLUMNS ROWS OUT.png
#include <cairo.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct Rgb {
  double r, g, b;
};

// ANSI colour order (black, red, green, yellow, blue, magenta, cyan, white),
// dim then bright, in the PC console's shades.
constexpr Rgb kPalette[16] = {
    {0, 0, 0},          {0.67, 0, 0},       {0, 0.67, 0},       {0.67, 0.33, 0},
    {0, 0, 0.67},       {0.67, 0, 0.67},    {0, 0.67, 0.67},    {0.67, 0.67, 0.67},
    {0.33, 0.33, 0.33}, {1, 0.33, 0.33},    {0.33, 1, 0.33},    {1, 1, 0.33},
    {0.33, 0.33, 1},    {1, 0.33, 1},       {0.33, 1, 1},       {1, 1, 1}};
constexpr int kDefaultFg = 7;
constexpr int kDefaultBg = 0;
constexpr double kFontSize = 15.0;

struct ShotCell {
  std::string utf8 = " ";
  int fg = kDefaultFg, bg = kDefaultBg;
};

// Applies the parameters of one SGR sequence ("0;37;40").
void ApplySgr(const std::string& params, int& fg, int& bg) {
  std::istringstream in(params);
  std::string item;
  if (params.empty()) fg = kDefaultFg, bg = kDefaultBg;
  while (std::getline(in, item, ';')) {
    const int n = item.empty() ? 0 : std::atoi(item.c_str());
    if (n == 0) fg = kDefaultFg, bg = kDefaultBg;
    else if (n >= 30 && n <= 37) fg = n - 30;
    else if (n == 39) fg = kDefaultFg;
    else if (n >= 40 && n <= 47) bg = n - 40;
    else if (n == 49) bg = kDefaultBg;
    else if (n >= 90 && n <= 97) fg = n - 90 + 8;
    else if (n >= 100 && n <= 107) bg = n - 100 + 8;
  }
}

// The capture's lines as rows of cells; other escape sequences are skipped.
std::vector<std::vector<ShotCell>> ParseCapture(const std::string& text, int cols, int rows) {
  std::vector<std::vector<ShotCell>> grid(static_cast<size_t>(rows),
                                          std::vector<ShotCell>(static_cast<size_t>(cols)));
  int fg = kDefaultFg, bg = kDefaultBg, row = 0, col = 0;
  for (size_t i = 0; i < text.size() && row < rows;) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (c == 0x1b && i + 1 < text.size() && text[i + 1] == '[') {
      size_t end = i + 2;
      while (end < text.size() && (text[end] < 0x40 || text[end] > 0x7e)) ++end;
      if (end < text.size() && text[end] == 'm') ApplySgr(text.substr(i + 2, end - i - 2), fg, bg);
      i = end + 1;
      continue;
    }
    if (c == '\n') {
      ++row, col = 0, ++i;
      continue;
    }
    size_t len = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
    if (col < cols) grid[static_cast<size_t>(row)][static_cast<size_t>(col)] = {text.substr(i, len), fg, bg};
    ++col;
    i += len;
  }
  return grid;
}

bool Draw(const std::vector<std::vector<ShotCell>>& grid, int cols, const char* out) {
  // The cell is the font's full height, so that box-drawing lines meet.
  cairo_surface_t* probe = cairo_image_surface_create(CAIRO_FORMAT_RGB24, 1, 1);
  cairo_t* cr = cairo_create(probe);
  cairo_select_font_face(cr, "DejaVu Sans Mono", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
  cairo_set_font_size(cr, kFontSize);
  cairo_font_extents_t fe;
  cairo_font_extents(cr, &fe);
  cairo_text_extents_t te;
  cairo_text_extents(cr, "0", &te);
  cairo_destroy(cr);
  cairo_surface_destroy(probe);
  const double w = te.x_advance, h = fe.ascent + fe.descent;
  cairo_surface_t* surface = cairo_image_surface_create(
      CAIRO_FORMAT_RGB24, static_cast<int>(w * cols + 0.5), static_cast<int>(h * grid.size() + 0.5));
  cr = cairo_create(surface);
  cairo_select_font_face(cr, "DejaVu Sans Mono", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
  cairo_set_font_size(cr, kFontSize);
  for (size_t r = 0; r < grid.size(); ++r)
    for (size_t c = 0; c < grid[r].size(); ++c) {
      const ShotCell& cell = grid[r][c];
      const Rgb& bg = kPalette[cell.bg];
      cairo_set_source_rgb(cr, bg.r, bg.g, bg.b);
      cairo_rectangle(cr, w * c, h * r, w + 0.5, h + 0.5);
      cairo_fill(cr);
      if (cell.utf8 == " ") continue;
      const Rgb& fg = kPalette[cell.fg];
      cairo_set_source_rgb(cr, fg.r, fg.g, fg.b);
      cairo_move_to(cr, w * c, h * r + fe.ascent);
      cairo_show_text(cr, cell.utf8.c_str());
    }
  cairo_destroy(cr);
  const bool ok = cairo_surface_write_to_png(surface, out) == CAIRO_STATUS_SUCCESS;
  cairo_surface_destroy(surface);
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 5) {
    std::fprintf(stderr, "usage: ansi2png CAPTURE COLUMNS ROWS OUT.png\n");
    return 2;
  }
  std::ifstream in(argv[1], std::ios::binary);
  const int cols = std::atoi(argv[2]), rows = std::atoi(argv[3]);
  if (!in || cols <= 0 || rows <= 0 || cols > 1000 || rows > 1000) {
    std::fprintf(stderr, "ansi2png: cannot read %s or a bad size\n", argv[1]);
    return 1;
  }
  std::stringstream text;
  text << in.rdbuf();
  if (!Draw(ParseCapture(text.str(), cols, rows), cols, argv[4])) {
    std::fprintf(stderr, "ansi2png: cannot write %s\n", argv[4]);
    return 1;
  }
  return 0;
}
