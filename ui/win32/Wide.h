#pragma once

#include "platform/windows/WinText.h"

namespace voldrane::win32 {

// The program's texts are UTF-8; Win32's wide calls take UTF-16. One converter for the whole
// program: the OS layer's.
using platform::windows_os::Narrow;
using platform::windows_os::Widen;

}  // namespace voldrane::win32
