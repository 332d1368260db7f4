#include "tests/qt/guitest.h"

#include "tests/support/testfiles.h"

#include <gtest/gtest.h>

#include <QAccessible>

#include <memory>
#include <string>

namespace jbx::testing {
namespace {

// Icons, group frames, layouts and scroll bars are announced by their role.
bool NeedsName(QAccessibleInterface* node)
{
    const QAccessible::Role role = node->role();
    return role == QAccessible::EditableText || role == QAccessible::StaticText || role == QAccessible::ProgressBar
        || role == QAccessible::Indicator || node->state().focusable || node->state().editable;
}

void CollectUnnamed(QAccessibleInterface* root, QStringList& unnamed, int& checked)
{
    for (int i = 0; i < root->childCount(); ++i) {
        QAccessibleInterface* child = root->child(i);
        if (NeedsName(child)) {
            ++checked;
            if (child->text(QAccessible::Name).trimmed().isEmpty())
                unnamed << (child->object() ? child->object()->objectName() : "?") + " role "
                        + QString::number(child->role(), 16);
        }
        CollectUnnamed(child, unnamed, checked);
    }
}

struct GuiEnvironment : ::testing::Environment {
    void SetUp() override
    {
        // Settings and the file dialog's history stay out of the user's folders.
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

void ExpectAnnounced(QWidget* window, int controls)
{
    const std::string what = window->metaObject()->className();
    QStringList unnamed;
    int checked = 0;
    CollectUnnamed(QAccessible::queryAccessibleInterface(window), unnamed, checked);
    EXPECT_GE(checked, controls) << what;
    EXPECT_EQ(unnamed.join(", ").toStdString(), "") << what << " announces these without a name";
}

} // namespace jbx::testing
