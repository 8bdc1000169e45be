#pragma once
#include <string>
#include <string_view>

namespace tx {

// The main window's caption for a loop: its title, or its file name without
// folder while the title is empty.
std::string SongCaption(const std::string& title, const std::string& loopFileName);

// The address a loop's URL is opened at in the web browser, or "" when it
// must not be opened. Only http and https leave the program: a loop file
// comes from anyone, and a "file:" or custom-scheme address would have the
// desktop run a local program. An address without a scheme whose first part
// names a host ("www.example.com/x") is taken as http. Spaces around it are
// dropped; one holding control characters or spaces, or without a host, is
// refused.
std::string BrowsableUrl(std::string_view url);

}  // namespace tx
