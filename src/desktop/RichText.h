#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tx {

// The rich text a loop's note and the program's "InfoTxt.rtf" carry, read
// from and written to RTF without any widget: paragraphs of runs (bold,
// italic, underline, size, font, colour) and PNG or JPEG pictures. Anything
// else in the stream (style sheets, document info, objects' native data) is
// skipped; an object's picture result is kept.

struct TRichFormat {
    bool Bold = false, Italic = false, Underline = false;
    int HalfPoints = 24;  // \fs: font size in half points
    int Font = 0;         // index into TRichDocument::Fonts, -1 for none
    int Colour = 0;       // index into Colours; 0 is the automatic colour
    bool operator==(const TRichFormat&) const = default;
};

struct TRichPicture {
    enum TKind { Png, Jpeg } Kind = Png;
    std::string Data;                     // the picture file's bytes
    int WidthTwips = 0, HeightTwips = 0;  // the shown size, 0 when unset
    bool operator==(const TRichPicture&) const = default;
};

// A run of text (UTF-8) in one format, or one picture when IsPicture.
struct TRichPiece {
    bool IsPicture = false;
    std::string Text;
    TRichFormat Format;
    TRichPicture Picture;
    bool operator==(const TRichPiece&) const = default;
};

struct TRichParagraph {
    std::vector<TRichPiece> Pieces;
    bool operator==(const TRichParagraph&) const = default;
};

struct TRichDocument {
    std::vector<std::string> Fonts;  // font names, by \f index order of the table
    std::vector<uint32_t> Colours;   // 0xRRGGBB; entry 0 stands for the automatic colour
    std::vector<TRichParagraph> Paragraphs;
    bool operator==(const TRichDocument&) const = default;

    std::string PlainText() const;  // paragraphs joined by '\n', pictures left out
};

// Reads an RTF stream. Never fails on malformed input: unbalanced groups,
// unknown words, cut-off data and absurd numbers are read as far as they
// make sense. Depth and sizes are bounded, so any input costs linear time.
TRichDocument ReadRtf(std::string_view rtf);

// Writes a document as RTF that ReadRtf reads back to the same document.
std::string WriteRtf(const TRichDocument& doc);

}  // namespace tx
