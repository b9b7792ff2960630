// Timing a program's start from outside, as its user sees it: from
// CreateProcess until its window is shown and it waits for input. Shared by
// the start-up and the file list benchmarks.
#pragma once

#include <windows.h>

#include <algorithm>
#include <numeric>
#include <stdexcept>
#include <string>
#include <vector>

#include "../tools/StartedProgram.h"
#include "Controls.h"

namespace start_timing {

constexpr DWORD kStartTimeoutMs = 30000;

// brumik's main window caption: one blank, the name, 36 blanks and the subtitle.
inline const std::string kBrumikCaption = " Brumik" + std::string(36, ' ') + "Tonograjek MP3";

// The folder this benchmark program lies in, with a trailing backslash.
inline std::string OwnFolder() {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string folder = path;
    return folder.substr(0, folder.find_last_of('\\') + 1);
}

inline double MillisecondsSince(LARGE_INTEGER start) {
    LARGE_INTEGER now, frequency;
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    return double(now.QuadPart - start.QuadPart) * 1000.0 / double(frequency.QuadPart);
}

struct WindowSearch {
    DWORD processId;
    const char* className;
    const char* caption;
    HWND found;
};

inline bool Matches(HWND window, const WindowSearch& search) {
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner != search.processId || !IsWindowVisible(window)) return false;
    char name[64] = {}, text[128] = {};
    GetClassNameA(window, name, sizeof name);
    GetWindowTextA(window, text, sizeof text);
    return (!search.className || std::string(name) == search.className) &&
           (!search.caption || std::string(text) == search.caption);
}

inline BOOL CALLBACK FindMatchingWindow(HWND window, LPARAM param) {
    try {
        auto& search = *reinterpret_cast<WindowSearch*>(param);
        if (!Matches(window, search)) return TRUE;
        search.found = window;
        return FALSE;
    } catch (...) {
        ReportException(nullptr);
        return FALSE;
    }
}

// The first visible top-level window of a process of this class and caption (either may be null: any).
inline HWND VisibleWindowOf(DWORD processId, const char* className, const char* caption) {
    WindowSearch search{processId, className, caption, nullptr};
    EnumWindows(&FindMatchingWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// Polls every millisecond until the window is there; nullptr after the timeout.
inline HWND WaitForWindow(DWORD processId, const char* className, const char* caption) {
    const DWORD start = GetTickCount();
    for (;;) {
        if (HWND window = VisibleWindowOf(processId, className, caption)) return window;
        if (GetTickCount() - start > kStartTimeoutMs) return nullptr;
        Sleep(1);
    }
}

// Milliseconds from CreateProcess until the window named caption is shown and
// the program waits for input.
inline double TimeStart(const StartedProgram& program, LARGE_INTEGER started, const char* caption, HWND& window) {
    if (WaitForInputIdle(program.Process(), kStartTimeoutMs) != 0)
        throw std::runtime_error("the program never waited for input");
    window = WaitForWindow(program.Id(), nullptr, caption);
    if (!window) throw std::runtime_error(std::string("no window \"") + caption + "\"");
    return MillisecondsSince(started);
}

// A yardstick program, started in folder and closed again.
inline double StartYardstick(const std::string& path, const char* caption, const std::string& folder) {
    LARGE_INTEGER started;
    QueryPerformanceCounter(&started);
    StartedProgram program(Quoted(path), folder);
    HWND window = nullptr;
    const double ms = TimeStart(program, started, caption, window);
    PostMessageA(window, WM_CLOSE, 0, 0);
    if (!program.WaitForExit(kStartTimeoutMs)) throw std::runtime_error(std::string(caption) + " did not end");
    return ms;
}

// Closes brumik as a user would: the close box, then "Tak" in its exit question.
inline void CloseBrumik(const StartedProgram& program, HWND window) {
    PostMessageA(window, WM_CLOSE, 0, 0);
    HWND question = WaitForWindow(program.Id(), "#32770", nullptr);
    if (!question) throw std::runtime_error("brumik asked no exit question");
    PostMessageA(GetDlgItem(question, IDYES), BM_CLICK, 0, 0);
    if (!program.WaitForExit(kStartTimeoutMs)) throw std::runtime_error("brumik did not end after Yes");
}

// brumik (at path) started without a track in folder, as from a shortcut, and closed again.
inline double StartBrumik(const std::string& path, const std::string& folder) {
    LARGE_INTEGER started;
    QueryPerformanceCounter(&started);
    StartedProgram program(Quoted(path), folder);
    HWND window = nullptr;
    const double ms = TimeStart(program, started, kBrumikCaption.c_str(), window);
    CloseBrumik(program, window);
    return ms;
}

// A folder of its own below the temporary folder, with nothing in it.
class EmptyFolder {
public:
    EmptyFolder() {
        char temp[MAX_PATH];
        if (!GetTempPathA(MAX_PATH, temp)) throw std::runtime_error("no temporary folder");
        path_ = std::string(temp) + "brumik_bench_empty_" + std::to_string(GetCurrentProcessId());
        if (!CreateDirectoryA(path_.c_str(), nullptr)) throw std::runtime_error("cannot make " + path_);
    }
    ~EmptyFolder() { RemoveDirectoryA(path_.c_str()); }
    EmptyFolder(const EmptyFolder&) = delete;
    EmptyFolder& operator=(const EmptyFolder&) = delete;
    const std::string& Path() const { return path_; }

private:
    std::string path_;
};

inline double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

inline double Mean(const std::vector<double>& values) {
    return std::accumulate(values.begin(), values.end(), 0.0) / double(values.size());
}

}  // namespace start_timing
