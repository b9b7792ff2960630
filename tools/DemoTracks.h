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

// Every text must fit its trailer field, so that no description is cut.
constexpr bool DemoTextsFit() {
    return std::all_of(DemoTracks.begin(), DemoTracks.end(), [](const DemoTrack& t) {
        return t.title.size() <= 30 && t.artist.size() <= 30 && t.album.size() <= 30 && t.year.size() == 4 &&
               t.comment.size() <= 30;
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

// A text in its trailer field, padded with blanks as the player's own save pads it.
template <size_t Width>
void PutTagField(char (&field)[Width], std::string_view text) {
    std::memset(field, ' ', Width);
    std::memcpy(field, text.data(), std::min(text.size(), Width));
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
    if (!CreateDirectoryA(demoFolder.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS)
        RaiseLastInOutError();
    std::vector<std::string> made;
    for (size_t i = 0; i < DemoTracks.size(); ++i) {
        const std::string raw = rawFolder + "\\" + RawTuneName(i);
        const std::string track = demoFolder + "\\" + DemoFileName(i);
        if (!CopyFileA(raw.c_str(), track.c_str(), FALSE)) RaiseLastInOutError();
        WriteTrackTag(DemoTrackTag(DemoTracks[i]), track);
        made.push_back(track);
    }
    return made;
}
