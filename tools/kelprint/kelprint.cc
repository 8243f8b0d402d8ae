// The print program's run: work file -> pages -> layout -> device, one page
// at a time.

#include "tools/kelprint/kelprint.h"

#include <unistd.h>

#include "app/config/paths.h"
#include "platform/ascii.h"
#include "platform/console.h"
#include "platform/files.h"
#include "tools/kelprint/layout.h"
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
    if (renderer_->Page(LayOutPage(page))) return true;
    error_ = file_.path() + ": " + renderer_->error();
    return false;
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
};

}  // namespace

KelprintResult RunKelprint(const KelprintRequest& req) {
  Listing listing(req);
  WorkFileParser parser([&](const PrintPage& page) {
    return listing.Page(parser.device(), page);
  });
  std::string error;
  if (!ReadWorkFile(req.work_file, parser, error))
    return Fail("no es pot llegir el fitxer de treball " + req.work_file + ": " +
                error);
  if (parser.failed())
    return Fail(req.work_file + ":" + std::to_string(parser.error().line) + ": " +
                parser.error().message);
  if (parser.stopped() || (parser.pages() > 0 && !listing.Finish()))
    return Fail("no s'ha pogut desar el llistat " + listing.error());
  if (parser.pages() == 0) {
    KelprintResult r;
    r.exit_code = 0;
    r.message = std::string(kPrefix) + "el llistat no té cap pàgina; no s'ha escrit res";
    return r;
  }
  const std::string device = platform::TrimBlanks(parser.device());
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
  // A print queue.
  if (!IsQueueName(device)) {
    r.exit_code = 1;
    r.message = std::string(kPrefix) + "\"" + platform::Cp850ToUtf8(device) +
                "\" no pot ser el nom d'una cua d'impressió; " +
                PageCount(count) + " desades a " + path;
    return r;
  }
  std::string lp = FindProgram("lp", req.search_path);
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
  return req;
}

}  // namespace tools
