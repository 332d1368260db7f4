#include "tests/qt/guitest.h"

#include "tests/support/testfiles.h"

#include <gtest/gtest.h>

#include <memory>

namespace jbx::testing {
namespace {

struct GuiEnvironment : ::testing::Environment {
    void SetUp() override
    {
        // Settings and the file dialog's history go to a private folder,
        // never the user's.
        config_ = std::make_unique<TempDir>();
        qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(config_->path()));
        if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        // The desktop's own file dialog runs outside the process, where no
        // test can answer it; Qt's own takes the same requests.
        QApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
        application_ = std::make_unique<QApplication>(argc_, argv_);
    }
    void TearDown() override { application_.reset(); }
    int argc_ = 1;
    char name_[16] = "jbx_gui_test";
    char* argv_[2] = {name_, nullptr};
    std::unique_ptr<TempDir> config_;
    std::unique_ptr<QApplication> application_;
};

[[maybe_unused]] ::testing::Environment* const environment =
    ::testing::AddGlobalTestEnvironment(new GuiEnvironment);

} // namespace
} // namespace jbx::testing
