#include "platform/Registry.h"

#include "platform/Exceptions.h"

#include <cstring>
#include <vector>

namespace platform {

namespace {

// '%s' のデータ型が不正です
constexpr char kInvalidDataType[] = "'%s' \x82\xcc\x83" "f\x81[\x83^\x8c^\x82\xaa\x95s\x90\xb3\x82\xc5\x82\xb7";
// '%s' の取得に失敗しました
constexpr char kReadFailed[] = "'%s' \x82\xcc\x8e\xe6\x93\xbe\x82\xc9\x8e\xb8\x94s\x82\xb5\x82\xdc\x82\xb5\x82\xbd";

std::string FormatMessageText(const char* format, const std::string& name)
{
    std::string text = format;
    text.replace(text.find("%s"), 2, name);
    return text;
}

HKEY RootHandle(RegistryRoot root) noexcept
{
    switch (root) {
    case RegistryRoot::LocalMachine:
        break;
    }
    return HKEY_LOCAL_MACHINE;
}

std::string ExpandEnvironment(const std::string& text)
{
    const DWORD size = ExpandEnvironmentStringsA(text.c_str(), nullptr, 0);
    if (size == 0)
        return text;
    std::vector<char> expanded(size + 1);
    if (ExpandEnvironmentStringsA(text.c_str(), expanded.data(), size + 1) == 0)
        return text;
    return expanded.data();
}

}  // namespace

TRegistry::TRegistry(RegistryRoot root) noexcept : root_(RootHandle(root)) {}

bool TRegistry::OpenKeyReadOnly(const std::string& subKey)
{
    CloseKey();
    return RegOpenKeyExA(root_, subKey.c_str(), 0, KEY_READ, key_.put()) == ERROR_SUCCESS;
}

std::string TRegistry::ReadString(const std::string& name) const
{
    DWORD type = REG_NONE;
    DWORD size = 0;
    if (RegQueryValueExA(key_.get(), name.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS || size == 0)
        return {};
    if (type != REG_SZ && type != REG_EXPAND_SZ)
        throw ERegistryException(FormatMessageText(kInvalidDataType, name));

    // One byte more than asked for: a value stored without its terminating
    // NUL still ends up terminated.
    std::vector<char> data(size + 1, '\0');
    DWORD readSize = size;
    if (RegQueryValueExA(key_.get(), name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(data.data()),
                         &readSize) != ERROR_SUCCESS)
        throw ERegistryException(FormatMessageText(kReadFailed, name));

    std::string text(data.data(), strnlen(data.data(), readSize));
    return type == REG_EXPAND_SZ ? ExpandEnvironment(text) : text;
}

void TRegistry::CloseKey() noexcept { key_.reset(); }

}  // namespace platform
