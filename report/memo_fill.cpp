#include "report/memo_fill.h"

#include "core/locale.h"
#include "core/string_list.h"
#include "core/text_trim.h"
#include "report/data_sets.h"
#include "report/display_format.h"
#include "report/expressions.h"
#include "report/report.h"
#include "report/report_script.h"
#include "report/views.h"

namespace lgoty::report {

using core::Variant;

struct TfrxMemoTemplate;

// What MemoBeforePrint saves and MemoAfterPrint restores.
struct TfrxMemoSavedState {
  bool before_print = false;  // lines, TagStr and Hyperlink.Value are saved
  // The memo's lines as they were before the print. Put back by exchanging them with the
  // memo's (whose printed lines then wait here, their storage reused by the next save).
  core::TStringList lines;
  bool lines_saved = false;  // false: a sorted list, kept as its text
  std::string text;
  std::string tag_str;
  std::string hyperlink_value;
  bool highlighted = false;
  TfrxFont font;
  std::unique_ptr<TfrxCustomFill> fill;
  bool frame_saved = false;
  uint32_t frame_typ = 0;
  TColor frame_color = clBlack;
  TfrxFrameStyle frame_style = TfrxFrameStyle::fsSolid;
  double frame_width = 1;
  bool visible = true;
  bool flow_target = false;  // expression expansion switched off by HandOverFlow
  bool allow_expressions = true;
  // The memo's text split into literal parts and bracketed expressions, kept for the text
  // and delimiters it was made from: a band prints the same template on every row.
  std::shared_ptr<const TfrxMemoTemplate> parsed;
  std::string scratch;  // the current text when it is parsed
  // The expanded text, its storage kept from print to print; `expanding` while it is being
  // written (an expansion that prints this memo again writes a text of its own).
  std::string expanded;
  bool expanding = false;
};

namespace {

constexpr size_t kMaxClosingDelimiter = 255;

bool IsZero(const Variant& v) {
  if (v.IsEmptyOrNull() || v.IsString() || v.IsArray() || v.IsObject()) return false;
  try {
    return v.AsDouble() == 0;
  } catch (const core::Exception&) {
    return false;
  }
}

// Position of the first " #" outside quoted strings; npos when none.
size_t FindFormatMark(std::string_view e) {
  bool in_single = false, in_double = false;
  for (size_t i = 0; i + 1 < e.size(); ++i) {
    char c = e[i];
    if (c == '\'' && !in_double) in_single = !in_single;
    if (c == '"' && !in_single) in_double = !in_double;
    if (!in_single && !in_double && c == ' ' && e[i + 1] == '#') return i;
  }
  return std::string_view::npos;
}

TfrxMemoSavedState& Saved(TfrxCustomMemoView& memo) {
  if (!memo.saved) memo.saved = std::make_shared<TfrxMemoSavedState>();
  return *memo.saved;
}

void ApplyHighlight(TfrxCustomMemoView& memo, const TfrxHighlight& h) {
  TfrxMemoSavedState& s = Saved(memo);
  if (!s.highlighted) {
    s.highlighted = true;
    s.font.Assign(memo.Font());
    s.fill = memo.Fill().Clone();
    s.frame_saved = true;
    s.frame_typ = memo.Frame().typ;
    s.frame_color = memo.Frame().color;
    s.frame_style = memo.Frame().style;
    s.frame_width = memo.Frame().width;
    s.visible = memo.Visible();
  }
  if (h.apply_font) memo.Font().Assign(h.font);
  if (h.apply_fill && h.fill) memo.SetFill(*h.fill);
  if (h.apply_frame) {
    memo.Frame().typ = h.frame.typ;
    memo.Frame().SetColor(h.frame.color);
    memo.Frame().SetStyle(h.frame.style);
    memo.Frame().SetWidth(h.frame.width);
  }
  memo.SetVisible(h.visible);
}

std::string QuoteForLanguage(const std::string& language, const std::string& text) {
  if (SameName(language, "PascalScript")) {
    std::string out = "'";
    for (char c : text) {
      out += c;
      if (c == '\'') out += '\'';
    }
    return out + "'";
  }
  std::string out = "\"";
  for (char c : text) {
    if (c == '"') out += '\\';
    out += c;
  }
  return out + "\"";
}

}  // namespace

std::pair<std::string, std::string> SplitExpressionDelimiters(std::string_view delimiters) {
  size_t comma = delimiters.find(',');
  if (comma == std::string_view::npos || comma == 0 || comma + 1 >= delimiters.size()) return {"[", "]"};
  std::string open(delimiters.substr(0, comma));
  std::string close(delimiters.substr(comma + 1, kMaxClosingDelimiter));
  return {std::move(open), std::move(close)};
}

bool FindBracketed(std::string_view text, std::string_view open, std::string_view close, size_t from,
                   BracketSpan& span) {
  if (open.empty() || close.empty() || from >= text.size()) return false;
  size_t start = text.find(open, from);
  if (start == std::string_view::npos) return false;
  int depth = 0;
  bool in_single = false, in_double = false;
  // Delimiters are compared only where their first character stands.
  const char open_first = open[0], close_first = close[0];
  for (size_t i = start; i < text.size();) {
    const char c = text[i];
    if (!in_single && !in_double && (c == open_first || c == close_first)) {
      if (depth > 0 && c == close_first && text.compare(i, close.size(), close) == 0) {
        if (--depth == 0) {
          span.begin = start;
          span.end = i + close.size();
          span.expression.assign(text.substr(start + open.size(), i - start - open.size()));
          return true;
        }
        i += close.size();
        continue;
      }
      if (c == open_first && text.compare(i, open.size(), open) == 0) {
        ++depth;
        i += open.size();
        continue;
      }
    }
    if (c == '"' && !in_single) in_double = !in_double;
    if (c == '\'' && !in_double) in_single = !in_single;
    ++i;
  }
  return false;
}

namespace {

// Replaces every complete span of `text`, left to right, with what `value_of` gives for its
// expression; the scan goes on after the inserted value. Without an opening delimiter the
// text is returned as it is.
template <typename ValueOf>
std::string ReplaceBracketed(std::string_view text, std::string_view open, std::string_view close,
                             ValueOf&& value_of) {
  if (text.find(open) == std::string_view::npos) return std::string(text);
  std::string out(text);
  size_t pos = 0;
  BracketSpan span;
  while (FindBracketed(out, open, close, pos, span)) {
    std::string value = value_of(span.expression);
    out.replace(span.begin, span.end - span.begin, value);
    pos = span.begin + value.size();
  }
  return out;
}

}  // namespace

namespace {

// What a bracketed expression's text says before any evaluation: the expression proper
// (without a " #" format suffix), the format the suffix gives, and whether it is one of
// the page markers.
struct ParsedExpression {
  std::string expression;
  std::unique_ptr<TfrxFormat> format;  // from the suffix; null: the memo's format
  std::string_view marker;             // kTotalPagesMarker, kCopyNameMarker or empty
  // What the expression turned out to be for the report that last evaluated it: the same
  // template is expanded on every row.
  mutable TfrxCalcSite site;
};

ParsedExpression ParseExpression(std::string_view expression) {
  ParsedExpression out;
  if (size_t mark = FindFormatMark(expression); mark != std::string_view::npos) {
    std::string_view format_text = expression.substr(mark + 2);
    if (format_text.find(')') == std::string_view::npos) {
      expression = expression.substr(0, mark);
      if (!format_text.empty()) {
        char kind = format_text[0];
        auto temporary = std::make_unique<TfrxFormat>();
        std::string rest(format_text.substr(1));
        bool known = true;
        if (kind == 'B' || kind == 'b') {
          temporary->kind = TfrxFormatKind::fkBoolean;
        } else if (kind == 'D' || kind == 'd' || kind == 'T' || kind == 't') {
          temporary->kind = TfrxFormatKind::fkDateTime;
        } else if (kind == 'N' || kind == 'n') {
          temporary->kind = TfrxFormatKind::fkNumeric;
          for (char& c : rest) {
            if (c == ',' || c == '-' || c == '.') {
              temporary->decimal_separator = std::string(1, c);
              c = '.';
            }
          }
        } else {
          known = false;
        }
        if (known) {
          temporary->format_str = std::move(rest);
          out.format = std::move(temporary);
        }
      }
    }
  }
  out.expression.assign(expression);
  std::string_view trimmed = core::Trim(expression);
  if (SameName(trimmed, "TotalPages#")) {
    out.marker = kTotalPagesMarker;
  } else if (SameName(trimmed, "CopyName#")) {
    out.marker = kCopyNameMarker;
  }
  return out;
}

void EvaluateParsed(TfrxExpressions& expressions, TfrxCustomMemoView& memo, const ParsedExpression& parsed,
                    const TfrxFormat& format, std::string& out) {
  if (!parsed.marker.empty()) {
    memo.value = Variant(std::string(parsed.marker));
    out += parsed.marker;
    return;
  }
  // The value goes into the memo as it is (not copied), the script's Value gets a copy.
  expressions.Calc(parsed.expression, parsed.site, memo.value);
  const Variant& value = memo.value;
  expressions.Script().SetValue(value);
  if (memo.hide_zeros && IsZero(value)) return;
  const TfrxFormat& chosen = parsed.format ? *parsed.format : format;
  // A text under the text format is the text itself: appended without a copy in between.
  if (chosen.kind == TfrxFormatKind::fkText && value.IsString()) {
    out += value.text();
  } else {
    out += FormatValue(value, chosen);
  }
}

}  // namespace

// A memo text cut at its complete bracketed spans: literals[i] comes before spans[i], the
// tail after the last one. Spans are found in the text as written, left to right, each
// search starting after the previous span (a value put in place is never searched again).
struct TfrxMemoTemplate {
  std::string source;
  std::string delimiters;
  bool has_open = false;  // the text holds an opening delimiter
  std::vector<std::string> literals;
  std::vector<ParsedExpression> spans;
  std::string tail;

  void Parse(std::string_view text, std::string_view delimiter_text) {
    source.assign(text);
    delimiters.assign(delimiter_text);
    literals.clear();
    spans.clear();
    tail.clear();
    auto [open, close] = SplitExpressionDelimiters(delimiter_text);
    has_open = text.find(open) != std::string_view::npos;
    if (!has_open) return;
    size_t pos = 0;
    BracketSpan span;
    while (FindBracketed(text, open, close, pos, span)) {
      literals.emplace_back(text.substr(pos, span.begin - pos));
      spans.push_back(ParseExpression(span.expression));
      pos = span.end;
    }
    tail.assign(text.substr(std::min(pos, text.size())));
  }

  // The text with every span replaced by its formatted value, the memo's formats used in
  // turn (the last one for the rest).
  std::string Expand(TfrxExpressions& expressions, TfrxCustomMemoView& memo) const {
    if (!has_open) return source;
    std::string out;
    ExpandInto(expressions, memo, out);
    return out;
  }
  // Expand written into `out` (emptied first), whose storage is reused.
  void ExpandInto(TfrxExpressions& expressions, TfrxCustomMemoView& memo, std::string& out) const {
    out.clear();
    if (!has_open) {
      out += source;
      return;
    }
    out.reserve(source.size() + 16 * spans.size());
    auto& formats = memo.Formats();
    size_t format_index = 0;
    for (size_t i = 0; i < spans.size(); ++i) {
      out += literals[i];
      const TfrxFormat& format = *formats[std::min(format_index, formats.size() - 1)];
      EvaluateParsed(expressions, memo, spans[i], format, out);
      if (format_index + 1 < formats.size()) ++format_index;
    }
    out += tail;
  }
};

std::string EvaluateAndFormat(TfrxExpressions& expressions, TfrxCustomMemoView& memo, std::string_view expression,
                              const TfrxFormat& format) {
  std::string out;
  EvaluateParsed(expressions, memo, ParseExpression(expression), format, out);
  return out;
}

std::string ExpandExpressions(TfrxExpressions& expressions, TfrxCustomMemoView& memo, std::string_view text) {
  TfrxMemoTemplate parsed;
  parsed.Parse(text, memo.expression_delimiters);
  return parsed.Expand(expressions, memo);
}

std::string ReplacePageMarkers(std::string_view text, int total_pages, std::string_view copy_name) {
  std::string out(text);
  const std::string total = std::to_string(total_pages);
  for (auto [marker, value] : {std::pair<std::string_view, std::string_view>{kTotalPagesMarker, total},
                               std::pair<std::string_view, std::string_view>{kCopyNameMarker, copy_name}}) {
    for (size_t pos = 0; pos + marker.size() <= out.size();) {
      if (SameName(std::string_view(out).substr(pos, marker.size()), marker)) {
        out.replace(pos, marker.size(), value);
        pos += value.size();
      } else {
        ++pos;
      }
    }
  }
  return out;
}

void ViewFillData(TfrxExpressions& expressions, TfrxView& view) {
  // A text without an opening bracket is left as it is (no copy made and put back).
  auto expand = [&expressions](std::string& text) {
    if (text.find('[') == std::string::npos) return;
    text = ReplaceBracketed(text, "[", "]", [&expressions](const std::string& expression) {
      return core::VarToStr(expressions.Calc(expression));
    });
  };
  expand(view.tag_str);
  TfrxHyperlink& link = view.Hyperlink();
  expand(link.value);
  if (!core::Trim(link.expression).empty()) {
    Variant v = expressions.Calc(link.expression);
    link.value = v.IsString() ? QuoteForLanguage(expressions.Report().script_language, v.text()) : core::VarToStr(v);
  }
}

void MemoBeforePrint(TfrxCustomMemoView& memo) {
  TfrxMemoSavedState& s = Saved(memo);
  s.before_print = true;
  // The lines themselves (a sorted list as its text: its order is its own). The text with
  // every line's break: the Text property drops the last break, so putting it back would
  // lose a trailing empty line on every print.
  s.lines_saved = !memo.Lines().Sorted();
  if (s.lines_saved) {
    s.lines.CopyLinesFrom(memo.Lines());
  } else {
    memo.Lines().TextTo(s.text);
  }
  s.tag_str = memo.tag_str;
  s.hyperlink_value = memo.Hyperlink().value;
}

void MemoFillData(TfrxExpressions& expressions, TfrxCustomMemoView& memo, const TfrxOverflowSplitter& split_overflow) {
  TfrxRunState& state = expressions.State();
  const std::string saved_object = state.current_object;
  state.current_object = memo.Name();
  struct Restore {
    TfrxRunState& state;
    const std::string& name;
    ~Restore() { state.current_object = name; }
  } restore{state, saved_object};

  ViewFillData(expressions, memo);
  if (memo.Formats().empty()) memo.Formats().push_back(std::make_unique<TfrxFormat>());

  // A memo without a data field reads none: its data set need not be looked up.
  TfrxDataSet* ds = memo.data_field.empty() ? nullptr : memo.data_set.Get();
  if (ds == nullptr && !memo.data_field.empty() && !memo.DataSetName().empty()) {
    ds = expressions.FindDataSet(memo.DataSetName());
  }
  if (ds != nullptr) {
    TfrxDataField field;
    if (expressions.ReadField(*ds, memo.data_field, field)) {
      if (field.is_blob) {
        memo.SetText(field.value.IsEmptyOrNull() ? std::string() : core::VarToStr(field.value));
      } else {
        memo.value = field.value;
        expressions.Script().SetValue(field.value);
        std::string text = memo.DisplayFormat().kind != TfrxFormatKind::fkText
                               ? FormatValue(field.value, memo.DisplayFormat())
                               : field.display_text;
        if (memo.hide_zeros && IsZero(field.value)) text.clear();
        memo.SetText(text);
      }
    }
  }

  if (memo.allow_expressions) {
    TfrxMemoSavedState& s = Saved(memo);
    // The text as Text() gives it (the lines joined, without the last line break), compared
    // with the template's without joining the lines; joined only for a new template.
    if (!s.parsed || !memo.Lines().JoinedEquals(s.parsed->source) ||
        s.parsed->delimiters != memo.expression_delimiters) {
      std::string& text = s.scratch;
      memo.Lines().JoinedTo(text);
      auto parsed = std::make_shared<TfrxMemoTemplate>();
      parsed->Parse(text, memo.expression_delimiters);
      s.parsed = std::move(parsed);
    }
    // Expansion may run scripts that touch this memo (even print it, or drop its saved
    // state): hold the template and the state.
    const std::shared_ptr<const TfrxMemoTemplate> parsed = s.parsed;
    const std::shared_ptr<TfrxMemoSavedState> held = memo.saved;
    if (!held->expanding) {
      held->expanding = true;
      struct Done {
        TfrxMemoSavedState& state;
        ~Done() { state.expanding = false; }
      } done{*held};
      parsed->ExpandInto(expressions, memo, held->expanded);
      if (held->expanded != parsed->source) memo.SetText(held->expanded);
    } else {
      std::string expanded = parsed->Expand(expressions, memo);
      if (expanded != parsed->source) memo.SetText(expanded);
    }
  }

  for (const auto& h : memo.Highlights()) {
    if (core::Trim(h->condition).empty()) continue;
    Variant v = expressions.Calc(h->condition);
    bool holds = false;
    try {
      holds = !v.IsEmptyOrNull() && v.AsBoolean();
    } catch (const core::Exception&) {
      holds = false;
    }
    if (holds) {
      ApplyHighlight(memo, *h);
      break;
    }
  }

  if (memo.suppress_repeated) {
    std::string text = memo.Text();
    if (text == memo.last_printed_text) {
      memo.SetText("");
    } else {
      memo.last_printed_text = std::move(text);
    }
  }

  if (TfrxCustomMemoView* target = memo.flow_to.Get(); target != nullptr && target != &memo && split_overflow) {
    HandOverFlow(*target, split_overflow(memo));
  }
}

void HandOverFlow(TfrxCustomMemoView& target, std::string text) {
  if (!target.saved || !target.saved->before_print) MemoBeforePrint(target);
  TfrxMemoSavedState& s = Saved(target);
  if (!s.flow_target) {
    s.flow_target = true;
    s.allow_expressions = target.allow_expressions;
  }
  target.SetText(text);
  target.allow_expressions = false;
}

void MemoAfterPrint(TfrxCustomMemoView& memo) {
  if (!memo.saved) return;
  TfrxMemoSavedState& s = *memo.saved;
  if (s.before_print) {
    core::TStringList& lines = memo.Lines();
    if (s.lines_saved && !lines.Sorted()) {
      lines.SwapLines(s.lines);
    } else if (s.lines_saved) {
      // Sorted during the print: the saved lines go in as text, in the list's own order.
      s.lines.TextTo(s.text);
      lines.SetText(s.text);
    } else if (!lines.TextEquals(s.text)) {
      lines.SetText(s.text);
    }
    memo.tag_str = s.tag_str;
    memo.Hyperlink().value = s.hyperlink_value;
    s.before_print = false;
  }
  if (s.highlighted) {
    memo.Font().Assign(s.font);
    if (s.fill) memo.SetFill(*s.fill);
    memo.Frame().typ = s.frame_typ;
    memo.Frame().SetColor(s.frame_color);
    memo.Frame().SetStyle(s.frame_style);
    memo.Frame().SetWidth(s.frame_width);
    memo.SetVisible(s.visible);
    s.highlighted = false;
  }
  if (s.flow_target) {
    memo.allow_expressions = s.allow_expressions;
    s.flow_target = false;
  }
}

}  // namespace lgoty::report
