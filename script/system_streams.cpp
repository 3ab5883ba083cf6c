// TStream, TMemoryStream and TFileStream over core streams; files are opened through
// platform/. A file stream opens exactly the file its constructor names.
#include "core/stream.h"
#include "platform/file_stream.h"
#include "script/system_library.h"

namespace lgoty::script {

core::TObject* Adopt(TfsScript& s, std::unique_ptr<core::TObject> object);

namespace {

using P = std::vector<Variant>;

core::TStream& Stream(core::TObject* o) {
  auto* self = dynamic_cast<core::TStream*>(o);
  if (self == nullptr) throw EScriptError("Object of class TStream required");
  return *self;
}

core::TMemoryStream& Memory(core::TObject* o) {
  auto* self = dynamic_cast<core::TMemoryStream*>(o);
  if (self == nullptr) throw EScriptError("Object of class TMemoryStream required");
  return *self;
}

// File modes as the platform numbers them.
constexpr int32_t kFmCreate = 0xFF00;
constexpr int32_t kFmOpenRead = 0x0000;
constexpr int32_t kFmOpenWrite = 0x0001;
constexpr int32_t kFmOpenReadWrite = 0x0002;

}  // namespace

void RegisterStreamClasses(TfsScript& s) {
  TfsScript* script = &s;
  s.AddConst("fmCreate", "Integer", Variant(kFmCreate));
  s.AddConst("fmOpenRead", "Integer", Variant(kFmOpenRead));
  s.AddConst("fmOpenWrite", "Integer", Variant(kFmOpenWrite));
  s.AddConst("fmOpenReadWrite", "Integer", Variant(kFmOpenReadWrite));
  s.AddConst("fmShareExclusive", "Integer", Variant(0x0010));
  s.AddConst("fmShareDenyWrite", "Integer", Variant(0x0020));
  s.AddConst("fmShareDenyNone", "Integer", Variant(0x0040));
  s.AddConst("soFromBeginning", "Integer", Variant(0));
  s.AddConst("soFromCurrent", "Integer", Variant(1));
  s.AddConst("soFromEnd", "Integer", Variant(2));

  TfsClassVariable* stream = s.AddClass("TStream", "TObject");
  if (stream == nullptr) return;
  stream->AddMethod("function Seek(Offset: Integer; Origin: Word): Integer",
                    [](core::TObject* o, TfsClassVariable*, const std::string&, P& p) {
                      int64_t origin = p[1].AsInt64();
                      core::SeekOrigin so = origin == 1 ? core::SeekOrigin::Current
                                            : origin == 2 ? core::SeekOrigin::End
                                                          : core::SeekOrigin::Begin;
                      int64_t r = Stream(o).Seek(p[0].AsInt64(), so);
                      return r <= INT32_MAX ? Variant(static_cast<int32_t>(r)) : Variant(r);
                    });
  stream->AddMethod("function CopyFrom(Source: TStream; Count: Integer): Integer",
                    [](core::TObject* o, TfsClassVariable*, const std::string&, P& p) {
                      core::TStream& src = Stream(p[0].IsObject() ? p[0].AsObject() : nullptr);
                      int64_t count = p[1].AsInt64();
                      if (count <= 0) {
                        src.SetPosition(0);
                        count = src.Size();
                      }
                      std::string buffer(static_cast<size_t>(std::min<int64_t>(count, 1 << 24)), '\0');
                      size_t n = src.Read(buffer.data(), buffer.size());
                      Stream(o).Write(buffer.data(), n);
                      return Variant(static_cast<int32_t>(n));
                    });
  stream->AddProperty(
      "Position", "Integer",
      [](core::TObject* o, TfsClassVariable*, const std::string&) { return Variant(Stream(o).Position()); },
      [](core::TObject* o, TfsClassVariable*, const std::string&, const Variant& v) { Stream(o).SetPosition(v.AsInt64()); });
  stream->AddProperty("Size", "Integer", [](core::TObject* o, TfsClassVariable*, const std::string&) {
    return Variant(Stream(o).Size());
  });

  TfsClassVariable* memory = s.AddClass("TMemoryStream", "TStream");
  memory->AddConstructor("constructor Create", [script](core::TObject*, TfsClassVariable*, const std::string&, P&) {
    return Variant(Adopt(*script, std::make_unique<core::TMemoryStream>()));
  });
  memory->AddMethod("procedure Clear", [](core::TObject* o, TfsClassVariable*, const std::string&, P&) {
    Memory(o).Clear();
    return Variant();
  });
  memory->AddMethod("procedure LoadFromFile(const FileName: string)",
                    [](core::TObject* o, TfsClassVariable*, const std::string&, P& p) {
                      auto f = platform::FileStream::Open(core::VarToStr(p[0]), platform::FileStreamMode::Read);
                      core::TMemoryStream& m = Memory(o);
                      m.Clear();
                      m.Write(f->ReadRest());
                      m.SetPosition(0);
                      return Variant();
                    });
  memory->AddMethod("procedure SaveToFile(const FileName: string)",
                    [](core::TObject* o, TfsClassVariable*, const std::string&, P& p) {
                      auto f = platform::FileStream::Open(core::VarToStr(p[0]), platform::FileStreamMode::Create);
                      f->Write(Memory(o).Bytes());
                      return Variant();
                    });

  TfsClassVariable* file = s.AddClass("TFileStream", "TStream");
  file->AddConstructor("constructor Create(const FileName: string; Mode: Integer)",
                       [script](core::TObject*, TfsClassVariable*, const std::string&, P& p) {
                         const int64_t mode = p[1].AsInt64();
                         using platform::FileStreamMode;
                         const FileStreamMode m = (mode & 0xFF00) == kFmCreate ? FileStreamMode::Create
                                                  : (mode & 3) == kFmOpenRead  ? FileStreamMode::Read
                                                                               : FileStreamMode::ReadWrite;
                         return Variant(Adopt(*script, platform::FileStream::Open(core::VarToStr(p[0]), m)));
                       });
}

}  // namespace lgoty::script
