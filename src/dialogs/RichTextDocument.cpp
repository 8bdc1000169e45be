#include "dialogs/RichTextDocument.h"

#include <QFile>
#include <QImage>
#include <QTextCursor>
#include <QTextDocument>
#include <QUrl>

namespace tx {

namespace {

constexpr double TwipsPerPixel = 15.0;  // 1440 twips an inch at 96 pixels an inch

QTextCharFormat CharFormat(const TRichDocument& doc, const TRichFormat& f) {
    QTextCharFormat c;
    c.setFontWeight(f.Bold ? QFont::Bold : QFont::Normal);
    c.setFontItalic(f.Italic);
    c.setFontUnderline(f.Underline);
    c.setFontPointSize(f.HalfPoints / 2.0);
    if (f.Font >= 0 && size_t(f.Font) < doc.Fonts.size())
        c.setFontFamilies({QString::fromStdString(doc.Fonts[size_t(f.Font)])});
    if (f.Colour > 0 && size_t(f.Colour) < doc.Colours.size()) {
        const uint32_t rgb = doc.Colours[size_t(f.Colour)];
        c.setForeground(QColor(int(rgb >> 16 & 0xFF), int(rgb >> 8 & 0xFF), int(rgb & 0xFF)));
    }
    return c;
}

}  // namespace

void FillTextDocument(QTextDocument& target, const TRichDocument& doc) {
    target.clear();
    QTextCursor cursor(&target);
    int pictures = 0;
    for (size_t p = 0; p < doc.Paragraphs.size(); ++p) {
        if (p > 0) cursor.insertBlock();
        for (const TRichPiece& piece : doc.Paragraphs[p].Pieces) {
            if (!piece.IsPicture) {
                cursor.insertText(QString::fromStdString(piece.Text), CharFormat(doc, piece.Format));
                continue;
            }
            const QByteArray bytes(piece.Picture.Data.data(), qsizetype(piece.Picture.Data.size()));
            const QImage image = QImage::fromData(bytes, piece.Picture.Kind == TRichPicture::Png ? "PNG" : "JPEG");
            if (image.isNull()) continue;  // a damaged picture is left out, the text around it stays
            const QUrl name(QStringLiteral("rtfpicture:%1").arg(++pictures));
            target.addResource(QTextDocument::ImageResource, name, image);
            QTextImageFormat f;
            f.setName(name.toString());
            f.setWidth(piece.Picture.WidthTwips > 0 ? piece.Picture.WidthTwips / TwipsPerPixel : image.width());
            f.setHeight(piece.Picture.HeightTwips > 0 ? piece.Picture.HeightTwips / TwipsPerPixel : image.height());
            cursor.insertImage(f);
        }
    }
}

bool LoadRtfFile(QTextDocument& target, const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        target.clear();
        return false;
    }
    const QByteArray bytes = file.readAll();
    FillTextDocument(target, ReadRtf(std::string_view(bytes.constData(), size_t(bytes.size()))));
    return true;
}

}  // namespace tx
