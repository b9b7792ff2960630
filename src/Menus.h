// Keyboard accelerators of captions: "&Yes" is pressed with Alt+Y.
#pragma once

#include <windows.h>

#include <string>

// The accelerator letter of a caption (the one after a single "&") in
// UTF-16, or 0.
wchar_t GetHotkey(const std::string& caption);
// True when charCode (a UTF-16 character) is the caption's accelerator, letter case ignored.
bool IsAccel(WPARAM charCode, const std::string& caption);
