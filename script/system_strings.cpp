// ctString: strings are UTF-8 inside; positions and lengths count characters, so Cyrillic
// text behaves as it does in a single-byte code page.
#include "core/locale.h"
#include "core/utf8_text.h"
#include "script/designator.h"
#include "script/parser.h"
#include "script/system_library.h"

namespace lgoty::script {

namespace {

using P = std::vector<Variant>;

// Byte offset of character index (0-based); the text's size past the end.
size_t ByteOfChar(const std::string& s, int64_t index) {
  return index <= 0 ? 0 : core::Utf8Offset(s, static_cast<size_t>(index));
}

int64_t CharCount(std::string_view s) { return static_cast<int64_t>(core::Utf8Length(s)); }

std::string CopyChars(const std::string& s, int64_t from, int64_t count) {
  if (from < 1) from = 1;
  if (count <= 0) return "";
  size_t b = ByteOfChar(s, from - 1);
  size_t e = ByteOfChar(s, from - 1 + std::min<int64_t>(count, INT32_MAX));
  return b >= s.size() ? std::string() : s.substr(b, e - b);
}

std::string DeleteChars(const std::string& s, int64_t from, int64_t count) {
  const int64_t length = CharCount(s);
  if (from < 1 || from > length || count <= 0) return s;
  size_t b = ByteOfChar(s, from - 1);
  size_t e = ByteOfChar(s, from - 1 + std::min<int64_t>(count, length));
  return s.substr(0, b) + s.substr(e);
}

Variant Length(P& p) {
  if (p[0].IsArray()) return Variant(p[0].ArrayLength());
  return Variant(static_cast<int32_t>(CharCount(core::VarToStr(p[0]))));
}

Variant Copy(P& p) {
  return Variant(CopyChars(core::VarToStr(p[0]), p[1].AsInt64(), p[2].AsInt64()));
}

Variant Pos(P& p) {
  const std::string sub = core::VarToStr(p[0]);
  const std::string s = core::VarToStr(p[1]);
  if (sub.empty()) return Variant(0);
  size_t at = s.find(sub);
  if (at == std::string::npos) return Variant(0);
  return Variant(static_cast<int32_t>(CharCount(std::string_view(s).substr(0, at)) + 1));
}

Variant Delete(P& p) {
  p[0] = Variant(DeleteChars(core::VarToStr(p[0]), p[1].AsInt64(), p[2].AsInt64()));
  return Variant();
}

Variant Insert(P& p) {
  const std::string what = core::VarToStr(p[0]);
  const std::string into = core::VarToStr(p[1]);
  int64_t pos = p[2].AsInt64();
  if (pos < 1) pos = 1;
  size_t at = ByteOfChar(into, pos - 1);
  p[1] = Variant(into.substr(0, at) + what + into.substr(at));
  return Variant();
}

Variant Uppercase(P& p) { return Variant(core::AnsiUpperCase(core::VarToStr(p[0]))); }
Variant Lowercase(P& p) { return Variant(core::AnsiLowerCase(core::VarToStr(p[0]))); }

Variant Trim(P& p) {
  const std::string s = core::VarToStr(p[0]);
  size_t b = 0, e = s.size();
  while (b < e && static_cast<unsigned char>(s[b]) <= ' ') ++b;
  while (e > b && static_cast<unsigned char>(s[e - 1]) <= ' ') --e;
  return Variant(s.substr(b, e - b));
}

// Every word starts with a capital, the rest of the word is lower case.
Variant NameCase(P& p) {
  const std::string s = core::VarToStr(p[0]);
  std::string out;
  bool word_start = true;
  size_t i = 0;
  while (i < s.size()) {
    const size_t j = core::Utf8NextChar(s, i);
    std::string ch = s.substr(i, j - i);
    const bool letter = ch.size() > 1 || std::isalnum(static_cast<unsigned char>(ch[0])) || ch[0] == '\'';
    out += word_start ? core::AnsiUpperCase(ch) : core::AnsiLowerCase(ch);
    word_start = !letter;
    i = j;
  }
  return Variant(out);
}

Variant CompareText(P& p) {
  return Variant(static_cast<int32_t>(core::CompareText(core::VarToStr(p[0]), core::VarToStr(p[1]))));
}

Variant Chr(P& p) {
  int64_t code = p[0].AsInt64();
  std::string out;
  core::AppendUtf8(out, code < 0 || code > 0x10FFFF ? 0xFFFFFFFFu : static_cast<uint32_t>(code));
  return Variant(out);
}

Variant Ord(P& p) {
  if (p[0].kind() == Variant::Kind::Boolean) return Variant(p[0].ordinal() != 0 ? 1 : 0);
  if (p[0].IsOrdinal()) return p[0];
  const std::string s = core::VarToStr(p[0]);
  if (s.empty()) return Variant(0);
  // A byte that starts no well-formed sequence is its own value.
  char32_t code = static_cast<unsigned char>(s[0]);
  core::DecodeUtf8(s, &code);
  return Variant(static_cast<int32_t>(code));
}

Variant SetLength(P& p) {
  int64_t length = p[1].AsInt64();
  if (length < 0) length = 0;
  if (length > kMaxScriptArray) throw EScriptError("SetLength: length too large");
  if (p[0].IsArray()) {
    std::vector<Variant> items = p[0].Elements();
    items.resize(static_cast<size_t>(length));
    p[0] = Variant::Array(std::move(items), p[0].ArrayLow());
    return Variant();
  }
  std::string s = core::VarToStr(p[0]);
  const int64_t have = CharCount(s);
  if (length <= have) {
    s = CopyChars(s, 1, length);
  } else {
    s.append(static_cast<size_t>(length - have), ' ');
  }
  p[0] = Variant(s);
  return Variant();
}

}  // namespace

void RegisterStringFunctions(TfsScript& s) {
  const char* c = "ctString";
  s.AddMethod("function Length(s: Variant): Integer", Fn(Length), c);
  s.AddMethod("function Copy(s: String; from, count: Integer): String", Fn(Copy), c);
  s.AddMethod("function Pos(substr, s: String): Integer", Fn(Pos), c);
  s.AddMethod("procedure Delete(var s: String; from, count: Integer)", Fn(Delete), c);
  s.AddMethod("procedure DeleteStr(var s: String; from, count: Integer)", Fn(Delete), c);
  s.AddMethod("procedure Insert(s: String; var s2: String; pos: Integer)", Fn(Insert), c);
  s.AddMethod("function Uppercase(s: String): String", Fn(Uppercase), c);
  s.AddMethod("function Lowercase(s: String): String", Fn(Lowercase), c);
  s.AddMethod("function Trim(s: String): String", Fn(Trim), c);
  s.AddMethod("function NameCase(s: String): String", Fn(NameCase), c);
  s.AddMethod("function CompareText(s, s1: String): Integer", Fn(CompareText), c);
  s.AddMethod("function Chr(i: Integer): Char", Fn(Chr), c);
  s.AddMethod("function Ord(ch: Char): Integer", Fn(Ord), c);
  s.AddMethod("procedure SetLength(var S: Variant; L: Integer)", Fn(SetLength), c);
}

}  // namespace lgoty::script
