#include "dbf/expression_text.h"

#include <map>
#include <memory>
#include <mutex>

#include "core/code_page.h"
#include "core/locale.h"
#include "core/utf8_text.h"

namespace lgoty::dbf {
namespace {

std::unique_ptr<TByteTextTables> MakeTables(const core::CodePage* code_page) {
  auto tables = std::make_unique<TByteTextTables>();
  for (int b = 0; b < 256; ++b) {
    const auto byte = static_cast<unsigned char>(b);
    const char c = static_cast<char>(byte);
    tables->upper[byte] = c;
    tables->lower[byte] = c;
    tables->utf8[byte] = code_page != nullptr ? code_page->ToUtf8(std::string_view(&c, 1))
                                              : core::Latin1ToUtf8(std::string_view(&c, 1));
  }
  // A byte maps to another only when the case-mapped character is one byte of the same code
  // page that reads back as that character; otherwise it keeps its value.
  auto map_back = [&](const std::string& utf8) -> int {
    if (code_page == nullptr) {
      for (int b = 0; b < 256; ++b) {
        if (tables->utf8[b] == utf8) return b;
      }
      return -1;
    }
    const std::string back = code_page->FromUtf8(utf8);
    if (back.size() != 1) return -1;
    const auto byte = static_cast<unsigned char>(back[0]);
    return tables->utf8[byte] == utf8 ? byte : -1;
  };
  for (int b = 0; b < 256; ++b) {
    const std::string& utf8 = tables->utf8[b];
    tables->fold[b] = static_cast<char>(b);
    if (core::AnsiCompareText(utf8, "") != 0) {
      for (int c = 0; c < b; ++c) {
        if (core::AnsiCompareText(tables->utf8[c], "") != 0 &&
            core::AnsiCompareText(utf8, tables->utf8[c]) == 0) {
          tables->fold[b] = static_cast<char>(c);
          break;
        }
      }
    }
    const int up = map_back(core::AnsiUpperCase(utf8));
    const int low = map_back(core::AnsiLowerCase(utf8));
    if (up >= 0) tables->upper[b] = static_cast<char>(up);
    if (low >= 0) tables->lower[b] = static_cast<char>(low);
  }
  return tables;
}

}  // namespace

const TByteTextTables* ByteTextTables(int code_page) {
  static std::mutex mutex;
  static std::map<int, std::unique_ptr<TByteTextTables>> cache;
  const core::CodePage* converter = code_page != 0 ? core::FindCodePage(code_page) : nullptr;
  if (converter != nullptr && !converter->IsSingleByte()) return nullptr;
  const int key = converter != nullptr ? code_page : 0;
  std::lock_guard lock(mutex);
  auto& slot = cache[key];
  if (!slot) slot = MakeTables(converter);
  return slot.get();
}

TExpressionContext::TExpressionContext(int code_page)
    : code_page_(code_page), tables_(ByteTextTables(code_page)) {}

std::string_view TExpressionContext::ToUtf8(std::string_view text, std::string& buffer) const {
  bool ascii = true;
  for (char c : text) {
    if (static_cast<unsigned char>(c) >= 0x80) {
      ascii = false;
      break;
    }
  }
  if (ascii) return text;
  if (tables_ != nullptr) {
    buffer.clear();
    for (char c : text) buffer += tables_->utf8[static_cast<unsigned char>(c)];
    return buffer;
  }
  buffer = core::ToUtf8(code_page_, text);
  return buffer;
}

void TExpressionContext::MapCase(std::string_view text, TExprValue& out, bool upper) const {
  if (tables_ != nullptr) {
    const auto& table = upper ? tables_->upper : tables_->lower;
    char* dest = out.ReserveText(text.size());
    for (size_t i = 0; i < text.size(); ++i) dest[i] = table[static_cast<unsigned char>(text[i])];
    out.CommitText(text.size());
    return;
  }
  const std::string utf8 = core::ToUtf8(code_page_, text);
  out.SetText(core::FromUtf8(code_page_, upper ? core::AnsiUpperCase(utf8)
                                               : core::AnsiLowerCase(utf8)));
}

void TExpressionContext::UpperCase(std::string_view text, TExprValue& out) const {
  MapCase(text, out, true);
}

void TExpressionContext::LowerCase(std::string_view text, TExprValue& out) const {
  MapCase(text, out, false);
}

int TExpressionContext::Compare(std::string_view a, std::string_view b,
                                bool ignore_case) const {
  if (a == b) return 0;
  const std::string_view ua = ToUtf8(a, utf8_a_);
  const std::string_view ub = ToUtf8(b, utf8_b_);
  return ignore_case ? core::AnsiCompareText(ua, ub) : core::AnsiCompareStr(ua, ub);
}

bool TExpressionContext::Equal(std::string_view a, std::string_view b, bool ignore_case) const {
  if (!ignore_case || a == b) return a == b;
  if (tables_ == nullptr) return Compare(a, b, true) == 0;
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (tables_->fold[static_cast<unsigned char>(a[i])] !=
        tables_->fold[static_cast<unsigned char>(b[i])]) {
      return false;
    }
  }
  return true;
}

}  // namespace lgoty::dbf
