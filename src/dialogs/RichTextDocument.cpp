#include "dialogs/RichTextDocument.h"

#include <QBuffer>
#include <QFile>
#include <QImage>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFragment>
#include <QUrl>
#include <QVariant>
#include <algorithm>
#include <cmath>

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

TRichDocument ReadTextDocument(const QTextDocument& source) {
    TRichDocument doc;
    doc.Colours.push_back(0);  // the automatic colour
    auto fontIndex = [&doc](const QString& family) {
        const std::string name = family.toStdString();
        auto it = std::find(doc.Fonts.begin(), doc.Fonts.end(), name);
        if (it != doc.Fonts.end()) return int(it - doc.Fonts.begin());
        doc.Fonts.push_back(name);
        return int(doc.Fonts.size() - 1);
    };
    auto colourIndex = [&doc](const QColor& c) {
        const uint32_t rgb = uint32_t(c.red()) << 16 | uint32_t(c.green()) << 8 | uint32_t(c.blue());
        auto it = std::find(doc.Colours.begin() + 1, doc.Colours.end(), rgb);
        if (it != doc.Colours.end()) return int(it - doc.Colours.begin());
        doc.Colours.push_back(rgb);
        return int(doc.Colours.size() - 1);
    };
    for (QTextBlock block = source.begin(); block.isValid(); block = block.next()) {
        TRichParagraph paragraph;
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            const QTextCharFormat c = fragment.charFormat();
            if (c.isImageFormat()) {
                const QTextImageFormat f = c.toImageFormat();
                const QVariant res = source.resource(QTextDocument::ImageResource, QUrl(f.name()));
                QImage image = res.value<QImage>();
                if (image.isNull() && res.canConvert<QPixmap>()) image = res.value<QPixmap>().toImage();
                if (image.isNull() && res.typeId() == QMetaType::QByteArray)
                    image = QImage::fromData(res.toByteArray());
                if (image.isNull()) continue;
                TRichPiece piece;
                piece.IsPicture = true;
                QByteArray bytes;
                QBuffer buffer(&bytes);
                buffer.open(QIODevice::WriteOnly);
                image.save(&buffer, "PNG");
                piece.Picture.Kind = TRichPicture::Png;
                piece.Picture.Data = bytes.toStdString();
                const double w = f.width() > 0 ? f.width() : image.width();
                const double h = f.height() > 0 ? f.height() : image.height();
                piece.Picture.WidthTwips = int(std::lround(w * TwipsPerPixel));
                piece.Picture.HeightTwips = int(std::lround(h * TwipsPerPixel));
                // One object character per picture in the fragment.
                for (int k = 0; k < fragment.length(); ++k) paragraph.Pieces.push_back(piece);
                continue;
            }
            TRichPiece piece;
            piece.Text = fragment.text().toStdString();
            TRichFormat& f = piece.Format;
            f.Bold = c.fontWeight() >= QFont::DemiBold;
            f.Italic = c.fontItalic();
            f.Underline = c.fontUnderline();
            const double points = c.fontPointSize() > 0 ? c.fontPointSize() : source.defaultFont().pointSizeF();
            f.HalfPoints = std::clamp(int(std::lround(points * 2)), 2, 3276);
            const QStringList families = c.fontFamilies().toStringList();
            f.Font = families.isEmpty() ? -1 : fontIndex(families.front());
            f.Colour = c.hasProperty(QTextFormat::ForegroundBrush) ? colourIndex(c.foreground().color()) : 0;
            auto& pieces = paragraph.Pieces;
            if (!pieces.empty() && !pieces.back().IsPicture && pieces.back().Format == f)
                pieces.back().Text += piece.Text;  // the reader merges runs of one format too
            else if (!piece.Text.empty())
                pieces.push_back(std::move(piece));
        }
        doc.Paragraphs.push_back(std::move(paragraph));
    }
    // An empty edit is an empty note.
    if (doc.Paragraphs.size() == 1 && doc.Paragraphs[0].Pieces.empty()) doc.Paragraphs.clear();
    if (doc.Colours.size() == 1) doc.Colours.clear();
    return doc;
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
