#include "ui/win32/CommonControls.h"

namespace voldrane::win32 {

namespace {

struct Library {
    HMODULE module = nullptr;
    decltype(&::InitCommonControlsEx) init = nullptr;
    decltype(&::ImageList_Create) create = nullptr;
    decltype(&::ImageList_ReplaceIcon) replaceIcon = nullptr;
    decltype(&::ImageList_Destroy) destroy = nullptr;
};

Library g_library;

template <typename F>
void Find(F& function, const char* name) {
    function = reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(g_library.module, name)));
}

}  // namespace

bool LoadCommonControls() {
    if (g_library.init) return true;
    // The process's activation context (the manifest) makes this version 6.
    g_library.module = LoadLibraryW(L"comctl32.dll");
    if (!g_library.module) return false;
    Find(g_library.init, "InitCommonControlsEx");
    Find(g_library.create, "ImageList_Create");
    Find(g_library.replaceIcon, "ImageList_ReplaceIcon");
    Find(g_library.destroy, "ImageList_Destroy");
    if (!g_library.init || !g_library.create || !g_library.replaceIcon || !g_library.destroy) {
        g_library.init = nullptr;
        return false;
    }
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_WIN95_CLASSES | ICC_INTERNET_CLASSES |
                                             ICC_TAB_CLASSES | ICC_LISTVIEW_CLASSES |
                                             ICC_STANDARD_CLASSES};
    g_library.init(&icc);
    return true;
}

HIMAGELIST CreateImageList(int cx, int cy, UINT flags, int initial, int grow) {
    return g_library.create ? g_library.create(cx, cy, flags, initial, grow) : nullptr;
}

void AddIconToImageList(HIMAGELIST list, HICON icon) {
    if (g_library.replaceIcon && list && icon) g_library.replaceIcon(list, -1, icon);
}

void DestroyImageList(HIMAGELIST list) {
    if (g_library.destroy && list) g_library.destroy(list);
}

}  // namespace voldrane::win32
