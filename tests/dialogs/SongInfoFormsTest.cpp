#include <gtest/gtest.h>

#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QTest>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextDocument>
#include <QTextFragment>

#include "EditorsTestSupport.h"
#include "dialogs/SongInfoForms.h"
#include "loopfile/LoopFile.h"
#include "model/SongInfo.h"

namespace tx {
namespace {

// The pictures of a document: their images as the document shows them.
std::vector<QImage> Pictures(const QTextDocument& doc) {
    std::vector<QImage> out;
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next())
        for (auto it = b.begin(); !it.atEnd(); ++it)
            if (it.fragment().charFormat().isImageFormat()) {
                const QString name = it.fragment().charFormat().toImageFormat().name();
                out.push_back(doc.resource(QTextDocument::ImageResource, QUrl(name)).value<QImage>());
            }
    return out;
}

QImage Checker(int w, int h) {
    QImage img(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) img.setPixel(x, y, ((x / 4 + y / 4) % 2) ? qRgb(200, 40, 30) : qRgb(20, 90, 220));
    return img;
}

const std::string RichNote = "{\\rtf1\\ansi{\\fonttbl{\\f0 DejaVu Sans;}}\\f0\\fs24 Kick on {\\b one}\\par}";

TEST(SetInfoForm, AnUntouchedWindowGivesBackWhatItWasGivenByteForByte) {
    for (const TSongInfo& given : {TSongInfo{"T", RichNote, "", "http://a.b", true},
                                   TSongInfo{"", "", "an old plain note", "", false}, TSongInfo{}}) {
        TSetInfoForm form;
        form.Load(given);
        EXPECT_EQ(form.Result(), given);
        // Typed and typed back: still the same note.
        form.InfoEdit->moveCursor(QTextCursor::End);
        QTest::keyClicks(form.InfoEdit, "xy");
        QTest::keyClick(form.InfoEdit, Qt::Key_Backspace);
        QTest::keyClick(form.InfoEdit, Qt::Key_Backspace);
        EXPECT_TRUE(form.InfoEdit->document()->isModified());
        EXPECT_EQ(form.Result(), given) << "title " << given.Title;
    }
}

TEST(SetInfoForm, EditsReachTheResultAndThePlainNoteBecomesRichText) {
    TSetInfoForm form;
    form.Load({"", "", "old note", "", false});
    EXPECT_EQ(form.InfoEdit->toPlainText(), "old note");
    std::vector<QString> titles;
    form.TitleEdited = [&titles](const QString& t) { titles.push_back(t); };
    QTest::keyClicks(form.TitleEdit, "Ab");
    EXPECT_EQ(titles, (std::vector<QString>{"A", "Ab"})) << "the caption follows every key";
    QTest::keyClicks(form.URLEdit, "www.x.org");
    form.ShowInfoBox->click();
    form.InfoEdit->moveCursor(QTextCursor::End);
    QTest::keyClicks(form.InfoEdit, "!");
    const TSongInfo r = form.Result();
    EXPECT_EQ(r.Title, "Ab");
    EXPECT_EQ(r.URL, "www.x.org");
    EXPECT_TRUE(r.ShowInfo);
    EXPECT_EQ(r.InfoPlain, "");
    EXPECT_EQ(ReadRtf(r.InfoRich).PlainText(), "old note!");
    // Emptying the note empties it for good.
    form.InfoEdit->selectAll();
    QTest::keyClick(form.InfoEdit, Qt::Key_Delete);
    EXPECT_EQ(form.Result().InfoRich, "");
}

TEST(SetInfoForm, APastedPictureSurvivesASaveAndAReopen) {
    const QImage picture = Checker(24, 16);
    TSetInfoForm form;
    form.Load({});
    QTest::keyClicks(form.TitleEdit, "Pictured");
    QTest::keyClicks(form.InfoEdit, "Look: ");
    QMimeData pasted;
    pasted.setImageData(picture);
    ASSERT_TRUE(form.InfoEdit->canInsertFromMimeData(&pasted));
    form.InfoEdit->insertFromMimeData(&pasted);
    QTest::keyClicks(form.InfoEdit, " done");

    TLoop loop;
    ASSERT_TRUE(SetSongInfo(loop, form.Result()));
    const std::string file = std::string(TROVAMIX_BINARY_DIR) + "/songinfo-picture.txp";
    ASSERT_EQ(WriteLoop(file, loop), "");
    TLoop back;
    ASSERT_TRUE(ReadLoop(file, back).Ok());
    EXPECT_EQ(back.Title, "Pictured");

    TSetInfoForm again;
    again.Load(SongInfoOf(back));
    EXPECT_EQ(again.InfoEdit->toPlainText(), QString::fromUtf8("Look: \xEF\xBF\xBC done"));
    const std::vector<QImage> pics = Pictures(*again.InfoEdit->document());
    ASSERT_EQ(pics.size(), 1u);
    EXPECT_EQ(pics[0].size(), picture.size());
    EXPECT_EQ(pics[0].convertToFormat(QImage::Format_RGB32), picture) << "every pixel of the picture";
    // Reopened and closed untouched, the note is the very bytes that were read.
    EXPECT_EQ(again.Result().InfoRich, back.InfoRich);
}

TEST(SetInfoForm, PastedRtfKeepsItsFormats) {
    TSetInfoForm form;
    form.Load({});
    QMimeData pasted;
    pasted.setData("text/rtf", "{\\rtf1 plain {\\b bold}\\par second}");
    EXPECT_TRUE(form.InfoEdit->canInsertFromMimeData(&pasted));
    form.InfoEdit->insertFromMimeData(&pasted);
    EXPECT_EQ(form.InfoEdit->toPlainText(), "plain bold\nsecond");
    const TRichDocument doc = ReadRtf(form.Result().InfoRich);
    ASSERT_EQ(doc.Paragraphs.size(), 2u);
    bool boldSeen = false;
    for (const TRichPiece& p : doc.Paragraphs[0].Pieces) boldSeen |= p.Text == "bold" && p.Format.Bold;
    EXPECT_TRUE(boldSeen);
}

TEST(SetInfoForm, TabReachesEveryControlAndEachHasAName) {
    TSetInfoForm form;
    form.Load({});
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    form.activateWindow();
    form.TitleEdit->setFocus();
    std::vector<QWidget*> order{form.TitleEdit};
    for (int i = 0; i < 5; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        order.push_back(QApplication::focusWidget());
    }
    const std::vector<QWidget*> want{form.TitleEdit,   form.InfoEdit,           form.URLEdit,
                                     form.ShowInfoBox, form.TransparentButton1, form.TitleEdit};
    EXPECT_EQ(order, want);
    for (QWidget* w : want) {
        QAccessibleInterface* a = QAccessible::queryAccessibleInterface(w);
        ASSERT_NE(a, nullptr);
        EXPECT_FALSE(a->text(QAccessible::Name).isEmpty()) << w->objectName().toStdString();
    }
    EXPECT_EQ(form.size(), QSize(407, 343));
    QString topic;
    form.HelpRequested = [&topic](const QString& t) { topic = t; };
    QTest::keyClick(form.URLEdit, Qt::Key_F1);
    EXPECT_EQ(topic, "loop-info");
}

TEST(SetInfoForm, Screenshot) {
    TSetInfoForm form;
    form.Load({"Night Drive", RichNote, "", "https://example.org/night-drive", true});
    form.InfoEdit->moveCursor(QTextCursor::End);
    form.InfoEdit->InsertPicture(Checker(48, 24));
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    txtest::SaveScreenshot(form, "loop-info");
}

// --- the display window

struct Shown : ::testing::Test {
    QWidget main;
    TInfoForm* info = new TInfoForm(&main);
    std::vector<QUrl> opened;
    void SetUp() override {
        info->OpenUrl = [this](const QUrl& u) { opened.push_back(u); };
        main.resize(300, 200);
        main.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&main));
    }
};

TEST_F(Shown, AnEmptyUrlShowsNoUrlLabel) {
    info->ShowInfo({"Title only", RichNote, "", "", true});
    ASSERT_TRUE(info->isVisible());
    EXPECT_FALSE(info->URLEdit->isVisible());
    EXPECT_EQ(info->NewCaption->text(), "Title only");
    EXPECT_EQ(info->InfoEdit->toPlainText(), "Kick on one");
    EXPECT_EQ(info->size(), QSize(387 + 4, 240 + 4)) << "the client area and a two-pixel frame";
    info->ShowInfo({"With address", "", "plain note", "http://example.org", true});
    EXPECT_TRUE(info->URLEdit->isVisible());
    EXPECT_EQ(info->URLEdit->text(), "http://example.org");
    EXPECT_EQ(info->InfoEdit->toPlainText(), "plain note");
    EXPECT_EQ(QApplication::focusWidget() == info->InfoEdit || QApplication::focusWidget() == info->URLEdit ||
                  QApplication::focusWidget() == info->OkBtn,
              false)
        << "no control has the focus";
}

struct ClickCase {
    const char* url;
    const char* opened;  // "" when nothing may be opened
};

class UrlClicks : public Shown, public ::testing::WithParamInterface<ClickCase> {};

TEST_P(UrlClicks, OnlyWebAddressesReachTheBrowser) {
    info->ShowInfo({"T", "", "", GetParam().url, true});
    QTest::mouseClick(info->URLEdit, Qt::LeftButton);
    if (*GetParam().opened) {
        ASSERT_EQ(opened.size(), 1u);
        EXPECT_EQ(opened[0].toString(), GetParam().opened);
        EXPECT_TRUE(opened[0].scheme() == "http" || opened[0].scheme() == "https");
    } else {
        EXPECT_TRUE(opened.empty()) << opened.front().toString().toStdString();
    }
    EXPECT_TRUE(info->isVisible()) << "the label opens; it does not close the window";
}

INSTANTIATE_TEST_SUITE_P(Addresses, UrlClicks,
                         ::testing::Values(ClickCase{"https://example.org/a", "https://example.org/a"},
                                           ClickCase{"www.example.org", "http://www.example.org"},
                                           ClickCase{"file:///bin/sh", ""}, ClickCase{"x-scheme-handler:run", ""},
                                           ClickCase{"javascript:alert(1)", ""}, ClickCase{"/usr/bin/xterm", ""}));

TEST_F(Shown, ClicksOnTheBandTheTitleTheWindowOrOkCloseIt) {
    const TSongInfo song{"Close me", RichNote, "", "http://a.org", true};
    info->ShowInfo(song);
    QTest::mouseClick(info->NewCaption, Qt::LeftButton);
    EXPECT_FALSE(info->isVisible()) << "the title";
    info->ShowInfo(song);
    QTest::mouseClick(info->CaptionBack, Qt::LeftButton, {}, QPoint(info->CaptionBack->width() - 3, 8));
    EXPECT_FALSE(info->isVisible()) << "the band";
    info->ShowInfo(song);
    QTest::mouseClick(info, Qt::LeftButton, {}, QPoint(info->width() / 2, info->height() - 6));
    EXPECT_FALSE(info->isVisible()) << "the window";
    info->ShowInfo(song);
    QTest::mousePress(info, Qt::LeftButton, {}, QPoint(0, 100));
    EXPECT_FALSE(info->isVisible()) << "a press on the frame";
    info->ShowInfo(song);
    QTest::mouseClick(info->OkBtn, Qt::LeftButton);
    EXPECT_FALSE(info->isVisible()) << "OK";
    info->ShowInfo(song);
    QTest::mouseClick(info->InfoEdit->viewport(), Qt::LeftButton);
    EXPECT_TRUE(info->isVisible()) << "the note can be read and selected";
    QTest::keyClick(info, Qt::Key_Escape);
    EXPECT_FALSE(info->isVisible());
}

TEST_F(Shown, TheMainWindowsLaterActivationHidesIt) {
    info->ShowInfo({"T", "", "", "", true});
    // A window manager activates it a moment later; offscreen, at once.
    ASSERT_TRUE(QTest::qWaitFor([this] { return info->HasBeenActive(); }, 3000)) << "shown, it takes the activation";
    EXPECT_TRUE(info->isVisible());
    main.activateWindow();
    EXPECT_TRUE(QTest::qWaitFor([this] { return !info->isVisible(); }, 3000)) << "back in the main window, it goes";

    // An activation of the main window that arrives before this one was
    // ever active (the end of a closing dialog's focus change) leaves it.
    TInfoForm late(&main);
    late.show();  // up, but not yet activated by the window manager
    ASSERT_FALSE(late.HasBeenActive());
    QEvent activate(QEvent::WindowActivate);
    QApplication::sendEvent(&main, &activate);
    EXPECT_TRUE(late.isVisible());
}

TEST_F(Shown, KeysAndNamesForAScreenReader) {
    info->ShowInfo({"Night Drive", RichNote, "", "https://example.org", true});
    EXPECT_EQ(info->windowTitle(), "Night Drive");
    for (QWidget* w : {static_cast<QWidget*>(info->InfoEdit), static_cast<QWidget*>(info->URLEdit),
                       static_cast<QWidget*>(info->OkBtn)}) {
        QAccessibleInterface* a = QAccessible::queryAccessibleInterface(w);
        ASSERT_NE(a, nullptr);
        EXPECT_FALSE(a->text(QAccessible::Name).isEmpty()) << w->objectName().toStdString();
        EXPECT_TRUE(w->focusPolicy() & Qt::TabFocus) << w->objectName().toStdString();
    }
    QString topic;
    info->HelpRequested = [&topic](const QString& t) { topic = t; };
    QTest::keyClick(info, Qt::Key_F1);
    EXPECT_EQ(topic, "info-window");
    // Space on the focused URL opens it, as a click does.
    info->URLEdit->setFocus();
    QTest::keyClick(info->URLEdit, Qt::Key_Space);
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0].toString(), "https://example.org");
}

TEST_F(Shown, Screenshot) {
    TSetInfoForm edit;
    edit.Load({"Night Drive", RichNote, "", "", true});
    edit.InfoEdit->moveCursor(QTextCursor::End);
    edit.InfoEdit->InsertPicture(Checker(48, 24));
    info->ShowInfo({"Night Drive", edit.Result().InfoRich, "", "https://example.org/night-drive", true});
    ASSERT_TRUE(QTest::qWaitForWindowExposed(info));
    txtest::SaveScreenshot(*info, "info-window");
}

}  // namespace
}  // namespace tx
