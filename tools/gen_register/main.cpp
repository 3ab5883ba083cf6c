// gen_register: writes a register of beneficiaries with made-up people, for benchmarks, tests
// and trying the program out.
//
//   gen_register --rows N --seed S --kind med|dent [--upper] OUT.dbf
//
// --upper writes surnames, names and patronymics in capitals, as registers typed on older
// systems hold them (and as the program's search, which folds the typed text to capitals,
// expects). Capital folding leaves the letter ё alone, so "Фёдоров" becomes "ФёДОРОВ".
//
// The table is a level-4 table with LDID 0x65 (text in code page 866):
//   FAMIL C25, IMJA C20, OTCH C25, PYNKAR C12, DOC_SER C10, DOC_NUM C10, SUMPAY N12.2,
//   then RECEPT C15, DATERCPT D8 (medicines) or NARYD C15, DATENRD D8 (dental prosthetics).
// The same arguments always give the same bytes apart from the date stamp in the header:
// the random numbers come from a fixed generator (splitmix64), not from the standard
// library's distributions, whose results differ between implementations.
//
// What the rows exercise: surnames that share prefixes (Иван-ов/-ова/-енко/-ицкий), Ё and ё,
// a surname with a leading space, amounts that are zero, negative or blank, blank dates and
// numbers, and about one row in sixty marked deleted.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <iostream>
#include <string>
#include <string_view>
#include <vector>

#include "core/code_page.h"
#include "core/date_time.h"
#include "dbf/dbf_file.h"
#include "dbf/field_codec.h"

namespace {

using lgoty::data::TFieldType;
namespace dbf = lgoty::dbf;

constexpr uint8_t kRussianDosLdid = 0x65;
constexpr int kCodePage = 866;

class Random {
 public:
  explicit Random(uint64_t seed) : state_(seed) {}
  uint64_t Next() {
    uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  // 0 .. n-1 (n > 0).
  uint32_t Below(uint32_t n) { return static_cast<uint32_t>(Next() % n); }
  bool Chance(uint32_t one_in) { return Below(one_in) == 0; }
  template <size_t N>
  std::string_view Pick(const std::string_view (&items)[N]) {
    return items[Below(static_cast<uint32_t>(N))];
  }

 private:
  uint64_t state_;
};

constexpr std::string_view kSurnameStems[] = {
    "Иван", "Петр", "Сидор", "Смирн", "Кузнец", "Поп", "Сокол", "Лебед", "Козл", "Новик",
    "Мороз", "Волк", "Алексе", "Фёдор", "Семён", "Ерш", "Ёлк", "Орл", "Белоус", "Черн",
    "Жук", "Щук", "Яковл", "Гром", "Зайц", "Тарас"};
constexpr std::string_view kMaleEndings[] = {"ов", "ев", "енко", "ицкий", "ин", ""};
constexpr std::string_view kFemaleEndings[] = {"ова", "ева", "енко", "ицкая", "ина", "а"};
constexpr std::string_view kMaleNames[] = {"Иван", "Пётр", "Сергей", "Алексей", "Николай",
                                           "Фёдор", "Семён", "Артём", "Михаил", "Олег"};
constexpr std::string_view kFemaleNames[] = {"Мария", "Анна", "Алёна", "Ольга", "Наталья",
                                             "Татьяна", "Ирина", "Дарья", "Фёкла", "Елена"};
constexpr std::string_view kPatronymicStems[] = {"Иванов", "Петров", "Сергеев", "Алексеев",
                                                 "Николаев", "Фёдоров", "Семёнов", "Артёмов"};
constexpr std::string_view kDocSeries[] = {"II-МЮ", "IV-АБ", "4501", "4603", "V-ЕЁ", "I-РК"};
constexpr std::string_view kPrescriptionSeries[] = {"ЛС", "ВЯ", "НН", "АГ", "ЛП"};
constexpr std::string_view kOrderSeries[] = {"НЗ", "ЗП", "ОР"};

struct Table {
  dbf::TDbfFile file;
  std::vector<std::byte> record;

  void Put(int field, std::string_view utf8) {
    const dbf::TDbfFieldDef& def = file.FieldDefs()[field];
    dbf::TFieldValue v;
    v.text = lgoty::core::FromUtf8(kCodePage, utf8);
    dbf::SetFieldData(file.FieldDefs(), def, TFieldType::ftString, record, &v);
  }
  void PutAmount(int field, int64_t kopecks, bool blank) {
    const dbf::TDbfFieldDef& def = file.FieldDefs()[field];
    if (blank) {
      dbf::SetFieldData(file.FieldDefs(), def, TFieldType::ftFloat, record, nullptr);
      return;
    }
    // Written as text so that the amount is exact to the kopeck.
    char buf[32];
    const uint64_t magnitude = static_cast<uint64_t>(kopecks < 0 ? -kopecks : kopecks);
    std::snprintf(buf, sizeof buf, "%s%llu.%02llu", kopecks < 0 ? "-" : "",
                  static_cast<unsigned long long>(magnitude / 100),
                  static_cast<unsigned long long>(magnitude % 100));
    const std::string text(buf);
    const size_t width = static_cast<size_t>(def.Size());
    const std::string padded = std::string(width - text.size(), ' ') + text;
    for (size_t i = 0; i < width; ++i)
      record[static_cast<size_t>(def.Offset()) + i] = static_cast<std::byte>(padded[i]);
  }
  void PutDate(int field, int year, int month, int day, bool blank) {
    const dbf::TDbfFieldDef& def = file.FieldDefs()[field];
    if (blank) {
      dbf::SetFieldData(file.FieldDefs(), def, TFieldType::ftDate, record, nullptr);
      return;
    }
    dbf::TFieldValue v;
    v.real = lgoty::core::EncodeDate(year, month, day);
    dbf::SetFieldData(file.FieldDefs(), def, TFieldType::ftDate, record, &v);
  }
};

// A-Z and а-я to capitals; ё and everything else unchanged.
std::string Capitals(std::string_view utf8) {
  std::string out(utf8);
  for (size_t i = 0; i < out.size(); ++i) {
    const auto c = static_cast<unsigned char>(out[i]);
    if (c >= 'a' && c <= 'z') {
      out[i] = static_cast<char>(c - 0x20);
    } else if (c == 0xD0 && i + 1 < out.size()) {
      const auto next = static_cast<unsigned char>(out[i + 1]);
      if (next >= 0xB0 && next <= 0xBF) out[i + 1] = static_cast<char>(next - 0x20);
      ++i;
    } else if (c == 0xD1 && i + 1 < out.size()) {
      const auto next = static_cast<unsigned char>(out[i + 1]);
      if (next >= 0x80 && next <= 0x8F) {
        out[i] = static_cast<char>(0xD0);
        out[i + 1] = static_cast<char>(next + 0x20);
      } else if (next == 0x91) {  // ё (D1 91) -> Ё (D0 81)
        out[i] = static_cast<char>(0xD0);
        out[i + 1] = static_cast<char>(0x81);
      }
      ++i;
    }
  }
  return out;
}

int Usage() {
  std::cerr << "usage: gen_register --rows N --seed S --kind med|dent [--upper] OUT.dbf\n";
  return 2;
}

int Generate(uint32_t rows, uint64_t seed, bool dental, bool upper, const std::string& out) {
  auto name = [upper](std::string_view text) { return upper ? Capitals(text) : std::string(text); };
  dbf::TDbfFieldDefs defs(dbf::kTableLevel4);
  struct Layout {
    const char* name;
    char letter;
    int length;
    int decimals;
  };
  const Layout specs[] = {{"FAMIL", 'C', 25, 0},   {"IMJA", 'C', 20, 0},
                        {"OTCH", 'C', 25, 0},    {"PYNKAR", 'C', 12, 0},
                        {"DOC_SER", 'C', 10, 0}, {"DOC_NUM", 'C', 10, 0},
                        {"SUMPAY", 'N', 12, 2},  {dental ? "NARYD" : "RECEPT", 'C', 15, 0},
                        {dental ? "DATENRD" : "DATERCPT", 'D', 8, 0}};
  for (const Layout& s : specs) {
    dbf::TDbfFieldDef& def = defs.Add();
    def.SetFieldName(s.name);
    def.SetNative(static_cast<uint8_t>(s.letter), s.length, s.decimals);
  }
  enum { kFamil, kImja, kOtch, kPynkar, kDocSer, kDocNum, kSumpay, kRecept, kDate };

  Table table;
  table.file.SetFileName(out);
  table.file.SetMode(dbf::TFileAccessMode::amExclusiveNew);
  table.file.SetTableLevel(dbf::kTableLevel4);
  table.file.Create(defs, kRussianDosLdid, dbf::kDefaultMemoBlockSize);
  table.record.resize(table.file.RecordSize());

  Random random(seed);
  for (uint32_t n = 1; n <= rows; ++n) {
    table.file.InitRecord(table.record);
    const bool female = random.Chance(2);
    std::string surname(random.Pick(kSurnameStems));
    surname += female ? random.Pick(kFemaleEndings) : random.Pick(kMaleEndings);
    if (random.Chance(500)) surname = " " + surname;  // typed with a leading space
    table.Put(kFamil, name(surname));
    table.Put(kImja, name(female ? random.Pick(kFemaleNames) : random.Pick(kMaleNames)));
    std::string patronymic(random.Pick(kPatronymicStems));
    patronymic += female ? "на" : "ич";
    if (!random.Chance(40)) table.Put(kOtch, name(patronymic));
    // Personal account numbers: mostly eight digits, some "NN-NNNNNNN", a few blank.
    char digits[32];
    const uint32_t account = random.Below(100);
    if (account < 81) {
      std::snprintf(digits, sizeof digits, "%08u", random.Below(100'000'000));
    } else if (account < 96) {
      std::snprintf(digits, sizeof digits, "%02u-%07u", random.Below(100), random.Below(10'000'000));
    } else {
      digits[0] = '\0';
    }
    table.Put(kPynkar, digits);
    table.Put(kDocSer, random.Pick(kDocSeries));
    std::snprintf(digits, sizeof digits, "%06u", random.Below(1'000'000));
    table.Put(kDocNum, digits);

    // Amounts: mostly positive, some zero, some negative (corrections), some blank.
    const uint32_t kind = random.Below(100);
    const int64_t kopecks = static_cast<int64_t>(random.Below(5'000'000));
    table.PutAmount(kSumpay, kind < 8 ? 0 : kind < 11 ? -kopecks / 10 : kopecks, kind >= 96);

    // Prescription and work order numbers: mostly "NN-NNNNNN", some with a two-letter series
    // ("ЛС 1234567"), a few blank.
    const uint32_t number = random.Below(100);
    std::string series;
    if (number < 73) {
      std::snprintf(digits, sizeof digits, "%02u-%06u", random.Below(100), random.Below(1'000'000));
    } else if (number < 95) {
      series = dental ? random.Pick(kOrderSeries) : random.Pick(kPrescriptionSeries);
      std::snprintf(digits, sizeof digits, " %07u", random.Below(10'000'000));
    } else {
      digits[0] = '\0';
    }
    table.Put(kRecept, series + digits);
    table.PutDate(kDate, 2000 + static_cast<int>(random.Below(25)),
                  1 + static_cast<int>(random.Below(12)), 1 + static_cast<int>(random.Below(28)),
                  random.Chance(30));
    if (random.Chance(60)) table.record[0] = std::byte{'*'};
    table.file.Insert(table.record);
  }
  table.file.Close();
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  uint64_t rows = 0;
  uint64_t seed = 1;
  std::string kind = "med";
  std::string out;
  bool upper = false;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    const bool has_value = i + 1 < argc;
    if (a == "--rows" && has_value) rows = std::strtoull(argv[++i], nullptr, 10);
    else if (a == "--seed" && has_value) seed = std::strtoull(argv[++i], nullptr, 0);
    else if (a == "--kind" && has_value) kind = argv[++i];
    else if (a == "--upper") upper = true;
    else if (!a.empty() && a[0] != '-' && out.empty()) out = a;
    else return Usage();
  }
  if (out.empty() || (kind != "med" && kind != "dent") || rows > 100'000'000) return Usage();
  try {
    return Generate(static_cast<uint32_t>(rows), seed, kind == "dent", upper, out);
  } catch (const std::exception& e) {
    std::cerr << e.what() << "\n";
    return 1;
  }
}
