// The channel settings window on a main window: its controls write the
// channel, MIDI goes to a recording port, samples are processed again only
// when an effect changes, and the name buttons, rows and keys link to it.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QListWidget>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QTabWidget>
#include <QTableWidget>
#include <QTest>
#include <QTimer>

#include "../support/TestSupport.h"
#include "../support/Wav16.h"
#include "StyleData.h"
#include "controls/Controls.h"
#include "dialogs/FavOpenDialog.h"
#include "dialogs/HelpWindow.h"
#include "engine/Engine.h"
#include "engine/SampleInstall.h"
#include "loopfile/LoopFile.h"
#include "midi/MidiOut.h"
#include "model/Loop.h"
#include "skin/Style.h"
#include "window/ChannelForm.h"
#include "window/MainForm.h"

namespace tx {
namespace {

using Bytes = std::vector<uint8_t>;

class ChannelFormTest : public ::testing::Test {
protected:
    void SetUp() override {
        loop.SetEngineLock(&lock);
        engine.UseWAVOnly = false;
        auto p = std::make_unique<TRecordingMidiOutPort>(std::vector<std::string>{"Synth"});
        port = p.get();
        midi = std::make_unique<TMidiOutput>(std::move(p));
        midi->Bind(engine);
        midi->SetDeviceID(0);
        ASSERT_TRUE(midi->Open());
        install = std::make_unique<TSampleInstall>(loop, engine, dir.path().string() + "/");
        form = std::make_unique<TTrovamixMainForm>(loop, &engine);
        static const TStyleData style = LoadStyleData({"", "", FindEmbeddedStyleFile});
        form->ApplyStyle(style);
        form->SetMidiOutput(midi.get());
        form->SetSampleInstall(install.get());
        form->show();
        w = form->ChannelForm();
        w->Reprocess = [this](int ch) {
            ++reprocessed;
            install->ReprocessChannel(ch);
        };
        port->Clear();
    }
    void TearDown() override { w->hide(); }

    // Opens the window on `ch` as a click on its name button does.
    void Open(int ch) {
        QTest::mouseClick(form->Row(ch)->SetButton, Qt::LeftButton);
        QApplication::processEvents();
    }
    std::string WriteSample(const std::string& name, uint32_t frames) {
        std::vector<int16_t> pcm(size_t(frames) * 2);
        for (size_t i = 0; i < pcm.size(); ++i) pcm[i] = int16_t((i * 37) % 20000 - 10000);
        const auto path = dir / name;
        txtest::WriteWav16(path, pcm);
        return path.string();
    }
    std::vector<Bytes> Sent() const { return port->Messages(); }

    txtest::TempDir dir;
    TLoop loop;
    TEngineLock lock;
    TSettings settings;
    TEngine engine{loop, lock, settings};
    TRecordingMidiOutPort* port = nullptr;
    std::unique_ptr<TMidiOutput> midi;
    std::unique_ptr<TSampleInstall> install;
    std::unique_ptr<TTrovamixMainForm> form;
    TChannelForm* w = nullptr;
    int reprocessed = 0;
};

TEST_F(ChannelFormTest, NoteMinusOneMeansNoneAndNoNotes) {
    loop.Channel(0).MidiNote = 36;
    loop.SetStep(0, 1, 0, true);
    Open(0);
    w->NoteSelect->setValue(-1);
    EXPECT_EQ(w->NoteLabel->text(), "Note (none)");
    EXPECT_EQ(loop.Channel(0).MidiNote, 255);
    EXPECT_TRUE(loop.Modified);
    port->Clear();
    engine.CurrentStep = 0;
    loop.PlayingPatterns.Assign(1);
    midi->PlayMidiStep(1);
    for (const Bytes& m : Sent()) EXPECT_NE(m[0] & 0xF0, 0x90) << "a note was sent";
}

TEST_F(ChannelFormTest, NoteGridCellSendsOffThenOnAtTheChannelVolume) {
    loop.Channel(1).Volume = 90;
    loop.Channel(1).MidiChannel = 3;
    Open(1);
    port->Clear();
    const QRect cell = w->NoteGrid->visualItemRect(w->NoteGrid->item(7, 4));
    QTest::mouseClick(w->NoteGrid->viewport(), Qt::LeftButton, {}, cell.center());
    EXPECT_EQ(w->NoteLabel->text(), "Note (C5)");
    EXPECT_EQ(loop.Channel(1).MidiNote, 60);
    // The previous preview key (0 at first) goes off, then key 60 on, both at volume 90.
    EXPECT_EQ(Sent(), (std::vector<Bytes>{{0x83, 0, 90}, {0x93, 60, 90}}));
    EXPECT_EQ(w->PreviewKey(), 60);
    // The next cell stops 60 first.
    port->Clear();
    QTest::mouseClick(w->NoteGrid->viewport(), Qt::LeftButton, {},
                      w->NoteGrid->visualItemRect(w->NoteGrid->item(4, 4)).center());
    EXPECT_EQ(Sent(), (std::vector<Bytes>{{0x83, 60, 90}, {0x93, 36, 90}}));
    EXPECT_EQ(w->NoteLabel->text(), "Note (C3)");
}

TEST_F(ChannelFormTest, MidiControlsSendAsTheirTableSays) {
    Open(0);
    struct Case {
        const char* What;
        std::function<void()> Act;
        std::vector<Bytes> Expected;
    } cases[] = {
        {"channel: nothing until the next note", [&] { w->ChanSelect->setCurrentIndex(3); }, {}},
        {"controller 7 to 100",
         [&] {
             w->CtrlNumSelect->setValue(7);
             w->CtrlValSelect->setValue(100);
         },
         {{0xB3, 7, 100}}},
        {"controller value -1: cleared, nothing sent", [&] { w->CtrlValSelect->setValue(-1); }, {}},
    };
    for (const Case& c : cases) {
        port->Clear();
        c.Act();
        EXPECT_EQ(Sent(), c.Expected) << c.What;
    }
    EXPECT_EQ(loop.Channel(0).MidiChannel, 3);
    EXPECT_EQ(loop.Channel(0).ControllerTable[7], 255);
    // Another controller number shows its own entry.
    loop.Channel(0).ControllerTable[10] = 5;
    w->CtrlNumSelect->setValue(10);
    EXPECT_EQ(w->CtrlValSelect->value(), 5);
    EXPECT_EQ(loop.Channel(0).ControllerTable[10], 5);
}

TEST_F(ChannelFormTest, CutItselfTakesTheFirstFreeGroup) {
    loop.Channel(0).Sample.CutGroup = 1;
    loop.Channel(1).Sample.CutGroup = 2;
    Open(2);
    QTest::mouseClick(w->CutItselfBtn, Qt::LeftButton);
    EXPECT_EQ(loop.Channel(2).Sample.CutGroup, 3);
    EXPECT_EQ(loop.Channel(2).Sample.CutByGroup, 3);
    EXPECT_EQ(w->CutSelect->value(), 3);
}

TEST_F(ChannelFormTest, CutItselfWithEveryGroupTakenChangesNothing) {
    while (loop.ChannelCount() < 51) loop.AddChannel();
    form->ChannelsChanged();
    for (int i = 1; i <= 50; ++i) {
        loop.Channel(i).Sample.CutGroup = 2 * i - 1;
        loop.Channel(i).Sample.CutByGroup = std::min(2 * i, 99);
    }
    loop.Channel(0).Sample.CutGroup = 7;
    loop.Channel(0).Sample.CutByGroup = 8;
    Open(0);
    loop.Modified = false;
    QTest::mouseClick(w->CutItselfBtn, Qt::LeftButton);
    EXPECT_EQ(loop.Channel(0).Sample.CutGroup, 7);
    EXPECT_EQ(loop.Channel(0).Sample.CutByGroup, 8);
    EXPECT_FALSE(loop.Modified);
}

TEST_F(ChannelFormTest, PageDownOnTheLastChannelOpensTheFirst) {
    Open(3);
    ASSERT_TRUE(w->isVisible());
    ASSERT_EQ(w->Tag(), 3);
    QTest::keyClick(w->NameEDit, Qt::Key_PageDown);
    EXPECT_EQ(w->Tag(), 0);
    EXPECT_TRUE(form->Row(0)->SetButton->Down());
    EXPECT_FALSE(form->Row(3)->SetButton->Down());
    EXPECT_TRUE(w->isVisible());
    QTest::keyClick(w->NameEDit, Qt::Key_PageUp);
    EXPECT_EQ(w->Tag(), 3);
    // The main window passes its Page keys on while the window shows.
    QTest::keyClick(form.get(), Qt::Key_PageDown);
    EXPECT_EQ(w->Tag(), 0);
}

TEST_F(ChannelFormTest, NoReprocessingWhileRefreshing) {
    loop.Channel(0).FXFirst = 200;
    loop.Channel(0).CutOff = 300;
    loop.Channel(0).ReverseSample = true;
    Open(0);  // refreshes: every control moves, none processes
    EXPECT_EQ(reprocessed, 0);
    EXPECT_EQ(w->SampleWheels[0]->Value(), 200);
    loop.Modified = false;
    w->SampleWheels[3]->SetValue(301, true);
    EXPECT_EQ(reprocessed, 1);
    EXPECT_EQ(loop.Channel(0).CutOff, 301);
    EXPECT_TRUE(loop.Modified);
    // Delay knobs store only.
    w->DelayWheels[0]->SetValue(77, true);
    EXPECT_EQ(reprocessed, 1);
    EXPECT_EQ(loop.Channel(0).DelayFeed, 77);
}

TEST_F(ChannelFormTest, StretchAndShuffledMarkTheLoopModified) {
    Open(0);
    struct Case {
        const char* What;
        std::function<void()> Act;
        std::function<bool()> Stored;
    } cases[] = {
        {"stretch", [&] { w->StretchSelect->setValue(16); }, [&] { return loop.Channel(0).Stretch == 16; }},
        {"stretch menu", [&] { w->StretchMenu->actions()[6]->trigger(); },
         [&] { return loop.Channel(0).Stretch == 128; }},
        {"shuffled", [&] { w->ShuffleBox->setChecked(true); }, [&] { return loop.Channel(0).DelayShuffled; }},
        {"echoes held", [&] { w->EchoSelect->setValue(10); }, [&] { return loop.Channel(0).DelayEchoes == 9; }},
    };
    for (const Case& c : cases) {
        loop.Modified = false;
        c.Act();
        EXPECT_TRUE(c.Stored()) << c.What;
        EXPECT_TRUE(loop.Modified) << c.What;
    }
    EXPECT_EQ(reprocessed, 0);  // none of them touches the sample
}

TEST_F(ChannelFormTest, ListsAndLinksUnderTheLock) {
    Open(1);
    w->ChanList_Mix->setCurrentRow(3);
    EXPECT_EQ(loop.Channel(1).MixWith, 3);
    w->ChanList_Rand->item(3)->setSelected(true);
    w->ChanList_Rand->item(0)->setSelected(true);
    EXPECT_EQ(loop.Channel(1).RandomWith, (std::vector<int32_t>{1, 0, 3}));
    // The right button toggles the line under it.
    const QPoint at = w->ChanList_Rand->visualItemRect(w->ChanList_Rand->item(0)).center();
    QTest::mousePress(w->ChanList_Rand->viewport(), Qt::RightButton, {}, at);
    EXPECT_EQ(loop.Channel(1).RandomWith, (std::vector<int32_t>{1, 3}));
    // Refreshing shows exactly the list's entries.
    w->Refresh();
    EXPECT_TRUE(w->ChanList_Rand->item(3)->isSelected());
    EXPECT_FALSE(w->ChanList_Rand->item(0)->isSelected());
}

TEST_F(ChannelFormTest, NameButtonShowsAndHidesAndRowsStayInStep) {
    Open(2);
    EXPECT_TRUE(w->isVisible());
    EXPECT_EQ(w->windowTitle(), "Channel settings");
    Open(2);
    EXPECT_FALSE(w->isVisible());
    loop.SetChannelName(1, "Snare");
    Open(1);
    EXPECT_EQ(w->windowTitle(), "Channel settings - Snare");
    // Another name button moves the window there and releases the first.
    Open(0);
    EXPECT_EQ(w->Tag(), 0);
    EXPECT_FALSE(form->Row(1)->SetButton->Down());
    // Row mute and knob reach the window; the window's reach the row.
    QTest::mouseClick(form->Row(0)->FrontMuteButton, Qt::LeftButton);
    EXPECT_TRUE(w->MuteBox->isChecked());
    w->MuteBox->setChecked(false);
    EXPECT_TRUE(loop.Channel(0).Enabled);
    EXPECT_FALSE(form->Row(0)->FrontMuteButton->Down());
    form->Row(0)->FrontVolWheel->SetValue(33, true);
    EXPECT_EQ(w->VolWheel->Value(), 33);
    w->VolWheel->SetValue(120, true);
    EXPECT_EQ(loop.Channel(0).Volume, 120);
    EXPECT_EQ(form->Row(0)->FrontVolWheel->Value(), 120);
    // Hiding releases the name button.
    w->hide();
    EXPECT_FALSE(form->Row(0)->SetButton->Down());
}

TEST_F(ChannelFormTest, RenameFromTheWindow) {
    Open(0);
    w->NameEDit->selectAll();
    QTest::keyClicks(w->NameEDit, "Kick");
    EXPECT_EQ(loop.Channel(0).Name, "Kick");
    EXPECT_EQ(w->ChanList_Mix->item(0)->text(), "Kick");
    EXPECT_EQ(w->windowTitle(), "Channel settings - Kick");
}

TEST_F(ChannelFormTest, FitHeightResetsAVanishedChannel) {
    loop.AddChannel();
    form->ChannelsChanged();
    Open(4);
    ASSERT_EQ(w->Tag(), 4);
    loop.DeleteChannel(4);
    form->ChannelsChanged();
    EXPECT_EQ(w->Tag(), 0);
    EXPECT_EQ(w->ChanList_Mix->count(), 4);
}

TEST_F(ChannelFormTest, SamplesLoadOnePerChannelAndTheHistoryKeepsThem) {
    const std::string a = WriteSample("a.wav", 400), b = WriteSample("b.wav", 300);
    Open(3);
    w->LoadSamples({QString::fromStdString(a), QString::fromStdString(b)});
    EXPECT_EQ(loop.ChannelCount(), 5);  // a channel was added for the second file
    EXPECT_EQ(form->RowCount(), 5);
    EXPECT_GT(loop.Channel(3).Sample.PlayLength, 0);
    EXPECT_GT(loop.Channel(4).Sample.PlayLength, 0);
    EXPECT_EQ(w->History().Paths(), (std::vector<std::string>{b, a}));
    EXPECT_EQ(w->FileNameBox->currentText(), "a.wav");
    // The dialog's path: files chosen there load the same way.
    w->AskSampleFiles = [&](const QString&) { return QStringList{QString::fromStdString(b)}; };
    QTest::mouseClick(w->SpeedButton2, Qt::LeftButton);
    EXPECT_EQ(loop.Channel(3).Sample.PlayLength, loop.Channel(4).Sample.PlayLength);
}

TEST_F(ChannelFormTest, DialogPreviewRules) {
    struct Case {
        const char* Path;
        int64_t Bytes;
        bool On, Plays;
    } cases[] = {
        {"/s/kick.wav", 1000, true, true},   {"/s/KICK.WAV", 524288, true, true}, {"/s/kick.wav", 524289, true, false},
        {"/s/kick.wav", 1000, false, false}, {"/s/kick.aiff", 1000, true, false}, {"/s/wav", 10, true, false},
    };
    for (const Case& c : cases) EXPECT_EQ(PreviewInDialog(c.Path, c.Bytes, c.On), c.Plays) << c.Path << " " << c.Bytes;
}

TEST_F(ChannelFormTest, KnobChangeIsOneUndoStepAndTheLoopComesBackByteForByte) {
    const std::string a = WriteSample("a.wav", 2000);
    install->SetChannelSample(0, a, false, false);
    Open(0);
    loop.Modified = false;
    const Bytes before = BuildLoopFile(loop);
    const int16_t firstBefore = loop.Channel(0).Sample.Data[0];
    // A knob turned in several moves and another one in the same second: one step.
    for (int v : {140, 170, 220}) w->SampleWheels[0]->SetValue(v, true);
    w->SampleWheels[5]->SetValue(32, true);  // PreAmp
    ASSERT_NE(BuildLoopFile(loop), before);
    ASSERT_NE(loop.Channel(0).Sample.Data[0], firstBefore);
    form->RunCommand(TCommand::Undo);
    QApplication::processEvents();
    EXPECT_EQ(BuildLoopFile(loop), before);
    EXPECT_EQ(loop.Channel(0).Sample.Data[0], firstBefore);  // the processed sample came back too
    EXPECT_EQ(w->SampleWheels[0]->Value(), 128);             // the window shows it
    form->RunCommand(TCommand::Redo);
    EXPECT_EQ(loop.Channel(0).FXFirst, 220);
    EXPECT_EQ(loop.Channel(0).PreAmp, 32);
}

TEST_F(ChannelFormTest, SheetSettingAndPlace) {
    TDesktopSettings s;
    s.SettingsSheet = 0;
    s.ChanSetX = 40;
    s.ChanSetY = 50;
    form->ApplySettings(s);
    EXPECT_EQ(w->Sheets->currentIndex(), 0);
    w->Sheets->setCurrentIndex(3);
    TDesktopSettings out;
    form->StoreSettings(out);
    EXPECT_EQ(out.SettingsSheet, 1);
    EXPECT_EQ(out.ChanSetX, 40);
    s.SettingsSheet = 1;
    form->ApplySettings(s);
    EXPECT_EQ(w->Sheets->currentIndex(), 1);
}

TEST_F(ChannelFormTest, MiddleNoteByTheRightButton) {
    Open(0);
    w->Sheets->setCurrentIndex(2);
    const QPoint c4(int(5 * 7 * TPitchKeys::NoteWidth + 5), TPitchKeys::KeyLength - 5);  // white key C5 = 60
    QTest::mouseClick(w->MIDIKeyboard, Qt::RightButton, {}, c4);
    EXPECT_EQ(loop.Channel(0).MiddleNote, 60);
    QTest::mouseClick(w->MIDIKeyboard, Qt::RightButton, {}, c4 + QPoint(TPitchKeys::NoteWidth * 2, 0));
    EXPECT_EQ(loop.Channel(0).MiddleNote, 64);
    EXPECT_EQ(w->MiddleNoteLabel->text(), "Middle Note (E5)");
    QTest::mouseClick(w->MIDIKeyboard, Qt::LeftButton, {}, c4);  // plays, changes nothing
    EXPECT_EQ(loop.Channel(0).MiddleNote, 64);
}

TEST_F(ChannelFormTest, EveryControlIsNamedAndReachable) {
    Open(0);
    for (int sheet = 0; sheet < w->Sheets->count(); ++sheet) {
        w->Sheets->setCurrentIndex(sheet);
        QApplication::processEvents();
        for (QWidget* c : w->findChildren<QWidget*>()) {
            if (!c->isVisibleTo(w) || c->focusPolicy() == Qt::NoFocus) continue;
            // The inner parts of spinners, drop-downs and scroll areas speak through their owners.
            QObject* up = c->parent();
            if (c->inherits("QScrollBar") || (up && (up->inherits("QAbstractSpinBox") || up->inherits("QComboBox"))) ||
                c->objectName() == "qt_scrollarea_viewport")
                continue;
            QAccessibleInterface* a = QAccessible::queryAccessibleInterface(c);
            ASSERT_NE(a, nullptr);
            const QString name = a->text(QAccessible::Name);
            EXPECT_FALSE(name.isEmpty()) << c->objectName().toStdString() << " " << c->metaObject()->className();
        }
    }
}

TEST_F(ChannelFormTest, PreviewsByCtrlEnterAndTheScope) {
    const std::string a = WriteSample("a.wav", 1000);
    install->SetChannelSample(1, a, false, false);
    // Ctrl + a press on the name button plays the channel and does nothing else.
    QTest::mouseClick(form->Row(1)->SetButton, Qt::LeftButton, Qt::ControlModifier);
    EXPECT_EQ(engine.VoiceCount, 1);
    EXPECT_FALSE(w->isVisible());
    EXPECT_FALSE(form->Row(1)->SetButton->Down());
    Open(1);
    QTest::keyClick(w->NameEDit, Qt::Key_Return);
    EXPECT_EQ(engine.VoiceCount, 2);
    w->Sheets->setCurrentIndex(1);
    QTest::mousePress(w->WAVScope, Qt::LeftButton, {}, QPoint(10, 10));
    QTest::mouseRelease(w->WAVScope, Qt::LeftButton, {}, QPoint(10, 10));
    EXPECT_EQ(engine.VoiceCount, 3);
    EXPECT_EQ(w->windowTitle(), "Channel settings");  // Enter renamed nothing
}

TEST_F(ChannelFormTest, AutoArrangePlacesTheWindowBesideTheMainWindow) {
    bool autoArrange = true;
    form->SetAutoArrangeQuery([&] { return autoArrange; });
    form->move(200, 100);
    w->move(700, 300);
    Open(0);
    EXPECT_EQ(w->x(), form->x() + 96);
    Open(0);  // hidden again
    autoArrange = false;
    w->move(650, 300);
    Open(0);
    EXPECT_EQ(w->x(), 650);
}

TEST_F(ChannelFormTest, PopupMenusAndPanSendTheSetup) {
    loop.Channel(2).MidiPatch = 5;
    Open(2);
    w->VolMenu->actions()[0]->trigger();  // "Max"
    EXPECT_EQ(loop.Channel(2).Volume, 127);
    EXPECT_EQ(form->Row(2)->FrontVolWheel->Value(), 127);
    port->Clear();
    w->PanMenu->actions()[0]->trigger();  // "Left"
    EXPECT_EQ(loop.Channel(2).Pan, 0);
    EXPECT_FALSE(Sent().empty());  // the channel's set-up went out with it
    port->Clear();
    w->PatchSelect->setValue(-1);
    EXPECT_EQ(loop.Channel(2).MidiPatch, 255);
}

TEST_F(ChannelFormTest, F1OpensItsHelpTopic) {
    Open(0);
    QTest::keyClick(w->NoteSelect, Qt::Key_F1);
    ASSERT_NE(form->HelpWindow(), nullptr);
    EXPECT_TRUE(form->HelpWindow()->isVisible());
}

TEST_F(ChannelFormTest, SampleScopeTakesTheStyleColours) {
    // Style colours are $BBGGRR.
    form->ApplyStyle(test::MakeStyleData("SampleScopeCol=$0000FF,$00FF00,$FF0000\n"));
    EXPECT_EQ(w->WAVScope->BackColor(), QColor(255, 0, 0));
    EXPECT_EQ(w->WAVScope->CenterColor(), QColor(0, 255, 0));
    EXPECT_EQ(w->WAVScope->LineColor(), QColor(0, 0, 255));
    // The knobs follow the style's "MiddleWheel.bmp" strip.
    EXPECT_FALSE(w->SampleWheels[0]->WheelIL()->IsEmpty());
}

// The favourite folders read at start-up are saved again untouched when the
// open dialog was never made, and are its list once it is.
TEST_F(ChannelFormTest, FavoritesOutliveAnOpenDialogNeverMade) {
    TDesktopSettings in, out, later;
    in.Favorites = std::vector<std::string>{"/samples/kicks", "/samples/snares"};
    w->LoadFavorites(in);
    EXPECT_EQ(w->findChild<TFavOpenDialog*>(), nullptr) << "made only when first needed";
    w->StoreFavorites(out);
    EXPECT_EQ(out.Favorites, in.Favorites);
    EXPECT_EQ(w->SampleOpenDialog().Favorites().Items(), *in.Favorites);
    w->StoreFavorites(later);
    EXPECT_EQ(later.Favorites, in.Favorites);
}

TEST_F(ChannelFormTest, TheOpenDialogReportsWhatIsHighlightedAndReturnsTheChoice) {
    const std::string a = WriteSample("a.wav", 100), b = WriteSample("b.wav", 100);
    std::vector<QString> highlighted;
    QTimer::singleShot(0, [&] {
        auto* d = qobject_cast<TFavOpenDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(d, nullptr) << "the favourites dialog opens the samples";
        EXPECT_EQ(d->fileMode(), QFileDialog::ExistingFiles);
        EXPECT_EQ(d->directory().absolutePath(), QFileInfo(QString::fromStdString(a)).absolutePath());
        // The file list fills in the background; then b.wav is highlighted and chosen.
        auto* view = d->findChild<QListView*>("listView");
        ASSERT_NE(view, nullptr);
        QModelIndex ia, ib;
        for (int tries = 0; tries < 200 && !(ia.isValid() && ib.isValid()); ++tries) {
            QTest::qWait(10);
            const QModelIndex root = view->rootIndex();
            for (int r = 0; r < view->model()->rowCount(root); ++r) {
                const QModelIndex i = view->model()->index(r, 0, root);
                if (i.data().toString() == "a.wav") ia = i;
                if (i.data().toString() == "b.wav") ib = i;
            }
        }
        ASSERT_TRUE(ia.isValid() && ib.isValid());
        view->setCurrentIndex(ib);
        QMetaObject::invokeMethod(d, "accept");
    });
    const QStringList chosen = ChooseSampleFiles(w->SampleOpenDialog(), QString::fromStdString(a),
                                                 [&](const QString& f) { highlighted.push_back(f); });
    EXPECT_EQ(chosen, QStringList{QString::fromStdString(b)});
    ASSERT_FALSE(highlighted.empty());
    EXPECT_TRUE(std::find(highlighted.begin(), highlighted.end(), QString::fromStdString(b)) != highlighted.end());
}

TEST_F(ChannelFormTest, KeyboardOnly) {
    Open(0);
    w->activateWindow();
    // Tab passes through the note grid instead of walking its 128 cells.
    w->NoteGrid->setFocus();
    QTest::keyClick(w->NoteGrid, Qt::Key_Tab);
    EXPECT_NE(QApplication::focusWidget(), w->NoteGrid);
    // The arrows pick notes in the grid: one row down from key 60 is 68.
    w->NoteGrid->setFocus();
    w->NoteGrid->setCurrentCell(7, 4);
    QTest::keyClick(w->NoteGrid, Qt::Key_Down);
    EXPECT_EQ(loop.Channel(0).MidiNote, 68);
    // The PITCH keyboard: M on a key makes it the middle note.
    w->Sheets->setCurrentIndex(2);
    w->MIDIKeyboard->setFocus();
    for (int i = 0; i < 2; ++i) QTest::keyClick(w->MIDIKeyboard, Qt::Key_Right);
    QTest::keyClick(w->MIDIKeyboard, Qt::Key_M);
    EXPECT_EQ(loop.Channel(0).MiddleNote, 62);
    // A focused knob takes the arrows.
    w->Sheets->setCurrentIndex(3);
    w->DelayWheels[0]->setFocus();
    QTest::keyClick(w->DelayWheels[0], Qt::Key_Up);
    EXPECT_EQ(loop.Channel(0).DelayFeed, 1);
}

TEST_F(ChannelFormTest, Screenshots) {
    const std::string a = WriteSample("loop.wav", 22050);
    install->SetChannelSample(0, a, false, false);
    loop.SetChannelName(0, "Kick");
    loop.Channel(0).MidiNote = 36;
    Open(0);
    w->resize(w->sizeHint());
    const char* names[] = {"midi", "sample", "pitch", "delay", "mix"};
    for (int sheet = 0; sheet < 5; ++sheet) {
        w->Sheets->setCurrentIndex(sheet);
        QApplication::processEvents();
        const QString file = QApplication::applicationDirPath() + "/chanform-" + names[sheet] + ".png";
        EXPECT_TRUE(w->grab().save(file));
    }
}

}  // namespace
}  // namespace tx
