#include "skin/StyleCheck.h"

#include "skin/BmpReader.h"

namespace tx {

namespace {

std::string hexColour(uint32_t argb) {
    static const char* digits = "0123456789ABCDEF";
    std::string s = "#";
    for (int shift = 20; shift >= 0; shift -= 4) s += digits[argb >> shift & 15];
    return s;
}

// The mask rule of the checker's header: a key colour in the bottom-left
// corner that also fills a real share of the bitmap.
std::string maskOnOpaque(const std::string& path) {
    const TBitmap bmp = LoadBmpFile(path);
    if (bmp.Width == 0) return {};
    const uint32_t corner = bmp.Pixels[size_t(bmp.Height - 1) * bmp.Width] & 0xFFFFFF;
    if (corner != 0xFF00FF && corner != 0x00FF00) return {};
    size_t same = 0;
    for (uint32_t px : bmp.Pixels) same += (px & 0xFFFFFF) == corner;
    if (same * 20 < bmp.Pixels.size()) return {};
    return "bottom-left colour " + hexColour(corner) + " covers " + std::to_string(same * 100 / bmp.Pixels.size()) +
           "% of the bitmap like a mask, but this file is drawn opaque";
}

}  // namespace

TStyleReport CheckStyle(const TStyleSources& sources) {
    TStyleReport report;
    const TStyleData style = LoadStyleData(sources);
    for (const TStyleNote& note : style.Notes)
        report.Problems.push_back(note.File + (note.Line ? ":" + std::to_string(note.Line) : "") + ": " + note.What);

    for (const TStyleItem& item : style.Items) {
        const std::string name(item.Entry->Name);
        if (item.Origin != TStyleOrigin::Style) {
            std::string where = item.Origin == TStyleOrigin::Missing
                                    ? "missing everywhere"
                                    : std::string("from the ") + OriginText(item.Origin);
            if (item.Origin == TStyleOrigin::Missing && item.Entry->Kind == TStyleFileKind::Glyph)
                where += "; the built-in glyph stays";
            report.Fallbacks.push_back(name + ": " + where);
            continue;
        }
        if (item.Entry->Kind == TStyleFileKind::Strip) {
            const TStripShape& shape = item.Entry->Strip;
            if (shape.FrameWidth > 0 && item.SourceWidth % shape.FrameWidth)
                report.Problems.push_back(name + ": width " + std::to_string(item.SourceWidth) +
                                          " is not a multiple of the frame width " + std::to_string(shape.FrameWidth));
            if (shape.FrameWidth == 0 && shape.FrameCount > 0 && item.SourceWidth % shape.FrameCount)
                report.Problems.push_back(name + ": width " + std::to_string(item.SourceWidth) +
                                          " is not a multiple of its " + std::to_string(shape.FrameCount) + " frames");
        }
        if (item.Entry->DrawnOpaque && item.Entry->Kind != TStyleFileKind::Config &&
            item.Entry->Kind != TStyleFileKind::Sound) {
            if (std::string why = maskOnOpaque(item.Path); !why.empty()) report.Problems.push_back(name + ": " + why);
        }
        if (item.Entry->Kind == TStyleFileKind::Config)
            for (const TConfigProblem& p : style.Config.Problems)
                report.Problems.push_back(name + ":" + std::to_string(p.Line) + ": " + p.What);
    }
    return report;
}

}  // namespace tx
