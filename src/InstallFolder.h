// Where the product is installed, and whether it really is there. Uses no
// window, so it can be run on its own.
#pragma once

#include <string>

namespace update {

// The folder named by the product's App Paths entry, else the default
// folder if it exists, else the empty string. Used exactly as found.
// A "Path" value of a type other than a string raises the registry
// helper's error.
std::string FindInstallPath();

// True when the folder is not empty and holds a file (not a folder) named
// like the product's executable.
bool IsProductInstalled(const std::string& installPath);

}  // namespace update
