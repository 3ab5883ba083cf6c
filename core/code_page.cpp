#include "core/code_page.h"

#include <iconv.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>

#include "core/ascii_text.h"
#include "core/exception.h"
#include "core/utf8_text.h"

namespace lgoty::core {
namespace {

// ---------------------------------------------------------------------------------------------
// UTF-8

constexpr char kReplacementByte = '?';
constexpr std::string_view kReplacementUtf8 = "\xEF\xBF\xBD";  // U+FFFD

bool IsAscii(std::string_view bytes) {
  return std::all_of(bytes.begin(), bytes.end(),
                     [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// ---------------------------------------------------------------------------------------------
// Single-byte code pages

struct SingleByteTable {
  int number;
  const char* iconv_name;
  char16_t code_points[256];  // byte -> code point; 0x00..0x7F are ASCII
};

constexpr SingleByteTable kSingleByteTables[] = {
#include "core/code_page_tables.inc"
};

class SingleByteCodePage final : public CodePage {
 public:
  explicit SingleByteCodePage(const SingleByteTable& table) : number_(table.number) {
    to_code_point_.fill(0);
    reverse_pages_.fill(0);
    reverse_blocks_.emplace_back();  // block 0: every code point unmapped
    reverse_blocks_[0].fill(0);
    for (int byte = 0; byte < 256; ++byte) {
      const char16_t code_point = table.code_points[byte];
      to_code_point_[byte] = code_point;
      std::string utf8;
      AppendUtf8(utf8, code_point);
      Utf8Entry& entry = to_utf8_[byte];
      entry.bytes.fill(0);
      std::copy(utf8.begin(), utf8.end(), entry.bytes.begin());
      entry.length = static_cast<uint8_t>(utf8.size());
      if (byte < 0x80) continue;  // ASCII is handled before the reverse table
      const size_t page = code_point >> 8;
      if (reverse_pages_[page] == 0) {
        reverse_pages_[page] = static_cast<uint8_t>(reverse_blocks_.size());
        reverse_blocks_.emplace_back();
        reverse_blocks_.back().fill(0);
      }
      reverse_blocks_[reverse_pages_[page]][code_point & 0xFF] = static_cast<uint8_t>(byte);
    }
  }

  int Number() const override { return number_; }
  bool IsSingleByte() const override { return true; }

  std::string ToUtf8(std::string_view bytes) const override {
    if (IsAscii(bytes)) return std::string(bytes);
    // Every entry is copied as 4 bytes and the cursor advances by its length, so the buffer
    // keeps one spare byte past the longest possible result.
    std::string out(bytes.size() * 3 + 1, '\0');
    char* cursor = out.data();
    for (char c : bytes) {
      const Utf8Entry& entry = to_utf8_[static_cast<unsigned char>(c)];
      std::memcpy(cursor, entry.bytes.data(), 4);
      cursor += entry.length;
    }
    out.resize(static_cast<size_t>(cursor - out.data()));
    return out;
  }

  std::string FromUtf8(std::string_view utf8) const override {
    std::string out;
    out.reserve(utf8.size());
    size_t i = 0;
    while (i < utf8.size()) {
      const auto lead = static_cast<unsigned char>(utf8[i]);
      if (lead < 0x80) {
        out.push_back(static_cast<char>(lead));
        ++i;
        continue;
      }
      char32_t code_point;
      const size_t length = DecodeUtf8(utf8.substr(i), &code_point);
      if (length == 0) {
        out.push_back(kReplacementByte);
        ++i;
        continue;
      }
      out.push_back(static_cast<char>(ByteOf(code_point)));
      i += length;
    }
    return out;
  }

  char16_t CodePointOf(unsigned char byte) const { return to_code_point_[byte]; }

  // The byte of a code point, '?' when the code page lacks it.
  unsigned char ByteOf(char32_t code_point) const {
    if (code_point < 0x80) return static_cast<unsigned char>(code_point);
    if (code_point > 0xFFFF) return kReplacementByte;
    const unsigned char byte = reverse_blocks_[reverse_pages_[code_point >> 8]][code_point & 0xFF];
    return byte != 0 ? byte : kReplacementByte;
  }

 private:
  struct Utf8Entry {
    std::array<char, 4> bytes;  // the UTF-8 form, zero padded
    uint8_t length;
  };

  int number_;
  std::array<Utf8Entry, 256> to_utf8_;
  std::array<char16_t, 256> to_code_point_;
  // Code point -> byte as a two-level table: reverse_pages_[high byte] picks a block of 256
  // bytes indexed by the low byte. A zero byte means "not in this code page" (U+0000 never
  // reaches the table). Block 0 is all zeros and stands for every absent page.
  std::array<uint8_t, 256> reverse_pages_;
  std::vector<std::array<uint8_t, 256>> reverse_blocks_;
};

// ---------------------------------------------------------------------------------------------
// Multi-byte code pages through iconv

// One iconv descriptor and the lock that serialises its use: a descriptor carries shift
// state and is not safe to share between threads.
class IconvChannel {
 public:
  IconvChannel(const char* to, const char* from) : handle_(iconv_open(to, from)) {}
  ~IconvChannel() {
    if (IsOpen()) iconv_close(handle_);
  }
  IconvChannel(const IconvChannel&) = delete;
  IconvChannel& operator=(const IconvChannel&) = delete;

  bool IsOpen() const { return handle_ != reinterpret_cast<iconv_t>(-1); }

  // Converts all of `input`, appending to `out`. A sequence iconv rejects (an invalid or
  // incomplete input sequence, or a character the target lacks) is handed to `on_error`
  // with the remaining input; it appends its replacement and returns how many input bytes
  // to skip (at least 1).
  template <typename OnError>
  void Convert(std::string_view input, std::string* out, OnError on_error) {
    std::lock_guard lock(mutex_);
    iconv(handle_, nullptr, nullptr, nullptr, nullptr);
    char* in = const_cast<char*>(input.data());
    size_t in_left = input.size();
    std::array<char, 1024> buffer;
    while (in_left > 0) {
      char* cursor = buffer.data();
      size_t out_left = buffer.size();
      const size_t result = iconv(handle_, &in, &in_left, &cursor, &out_left);
      const int error = errno;
      out->append(buffer.data(), static_cast<size_t>(cursor - buffer.data()));
      if (result != static_cast<size_t>(-1)) break;
      if (error == E2BIG) continue;
      // EILSEQ, EINVAL: replace and go on after the offending sequence.
      iconv(handle_, nullptr, nullptr, nullptr, nullptr);
      const size_t skip = std::min(in_left, std::max<size_t>(1, on_error(std::string_view(in, in_left), out)));
      in += skip;
      in_left -= skip;
    }
    char* cursor = buffer.data();
    size_t out_left = buffer.size();
    iconv(handle_, nullptr, nullptr, &cursor, &out_left);
    out->append(buffer.data(), static_cast<size_t>(cursor - buffer.data()));
  }

 private:
  iconv_t handle_;
  std::mutex mutex_;
};

class MultiByteCodePage final : public CodePage {
 public:
  MultiByteCodePage(int number, const char* iconv_name)
      : number_(number), decoder_("UTF-8", iconv_name), encoder_(iconv_name, "UTF-8") {}

  bool IsOpen() const { return decoder_.IsOpen() && encoder_.IsOpen(); }

  int Number() const override { return number_; }
  bool IsSingleByte() const override { return false; }

  std::string ToUtf8(std::string_view bytes) const override {
    if (IsAscii(bytes)) return std::string(bytes);
    std::string out;
    out.reserve(bytes.size() * 2);
    decoder_.Convert(bytes, &out, [](std::string_view, std::string* o) {
      o->append(kReplacementUtf8);
      return size_t{1};
    });
    return out;
  }

  std::string FromUtf8(std::string_view utf8) const override {
    if (IsAscii(utf8)) return std::string(utf8);
    std::string out;
    out.reserve(utf8.size());
    // iconv sees only well-formed runs, so every rejection inside a run is a character the
    // code page lacks, and ill-formed bytes are replaced here one by one.
    size_t start = 0;
    size_t i = 0;
    auto flush = [&](size_t end) {
      if (end > start) {
        encoder_.Convert(utf8.substr(start, end - start), &out, [](std::string_view rest, std::string* o) {
          char32_t code_point;
          const size_t length = DecodeUtf8(rest, &code_point);
          o->push_back(kReplacementByte);
          return length == 0 ? size_t{1} : length;
        });
      }
    };
    while (i < utf8.size()) {
      char32_t code_point;
      const size_t length = DecodeUtf8(utf8.substr(i), &code_point);
      if (length != 0) {
        i += length;
        continue;
      }
      flush(i);
      out.push_back(kReplacementByte);
      ++i;
      start = i;
    }
    flush(i);
    return out;
  }

 private:
  int number_;
  mutable IconvChannel decoder_;
  mutable IconvChannel encoder_;
};

// Windows number -> glibc converter. 936 is GBK and 949 is UHC in glibc; 950 is glibc's BIG5,
// which lacks the few vendor additions of the Windows table (the euro sign among them).
struct MultiByteName {
  int number;
  const char* iconv_name;
};
constexpr MultiByteName kMultiByteNames[] = {
    {932, "CP932"}, {936, "CP936"}, {949, "CP949"}, {950, "CP950"}};

class Registry {
 public:
  Registry() {
    for (const SingleByteTable& table : kSingleByteTables) {
      pages_.emplace(table.number, std::make_unique<SingleByteCodePage>(table));
    }
    for (const MultiByteName& name : kMultiByteNames) {
      auto page = std::make_unique<MultiByteCodePage>(name.number, name.iconv_name);
      if (page->IsOpen()) pages_.emplace(name.number, std::move(page));
    }
  }

  const CodePage* Find(int number) const {
    auto it = pages_.find(number);
    return it == pages_.end() ? nullptr : it->second.get();
  }

  std::vector<int> Numbers() const {
    std::vector<int> numbers;
    for (const auto& [number, page] : pages_) numbers.push_back(number);
    return numbers;
  }

 private:
  std::map<int, std::unique_ptr<CodePage>> pages_;
};

const Registry& TheRegistry() {
  static const Registry registry;
  return registry;
}

const CodePage& Require(int code_page) {
  const CodePage* page = FindCodePage(code_page);
  if (page == nullptr) {
    throw Exception("Code page " + std::to_string(code_page) + " is not installed");
  }
  return *page;
}

// ---------------------------------------------------------------------------------------------
// The system's ANSI/OEM pair

struct LanguageCodePages {
  const char* language;  // ISO 639 code as locale names spell it
  SystemCodePages pages;
};

// What a Windows desktop of the language uses. Territories that differ are handled in
// CodePagesForLocale.
constexpr LanguageCodePages kLanguageCodePages[] = {
    {"ru", {1251, 866}}, {"uk", {1251, 866}}, {"be", {1251, 866}}, {"bg", {1251, 866}},
    {"mk", {1251, 866}}, {"kk", {1251, 866}}, {"ky", {1251, 866}}, {"tt", {1251, 866}},
    {"mn", {1251, 866}}, {"sr", {1251, 855}},
    {"en", {1252, 437}},
    {"de", {1252, 850}}, {"fr", {1252, 850}}, {"it", {1252, 850}}, {"es", {1252, 850}},
    {"pt", {1252, 850}}, {"nl", {1252, 850}}, {"sv", {1252, 850}}, {"da", {1252, 850}},
    {"nb", {1252, 850}}, {"nn", {1252, 850}}, {"no", {1252, 850}}, {"fi", {1252, 850}},
    {"ca", {1252, 850}}, {"eu", {1252, 850}}, {"gl", {1252, 850}}, {"ga", {1252, 850}},
    {"lb", {1252, 850}}, {"fo", {1252, 850}}, {"af", {1252, 850}}, {"id", {1252, 850}},
    {"ms", {1252, 850}}, {"is", {1252, 861}},
    {"pl", {1250, 852}}, {"cs", {1250, 852}}, {"hu", {1250, 852}}, {"sk", {1250, 852}},
    {"sl", {1250, 852}}, {"hr", {1250, 852}}, {"ro", {1250, 852}}, {"sq", {1250, 852}},
    {"bs", {1250, 852}},
    {"el", {1253, 737}},
    {"tr", {1254, 857}}, {"az", {1254, 857}}, {"uz", {1254, 857}},
    {"he", {1255, 862}}, {"iw", {1255, 862}},
    {"ar", {1256, 720}}, {"fa", {1256, 720}}, {"ur", {1256, 720}},
    {"lt", {1257, 775}}, {"lv", {1257, 775}}, {"et", {1257, 775}},
    {"ja", {932, 932}}, {"ko", {949, 949}}, {"th", {874, 874}},
};

constexpr SystemCodePages kNoLanguagePages = {1251, 866};


std::mutex system_pages_mutex;
bool system_pages_known = false;
SystemCodePages system_pages = kNoLanguagePages;

SystemCodePages CurrentSystemPages() {
  std::lock_guard lock(system_pages_mutex);
  if (!system_pages_known) {
    // The variables in the order the C library consults them for LC_CTYPE.
    std::string_view locale_name;
    for (const char* variable : {"LC_ALL", "LC_CTYPE", "LANG"}) {
      const char* value = std::getenv(variable);
      if (value != nullptr && *value != '\0') {
        locale_name = value;
        break;
      }
    }
    system_pages = CodePagesForLocale(locale_name);
    system_pages_known = true;
  }
  return system_pages;
}

}  // namespace

SystemCodePages CodePagesForLocale(std::string_view locale_name) {
  // language[_territory][.codeset][@modifier], or a BCP 47 tag language[-script][-region].
  const std::string name = AsciiLower(locale_name);
  const size_t modifier_at = name.find('@');
  const std::string modifier = modifier_at == std::string::npos ? "" : name.substr(modifier_at + 1);
  const std::string base = name.substr(0, std::min(name.find('.'), modifier_at));
  const size_t language_end = base.find_first_of("_-");
  const std::string language = base.substr(0, language_end);
  const std::string rest = language_end == std::string::npos ? "" : base.substr(language_end + 1);
  auto has_part = [&](std::string_view part) {
    size_t from = 0;
    while (from <= rest.size()) {
      const size_t end = std::min(rest.find_first_of("_-", from), rest.size());
      if (std::string_view(rest).substr(from, end - from) == part) return true;
      from = end + 1;
    }
    return false;
  };

  if (language == "zh") {
    const bool traditional = has_part("tw") || has_part("hk") || has_part("mo") || has_part("hant");
    return traditional ? SystemCodePages{950, 950} : SystemCodePages{936, 936};
  }
  if (language == "sr" && (modifier == "latin" || has_part("latn"))) return {1250, 852};
  if (language == "en" && (has_part("gb") || has_part("ie") || has_part("au") || has_part("nz") ||
                           has_part("ca"))) {
    return {1252, 850};
  }
  for (const LanguageCodePages& entry : kLanguageCodePages) {
    if (language == entry.language) return entry.pages;
  }
  // C, POSIX, an empty name, and languages without a legacy Windows code page.
  return kNoLanguagePages;
}

int AnsiCodePage() { return CurrentSystemPages().ansi; }

int OemCodePage() { return CurrentSystemPages().oem; }

void SetSystemCodePages(SystemCodePages pages) {
  std::lock_guard lock(system_pages_mutex);
  system_pages = pages;
  system_pages_known = true;
}

const CodePage* FindCodePage(int number) { return TheRegistry().Find(number); }

bool IsCodePageInstalled(int number) { return FindCodePage(number) != nullptr; }

std::vector<int> InstalledCodePages() { return TheRegistry().Numbers(); }

std::string ToUtf8(int code_page, std::string_view bytes) { return Require(code_page).ToUtf8(bytes); }

std::string FromUtf8(int code_page, std::string_view utf8) {
  return Require(code_page).FromUtf8(utf8);
}

std::string TranslateCodePage(int from_code_page, int to_code_page, std::string_view bytes) {
  const CodePage& from = Require(from_code_page);
  const CodePage& to = Require(to_code_page);
  if (from_code_page == to_code_page) return std::string(bytes);
  if (from.IsSingleByte() && to.IsSingleByte()) {
    const auto& source = static_cast<const SingleByteCodePage&>(from);
    const auto& target = static_cast<const SingleByteCodePage&>(to);
    std::string out(bytes);
    for (char& c : out) {
      const auto byte = static_cast<unsigned char>(c);
      if (byte >= 0x80) c = static_cast<char>(target.ByteOf(source.CodePointOf(byte)));
    }
    return out;
  }
  return to.FromUtf8(from.ToUtf8(bytes));
}

}  // namespace lgoty::core
