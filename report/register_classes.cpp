// The one place that registers the report object model's classes, base classes first.
#include <mutex>

#include "report/bands.h"
#include "report/component.h"
#include "report/data_sets.h"
#include "report/dialog_controls.h"
#include "report/graphics.h"
#include "report/pages.h"
#include "report/persistent.h"
#include "report/report_options.h"
#include "report/views.h"

namespace lgoty::report {

void RegisterReportClass();

void RegisterReportClasses() {
  static std::once_flag once;
  std::call_once(once, [] {
    RegisterGraphicsClasses();
    RegisterReportOptionClasses();
    RegisterComponentClasses();
    RegisterViewClasses();
    RegisterBandClasses();
    RegisterPageClasses();
    RegisterDialogControlClasses();
    RegisterDataSetClasses();
    RegisterReportClass();
  });
}

const core::ClassInfo* FindReportClass(std::string_view name) {
  RegisterReportClasses();
  return core::ClassRegistry::Instance().Find(name);
}

}  // namespace lgoty::report
