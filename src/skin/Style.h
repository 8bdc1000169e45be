#pragma once
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "skin/Bitmap.h"
#include "skin/EmbeddedStyle.h"
#include "skin/Strip.h"
#include "skin/StyleConfig.h"
#include "skin/StyleFiles.h"

namespace tx {

// Where each file of a style is looked for, in this order: the chosen style's
// folder, the Default folder beside the program, the copy built into the
// program. Empty folders and an unset lookup are skipped.
struct TStyleSources {
    std::string StyleFolder;    // with a trailing '/'
    std::string DefaultFolder;  // ProgramFolder + "Styles/Default/"
    std::function<const TEmbeddedFile*(std::string_view)> Embedded;
};

// The Default style's folder beside the program (`programFolder` ends in '/').
inline std::string DefaultStyleFolder(const std::string& programFolder) { return programFolder + "Styles/Default/"; }

enum class TStyleOrigin { Style, DefaultFolder, Embedded, Missing };
const char* OriginText(TStyleOrigin origin);

struct TStyleItem {
    const TStyleFileEntry* Entry = nullptr;
    TStyleOrigin Origin = TStyleOrigin::Missing;
    std::string Path;                       // the file used; empty when embedded or missing
    int SourceWidth = 0, SourceHeight = 0;  // of the whole bitmap
    TBitmap Picture;                        // pictures and glyphs
    TStrip Strip;                           // strips
    std::vector<unsigned char> Data;        // "config.txt" and the start sound, as stored
};

struct TPixelSize {
    int Width = 0, Height = 0;  // 0 when the file is missing: the design size stays
};

// The sizes the style's pictures and strips set on the main window.
struct TStyleSizes {
    int MainClientWidth = 0;  // "MenuBack.bmp"'s width
    TPixelSize MenuPic, BottomPic, MainMenuPic, CaptionBar;
    int LeftSideWidth = 0, RightSideWidth = 0;
    TPixelSize PatPad, MenuBar;  // one frame each
};

// A file-level note: a file that could not be used and where it came from instead.
struct TStyleNote {
    std::string File;
    int Line = 0;  // 0 for the whole file
    std::string What;
};

// Everything a style gives the widgets, as plain data.
struct TStyleData {
    std::vector<TStyleItem> Items;  // one per file, in loading order
    bool HasConfig = false;
    TStyleConfig Config;
    TStyleSizes Sizes;
    std::vector<TStyleNote> Notes;
    const TStyleItem* Item(std::string_view fileName) const;  // matched without case
};

// Loads every file of the table in order, each with its fallback. A file that
// is there but cannot be decoded counts as missing. Never throws for bad data.
TStyleData LoadStyleData(const TStyleSources& sources);

// The path of `name` in the style folder if it is there, else in the Default
// folder, else empty. Names match without case, as on the style's home system.
std::string StyleFile(const TStyleSources& sources, std::string_view name);

// `folder` + the entry whose name matches `name` without case, or empty.
std::string FindFileNoCase(const std::string& folder, std::string_view name);

}  // namespace tx
