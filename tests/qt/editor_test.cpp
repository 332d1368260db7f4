// The main window driven by clicks, keys and drops (the commands are the
// core's) and heard by a screen reader, the Qt desktop's windows, and
// jbxmaker run as a process.

#include "app/accelerators.h"
#include "app/soundeditor.h"
#include "audio/shape.h"
#include "audio/wavefile.h"
#include "bank/slotops.h"
#include "bank/soundbank.h"
#include "qt/background.h"
#include "qt/dialogs/sounddialog.h"
#include "qt/dialogs/unknownblockdialog.h"
#include "qt/editor.h"
#include "qt/groupboxframe.h"
#include "qt/mainwindow.h"
#include "qt/progresswindow.h"
#include "qt/qtdesktop.h"
#include "qt/waveformview.h"
#include "qt/whenshown.h"
#include "tests/qt/guitest.h"
#include "tests/support/fakesettingsstore.h"
#include "tests/support/fakedesktop.h"
#include "tests/support/testfiles.h"

#include <gtest/gtest.h>

#include <QAccessible>
#include <QApplication>
#include <QContextMenuEvent>
#include <QDir>
#include <QDropEvent>
#include <QFileDialog>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QPixmapCache>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QStyle>
#include <QTest>
#include <QUrl>
#include <QWindow>

#include <chrono>
#include <map>
#include <semaphore>
#include <tuple>
#include <type_traits>

namespace jbx::testing {
namespace {

// Shift as the Qt desktop reads it: the real keyboard's state.
class ShiftAwareDesktop final : public FakeDesktop {
public:
    bool shiftHeld() const override { return ShiftKeyDown(); }
};

// Drags a file over the window and drops it there, as a file manager does.
void DropFile(QWidget& window, const std::string& path)
{
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(QString::fromStdString(path))});
    const QPoint at = window.rect().center();
    QDragEnterEvent enter(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&window, &enter);
    ASSERT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(at), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&window, &drop);
}

// The main window over desktop D, with the one-sound bank (a sound in slot 4)
// dropped on it.
template <class D>
class OneSoundWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        NewBank(session);
        WriteOneSoundBank(dir.file("one.jbx"));
        window.commands().dropFiles({dir.file("one.jbx")});
        if constexpr (std::is_same_v<D, QtDesktop>)
            desktop.setMainWindow(&window);
        window.start();
        window.installAccelerators(kAcceleratorTable);
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    }

    QPushButton* sound(int n) const { return window.button(command::kSound1 + n - 1); }
    QLineEdit* nameBox() const { return window.findChild<QLineEdit*>("nameBox"); }
    QString sizeText() const { return window.findChild<QLineEdit*>("sizeText")->text(); }

    D desktop;
    FakeSettingsStore settings;
    Session session{desktop};
    TempDir dir;
    MainWindow window{session, settings, {}};
};

class MainWindowTest : public OneSoundWindowTest<ShiftAwareDesktop> {
protected:
    static void press(Qt::Key key) { QTest::keyClick(QApplication::focusWidget(), key); }
};

// A Shift-click asks for the slot's replacement, a plain click does not.
TEST_F(MainWindowTest, ClicksReachTheirCommandsAndTheWindowShowsTheResult)
{
    desktop.fileAnswers = {std::nullopt};
    QTest::mouseClick(sound(4), Qt::LeftButton, Qt::ShiftModifier);
    QTest::mouseClick(sound(4), Qt::LeftButton);
    ASSERT_EQ(desktop.fileDialogs.size(), 1u);
    EXPECT_EQ(desktop.fileDialogs[0].title, "Replace sound 4");
    EXPECT_TRUE(window.button(command::kExtract)->isEnabled());
    QTest::mouseClick(sound(1), Qt::LeftButton);
    EXPECT_FALSE(window.button(command::kExtract)->isEnabled());
}

TEST_F(MainWindowTest, KeysSelectSlotsAndReplaceUnlessTheNameBoxTakesThem)
{
    desktop.fileAnswers = {std::nullopt};
    press(Qt::Key_A);
    ASSERT_EQ(desktop.fileDialogs.size(), 1u);
    EXPECT_EQ(desktop.fileDialogs[0].title, "Replace sound 1");
    for (const auto& [key, slot] : {std::pair{Qt::Key_3, 3}, {Qt::Key_F4, 4}}) {
        sound(1)->setFocus();
        press(key);
        EXPECT_EQ(session.bank.currentSlot, slot) << key;
        EXPECT_EQ(QApplication::focusWidget(), sound(slot)) << key;
    }

    // In the Name box F-keys are still commands.
    EXPECT_EQ(nameBox()->maxLength(), int(kSlotNameLimit));
    nameBox()->setFocus();
    nameBox()->clear();
    for (const Qt::Key key : {Qt::Key_1, Qt::Key_0, Qt::Key_A})
        press(key);
    EXPECT_EQ(nameBox()->text(), "10a");
    press(Qt::Key_F5);
    EXPECT_EQ(session.bank.currentSlot, 5);
    // Enter presses a focused button, as in a dialog.
    sound(2)->setFocus();
    press(Qt::Key_Return);
    EXPECT_EQ(session.bank.currentSlot, 2);
}

// Characters come as an input method sends them.
TEST_F(MainWindowTest, TheNameBoxShowsAndTakesWindows1252)
{
    session.bank.slot(4).name = "\x80\x99\xE9\x81";
    QTest::mouseClick(sound(4), Qt::LeftButton);
    EXPECT_EQ(nameBox()->text(), QString::fromUtf8("\u20AC\u2122\u00E9\u0081"));
    nameBox()->setFocus();
    nameBox()->selectAll();
    for (const QChar c : QString::fromUtf8("a\u20AC\u0436b\u0100"))
        QTest::sendKeyEvent(QTest::Click, nameBox(), Qt::Key_unknown, QString(c), Qt::NoModifier);
    EXPECT_EQ(nameBox()->text(), QString::fromUtf8("a\u20ACb"));
    QTest::mouseClick(sound(1), Qt::LeftButton);
    EXPECT_EQ(session.bank.slot(4).name, "a\x80" "b");
}

// Into an empty slot, so that the sound is all the window shows of it.
TEST_F(MainWindowTest, ADroppedWaveGoesIntoTheCurrentSlotAndTheBankStaysOpen)
{
    // A name beyond ASCII: the dropped URL comes back as the file's UTF-8 path.
    const std::string dropped = dir.file("b\u00E4rk.wav");
    const Bytes wave = PcmWave(2000);
    WriteBytes(dropped, wave);
    QTest::mouseClick(sound(2), Qt::LeftButton);
    DropFile(window, dropped);
    ASSERT_TRUE(QTest::qWaitFor([&] { return session.bank.slot(2).size != 0 || !desktop.messages.empty(); }));
    const SoundSlot& slot = session.bank.slot(2);
    EXPECT_EQ(Bytes(slot.data->begin(), slot.data->begin() + slot.size), wave);
    EXPECT_EQ(window.windowTitle(), "JBX Maker - one.jbx");
    EXPECT_EQ(nameBox()->text(), QString::fromUtf8("b\u00E4rk"));
    EXPECT_EQ(sizeText(), "1 KB");
    EXPECT_TRUE(window.button(command::kExtract)->isEnabled());
    EXPECT_TRUE(desktop.messages.empty());
}

// So that "Size:" is followed by the size itself.
TEST_F(MainWindowTest, AScreenReaderHearsEachControlByNameAndTheSizeAsAValue)
{
    ExpectAnnounced(&window, 20);
    window.setSizeText("3 KB");
    QAccessibleInterface* size = QAccessible::queryAccessibleInterface(window.findChild<QWidget*>("sizeText"));
    EXPECT_EQ(size->role(), QAccessible::EditableText);
    EXPECT_TRUE(size->state().readOnly);
    EXPECT_EQ(size->text(QAccessible::Value), "3 KB");
}

class QtDesktopTest : public ::testing::Test {
protected:
    void SetUp() override { desktop.setMainWindow(&mainWindow); }
    QWidget mainWindow;
    QtDesktop desktop;
};

TEST_F(QtDesktopTest, AMessageBoxShowsTheTextAndIconAndReportsTheAnswer)
{
    const struct {
        MessageIcon icon;
        QMessageBox::Icon shown;
        QMessageBox::StandardButton clicked;
        MessageAnswer answer;
    } cases[] = {{MessageIcon::Stop, QMessageBox::Critical, QMessageBox::No, MessageAnswer::No},
        {MessageIcon::Question, QMessageBox::Question, QMessageBox::Yes, MessageAnswer::Yes},
        {MessageIcon::Exclamation, QMessageBox::Warning, QMessageBox::No, MessageAnswer::No},
        {MessageIcon::Asterisk, QMessageBox::Information, QMessageBox::Yes, MessageAnswer::Yes}};
    for (const auto& c : cases) {
        const Message message{"<b>Lost.</b>\n\nContinue?", "Warning", MessageButtons::YesNo, c.icon, Owner::MainWindow};
        ModalScript script{[&](QWidget* modal) {
            auto* box = qobject_cast<QMessageBox*>(modal);
            ASSERT_NE(box, nullptr);
            EXPECT_EQ(box->text().toStdString(), message.text);
            EXPECT_EQ(box->textFormat(), Qt::PlainText);
            EXPECT_EQ(box->icon(), c.shown);
            box->button(c.clicked)->click();
        }};
        EXPECT_EQ(desktop.showMessage(message), c.answer);
    }
}

TEST_F(QtDesktopTest, AFileDialogShowsItsRequestAndReportsTheChosenFileAndFilter)
{
    TempDir dir;
    WriteBytes(dir.file("growl.voc"), ToBytes("Creative Voice File"));
    FileDialogRequest request;
    request.title = "Replace sound 3";
    request.filters = {{"Wave Files (*.wav)", "*.wav"}, {"Voice Files (*.voc)", "*.voc"}};
    request.filterIndex = 1;
    request.startDirectory = dir.path();
    ModalScript script{[&](QWidget* modal) {
        auto* dialog = qobject_cast<QFileDialog*>(modal);
        ASSERT_NE(dialog, nullptr) << modal->metaObject()->className();
        EXPECT_EQ(dialog->selectedNameFilter(), "Wave Files (*.wav)");
        EXPECT_EQ(dialog->directory().absolutePath(), QDir(QString::fromStdString(dir.path())).absolutePath());
        EXPECT_EQ(dialog->parentWidget(), &mainWindow);
        // The program leaves the choice of dialog to the desktop; only the
        // tests force Qt's own, whose boxes they can type into.
        EXPECT_FALSE(dialog->testOption(QFileDialog::DontUseNativeDialog));
        dialog->selectNameFilter("Voice Files (*.voc)");
        auto* name = dialog->findChild<QLineEdit*>("fileNameEdit");
        ASSERT_NE(name, nullptr);
        name->setText("growl.voc");
        QTimer::singleShot(0, dialog, &QDialog::accept);
    }};
    const auto chosen = desktop.chooseFile(request);
    ASSERT_TRUE(chosen);
    EXPECT_EQ(chosen->path, dir.file("growl.voc"));
    EXPECT_EQ(chosen->filterIndex, 2);
}

TEST_F(QtDesktopTest, TheProgressWindowShowsThePositionAndIsAnnouncedAsSaving)
{
    desktop.openProgress();
    desktop.setProgress(40);
    EXPECT_EQ(desktop.progressWindow()->position(), 40);
    ExpectAnnounced(desktop.progressWindow(), 2);
}

// What a box or dialog is answered with when the test has seen enough: No,
// OK, Stop or Cancel.
void Dismiss(QWidget* modal)
{
    if (auto* unknownBlock = qobject_cast<UnknownBlockDialog*>(modal)) {
        unknownBlock->stopButton()->click();
    } else if (auto* box = qobject_cast<QMessageBox*>(modal)) {
        QAbstractButton* no = box->button(QMessageBox::No);
        (no ? no : box->button(QMessageBox::Ok))->click();
    } else if (auto* dialog = qobject_cast<QDialog*>(modal)) {
        dialog->reject();
    }
}

// The step for a window that no step before it expected: its title noted,
// and the window dismissed.
ModalScript::Step Unexpected(QStringList& titles)
{
    return [&titles](QWidget* modal) {
        titles << modal->windowTitle();
        Dismiss(modal);
    };
}

// Types a file's path into Qt's file dialog and accepts it.
void ChooseFile(QWidget* modal, const std::string& path)
{
    auto* dialog = qobject_cast<QFileDialog*>(modal);
    ASSERT_NE(dialog, nullptr) << modal->metaObject()->className();
    dialog->findChild<QLineEdit*>("fileNameEdit")->setText(QString::fromStdString(path));
    QTimer::singleShot(0, dialog, &QDialog::accept);
}

bool AnnouncedDisabled(QWidget* widget)
{
    return QAccessible::queryAccessibleInterface(widget)->state().disabled;
}

// Whether the main window is held: every control disabled, as a screen
// reader hears it too, and a press that reaches New or Quit all the same
// (as a screen reader's action calls click()) runs nothing.
void ExpectHeld(MainWindow& window, QWidget* modal)
{
    const std::string what = modal->metaObject()->className();
    for (const int id : {command::kSound1, command::kNew, command::kQuit, command::kReplace}) {
        EXPECT_FALSE(window.button(id)->isEnabled()) << what << ", button " << id;
        EXPECT_TRUE(AnnouncedDisabled(window.button(id))) << what << ", button " << id;
    }
    EXPECT_TRUE(AnnouncedDisabled(window.findChild<QLineEdit*>("nameBox"))) << what;
    window.button(command::kNew)->click();
    window.button(command::kQuit)->click();
    EXPECT_EQ(QApplication::activeModalWidget(), modal) << what << ": no second box";
    EXPECT_TRUE(window.isVisible()) << what << ": Quit closed the window";
}

// After the last modal window: the controls back as they were, Extract still
// off for the empty slot, and the focus where it was when the window is
// active again.
void ExpectReleased(MainWindow& window, QWidget* focused)
{
    EXPECT_TRUE(window.button(command::kNew)->isEnabled());
    EXPECT_FALSE(AnnouncedDisabled(window.button(command::kQuit)));
    EXPECT_FALSE(window.button(command::kExtract)->isEnabled());
    // The window's own; whether it is also the application's is the window manager's business.
    EXPECT_EQ(window.focusWidget(), focused);
}

// The file dialogs and message boxes are the real ones.
class QtMainWindowTest : public OneSoundWindowTest<QtDesktop> {
protected:
    // A Shift-click replaces the slot without playing what it holds.
    void replace(int slot) { QTest::mouseClick(sound(slot), Qt::LeftButton, Qt::ShiftModifier); }
};

// The files Qt's file dialog lists in its folder, those its filter lets through.
QStringList Listed(QFileDialog* dialog)
{
    auto* view = dialog->findChild<QListView*>("listView");
    QStringList names;
    for (int row = 0; row < view->model()->rowCount(view->rootIndex()); ++row)
        names << view->model()->index(row, 0, view->rootIndex()).data().toString();
    return names;
}

// The third filter lists the sound and is remembered; what comes in is a
// PCM WAVE, and the question after it makes it mono and 8-bit on Yes only.
TEST_F(QtMainWindowTest, ReplaceTakesACompressedSoundThroughTheThirdFilterAndOffersToMakeItGameReady)
{
    const QString flac = QString::fromStdString(dir.file("tone.flac"));
    QProcess maker;
    if (const QString sox = QStandardPaths::findExecutable("sox"); !sox.isEmpty())
        maker.start(sox, {"-n", "-r", "11025", "-c", "2", "-b", "16", flac, "synth", "0.5", "sine", "440"});
    else if (const QString ffmpeg = QStandardPaths::findExecutable("ffmpeg"); !ffmpeg.isEmpty())
        maker.start(ffmpeg, {"-v", "error", "-f", "lavfi", "-i", "sine=frequency=440:sample_rate=11025:duration=0.5",
                                "-ac", "2", "-sample_fmt", "s16", flac});
    else
        GTEST_SKIP() << "neither sox nor ffmpeg makes the FLAC file";
    ASSERT_TRUE(maker.waitForFinished(30000) && maker.exitCode() == 0) << maker.readAllStandardError().toStdString();

    const QString other = "Other sound files (*.flac *.ogg *.oga *.opus *.mp3)";
    int run = 0;
    for (const auto& [answer, channels, bits, size] :
        {std::tuple{QMessageBox::No, 2, 16, "21 KB"}, {QMessageBox::Yes, 1, 8, "5 KB"}}) {
        SCOPED_TRACE(answer == QMessageBox::Yes ? "Yes" : "No");
        QStringList unexpected;
        ModalScript script{[&](QWidget* modal) {
                               auto* dialog = qobject_cast<QFileDialog*>(modal);
                               ASSERT_NE(dialog, nullptr) << modal->metaObject()->className();
                               EXPECT_EQ(dialog->nameFilters().value(2), other);
                               if (run++ > 0) {
                                   EXPECT_EQ(dialog->selectedNameFilter(), other);
                               }
                               dialog->setDirectory(QString::fromStdString(dir.path()));
                               dialog->selectNameFilter(other);
                               EXPECT_TRUE(QTest::qWaitFor([&] { return Listed(dialog) == QStringList{"tone.flac"}; }))
                                   << Listed(dialog).join(", ").toStdString();
                               ChooseFile(modal, flac.toStdString());
                           },
            [&](QWidget* modal) {
                auto* box = qobject_cast<QMessageBox*>(modal);
                ASSERT_NE(box, nullptr) << modal->metaObject()->className();
                EXPECT_EQ(box->windowTitle(), "Warning");
                EXPECT_EQ(box->icon(), QMessageBox::Question);
                EXPECT_TRUE(box->text().startsWith("Sound 4 is stereo, 16-bit.")) << box->text().toStdString();
                EXPECT_EQ(box->standardButtons(), QMessageBox::Yes | QMessageBox::No);
                if (QAbstractButton* button = box->button(answer))
                    button->click();
                else
                    Dismiss(modal);
            },
            Unexpected(unexpected)};
        replace(4);
        EXPECT_EQ(unexpected, QStringList());
        EXPECT_EQ(session.replaceFilterIndex, 3);
        const auto format = ReadWaveFormat(SlotFileBytes(session.bank.slot(4)));
        ASSERT_TRUE(format);
        EXPECT_EQ(format->encoding, SampleEncoding::Pcm);
        EXPECT_EQ(format->channels, channels);
        EXPECT_EQ(format->bitsPerSample, bits);
        EXPECT_EQ(nameBox()->text(), "tone");
        EXPECT_EQ(sizeText(), size);
    }
}

// What was in the slot stays there, named and sized as before.
TEST_F(QtMainWindowTest, AReplaceRefusedAsNoSoundSaysSoAndKeepsTheSlot)
{
    WriteBytes(dir.file("notes.txt"), ToBytes("Not a sound at all, just some words."));
    QStringList shown;
    ModalScript script{[&](QWidget* modal) { ChooseFile(modal, dir.file("notes.txt")); },
        [&](QWidget* modal) {
            auto* box = qobject_cast<QMessageBox*>(modal);
            shown << (box ? box->text() : modal->windowTitle());
            Dismiss(modal);
        }};
    replace(4);
    EXPECT_EQ(shown, QStringList{"Not a valid sound file"});
    EXPECT_EQ(session.bank.slot(4).size, 8);
    EXPECT_EQ(nameBox()->text(), "s4");
    EXPECT_EQ(sizeText(), "8 bytes");
}

// The editor's window takes its keys; the questions, file dialogs, the
// unknown-block question and the dialogs, all its own, hold it until answered.
TEST(HeldWindowTest, WhateverACommandOpensHoldsTheMainWindowUntilAnswered)
{
    TempDir dir;
    WriteBytes(dir.file("asks.voc"),
        VoiceFileBuilder().soundBlock(166, Ramp(4)).block(20, Ramp(3)).soundBlock(166, Ramp(5)).terminator().build());
    Editor editor({});
    editor.start();
    MainWindow& window = *editor.window();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_F4);
    EXPECT_EQ(editor.session().bank.currentSlot, 4);
    QWidget* focused = window.button(command::kCredits);
    focused->setFocus();

    QStringList seen;
    QStringList unexpected;
    const ModalScript::Step answer = [&](QWidget* modal) {
        seen << modal->metaObject()->className();
        EXPECT_EQ(modal->parentWidget(), &window);
        ExpectHeld(window, modal);
        Dismiss(modal);
    };
    const ModalScript::Step chooseVoice = [&](QWidget* modal) {
        seen << modal->metaObject()->className();
        ExpectHeld(window, modal);
        ChooseFile(modal, dir.file("asks.voc"));
    };
    const std::pair<int, std::vector<ModalScript::Step>> commands[] = {
        {command::kNew, {answer}},
        {command::kOpen, {answer}},
        {command::kCredits, {answer}},
        {command::kOptions, {answer}},
        {command::kReplace, {chooseVoice, answer}},
    };
    for (const auto& [id, steps] : commands) {
        SCOPED_TRACE(id);
        ModalScript script{Unexpected(unexpected)};
        script.steps.insert(script.steps.begin(), steps.begin(), steps.end());
        window.button(id)->click();
        ExpectReleased(window, focused);
    }
    EXPECT_EQ(seen, (QStringList{"QMessageBox", "QFileDialog", "jbx::CreditsDialog", "QDialog", "QFileDialog",
                        "jbx::UnknownBlockDialog"}));
    EXPECT_EQ(unexpected, QStringList());
}

// A stereo 16-bit tone at half scale with a fifth of a second of silence
// before and after it: 2205 + 4410 + 2205 frames.
Bytes PaddedTone()
{
    Bytes samples;
    for (int frame = 0; frame < 8820; ++frame) {
        const bool loud = frame >= 2205 && frame < 2205 + 4410;
        const std::uint16_t value = !loud ? 0 : frame % 2 ? 0x4000 : 0xC000;
        PutLE16(samples, value);
        PutLE16(samples, value);
    }
    return WaveImage(1, 2, 11025, 16, samples);
}

Bytes SlotBytes(const SoundSlot& slot)
{
    const auto bytes = SlotFileBytes(slot);
    return {bytes.begin(), bytes.end()};
}

QString Announced(QWidget* widget, QAccessible::Text text = QAccessible::Name)
{
    return QAccessible::queryAccessibleInterface(widget)->text(text);
}

// Presses a menu item by its mnemonic once the context menu is up, after
// noting which items were on.
struct MenuScript {
    explicit MenuScript(Qt::Key key) : key(key)
    {
        QObject::connect(&timer, &QTimer::timeout, [this] {
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            if (!menu || !menu->isVisible())
                return;
            timer.stop();
            for (const QAction* action : menu->actions())
                enabled << action->isEnabled();
            QTest::keyClick(menu, this->key);
        });
        timer.start(20);
    }
    Qt::Key key;
    QTimer timer;
    QList<bool> enabled;
};

void OpenSoundMenu(QPushButton* sound)
{
    QContextMenuEvent event(QContextMenuEvent::Keyboard, sound->rect().center(),
        sound->mapToGlobal(sound->rect().center()));
    QApplication::sendEvent(sound, &event);
}

// The Sound window opens for a slot from the context menu, a double-click
// and Alt+E; it shows the sound as a SoundEditor over the same slot tells it,
// and only OK puts its result into the slot.
TEST(SoundWindowTest, OpensForTheSlotShowsTheEditorsTextsAndOnlyOkChangesTheSlot)
{
    Editor editor({});
    editor.start();
    MainWindow& window = *editor.window();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    Session& session = editor.session();
    Bytes tone = PaddedTone();
    const auto toneSize = std::int32_t(tone.size());
    tone.push_back(kPadByte);
    PutSoundIntoSlot(session.bank.slot(3), {SoundReadResult::Read, SoundKind::Wave, std::move(tone), toneSize, {}}, "tone");
    QPushButton* sound3 = window.button(command::kSound1 + 2);
    const Bytes original = SlotBytes(session.bank.slot(3));

    // Slot 1 is empty: only Replace is on in its menu.
    MenuScript emptyMenu(Qt::Key_Escape);
    OpenSoundMenu(window.button(command::kSound1));
    EXPECT_EQ(emptyMenu.enabled, (QList<bool>{true, false, false}));

    QStringList unexpected;
    int opened = 0;
    const auto runThenDismiss = [&](bool escape) {
        return [&, escape](QWidget* modal) {
            ++opened;
            auto* dialog = qobject_cast<SoundDialog*>(modal);
            ASSERT_NE(dialog, nullptr) << modal->metaObject()->className();
            EXPECT_EQ(dialog->windowTitle(), "Sound 3 - tone");
            dialog->commandButton(SoundCommand::MakeMono)->click();
            EXPECT_FALSE(dialog->commandButton(SoundCommand::MakeMono)->isEnabled());
            if (escape)
                QTest::keyClick(dialog->waveform(), Qt::Key_Escape);
            else
                dialog->cancelButton()->click();
        };
    };

    {
        SCOPED_TRACE("double-click, Cancel");
        ModalScript script{runThenDismiss(false), Unexpected(unexpected)};
        QTest::mouseClick(sound3, Qt::LeftButton);
        EXPECT_EQ(session.bank.currentSlot, 3);
        QTest::mouseDClick(sound3, Qt::LeftButton);
        EXPECT_TRUE(QTest::qWaitFor([&] { return opened == 1 && !QApplication::activeModalWidget(); }));
        EXPECT_TRUE(SlotBytes(session.bank.slot(3)) == original) << "the slot changed";
    }
    {
        SCOPED_TRACE("Alt+E, Escape");
        ModalScript script{runThenDismiss(true), Unexpected(unexpected)};
        window.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
        QTest::keyClick(window.focusWidget(), Qt::Key_E, Qt::AltModifier);
        EXPECT_EQ(opened, 2);
        EXPECT_TRUE(SlotBytes(session.bank.slot(3)) == original) << "the slot changed";
    }

    SoundEditor probe(session, 3);
    const auto expectShown = [&](SoundDialog* dialog) {
        EXPECT_EQ(Announced(dialog->waveform(), QAccessible::Description),
            QString::fromStdString(probe.waveformDescription()));
        EXPECT_EQ(dialog->findChild<QLabel*>("formatLabel")->text(), QString::fromStdString(probe.formatText()));
        EXPECT_EQ(Announced(dialog->findChild<QWidget*>("sizeText"), QAccessible::Value),
            QString::fromStdString(probe.sizeText()));
    };
    {
        SCOPED_TRACE("context menu, Trim silence, OK");
        ModalScript script{[&](QWidget* modal) {
                               ++opened;
                               auto* dialog = qobject_cast<SoundDialog*>(modal);
                               ASSERT_NE(dialog, nullptr) << modal->metaObject()->className();
                               ExpectAnnounced(dialog, 16);
                               EXPECT_EQ(Announced(dialog->waveform()), "Waveform");
                               EXPECT_EQ(Announced(dialog->silenceField()), "Silence below (dBFS):");
                               EXPECT_EQ(Announced(dialog->levelField()), "Peak level (dBFS):");
                               EXPECT_EQ(Announced(dialog->findChild<QWidget*>("sizeText")), "Size:");
                               expectShown(dialog);
                               // The upper half: the first channel's trace, without the time scale.
                               const auto traces = [dialog] {
                                   QWidget* waveform = dialog->waveform();
                                   return waveform->grab(QRect(0, 0, waveform->width(), waveform->height() / 2)).toImage();
                               };
                               const QImage untrimmed = traces();
                               dialog->commandButton(SoundCommand::TrimSilence)->click();
                               probe.run(SoundCommand::TrimSilence, "-40");
                               expectShown(dialog);
                               EXPECT_TRUE(traces() != untrimmed) << "the traces stayed as they were";
                               dialog->okButton()->click();
                           },
            Unexpected(unexpected)};
        MenuScript menu(Qt::Key_E);
        OpenSoundMenu(sound3);
        EXPECT_EQ(menu.enabled, (QList<bool>{true, true, true}));
        EXPECT_EQ(opened, 3);
    }
    EXPECT_EQ(WaveFrames(SlotBytes(session.bank.slot(3))), 4410u);
    EXPECT_EQ(unexpected, QStringList());
}

// Counts the paint events that reach each widget.
class PaintCount final : public QObject {
public:
    PaintCount() { QApplication::instance()->installEventFilter(this); }
    int of(QWidget* widget) const
    {
        const auto found = counts_.find(widget);
        return found == counts_.end() ? 0 : found->second;
    }

private:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            ++counts_[watched];
        return false;
    }
    std::map<QObject*, int> counts_;
};

// The bank is written off the GUI thread, here by a writer that waits for
// the test: meanwhile the "Saving" window is painted and the main window
// with it, and the main window is held until the save is over.
TEST(SavingTest, TheSavingWindowIsPaintedAndTheMainWindowHeldWhileTheBankIsWritten)
{
    TempDir dir;
    QtDesktop desktop;
    FakeSettingsStore settings;
    Session session{desktop};
    NewBank(session);
    session.bank.creditsConfirmed = true;
    std::binary_semaphore writerMayGo{0};
    bool writerReleased = false;
    MainWindowDialogs dialogs;
    dialogs.runAside = [&](const std::function<void()>& work, const std::function<void()>& poll) {
        RunInBackground(
            [&] {
                writerReleased = writerMayGo.try_acquire_for(std::chrono::seconds(5));
                work();
            },
            poll);
    };
    MainWindow window{session, settings, dialogs};
    desktop.setMainWindow(&window);
    window.start();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    QWidget* focused = window.button(command::kSave);
    focused->setFocus();
    const PaintCount paints;
    QWidget* newButton = window.button(command::kNew);
    const int newPaintedBefore = paints.of(newButton);

    bool sawSaving = false;
    QStringList unexpected;
    ModalScript script{[&](QWidget* modal) { ChooseFile(modal, dir.file("saved.jbx")); },
        [&](QWidget* modal) {
            sawSaving = true;
            ProgressWindow* saving = desktop.progressWindow();
            ASSERT_EQ(modal, saving);
            auto* label = saving->findChild<QLabel*>("savingLabel");
            EXPECT_TRUE(QTest::qWaitFor([&] {
                return saving->windowHandle()->isExposed() && paints.of(label) > 0
                    && paints.of(newButton) > newPaintedBefore;
            })) << "the Saving window's text and the held main window are painted";
            ExpectHeld(window, modal);
            QTest::keyClick(&window, Qt::Key_F3);
            EXPECT_EQ(session.bank.currentSlot, 1) << "F3 selected a slot";
            writerMayGo.release();
        },
        Unexpected(unexpected)};
    window.button(command::kSave)->click();

    EXPECT_TRUE(sawSaving) << "no modal Saving window came while the bank was written, with the events served";
    EXPECT_TRUE(writerReleased);
    EXPECT_EQ(unexpected, QStringList());
    EXPECT_EQ(window.windowTitle(), "JBX Maker - saved.jbx");
    EXPECT_EQ(desktop.progressWindow(), nullptr);
    ExpectReleased(window, focused);
}

// Fusion finds the frame only under the key that its own load of the file
// uses; under any other, the first paint loads every image plugin again.
TEST(EditorTest, TheGroupBoxFrameIsCachedWhereFusionLooksWithTheImageItWouldRead)
{
    if (QApplication::style()->name() != "fusion")
        GTEST_SKIP() << "the style is " << QApplication::style()->name().toStdString();
    QPixmapCache::clear();
    const QPixmap cached = CacheGroupBoxFrame();
    ASSERT_FALSE(cached.isNull());
    const QString file = ":/qt-project.org/styles/commonstyle/images/fusion_groupbox.png";
    EXPECT_EQ(QPixmap(file).cacheKey(), cached.cacheKey());
    EXPECT_EQ(cached.toImage(), QPixmap::fromImage(QImage(file)).toImage());
}

// Told so by the variable, jbxmaker prints its caption once painted, and closes.
TEST(EditorTest, JbxmakerJoinsItsArgumentsIntoOneBankPathAndExitsWithZero)
{
    TempDir dir;
    WriteOneSoundBank(dir.file("My taunts.jbx"));
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    environment.insert(kExitWhenShownVariable, "1");
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral(JBXMAKER_PATH), {QString::fromStdString(dir.file("My")), "taunts.jbx"});
    ASSERT_TRUE(process.waitForFinished(30000));
    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(process.exitCode(), 0);
    EXPECT_EQ(QString::fromUtf8(process.readAllStandardOutput()), "shown: JBX Maker - My taunts.jbx\n");
}

} // namespace
} // namespace jbx::testing
