#pragma once
#include <string>
#include <vector>

#include "skin/Style.h"

namespace tx {

// What the style checker says about one style folder: problems as
// "file:line: what" ("file: what" for a whole file), and which files the
// folder lacks and takes from elsewhere.
struct TStyleReport {
    std::vector<std::string> Problems;
    std::vector<std::string> Fallbacks;
};

// Checks the style in `sources.StyleFolder` as the program would load it.
// Opaque pictures and strips whose bottom-left colour is a key colour
// (magenta #FF00FF or green #00FF00) covering at least 1/20 of the bitmap
// are reported: that looks like a mask the program will never apply. Masked
// strips and button glyphs are left out.
TStyleReport CheckStyle(const TStyleSources& sources);

}  // namespace tx
