// The one place where Shift-JIS texts become what the window API takes.
#pragma once

#include <string>
#include <string_view>

namespace platform {

std::wstring WideFromShiftJis(std::string_view text);

}  // namespace platform
