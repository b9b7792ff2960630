// Track files for tests: trailer records as bytes and files with the
// read-only attribute.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "TrackTag.h"

using Bytes = std::vector<uint8_t>;

// A trailer record whose text fields are filled up with pad; the texts are
// stored as the description stores them.
TrackTag MakeTag(std::string_view title, std::string_view artist, std::string_view album, std::string_view year,
                 std::string_view comment, uint8_t genre, char pad = '\0', std::string_view marker = "TAG");
Bytes BytesOf(const TrackTag& tag);
Bytes operator+(Bytes head, const Bytes& tail);
Bytes LastBytes(const Bytes& bytes, size_t count);

// A trailer with plain texts and the genre "Rock".
extern const TrackTag SampleTag;

// Gives a file the read-only attribute and takes it away again (so that the
// temporary folder can be removed).
class ReadOnlyFile {
public:
    explicit ReadOnlyFile(std::string path);
    ~ReadOnlyFile();
    ReadOnlyFile(const ReadOnlyFile&) = delete;
    ReadOnlyFile& operator=(const ReadOnlyFile&) = delete;

private:
    std::string path_;
};

