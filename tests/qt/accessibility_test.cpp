// Every window of the editor as a screen reader sees it: the accessible tree
// that Qt hands to the accessibility bus.

#include "bank/soundbank.h"
#include "qt/dialogs/creditsdialog.h"
#include "qt/dialogs/unknownblockdialog.h"
#include "qt/mainwindow.h"
#include "qt/progresswindow.h"
#include "qt/qtdesktop.h"
#include "qt/settings/optionssheet.h"
#include "tests/qt/guitest.h"
#include "tests/support/fakesettingsstore.h"
#include "tests/support/fakedesktop.h"

#include <gtest/gtest.h>

#include <QAccessible>
#include <QDialog>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>

#include <string>
#include <utility>
#include <vector>

namespace jbx::testing {
namespace {

// Icons, group frames, layouts and scroll bars are announced by their role.
bool NeedsName(QAccessibleInterface* node)
{
    switch (node->role()) {
    case QAccessible::EditableText:
    case QAccessible::StaticText:
    case QAccessible::ProgressBar:
    case QAccessible::Indicator:
        return true;
    default:
        return node->state().focusable || node->state().editable;
    }
}

void CollectUnnamed(QAccessibleInterface* root, QStringList& unnamed, int& checked)
{
    for (int i = 0; i < root->childCount(); ++i) {
        QAccessibleInterface* child = root->child(i);
        if (child == nullptr)
            continue;
        if (NeedsName(child)) {
            ++checked;
            if (child->text(QAccessible::Name).trimmed().isEmpty())
                unnamed << (child->object() ? child->object()->objectName() : "?") + " role "
                        + QString::number(child->role(), 16);
        }
        CollectUnnamed(child, unnamed, checked);
    }
}

// All windows stay until the end, so that no control of one is ever looked
// up at the address of a control of another one gone before.
TEST(AccessibilityTest, EveryWindowAnnouncesEachControlWithItsLabel)
{
    FakeDesktop desktop;
    Session session(desktop);
    NewBank(session);
    FakeSettingsStore settings;
    MainWindow window(session, settings, {});
    window.start();
    CreditsDialog credits(session.bank, desktop, &window);
    credits.show();
    UnknownBlockDialog unknown({3, 12, 70000}, &window);
    unknown.show();
    QTest::mouseClick(unknown.detailsButton(), Qt::LeftButton);
    QtDesktop qtDesktop;
    qtDesktop.setMainWindow(&window);
    qtDesktop.openProgress();
    for (QWidget* shown : std::initializer_list<QWidget*>{&window, &credits, &unknown})
        ASSERT_TRUE(QTest::qWaitForWindowExposed(shown));

    ModalScript script{[&](QWidget* sheet) {
        auto* tabs = sheet->findChild<QTabWidget*>(QStringLiteral("pages"));
        for (int i = 0; tabs != nullptr && i < tabs->count(); ++i)
            tabs->setCurrentIndex(i);
        const struct {
            QWidget* window;
            int minimum;   // guards against a walk that never reached the controls
            std::vector<std::pair<const char*, QString>> labelled;
        } windows[] = {
            {&window, 20, {{"nameBox", "Name:"}, {"sizeText", "Size:"}}},
            {&credits, 6,
                {{"authorEdit", "Author:"}, {"descriptionEdit", "Description:"}, {"dateEdit", "Date Finished:"}}},
            {&unknown, 7,
                {{"soundNumberEdit", "Sound Number"}, {"blockIdEdit", "Block ID"},
                    {"blockLengthEdit", "Block Length"}}},
            {qtDesktop.progressWindow(), 2, {{"progressBar", "Saving"}}},
            {sheet, 25, {{"knownBugsText", "Known Bugs"}, {"tipsText", "Tips"}}},
        };
        for (const auto& w : windows) {
            ASSERT_NE(w.window, nullptr);
            const std::string what = w.window->metaObject()->className();
            QStringList unnamed;
            int checked = 0;
            CollectUnnamed(QAccessible::queryAccessibleInterface(w.window), unnamed, checked);
            EXPECT_GE(checked, w.minimum) << what;
            EXPECT_EQ(unnamed.join(", ").toStdString(), "") << what << " announces these without a name";
            for (const auto& [child, name] : w.labelled) {
                QWidget* control = w.window->findChild<QWidget*>(child);
                ASSERT_NE(control, nullptr) << child;
                EXPECT_EQ(QAccessible::queryAccessibleInterface(control)->text(QAccessible::Name), name) << what;
            }
        }
        static_cast<QDialog*>(sheet)->reject();
    }};
    ShowOptionsSheet(&window, settings, desktop, [] {});
    EXPECT_EQ(script.pending(), 0u) << "the Options sheet did not open";
    qtDesktop.closeProgress();

    // So that "Size:" is followed by the size itself.
    window.setSizeText("3 KB");
    QAccessibleInterface* size = QAccessible::queryAccessibleInterface(window.findChild<QWidget*>("sizeText"));
    EXPECT_EQ(size->role(), QAccessible::EditableText);
    EXPECT_TRUE(size->state().readOnly);
    EXPECT_EQ(size->text(QAccessible::Value), "3 KB");
}

} // namespace
} // namespace jbx::testing
