#include "Menus.h"

char GetHotkey(const std::string& caption) {
    for (size_t i = 0; i + 1 < caption.size(); ++i) {
        if (caption[i] != '&') continue;
        if (caption[i + 1] != '&') return caption[i + 1];
        ++i;  // "&&" is a plain ampersand
    }
    return 0;
}

bool IsAccel(WPARAM charCode, const std::string& caption) {
    char hotkey = GetHotkey(caption);
    if (!hotkey) return false;
    auto upper = [](unsigned char c) {
        return static_cast<unsigned char>(reinterpret_cast<UINT_PTR>(CharUpperA(reinterpret_cast<LPSTR>(UINT_PTR(c)))));
    };
    return upper(static_cast<unsigned char>(hotkey)) == upper(static_cast<unsigned char>(charCode & 0xFF));
}

