// Every window of the editor as a screen reader sees it: the accessible tree
// that Qt hands to the accessibility bus. A control the user can reach, a box
// that holds text and a text that shows a value must each be announced with
// a name, which comes from the label linked to it (its buddy) or from the
// control's accessible name.

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
#include <QTimer>

namespace jbx::testing {
namespace {

QString Describe(QAccessibleInterface* node)
{
    QObject* object = node->object();
    const QString name = object && !object->objectName().isEmpty() ? object->objectName()
                                                                    : QStringLiteral("(unnamed object)");
    return name + QStringLiteral(" role ") + QString::number(int(node->role()), 16);
}

// Whether a screen reader announces the node by its name: what takes the
// focus, what holds editable text, and texts and bars that show a value.
// Icons, group frames, layouts and scroll bars are announced by their role.
bool NeedsName(QAccessibleInterface* node)
{
    const QAccessible::State state = node->state();
    switch (node->role()) {
    case QAccessible::EditableText:
    case QAccessible::StaticText:
    case QAccessible::ProgressBar:
    case QAccessible::Indicator:
        return true;
    default:
        return state.focusable || state.editable;
    }
}

// The nodes below root, hidden ones included, that need a name and have none.
void CollectUnnamed(QAccessibleInterface* root, QStringList& unnamed, int& checked)
{
    for (int i = 0; i < root->childCount(); ++i) {
        QAccessibleInterface* child = root->child(i);
        if (child == nullptr)
            continue;
        if (NeedsName(child)) {
            ++checked;
            if (child->text(QAccessible::Name).trimmed().isEmpty())
                unnamed << Describe(child);
        }
        CollectUnnamed(child, unnamed, checked);
    }
}

// Fails for every nameless control of window; minimum guards against a walk
// that never reached the controls.
void ExpectEveryControlNamed(QWidget& window, int minimum, const char* what)
{
    QAccessibleInterface* root = QAccessible::queryAccessibleInterface(&window);
    ASSERT_NE(root, nullptr) << what;
    QStringList unnamed;
    int checked = 0;
    CollectUnnamed(root, unnamed, checked);
    EXPECT_GE(checked, minimum) << what;
    EXPECT_TRUE(unnamed.isEmpty()) << what << " announces without a name: "
                                   << unnamed.join(QStringLiteral(", ")).toStdString();
}

// The accessible name of a window's named child.
QString NameOf(QWidget& window, const char* child)
{
    QWidget* widget = window.findChild<QWidget*>(QString::fromLatin1(child));
    if (widget == nullptr)
        return QStringLiteral("(no %1)").arg(QString::fromLatin1(child));
    return QAccessible::queryAccessibleInterface(widget)->text(QAccessible::Name);
}

TEST(AccessibilityTest, EveryWindowAnnouncesEachControlWithItsLabel)
{
    FakeDesktop desktop;
    Session session(desktop);
    NewBank(session);
    FakeSettingsStore settings;
    MainWindow window(session, settings, {});
    window.start();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    // Ten sounds, six file buttons, Extract, Replace, the Name box and the Size text.
    ExpectEveryControlNamed(window, 20, "the main window");
    EXPECT_EQ(NameOf(window, "nameBox"), "Name:");
    // The size is read as the value of a read-only field named by its label,
    // so that "Size:" is followed by the size itself.
    window.setSizeText("3 KB");
    QAccessibleInterface* size = QAccessible::queryAccessibleInterface(window.findChild<QWidget*>("sizeText"));
    ASSERT_NE(size, nullptr);
    EXPECT_EQ(size->role(), QAccessible::EditableText);
    EXPECT_TRUE(size->state().readOnly);
    EXPECT_EQ(size->text(QAccessible::Name), "Size:");
    EXPECT_EQ(size->text(QAccessible::Value), "3 KB");
    EXPECT_EQ(size->text(QAccessible::Description), "");
    ASSERT_NE(size->textInterface(), nullptr);
    EXPECT_EQ(size->textInterface()->text(0, size->textInterface()->characterCount()), "3 KB");

    // The windows stay until the end, so that no control of one is ever
    // looked up at the address of a control of another one gone before.
    CreditsDialog credits(session.bank, desktop, &window);
    credits.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&credits));
    ExpectEveryControlNamed(credits, 6, "the Credits dialog");
    EXPECT_EQ(NameOf(credits, "authorEdit"), "Author:");
    EXPECT_EQ(NameOf(credits, "descriptionEdit"), "Description:");
    EXPECT_EQ(NameOf(credits, "dateEdit"), "Date Finished:");
    credits.hide();

    UnknownBlockDialog unknown({3, 12, 70000}, &window);
    unknown.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&unknown));
    // With the details shown, the way a user meets the three fields.
    QTest::mouseClick(unknown.detailsButton(), Qt::LeftButton);
    ASSERT_TRUE(unknown.detailsStrip()->isVisible());
    ExpectEveryControlNamed(unknown, 7, "the unknown-block dialog");
    EXPECT_EQ(NameOf(unknown, "soundNumberEdit"), "Sound Number");
    EXPECT_EQ(NameOf(unknown, "blockIdEdit"), "Block ID");
    EXPECT_EQ(NameOf(unknown, "blockLengthEdit"), "Block Length");
    unknown.hide();

    {
        QtDesktop qtDesktop;
        qtDesktop.setMainWindow(&window);
        qtDesktop.openProgress();
        ProgressWindow* saving = qtDesktop.progressWindow();
        ASSERT_NE(saving, nullptr);
        ExpectEveryControlNamed(*saving, 2, "the Saving window");
        EXPECT_EQ(NameOf(*saving, "progressBar"), "Saving");
        qtDesktop.closeProgress();
    }

    bool walked = false;
    QTimer::singleShot(0, [&walked] {
        auto* sheet = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (sheet == nullptr)
            return;
        walked = true;
        // Each page is built when its tab is first chosen: visit them all.
        auto* tabs = sheet->findChild<QTabWidget*>(QStringLiteral("pages"));
        for (int i = 0; tabs != nullptr && i < tabs->count(); ++i)
            tabs->setCurrentIndex(i);
        ExpectEveryControlNamed(*sheet, 25, "the Options sheet");
        EXPECT_EQ(NameOf(*sheet, "knownBugsText"), "Known Bugs");
        EXPECT_EQ(NameOf(*sheet, "tipsText"), "Tips");
        sheet->reject();
    });
    ShowOptionsSheet(&window, settings, desktop, [] {});
    EXPECT_TRUE(walked) << "the Options sheet did not open";
}

} // namespace
} // namespace jbx::testing
