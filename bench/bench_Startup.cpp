// Start-up time of brumik.exe against the bare window program MinimalWindow.exe:
// from CreateProcess until the main window is visible and the program waits
// for input. brumik starts without a track, as from a shortcut, once in an
// empty folder and once in the demo folder (../demo, made by scripts/bench.sh);
// PlainWindows.exe, the same native windows made with plain Win32, shows what
// those windows alone cost, started in the same two folders. The five starts
// take turns, N times each (first argument, 20 by default). Ends with the
// RATIO lines of the medians: brumik against the minimal program and against
// the plain windows.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "Ratio.h"
#include "StartTiming.h"

using namespace start_timing;

namespace {

constexpr char kMinimalCaption[] = "Minimal";
constexpr char kPlainCaption[] = "Plain";

void PrintFigures(const char* name, const std::vector<double>& ms) {
    std::printf("%-24s median %8.1f ms   mean %8.1f ms   min %8.1f ms   max %8.1f ms\n", name, Median(ms), Mean(ms),
                *std::min_element(ms.begin(), ms.end()), *std::max_element(ms.begin(), ms.end()));
}

}  // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 20;
    const std::string folder = OwnFolder();
    const std::string brumik = folder + "..\\brumik.exe";
    const std::string minimal = folder + "MinimalWindow.exe";
    const std::string plain = folder + "PlainWindows.exe";
    const std::string demo = folder + "..\\demo";
    try {
        if (GetFileAttributesA(demo.c_str()) == INVALID_FILE_ATTRIBUTES)
            throw std::runtime_error("no demo folder " + demo + " (scripts/bench.sh makes it)");
        EmptyFolder empty;
        std::vector<double> emptyMs, demoMs, minimalMs, plainEmptyMs, plainDemoMs;
        for (int i = 0; i < runs; ++i) {
            emptyMs.push_back(StartBrumik(brumik, empty.Path()));
            plainEmptyMs.push_back(StartYardstick(plain, kPlainCaption, empty.Path()));
            demoMs.push_back(StartBrumik(brumik, demo));
            plainDemoMs.push_back(StartYardstick(plain, kPlainCaption, demo));
            minimalMs.push_back(StartYardstick(minimal, kMinimalCaption, empty.Path()));
        }
        std::printf("Start-up until the main window is shown and waits for input, %d runs each\n", runs);
        PrintFigures("brumik.exe, empty", emptyMs);
        PrintFigures("brumik.exe, demo", demoMs);
        PrintFigures("MinimalWindow.exe", minimalMs);
        PrintFigures("PlainWindows.exe, empty", plainEmptyMs);
        PrintFigures("PlainWindows.exe, demo", plainDemoMs);
        std::printf("ratio brumik/minimal, empty folder: median %.2f, mean %.2f\n", Median(emptyMs) / Median(minimalMs),
                    Mean(emptyMs) / Mean(minimalMs));
        std::printf("ratio brumik/minimal, demo folder:  median %.2f, mean %.2f\n", Median(demoMs) / Median(minimalMs),
                    Mean(demoMs) / Mean(minimalMs));
        std::printf("ratio of the same windows in plain Win32 to minimal: median %.2f (empty), %.2f (demo)\n",
                    Median(plainEmptyMs) / Median(minimalMs), Median(plainDemoMs) / Median(minimalMs));
        std::printf("%s", RatioLine("startup_empty_folder", Median(emptyMs) / Median(minimalMs), 1.5).c_str());
        std::printf("%s", RatioLine("startup_demo_folder", Median(demoMs) / Median(minimalMs), 1.5).c_str());
        std::printf("%s", RatioLine("startup_empty_folder_to_plain_windows", Median(emptyMs) / Median(plainEmptyMs), 1.15).c_str());
        std::printf("%s", RatioLine("startup_demo_folder_to_plain_windows", Median(demoMs) / Median(plainDemoMs), 1.15).c_str());
    } catch (const std::exception& e) {
        std::fprintf(stderr, "bench_Startup: %s\n", e.what());
        return 1;
    }
    return 0;
}
