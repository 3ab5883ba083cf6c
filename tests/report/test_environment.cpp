// The report tests run under the conventions the shipped template was written with: the
// ANSI code page 1251 and the Russian number format (decimal comma), whatever the locale
// of the machine running them.
#include <gtest/gtest.h>

#include "core/code_page.h"
#include "core/format_settings.h"

namespace {

class RussianDesktop : public ::testing::Environment {
 public:
  void SetUp() override {
    lgoty::core::SetSystemCodePages({1251, 866});
    lgoty::core::SetDefaultFormatSettings(lgoty::core::FormatSettings::Russian());
  }
};

[[maybe_unused]] ::testing::Environment* const kEnvironment =
    ::testing::AddGlobalTestEnvironment(new RussianDesktop);

}  // namespace
