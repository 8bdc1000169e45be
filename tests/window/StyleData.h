#pragma once

// A style as the loader would give it, built in memory, for the style tests.
#include <string>

#include "skin/Style.h"

namespace tx::test {

// Every file of the table from coloured test strips and pictures (the colour
// tells which file and which frame), and `config` as "config.txt".
TStyleData MakeStyleData(const std::string& config, int frameScale = 1);

}  // namespace tx::test
