// Demo installation: realistic, reproducible owners, estates, units and
// receipts.
#include "tools/kelrec/demo.h"

#include <algorithm>

#include "platform/console.h"
#include "platform/system.h"
#include "tools/kelrec/installation.h"
#include "tools/kelrec/layouts.h"
#include "tools/kelrec/server.h"
#include "tools/kelrec/transfer.h"

namespace tools {

namespace {

using store::PutField;
using store::PutInt32;

// A small generator of our own so that the data do not depend on the
// standard library's distributions.
class Random {
 public:
  // The seed is scrambled so that nearby seeds start far apart in the
  // sequence (neighbouring starts would fall into step again).
  explicit Random(uint64_t seed) : state_(Mix(seed + 0x2545F4914F6CDD1Dull)) {}
  uint64_t Next() { return Mix(state_ += 0x9E3779B97F4A7C15ull); }
  // 0 .. n-1
  int Below(int n) { return static_cast<int>(Next() % static_cast<uint64_t>(n)); }
  int Between(int lo, int hi) { return lo + Below(hi - lo + 1); }
  bool Percent(int p) { return Below(100) < p; }
  template <typename T, size_t N>
  const T& Pick(const T (&items)[N]) {
    return items[Below(static_cast<int>(N))];
  }

 private:
  static uint64_t Mix(uint64_t z) {
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  uint64_t state_;
};

const char* const kFirstNames[] = {
    "Jordi", "Montserrat", "Josep", "Núria", "Joan", "Mercè", "Pere", "Anna",
    "Marc", "Laia", "Xavier", "Marta", "Francesc", "Rosa", "Albert", "Carme",
    "Lluís", "Meritxell", "Oriol", "Roser", "Enric", "Glòria", "Ramon",
    "Teresa", "Antoni", "Dolors", "Miquel", "Assumpta", "Pau", "Neus",
    "Quim", "Èlia", "Ferran", "Maria", "Jaume", "Pilar", "Àlex", "Sílvia",
    "Bernat", "Eulàlia", "Arnau", "Cristina", "Ignasi", "Raquel"};
const char* const kSurnames[] = {
    "Puig", "Vila", "Soler", "Ferrer", "Serra", "Font", "Vidal", "Roca",
    "Costa", "Casas", "Pujol", "Prat", "Bosch", "Sala", "Torres", "Mas",
    "Martí", "Riera", "Camps", "Gràcia", "Coll", "Rovira", "Bonet", "Sabaté",
    "Farré", "Vendrell", "Castells", "Comas", "Planas", "Massaguer", "Güell",
    "Miró", "Espinàs", "Canals", "Batlle", "Balcells", "Oliver", "Noguera",
    "Codina", "Térmens", "Ribas", "Cortés", "Sunyer", "Figueres"};
const char* const kStreets[] = {
    "C. de Mallorca", "C. de Provença", "C. del Rosselló", "C. d'Aragó",
    "Pg. de Gràcia", "Av. Diagonal", "Rbla. de Catalunya", "C. de Balmes",
    "C. de Muntaner", "C. d'Aribau", "C. del Consell de Cent", "C. de València",
    "C. de Girona", "C. de Bailèn", "C. de Sant Antoni Maria Claret",
    "C. de Còrsega", "C. de Sardenya", "C. de la Indústria", "C. de Pujades",
    "Via Augusta", "C. de Verdi", "C. de l'Escorial", "Trav. de Gràcia",
    "C. de Sants", "C. de Sant Pere Més Alt", "Pl. de la Vila", "C. Major",
    "C. del Comte Borrell", "C. de Calàbria", "C. de Viladomat",
    "Ctra. de Sant Cugat", "C. de Pere IV", "C. de Llull", "Av. Meridiana",
    "C. de la Marina", "C. de Lepant", "C. de Nàpols", "C. de Roger de Llúria"};
const char* const kCompanies[] = {
    "Inversions %s, S.L.", "Immobiliària %s, S.A.", "Patrimonial %s, S.L.",
    "Hereus de %s"};
const char* const kOrdinals[] = {"1r", "2n", "3r", "4t", "5è", "6è", "7è", "8è"};

// Puts UTF-8 text into a text field (the lists are all representable in
// code page 850), cut at the field's width without trailing blanks.
void PutText(std::string& record, store::RecordField field, const std::string& utf8) {
  std::string cp850 = platform::Utf8ToCp850(utf8);
  if (cp850.size() > field.width) cp850.resize(field.width);
  while (!cp850.empty() && cp850.back() == ' ') cp850.pop_back();
  store::PutField(record, field, cp850);
}

std::string PersonName(Random& rnd) {
  std::string first = rnd.Pick(kFirstNames);
  std::string name = std::string(rnd.Pick(kSurnames)) + " " + rnd.Pick(kSurnames) +
                     ", " + first;
  return name;
}

std::string OwnerName(Random& rnd) {
  if (rnd.Percent(12)) {
    std::string pattern = rnd.Pick(kCompanies);
    std::string surname = rnd.Pick(kSurnames);
    return pattern.replace(pattern.find("%s"), 2, surname);
  }
  return PersonName(rnd);
}

std::string Telephone(Random& rnd) {
  auto digits = [&rnd](int n) {
    std::string s;
    for (int i = 0; i < n; ++i) s += static_cast<char>('0' + rnd.Below(10));
    return s;
  };
  if (rnd.Percent(55)) {
    return "6" + digits(2) + " " + digits(2) + " " + digits(2) + " " + digits(2);
  }
  return "93 " + digits(3) + " " + digits(2) + " " + digits(2);
}

// Flat and shop names of one estate, ground floor first.
std::vector<std::string> UnitDesignations(Random& rnd) {
  std::vector<std::string> out;
  int shops = rnd.Between(0, 2);
  for (int i = 1; i <= shops; ++i) out.push_back("Local " + std::to_string(i));
  int floors = rnd.Between(1, 6);
  int doors = rnd.Between(1, 4);
  if (rnd.Percent(30)) {
    for (int d = 1; d <= std::min(doors, 2); ++d) {
      out.push_back("Bxs " + std::to_string(d) + "a");
    }
  }
  for (int f = 0; f < floors; ++f) {
    for (int d = 1; d <= doors; ++d) {
      out.push_back(std::string(kOrdinals[f]) + " " + std::to_string(d) + "a");
    }
  }
  if (rnd.Percent(45)) out.push_back("Àtic");
  if (rnd.Percent(10)) out.push_back("Sobreàtic");
  return out;
}

// Catalan floor ordinals: 1r, 2n, 3r, 4t, then 5è, 6è, ... 12è.
std::string Ordinal(int floor) {
  if (floor < static_cast<int>(std::size(kOrdinals))) return kOrdinals[floor];
  return std::to_string(floor + 1) + "è";
}

// About n units: a shop or two, then floors of four flats.
std::vector<std::string> UnitDesignationsAbout(Random& rnd, int n) {
  std::vector<std::string> out;
  int count = rnd.Between(std::max(1, n / 2), n + n / 2);
  int shops = std::min(count - 1, rnd.Between(0, 2));
  for (int i = 1; i <= shops; ++i) out.push_back("Local " + std::to_string(i));
  for (int i = 0; i < count - shops; ++i)
    out.push_back(Ordinal(i / 4) + " " + std::to_string(i % 4 + 1) + "a");
  return out;
}

// The state of a month's receipt (roll 0-99): mostly collected, the last
// months more often pending, a debtor's last eight unpaid. When a share is
// asked for, that share is unpaid, three in four of those pending.
char ReceiptState(int roll, size_t from_end, bool debtor, int unpaid) {
  if (unpaid > 0) {
    if (roll < unpaid * 3 / 4) return 'P';
    if (roll < unpaid) return 'D';
    return roll < unpaid + 2 ? 'A' : 'C';
  }
  if (debtor && from_end < 8) return roll < 80 ? 'P' : 'D';
  if (from_end == 0) return roll < 55 ? 'P' : roll < 60 ? 'D' : 'C';
  if (from_end <= 2) return roll < 15 ? 'P' : roll < 20 ? 'D' : 'C';
  return roll < 1 ? 'P' : roll < 4 ? 'D' : roll < 6 ? 'A' : roll < 8 ? 'F' : 'C';
}

struct Month {
  int year, month;
};

}  // namespace

DemoData MakeDemoData(const DemoOptions& options) {
  DemoData data;
  Random rnd(options.seed);
  int end_year = options.end_year, end_month = options.end_month;
  if (end_year == 0) {
    platform::LocalTime now = platform::Now();
    end_year = now.year;
    end_month = now.month;
  }
  std::vector<Month> months;
  for (int i = options.years * 12 - 1; i >= 0; --i) {
    int index = end_year * 12 + (end_month - 1) - i;
    months.push_back({index / 12, index % 12 + 1});
  }

  // Owners: about one for every two estates. A few numbers are left out, so
  // some estates name an owner the file does not hold.
  auto owner_missing = [](int n) { return n % 17 == 5; };
  int owner_count = std::max(3, options.estates / 2);
  for (int n = 1; n <= owner_count; ++n) {
    std::string name = OwnerName(rnd);
    if (owner_missing(n)) continue;
    std::string r = BlankRecord(Kind::kOwners);
    PutField(r, owner::kNumber, PackNumber(n, 4));
    PutText(r, owner::kName, name);
    data.owners.push_back(r);
  }

  for (int e = 1; e <= options.estates; ++e) {
    std::string r = BlankRecord(Kind::kEstates);
    PutField(r, estate::kNumber, PackNumber(e, 4));
    int owner = rnd.Between(1, owner_count);
    if (e % 23 == 11) owner = 5;  // one of the owners left out
    PutField(r, estate::kOwner, PackNumber(owner, 4));
    std::string street = std::string(rnd.Pick(kStreets)) + ", " +
                         std::to_string(rnd.Between(1, 420));
    PutText(r, estate::kName, street);
    PutField(r, estate::kHeading, rnd.Percent(8) ? "P" : " ");
    data.estates.push_back(r);

    std::vector<std::string> designations = options.units > 0
                                                ? UnitDesignationsAbout(rnd, options.units)
                                                : UnitDesignations(rnd);
    for (size_t u = 0; u < designations.size(); ++u) {
      int unit = static_cast<int>(u) + 1;
      std::string unit_key = PackNumber(e, 4) + PackNumber(unit, 4);
      std::string ur = BlankRecord(Kind::kUnits);
      PutField(ur, unit::kKey, unit_key);
      PutText(ur, unit::kHolder, PersonName(rnd));
      PutText(ur, unit::kDesignation, designations[u]);
      PutText(ur, unit::kTelephone, Telephone(rnd));
      data.units.push_back(ur);

      bool shop = designations[u].rfind("Local", 0) == 0;
      int32_t rent = shop ? rnd.Between(800, 2500) * 100 + rnd.Below(100)
                          : rnd.Between(450, 1150) * 100 + rnd.Below(100);
      bool debtor = rnd.Percent(6);      // leaves a run of receipts unpaid
      bool vacant_start = rnd.Percent(5);  // let only from part-way through
      int first_month = vacant_start ? rnd.Below(static_cast<int>(months.size())) : 0;
      for (size_t m = static_cast<size_t>(first_month); m < months.size(); ++m) {
        const Month& month = months[m];
        if (month.month == 1 && m > 0) rent = rent * 102 / 100;  // yearly update
        size_t from_end = months.size() - 1 - m;
        const char state = ReceiptState(rnd.Below(100), from_end, debtor, options.unpaid);
        std::string rr = BlankRecord(Kind::kReceipts);
        PutField(rr, receipt::kUnitKey, unit_key);
        PutField(rr, receipt::kIssued, PackDate(month.year, month.month, 1));
        if (state != 'P') {
          PutField(rr, receipt::kCollected,
                   PackDate(month.year, month.month, rnd.Between(2, 12)));
        }
        PutInt32(rr, receipt::kAmount, rent);
        PutField(rr, receipt::kState, std::string(1, state));
        data.receipts.push_back(rr);
        // Now and then a second receipt of the same day (works, a rate).
        if (rnd.Percent(2)) {
          std::string extra = rr;
          PutInt32(extra, receipt::kAmount, rnd.Between(30, 400) * 100 + rnd.Below(100));
          bool pending = rnd.Percent(50);
          PutField(extra, receipt::kState, pending ? "P" : "C");
          PutField(extra, receipt::kCollected,
                   pending ? PackDate(0, 0, 0)
                           : PackDate(month.year, month.month, rnd.Between(2, 12)));
          data.receipts.push_back(extra);
        }
      }
    }
  }
  return data;
}

int MakeDemo(const std::string& dir, const DemoOptions& options,
             std::ostream& out, std::ostream& err) {
  std::string error;
  if (!MakeInstallation(dir, error)) {
    err << "kelrec: " << error << "\n";
    return kExitBadData;
  }
  if (!SetFirmName(dir, "Administracions Demo, S.L.", error)) {
    err << "kelrec: " << error << "\n";
    return kExitBadData;
  }
  if (!options.server_uri.empty()) {
    if (int rc = UseServer(dir, options.server_uri, options.schema, err); rc != kExitOk) return rc;
  }
  DemoData data = MakeDemoData(options);
  const std::pair<Kind, const std::vector<std::string>*> files[] = {
      {Kind::kOwners, &data.owners},
      {Kind::kEstates, &data.estates},
      {Kind::kUnits, &data.units},
      {Kind::kReceipts, &data.receipts}};
  for (const auto& [kind, records] : files) {
    if (int rc = WriteRecords(dir, kind, *records, err); rc != kExitOk) return rc;
  }
  out << dir << ": " << data.owners.size() << " owners, " << data.estates.size()
      << " estates, " << data.units.size() << " units, " << data.receipts.size()
      << " receipts\n";
  return kExitOk;
}

}  // namespace tools
