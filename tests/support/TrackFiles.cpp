#include "TrackFiles.h"

#include "runtime/SysUtils.h"

#include <doctest.h>

#include <windows.h>

#include <algorithm>

namespace {

// A text goes in as the description stores it (one byte per character); a
// text the description cannot store is taken as the bytes themselves.
template <size_t Width>
void PutField(char (&field)[Width], std::string_view text, char pad) {
    const std::string bytes = TextToTagBytes(text).value_or(std::string(text));
    std::fill(field, field + Width, pad);
    std::copy_n(bytes.begin(), std::min(bytes.size(), Width), field);
}

}  // namespace

TrackTag MakeTag(std::string_view title, std::string_view artist, std::string_view album, std::string_view year,
                 std::string_view comment, uint8_t genre, char pad, std::string_view marker) {
    TrackTag tag;
    PutField(tag.Marker, marker, '\0');
    PutField(tag.Title, title, pad);
    PutField(tag.Artist, artist, pad);
    PutField(tag.Album, album, pad);
    PutField(tag.Year, year, pad);
    PutField(tag.Comment, comment, pad);
    tag.Genre = genre;
    return tag;
}

Bytes BytesOf(const TrackTag& tag) {
    const auto* first = reinterpret_cast<const uint8_t*>(&tag);
    return Bytes(first, first + TrackTagSize);
}

Bytes operator+(Bytes head, const Bytes& tail) {
    head.insert(head.end(), tail.begin(), tail.end());
    return head;
}

Bytes LastBytes(const Bytes& bytes, size_t count) {
    return Bytes(bytes.end() - ptrdiff_t(count), bytes.end());
}

const TrackTag SampleTag = MakeTag("Title", "Artist", "Album", "2004", "Comment", 17);

ReadOnlyFile::ReadOnlyFile(std::string path) : path_(std::move(path)) {
    REQUIRE(SetFileAttributesW(ToWide(path_).c_str(), FILE_ATTRIBUTE_READONLY));
}

ReadOnlyFile::~ReadOnlyFile() {
    SetFileAttributesW(ToWide(path_).c_str(), FILE_ATTRIBUTE_NORMAL);
}
