// How much a file list costs over the bare folder search: lists a folder of
// 2,500, 5,000 and then 10,000 track files (with some other files among them)
// with the mask "*.MP3" into a TFileListBox, and enumerates the same folder
// with nothing but FindFirstFileW/FindNextFileW. Prints the best of a few
// rounds of each, their ratio and the listing's cost per file, which stays
// flat as the folder grows. The listing includes emptying the previous one,
// whose share is printed on its own.
//
// Then the same as the user sees it: brumik.exe started in the folder, less
// brumik.exe started in an empty folder, against the same bare search, the
// three taking turns N times (first argument, 25 by default); medians.
//
// Ends with RATIO lines: the listing against the search for each size, in this
// process and as seen from outside, and emptying against listing.
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <vector>

#include "FileCtrl.h"
#include "Forms.h"
#include "Ratio.h"
#include "StartTiming.h"
#include "runtime/Handles.h"
#include "runtime/SysUtils.h"

namespace {

constexpr int Sizes[] = {2500, 5000, 10000};
constexpr int Rounds = 11;

using Clock = std::chrono::steady_clock;

[[noreturn]] void Fail(const char* what) {
    throw std::runtime_error(std::string(what) + " failed, system error " + std::to_string(GetLastError()));
}

// A folder that grows to hold count track files; every tenth file is not a track.
class TrackFolder {
public:
    TrackFolder() {
        char temp[MAX_PATH];
        if (!GetTempPathA(MAX_PATH, temp)) Fail("GetTempPathA");
        folder_ = std::string(temp) + "brumik_bench_files_" + std::to_string(GetCurrentProcessId());
        if (!CreateDirectoryA(folder_.c_str(), nullptr)) Fail("CreateDirectoryA");
    }
    ~TrackFolder() {
        for (int i = 0; i < count_; ++i) DeleteFileA(PathOf(i).c_str());
        RemoveDirectoryA(folder_.c_str());
    }
    TrackFolder(const TrackFolder&) = delete;
    TrackFolder& operator=(const TrackFolder&) = delete;

    void GrowTo(int count) {
        for (; count_ < count; ++count_) {
            UniqueFileHandle file(
                CreateFileA(PathOf(count_).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
            if (!file) Fail("CreateFileA");
        }
    }
    const std::string& Path() const { return folder_; }

private:
    // Names spread over the alphabet so that adds land all over the list.
    std::string PathOf(int i) const {
        char name[32];
        const unsigned spread = unsigned(i) * 2654435761u;
        std::snprintf(name, sizeof name, "%c%08x %05d.%s", 'A' + int(spread % 26), spread, i,
                      i % 10 == 9 ? "txt" : (i % 2 ? "mp3" : "MP3"));
        return folder_ + "\\" + name;
    }

    std::string folder_;
    int count_ = 0;
};

double Milliseconds(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

template <typename Work>
double Time(Work work) {
    const auto start = Clock::now();
    work();
    return Milliseconds(Clock::now() - start);
}

int BareEnumeration(const std::string& folder) {
    int found = 0;
    WIN32_FIND_DATAW entry;
    UniqueFindHandle search(FindFirstFileW(ToWide(folder + "\\*.MP3").c_str(), &entry));
    if (!search) return 0;
    do ++found;
    while (FindNextFileW(search.Get(), &entry));
    return found;
}

// A start of brumik in a folder against a start in an empty one, and the
// bare search of that folder, measured in turns so that all three see the same
// load of a shared machine.
struct StartFigures {
    double beyondEmptyMs;  // median of (start in the folder - start in the empty folder)
    double searchMs;       // median of the bare searches between the starts
};

StartFigures TimeStarts(const std::string& folder, const std::string& empty, int runs) {
    const std::string brumik = start_timing::OwnFolder() + "..\\brumik.exe";
    std::vector<double> beyond, search;
    for (int i = 0; i < runs; ++i) {
        search.push_back(Time([&] { BareEnumeration(folder); }));
        const double full = start_timing::StartBrumik(brumik, folder);
        beyond.push_back(full - start_timing::StartBrumik(brumik, empty));
    }
    return {start_timing::Median(beyond), start_timing::Median(search)};
}

void Run(int startRuns) {
    TForm* form = nullptr;
    Application->CreateForm(form);
    form->HandleNeeded();
    auto* list = Make<TFileListBox>(form);
    list->SetBounds(0, 0, 300, 400);
    list->SetParent(form);
    list->SetMask("*.MP3");

    TrackFolder folder;
    start_timing::EmptyFolder empty;
    std::string ratios, outside;
    std::printf("%8s %12s %13s %15s %8s %14s\n", "files", "listing ms", "(clearing ms)", "enumeration ms", "ratio",
                "listing us/file");
    for (int size : Sizes) {
        folder.GrowTo(size);
        list->SetDirectory(folder.Path());
        list->RefreshListing();  // the folder grew since the list last read it
        const int listed = list->Items().Count();
        if (listed != BareEnumeration(folder.Path())) throw std::runtime_error("the list and the search disagree");
        // The three take turns, so that a busy moment of the machine does not fall on one alone.
        double listing = 1e300, clearing = 1e300, floor = 1e300;
        for (int round = 0; round < Rounds; ++round) {
            listing = std::min(listing, Time([&] { list->RefreshListing(); }));
            floor = std::min(floor, Time([&] { BareEnumeration(folder.Path()); }));
            clearing = std::min(clearing, Time([&] { list->Items().Clear(); }));
            list->RefreshListing();
        }
        std::printf("%8d %12.2f %13.2f %15.2f %8.2f %14.2f\n", size, listing, clearing, floor, listing / floor,
                    1000.0 * listing / listed);
        ratios += RatioLine("listing_" + std::to_string(size) + "_files", listing / floor, 2.0);
        ratios += RatioLine("clearing_" + std::to_string(size) + "_files_to_listing", clearing / listing, 1.0);
        SetCurrentDirectoryA("C:\\");  // the started programs may have the folder to themselves
        const StartFigures started = TimeStarts(folder.Path(), empty.Path(), startRuns);
        char line[160];
        std::snprintf(line, sizeof line, "%8d %20.1f %15.1f %8.2f\n", size, started.beyondEmptyMs, started.searchMs,
                      started.beyondEmptyMs / started.searchMs);
        outside += line;
        ratios += RatioLine("start_listing_" + std::to_string(size) + "_files", started.beyondEmptyMs / started.searchMs, 2.0);
    }
    std::printf("brumik.exe started in the folder less started in an empty one, against the bare search between\n"
                "the starts (medians of %d turns)\n%8s %20s %15s %8s\n%s",
                startRuns, "files", "start beyond empty ms", "enumeration ms", "ratio", outside.c_str());
    std::printf("%s", ratios.c_str());
    SetCurrentDirectoryA("C:\\");  // lets the folder go
}

}  // namespace

int main(int argc, char** argv) {
    try {
        ApplicationScope application;
        Run(argc > 1 ? std::max(1, std::atoi(argv[1])) : 25);
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "bench_FileCtrl: %s\n", e.what());
        return 1;
    }
}
