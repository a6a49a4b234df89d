// A registry helper that lives for one lookup: it opens one key at a time
// for reading and closes it when asked or when it is freed.
#pragma once

#include "platform/Handles.h"

#include <string>

namespace platform {

enum class RegistryRoot { LocalMachine };

class TRegistry {
public:
    explicit TRegistry(RegistryRoot root) noexcept;

    // Opens subKey below the root without creating it. Read access is all a
    // lookup needs, and it is what a user without write rights still has.
    // A missing key or a refused access is a plain false.
    bool OpenKeyReadOnly(const std::string& subKey);

    // The string value of the open key. A missing value, or one that holds
    // no data, is the empty string whatever its type. REG_EXPAND_SZ has its
    // environment references expanded, as Windows does for that type.
    // Raises ERegistryException for a value of another type or a failed read.
    std::string ReadString(const std::string& name) const;

    void CloseKey() noexcept;

private:
    HKEY root_;
    UniqueRegKey key_;
};

}  // namespace platform
