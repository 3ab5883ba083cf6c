#include "report/dialog_events.h"

#include <algorithm>
#include <vector>

#include "core/utf8_text.h"
#include "core/variant.h"
#include "report/report.h"

namespace lgoty::report {

namespace {

// Calls the handler with args; false when nothing ran (no report, no such procedure).
bool Call(const TfrxComponent& component, const std::string& handler,
          std::vector<core::Variant>& args) {
  if (handler.empty()) return false;
  TfrxReport* report = component.Report();
  if (!report) return false;
  return report->CallScriptProcedure(handler, args);
}

// The first UTF-8 character of text (a lone or broken lead byte counts as one character).
std::string FirstCharacter(const std::string& text) {
  if (text.empty()) return text;
  return text.substr(0, std::max<size_t>(1, core::Utf8SequenceLength(text, 0)));
}

}  // namespace

void FireNotifyEvent(const TfrxComponent& component, const std::string& handler,
                     core::TObject* sender) {
  std::vector<core::Variant> args{core::Variant(sender)};
  Call(component, handler, args);
}

bool FireCloseQueryEvent(const TfrxComponent& component, const std::string& handler,
                         core::TObject* sender) {
  std::vector<core::Variant> args{core::Variant(sender), core::Variant(true)};
  if (!Call(component, handler, args)) return true;
  return args.size() < 2 || args[1].AsBoolean();
}

int FireKeyEvent(const TfrxComponent& component, const std::string& handler,
                 core::TObject* sender, int key, int shift) {
  std::vector<core::Variant> args{core::Variant(sender), core::Variant(int32_t{key}),
                                  core::Variant(int32_t{shift})};
  if (!Call(component, handler, args) || args.size() < 2) return key;
  return args[1].AsInteger();
}

std::string FireKeyPressEvent(const TfrxComponent& component, const std::string& handler,
                              core::TObject* sender, const std::string& key) {
  std::vector<core::Variant> args{core::Variant(sender), core::Variant(key)};
  if (!Call(component, handler, args) || args.size() < 2) return key;
  return FirstCharacter(args[1].AsString());
}

void FireMouseEvent(const TfrxComponent& component, const std::string& handler,
                    core::TObject* sender, int button, int shift, int x, int y) {
  std::vector<core::Variant> args{core::Variant(sender), core::Variant(int32_t{button}),
                                  core::Variant(int32_t{shift}), core::Variant(int32_t{x}),
                                  core::Variant(int32_t{y})};
  Call(component, handler, args);
}

void FireMouseMoveEvent(const TfrxComponent& component, const std::string& handler,
                        core::TObject* sender, int shift, int x, int y) {
  std::vector<core::Variant> args{core::Variant(sender), core::Variant(int32_t{shift}),
                                  core::Variant(int32_t{x}), core::Variant(int32_t{y})};
  Call(component, handler, args);
}

}  // namespace lgoty::report
