// Core MIDI headers first: they name a parameter "emit", which Qt defines as a macro.
#include "midi/MidiFile.h"
// clang-format off
#include "dialogs/WAVRenderForm.h"
#include "dialogs/MidiExport.h"
// clang-format on

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QFileDialog>
#include <QLabel>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>

#include "CliRun.h"
#include "EditorsTestSupport.h"
#include "TestSupport.h"

namespace {

using Bytes = std::vector<unsigned char>;
namespace fs = std::filesystem;

class RenderExportTest : public ::testing::Test {
protected:
    txtest::TempDir dir;
    txtest::TLoadedLoop loaded;
    std::string loopFile;

    // The default loop with three channels turned into MIDI channels, so the
    // MIDI images carry setup and note events, written where both sides read it.
    void SetUp() override {
        txtest::TLoadedLoop base;
        ASSERT_EQ(base.Load(txtest::DefaultLoopPath, false), "");
        base.Loop.Channel(0).MidiNote = 36;
        base.Loop.Channel(0).MidiPatch = 0;
        base.Loop.Channel(1).MidiNote = 38;
        base.Loop.Channel(1).MidiBank = 2;
        base.Loop.Channel(3).MidiNote = 42;
        base.Loop.Channel(3).Pan = 90;
        loopFile = (dir / "midi loop.txp").string();
        ASSERT_EQ(tx::WriteLoop(loopFile, base.Loop), "");
        ASSERT_EQ(loaded.Load(loopFile, false), "");
    }

    Bytes cliOutput(std::vector<std::string> args) {
        txtest::TCliRun run(args);
        const txtest::TCliResult r = run.Wait();
        EXPECT_EQ(r.Status, 0) << r.Err;
        return txtest::ReadFileBytes(args[3]);
    }
    QString labelText(QWidget& w, const char* name) { return w.findChild<QLabel*>(QLatin1String(name))->text(); }
};

TEST_F(RenderExportTest, RenderWindowWritesTheToolsBytes) {
    const std::string ours = (dir / "window render.wav").string();
    tx::TWAVRenderForm form(*loaded.Engine);
    form.show();
    ASSERT_TRUE(form.StartRender(QString::fromStdString(ours)));
    EXPECT_EQ(labelText(form, "PatLabel"), QStringLiteral("Pattern: 1/1"));
    EXPECT_EQ(labelText(form, "TempoLabel"), QStringLiteral("Tempo: %1").arg(loaded.Loop.Tempo));
    EXPECT_TRUE(labelText(form, "LengthLabel").startsWith(QStringLiteral("Length: ")));
    EXPECT_TRUE(labelText(form, "LengthLabel").endsWith(QStringLiteral("sec")));
    ASSERT_TRUE(QTest::qWaitFor([&] { return form.Result() != nullptr; }, 20000));
    EXPECT_TRUE(form.Result()->Ok);
    EXPECT_FALSE(form.findChild<QPushButton*>(QStringLiteral("CancelButton"))->isVisible());
    EXPECT_TRUE(form.findChild<QPushButton*>(QStringLiteral("OkButton"))->isVisible());
    EXPECT_EQ(form.windowTitle(), QStringLiteral("Rendering window render.wav (done)"));
    auto* gauge = form.findChild<QProgressBar*>(QStringLiteral("RenderGauge"));
    EXPECT_EQ(gauge->value(), gauge->maximum());
    txtest::SaveScreenshot(form, QStringLiteral("render-window"));

    const std::string cli = (dir / "cli.wav").string();
    const Bytes theirs = cliOutput({"render", loopFile, "-o", cli, "--pattern"});
    const Bytes mine = txtest::ReadFileBytes(ours);
    ASSERT_GT(mine.size(), 46u);
    EXPECT_NE(std::count(mine.begin() + 46, mine.end(), 0), std::ptrdiff_t(mine.size() - 46)) << "silent render";
    // The INAM text names the loop, which both read from the same file.
    EXPECT_TRUE(mine == theirs) << "window " << mine.size() << " bytes, tool " << theirs.size() << " bytes";
}

TEST_F(RenderExportTest, ClosingWhileRenderingCancelsAndLeavesACompleteFile) {
    const std::string out = (dir / "cancelled.wav").string();
    // 250 bars of 24 seconds: far longer than the render can finish before
    // the window is closed, however fast the mixer gets.
    constexpr int bars = 250;
    loaded.Engine->SetTempo(10);
    for (int pos = 0; pos < bars; ++pos) loaded.Loop.PlayList.SetPatternAt(loaded.Loop.CurrentPattern, pos, true);
    loaded.Engine->SetSongMode(true);
    tx::TWAVRenderForm form(*loaded.Engine);
    form.show();
    ASSERT_TRUE(form.StartRender(QString::fromStdString(out)));
    form.close();
    QTest::keyClick(&form, Qt::Key_Escape);
    EXPECT_TRUE(form.isVisible()) << "a running render's window must not close";
    ASSERT_TRUE(QTest::qWaitFor([&] { return form.Result() != nullptr; }, 20000));
    EXPECT_TRUE(form.Result()->Ok);
    EXPECT_TRUE(form.Result()->Cancelled);
    EXPECT_GE(form.PollCount(), 1);
    const Bytes wav = txtest::ReadFileBytes(out);
    ASSERT_GE(wav.size(), 46u);
    const uint32_t data = wav[42] | wav[43] << 8 | wav[44] << 16 | uint32_t(wav[45]) << 24;
    EXPECT_EQ(int64_t(data), form.Result()->DataBytes);
    EXPECT_LT(data, uint32_t(bars) * 24u * 44100 * 4) << "the render ran to its end";
    ASSERT_GE(wav.size(), 46u + data + 4);
    EXPECT_EQ(std::string(wav.begin() + 46 + data, wav.begin() + 50 + data), "LIST");
    form.close();
    EXPECT_FALSE(form.isVisible());
}

TEST_F(RenderExportTest, AFileThatCannotBeCreatedIsShownAndNothingStarts) {
    tx::TWAVRenderForm form(*loaded.Engine);
    QStringList shown;
    form.ShowMessage = [&](const QString& t) { shown << t; };
    EXPECT_FALSE(form.StartRender(QString::fromStdString((dir / "no such folder/x.wav").string())));
    ASSERT_EQ(shown.size(), 1);
    EXPECT_TRUE(shown[0].contains(QStringLiteral("x.wav"))) << shown[0].toStdString();
    EXPECT_FALSE(form.Rendering());
}

TEST_F(RenderExportTest, PatternOnTheClipboardIsTheToolsMidi) {
    const Bytes theirs = cliOutput({"midi", loopFile, "-o", (dir / "cli.mid").string(), "--pattern"});
    tx::CopyMidiToClipboard(loaded.Loop, loaded.Settings, false);
    const QMimeData* data = QApplication::clipboard()->mimeData();
    ASSERT_NE(data, nullptr);
    ASSERT_TRUE(data->hasFormat(QStringLiteral("audio/midi")));
    const QByteArray bytes = data->data(QStringLiteral("audio/midi"));
    EXPECT_GT(bytes.size(), 100) << "no notes exported";
    EXPECT_TRUE(Bytes(bytes.begin(), bytes.end()) == theirs) << bytes.size() << " vs " << theirs.size();
}

TEST_F(RenderExportTest, ExportMidiWritesTheSongOrSaysWhyNot) {
    const std::string ours = (dir / "export.mid").string();
    EXPECT_EQ(tx::ExportMidiFile(QString::fromStdString(ours), loaded.Loop, loaded.Settings), QString());
    EXPECT_TRUE(txtest::ReadFileBytes(ours) == cliOutput({"midi", loopFile, "-o", (dir / "cli.mid").string()}));
    const QString bad = QString::fromStdString((dir / "missing/x.mid").string());
    EXPECT_TRUE(tx::ExportMidiFile(bad, loaded.Loop, loaded.Settings).startsWith(bad + ": "));
}

struct DialogCase {
    const char* name;
    QString title, filter, suffix, offered;
};

TEST(SaveDialogs, TitlesFiltersSuffixesAndTheOverwritePrompt) {
    const QString loop = QStringLiteral("/tmp/my loops/Beat.txp");
    std::unique_ptr<QFileDialog> wav(tx::MakeSaveWAVDialog(nullptr, tx::WithExtension(loop, QStringLiteral(".wav"))));
    std::unique_ptr<QFileDialog> mid(tx::MakeMidiExportDialog(nullptr, loop));
    const std::pair<QFileDialog*, DialogCase> cases[] = {
        {wav.get(), {"wav", "Render loop to WAV file", "wave file (*.wav)", "wav", "Beat.wav"}},
        {mid.get(), {"mid", "Export to MIDI file", "MIDI file (*.mid)", "mid", "Beat.mid"}}};
    for (const auto& [d, c] : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(d->windowTitle(), c.title);
        EXPECT_EQ(d->nameFilters().front(), c.filter);
        EXPECT_EQ(d->selectedNameFilter(), c.filter);
        EXPECT_EQ(d->defaultSuffix(), c.suffix);
        EXPECT_EQ(d->acceptMode(), QFileDialog::AcceptSave);
        EXPECT_FALSE(d->testOption(QFileDialog::DontConfirmOverwrite));
        ASSERT_FALSE(d->selectedFiles().isEmpty());
        EXPECT_TRUE(d->selectedFiles().front().endsWith(QStringLiteral("/my loops/") + c.offered))
            << d->selectedFiles().front().toStdString();
    }
    EXPECT_EQ(tx::WithExtension(QStringLiteral("Beat.v2.txp"), QStringLiteral(".mid")), QStringLiteral("Beat.v2.mid"));
    EXPECT_EQ(tx::WithExtension(QString(), QStringLiteral(".mid")), QString());
}

// The render dialog offers every format this machine writes, the one the
// suggested name has (the last one rendered) chosen, and a default suffix
// that follows the chosen filter; the stems box comes as it was left.
TEST(SaveDialogs, TheRenderDialogOffersEveryFormatAndKeepsTheOneOffered) {
    QStringList expected;
    for (const tx::TRenderFormatInfo& f : tx::RenderFormats())
        if (tx::RenderFormatWritable(f.Format)) expected << QString::fromLatin1(f.Extension);
    std::unique_ptr<QFileDialog> d(tx::MakeSaveWAVDialog(nullptr, QStringLiteral("/tmp/Beat.flac"), true));
    ASSERT_EQ(d->nameFilters().size(), expected.size());
    for (int i = 0; i < expected.size(); ++i)
        EXPECT_TRUE(d->nameFilters()[i].endsWith(QStringLiteral("(*") + expected[i] + QLatin1Char(')')))
            << d->nameFilters()[i].toStdString();
    EXPECT_EQ(d->selectedNameFilter(), QStringLiteral("FLAC file (*.flac)"));
    EXPECT_EQ(d->defaultSuffix(), QStringLiteral("flac"));
    d->selectNameFilter(QStringLiteral("Opus file (*.opus)"));
    emit d->filterSelected(QStringLiteral("Opus file (*.opus)"));
    EXPECT_EQ(d->defaultSuffix(), QStringLiteral("opus"));
    auto* box = d->findChild<QCheckBox*>(QStringLiteral("StemsBox"));
    ASSERT_NE(box, nullptr);
    EXPECT_TRUE(box->isChecked());
    d->resize(760, 480);
    txtest::SaveScreenshot(*d, QStringLiteral("render-dialog"));
    std::unique_ptr<QFileDialog> plain(tx::MakeSaveWAVDialog(nullptr, QStringLiteral("/tmp/Beat.txp")));
    EXPECT_EQ(plain->selectedNameFilter(), QStringLiteral("wave file (*.wav)"));
    EXPECT_FALSE(plain->findChild<QCheckBox*>(QStringLiteral("StemsBox"))->isChecked());

    const tx::TRenderRequest file = tx::RenderRequestFor(QStringLiteral("/m/Beat.ogg"), false);
    EXPECT_EQ(file.Output, "/m/Beat.ogg");
    EXPECT_TRUE(file.StemsFolder.empty());
    const tx::TRenderRequest stems = tx::RenderRequestFor(QStringLiteral("/m/Beat.ogg"), true);
    EXPECT_EQ(stems.StemsFolder, "/m/Beat");
    EXPECT_TRUE(stems.Format == tx::TRenderFormat::Vorbis);
}

// The window renders FLAC and stems exactly as the tool does.
TEST_F(RenderExportTest, RenderWindowWritesTheToolsFlacAndStems) {
    auto renderInWindow = [&](const tx::TRenderRequest& r) {
        tx::TWAVRenderForm form(*loaded.Engine);
        if (!form.StartRender(r)) return false;
        return QTest::qWaitFor([&] { return form.Result() != nullptr; }, 20000) && form.Result()->Ok;
    };
    const std::string flac = (dir / "window.flac").string();
    ASSERT_TRUE(renderInWindow(tx::RenderRequestFor(QString::fromStdString(flac), false)));
    EXPECT_TRUE(txtest::ReadFileBytes(flac) ==
                cliOutput({"render", loopFile, "-o", (dir / "cli.flac").string(), "--pattern"}));

    const std::string chosen = (dir / "window stems.wav").string();
    fs::create_directory(dir / "window stems");
    ASSERT_TRUE(renderInWindow(tx::RenderRequestFor(QString::fromStdString(chosen), true)));
    txtest::TCliRun run({"render", loopFile, "--stems", (dir / "cli stems").string(), "--pattern"});
    ASSERT_EQ(run.Wait().Status, 0);
    size_t files = 0;
    for (const auto& e : fs::directory_iterator(dir / "cli stems")) {
        ++files;
        EXPECT_TRUE(txtest::ReadFileBytes(e.path()) ==
                    txtest::ReadFileBytes(dir / "window stems" / e.path().filename()))
            << e.path().filename();
    }
    EXPECT_GT(files, 4u);
}

}  // namespace
