// ctConv and ctFormat: conversions and formatting on the process's format settings.
#include "core/text_format.h"
#include "script/system_library.h"

namespace lgoty::script {

namespace {

using P = std::vector<Variant>;
const core::FormatSettings& FS() { return core::DefaultFormatSettings(); }

Variant IntVariant(int64_t v) {
  return v >= INT32_MIN && v <= INT32_MAX ? Variant(static_cast<int32_t>(v)) : Variant(v);
}

Variant IntToStr(P& p) { return Variant(core::IntToStr(p[0].AsInt64())); }
Variant FloatToStr(P& p) { return Variant(core::FloatToStr(p[0].AsDouble(), FS())); }
Variant DateToStr(P& p) { return Variant(core::DateToStr(p[0].AsDouble(), FS())); }
Variant TimeToStr(P& p) { return Variant(core::TimeToStr(p[0].AsDouble(), FS())); }
Variant DateTimeToStr(P& p) { return Variant(core::DateTimeToStr(p[0].AsDouble(), FS())); }
Variant BoolToStr(P& p) { return Variant(core::BoolToStr(p[0].AsBoolean())); }
Variant VarToStr(P& p) { return Variant(core::VarToStr(p[0])); }
Variant StrToInt(P& p) { return Variant(core::StrToInt(core::VarToStr(p[0]))); }
Variant StrToInt64(P& p) { return IntVariant(core::StrToInt64(core::VarToStr(p[0]))); }
Variant StrToFloat(P& p) { return Variant(core::StrToFloat(core::VarToStr(p[0]), FS())); }
Variant StrToDate(P& p) { return Variant::FromDate(core::StrToDate(core::VarToStr(p[0]), FS())); }
Variant StrToTime(P& p) { return Variant::FromDate(core::StrToTime(core::VarToStr(p[0]), FS())); }
Variant StrToDateTime(P& p) { return Variant::FromDate(core::StrToDateTime(core::VarToStr(p[0]), FS())); }
Variant StrToBool(P& p) { return Variant(core::StrToBool(core::VarToStr(p[0]), FS())); }

Variant Format(P& p) {
  std::vector<Variant> args;
  if (p[1].IsArray()) {
    args = p[1].Elements();
  } else if (!p[1].IsEmpty()) {
    args.push_back(p[1]);
  }
  return Variant(core::Format(core::VarToStr(p[0]), args, FS()));
}

Variant FormatFloat(P& p) { return Variant(core::FormatFloat(core::VarToStr(p[0]), p[1].AsDouble(), FS())); }
Variant FormatDateTime(P& p) {
  return Variant(core::FormatDateTime(core::VarToStr(p[0]), p[1].AsDouble(), FS()));
}
Variant FormatMaskText(P& p) {
  return Variant(core::FormatMaskText(core::VarToStr(p[0]), core::VarToStr(p[1]), FS()));
}

}  // namespace

void RegisterConvFunctions(TfsScript& s) {
  const char* c = "ctConv";
  s.AddMethod("function IntToStr(i: Integer): String", Fn(IntToStr), c);
  s.AddMethod("function FloatToStr(e: Extended): String", Fn(FloatToStr), c);
  s.AddMethod("function DateToStr(e: Extended): String", Fn(DateToStr), c);
  s.AddMethod("function TimeToStr(e: Extended): String", Fn(TimeToStr), c);
  s.AddMethod("function DateTimeToStr(e: Extended): String", Fn(DateTimeToStr), c);
  s.AddMethod("function BoolToStr(B: Boolean): string;", Fn(BoolToStr), c);
  s.AddMethod("function VarToStr(v: Variant): String", Fn(VarToStr), c);
  s.AddMethod("function StrToInt(s: String): Integer", Fn(StrToInt), c);
  s.AddMethod("function StrToInt64(s: String): Int64", Fn(StrToInt64), c);
  s.AddMethod("function StrToFloat(s: String): Extended", Fn(StrToFloat), c);
  s.AddMethod("function StrToDate(s: String): Extended", Fn(StrToDate), c);
  s.AddMethod("function StrToTime(s: String): Extended", Fn(StrToTime), c);
  s.AddMethod("function StrToDateTime(s: String): Extended", Fn(StrToDateTime), c);
  s.AddMethod("function StrToBool(const S: string): Boolean;", Fn(StrToBool), c);
  const char* f = "ctFormat";
  s.AddMethod("function Format(Fmt: String; Args: array): String", Fn(Format), f);
  s.AddMethod("function FormatFloat(Fmt: String; Value: Extended): String", Fn(FormatFloat), f);
  s.AddMethod("function FormatDateTime(Fmt: String; DateTime: TDateTime): String", Fn(FormatDateTime), f);
  s.AddMethod("function FormatMaskText(EditMask: string; Value: string): string", Fn(FormatMaskText), f);
}

}  // namespace lgoty::script
