#include "desktop/RichText.h"

#include <algorithm>
#include <cstring>
#include <map>

namespace tx {

namespace {

// Windows-1252 code points for bytes 0x80..0x9F (the rest is Latin-1).
constexpr char16_t Cp1252High[32] = {0x20AC, 0x81,   0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                     0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x8D,   0x017D, 0x8F,
                                     0x90,   0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                     0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x9D,   0x017E, 0x0178};

void AppendUtf8(std::string& out, uint32_t cp) {
    if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) cp = 0xFFFD;
    if (cp < 0x80) {
        out += char(cp);
    } else if (cp < 0x800) {
        out += char(0xC0 | (cp >> 6));
        out += char(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += char(0xE0 | (cp >> 12));
        out += char(0x80 | ((cp >> 6) & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    } else {
        out += char(0xF0 | (cp >> 18));
        out += char(0x80 | ((cp >> 12) & 0x3F));
        out += char(0x80 | ((cp >> 6) & 0x3F));
        out += char(0x80 | (cp & 0x3F));
    }
}

// Decodes one code point at s[i], advancing i; invalid bytes give U+FFFD.
uint32_t NextUtf8(std::string_view s, size_t& i) {
    const auto b = uint8_t(s[i++]);
    if (b < 0x80) return b;
    int extra = b >= 0xF0 && b < 0xF5 ? 3 : b >= 0xE0 ? 2 : b >= 0xC2 && b < 0xE0 ? 1 : -1;
    if (extra < 0) return 0xFFFD;
    uint32_t cp = b & (0x3F >> extra);
    for (int k = 0; k < extra; ++k) {
        if (i >= s.size() || (uint8_t(s[i]) & 0xC0) != 0x80) return 0xFFFD;
        cp = cp << 6 | (uint8_t(s[i++]) & 0x3F);
    }
    const uint32_t least[] = {0, 0x80, 0x800, 0x10000};
    if (cp < least[extra] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0xFFFD;
    return cp;
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool IsLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

constexpr size_t MaxDepth = 512;

enum class TDest { Text, Skip, FontTable, ColourTable, Picture };

struct TState {
    TDest Dest = TDest::Text;
    TRichFormat Format;
    int Uc = 1;
};

class TReader {
public:
    explicit TReader(std::string_view in) : in_(in) {}

    TRichDocument Run() {
        states_.push_back(TState{});
        states_.back().Format.Font = -1;
        while (pos_ < in_.size()) {
            const char c = in_[pos_++];
            if (c == '{') {
                Open();
            } else if (c == '}') {
                Close();
            } else if (c == '\\') {
                Control();
            } else if (c == '\r' || c == '\n') {
                // line ends in the stream are not text
            } else {
                Char(uint8_t(c));
            }
        }
        while (states_.size() > 1) Close();  // a stream cut short: groups close at its end
        if (!paragraph_.Pieces.empty()) doc_.Paragraphs.push_back(std::move(paragraph_));
        return std::move(doc_);
    }

private:
    TState& Top() { return states_.back(); }

    void Open() {
        skipChars_ = 0;
        if (states_.size() >= MaxDepth) {
            ++overflow_;  // deeper groups share the state of the deepest one
            return;
        }
        states_.push_back(Top());
        firstWord_ = true;
    }

    void Close() {
        skipChars_ = 0;
        firstWord_ = false;
        if (overflow_ > 0) {
            --overflow_;
            return;
        }
        if (states_.size() <= 1) return;  // a stray brace
        const TDest closing = Top().Dest;
        if (closing == TDest::Picture) EndPicture();
        if (closing == TDest::FontTable && states_[states_.size() - 2].Dest != TDest::FontTable) EndFontTable();
        if (closing == TDest::FontTable) EndFontEntry();
        states_.pop_back();
    }

    long long Number(bool& has) {
        bool negative = false;
        if (pos_ < in_.size() && in_[pos_] == '-') {
            negative = true;
            ++pos_;
        }
        long long v = 0;
        has = false;
        int digits = 0;
        while (pos_ < in_.size() && in_[pos_] >= '0' && in_[pos_] <= '9') {
            if (digits++ < 10) v = v * 10 + (in_[pos_] - '0');
            ++pos_;
            has = true;
        }
        if (!has && negative) --pos_;  // a lone '-' is text
        return negative ? -v : v;
    }

    void Control() {
        if (pos_ >= in_.size()) return;
        const char c = in_[pos_];
        if (!IsLetter(c)) {
            ++pos_;
            if (c == '*') {
                star_ = true;  // the group's first word still comes
                return;
            }
            firstWord_ = false;
            switch (c) {
                case '\'': {
                    const int hi = pos_ < in_.size() ? HexValue(in_[pos_]) : -1;
                    const int lo = pos_ + 1 < in_.size() ? HexValue(in_[pos_ + 1]) : -1;
                    if (hi < 0 || lo < 0) return;
                    pos_ += 2;
                    const int b = hi * 16 + lo;
                    if (Top().Dest == TDest::Picture) return;
                    CodePoint(b >= 0x80 && b < 0xA0 ? Cp1252High[b - 0x80] : uint32_t(b));
                    return;
                }
                case '~':
                    CodePoint(0xA0);
                    return;
                case '_':
                    CodePoint(0x2011);
                    return;
                case '\\':
                case '{':
                case '}':
                    Char(uint8_t(c));
                    return;
                case '\r':
                case '\n':
                    Paragraph();  // "\" at a line end is a paragraph mark
                    return;
                default:
                    return;  // \- and other symbols: nothing shown
            }
        }
        const size_t start = pos_;
        while (pos_ < in_.size() && IsLetter(in_[pos_])) ++pos_;
        const std::string_view word = in_.substr(start, std::min<size_t>(pos_ - start, 32));
        bool has = false;
        const long long n = Number(has);
        if (pos_ < in_.size() && in_[pos_] == ' ') ++pos_;
        Word(word, has, has ? int(std::clamp(n, -2147483647LL, 2147483647LL)) : 0);
    }

    void Word(std::string_view w, bool has, int n) {
        const bool first = firstWord_;
        const bool starred = star_;
        firstWord_ = false;
        star_ = false;
        TState& s = Top();
        if (s.Dest == TDest::Skip) return;
        if (w == "bin") {
            // Raw bytes follow; they belong to a picture or are skipped.
            const size_t count = std::min<size_t>(has && n > 0 ? size_t(n) : 0, in_.size() - pos_);
            if (s.Dest == TDest::Picture) picture_.Data.append(in_.substr(pos_, count));
            pos_ += count;
            return;
        }
        if (first) {
            if (w == "fonttbl") {
                s.Dest = TDest::FontTable;
                return;
            }
            if (w == "colortbl") {
                s.Dest = TDest::ColourTable;
                colourStarted_ = false;
                return;
            }
            if (w == "pict") {
                s.Dest = TDest::Picture;
                picture_ = {};
                pictureKind_ = -1;
                hexHigh_ = -1;
                return;
            }
            if (starred && w == "shppict") return;  // the picture inside is read
            if (starred || w == "stylesheet" || w == "info" || w == "header" || w == "footer" || w == "headerl" ||
                w == "headerr" || w == "headerf" || w == "footerl" || w == "footerr" || w == "footerf" ||
                w == "footnote" || w == "nonshppict" || w == "pntext" || w == "pn") {
                s.Dest = TDest::Skip;
                return;
            }
        }
        if (skipChars_ > 0) --skipChars_;
        switch (s.Dest) {
            case TDest::FontTable:
                if (w == "f" && has) {
                    fontNumber_ = n;
                    return;
                }
                break;  // characters of a name (\tab, \u) still count
            case TDest::ColourTable:
                if (w == "red") colour_ = (colour_ & 0x00FFFF) | uint32_t(std::clamp(n, 0, 255)) << 16;
                if (w == "green") colour_ = (colour_ & 0xFF00FF) | uint32_t(std::clamp(n, 0, 255)) << 8;
                if (w == "blue") colour_ = (colour_ & 0xFFFF00) | uint32_t(std::clamp(n, 0, 255));
                colourStarted_ = true;
                return;
            case TDest::Picture:
                if (w == "pngblip") pictureKind_ = TRichPicture::Png;
                if (w == "jpegblip") pictureKind_ = TRichPicture::Jpeg;
                if (w == "picwgoal") picture_.WidthTwips = std::clamp(n, 0, 1 << 24);
                if (w == "pichgoal") picture_.HeightTwips = std::clamp(n, 0, 1 << 24);
                return;
            default:
                break;
        }
        TRichFormat& f = s.Format;
        if (w == "par" || w == "line") {
            Paragraph();
        } else if (w == "tab") {
            CodePoint('\t');
        } else if (w == "b") {
            f.Bold = !has || n != 0;
        } else if (w == "i") {
            f.Italic = !has || n != 0;
        } else if (w == "ul") {
            f.Underline = !has || n != 0;
        } else if (w == "ulnone") {
            f.Underline = false;
        } else if (w == "fs" && has) {
            f.HalfPoints = std::clamp(n, 2, 3276);
        } else if (w == "f" && has) {
            f.Font = FontIndex(n);
        } else if (w == "cf" && has) {
            f.Colour = n >= 0 && size_t(n) < doc_.Colours.size() ? n : 0;
        } else if (w == "plain") {
            f = TRichFormat{};
            f.Font = FontIndex(deff_);
        } else if (w == "deff" && has) {
            deff_ = n;
        } else if (w == "uc" && has) {
            s.Uc = std::clamp(n, 0, 16);
        } else if (w == "u" && has) {
            uint32_t cp = uint32_t(n < 0 ? n + 65536 : n) & 0xFFFF;
            Unicode(cp);
            skipChars_ = s.Uc;
        } else if (w == "emdash") {
            CodePoint(0x2014);
        } else if (w == "endash") {
            CodePoint(0x2013);
        } else if (w == "bullet") {
            CodePoint(0x2022);
        } else if (w == "lquote") {
            CodePoint(0x2018);
        } else if (w == "rquote") {
            CodePoint(0x2019);
        } else if (w == "ldblquote") {
            CodePoint(0x201C);
        } else if (w == "rdblquote") {
            CodePoint(0x201D);
        }
    }

    int FontIndex(int number) const {
        auto it = fontIndex_.find(number);
        return it == fontIndex_.end() ? -1 : it->second;
    }

    void Unicode(uint32_t unit) {
        if (unit >= 0xD800 && unit <= 0xDBFF) {
            if (highSurrogate_) CodePoint(0xFFFD);
            highSurrogate_ = unit;
            return;
        }
        if (unit >= 0xDC00 && unit <= 0xDFFF) {
            if (!highSurrogate_) {
                CodePoint(0xFFFD);
                return;
            }
            const uint32_t cp = 0x10000 + ((highSurrogate_ - 0xD800) << 10) + (unit - 0xDC00);
            highSurrogate_ = 0;
            Emit(cp);
            return;
        }
        CodePoint(unit);
    }

    void Char(uint8_t c) {
        firstWord_ = false;
        TState& s = Top();
        if (s.Dest == TDest::Picture) {
            const int v = HexValue(char(c));
            if (v < 0) return;
            if (hexHigh_ < 0) {
                hexHigh_ = v;
            } else {
                picture_.Data += char(hexHigh_ * 16 + v);
                hexHigh_ = -1;
            }
            return;
        }
        if (s.Dest == TDest::ColourTable) {
            if (c == ';') {
                doc_.Colours.push_back(colourStarted_ ? colour_ : 0);
                colour_ = 0;
                colourStarted_ = false;
            }
            return;
        }
        if (c >= 0x80) {
            CodePoint(c >= 0xA0 ? c : Cp1252High[c - 0x80]);  // raw 8-bit text is the ANSI code page too
            return;
        }
        CodePoint(c);
    }

    // A character of the stream (the \uN fallback characters are dropped here).
    void CodePoint(uint32_t cp) {
        if (skipChars_ > 0) {
            --skipChars_;
            return;
        }
        if (highSurrogate_) {
            highSurrogate_ = 0;
            Emit(0xFFFD);
        }
        Emit(cp);
    }

    void Emit(uint32_t cp) {
        TState& s = Top();
        if (s.Dest == TDest::Skip || s.Dest == TDest::ColourTable || s.Dest == TDest::Picture) return;
        if (s.Dest == TDest::FontTable) {
            if (cp == ';')
                EndFontEntry();
            else
                AppendUtf8(fontName_, cp);
            return;
        }
        if (cp < 0x20 && cp != '\t' && cp != '\n') return;  // stray control characters are not text
        auto& pieces = paragraph_.Pieces;
        if (pieces.empty() || pieces.back().IsPicture || !(pieces.back().Format == s.Format)) {
            pieces.push_back({});
            pieces.back().Format = s.Format;
        }
        AppendUtf8(pieces.back().Text, cp);
    }

    void Paragraph() {
        if (Top().Dest != TDest::Text) return;
        doc_.Paragraphs.push_back(std::move(paragraph_));
        paragraph_ = {};
    }

    void EndFontEntry() {
        if (fontNumber_ >= 0 || !fontName_.empty()) {
            // Trailing spaces are layout of the table, not the name.
            while (!fontName_.empty() && fontName_.back() == ' ') fontName_.pop_back();
            if (fontNumber_ >= 0 && !fontIndex_.count(fontNumber_)) {
                fontIndex_[fontNumber_] = int(doc_.Fonts.size());
                doc_.Fonts.push_back(fontName_);
            }
        }
        fontNumber_ = -1;
        fontName_.clear();
    }

    void EndFontTable() {
        EndFontEntry();
        // Text outside any \f takes the default font once the table names it.
        const int index = FontIndex(deff_);
        for (TState& s : states_)
            if (s.Format.Font < 0) s.Format.Font = index;
    }

    void EndPicture() {
        if (pictureKind_ < 0 || picture_.Data.empty()) return;  // only PNG and JPEG pictures are kept
        picture_.Kind = TRichPicture::TKind(pictureKind_);
        TRichPiece piece;
        piece.IsPicture = true;
        // A picture has no character format: it reads back the same wherever it stood.
        piece.Picture = std::move(picture_);
        picture_ = {};
        // A picture inside a skipped or table group is not part of the text.
        for (size_t k = 0; k + 1 < states_.size(); ++k)
            if (states_[k].Dest != TDest::Text) return;
        paragraph_.Pieces.push_back(std::move(piece));
    }

    std::string_view in_;
    size_t pos_ = 0;
    std::vector<TState> states_;
    size_t overflow_ = 0;
    bool firstWord_ = false, star_ = false;
    int skipChars_ = 0;
    uint32_t highSurrogate_ = 0;
    TRichDocument doc_;
    TRichParagraph paragraph_;
    int deff_ = 0;
    std::map<int, int> fontIndex_;
    int fontNumber_ = -1;
    std::string fontName_;
    uint32_t colour_ = 0;
    bool colourStarted_ = false;
    TRichPicture picture_;
    int pictureKind_ = -1;
    int hexHigh_ = -1;
};

void WriteText(std::string& out, std::string_view text) {
    for (size_t i = 0; i < text.size();) {
        const uint32_t cp = NextUtf8(text, i);
        if (cp == '\\' || cp == '{' || cp == '}') {
            out += '\\';
            out += char(cp);
        } else if (cp == '\t') {
            out += "\\tab ";
        } else if (cp < 0x20) {
            static const char hex[] = "0123456789abcdef";
            out += "\\'";
            out += hex[cp >> 4];
            out += hex[cp & 15];
        } else if (cp < 0x80) {
            out += char(cp);
        } else if (cp < 0x10000) {
            out += "\\u" + std::to_string(cp < 0x8000 ? int(cp) : int(cp) - 65536) + "?";
        } else {
            const uint32_t v = cp - 0x10000;
            const int hi = int(0xD800 + (v >> 10)), lo = int(0xDC00 + (v & 0x3FF));
            out += "\\u" + std::to_string(hi - 65536) + "?\\u" + std::to_string(lo - 65536) + "?";
        }
    }
}

}  // namespace

std::string TRichDocument::PlainText() const {
    std::string out;
    for (size_t p = 0; p < Paragraphs.size(); ++p) {
        if (p) out += '\n';
        for (const TRichPiece& piece : Paragraphs[p].Pieces)
            if (!piece.IsPicture) out += piece.Text;
    }
    return out;
}

TRichDocument ReadRtf(std::string_view rtf) { return TReader(rtf).Run(); }

std::string WriteRtf(const TRichDocument& doc) {
    bool anyWithoutFont = false;
    for (const TRichParagraph& p : doc.Paragraphs)
        for (const TRichPiece& piece : p.Pieces) anyWithoutFont |= piece.Format.Font < 0;
    // Text without a font must read back without one: the default then names no font of the table.
    const size_t deff = anyWithoutFont ? doc.Fonts.size() : 0;
    std::string out = "{\\rtf1\\ansi\\ansicpg1252\\deff" + std::to_string(deff) + "\\uc1";
    if (!doc.Fonts.empty()) {
        out += "{\\fonttbl";
        for (size_t i = 0; i < doc.Fonts.size(); ++i) {
            out += "{\\f" + std::to_string(i) + "\\fnil ";
            std::string name;
            for (char c : doc.Fonts[i])
                if (c != ';') name += c;
            WriteText(out, name);
            out += ";}";
        }
        out += "}";
    }
    if (!doc.Colours.empty()) {
        out += "\r\n{\\colortbl ";
        for (size_t i = 0; i < doc.Colours.size(); ++i) {
            const uint32_t c = doc.Colours[i];
            if (!(i == 0 && c == 0))
                out += "\\red" + std::to_string(c >> 16 & 0xFF) + "\\green" + std::to_string(c >> 8 & 0xFF) + "\\blue" +
                       std::to_string(c & 0xFF);
            out += ';';
        }
        out += "}";
    }
    out += "\r\n";
    static const char hex[] = "0123456789abcdef";
    for (const TRichParagraph& p : doc.Paragraphs) {
        for (const TRichPiece& piece : p.Pieces) {
            if (piece.IsPicture) {
                const TRichPicture& pic = piece.Picture;
                out += "{\\pict";
                out += pic.Kind == TRichPicture::Jpeg ? "\\jpegblip" : "\\pngblip";
                if (pic.WidthTwips > 0) out += "\\picwgoal" + std::to_string(pic.WidthTwips);
                if (pic.HeightTwips > 0) out += "\\pichgoal" + std::to_string(pic.HeightTwips);
                for (size_t i = 0; i < pic.Data.size(); ++i) {
                    if (i % 64 == 0) out += "\r\n";
                    out += hex[uint8_t(pic.Data[i]) >> 4];
                    out += hex[uint8_t(pic.Data[i]) & 15];
                }
                out += "}";
                continue;
            }
            if (piece.Text.empty()) continue;
            const TRichFormat& f = piece.Format;
            out += "{";
            if (f.Font >= 0 && size_t(f.Font) < doc.Fonts.size()) out += "\\f" + std::to_string(f.Font);
            out += "\\fs" + std::to_string(f.HalfPoints);
            if (f.Colour > 0 && size_t(f.Colour) < doc.Colours.size()) out += "\\cf" + std::to_string(f.Colour);
            if (f.Bold) out += "\\b";
            if (f.Italic) out += "\\i";
            if (f.Underline) out += "\\ul";
            out += ' ';
            WriteText(out, piece.Text);
            out += "}";
        }
        out += "\\par\r\n";
    }
    out += "}";
    return out;
}

}  // namespace tx
