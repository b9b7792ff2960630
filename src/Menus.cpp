#include "Menus.h"

#include "runtime/SysUtils.h"

wchar_t GetHotkey(const std::string& caption) {
    const std::wstring text = ToWide(caption);
    for (size_t i = 0; i + 1 < text.size(); ++i) {
        if (text[i] != L'&') continue;
        if (text[i + 1] != L'&') return text[i + 1];
        ++i;  // "&&" is a plain ampersand
    }
    return 0;
}

bool IsAccel(WPARAM charCode, const std::string& caption) {
    const wchar_t hotkey = GetHotkey(caption);
    if (!hotkey) return false;
    auto upper = [](wchar_t c) {
        wchar_t text[] = {c, L'\0'};
        CharUpperBuffW(text, 1);
        return text[0];
    };
    return upper(hotkey) == upper(wchar_t(charCode & 0xFFFF));
}
