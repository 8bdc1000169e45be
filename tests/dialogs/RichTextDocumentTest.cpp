#include <gtest/gtest.h>

#include <QBuffer>
#include <QImage>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFragment>

#include "EditorsTestSupport.h"
#include "TestSupport.h"
#include "dialogs/RichTextDocument.h"

namespace tx {
namespace {

std::string PngBytes(int w, int h, QColor c) {
    QImage img(w, h, QImage::Format_ARGB32);
    img.fill(c);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    img.save(&buffer, "PNG");
    return bytes.toStdString();
}

TEST(RichTextDocumentTest, FormatsAndPicturesReachTheTextDocument) {
    const std::string png = PngBytes(8, 4, Qt::red);
    std::string hex;
    for (unsigned char c : png) hex += QString::asprintf("%02x", c).toStdString();
    const TRichDocument doc =
        ReadRtf(R"({\rtf1{\fonttbl{\f0 DejaVu Sans;}}{\colortbl ;\red200\green100\blue0;}\f0\fs32\b Title\par)"
                R"(\b0\fs20 Caf\'e9 {\i it} {\ul u} {\cf1 c}{\pict\pngblip\picwgoal240\pichgoal120 )" +
                hex + R"(}{\pict\jpegblip 0001}\par})");
    QTextDocument text;
    FillTextDocument(text, doc);
    ASSERT_EQ(text.blockCount(), 2);
    EXPECT_EQ(text.toPlainText(), QString::fromUtf8("Title\nCafé it u c\xEF\xBF\xBC"))
        << "one object character for the PNG; the damaged JPEG is left out";
    const QTextCharFormat title = text.begin().begin().fragment().charFormat();
    EXPECT_EQ(title.fontWeight(), QFont::Bold);
    EXPECT_EQ(title.fontPointSize(), 16.0);
    EXPECT_EQ(title.fontFamilies().toStringList(), QStringList{"DejaVu Sans"});
    struct Want {
        QString text;
        bool italic, underline;
        QColor colour;
    } wants[] = {{"it", true, false, {}}, {"u", false, true, {}}, {"c", false, false, QColor(200, 100, 0)}};
    int found = 0;
    QTextImageFormat image;
    for (auto it = text.begin().next().begin(); !it.atEnd(); ++it) {
        const QTextFragment f = it.fragment();
        if (f.charFormat().isImageFormat()) image = f.charFormat().toImageFormat();
        for (const Want& w : wants) {
            if (f.text() != w.text) continue;
            ++found;
            EXPECT_EQ(f.charFormat().fontItalic(), w.italic) << w.text.toStdString();
            EXPECT_EQ(f.charFormat().fontUnderline(), w.underline) << w.text.toStdString();
            if (w.colour.isValid()) EXPECT_EQ(f.charFormat().foreground().color(), w.colour);
        }
    }
    EXPECT_EQ(found, 3);
    ASSERT_TRUE(image.isValid());
    EXPECT_EQ(image.width(), 16.0) << "240 twips";
    EXPECT_EQ(image.height(), 8.0);
    const QImage shown = text.resource(QTextDocument::ImageResource, QUrl(image.name())).value<QImage>();
    EXPECT_EQ(shown.size(), QSize(8, 4));
    EXPECT_EQ(shown.pixelColor(0, 0), QColor(Qt::red));
}

TEST(RichTextDocumentTest, ProductsInfoFileShowsItsTextNotItsMarkup) {
    QTextBrowser view;
    ASSERT_TRUE(LoadRtfFile(*view.document(), QStringLiteral(TROVAMIX_SOURCE_DIR) + "/data/InfoTxt.rtf"));
    const QString plain = view.document()->toPlainText();
    EXPECT_TRUE(plain.startsWith("Trovamix\n")) << plain.left(40).toStdString();
    EXPECT_FALSE(plain.contains("DejaVu"));
    EXPECT_TRUE(plain.contains("renders, plays and inspects loops without a window."));
    view.resize(420, 320);
    txtest::SaveScreenshot(view, "products-info");

    txtest::TempDir dir;
    QTextDocument missing;
    EXPECT_FALSE(LoadRtfFile(missing, QString::fromStdString((dir / "InfoTxt.rtf").string())));
    EXPECT_TRUE(missing.isEmpty());
}

}  // namespace
}  // namespace tx

namespace tx {
namespace {

// What a note editor holds, a pasted picture included, goes through the
// writer and the reader and comes back as the same document.
TEST(RichTextDocumentTest, EditedNoteWithAPastedPictureSurvivesWritingAndReading) {
    QTextDocument edit;
    QTextCursor cursor(&edit);
    QTextCharFormat bold;
    bold.setFontWeight(QFont::Bold);
    bold.setFontPointSize(14);
    bold.setForeground(QColor(230, 150, 40));
    cursor.insertText("Night Drive", bold);
    cursor.insertBlock();
    cursor.insertText(QString::fromUtf8("café – "), QTextCharFormat());
    QImage pasted(6, 3, QImage::Format_RGB32);
    pasted.fill(QColor(20, 200, 120));
    edit.addResource(QTextDocument::ImageResource, QUrl("pasted:1"), pasted);  // as a paste leaves it
    cursor.insertImage("pasted:1");
    cursor.insertBlock();

    const TRichDocument first = ReadTextDocument(edit);
    const std::string rtf = WriteRtf(first);
    QTextDocument reopened;
    FillTextDocument(reopened, ReadRtf(rtf));
    EXPECT_EQ(reopened.toPlainText(), edit.toPlainText());
    const TRichDocument second = ReadTextDocument(reopened);
    EXPECT_EQ(second, first) << rtf;
    ASSERT_EQ(second.Paragraphs.size(), 3u);
    ASSERT_EQ(second.Paragraphs[1].Pieces.size(), 2u);
    const TRichPiece& picture = second.Paragraphs[1].Pieces[1];
    ASSERT_TRUE(picture.IsPicture);
    const QImage back = QImage::fromData(QByteArray::fromStdString(picture.Picture.Data), "PNG");
    EXPECT_EQ(back.size(), QSize(6, 3));
    EXPECT_EQ(back.pixelColor(5, 2), QColor(20, 200, 120));
    EXPECT_TRUE(second.Paragraphs[0].Pieces[0].Format.Bold);
    EXPECT_EQ(second.Paragraphs[0].Pieces[0].Format.HalfPoints, 28);
    EXPECT_TRUE(ReadTextDocument(QTextDocument()).Paragraphs.empty()) << "an empty edit is an empty note";
}

}  // namespace
}  // namespace tx
