// The print program's run: work file -> pages -> layout -> device, one page
// at a time.

#include "tools/kelprint/kelprint.h"

#include <unistd.h>

#include "app/config/paths.h"
#include "app/config/settings.h"
#include "platform/ascii.h"
#include "platform/console.h"
#include "platform/files.h"
#include "platform/tty_terminal.h"
#include "tools/kelprint/layout.h"
#include "tools/kelprint/preview.h"
#include "tools/kelprint/print_files.h"
#include "tools/kelprint/render.h"
#include "tools/kelprint/spool.h"
#include "tools/kelprint/work_file.h"
#include "values/date_text.h"
#include "values/masks.h"

namespace tools {

namespace {

const char kPrefix[] = "KELPRINT: ";

std::string PageCount(int64_t n) {
  return std::to_string(n) + (n == 1 ? " pàgina" : " pàgines");
}

KelprintResult Fail(std::string message) {
  KelprintResult r;
  r.exit_code = 1;
  r.message = kPrefix + std::move(message);
  return r;
}

// What the device record names: a listing file of some kind, or else a
// print queue that gets a PDF.
enum class Device { kPdf, kText, kXlsx, kCsv, kQueue };

Device DeviceOf(const std::string& record) {
  const std::string name = platform::UpperAscii(platform::TrimBlanks(record));
  if (name.empty() || name == "PDF") return Device::kPdf;
  if (name == "TXT") return Device::kText;
  if (name == "XLSX") return Device::kXlsx;
  if (name == "CSV") return Device::kCsv;
  return Device::kQueue;
}

const char* Extension(Device device) {
  switch (device) {
    case Device::kText: return ".txt";
    case Device::kXlsx: return ".xlsx";
    case Device::kCsv: return ".csv";
    default: return ".pdf";
  }
}

std::unique_ptr<PageRenderer> MakeRenderer(Device device, const KelprintRequest& req,
                                           ByteSink sink) {
  switch (device) {
    case Device::kText: return MakeTextRenderer(std::move(sink));
    case Device::kXlsx:
      return MakeXlsxRenderer(SheetInfo{req.program, "KELPRINT", req.format}, std::move(sink));
    case Device::kCsv: return MakeCsvRenderer(req.format, std::move(sink));
    default: return MakePdfRenderer(PdfInfo{req.program, "KELPRINT"}, std::move(sink));
  }
}

// The listing being written, started when the first page is ready (so that
// a work file without pages leaves nothing behind) and fed page by page.
class Listing {
 public:
  explicit Listing(const KelprintRequest& req) : req_(req) {}

  bool Page(const std::string& device, const PrintPage& page) {
    if (!renderer_ && !Start(device)) return false;
    if (!renderer_->Page(LayOutPage(page))) {
      error_ = file_.path() + ": " + renderer_->error();
      return false;
    }
    cancelled_ = req_.progress && !req_.progress(++pages_);
    return !cancelled_;
  }
  // Completes the listing and keeps its file.
  bool Finish() {
    if (!renderer_->Finish()) {
      error_ = file_.path() + ": " + renderer_->error();
      return false;
    }
    if (!file_.Commit()) {
      error_ = file_.path() + ": no s'ha pogut escriure";
      return false;
    }
    path_ = AbsolutePath(file_.path());
    return true;
  }
  const std::string& error() const { return error_; }
  const std::string& path() const { return path_; }
  bool cancelled() const { return cancelled_; }

 private:
  bool Start(const std::string& record) {
    const Device device = DeviceOf(record);
    if (!EnsureDirectory(req_.listing_dir, error_)) return false;
    if (!file_.Create(req_.listing_dir, ListingBaseName(req_.program, req_.when),
                      Extension(device), error_))
      return false;
    ByteSink sink = [this](const unsigned char* data, size_t size) {
      return file_.Write(data, size);
    };
    renderer_ = MakeRenderer(device, req_, std::move(sink));
    return true;
  }

  const KelprintRequest& req_;
  ListingFile file_;
  // After the file: it goes first, and never writes into a closed file.
  std::unique_ptr<PageRenderer> renderer_;
  std::string error_, path_;
  int64_t pages_ = 0;
  bool cancelled_ = false;
};

// The listing kept in r.output goes to a print queue.
KelprintResult SendListing(KelprintResult r, const std::string& device,
                           const std::string& search_path) {
  const std::string path = r.output;
  const int64_t count = r.pages;
  if (!IsQueueName(device)) {
    r.exit_code = 1;
    r.message = std::string(kPrefix) + "\"" + platform::Cp850ToUtf8(device) +
                "\" no pot ser el nom d'una cua d'impressió; " +
                PageCount(count) + " desades a " + path;
    return r;
  }
  std::string lp = FindProgram("lp", search_path);
  if (lp.empty()) {
    r.message = kPrefix + std::string("no hi ha lp per imprimir a ") + device +
                "; " + PageCount(count) + " desades a " + path;
    return r;
  }
  SpoolResult sent = SendToQueue(lp, device, path);
  if (sent.started && sent.status == 0) {
    ::unlink(path.c_str());  // lp has its own copy
    r.output.clear();
    r.message = kPrefix + PageCount(count) + " enviades a la cua " + device;
    return r;
  }
  r.exit_code = 1;
  std::string why = !sent.started ? "no s'ha pogut executar " + lp
                    : sent.status < 0 ? "lp s'ha interromput"
                                      : "lp ha acabat amb el codi " +
                                            std::to_string(sent.status);
  if (!sent.output.empty()) why += " (" + sent.output + ")";
  r.message = kPrefix + std::string("no s'ha pogut imprimir a ") + device + ": " +
              why + "; " + PageCount(count) + " desades a " + path;
  return r;
}

}  // namespace

KelprintResult WorkFileUnreadable(const KelprintRequest& req, const std::string& error) {
  return Fail("no es pot llegir el fitxer de treball " + req.work_file + ": " + error);
}

KelprintResult WorkFileFaulty(const KelprintRequest& req, const ParseError& error) {
  return Fail(req.work_file + ":" + std::to_string(error.line) + ": " + error.message);
}

KelprintResult NoPages() {
  KelprintResult r;
  r.exit_code = 0;
  r.message = std::string(kPrefix) + "el llistat no té cap pàgina; no s'ha escrit res";
  return r;
}

KelprintResult RunKelprint(const KelprintRequest& req) {
  // The device record alone decides; a file without one is refused below
  // as any listing refuses it.
  std::string device, error;
  OpenWorkFile file;
  if (file.Open(req.work_file, error)) {
    char head[kMaxRecordBytes + 2];
    size_t got = 0;
    WorkFileParser first([](const PrintPage&) { return false; });
    if (file.ReadAt(0, head, sizeof head, got, error)) first.Feed(std::string_view(head, got));
    device = first.device();
  }
  if (IsPreviewDevice(device)) return RunPreview(req);
  return PrintListing(req, device);
}

bool IsPreviewDevice(const std::string& device) {
  return platform::UpperAscii(platform::TrimBlanks(device)) == kPreviewDevice;
}

KelprintResult PrintListing(const KelprintRequest& req, const std::string& device,
                            bool queues) {
  if (!queues && DeviceOf(device) == Device::kQueue)
    return Fail("dispositiu desconegut: " + platform::Cp850ToUtf8(device));
  Listing listing(req);
  WorkFileParser parser([&](const PrintPage& page) { return listing.Page(device, page); });
  std::string error;
  if (!ReadWorkFile(req.work_file, parser, error)) return WorkFileUnreadable(req, error);
  if (parser.failed()) return WorkFileFaulty(req, parser.error());
  if (listing.cancelled()) return Fail("llistat interromput; no s'ha desat res");
  if (parser.stopped() || (parser.pages() > 0 && !listing.Finish()))
    return Fail("no s'ha pogut desar el llistat " + listing.error());
  if (parser.pages() == 0) return NoPages();
  const std::string& path = listing.path();
  const int64_t count = parser.pages();

  KelprintResult r;
  r.pages = count;
  r.output = path;
  r.exit_code = 0;
  if (DeviceOf(device) != Device::kQueue) {
    r.message = kPrefix + PageCount(count) + " a " + path;
    return r;
  }
  return SendListing(r, platform::TrimBlanks(device), req.search_path);
}

KelprintRequest RequestFromEnvironment() {
  config::SetUpPaths();
  const config::Paths& paths = config::PathsState();
  KelprintRequest req;
  req.work_file = platform::OsPath(config::PrintFilePath());
  req.listing_dir =
      platform::OsPath(config::CompleteDirectory(paths.root) + "LLISTATS");
  req.program = ListingProgramName(platform::GetEnv("KELPROG"));
  req.when = platform::Now();
  req.search_path = platform::GetEnv("PATH");
  req.format.decimal = values::DecimalChar();
  req.format.thousands = values::ThousandsChar();
  req.format.date_order = values::DateOrder();
  req.format.date_separator = values::DateSeparator();
  req.printer = config::SettingsState().printer_device;
  req.take_terminal = [] {
    std::unique_ptr<platform::Terminal> tty = platform::MakeControllingTtyTerminal();
    if (!tty) return false;
    platform::InstallTerminal(std::move(tty));
    return true;
  };
  return req;
}

}  // namespace tools
