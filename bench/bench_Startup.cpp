// Start-up time of brumik.exe against the bare window program MinimalWindow.exe:
// from CreateProcess until the main window is visible and the program waits
// for input. brumik starts without a track, as from a shortcut, once in an
// empty folder and once in the demo folder (../demo, made by scripts/bench.sh);
// PlainWindows.exe, the same native windows made with plain Win32, shows what
// those windows alone cost. The four starts take turns, N times each (first
// argument, 10 by default). Ends with the RATIO lines of the medians.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <numeric>
#include <stdexcept>
#include <string>
#include <vector>

#include "Controls.h"
#include "Ratio.h"
#include "../tools/StartedProgram.h"

namespace {

constexpr DWORD kStartTimeoutMs = 30000;
constexpr char kMinimalCaption[] = "Minimal";
constexpr char kPlainCaption[] = "Plain";

// brumik's main window caption: one blank, the name, 36 blanks and the subtitle.
const std::string kBrumikCaption = " Brumik" + std::string(36, ' ') + "Tonograjek MP3";

// The folder this benchmark program lies in, with a trailing backslash.
std::string OwnFolder() {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string folder = path;
    return folder.substr(0, folder.find_last_of('\\') + 1);
}

double MillisecondsSince(LARGE_INTEGER start) {
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

bool Matches(HWND window, const WindowSearch& search) {
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner != search.processId || !IsWindowVisible(window)) return false;
    char name[64] = {}, text[128] = {};
    GetClassNameA(window, name, sizeof name);
    GetWindowTextA(window, text, sizeof text);
    return (!search.className || std::string(name) == search.className) &&
           (!search.caption || std::string(text) == search.caption);
}

BOOL CALLBACK FindMatchingWindow(HWND window, LPARAM param) {
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
HWND VisibleWindowOf(DWORD processId, const char* className, const char* caption) {
    WindowSearch search{processId, className, caption, nullptr};
    EnumWindows(&FindMatchingWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// Polls every millisecond until the window is there; nullptr after the timeout.
HWND WaitForWindow(DWORD processId, const char* className, const char* caption) {
    const DWORD start = GetTickCount();
    for (;;) {
        if (HWND window = VisibleWindowOf(processId, className, caption)) return window;
        if (GetTickCount() - start > kStartTimeoutMs) return nullptr;
        Sleep(1);
    }
}

// Milliseconds from CreateProcess until the window named caption is shown and
// the program waits for input.
double TimeStart(const StartedProgram& program, LARGE_INTEGER started, const char* caption, HWND& window) {
    if (WaitForInputIdle(program.Process(), kStartTimeoutMs) != 0)
        throw std::runtime_error("the program never waited for input");
    window = WaitForWindow(program.Id(), nullptr, caption);
    if (!window) throw std::runtime_error(std::string("no window \"") + caption + "\"");
    return MillisecondsSince(started);
}

// A yardstick program, started in folder and closed again.
double StartYardstick(const std::string& path, const char* caption, const std::string& folder) {
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
void CloseBrumik(const StartedProgram& program, HWND window) {
    PostMessageA(window, WM_CLOSE, 0, 0);
    HWND question = WaitForWindow(program.Id(), "#32770", nullptr);
    if (!question) throw std::runtime_error("brumik asked no exit question");
    PostMessageA(GetDlgItem(question, IDYES), BM_CLICK, 0, 0);
    if (!program.WaitForExit(kStartTimeoutMs)) throw std::runtime_error("brumik did not end after Yes");
}

double StartBrumik(const std::string& path, const std::string& folder) {
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

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

double Mean(const std::vector<double>& values) {
    return std::accumulate(values.begin(), values.end(), 0.0) / double(values.size());
}

void PrintFigures(const char* name, const std::vector<double>& ms) {
    std::printf("%-20s median %8.1f ms   mean %8.1f ms   min %8.1f ms   max %8.1f ms\n", name, Median(ms), Mean(ms),
                *std::min_element(ms.begin(), ms.end()), *std::max_element(ms.begin(), ms.end()));
}

}  // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10;
    const std::string folder = OwnFolder();
    const std::string brumik = folder + "..\\brumik.exe";
    const std::string minimal = folder + "MinimalWindow.exe";
    const std::string plain = folder + "PlainWindows.exe";
    const std::string demo = folder + "..\\demo";
    try {
        if (GetFileAttributesA(demo.c_str()) == INVALID_FILE_ATTRIBUTES)
            throw std::runtime_error("no demo folder " + demo + " (scripts/bench.sh makes it)");
        EmptyFolder empty;
        std::vector<double> emptyMs, demoMs, minimalMs, plainMs;
        for (int i = 0; i < runs; ++i) {
            emptyMs.push_back(StartBrumik(brumik, empty.Path()));
            demoMs.push_back(StartBrumik(brumik, demo));
            minimalMs.push_back(StartYardstick(minimal, kMinimalCaption, empty.Path()));
            plainMs.push_back(StartYardstick(plain, kPlainCaption, demo));
        }
        std::printf("Start-up until the main window is shown and waits for input, %d runs each\n", runs);
        PrintFigures("brumik.exe, empty", emptyMs);
        PrintFigures("brumik.exe, demo", demoMs);
        PrintFigures("MinimalWindow.exe", minimalMs);
        PrintFigures("PlainWindows.exe", plainMs);
        std::printf("ratio brumik/minimal, empty folder: median %.2f, mean %.2f\n", Median(emptyMs) / Median(minimalMs),
                    Mean(emptyMs) / Mean(minimalMs));
        std::printf("ratio brumik/minimal, demo folder:  median %.2f, mean %.2f\n", Median(demoMs) / Median(minimalMs),
                    Mean(demoMs) / Mean(minimalMs));
        std::printf("ratio of the same windows in plain Win32 to minimal: median %.2f (brumik, demo folder, to them: %.2f)\n",
                    Median(plainMs) / Median(minimalMs), Median(demoMs) / Median(plainMs));
        std::printf("%s", RatioLine("startup_empty_folder", Median(emptyMs) / Median(minimalMs), 1.5).c_str());
        std::printf("%s", RatioLine("startup_demo_folder", Median(demoMs) / Median(minimalMs), 1.5).c_str());
    } catch (const std::exception& e) {
        std::fprintf(stderr, "bench_Startup: %s\n", e.what());
        return 1;
    }
    return 0;
}
