// One offscreen GUI application for the render tests (fonts need it) and the Qt measurer as
// the default measurer of every layout.
#include <gtest/gtest.h>

#include <QGuiApplication>

#include "render/text_measurer.h"

namespace {

class GuiApplication : public ::testing::Environment {
 public:
  void SetUp() override {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "render_tests";
    static char* argv[] = {name, nullptr};
    app_ = new QGuiApplication(argc, argv);
    lgoty::render::InstallTextMeasurer();
  }

 private:
  QGuiApplication* app_ = nullptr;
};

[[maybe_unused]] ::testing::Environment* const kEnvironment =
    ::testing::AddGlobalTestEnvironment(new GuiApplication);

}  // namespace
