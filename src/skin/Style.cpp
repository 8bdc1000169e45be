#include "skin/Style.h"

#include <filesystem>
#include <fstream>

#include "skin/BmpReader.h"
#include "model/TextCase.h"

namespace tx {

namespace fs = std::filesystem;

namespace {

// "config.txt" and the start sound are small; anything bigger is not a style file.
constexpr std::streamoff MaxStyleDataFile = 16 << 20;

bool readSmallFile(const std::string& path, std::streamoff limit, std::vector<unsigned char>& out) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    in.seekg(0, std::ios::end);
    const std::streamoff size = in.tellg();
    if (size < 0 || size > limit) return false;
    in.seekg(0);
    out.resize(size_t(size));
    return bool(in.read(reinterpret_cast<char*>(out.data()), size));
}

// Turns the raw bytes of one candidate into the item; false when unusable.
bool useBytes(TStyleItem& item, const unsigned char* data, size_t size, std::string& why) {
    switch (item.Entry->Kind) {
        case TStyleFileKind::Config:
        case TStyleFileKind::Sound:
            item.Data.assign(data, data + size);
            return true;
        default:
            break;
    }
    TBitmap bmp = DecodeBmp(data, size, &why);
    if (bmp.Width == 0) return false;
    item.SourceWidth = bmp.Width;
    item.SourceHeight = bmp.Height;
    if (item.Entry->Kind == TStyleFileKind::Strip) {
        item.Strip = LoadStrip(bmp, item.Entry->Strip);
        if (item.Strip.Empty()) {
            why = "narrower than its frames";
            return false;
        }
    } else {
        item.Picture = std::move(bmp);
    }
    return true;
}

bool tryFile(TStyleItem& item, const std::string& path, std::string& why) {
    const bool bitmap = item.Entry->Kind != TStyleFileKind::Config && item.Entry->Kind != TStyleFileKind::Sound;
    std::vector<unsigned char> bytes;
    if (!readSmallFile(path, bitmap ? MaxBitmapPixels * 4 + 65536 : MaxStyleDataFile, bytes)) {
        why = "cannot be read, or too large";
        return false;
    }
    return useBytes(item, bytes.data(), bytes.size(), why);
}

TPixelSize sizeOf(const TStyleItem* item) {
    if (!item || item->Origin == TStyleOrigin::Missing) return {};
    if (!item->Strip.Empty()) return {item->Strip.FrameWidth, item->Strip.FrameHeight};
    return {item->Picture.Width, item->Picture.Height};
}

}  // namespace

const char* OriginText(TStyleOrigin origin) {
    switch (origin) {
        case TStyleOrigin::Style:
            return "style";
        case TStyleOrigin::DefaultFolder:
            return "Default style";
        case TStyleOrigin::Embedded:
            return "built-in Default style";
        case TStyleOrigin::Missing:
            break;
    }
    return "missing";
}

std::string FindFileNoCase(const std::string& folder, std::string_view name) {
    if (folder.empty() || name.empty()) return {};
    std::error_code ec;
    const fs::path exact = fs::path(folder) / std::string(name);
    if (fs::is_regular_file(exact, ec)) return exact.string();
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        if (EqualNoCase(it->path().filename().string(), name) && it->is_regular_file(ec)) return it->path().string();
    }
    return {};
}

std::string StyleFile(const TStyleSources& sources, std::string_view name) {
    std::string path = FindFileNoCase(sources.StyleFolder, name);
    return path.empty() ? FindFileNoCase(sources.DefaultFolder, name) : path;
}

const TStyleItem* TStyleData::Item(std::string_view fileName) const {
    for (const TStyleItem& item : Items)
        if (EqualNoCase(item.Entry->Name, fileName)) return &item;
    return nullptr;
}

TStyleData LoadStyleData(const TStyleSources& sources) {
    TStyleData style;
    style.Items.reserve(StyleFileTable().size());
    for (const TStyleFileEntry& entry : StyleFileTable()) {
        TStyleItem item;
        item.Entry = &entry;
        const std::string name(entry.Name);
        const std::pair<const std::string*, TStyleOrigin> folders[] = {
            {&sources.StyleFolder, TStyleOrigin::Style}, {&sources.DefaultFolder, TStyleOrigin::DefaultFolder}};
        for (const auto& [folder, origin] : folders) {
            const std::string path = FindFileNoCase(*folder, name);
            if (path.empty()) continue;
            std::string why;
            TStyleItem attempt = item;
            if (tryFile(attempt, path, why)) {
                item = std::move(attempt);
                item.Origin = origin;
                item.Path = path;
                break;
            }
            style.Notes.push_back({name, 0,
                                   std::string(origin == TStyleOrigin::Style ? "" : "Default style's copy: ") +
                                       "unusable (" + why + "); treated as missing"});
        }
        if (item.Origin == TStyleOrigin::Missing && sources.Embedded) {
            if (const TEmbeddedFile* f = sources.Embedded(name); f && f->Data) {
                std::string why;
                TStyleItem attempt = item;
                if (useBytes(attempt, f->Data, f->Size, why)) {
                    item = std::move(attempt);
                    item.Origin = TStyleOrigin::Embedded;
                }
            }
        }
        style.Items.push_back(std::move(item));
    }

    if (const TStyleItem* cfg = style.Item("config.txt"); cfg && cfg->Origin != TStyleOrigin::Missing) {
        style.HasConfig = true;
        style.Config =
            ParseStyleConfig(std::string_view(reinterpret_cast<const char*>(cfg->Data.data()), cfg->Data.size()));
    }

    TStyleSizes& s = style.Sizes;
    s.MenuPic = sizeOf(style.Item("MenuBack.bmp"));
    s.MainClientWidth = s.MenuPic.Width;
    s.BottomPic = sizeOf(style.Item("BottomLine.bmp"));
    s.MainMenuPic = sizeOf(style.Item("MenuLine.bmp"));
    s.CaptionBar = sizeOf(style.Item("TitleBar.bmp"));
    s.LeftSideWidth = sizeOf(style.Item("LeftSide.bmp")).Width;
    s.RightSideWidth = sizeOf(style.Item("RightSide.bmp")).Width;
    s.PatPad = sizeOf(style.Item("PatPad.bmp"));
    s.MenuBar = sizeOf(style.Item("MenuItems.bmp"));
    return style;
}

}  // namespace tx
