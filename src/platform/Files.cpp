#include "platform/Files.h"

#include "platform/Handles.h"

#include <vector>

namespace platform {

namespace {

bool HasWildcard(const std::string& path)
{
    // '*' and '?' are below every trail byte of a double-byte character, so
    // a byte scan cannot mistake one.
    return path.find_first_of("*?") != std::string::npos;
}

std::string ModuleFileName()
{
    std::vector<char> buffer(MAX_PATH);
    for (;;) {
        const DWORD length = GetModuleFileNameA(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0)
            return {};
        if (length < buffer.size())
            return std::string(buffer.data(), length);
        buffer.resize(buffer.size() * 2);
    }
}

// Takes a file's read-only mark off and flushes it, so that what is moved
// into place is complete on disk and can itself be replaced later.
bool PrepareForReplacing(const std::string& path)
{
    const DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return false;
    const DWORD writable = attributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY);
    if (!SetFileAttributesA(path.c_str(), writable ? writable : FILE_ATTRIBUTE_NORMAL))
        return false;
    UniqueFile file(CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                                nullptr));
    return file && FlushFileBuffers(file.get());
}

bool IsReadOnlyFile(const std::string& path)
{
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY);
}

}  // namespace

bool FileExists(const std::string& path)
{
    if (path.empty() || HasWildcard(path))
        return false;
    WIN32_FIND_DATAA found;
    UniqueFind find(FindFirstFileA(path.c_str(), &found));
    return find && !(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool DirectoryExists(const std::string& path)
{
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::string ExtractFilePath(const std::string& path)
{
    size_t end = 0;
    for (size_t i = 0; i < path.size(); ++i) {
        const char c = path[i];
        if (IsDBCSLeadByteEx(CP_ACP, static_cast<BYTE>(c)) && i + 1 < path.size())
            ++i;
        else if (c == '\\' || c == ':')
            end = i + 1;
    }
    return path.substr(0, end);
}

std::string ApplicationFolder() { return ExtractFilePath(ModuleFileName()); }

bool ReplaceWithCopy(const std::string& source, const std::string& destination)
{
    // Windows refuses to replace a read-only file; Wine running as root does
    // not, so the check is made here for every system alike.
    if (IsReadOnlyFile(destination))
        return false;

    const std::string folder = ExtractFilePath(destination);
    char temporary[MAX_PATH];
    if (!GetTempFileNameA(folder.empty() ? "." : folder.c_str(), "upd", 0, temporary))
        return false;

    const bool replaced = CopyFileA(source.c_str(), temporary, FALSE) && PrepareForReplacing(temporary) &&
                          MoveFileExA(temporary, destination.c_str(),
                                      MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
    if (!replaced) {
        SetFileAttributesA(temporary, FILE_ATTRIBUTE_NORMAL);
        DeleteFileA(temporary);
    }
    return replaced;
}

}  // namespace platform
