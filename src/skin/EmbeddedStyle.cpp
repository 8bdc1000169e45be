#include "skin/EmbeddedStyle.h"

#include <algorithm>

#include "model/TextCase.h"

namespace tx {

// The tables themselves are generated at build time from the Default style's
// files (tools/MakeDefaultStyle.cpp); only the look-up lives here.
extern const TEmbeddedFile EmbeddedStyleFiles[];
extern const size_t EmbeddedStyleFileCount;
extern const TEmbeddedFile EmbeddedResources[];
extern const size_t EmbeddedResourceCount;

namespace {

const TEmbeddedFile* find(const TEmbeddedFile* files, size_t count, std::string_view name) {
    for (size_t i = 0; i < count; ++i)
        if (EqualNoCase(files[i].Name, name)) return &files[i];
    return nullptr;
}

}  // namespace

const TEmbeddedFile* FindEmbeddedStyleFile(std::string_view name) {
    return find(EmbeddedStyleFiles, EmbeddedStyleFileCount, name);
}

const TEmbeddedFile* FindEmbeddedResource(std::string_view name) {
    return find(EmbeddedResources, EmbeddedResourceCount, name);
}

}  // namespace tx
