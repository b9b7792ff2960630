// Keyboard accelerators of captions: "&Yes" is pressed with Alt+Y.
#pragma once

#include <windows.h>

#include <string>

// The accelerator letter of a caption (the one after a single "&"), or 0.
char GetHotkey(const std::string& caption);
// True when charCode is the caption's accelerator (letter case ignored).
bool IsAccel(WPARAM charCode, const std::string& caption);
