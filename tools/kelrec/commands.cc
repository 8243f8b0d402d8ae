// Command-line parsing and help of kelrec.
#include "tools/kelrec/commands.h"

#include <map>

#include "tools/kelrec/demo.h"
#include "tools/kelrec/installation.h"
#include "store/engine_route.h"
#include "tools/kelrec/layouts.h"
#include "tools/kelrec/server.h"
#include "tools/kelrec/transfer.h"

namespace tools {

namespace {

const char kOverview[] =
    "kelrec - data tool for installations of the pending-receipts report\n"
    "\n"
    "usage:\n"
    "  kelrec init DIR [--db URI [--schema NAME]]\n"
    "  kelrec import DIR KIND FILE.csv [--replace]\n"
    "  kelrec export DIR KIND\n"
    "  kelrec demo DIR [--estates N] [--seed S] [--years Y] [--units U]\n"
    "                  [--unpaid PCT] [--db URI [--schema NAME]]\n"
    "  kelrec migrate DIR URI [--schema NAME]\n"
    "  kelrec help [COMMAND]\n"
    "\n"
    "KIND is one of owners, estates, units, receipts.\n"
    "Exit codes: 0 ok, 1 bad data, 2 usage.\n"
    "Run \"kelrec help COMMAND\" for the details of one command.\n";

const std::map<std::string, std::string>& CommandHelp() {
  static const std::map<std::string, std::string> help = {
      {"init",
       "kelrec init DIR [--db URI [--schema NAME]]\n"
       "  Makes DIR (new or empty) an installation: the folders FORMS, LOCALE,\n"
       "  ddf, DADES and AJUDA and the settings file Tavo.ini, copied from the\n"
       "  installation template: install/ beside the program, or\n"
       "  ../share/kel-pendents/install from its folder (/usr/share/kel-pendents/\n"
       "  install when installed from the package). The record files in DADES\n"
       "  are created empty from ddf/ when first opened.\n"
       "  With --db the record files live on a PostgreSQL server instead:\n"
       "  URI is a libpq connection URI (postgresql://host/database?...)\n"
       "  without a password (libpq's password file, service file or\n"
       "  environment give it), NAME the schema of this office (default kel).\n"
       "  Tavo.ini gets [Dades] Motor and Esquema, and the record files are\n"
       "  made on the server; those already there are kept, so a second\n"
       "  machine of the same office gets the same data.\n"},
      {"import",
       "kelrec import DIR KIND FILE.csv [--replace]\n"
       "  Adds the rows of a UTF-8 CSV file (header row first) to the record\n"
       "  file of KIND in the installation DIR; --replace empties it first.\n"
       "  Columns:\n"
       "    owners    owner,name\n"
       "    estates   estate,owner,name,heading\n"
       "    units     estate,unit,holder,designation,telephone\n"
       "    receipts  estate,unit,issued,collected,amount,state\n"
       "  Numbers 0-9999; dates YYYY-MM-DD, empty for none; amounts in euros\n"
       "  with \".\" as decimal point (stored as whole cents); texts must fit\n"
       "  their field (name, holder 30, designation 10, telephone 20; heading\n"
       "  and state one character) and code page 850. Fields in double quotes\n"
       "  may hold commas; a quote inside is doubled.\n"
       "  Every row is checked first: a bad row (column count, number, date,\n"
       "  amount, text, or a key already present for owners, estates and\n"
       "  units) is reported as FILE:LINE: what is wrong, and then nothing of\n"
       "  the import is written. Otherwise all rows go in one transaction.\n"
       "  On a terminal, a progress line shows on standard error.\n"},
      {"export",
       "kelrec export DIR KIND\n"
       "  Writes the record file of KIND as CSV (the columns of import) to\n"
       "  standard output in key order. Importing an export with --replace\n"
       "  gives the same file back.\n"},
      {"demo",
       "kelrec demo DIR [--estates N] [--seed S] [--years Y] [--units U]\n"
       "                [--unpaid PCT] [--db URI [--schema NAME]]\n"
       "  Makes an installation as init does and fills it with demo data:\n"
       "  N estates (default 300, at most 999) with their owners (a few\n"
       "  missing), flats and shops with holders and telephones, and Y years\n"
       "  (default 3, up to the current month) of monthly receipts in the\n"
       "  states P pending, D returned, C collected, A cancelled and F in\n"
       "  instalments. The same seed (default 1) gives the same data.\n"
       "  Larger installations: --units U gives each estate about U units\n"
       "  (1..200) and --unpaid PCT leaves that share of the receipts pending\n"
       "  or returned (1..100).\n"
       "  --db and --schema put the record files on a server, as for init.\n"},
      {"migrate",
       "kelrec migrate DIR URI [--schema NAME]\n"
       "  Copies every record file in DIR/DADES to the PostgreSQL server URI\n"
       "  (schema NAME, default kel), each in one transaction, checks that\n"
       "  every record arrived, and only then switches DIR's Tavo.ini to the\n"
       "  server. The files are held alone while they are copied: nobody may\n"
       "  be using the installation. They stay in DADES as they were.\n"},
      {"help",
       "kelrec help [COMMAND]\n"
       "  Shows the overview, or the details of one command.\n"},
  };
  return help;
}

int Usage(std::ostream& err, const std::string& problem) {
  err << "kelrec: " << problem << "\n" << kOverview;
  return kExitUsage;
}

bool ParseCount(const std::string& text, int lo, int hi, int& value) {
  if (text.empty() || text.size() > 9) return false;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
  }
  value = std::stoi(text);
  return value >= lo && value <= hi;
}

struct ServerOptions {
  std::string uri;
  std::string schema = store::engine::kDefaultSchema;
};

// Takes opt's value when opt is --db or --schema; false for any other.
bool ServerOption(const std::string& opt, const std::string& value, ServerOptions& server) {
  if (opt == "--db") server.uri = value;
  else if (opt == "--schema") server.schema = value;
  else return false;
  return true;
}

// --db URI and --schema NAME from args[first] on; nothing else may follow.
bool ParseServerOptions(const std::vector<std::string>& args, size_t first,
                        ServerOptions& server, std::ostream& err) {
  for (size_t i = first; i < args.size(); i += 2) {
    if (i + 1 >= args.size()) return false;
    if (!ServerOption(args[i], args[i + 1], server)) {
      err << "kelrec: unknown option " << args[i] << "\n";
      return false;
    }
  }
  return true;
}

bool ServerUsable(const ServerOptions& server, std::ostream& err) {
  std::string error;
  if (CheckServer(server.uri, server.schema, error)) return true;
  err << "kelrec: " << error << "\n";
  return false;
}

int RunInit(const std::vector<std::string>& args, std::ostream& err) {
  ServerOptions server;
  if (args.size() < 2 || !ParseServerOptions(args, 2, server, err)) {
    return Usage(err, "init takes DIR [--db URI [--schema NAME]]");
  }
  if (!server.uri.empty() && !ServerUsable(server, err)) return kExitBadData;
  std::string error;
  if (!MakeInstallation(args[1], error)) {
    err << "kelrec: " << error << "\n";
    return kExitBadData;
  }
  if (server.uri.empty()) return kExitOk;
  const int rc = UseServer(args[1], server.uri, server.schema, err);
  // The folder was new or empty: a half-made installation does not stay.
  if (rc != kExitOk) RemoveInstallation(args[1]);
  return rc;
}

int RunMigrate(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  ServerOptions server;
  if (args.size() < 3 || !ParseServerOptions(args, 3, server, err)) {
    return Usage(err, "migrate takes DIR URI [--schema NAME]");
  }
  server.uri = args[2];
  if (!ServerUsable(server, err)) return kExitBadData;
  return MigrateToServer(args[1], server.uri, server.schema, out, err);
}

bool ParseKind(const std::string& text, Kind& kind, std::ostream& err) {
  if (KindFromName(text, kind)) return true;
  Usage(err, "unknown kind \"" + text + "\" (owners, estates, units, receipts)");
  return false;
}

}  // namespace

int RunKelrec(const std::vector<std::string>& args, std::ostream& out,
              std::ostream& err, bool progress) {
  if (args.empty()) return Usage(err, "no command given");
  const std::string& cmd = args[0];
  size_t n = args.size();
  if (cmd == "--help" || cmd == "-h" || (cmd == "help" && n == 1)) {
    out << kOverview;
    return kExitOk;
  }
  if (cmd == "help") {
    auto it = CommandHelp().find(args[1]);
    if (n != 2 || it == CommandHelp().end()) {
      return Usage(err, "no help for \"" + args[1] + "\"");
    }
    out << it->second;
    return kExitOk;
  }
  if (cmd == "init") return RunInit(args, err);
  if (cmd == "migrate") return RunMigrate(args, out, err);
  if (cmd == "import") {
    bool replace = n == 5 && args[4] == "--replace";
    if (n != 4 && !replace) {
      return Usage(err, "import takes DIR KIND FILE.csv [--replace]");
    }
    Kind kind;
    if (!ParseKind(args[2], kind, err)) return kExitUsage;
    return ImportCsv(args[1], kind, args[3], replace, err, progress ? &err : nullptr);
  }
  if (cmd == "export") {
    if (n != 3) return Usage(err, "export takes DIR KIND");
    Kind kind;
    if (!ParseKind(args[2], kind, err)) return kExitUsage;
    return ExportCsv(args[1], kind, out, err);
  }
  if (cmd == "demo") {
    if (n < 2 || args[1].rfind("--", 0) == 0) return Usage(err, "demo takes DIR");
    DemoOptions options;
    ServerOptions server;
    for (size_t i = 2; i < n; i += 2) {
      if (i + 1 >= n) return Usage(err, args[i] + " needs a value");
      int value = 0;
      const std::string& opt = args[i];
      if (opt == "--estates" && ParseCount(args[i + 1], 1, 999, value)) {
        options.estates = value;
      } else if (opt == "--years" && ParseCount(args[i + 1], 1, 20, value)) {
        options.years = value;
      } else if (opt == "--units" && ParseCount(args[i + 1], 1, 200, value)) {
        options.units = value;
      } else if (opt == "--unpaid" && ParseCount(args[i + 1], 1, 100, value)) {
        options.unpaid = value;
      } else if (opt == "--seed" && ParseCount(args[i + 1], 0, 999999999, value)) {
        options.seed = static_cast<uint32_t>(value);
      } else if (!ServerOption(opt, args[i + 1], server)) {
        return Usage(err, "bad option " + opt + " " + args[i + 1]);
      }
    }
    if (!server.uri.empty() && !ServerUsable(server, err)) return kExitBadData;
    options.server_uri = server.uri;
    options.schema = server.schema;
    return MakeDemo(args[1], options, out, err);
  }
  if (cmd == "ddf") {
    if (n != 2) return Usage(err, "ddf takes one folder");
    std::string error;
    if (!WriteDictionaries(args[1], error)) {
      err << "kelrec: " << error << "\n";
      return kExitBadData;
    }
    return kExitOk;
  }
  return Usage(err, "unknown command \"" + cmd + "\"");
}

}  // namespace tools
