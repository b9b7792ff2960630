// The track description of an MP3 file: the 128-byte trailer ("TAG" first)
// it may carry in its last bytes. Each operation opens the file for reading
// and writing (others may only read meanwhile), does its work and closes it
// again, also when it fails. Nothing here needs a window.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

class TControl;

// The trailer as stored: texts are single-byte characters of TagCodePage()
// with no terminator; a text ends at its first zero byte or its width.
struct TrackTag {
    char Marker[3];
    char Title[30];
    char Artist[30];
    char Album[30];
    char Year[4];
    char Comment[30];
    uint8_t Genre;  // index into GenreNames; 255 means none
};

constexpr uint32_t TrackTagSize = 128;
static_assert(sizeof(TrackTag) == TrackTagSize);
static_assert(offsetof(TrackTag, Title) == 3 && offsetof(TrackTag, Artist) == 33 && offsetof(TrackTag, Album) == 63 &&
              offsetof(TrackTag, Year) == 93 && offsetof(TrackTag, Comment) == 97 && offsetof(TrackTag, Genre) == 127);

// The one-byte code page of the stored texts: the system's ANSI code page
// when that is single-byte (1250 on a Polish system), otherwise Windows-1250.
unsigned TagCodePage();
// Stored bytes as the program's text.
std::string TagBytesToText(std::string_view bytes);
// The program's text as stored bytes, one per character; nullopt when a
// character has no byte of its own in the code page (nothing is replaced by
// a lookalike or "?").
std::optional<std::string> TextToTagBytes(std::string_view text);
// The characters of text that TextToTagBytes cannot store, in order.
std::string UnstorableChars(std::string_view text);

// The genre names in the order of their genre byte (0 to 147).
extern const std::array<std::string_view, 148> GenreNames;

// What every description field shows for a file without a trailer.
inline constexpr char NoTagText[] = "Błąd!";

// The genre's name, or its number when the byte is past the table (255: none).
std::string GenreText(uint8_t genre);

// Whether the file can be opened for writing now; never raises.
bool IsFileWritable(const std::string& path);

// Shows the file's trailer in six text controls: "Błąd!" in all of them when
// the file has none. Raises EInOutError (fields untouched) when the file
// cannot be opened or is shorter than a trailer.
void ReadTrackTag(const std::string& path, TControl* title, TControl* artist, TControl* genre, TControl* album,
                  TControl* year, TControl* comment);

// Overwrites the file's trailer in place, or appends the record when the file
// has none. An overwritten trailer's track number (a zero byte and the number
// at the end of the comment) is kept when the new comment leaves room for it.
// The record is flushed to the disk and the file closed before this returns.
// Raises EInOutError on failure; a failed write, flush or close leaves the
// file's length and trailer as they were.
void WriteTrackTag(const TrackTag& tag, const std::string& path);
