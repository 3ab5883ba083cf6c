// ctDate and ctMath.
#include <cmath>

#include "core/date_time.h"
#include "script/interpreter.h"
#include "script/system_library.h"

namespace lgoty::script {

namespace {

using P = std::vector<Variant>;

Variant IntVariant(int64_t v) {
  return v >= INT32_MIN && v <= INT32_MAX ? Variant(static_cast<int32_t>(v)) : Variant(v);
}

int Word(const Variant& v) {
  int64_t x = v.AsInt64();
  if (x < INT32_MIN || x > INT32_MAX) throw core::EConvertError("Invalid argument to date encode");
  return static_cast<int>(x);
}

Variant EncodeDate(P& p) { return Variant::FromDate(core::EncodeDate(Word(p[0]), Word(p[1]), Word(p[2]))); }

Variant DecodeDate(P& p) {
  int y = 0, m = 0, d = 0;
  core::DecodeDate(p[0].AsDouble(), y, m, d);
  p[1] = Variant(y);
  p[2] = Variant(m);
  p[3] = Variant(d);
  return Variant();
}

Variant EncodeTime(P& p) {
  return Variant::FromDate(core::EncodeTime(Word(p[0]), Word(p[1]), Word(p[2]), Word(p[3])));
}

Variant DecodeTime(P& p) {
  int h = 0, n = 0, s = 0, ms = 0;
  core::DecodeTime(p[0].AsDouble(), h, n, s, ms);
  p[1] = Variant(h);
  p[2] = Variant(n);
  p[3] = Variant(s);
  p[4] = Variant(ms);
  return Variant();
}

Variant Date(P&) { return Variant::FromDate(core::Date()); }
Variant Time(P&) { return Variant::FromDate(core::TimeOf(core::Now())); }
Variant Now(P&) { return Variant::FromDate(core::Now()); }
Variant DayOfWeek(P& p) { return Variant(core::DayOfWeek(p[0].AsDouble())); }
Variant IsLeapYear(P& p) { return Variant(core::IsLeapYear(Word(p[0]))); }
Variant DaysInMonth(P& p) { return Variant(core::DaysInMonth(Word(p[0]), Word(p[1]))); }

double Checked(double v) {
  if (std::isnan(v) || std::isinf(v)) throw core::EMathError("Invalid floating point operation");
  return v;
}

int64_t ToInteger(double v) {
  Checked(v);
  if (v >= 9.2233720368547758e18 || v < -9.2233720368547758e18) {
    throw core::EMathError("Invalid floating point operation");
  }
  return static_cast<int64_t>(v);
}

// Round to nearest, halves to the even neighbour (the platform's rounding).
Variant Round(P& p) { return IntVariant(ToInteger(std::nearbyint(Checked(p[0].AsDouble())))); }
Variant Trunc(P& p) { return IntVariant(ToInteger(std::trunc(p[0].AsDouble()))); }
Variant Int(P& p) { return IntVariant(ToInteger(std::trunc(p[0].AsDouble()))); }
Variant Frac(P& p) {
  double v = Checked(p[0].AsDouble());
  return Variant(v - std::trunc(v));
}
Variant Sqrt(P& p) {
  double v = p[0].AsDouble();
  if (v < 0) throw core::EMathError("Invalid floating point operation");
  return Variant(std::sqrt(v));
}
Variant Abs(P& p) {
  if (p[0].kind() == Variant::Kind::Integer) {
    int64_t v = p[0].ordinal();
    return IntVariant(v < 0 ? -v : v);
  }
  return Variant(std::fabs(p[0].AsDouble()));
}
Variant Sin(P& p) { return Variant(std::sin(Checked(p[0].AsDouble()))); }
Variant Cos(P& p) { return Variant(std::cos(Checked(p[0].AsDouble()))); }
Variant ArcTan(P& p) { return Variant(std::atan(p[0].AsDouble())); }
Variant Tan(P& p) { return Variant(std::tan(Checked(p[0].AsDouble()))); }
Variant Exp(P& p) {
  double v = std::exp(p[0].AsDouble());
  if (std::isinf(v)) throw core::EMathError("Floating point overflow");
  return Variant(v);
}
Variant Ln(P& p) {
  double v = p[0].AsDouble();
  if (!(v > 0)) throw core::EMathError("Invalid floating point operation");
  return Variant(std::log(v));
}
Variant Pi(P&) { return Variant(3.14159265358979323846); }

}  // namespace

void RegisterDateMathFunctions(TfsScript& s) {
  const char* d = "ctDate";
  s.AddMethod("function EncodeDate(Year, Month, Day: Word): TDateTime", Fn(EncodeDate), d);
  s.AddMethod("procedure DecodeDate(Date: TDateTime; var Year, Month, Day: Word)", Fn(DecodeDate), d);
  s.AddMethod("function EncodeTime(Hour, Min, Sec, MSec: Word): TDateTime", Fn(EncodeTime), d);
  s.AddMethod("procedure DecodeTime(Time: TDateTime; var Hour, Min, Sec, MSec: Word)", Fn(DecodeTime), d);
  s.AddMethod("function Date: TDateTime", Fn(Date), d);
  s.AddMethod("function Time: TDateTime", Fn(Time), d);
  s.AddMethod("function Now: TDateTime", Fn(Now), d);
  s.AddMethod("function DayOfWeek(aDate: TDateTime): Integer", Fn(DayOfWeek), d);
  s.AddMethod("function IsLeapYear(Year: Word): Boolean", Fn(IsLeapYear), d);
  s.AddMethod("function DaysInMonth(nYear, nMonth: Integer): Integer", Fn(DaysInMonth), d);
  const char* m = "ctMath";
  s.AddMethod("function Round(e: Extended): Integer", Fn(Round), m);
  s.AddMethod("function Trunc(e: Extended): Integer", Fn(Trunc), m);
  s.AddMethod("function Int(e: Extended): Integer", Fn(Int), m);
  s.AddMethod("function Frac(X: Extended): Extended", Fn(Frac), m);
  s.AddMethod("function Sqrt(e: Extended): Extended", Fn(Sqrt), m);
  s.AddMethod("function Abs(e: Extended): Extended", Fn(Abs), m);
  s.AddMethod("function Sin(e: Extended): Extended", Fn(Sin), m);
  s.AddMethod("function Cos(e: Extended): Extended", Fn(Cos), m);
  s.AddMethod("function ArcTan(X: Extended): Extended", Fn(ArcTan), m);
  s.AddMethod("function Tan(X: Extended): Extended", Fn(Tan), m);
  s.AddMethod("function Exp(X: Extended): Extended", Fn(Exp), m);
  s.AddMethod("function Ln(X: Extended): Extended", Fn(Ln), m);
  s.AddMethod("function Pi: Extended", Fn(Pi), m);
}

}  // namespace lgoty::script
