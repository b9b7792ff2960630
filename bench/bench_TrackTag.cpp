// How much the description trailer operations cost over the bare file work:
// reads and rewrites the trailers of 2,000 files with ReadTrackTag and
// WriteTrackTag, and the same files with nothing but open, seek, read 128
// bytes, seek back, write 128 bytes, close. Prints the best of a few rounds
// of each and their ratio.
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <stdexcept>
#include <string>
#include <vector>

#include "Controls.h"
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

// The least any program must do to rewrite a trailer.
void BareRewrite(const std::string& path) {
    UniqueFileHandle file(CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.Valid()) Fail("CreateFileA");
    char trailer[TrackTagSize];
    DWORD done = 0;
    SeekFromEnd(file.Get(), -LONGLONG(TrackTagSize));
    if (!ReadFile(file.Get(), trailer, TrackTagSize, &done, nullptr) || done != TrackTagSize) Fail("ReadFile");
    SeekFromEnd(file.Get(), -LONGLONG(TrackTagSize));
    if (!WriteFile(file.Get(), trailer, TrackTagSize, &done, nullptr) || done != TrackTagSize) Fail("WriteFile");
}

// Six windowless fields stand in for the description edits, so that only
// the trailer work is timed.
struct Fields {
    TControl title{nullptr}, artist{nullptr}, genre{nullptr}, album{nullptr}, year{nullptr}, comment{nullptr};
};

void TagRewrite(const std::string& path, Fields& fields, const TrackTag& tag) {
    ReadTrackTag(path, &fields.title, &fields.artist, &fields.genre, &fields.album, &fields.year, &fields.comment);
    WriteTrackTag(tag, path);
}

template <typename Work>
double Milliseconds(const TrackFolder& folder, Work work) {
    const Clock::time_point start = Clock::now();
    for (const std::string& path : folder.Paths()) work(path);
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
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

        auto tagRewrite = [&](const std::string& path) { TagRewrite(path, fields, tag); };

        // One untimed pass warms the file cache; the rounds then alternate so
        // that both sides see the same load on a shared machine.
        Milliseconds(folder, BareRewrite);
        double bare = 1e300, tags = 1e300;
        for (int round = 0; round < Rounds; ++round) {
            bare = std::min(bare, Milliseconds(folder, BareRewrite));
            tags = std::min(tags, Milliseconds(folder, tagRewrite));
        }

        std::printf("Trailers of %d files, best of %d rounds\n", FileCount, Rounds);
        std::printf("  bare open/seek/read/write/close: %8.1f ms\n", bare);
        std::printf("  ReadTrackTag + WriteTrackTag:    %8.1f ms\n", tags);
        std::printf("  ratio to the bare minimum:       %8.2f\n", tags / bare);
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "bench_TrackTag: %s\n", e.what());
        return 1;
    }
}
