// The "Warning" dialog for an unknown voice block: only its three choices end
// it, it opens collapsed, and its details strip comes and goes by one height.

#include "app/dialogs/unknownblockdialog.h"
#include "tests/dialogs/modalscript.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <limits>

namespace jbx::testing {
namespace {

const UnknownBlockDetails kDetails{3, 12, 70000};

bool HasLabel(const QWidget& dialog, const QString& text)
{
    const auto labels = dialog.findChildren<QLabel*>();
    return std::any_of(labels.cbegin(), labels.cend(), [&](const QLabel* l) { return l->text() == text; });
}

TEST(UnknownBlockDialogTest, ShowsTheWarningWithItsTextsAndTheStopIcon)
{
    UnknownBlockDialog dialog(kDetails);
    EXPECT_EQ(dialog.windowTitle(), "Warning");
    for (const char* text : {
             "Unknown voice file sound block.",
             "This could either mean that the sound file is a newer version, or it isn't a sound "
             "file at all.",
             "You can choose to skip the sound block and try to convert the rest of the file.",
             "You can stop the conversion and save what has been converted so far.",
             "You can presume the block contains sound, and have the program convert is as though "
             "it is sound.",
             "If you are sure that the file is a Creative Voice File, it should be safe to continue "
             "(although some of the sound won't be converted).  On the other hand, if it isn't a "
             "sound file the program will probably crash!",
             "Sound Number", "Block ID", "Block Length"}) {
        EXPECT_TRUE(HasLabel(dialog, QString::fromLatin1(text))) << text;
    }
    EXPECT_EQ(dialog.skipButton()->text(), "Skip Block");
    EXPECT_EQ(dialog.stopButton()->text(), "Stop Conversion");
    EXPECT_EQ(dialog.forceButton()->text(), "Force Conversion");

    const auto labels = dialog.findChildren<QLabel*>();
    EXPECT_TRUE(std::any_of(labels.cbegin(), labels.cend(),
        [](const QLabel* l) { return !l->pixmap().isNull(); }))
        << "no icon";

    for (const QPushButton* button : dialog.findChildren<QPushButton*>()) {
        EXPECT_FALSE(button->isDefault()) << button->text().toStdString();
        EXPECT_FALSE(button->autoDefault()) << button->text().toStdString();
    }
    EXPECT_TRUE(dialog.windowFlags().testFlag(Qt::CustomizeWindowHint));
    EXPECT_FALSE(dialog.windowFlags().testFlag(Qt::WindowCloseButtonHint));
    EXPECT_FALSE(dialog.windowFlags().testFlag(Qt::WindowSystemMenuHint));
}

TEST(UnknownBlockDialogTest, EachButtonEndsItWithItsChoice)
{
    const struct {
        QPushButton* (UnknownBlockDialog::*button)() const;
        UnknownBlockChoice choice;
        int result;
    } cases[] = {
        {&UnknownBlockDialog::skipButton, UnknownBlockChoice::SkipBlock, 1},
        {&UnknownBlockDialog::stopButton, UnknownBlockChoice::StopConversion, 0},
        {&UnknownBlockDialog::forceButton, UnknownBlockChoice::ForceConversion, 2},
    };
    QWidget owner;
    owner.show();
    for (const auto& c : cases) {
        SCOPED_TRACE(int(c.choice));
        int result = -1;
        ModalScript<UnknownBlockDialog> script([&](UnknownBlockDialog& shown) {
            EXPECT_EQ(shown.parentWidget(), &owner);
            QObject::connect(&shown, &QDialog::finished, [&result](int r) { result = r; });
            QTest::mouseClick((shown.*c.button)(), Qt::LeftButton);
        });
        EXPECT_EQ(RunUnknownBlockDialog(kDetails, &owner), c.choice);
        EXPECT_TRUE(script.answered());
        EXPECT_EQ(result, c.result);
    }
}

TEST(UnknownBlockDialogTest, EscEnterAndCloseDoNothing)
{
    const struct {
        const char* name;
        std::function<void(UnknownBlockDialog&)> attempt;
    } attempts[] = {
        {"Esc", [](UnknownBlockDialog& d) { QTest::keyClick(&d, Qt::Key_Escape); }},
        {"Esc on a button", [](UnknownBlockDialog& d) { QTest::keyClick(d.skipButton(), Qt::Key_Escape); }},
        {"Return on a button",
            [](UnknownBlockDialog& d) { QTest::keyClick(d.forceButton(), Qt::Key_Return); }},
        {"Enter on the keypad",
            [](UnknownBlockDialog& d) { QTest::keyClick(d.stopButton(), Qt::Key_Enter, Qt::KeypadModifier); }},
        {"Return in a field",
            [](UnknownBlockDialog& d) { QTest::keyClick(d.blockIdField(), Qt::Key_Return); }},
        {"close request", [](UnknownBlockDialog& d) { EXPECT_FALSE(d.close()); }},
    };
    for (const auto& a : attempts) {
        SCOPED_TRACE(a.name);
        ModalScript<UnknownBlockDialog> script([&a](UnknownBlockDialog& shown) {
            a.attempt(shown);
            EXPECT_TRUE(shown.isVisible());
            QTest::mouseClick(shown.skipButton(), Qt::LeftButton);
        });
        EXPECT_EQ(RunUnknownBlockDialog(kDetails, nullptr), UnknownBlockChoice::SkipBlock);
        EXPECT_TRUE(script.answered());
    }
}

TEST(UnknownBlockDialogTest, SpaceOnAFocusedButtonChoosesIt)
{
    ModalScript<UnknownBlockDialog> script([](UnknownBlockDialog& shown) {
        QTest::keyClick(shown.forceButton(), Qt::Key_Space);
    });
    EXPECT_EQ(RunUnknownBlockDialog(kDetails, nullptr), UnknownBlockChoice::ForceConversion);
}

TEST(UnknownBlockDialogTest, OpensCollapsedAndDetailsGrowAndShrinkByTheStripHeight)
{
    UnknownBlockDialog dialog(kDetails);
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    dialog.move(40, 30);

    EXPECT_FALSE(dialog.detailsShown());
    EXPECT_FALSE(dialog.detailsStrip()->isVisible());
    EXPECT_EQ(dialog.detailsButton()->text(), "Details >>");
    const QRect collapsed = dialog.geometry();
    EXPECT_EQ(dialog.minimumSize(), dialog.maximumSize()) << "resizable when collapsed";

    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        QTest::mouseClick(dialog.detailsButton(), Qt::LeftButton);
        EXPECT_TRUE(dialog.detailsShown());
        EXPECT_TRUE(dialog.detailsStrip()->isVisible());
        EXPECT_EQ(dialog.detailsButton()->text(), "Details <<");
        const QRect expanded = dialog.geometry();
        const int d = dialog.detailsStrip()->height();
        EXPECT_GT(d, 0);
        EXPECT_EQ(expanded.height(), collapsed.height() + d);
        EXPECT_EQ(expanded.width(), collapsed.width());
        EXPECT_EQ(expanded.topLeft(), collapsed.topLeft());
        EXPECT_EQ(dialog.minimumSize(), dialog.maximumSize()) << "resizable when expanded";
        // The strip fills exactly the added height at the bottom.
        EXPECT_EQ(dialog.detailsStrip()->geometry().bottom(), expanded.height() - 1
                - dialog.layout()->contentsMargins().bottom());

        QTest::mouseClick(dialog.detailsButton(), Qt::LeftButton);
        EXPECT_FALSE(dialog.detailsShown());
        EXPECT_FALSE(dialog.detailsStrip()->isVisible());
        EXPECT_EQ(dialog.detailsButton()->text(), "Details >>");
        EXPECT_EQ(dialog.geometry(), collapsed);
    }
}

TEST(UnknownBlockDialogTest, FieldsShowTheNumbersAsUnsignedDecimals)
{
    constexpr std::uint32_t kMax = std::numeric_limits<std::uint32_t>::max();
    const struct {
        UnknownBlockDetails details;
        const char *soundNumber, *blockId, *blockLength;
    } cases[] = {
        {{3, 12, 70000}, "3", "12", "70000"},
        {{0, 255, 0xFFFFFF}, "0", "255", "16777215"},
        {{10, 10, 0}, "10", "10", "0"},
        {{-1, kMax, kMax}, "4294967295", "4294967295", "4294967295"},
    };
    for (const auto& c : cases) {
        UnknownBlockDialog dialog(c.details);
        EXPECT_EQ(dialog.soundNumberField()->text(), c.soundNumber);
        EXPECT_EQ(dialog.blockIdField()->text(), c.blockId);
        EXPECT_EQ(dialog.blockLengthField()->text(), c.blockLength);
        for (const QLineEdit* field :
            {dialog.soundNumberField(), dialog.blockIdField(), dialog.blockLengthField()})
            EXPECT_TRUE(field->isReadOnly());
    }
}

} // namespace
} // namespace jbx::testing
