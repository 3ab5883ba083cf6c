#include "sql/collation.h"

#include <sqlite3.h>

#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "core/locale.h"
#include "core/utf8_text.h"
#include "sql/sort_key_cache.h"
#include "sql/statement_budget.h"

namespace lgoty::sql {

namespace {

std::string_view TextOf(const void* data, int size) {
  return {static_cast<const char*>(data), size > 0 ? static_cast<size_t>(size) : 0};
}

int CompareLocale(void* cache, int size_a, const void* a, int size_b, const void* b) {
  return CompareLocaleText(*static_cast<TSortKeyCache*>(cache), TextOf(a, size_a),
                           TextOf(b, size_b));
}

enum class TokenKind : uint8_t { Literal, One, Many };
struct Token {
  char32_t c;
  TokenKind kind;
};

struct LikePattern {
  std::string source;  // the pattern and escape as given, to recognise a cached pattern
  std::vector<Token> tokens;
};

LikePattern CompilePattern(std::string_view pattern, char32_t escape, bool has_escape,
                           std::string source) {
  LikePattern compiled;
  compiled.source = std::move(source);
  const std::u32string folded = core::Utf8ToUtf32(core::AnsiLowerCase(pattern));
  for (size_t i = 0; i < folded.size(); ++i) {
    const char32_t c = folded[i];
    if (has_escape && c == escape) {
      // An escape before the last character makes it literal; a trailing one is itself.
      if (i + 1 < folded.size()) ++i;
      compiled.tokens.push_back({folded[i], TokenKind::Literal});
    } else if (c == U'%') {
      if (compiled.tokens.empty() || compiled.tokens.back().kind != TokenKind::Many) {
        compiled.tokens.push_back({c, TokenKind::Many});
      }
    } else if (c == U'_') {
      compiled.tokens.push_back({c, TokenKind::One});
    } else {
      compiled.tokens.push_back({c, TokenKind::Literal});
    }
  }
  return compiled;
}

constexpr size_t kBudgetCheckInterval = 1 << 16;

// Greedy match with a return to the last "%": O(text x pattern) at worst. Returns -1 when the
// budget ran out.
int Match(const std::vector<Token>& tokens, const std::u32string& text,
          const TStatementBudget* budget) {
  size_t t = 0, p = 0;
  size_t star = std::u32string::npos, mark = 0;
  size_t steps = 0;
  while (t < text.size()) {
    if (++steps % kBudgetCheckInterval == 0 && budget && budget->Expired()) return -1;
    if (p < tokens.size() && (tokens[p].kind == TokenKind::One ||
                              (tokens[p].kind == TokenKind::Literal && tokens[p].c == text[t]))) {
      ++p;
      ++t;
    } else if (p < tokens.size() && tokens[p].kind == TokenKind::Many) {
      star = p++;
      mark = t;
    } else if (star != std::u32string::npos) {
      p = star + 1;
      t = ++mark;
    } else {
      return 0;
    }
  }
  while (p < tokens.size() && tokens[p].kind == TokenKind::Many) ++p;
  return p == tokens.size() ? 1 : 0;
}

void FreePattern(void* p) { delete static_cast<LikePattern*>(p); }

void FreeSortKeys(void* p) { delete static_cast<TSortKeyCache*>(p); }

void LikeFunction(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  const auto* budget = static_cast<const TStatementBudget*>(sqlite3_user_data(ctx));
  for (int i = 0; i < argc; ++i) {
    if (sqlite3_value_type(argv[i]) == SQLITE_NULL) {
      sqlite3_result_null(ctx);
      return;
    }
  }
  // like(pattern, text [, escape]) is how SQLite calls the function for text LIKE pattern.
  const auto* pattern_text = reinterpret_cast<const char*>(sqlite3_value_text(argv[0]));
  const int pattern_size = sqlite3_value_bytes(argv[0]);
  const auto* text = reinterpret_cast<const char*>(sqlite3_value_text(argv[1]));
  const int text_size = sqlite3_value_bytes(argv[1]);
  if (!pattern_text || !text) {
    sqlite3_result_error_nomem(ctx);
    return;
  }
  if (pattern_size > sqlite3_limit(sqlite3_context_db_handle(ctx),
                                   SQLITE_LIMIT_LIKE_PATTERN_LENGTH, -1)) {
    sqlite3_result_error(ctx, "LIKE pattern too long", -1);
    return;
  }
  char32_t escape = 0;
  bool has_escape = false;
  std::string source(pattern_text, static_cast<size_t>(pattern_size));
  if (argc == 3) {
    const auto* escape_text = reinterpret_cast<const char*>(sqlite3_value_text(argv[2]));
    const std::u32string e = core::Utf8ToUtf32(
        std::string_view(escape_text ? escape_text : "",
                         static_cast<size_t>(sqlite3_value_bytes(argv[2]))));
    if (e.size() != 1) {
      sqlite3_result_error(ctx, "ESCAPE expression must be a single character", -1);
      return;
    }
    const std::u32string folded_escape = core::Utf8ToUtf32(core::AnsiLowerCase(
        std::string_view(escape_text, static_cast<size_t>(sqlite3_value_bytes(argv[2])))));
    escape = folded_escape.size() == 1 ? folded_escape[0] : e[0];
    has_escape = true;
    source += '\0';
    source.append(escape_text, static_cast<size_t>(sqlite3_value_bytes(argv[2])));
  }
  try {
    auto* cached = static_cast<LikePattern*>(sqlite3_get_auxdata(ctx, 0));
    LikePattern local;
    const LikePattern* compiled = cached;
    if (!cached || cached->source != source) {
      local = CompilePattern(std::string_view(pattern_text, static_cast<size_t>(pattern_size)),
                             escape, has_escape, source);
      compiled = &local;
      sqlite3_set_auxdata(ctx, 0, new LikePattern(local), FreePattern);
    }
    const std::u32string folded_text = core::Utf8ToUtf32(
        core::AnsiLowerCase(std::string_view(text, static_cast<size_t>(text_size))));
    const int result = Match(compiled->tokens, folded_text, budget);
    if (result < 0) {
      sqlite3_result_error(ctx, budget->ExceededText().c_str(), -1);
      return;
    }
    sqlite3_result_int(ctx, result);
  } catch (const std::exception& e) {
    sqlite3_result_error(ctx, e.what(), -1);
  }
}

template <std::string (*Map)(std::string_view)>
void CaseFunction(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (sqlite3_value_type(argv[0]) == SQLITE_NULL) {
    sqlite3_result_null(ctx);
    return;
  }
  const auto* text = reinterpret_cast<const char*>(sqlite3_value_text(argv[0]));
  if (!text) {
    sqlite3_result_error_nomem(ctx);
    return;
  }
  try {
    const std::string mapped = Map(std::string_view(text, static_cast<size_t>(sqlite3_value_bytes(argv[0]))));
    sqlite3_result_text64(ctx, mapped.data(), mapped.size(), SQLITE_TRANSIENT, SQLITE_UTF8);
  } catch (const std::exception& e) {
    sqlite3_result_error(ctx, e.what(), -1);
  }
}

void Check(sqlite3* db, int rc) {
  if (rc != SQLITE_OK) throw std::runtime_error(sqlite3_errmsg(db));
}

}  // namespace

int CompareLocaleText(TSortKeyCache& keys, std::string_view a, std::string_view b) {
  try {
    return keys.Compare(a, b);
  } catch (const std::exception&) {
    // A collator that cannot be made: byte order keeps the sort total.
    return a.compare(b);
  }
}

TSortKeyCache* RegisterLocaleFunctions(sqlite3* db, const TStatementBudget* budget) {
  auto* user = const_cast<TStatementBudget*>(budget);
  constexpr int kFlags = SQLITE_UTF8 | SQLITE_DETERMINISTIC;
  // SQLite frees the cache with the collation; a failed registration leaves it to us.
  auto keys = std::make_unique<TSortKeyCache>();
  Check(db, sqlite3_create_collation_v2(db, kLocaleCollation, SQLITE_UTF8, keys.get(),
                                        CompareLocale, FreeSortKeys));
  TSortKeyCache* const kept = keys.release();
  Check(db, sqlite3_create_function_v2(db, "upper", 1, kFlags, nullptr,
                                       CaseFunction<core::AnsiUpperCase>, nullptr, nullptr,
                                       nullptr));
  Check(db, sqlite3_create_function_v2(db, "lower", 1, kFlags, nullptr,
                                       CaseFunction<core::AnsiLowerCase>, nullptr, nullptr,
                                       nullptr));
  Check(db, sqlite3_create_function_v2(db, "like", 2, kFlags, user, LikeFunction, nullptr,
                                       nullptr, nullptr));
  Check(db, sqlite3_create_function_v2(db, "like", 3, kFlags, user, LikeFunction, nullptr,
                                       nullptr, nullptr));
  return kept;
}

}  // namespace lgoty::sql
