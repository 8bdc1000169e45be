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

// A built-in resource by name ("SKnob", "WAVE", "Icon48", ...), without case.
// Resources are PNG files, except where DefaultLayout.h says otherwise.
const TEmbeddedFile* FindEmbeddedResource(std::string_view name);

}  // namespace tx
