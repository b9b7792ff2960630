// The demo tracks that come with the player: their descriptions, their file
// names and how the demo folder is made from the raw tunes that
// scripts/make-demo-audio.sh leaves behind (01.mp3, 02.mp3, ...).
#pragma once

#include <windows.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "TrackTag.h"
#include "runtime/SysUtils.h"

struct DemoTrack {
    std::string_view title;
    std::string_view artist;
    std::string_view album;
    std::string_view year;
    std::string_view comment;
    std::string_view genre;  // one of GenreNames
};

inline constexpr std::array<DemoTrack, 4> DemoTracks{{
    {"Wiosenna piosenka", "Zespół Brumika", "Próbki Brumika", "2026", "Pogodnie, w C-dur", "Pop"},
    {"Łódź nocą", "Zespół Brumika", "Próbki Brumika", "2026", "Spokojnie, w a-moll", "Ambient"},
    {"Wesoła polka", "Zespół Brumika", "Próbki Brumika", "2026", "Skocznie, w G-dur", "Polka"},
    {"Kołysanka", "Zespół Brumika", "Próbki Brumika", "2026", "Na dobranoc, w F-dur", "Easy Listening"},
}};

// Characters of a UTF-8 text: its bytes that do not continue a character.
constexpr size_t DemoCharCount(std::string_view text) {
    return size_t(std::count_if(text.begin(), text.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
}

// Every text must fit its trailer field, so that no description is cut.
constexpr bool DemoTextsFit() {
    return std::all_of(DemoTracks.begin(), DemoTracks.end(), [](const DemoTrack& t) {
        return DemoCharCount(t.title) <= 30 && DemoCharCount(t.artist) <= 30 && DemoCharCount(t.album) <= 30 &&
               DemoCharCount(t.year) == 4 && DemoCharCount(t.comment) <= 30;
    });
}
static_assert(DemoTextsFit());

// "01" for the first track.
inline std::string DemoTrackNumber(size_t index) {
    const size_t number = index + 1;
    return std::string(1, char('0' + number / 10)) + char('0' + number % 10);
}

// The raw tune as sox and lame made it: "01.mp3".
inline std::string RawTuneName(size_t index) {
    return DemoTrackNumber(index) + ".mp3";
}

// The track in the demo folder: "01 Wiosenna piosenka.mp3".
inline std::string DemoFileName(size_t index) {
    return DemoTrackNumber(index) + " " + std::string(DemoTracks.at(index).title) + ".mp3";
}

// The genre byte of a name in GenreNames; raises Exception for an unknown name.
inline uint8_t GenreIndex(std::string_view name) {
    const auto found = std::find(GenreNames.begin(), GenreNames.end(), name);
    if (found == GenreNames.end()) throw Exception("Unknown genre: " + std::string(name));
    return uint8_t(found - GenreNames.begin());
}

// A text in its trailer field, one byte per character, padded with blanks as
// the player's own save pads it.
template <size_t Width>
void PutTagField(char (&field)[Width], std::string_view text) {
    const auto bytes = TextToTagBytes(text);
    if (!bytes) throw Exception("A demo text has a character the description cannot store");
    std::memset(field, ' ', Width);
    std::memcpy(field, bytes->data(), std::min(bytes->size(), Width));
}

inline TrackTag DemoTrackTag(const DemoTrack& track) {
    TrackTag tag{};
    std::memcpy(tag.Marker, "TAG", 3);
    PutTagField(tag.Title, track.title);
    PutTagField(tag.Artist, track.artist);
    PutTagField(tag.Album, track.album);
    PutTagField(tag.Year, track.year);
    PutTagField(tag.Comment, track.comment);
    tag.Genre = GenreIndex(track.genre);
    return tag;
}

// Copies each raw tune of rawFolder into demoFolder under its track name and
// writes its description there. The raw tunes stay as they are, so the folder
// can be made again at any time. Gives the paths of the tracks made; raises
// EInOutError when a tune is missing or a file cannot be written.
inline std::vector<std::string> MakeDemoFolder(const std::string& rawFolder, const std::string& demoFolder) {
    if (!CreateDirectoryW(ToWide(demoFolder).c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS)
        RaiseLastInOutError();
    std::vector<std::string> made;
    for (size_t i = 0; i < DemoTracks.size(); ++i) {
        const std::string raw = rawFolder + "\\" + RawTuneName(i);
        const std::string track = demoFolder + "\\" + DemoFileName(i);
        if (!CopyFileW(ToWide(raw).c_str(), ToWide(track).c_str(), FALSE)) RaiseLastInOutError();
        WriteTrackTag(DemoTrackTag(DemoTracks[i]), track);
        made.push_back(track);
    }
    return made;
}
