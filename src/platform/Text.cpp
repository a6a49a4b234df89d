#include "platform/Text.h"

#include <windows.h>

namespace platform {

namespace {
constexpr UINT kShiftJisCodePage = 932;
}

// Converted explicitly from code page 932, so that the texts show correctly
// whatever the system's ANSI code page is.
std::wstring WideFromShiftJis(std::string_view text)
{
    if (text.empty())
        return {};
    const int length = MultiByteToWideChar(kShiftJisCodePage, 0, text.data(), static_cast<int>(text.size()),
                                           nullptr, 0);
    std::wstring wide(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(kShiftJisCodePage, 0, text.data(), static_cast<int>(text.size()), wide.data(), length);
    return wide;
}

}  // namespace platform
