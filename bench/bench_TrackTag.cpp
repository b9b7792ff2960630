// How much the description trailer operations cost over the bare file work:
// reads the trailers of 2,000 files with ReadTrackTag against nothing but
// open, seek, read 128 bytes and close; saves them with WriteTrackTag against
// open, read, write, flush and close. Prints the best of a few rounds of each
// and their ratios.
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <stdexcept>
#include <string>
#include <vector>

#include "Controls.h"
#include "Ratio.h"
#include "TrackTag.h"
#include "runtime/Handles.h"

namespace {

constexpr int FileCount = 2000;
constexpr int Rounds = 5;
constexpr size_t AudioSize = 4096;

using Clock = std::chrono::steady_clock;

[[noreturn]] void Fail(const char* what) {
    throw std::runtime_error(std::string(what) + " failed, system error " + std::to_string(GetLastError()));
}

// A folder of track files, each with audio bytes and a trailer; removed at the end.
class TrackFolder {
public:
    TrackFolder() {
        char temp[MAX_PATH];
        if (!GetTempPathA(MAX_PATH, temp)) Fail("GetTempPathA");
        folder_ = std::string(temp) + "brumik_bench_" + std::to_string(GetCurrentProcessId());
        if (!CreateDirectoryA(folder_.c_str(), nullptr)) Fail("CreateDirectoryA");
        std::vector<char> contents(AudioSize + TrackTagSize);
        for (size_t i = 0; i < AudioSize; ++i) contents[i] = char(i * 37 + 11);
        TrackTag tag{};
        std::copy_n("TAG", 3, tag.Marker);
        std::copy_n("Benchmark", 9, tag.Title);
        tag.Genre = 17;
        std::copy_n(reinterpret_cast<const char*>(&tag), TrackTagSize, contents.begin() + AudioSize);
        for (int i = 0; i < FileCount; ++i) {
            paths_.push_back(folder_ + "\\track" + std::to_string(i) + ".mp3");
            Write(paths_.back(), contents);
        }
    }
    ~TrackFolder() {
        for (const std::string& path : paths_) DeleteFileA(path.c_str());
        RemoveDirectoryA(folder_.c_str());
    }
    TrackFolder(const TrackFolder&) = delete;
    TrackFolder& operator=(const TrackFolder&) = delete;
    const std::vector<std::string>& Paths() const { return paths_; }

private:
    static void Write(const std::string& path, const std::vector<char>& contents) {
        UniqueFileHandle file(
            CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        DWORD done = 0;
        if (!file.Valid() || !WriteFile(file.Get(), contents.data(), DWORD(contents.size()), &done, nullptr))
            Fail("Writing a track file");
    }

    std::string folder_;
    std::vector<std::string> paths_;
};

void SeekFromEnd(HANDLE file, LONGLONG distance) {
    LARGE_INTEGER to;
    to.QuadPart = distance;
    if (!SetFilePointerEx(file, to, nullptr, FILE_END)) Fail("SetFilePointerEx");
}

UniqueFileHandle OpenForReadAndWrite(const std::string& path) {
    UniqueFileHandle file(CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.Valid()) Fail("CreateFileA");
    return file;
}

void ReadLast(HANDLE file, char (&trailer)[TrackTagSize]) {
    DWORD done = 0;
    SeekFromEnd(file, -LONGLONG(TrackTagSize));
    if (!ReadFile(file, trailer, TrackTagSize, &done, nullptr) || done != TrackTagSize) Fail("ReadFile");
}

// The least any program must do to read a trailer.
void BareRead(const std::string& path) {
    UniqueFileHandle file = OpenForReadAndWrite(path);
    char trailer[TrackTagSize];
    ReadLast(file.Get(), trailer);
}

// The least any program must do to save a trailer safely: read the old one,
// write the new one over it, flush and close.
void BareSave(const std::string& path) {
    UniqueFileHandle file = OpenForReadAndWrite(path);
    char trailer[TrackTagSize];
    ReadLast(file.Get(), trailer);
    SeekFromEnd(file.Get(), -LONGLONG(TrackTagSize));
    DWORD done = 0;
    if (!WriteFile(file.Get(), trailer, TrackTagSize, &done, nullptr) || done != TrackTagSize) Fail("WriteFile");
    if (!FlushFileBuffers(file.Get())) Fail("FlushFileBuffers");
    if (!CloseHandle(file.Release())) Fail("CloseHandle");
}

// Six windowless fields stand in for the description edits, so that only
// the trailer work is timed.
struct Fields {
    TControl title{nullptr}, artist{nullptr}, genre{nullptr}, album{nullptr}, year{nullptr}, comment{nullptr};
};

template <typename Work>
double Milliseconds(const TrackFolder& folder, Work work) {
    const Clock::time_point start = Clock::now();
    for (const std::string& path : folder.Paths()) work(path);
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// The best of the rounds of each, alternating so that both see the same load on a shared machine.
template <typename Bare, typename Ours>
void Compare(const TrackFolder& folder, const char* name, const char* bareText, const char* oursText, Bare bare,
             Ours ours) {
    Milliseconds(folder, bare);  // warms the file cache
    double bareBest = 1e300, oursBest = 1e300;
    for (int round = 0; round < Rounds; ++round) {
        bareBest = std::min(bareBest, Milliseconds(folder, bare));
        oursBest = std::min(oursBest, Milliseconds(folder, ours));
    }
    std::printf("  %-34s %8.1f ms\n", bareText, bareBest);
    std::printf("  %-34s %8.1f ms\n", oursText, oursBest);
    std::fputs(RatioLine(name, oursBest / bareBest, 1.2).c_str(), stdout);
}

}  // namespace

int main() {
    try {
        TrackFolder folder;
        Fields fields;
        TrackTag tag{};
        std::copy_n("TAG", 3, tag.Marker);
        std::copy_n("Rewritten", 9, tag.Title);
        tag.Genre = 13;

        std::printf("Trailers of %d files, best of %d rounds\n", FileCount, Rounds);
        Compare(folder, "trailer_read", "bare open/seek/read/close:", "ReadTrackTag:", BareRead,
                [&](const std::string& path) {
                    ReadTrackTag(path, &fields.title, &fields.artist, &fields.genre, &fields.album, &fields.year,
                                 &fields.comment);
                });
        Compare(folder, "trailer_save", "bare open/read/write/flush/close:", "WriteTrackTag:", BareSave,
                [&](const std::string& path) { WriteTrackTag(tag, path); });
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "bench_TrackTag: %s\n", e.what());
        return 1;
    }
}
