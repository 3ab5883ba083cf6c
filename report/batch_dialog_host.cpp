#include "report/batch_dialog_host.h"

#include "core/format_settings.h"
#include "core/rtti.h"
#include "core/string_list.h"
#include "core/text_format.h"
#include "core/text_trim.h"
#include "core/variant.h"
#include "report/dialog_controls.h"
#include "report/dialog_events.h"
#include "report/dialog_session.h"
#include "report/pages.h"
#include "report/report.h"

namespace lgoty::report {

namespace {

std::string_view Trim(std::string_view text) { return core::Trim(text, " \t"); }

const TfrxComponent& RootOf(const TfrxComponent& component) {
  if (TfrxReport* report = component.Report()) return *report;
  return component;
}

TfrxComponent* FindNamed(const TfrxComponent& root, const std::string& name) {
  if (auto* report = dynamic_cast<const TfrxReport*>(&root)) return report->FindByName(name);
  return root.FindObject(name);
}

TfrxComponent& RequireObject(const TfrxComponent& root, const std::string& name) {
  TfrxComponent* object = FindNamed(root, name);
  if (!object) throw EDialogError("The report has no object named " + name);
  return *object;
}

TfrxDialogControl& RequireButton(const TfrxComponent& root, const std::string& name) {
  auto* button = dynamic_cast<TfrxDialogControl*>(&RequireObject(root, name));
  if (!button || !IsDialogButton(*button)) {
    throw EDialogError(name + " is not a button of a dialog page");
  }
  return *button;
}

// The property at the end of path, and the object that holds it; EDialogError naming
// object_name.path when a step is missing.
const core::PropInfo& ResolvePath(core::TObject*& holder, const std::string& object_name,
                                  const std::string& path) {
  std::string_view rest = path;
  while (true) {
    size_t dot = rest.find('.');
    std::string step(Trim(rest.substr(0, dot)));
    const core::ClassInfo* info = holder->ClassType();
    const core::PropInfo* prop = info ? info->FindProperty(step) : nullptr;
    if (!prop || step.empty()) {
      throw EDialogError(object_name + " (" + holder->ClassName() + ") has no property " +
                         (step.empty() ? path : step));
    }
    if (dot == std::string_view::npos) return *prop;
    core::TObject* nested = prop->kind == core::TypeKind::Class &&
                                    prop->role == core::ObjectRole::Nested && prop->get_object
                                ? prop->get_object(*holder)
                                : nullptr;
    if (!nested) {
      throw EDialogError(object_name + "." + step + " has no properties of its own");
    }
    holder = nested;
    rest = rest.substr(dot + 1);
  }
}

core::Variant ValueFor(const core::PropInfo& prop, const std::string& text) {
  if (prop.kind != core::TypeKind::Float) return core::Variant(text);
  // Either decimal separator is taken, whatever the locale.
  core::FormatSettings dot;
  dot.DecimalSeparator = ".";
  core::FormatSettings comma;
  comma.DecimalSeparator = ",";
  double number = 0;
  if (core::TryStrToFloat(text, number, dot) || core::TryStrToFloat(text, number, comma)) {
    return core::Variant(number);
  }
  throw core::EConvertError("'" + text + "' is not a valid floating point value");
}

}  // namespace

DialogAssignment ParseDialogAssignment(std::string_view text) {
  size_t equals = text.find('=');
  std::string_view target = Trim(text.substr(0, equals));
  size_t dot = target.find('.');
  if (equals == std::string_view::npos || dot == std::string_view::npos || dot == 0 ||
      dot + 1 == target.size()) {
    throw EDialogError("Expected Object.Property=Value, got \"" + std::string(text) + "\"");
  }
  return {std::string(Trim(target.substr(0, dot))), std::string(Trim(target.substr(dot + 1))),
          std::string(text.substr(equals + 1))};
}

void SetPropertyFromText(core::TObject& object, const std::string& object_name,
                         const std::string& property_path, const std::string& value) {
  core::TObject* holder = &object;
  const core::PropInfo& prop = ResolvePath(holder, object_name, property_path);
  std::string full = object_name + "." + property_path;
  if (prop.kind == core::TypeKind::Class) {
    auto* list = (prop.role == core::ObjectRole::StringList ||
                  prop.role == core::ObjectRole::WideStringList) && prop.get_object
                     ? dynamic_cast<core::TStringList*>(prop.get_object(*holder))
                     : nullptr;
    if (!list) throw EDialogError(full + " cannot be set from text");
    list->SetText(value);
    return;
  }
  if (!prop.HasSetter()) throw EDialogError(full + " is read-only");
  try {
    prop.SetValue(*holder, ValueFor(prop, value));
  } catch (const EDialogError&) {
    throw;
  } catch (const core::Exception& e) {
    throw EDialogError("Cannot set " + full + " to \"" + value + "\": " + e.Message());
  }
}

void BatchDialogHost::Check(const TfrxComponent& report) const {
  const TfrxComponent& root = RootOf(report);
  for (const DialogAssignment& a : assignments_) {
    core::TObject* holder = &RequireObject(root, a.object);
    ResolvePath(holder, a.object, a.property);
  }
  for (const std::string& name : buttons_) RequireButton(root, name);
}

TfrxDialogControl* BatchDialogHost::ButtonFor(TfrxDialogPage& page) const {
  const TfrxComponent& root = RootOf(page);
  for (const std::string& name : buttons_) {
    TfrxDialogControl& button = RequireButton(root, name);
    if (button.Page() == &page) return &button;
  }
  TfrxDialogControl* default_button = nullptr;
  for (TfrxComponent* object : page.AllObjects()) {
    auto* control = dynamic_cast<TfrxDialogControl*>(object);
    if (!control || !IsDialogButton(*control)) continue;
    if (control->modal_result == mrOk) return control;
    if (control->default_button && !default_button) default_button = control;
  }
  return default_button;
}

int BatchDialogHost::ShowModal(TfrxDialogPage& page) {
  const TfrxComponent& root = RootOf(page);
  Check(root);
  TfrxDialogControl* button = close_box_ ? nullptr : ButtonFor(page);
  if (!close_box_ && !button) {
    throw EDialogError("The dialog " + page.Name() +
                       " has no OK button; name the button to click");
  }

  DialogSession session(page);
  session.Begin();
  for (const DialogAssignment& a : assignments_) {
    TfrxComponent& object = RequireObject(root, a.object);
    if (object.Page() == &page) SetPropertyFromText(object, a.object, a.property, a.value);
  }
  std::string action;
  if (close_box_) {
    action = "close box";
    session.CloseBox();
  } else {
    action = button->Name();
    // An operator cannot press what is disabled or hidden (a handler may have made it so).
    for (const TfrxComponent* c = button; c && c != &page; c = c->Parent()) {
      auto* control = dynamic_cast<const TfrxDialogControl*>(c);
      if (!c->Visible() || (control && !control->enabled)) {
        throw EDialogError("The button " + action + " of the dialog " + page.Name() +
                           " cannot be pressed: it is disabled or hidden");
      }
    }
    session.Click(*button);
  }
  if (!session.ShouldClose()) {
    throw EDialogError("The dialog " + page.Name() + " stayed open after " +
                       (close_box_ ? "its close box was pressed" : action + " was pressed"));
  }
  int result = session.End();
  log_.push_back(page.Name() + ": " + action + " -> " + std::to_string(result));
  return result;
}

}  // namespace lgoty::report
