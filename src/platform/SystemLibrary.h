// DLLs are taken from the system folder only: an elevated program that
// loaded a DLL planted beside it would run that DLL elevated.
#pragma once

#include <windows.h>

namespace platform {

// Makes System32 the only folder that later loads search.
void RestrictDllSearchToSystemFolder() noexcept;

// Loads a DLL from System32; null when it is not there.
HMODULE LoadSystemLibrary(const wchar_t* name) noexcept;

// A function of a DLL, typed; null when it is missing.
template <typename Function>
Function SystemFunction(HMODULE module, const char* name) noexcept
{
    return module ? reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name))) : nullptr;
}

}  // namespace platform
