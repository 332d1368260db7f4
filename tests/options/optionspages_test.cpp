// The information pages show their texts exactly, and the long ones in
// scrollable boxes that cannot be edited.

#include "tests/options/optionsfixture.h"

#include <QAbstractButton>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTest>

#include <ostream>
#include <string>
#include <vector>

namespace jbx::testing {
namespace {

// The text a person reads on a widget.
QString ShownText(QWidget& widget)
{
    if (auto* group = qobject_cast<QGroupBox*>(&widget))
        return group->title();
    if (auto* label = qobject_cast<QLabel*>(&widget))
        return label->text();
    if (auto* button = qobject_cast<QAbstractButton*>(&widget))
        return button->text();
    if (auto* edit = qobject_cast<QLineEdit*>(&widget))
        return edit->text();
    ADD_FAILURE() << "no text on " << widget.objectName().toStdString();
    return {};
}

TEST_F(OptionsSheetTest, PagesShowTheirTextsExactly)
{
    struct Text {
        const char* tab;
        const char* widget;
        const char* text;
    };
    const Text texts[] = {
        {"File", "loadingGroup", "Loading"},
        {"File", "doubleClickLabel", "You can double-click on .JBX files in explorer."},
        {"File", "associateButton", "Associate .JBX files with JBX Maker"},
        {"File", "compatibilityLabel",
            "This option is compatible with other programs such as RealAudio.  If a program changes "
            "the association so that you can't double click on .JBX files, just click on this button "
            "again.  You can then right-click on the .JBX file to use the other program."},
        {"File", "openGroup", "Open"},
        {"File", "openDirectoryLabel", "Default Directory"},
        {"File", "openLastUsedRadio", "Last Used Directory"},
        {"File", "openCurrentRadio", "Current Directory"},
        {"File", "saveGroup", "Save"},
        {"File", "saveDirectoryLabel", "Default Directory"},
        {"File", "saveLastUsedRadio", "Last Used Directory"},
        {"File", "saveCurrentRadio", "Current Directory"},
        {"Contact", "emailGroup", "E-Mail"},
        {"Contact", "contactText",
            "If you have any comments or suggestions, don't hesitate to e-mail me at:"},
        {"Known Bugs", "knownBugsIntro",
            "Here is a list of known bugs in JBX Maker.  If you are going to report a bug, please "
            "make sure it isn't listed here."},
        {"Tips", "tipsIntro",
            "This list of tips will help you get the most out of JBX Maker.  They are mainly "
            "interesting things that will (hopefully) save time."},
        {"About", "programNameLabel", "JBX Maker for Windows"},
        {"About", "versionLabel", "Version 1.2"},
        {"About", "usageTitleLabel", "Usage:"},
        {"About", "usageLabel",
            "After you have opened or created a new JBX file, simply click on the sound button to "
            "hear the sound.  If you want to replace or extract a sound, click on the sound button "
            "for the sound that you want to replace/extract and choose the Replace or Extract "
            "button."},
    };

    Show([&](SheetDriver& sheet) {
        for (const Text& t : texts) {
            sheet.selectTab(t.tab);
            EXPECT_EQ(ShownText(sheet.widget<QWidget>(t.widget)), QString::fromUtf8(t.text))
                << t.tab << " / " << t.widget;
        }
        sheet.pressCancel();
    });
}

TEST_F(OptionsSheetTest, AboutTextsThatAreOursFollowTheirPatterns)
{
    Show([](SheetDriver& sheet) {
        sheet.selectTab("About");
        const QString writtenBy = sheet.widget<QLabel>("writtenByLabel").text();
        EXPECT_TRUE(writtenBy.startsWith("Written by ")) << writtenBy.toStdString();
        EXPECT_GT(writtenBy.size(), QString("Written by ").size());

        const QString description = sheet.widget<QLabel>("descriptionLabel").text();
        EXPECT_TRUE(description.startsWith(
            "This program creates JeerBox files for use with games such as "));
        EXPECT_TRUE(description.endsWith('.'));

        EXPECT_TRUE(sheet.widget<QLabel>("versionLabel").alignment() & Qt::AlignHCenter);

        sheet.selectTab("Contact");
        const QLineEdit& email = sheet.widget<QLineEdit>("emailEdit");
        EXPECT_TRUE(email.text().endsWith("@example.org")) << email.text().toStdString();
        EXPECT_TRUE(email.isReadOnly());
        EXPECT_FALSE(email.hasFrame());
        EXPECT_TRUE(email.focusPolicy() & Qt::TabFocus);
        sheet.pressCancel();
    });
}

struct LongText {
    const char* tab;
    const char* box;
    int length;                         // with its CRLF line breaks
    int paragraphs;                     // each ends with an empty line
    std::vector<std::string> pieces;   // found in it exactly
};

std::ostream& operator<<(std::ostream& out, const LongText& t)
{
    return out << t.tab;
}

class LongTexts : public OptionsSheetTest, public ::testing::WithParamInterface<LongText> {};

TEST_P(LongTexts, ShownWholeInAReadOnlyScrollingBox)
{
    const LongText& t = GetParam();
    Show([&](SheetDriver& sheet) {
        sheet.selectTab(t.tab);
        QPlainTextEdit& box = sheet.widget<QPlainTextEdit>(t.box);

        // The box turns each CRLF into one line break; put them back to see
        // the text as it was given.
        QString text = box.toPlainText();
        EXPECT_FALSE(text.contains('\r'));
        text.replace('\n', "\r\n");
        EXPECT_EQ(text.size(), t.length);
        EXPECT_TRUE(text.startsWith("*  "));
        EXPECT_TRUE(text.endsWith("\r\n\r\n"));
        EXPECT_EQ(text.count("\r\n\r\n"), t.paragraphs);
        for (const std::string& piece : t.pieces)
            EXPECT_TRUE(text.contains(QString::fromStdString(piece))) << piece;

        EXPECT_TRUE(box.isReadOnly());
        EXPECT_EQ(box.verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
        EXPECT_TRUE(box.focusPolicy() & Qt::TabFocus);
        const QString before = box.toPlainText();
        box.setFocus();
        QTest::keyClicks(&box, "typed");
        QTest::keyClick(&box, Qt::Key_Backspace);
        QTest::keyClick(&box, Qt::Key_Return);
        EXPECT_EQ(box.toPlainText(), before);
        sheet.pressCancel();
    });
}

INSTANTIATE_TEST_SUITE_P(Pages, LongTexts,
    ::testing::Values(
        LongText{"Known Bugs", "knownBugsText", 707, 3,
            {"*  The \"Unknown Voice File Block\" dialog box's \"Details\" button doesn't work",
             "(i.e. \"Replace...\" a sound with a VOC file, and then \"Export...\" it)",
             "Recorder won't open it).  If anyone has this problem, please e-mail me the .VOC file.\r\n\r\n*  This",
             "they will all have become WAVs!\r\n\r\n"}},
        LongText{"Tips", "tipsText", 901, 6,
            {"*  You can load and play VOC files as well as WAV files.\r\n\r\n",
             "If you press <SHIFT> while clicking on a sound button",
             "(or rather 1-0 as 0 is sound 10)\r\n\r\n",
             "make sure:\r\n  1. It is a valid sound file (and JBX Maker will play it).\r\n  2. It is a MONO",
             "not 16 bit - I'm not sure).\r\n\r\n"}}),
    [](const auto& info) { return std::string(info.param.box); });

} // namespace
} // namespace jbx::testing
