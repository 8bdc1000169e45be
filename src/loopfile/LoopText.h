#pragma once
#include <string>

namespace tx {

// Loop files keep texts as the bytes the writing program had: UTF-8 from this
// program, Windows-1252 from older ones. Callers that need Unicode use these;
// the model itself always keeps the bytes. Any thread may call them.

// True when the bytes are well-formed UTF-8 (no overlong forms, no surrogates,
// nothing above U+10FFFF).
bool IsValidUtf8(const std::string& bytes);
// Each byte as its Windows-1252 character, in UTF-8. The five bytes the code
// page leaves undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) become U+0081 and so on.
std::string Cp1252ToUtf8(const std::string& bytes);
// The text as UTF-8: unchanged when it already is valid UTF-8, else decoded as Windows-1252.
std::string LoopTextToUtf8(const std::string& bytes);

}  // namespace tx
