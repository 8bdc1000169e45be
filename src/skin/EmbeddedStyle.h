#pragma once

#include <cstddef>
#include <string_view>

namespace tx {

// One file compiled into the program: the Default style, so a bitmap missing
// from both the chosen style and the Default folder still has a look, and the
// built-in resources (fallback knobs and spinner arrows, cursors, icons).
struct TEmbeddedFile {
    std::string_view Name;
    const unsigned char* Data;
    size_t Size;
};

// A file of the Default style ("MenuBack.bmp", "config.txt", ...), the name
// matched without case; nullptr when there is none of that name.
const TEmbeddedFile* FindEmbeddedStyleFile(std::string_view name);

// A built-in resource by name, without case; each is a PNG with alpha:
// "SKnob" (2 frames of 20x9) and "SKnobH" (2 of 9x16), the fallback slider
// knobs; "ZavoUpDown" (2 frames of 8x5: up and down arrow) for the fallback
// spinner; the cursors "WAVE" and "LINE" (32x32, hot spot at 1, 1); the program
// icon "Icon18", "Icon48", "Icon128", "Icon256"; the favourites icons "FavAdd"
// and "FavFolder" (16x16); "SetKnob", the channel settings knob (32 frames of
// 28x28, for a knob with its one-pixel border).
const TEmbeddedFile* FindEmbeddedResource(std::string_view name);

}  // namespace tx
