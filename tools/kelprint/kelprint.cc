// The print program's run: work file -> document -> layout -> device.

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

namespace tools {

namespace {

const char kPrefix[] = "KELPRINT: ";

std::string PageCount(int n) {
  return std::to_string(n) + (n == 1 ? " pàgina" : " pàgines");
}

KelprintResult Fail(std::string message) {
  KelprintResult r;
  r.exit_code = 1;
  r.message = kPrefix + std::move(message);
  return r;
}

// Writes the listing into a new file of the listings folder.
bool WriteListing(const KelprintRequest& req, const std::vector<LaidPage>& pages,
                  bool as_text, std::string& path, std::string& error) {
  if (!EnsureDirectory(req.listing_dir, error)) return false;
  ListingFile file;
  std::string base = ListingBaseName(req.program, req.when);
  if (!file.Create(req.listing_dir, base, as_text ? ".txt" : ".pdf", error))
    return false;
  bool ok;
  if (as_text) {
    std::string text = RenderText(pages);
    ok = file.Write(text.data(), text.size());
    if (!ok) error = "no s'ha pogut escriure";
  } else {
    PdfInfo info{req.program, "KELPRINT"};
    ok = RenderPdf(
        pages, info,
        [&file](const unsigned char* data, size_t size) {
          return file.Write(data, size);
        },
        error);
  }
  if (ok && !file.Commit()) {
    ok = false;
    error = "no s'ha pogut escriure";
  }
  if (!ok) {
    error = file.path() + ": " + error;
    return false;
  }
  path = AbsolutePath(file.path());
  return true;
}

}  // namespace

KelprintResult RunKelprint(const KelprintRequest& req) {
  std::string bytes, error;
  if (!ReadWorkFileBytes(req.work_file, bytes, error))
    return Fail("no es pot llegir el fitxer de treball " + req.work_file + ": " +
                error);
  PrintDocument doc;
  ParseError perr;
  if (!ParseWorkFile(bytes, doc, perr))
    return Fail(req.work_file + ":" + std::to_string(perr.line) + ": " +
                perr.message);
  if (doc.pages.empty()) {
    KelprintResult r;
    r.exit_code = 0;
    r.message = std::string(kPrefix) + "el llistat no té cap pàgina; no s'ha escrit res";
    return r;
  }
  std::vector<LaidPage> pages = LayOutDocument(doc);
  const int count = static_cast<int>(pages.size());
  const std::string device = platform::TrimBlanks(doc.device);
  const std::string kind = platform::UpperAscii(device);
  const bool as_text = kind == "TXT";

  std::string path;
  if (!WriteListing(req, pages, as_text, path, error))
    return Fail("no s'ha pogut desar el llistat " + error);

  KelprintResult r;
  r.pages = count;
  r.output = path;
  r.exit_code = 0;
  if (kind.empty() || kind == "PDF" || as_text) {
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
  return req;
}

}  // namespace tools
