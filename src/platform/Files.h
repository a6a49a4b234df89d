// File helpers over the ANSI entry points; paths are in the system's ANSI
// code page (Shift-JIS on the systems this program is written for).
#pragma once

#include <string>

namespace platform {

// True when a directory search finds an entry of that name that is not a
// folder.
bool FileExists(const std::string& path);

// True when the path's attributes can be read and mark a folder.
bool DirectoryExists(const std::string& path);

// The path up to and including its last "\" or ":", or the empty string.
// A 0x5C byte that trails a double-byte character is not a separator.
std::string ExtractFilePath(const std::string& path);

// The folder of the running executable, ending with its separator.
std::string ApplicationFolder();

// Replaces destination with a copy of source, so that it ends either with
// the new bytes or with its old ones: the copy goes to a temporary file in
// the destination's folder, is flushed, and then takes the destination's
// place in one step. Creates no folder; a read-only destination is refused.
bool ReplaceWithCopy(const std::string& source, const std::string& destination);

}  // namespace platform
