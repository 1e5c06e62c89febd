#pragma once

#include <windows.h>

namespace voldrane::win32 {

// The about box (dialog template 100), modal. A second call while it is open brings the open
// one to the front instead.
void ShowAboutBox(HINSTANCE resources);

}  // namespace voldrane::win32
