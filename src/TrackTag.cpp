#include "TrackTag.h"

#include <windows.h>

#include <algorithm>

#include "Controls.h"
#include "runtime/FileIO.h"
#include "runtime/SysUtils.h"

const std::array<std::string_view, 148> GenreNames = {
    "Blues", "Classic Rock", "Country", "Dance", "Disco", "Funk", "Grunge", "Hip-Hop", "Jazz", "Metal",
    "New Age", "Oldies", "Other", "Pop", "R&B", "Rap", "Reggae", "Rock", "Techno", "Industrial",
    "Alternative", "Ska", "Death Metal", "Pranks", "Soundtrack", "Euro-Techno", "Ambient", "Trip-Hop", "Vocal",
    "Jazz+Funk",
    "Fusion", "Trance", "Classical", "Instrumental", "Acid", "House", "Game", "Sound Clip", "Gospel", "Noise",
    "AlternRock", "Bass", "Soul", "Punk", "Space", "Meditative", "Instrumental Pop", "Instrumental Rock", "Ethnic",
    "Gothic",
    "Darkwave", "Techno-Industrial", "Electronic", "Pop-Folk", "Eurodance", "Dream", "Southern Rock", "Comedy",
    "Cult", "Gangsta",
    "Top 40", "Christian Rap", "Pop/Funk", "Jungle", "Native American", "Cabaret", "New Wave", "Psychadelic", "Rave",
    "Showtunes",
    "Trailer", "Lo-Fi", "Tribal", "Acid Punk", "Acid Jazz", "Polka", "Retro", "Musical", "Rock & Roll", "Hard Rock",
    "Folk", "Folk-Rock", "National Folk", "Swing", "Fast Fusion", "Bebob", "Latin", "Revival", "Celtic", "Bluegrass",
    "Avantgarde", "Gothic Rock", "Progressive Rock", "Psychedelic Rock", "Symphonic Rock", "Slow Rock", "Big Band",
    "Chorus", "Easy Listening", "Acoustic",
    "Humour", "Speech", "Chanson", "Opera", "Chamber Music", "Sonata", "Symphony", "Booty Bass", "Primus",
    "Porn Groove",
    "Satire", "Slow Jam", "Club", "Tango", "Samba", "Folklore", "Ballad", "Power Ballad", "Rhythmic Soul",
    "Freestyle",
    "Duet", "Punk Rock", "Drum Solo", "Acapella", "Euro-House", "Dance Hall", "Goa", "Drum & Bass", "Club-House",
    "Hardcore",
    "Terror", "Indie", "BritPop", "Negerpunk", "Polsk Punk", "Beat", "Christian Gangsta Rap", "Heavy Metal",
    "Black Metal", "Crossover",
    "Contemporary Christian", "Christian Rock", "Merengue", "Salsa", "Trash Metal", "Anime", "Jpop", "Synthpop",
};

unsigned TagCodePage() {
    CPINFO info{};
    const UINT system = GetACP();
    return GetCPInfo(system, &info) && info.MaxCharSize == 1 ? system : 1250;
}

std::string TagBytesToText(std::string_view bytes) {
    if (bytes.empty()) return {};
    std::wstring wide(bytes.size(), L'\0');
    const int n = MultiByteToWideChar(TagCodePage(), 0, bytes.data(), int(bytes.size()), wide.data(), int(wide.size()));
    wide.resize(size_t(std::max(n, 0)));
    return ToUtf8(wide);
}

namespace {

// The bytes of wide in code page, or nullopt when one of its characters has none.
std::optional<std::string> WideToTagBytes(std::wstring_view wide, unsigned codePage) {
    if (wide.empty()) return std::string();
    std::string bytes(wide.size() * 2, '\0');
    BOOL usedDefault = FALSE;
    const int n = WideCharToMultiByte(codePage, WC_NO_BEST_FIT_CHARS, wide.data(), int(wide.size()), bytes.data(),
                                      int(bytes.size()), nullptr, &usedDefault);
    if (n <= 0 || usedDefault) return std::nullopt;
    bytes.resize(size_t(n));
    return bytes;
}

}  // namespace

std::optional<std::string> TextToTagBytes(std::string_view text) {
    return WideToTagBytes(ToWide(text), TagCodePage());
}

std::string UnstorableChars(std::string_view text) {
    const std::wstring wide = ToWide(text);
    const unsigned codePage = TagCodePage();
    std::wstring unstorable;
    for (size_t i = 0; i < wide.size();) {
        // A character outside the basic plane is a pair of UTF-16 units.
        const size_t units = IS_HIGH_SURROGATE(wide[i]) && i + 1 < wide.size() ? 2 : 1;
        const std::wstring_view character(wide.data() + i, units);
        if (!WideToTagBytes(character, codePage)) unstorable += character;
        i += units;
    }
    return ToUtf8(unstorable);
}

namespace {

// A stored text: up to its first zero byte, or the whole field, as the program's text.
template <size_t Width>
std::string FieldText(const char (&field)[Width]) {
    return TagBytesToText(std::string_view(field, size_t(std::find(field, field + Width, '\0') - field)));
}

bool HasTagMarker(const TrackTag& tag) {
    return std::string_view(tag.Marker, 3) == "TAG";
}

// Opens a track file for reading and writing; others may only read meanwhile.
void OpenTrackFile(TUntypedFile& file, const std::string& path) {
    // Wine turns the read-only attribute into Unix permissions, which do not stop a process running as root.
    const DWORD attributes = GetFileAttributesW(ToWide(path).c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY)) {
        throw EInOutError(ERROR_ACCESS_DENIED);
    }
    file.Reset(path);
}

// Reads the last TrackTagSize bytes of an open file; a file shorter than
// that fails on the seek to a negative position.
TrackTag ReadTrailer(TUntypedFile& file, int64_t fileSize) {
    TrackTag tag;
    file.Seek(fileSize - TrackTagSize);
    file.BlockRead(&tag, TrackTagSize);
    return tag;
}

TrackTag ReadTrailerOf(const std::string& path) {
    TUntypedFile file;
    OpenTrackFile(file, path);
    return ReadTrailer(file, file.Size());
}

// A trailer whose comment ends in a zero byte and a non-zero byte carries a
// track number in those two bytes. A new comment that leaves them blank (it
// fits in 28 characters) keeps the number.
TrackTag KeepingTrackNumber(TrackTag record, const TrackTag& old) {
    char* comment = record.Comment;
    const char* oldComment = old.Comment;
    const bool oldHasNumber = oldComment[28] == '\0' && oldComment[29] != '\0';
    const bool newLeavesRoom = (comment[28] == ' ' || comment[28] == '\0') && (comment[29] == ' ' || comment[29] == '\0');
    if (oldHasNumber && newLeavesRoom) {
        comment[28] = oldComment[28];
        comment[29] = oldComment[29];
    }
    return record;
}

// After a failed write: put back what was there, opening the file again when
// the failure was its close. Best effort only, since the disk that refused
// the record may refuse this too; the caller re-raises the original failure
// either way.
void RestoreAfterFailedWrite(TUntypedFile& file, const std::string& path, int64_t originalSize,
                             const TrackTag* overwritten) {
    try {
        if (!file.IsOpen()) file.Reset(path);
        if (overwritten) {
            file.Seek(originalSize - TrackTagSize);
            file.BlockWrite(overwritten, TrackTagSize);
        } else {
            file.Seek(originalSize);
            file.Truncate();
        }
        file.Close();
    } catch (const Exception&) {
        // The write's own error is the one worth reporting.
    }
}

}  // namespace

std::string GenreText(uint8_t genre) {
    return genre < GenreNames.size() ? std::string(GenreNames[genre]) : std::to_string(genre);
}

bool IsFileWritable(const std::string& path) {
    try {
        TUntypedFile file;
        OpenTrackFile(file, path);
        return true;
    } catch (const Exception&) {
        return false;
    }
}

void ReadTrackTag(const std::string& path, TControl* title, TControl* artist, TControl* genre, TControl* album,
                  TControl* year, TControl* comment) {
    const TrackTag tag = ReadTrailerOf(path);
    if (!HasTagMarker(tag)) {
        for (TControl* field : {title, artist, comment, album, year, genre}) field->SetText(NoTagText);
        return;
    }
    title->SetText(FieldText(tag.Title));
    artist->SetText(FieldText(tag.Artist));
    album->SetText(FieldText(tag.Album));
    comment->SetText(FieldText(tag.Comment));
    year->SetText(FieldText(tag.Year));
    genre->SetText(GenreText(tag.Genre));
}

void WriteTrackTag(const TrackTag& tag, const std::string& path) {
    TUntypedFile file;
    OpenTrackFile(file, path);
    const int64_t size = file.Size();
    const TrackTag old = ReadTrailer(file, size);
    const bool inPlace = HasTagMarker(old);
    const TrackTag record = inPlace ? KeepingTrackNumber(tag, old) : tag;
    file.Seek(inPlace ? size - TrackTagSize : size);
    try {
        // Only a record the system has written out and closed counts as saved.
        file.BlockWrite(&record, TrackTagSize);
        file.Flush();
        file.Close();
    } catch (const Exception&) {
        RestoreAfterFailedWrite(file, path, size, inPlace ? &old : nullptr);
        throw;
    }
}
