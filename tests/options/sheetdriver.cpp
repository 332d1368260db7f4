#include "tests/options/sheetdriver.h"

#include "settings/optionssheet.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <QWindow>

#include <memory>

namespace jbx::testing {

namespace {

// One QApplication for the whole program, on the offscreen platform unless
// the caller chose another (to watch the tests on a real display).
class WidgetsEnvironment : public ::testing::Environment {
public:
    void SetUp() override
    {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        app_ = std::make_unique<QApplication>(argc_, argv_);
    }

    void TearDown() override { app_.reset(); }

private:
    int argc_ = 1;
    char name_[16] = "options_test";
    char* argv_[2] = {name_, nullptr};
    std::unique_ptr<QApplication> app_;
};

[[maybe_unused]] ::testing::Environment* const kEnvironment =
    ::testing::AddGlobalTestEnvironment(new WidgetsEnvironment);

QTabWidget& Tabs(const SheetDriver& driver)
{
    return driver.widget<QTabWidget>("pages");
}

// Where a person clicks a widget: a radio button on its text (its middle may
// lie beyond the text, where a click does nothing), anything else in the
// middle.
QPoint ClickPoint(QWidget& target)
{
    if (auto* radio = qobject_cast<QRadioButton*>(&target)) {
        QStyleOptionButton option;
        option.initFrom(radio);
        option.text = radio->text();
        return radio->style()->subElementRect(QStyle::SE_RadioButtonContents, &option, radio).center();
    }
    return target.rect().center();
}

QDialog* FindOpenSheet()
{
    if (auto* modal = qobject_cast<QDialog*>(QApplication::activeModalWidget()))
        return modal;
    for (QWidget* window : QApplication::topLevelWidgets())
        if (window->objectName() == QLatin1String("optionsSheet") && window->isVisible())
            return qobject_cast<QDialog*>(window);
    return nullptr;
}

} // namespace

QStringList SheetDriver::tabTitles() const
{
    QStringList titles;
    const QTabWidget& tabs = Tabs(*this);
    for (int i = 0; i < tabs.count(); ++i)
        titles << tabs.tabText(i);
    return titles;
}

QString SheetDriver::currentTab() const
{
    const QTabWidget& tabs = Tabs(*this);
    return tabs.tabText(tabs.currentIndex());
}

void SheetDriver::selectTab(const QString& title)
{
    QTabBar* bar = Tabs(*this).tabBar();
    for (int i = 0; i < bar->count(); ++i) {
        if (bar->tabText(i) == title) {
            QTest::mouseClick(bar, Qt::LeftButton, Qt::NoModifier, bar->tabRect(i).center());
            return;
        }
    }
    throw MissingWidget("the sheet has no tab " + title.toStdString());
}

void SheetDriver::click(const char* name, Qt::KeyboardModifiers modifiers)
{
    click(widget<QWidget>(name), modifiers);
}

void SheetDriver::click(QWidget& target, Qt::KeyboardModifiers modifiers)
{
    QTest::mouseClick(&target, Qt::LeftButton, modifiers, ClickPoint(target));
}

void SheetDriver::doubleClick(const char* name)
{
    QWidget& target = widget<QWidget>(name);
    const QPoint at = ClickPoint(target);
    QTest::mousePress(&target, Qt::LeftButton, Qt::NoModifier, at);
    QTest::mouseRelease(&target, Qt::LeftButton, Qt::NoModifier, at);
    QTest::mousePress(&target, Qt::LeftButton, Qt::NoModifier, at);
    QTest::mouseDClick(&target, Qt::LeftButton, Qt::NoModifier, at);
    QTest::mouseRelease(&target, Qt::LeftButton, Qt::NoModifier, at);
}

QPushButton& SheetDriver::button(QDialogButtonBox::StandardButton which) const
{
    QPushButton* found = widget<QDialogButtonBox>("buttons").button(which);
    if (found == nullptr)
        throw MissingWidget("the sheet lacks a standard button");
    return *found;
}

void SheetDriver::pressOk()
{
    click(button(QDialogButtonBox::Ok));
}

void SheetDriver::pressCancel()
{
    click(button(QDialogButtonBox::Cancel));
}

void SheetDriver::pressEscape()
{
    QWidget* focus = QApplication::focusWidget();
    QTest::keyClick(focus != nullptr && sheet_.isAncestorOf(focus) ? focus : &sheet_, Qt::Key_Escape);
}

void SheetDriver::closeWindow()
{
    // QWindow::close asks the platform window to close, which comes back as
    // the same close request the window manager's close button makes.
    QWindow* window = sheet_.windowHandle();
    if (window == nullptr)
        throw MissingWidget("the sheet has no window");
    window->close();
}

bool RunOptionsSheet(QWidget* owner, SettingsStore& settings, Desktop& desktop,
    const std::function<void()>& associate, const std::function<void(SheetDriver&)>& drive)
{
    bool driven = false;
    QTimer::singleShot(0, [&] {
        QDialog* sheet = FindOpenSheet();
        if (sheet == nullptr) {
            ADD_FAILURE() << "the Options sheet did not open";
            return;
        }
        driven = true;
        SheetDriver driver(*sheet);
        try {
            drive(driver);
        } catch (const MissingWidget& missing) {
            ADD_FAILURE() << missing.what();
        }
        if (sheet->isVisible()) {
            ADD_FAILURE() << "the script left the Options sheet open";
            sheet->reject();
        }
    });
    const bool result = ShowOptionsSheet(owner, settings, desktop, associate);
    EXPECT_TRUE(driven) << "the Options sheet closed before the script ran";
    return result;
}

} // namespace jbx::testing
