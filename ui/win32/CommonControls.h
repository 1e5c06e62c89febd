#pragma once

#include <windows.h>

#include <commctrl.h>

namespace voldrane::win32 {

// The common controls library (version 6, as the manifest asks) is loaded when the first
// dialog opens, not at start: a program that mostly idles in the notification area does not
// carry it. Each dialog calls this before it is created; false when the library is missing.
bool LoadCommonControls();

// The image list functions of that library (LoadCommonControls first).
HIMAGELIST CreateImageList(int cx, int cy, UINT flags, int initial, int grow);
void AddIconToImageList(HIMAGELIST list, HICON icon);
void DestroyImageList(HIMAGELIST list);

}  // namespace voldrane::win32
