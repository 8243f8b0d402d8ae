// The pending-receipts report body: traversal, rows, totals, page headings.

#include "app/report.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <string_view>
#include <vector>

#include "app/catalogue.h"
#include "app/config/language.h"
#include "app/config/paths.h"
#include "app/config/settings.h"
#include "app/print_file.h"
#include "store/btrcall.h"
#include "store/record_files.h"
#include "store/record_layouts.h"
#include "values/date_text.h"
#include "values/dates.h"
#include "values/digits.h"
#include "values/masks.h"

namespace app {

namespace {

constexpr int16_t kPageLength = 66;
// The report breaks its own pages before the writer would: a heading or a
// total line needs room for what follows it.
constexpr int16_t kRowLimit = 59;
constexpr int16_t kBlockLimit = 58;
constexpr size_t kFirmNameWidth = 35;

using store::FieldText;
namespace estate = store::estate;
namespace owner = store::owner;
namespace unit = store::unit;
namespace receipt = store::receipt;

std::string PrintDate(const std::string& packed) {
  return values::FormatDate(packed, 0, "dma");
}

// A field of a record area in place. The layer keeps an area at least the
// record length long after every read, so only a file whose records are
// shorter than the layout needs the blank-padded copy in spare.
[[gnu::noinline]] std::string_view PaddedField(const std::string& area, store::RecordField f,
                                              std::string& spare) {
  spare = FieldText(area, f);
  return spare;
}

inline std::string_view Field(const std::string& area, store::RecordField f, std::string& spare) {
  if (f.pos + f.width <= area.size()) return std::string_view(area.data() + f.pos, f.width);
  return PaddedField(area, f, spare);
}

// True while key is not after last; both are keys of the receipts file.
bool ReceiptKeyNotAfter(std::string_view key, const std::string& last) {
  // Every receipt is compared: eight bytes compare as one big-endian number.
  static_assert(receipt::kKey.width == sizeof(uint64_t));
  if (key.size() != sizeof(uint64_t) || last.size() != sizeof(uint64_t)) return key <= last;
  uint64_t a = 0, b = 0;
  std::memcpy(&a, key.data(), sizeof a);
  std::memcpy(&b, last.data(), sizeof b);
  if constexpr (std::endian::native == std::endian::little) {
    a = __builtin_bswap64(a);
    b = __builtin_bswap64(b);
  }
  return a <= b;
}

// A short text kept in place (dates and amounts as printed).
struct ShortText {
  uint8_t size = 0;  // 0: none
  char bytes[15];
  std::string_view view() const { return std::string_view(bytes, size); }
  bool Set(const std::string& text) {
    if (text.empty() || text.size() > sizeof bytes) return false;
    size = static_cast<uint8_t>(text.size());
    std::memcpy(bytes, text.data(), text.size());
    return true;
  }
};

// The heading texts of a production, translated once for all its pages.
struct HeadingTexts {
  std::string page, title, columns[8], finca, estate_total, grand_total;
};

// Running values of one production.
class ReportWriter {
 public:
  explicit ReportWriter(const ReportParameters& p)
      : p_(p), rs_(ReportRunState()), firm_(FirmName()), texts_(Headings(p)) {}

  void Run();
  const ReportReadFailure& failure() const { return failure_; }

 private:
  // Whether a loop's status is a failure, which ends the production; end
  // of file and key not found only end the loop.
  bool Failed(int16_t status, std::string_view file) {
    if (status == 0 || status == store::kStEndOfFile || status == store::kStKeyNotFound)
      return false;
    failure_ = {std::string(file), status};
    return true;
  }
  void PageHeading();
  void EstateHeading();
  void ReceiptRow();
  void UnitTotals();
  void EstateTotals();
  void GrandTotal();
  static HeadingTexts Headings(const ReportParameters& p);
  // Dates repeat from row to row (issue dates fall on a few days a year):
  // each is formatted once per production.
  std::string_view DateText(store::RecordField f);
  // Amounts repeat too: a unit's rent month after month, totals of nothing.
  enum class Mask { kRow, kTotal };
  std::string_view AmountText(Mask mask, double amount);

  const ReportParameters& p_;
  ReportRun& rs_;
  ReportReadFailure failure_;
  std::string firm_;
  const HeadingTexts texts_;
  std::string owner_name_;
  int16_t page_ = 0;
  bool estate_heading_ = false, unit_heading_ = false;
  double unit_pending_ = 0, unit_returned_ = 0;
  double estate_pending_ = 0, estate_returned_ = 0;
  double grand_pending_ = 0, grand_returned_ = 0;
  // Packed date -> text, by a hash of the date; a collision formats again.
  // Slots are small, so that the table stays in the processor's caches.
  struct DateSlot {
    uint32_t packed = 0;
    ShortText text;
  };
  std::vector<DateSlot> dates_ = std::vector<DateSlot>(4096);
  // Per mask (row, total): amount -> text, by a hash of the amount.
  struct AmountSlot {
    uint64_t bits = 0;  // of the amount: -0 and 0 may print apart
    ShortText text;
  };
  std::vector<AmountSlot> row_amounts_ = std::vector<AmountSlot>(1024);
  std::vector<AmountSlot> total_amounts_ = std::vector<AmountSlot>(1024);
  std::string spare_, formatted_;  // a text too long for a slot
};

HeadingTexts ReportWriter::Headings(const ReportParameters& p) {
  HeadingTexts t;
  t.page = Translate("P\xB7GINA ");
  t.title = Translate("RELACI\xE0 DE PENDENTS DE VERTICAL EXISTENTS ENTRE ") +
            PrintDate(p.period_start) + Translate(" I ") + PrintDate(p.period_end);
  const char* columns[] = {"REBUT", "DEPART.", "TITULAR", "TEL\xD4" "FON",
                           "D.EXPED.", "D.COBR.", "  PENDENT", "   TORNAT"};
  for (size_t i = 0; i < std::size(columns); ++i) t.columns[i] = Translate(columns[i]);
  t.finca = Translate("FINCA ");
  t.estate_total = Translate("TOTAL FINCA ");
  t.grand_total = Translate("TOTAL GENERAL");
  return t;
}

std::string_view ReportWriter::AmountText(Mask mask, double amount) {
  uint64_t bits = 0;
  std::memcpy(&bits, &amount, sizeof bits);
  auto& table = mask == Mask::kRow ? row_amounts_ : total_amounts_;
  AmountSlot& slot = table[(bits * 0x9E3779B97F4A7C15ull) >> 54];
  if (slot.text.size != 0 && slot.bits == bits) return slot.text.view();
  formatted_ = values::FormatAmount(mask == Mask::kRow ? "Z,ZZZ,ZZ9" : "ZZ,ZZZ,ZZ9", amount);
  slot.bits = bits;
  if (!slot.text.Set(formatted_)) slot.text.size = 0;
  return formatted_;
}

std::string_view ReportWriter::DateText(store::RecordField f) {
  const std::string_view packed = Field(rs_.receipt, f, spare_);
  uint32_t key = 0;
  // A fixed-size copy is one load; a copy of a length known only at run
  // time goes byte by byte and stalls the load that follows.
  if (packed.size() >= sizeof key) std::memcpy(&key, packed.data(), sizeof key);
  else std::memcpy(&key, packed.data(), packed.size());
  DateSlot& slot = dates_[(key * 2654435761u) >> 20];
  if (slot.text.size != 0 && slot.packed == key) return slot.text.view();
  formatted_ = PrintDate(std::string(packed));
  slot.packed = key;
  if (!slot.text.Set(formatted_)) slot.text.size = 0;
  return formatted_;
}

void ReportWriter::Run() {
  int16_t st = 0;
  store::SeekByKey(estate::kFileId, 0, p_.first_estate, 1, st);
  while (st == 0 && FieldText(rs_.estate, estate::kNumber) <= p_.last_estate) {
    const std::string estate_number = FieldText(rs_.estate, estate::kNumber);
    estate_heading_ = false;
    estate_pending_ = estate_returned_ = 0;
    owner_name_.assign(owner::kName.width, ' ');
    int16_t owner_st = 0;
    store::SeekByKey(owner::kFileId, 0, FieldText(rs_.estate, estate::kOwner), 0,
                     owner_st);
    // A missing owner leaves the name blank; the area may hold another
    // owner's record from an earlier read.
    if (owner_st == 0) owner_name_ = FieldText(rs_.owner, owner::kName);
    if (Failed(owner_st, owner::kFileName)) return;

    int16_t unit_st = 0;
    store::SeekByKey(unit::kFileId, 0, estate_number, 1, unit_st);
    while (unit_st == 0 && FieldText(rs_.unit, unit::kEstate) == estate_number) {
      const std::string unit_key = FieldText(rs_.unit, unit::kKey);
      unit_heading_ = false;
      unit_pending_ = unit_returned_ = 0;
      const std::string last_receipt = unit_key + p_.period_end;
      int16_t receipt_st = 0;
      store::SeekByKey(receipt::kFileId, 0, unit_key + p_.period_start, 1,
                       receipt_st);
      while (receipt_st == 0 &&
             ReceiptKeyNotAfter(Field(rs_.receipt, receipt::kKey, spare_), last_receipt)) {
        char state = Field(rs_.receipt, receipt::kState, spare_)[0];
        if (state == 'P' || state == 'D') ReceiptRow();
        store::SkipRecords(receipt::kFileId, 1, receipt_st);
      }
      if (Failed(receipt_st, receipt::kFileName)) return;
      if (unit_heading_) UnitTotals();
      store::SkipRecords(unit::kFileId, 1, unit_st);
    }
    if (Failed(unit_st, unit::kFileName)) return;
    if (estate_heading_) EstateTotals();
    // The estates cursor was left on this estate; the nested reads used
    // files of their own.
    store::SkipRecords(estate::kFileId, 1, st);
  }
  if (Failed(st, estate::kFileName)) return;
  if (page_ > 0) GrandTotal();
}

void ReportWriter::PageHeading() {
  ++page_;
  PrintPage(kPageLength);
  PrintStyle("@e");
  PrintItem(1, firm_, 0);
  PrintAlign("D");
  PrintItem(85, texts_.page + values::FormatNumber("ZZZ9", page_), 2);
  int column = (96 - static_cast<int>(texts_.title.size())) / 2;
  // A translation longer than the page still starts at the first column.
  PrintItem(static_cast<int16_t>(std::max(column, 1)), texts_.title, 2);
  PrintStyle("q");
  const int16_t columns[] = {1, 11, 22, 53, 74, 85, 96, 105};
  for (size_t i = 0; i < std::size(columns); ++i)
    PrintItem(columns[i], texts_.columns[i], i + 1 == std::size(columns) ? 1 : 0);
  PrintItem(1, std::string(135, '-'), 0);
}

void ReportWriter::EstateHeading() {
  estate_heading_ = true;
  PrintItem(0, "", 2);
  if (PrintLineCount() > kBlockLimit) PageHeading();
  std::string digits = values::UnpackDigits(FieldText(rs_.estate, estate::kNumber));
  std::string name = FieldText(rs_.estate, estate::kHeading) == "P"
                         ? owner_name_
                         : FieldText(rs_.estate, estate::kName);
  PrintItem(1, texts_.finca + digits.substr(digits.size() - 3) + " - " + name, 1);
}

void ReportWriter::ReceiptRow() {
  if (page_ == 0) PageHeading();
  if (PrintLineCount() > kRowLimit) PageHeading();
  if (!estate_heading_) EstateHeading();
  PrintItem(0, "", 1);
  if (!unit_heading_) {
    unit_heading_ = true;
    std::string d = values::UnpackDigits(FieldText(rs_.receipt, receipt::kUnitKey));
    PrintItem(1, d.substr(1, 3) + d.substr(5, 3) + "V", 0);
    PrintItem(11, FieldText(rs_.unit, unit::kDesignation), 0);
    PrintItem(22, FieldText(rs_.unit, unit::kHolder), 0);
    PrintItem(53, FieldText(rs_.unit, unit::kTelephone), 0);
  }
  PrintItem(74, DateText(receipt::kIssued), 0);
  PrintItem(85, DateText(receipt::kCollected), 0);
  bool returned = Field(rs_.receipt, receipt::kState, spare_) == "D";
  double amount = store::FieldInt32(rs_.receipt, receipt::kAmount);
  PrintAlign("D");
  PrintItem(returned ? 105 : 96, AmountText(Mask::kRow, amount), 0);
  PrintAlign("E");
  if (returned)
    unit_returned_ += amount;
  else
    unit_pending_ += amount;
}

void ReportWriter::UnitTotals() {
  PrintAlign("D");
  PrintItem(115, AmountText(Mask::kTotal, unit_pending_), 0);
  PrintItem(126, AmountText(Mask::kTotal, unit_returned_), 1);
  estate_pending_ += unit_pending_;
  estate_returned_ += unit_returned_;
}

void ReportWriter::EstateTotals() {
  PrintItem(115, std::string(21, '-'), 1);
  if (PrintLineCount() > kBlockLimit) PageHeading();
  PrintAlign("N 113 \\.\\");
  PrintItem(75, texts_.estate_total, 0);
  PrintAlign("D");
  PrintItem(115, AmountText(Mask::kTotal, estate_pending_), 0);
  PrintItem(126, AmountText(Mask::kTotal, estate_returned_), 1);
  grand_pending_ += estate_pending_;
  grand_returned_ += estate_returned_;
}

void ReportWriter::GrandTotal() {
  PrintItem(115, std::string(21, '-'), 1);
  if (PrintLineCount() > kRowLimit) PageHeading();
  PrintItem(75, texts_.grand_total, 0);
  PrintAlign("D");
  PrintItem(115, AmountText(Mask::kTotal, grand_pending_), 0);
  PrintItem(126, AmountText(Mask::kTotal, grand_returned_), 1);
  PrintItem(75, std::string(61, '='), 1);
}

}  // namespace

ReportRun& ReportRunState() {
  static ReportRun state;
  return state;
}

void ResetReportRunState() { ReportRunState() = ReportRun{}; }

void OpenReportFiles() {
  ReportRun& rs = ReportRunState();
  const std::string& root = config::PathsState().root;
  int16_t st = 0;
  store::OpenRecordFile(owner::kFileId, root + std::string(owner::kFileName),
                        &rs.owner, st);
  store::OpenRecordFile(estate::kFileId, root + std::string(estate::kFileName),
                        &rs.estate, st);
  store::OpenRecordFile(unit::kFileId, root + std::string(unit::kFileName),
                        &rs.unit, st);
  store::OpenRecordFile(receipt::kFileId, root + std::string(receipt::kFileName),
                        &rs.receipt, st);
}

std::string FirmName() {
  std::string name =
      config::ReadSetting(config::MainSettingsFile(), "Usuari", "NomEmpresa");
  if (name.size() > kFirmNameWidth) name.resize(kFirmNameWidth);
  return name;
}

ReportReadFailure ProduceReport(const ReportParameters& parameters) {
  ReportWriter writer(parameters);
  writer.Run();
  return writer.failure();
}

std::string ReadFailureText(const ReportReadFailure& failure) {
  const std::string language = config::SettingsState().language;
  return config::ByLanguage<std::string>(language, "NO ES POT LLEGIR EL FITXER ",
                                         "NO SE PUEDE LEER EL FICHERO ",
                                         "NON SE PODE LER O FICHEIRO ",
                                         "NON SE P\xE3T L\x90GER ETH FICH\xD4R ") +
         failure.file + " (" + std::to_string(failure.status) + ")" +
         config::ByLanguage<std::string>(language, ": EL LLISTAT NO S'IMPRIMEIX",
                                         ": EL LISTADO NO SE IMPRIME",
                                         ": A LISTAXE NON SE IMPRIME",
                                         ": ETH LISTAT NON S'IMPRIM\xD6S");
}

ReportParameters ParametersFromTexts(const std::string& start,
                                     const std::string& end,
                                     const std::string& first_estate,
                                     const std::string& last_estate) {
  ReportParameters p;
  p.period_start = values::ParseDateText(start);
  p.period_end = values::ParseDateText(end);
  p.first_estate = values::PackCodeKey("0" + first_estate);
  p.last_estate = values::PackCodeKey("0" + last_estate);
  return p;
}

bool ParametersInverted(const ReportParameters& p) {
  return p.first_estate > p.last_estate || p.period_start > p.period_end;
}

}  // namespace app
