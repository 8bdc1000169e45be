#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "desktop/RichText.h"

namespace tx {
namespace {

std::string ReadFile(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    std::stringstream s;
    s << f.rdbuf();
    return s.str();
}

const std::string PngHead("\x89PNG\r\n\x1a\n", 8);

TEST(RichTextTest, ReadsTextCharactersAndSkippedGroups) {
    struct Case {
        const char* name;
        std::string rtf;
        std::string plain;
    } cases[] = {
        {"the font table is no text; \\'e9 is one letter",
         R"({\rtf1\ansi{\fonttbl{\f0\fswiss DejaVu Sans;}}\f0 Caf\'e9 au lait\par})", "Café au lait"},
        {"Windows-1252 above 0x7f", R"({\rtf1 \'80 \'93q\'94})", "€ “q”"},
        {"\\u with its fallback dropped", R"({\rtf1 a\u8364?b})", "a€b"},
        {"\\uc2 drops two fallbacks", R"({\rtf1\uc2 a\u8364\'80\'80b})", "a€b"},
        {"a negative \\u and a surrogate pair", R"({\rtf1 \u-4064?\u-10179?\u-8704?})", "\xEF\x80\xA0😀"},
        {"paragraphs and tabs", R"({\rtf1 one\par two\tab 2\line three})", "one\ntwo\t2\nthree"},
        {"escaped braces and backslash", R"({\rtf1 \{x\}\\})", "{x}\\"},
        {"starred, style and info groups are skipped",
         R"({\rtf1{\*\generator Msftedit;}{\stylesheet{\s0 Normal;}}{\info{\title T}}kept})", "kept"},
        {"line ends in the stream are not text", "{\\rtf1 a\r\nb}", "ab"},
        {"an unbalanced stream reads to its end", R"({\rtf1 {\b abc)", "abc"},
        {"stray closing braces", R"(}}}abc{)", "abc"},
        {"a cut-off \\' is dropped", R"({\rtf1 x\'z)", "xz"},
        {"a word of absurd length", "{\\rtf1 \\" + std::string(5000, 'a') + "12345678901234567890 x}", "x"},
    };
    for (const Case& c : cases) EXPECT_EQ(ReadRtf(c.rtf).PlainText(), c.plain) << c.name;
}

TEST(RichTextTest, ReadsFormatsFontsColoursAndPictures) {
    const TRichDocument doc =
        ReadRtf(R"({\rtf1\ansi\deff1{\fonttbl{\f1\fswiss DejaVu Sans;}{\f2\fmodern Mono;}})"
                R"({\colortbl ;\red255\green0\blue0;\red0\green128\blue255;})"
                R"(\fs20 plain {\b bold}{\i\cf2 it}\ul u\ulnone {\f2\fs40 big}\cf9 x\par)"
                R"({\*\shppict{\pict\pngblip\picw2\pich2\picwgoal300\pichgoal150 89504e470d0a1a0a}})"
                R"({\nonshppict{\pict\wmetafile8 0102}}{\pict\jpegblip ffd8ffe0}{\pict\dibitmap0 0102}\par})");
    EXPECT_EQ(doc.Fonts, (std::vector<std::string>{"DejaVu Sans", "Mono"}));
    EXPECT_EQ(doc.Colours, (std::vector<uint32_t>{0, 0xFF0000, 0x0080FF}));
    ASSERT_EQ(doc.Paragraphs.size(), 2u);
    const auto& p = doc.Paragraphs[0].Pieces;
    ASSERT_EQ(p.size(), 6u);
    struct Want {
        const char* text;
        bool b, i, u;
        int size, font, colour;
    } want[] = {{"plain ", 0, 0, 0, 20, 0, 0}, {"bold", 1, 0, 0, 20, 0, 0}, {"it", 0, 1, 0, 20, 0, 2},
                {"u", 0, 0, 1, 20, 0, 0},      {"big", 0, 0, 0, 40, 1, 0},  {"x", 0, 0, 0, 20, 0, 0}};
    for (size_t k = 0; k < 6; ++k) {
        EXPECT_EQ(p[k].Text, want[k].text);
        const TRichFormat& f = p[k].Format;
        EXPECT_EQ(f.Bold, want[k].b) << k;
        EXPECT_EQ(f.Italic, want[k].i) << k;
        EXPECT_EQ(f.Underline, want[k].u) << k;
        EXPECT_EQ(f.HalfPoints, want[k].size) << k;
        EXPECT_EQ(f.Font, want[k].font) << k;
        EXPECT_EQ(f.Colour, want[k].colour) << k << " (an unknown \\cf is the automatic colour)";
    }
    const auto& q = doc.Paragraphs[1].Pieces;
    ASSERT_EQ(q.size(), 2u) << "the PNG and the JPEG; metafiles and bitmaps are not kept";
    EXPECT_EQ(q[0].Picture.Kind, TRichPicture::Png);
    EXPECT_EQ(q[0].Picture.Data, PngHead);
    EXPECT_EQ(q[0].Picture.WidthTwips, 300);
    EXPECT_EQ(q[0].Picture.HeightTwips, 150);
    EXPECT_EQ(q[1].Picture.Kind, TRichPicture::Jpeg);
    EXPECT_EQ(q[1].Picture.Data, std::string("\xff\xd8\xff\xe0", 4));
}

TEST(RichTextTest, WrittenDocumentsReadBackTheSame) {
    auto text = [](std::string t, TRichFormat f = {}) {
        TRichPiece p;
        p.Text = std::move(t);
        p.Format = f;
        return p;
    };
    auto picture = [](TRichPicture::TKind kind, std::string data, int w, int h) {
        TRichPiece p;
        p.IsPicture = true;
        p.Picture = {kind, std::move(data), w, h};
        return p;
    };
    TRichFormat bold;
    bold.Bold = true;
    bold.HalfPoints = 32;
    bold.Colour = 2;
    TRichFormat noFont;
    noFont.Font = -1;
    noFont.Italic = noFont.Underline = true;
    struct Case {
        const char* name;
        TRichDocument doc;
    } cases[] = {
        {"empty", {}},
        {"text, formats, a font and colours",
         {{"DejaVu Sans", "Mono {1}"},
          {0, 0x102030, 0xFFFFFF},
          {{{text("Hello "), text("world", bold)}}, {{text("é€😀\t{\\}")}}}}},
        {"empty paragraphs kept, also the last", {{"A"}, {}, {{}, {{text("x")}}, {}}}},
        {"text with no font beside text with one", {{"A"}, {}, {{{text("a", noFont), text("b")}}}}},
        {"no tables at all", {{}, {}, {{{text("line\nbreak", noFont)}}}}},
        {"a PNG and a JPEG between words",
         {{"A"},
          {},
          {{{text("see "), picture(TRichPicture::Png, PngHead + std::string("\0\x01\xff", 3), 600, 300),
             picture(TRichPicture::Jpeg, "\xff\xd8", 0, 0), text(" here")}}}}},
    };
    for (const Case& c : cases) {
        const std::string rtf = WriteRtf(c.doc);
        EXPECT_EQ(ReadRtf(rtf), c.doc) << c.name << "\n" << rtf;
        EXPECT_EQ(WriteRtf(ReadRtf(rtf)), rtf) << c.name;
    }
}

// A note as a rich-text editor writes it, with a pasted picture: what the
// program writes for it is kept as a reviewed golden file.
TEST(RichTextTest, GoldenNoteReadsAndWritesAsReviewed) {
    const std::string dir = std::string(TROVAMIX_TEST_DATA) + "/rtf/";
    const TRichDocument doc = ReadRtf(ReadFile(dir + "note.rtf"));
    EXPECT_EQ(doc.PlainText(), ReadFile(dir + "note.txt"));
    EXPECT_EQ(WriteRtf(doc), ReadFile(dir + "note.written.rtf"));
    EXPECT_EQ(ReadRtf(WriteRtf(doc)), doc);
}

TEST(RichTextTest, ProgramInfoFileShowsItsTextAndNotItsTables) {
    const TRichDocument doc = ReadRtf(ReadFile(std::string(TROVAMIX_SOURCE_DIR) + "/data/InfoTxt.rtf"));
    const std::string plain = doc.PlainText();
    EXPECT_EQ(plain.rfind("Trovamix\n", 0), 0u) << plain.substr(0, 40);
    EXPECT_EQ(plain.find("DejaVu"), std::string::npos);
    EXPECT_NE(plain.find("without a window."), std::string::npos);
    ASSERT_FALSE(doc.Paragraphs.empty());
    EXPECT_TRUE(doc.Paragraphs[0].Pieces[0].Format.Bold);
    EXPECT_EQ(doc.Paragraphs[0].Pieces[0].Format.HalfPoints, 32);
}

TEST(RichTextTest, DeepNestingAndLongDataCostLinearTime) {
    std::string deep = "{\\rtf1 " + std::string(200000, '{') + "\\b x" + std::string(200000, '}') + " y}";
    const TRichDocument d = ReadRtf(deep);
    EXPECT_EQ(d.PlainText(), "x y");
    EXPECT_EQ(ReadRtf("{\\pict\\pngblip\\bin999999999 ab}").Paragraphs.size(), 1u) << "\\bin is held to the stream";
}

}  // namespace
}  // namespace tx
