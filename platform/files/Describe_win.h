#pragma once
// The system's text for a Win32 error code, in the system's language, as UTF-8:
// what every room tells a technician of a refusal by Windows.

#include <windows.h>

#include <string>

namespace platform {

std::string Describe(DWORD error);

}  // namespace platform
