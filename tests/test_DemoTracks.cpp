// The demo folder: raw tunes become numbered tracks with Polish names whose
// descriptions are written by the player's own trailer code.
#include <doctest.h>

#include <windows.h>

#include <algorithm>
#include <initializer_list>
#include <string>
#include <vector>

#include "../tools/DemoTracks.h"
#include "StdCtrls.h"
#include "TestFiles.h"
#include "WineGui.h"

namespace {

using Bytes = std::vector<uint8_t>;

// A raw-tune folder with the first count tunes; the test clip stands in for each.
void FillRawFolder(const TempDir& raw, size_t count) {
    for (size_t i = 0; i < count; ++i)
        REQUIRE(CopyFileW(ToWide(TestDataFile("tone1s.mp3")).c_str(), ToWide(raw.File(RawTuneName(i))).c_str(), FALSE));
}

Bytes LastBytes(const std::string& path, size_t count) {
    const Bytes bytes = ReadBytes(path);
    REQUIRE(bytes.size() >= count);
    return Bytes(bytes.end() - std::ptrdiff_t(count), bytes.end());
}

Bytes Field(const Bytes& trailer, size_t offset, size_t width) {
    return Bytes(trailer.begin() + std::ptrdiff_t(offset), trailer.begin() + std::ptrdiff_t(offset + width));
}

// Windows-1250 bytes followed by blanks up to width.
Bytes BlankPadded(std::initializer_list<uint8_t> bytes, size_t width) {
    Bytes padded(bytes);
    padded.resize(width, ' ');
    return padded;
}

// The names in a folder as the file system keeps them.
std::vector<std::wstring> StoredNames(const std::string& folder) {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW data;
    const std::wstring pattern(folder.begin(), folder.end());  // the temporary folder's path is plain ASCII
    UniqueFindHandle find(FindFirstFileW((pattern + L"\\*.mp3").c_str(), &data));
    if (!find) return names;
    do names.push_back(data.cFileName);
    while (FindNextFileW(find.Get(), &data));
    std::sort(names.begin(), names.end());
    return names;
}

struct DemoFolder {
    TempDir raw;
    TempDir demo;
    explicit DemoFolder(size_t rawTunes = DemoTracks.size()) { FillRawFolder(raw, rawTunes); }
    std::string Track(size_t index) const { return demo.File(DemoFileName(index)); }
};

}  // namespace

TEST_SUITE("demo tracks") {
    TEST_CASE("every raw tune becomes a track named by its number and title, Polish letters kept") {
        DemoFolder folder;
        const auto made = MakeDemoFolder(folder.raw.Path(), folder.demo.Path());
        CHECK(made.size() == 4);
        const std::vector<std::wstring> expected{
            L"01 Wiosenna piosenka.mp3",
            L"02 \u0141\u00f3d\u017a noc\u0105.mp3",  // Łódź nocą
            L"03 Weso\u0142a polka.mp3",              // Wesoła polka
            L"04 Ko\u0142ysanka.mp3",                 // Kołysanka
        };
        CHECK(StoredNames(folder.demo.Path()) == expected);
    }

    TEST_CASE("each track is its raw tune with one trailer appended") {
        DemoFolder folder;
        MakeDemoFolder(folder.raw.Path(), folder.demo.Path());
        const Bytes tune = ReadBytes(TestDataFile("tone1s.mp3"));
        for (size_t i = 0; i < DemoTracks.size(); ++i) {
            CAPTURE(i);
            const Bytes track = ReadBytes(folder.Track(i));
            REQUIRE(track.size() == tune.size() + TrackTagSize);
            CHECK(std::equal(tune.begin(), tune.end(), track.begin()));
            CHECK(Field(LastBytes(folder.Track(i), TrackTagSize), 0, 3) == Bytes{'T', 'A', 'G'});
        }
        CHECK(ReadBytes(folder.raw.File(RawTuneName(0))) == tune);
    }

    TEST_CASE("the description is stored in Windows-1250 and padded with blanks") {
        DemoFolder folder;
        MakeDemoFolder(folder.raw.Path(), folder.demo.Path());
        const Bytes trailer = LastBytes(folder.Track(1), TrackTagSize);
        // Łódź nocą / Zespół Brumika / Próbki Brumika
        CHECK(Field(trailer, 3, 30) == BlankPadded({0xA3, 0xF3, 'd', 0x9F, ' ', 'n', 'o', 'c', 0xB9}, 30));
        CHECK(Field(trailer, 33, 30) ==
              BlankPadded({'Z', 'e', 's', 'p', 0xF3, 0xB3, ' ', 'B', 'r', 'u', 'm', 'i', 'k', 'a'}, 30));
        CHECK(Field(trailer, 63, 30) ==
              BlankPadded({'P', 'r', 0xF3, 'b', 'k', 'i', ' ', 'B', 'r', 'u', 'm', 'i', 'k', 'a'}, 30));
        CHECK(Field(trailer, 93, 4) == Bytes{'2', '0', '2', '6'});
        CHECK(Field(trailer, 97, 30) ==
              BlankPadded({'S', 'p', 'o', 'k', 'o', 'j', 'n', 'i', 'e', ',', ' ', 'w', ' ', 'a', '-', 'm', 'o', 'l', 'l'},
                          30));
    }

    TEST_CASE("the genres are stored as their numbers in the genre table") {
        DemoFolder folder;
        MakeDemoFolder(folder.raw.Path(), folder.demo.Path());
        const uint8_t pop = 13, ambient = 26, polka = 75, easyListening = 98;
        const uint8_t expected[] = {pop, ambient, polka, easyListening};
        for (size_t i = 0; i < DemoTracks.size(); ++i) {
            CAPTURE(i);
            CHECK(LastBytes(folder.Track(i), TrackTagSize)[127] == expected[i]);
        }
    }

    TEST_CASE("making the folder again leaves exactly one trailer on each track") {
        DemoFolder folder;
        MakeDemoFolder(folder.raw.Path(), folder.demo.Path());
        const Bytes first = ReadBytes(folder.Track(2));
        MakeDemoFolder(folder.raw.Path(), folder.demo.Path());
        CHECK(ReadBytes(folder.Track(2)) == first);
        CHECK(StoredNames(folder.demo.Path()).size() == 4);
    }

    TEST_CASE("a missing raw tune stops the work with an input/output error") {
        DemoFolder folder(3);
        CHECK_THROWS_AS(MakeDemoFolder(folder.raw.Path(), folder.demo.Path()), EInOutError);
        CHECK(FileExists(folder.Track(2)));
        CHECK_FALSE(FileExists(folder.Track(3)));
    }

    TEST_CASE("a genre name that is not in the table is refused, not saved as no genre") {
        CHECK(GenreIndex("Easy Listening") == 98);
        CHECK_THROWS_AS(GenreIndex("Disco Polo"), Exception);
        CHECK_THROWS_AS(GenreIndex("polka"), Exception);
    }

    TEST_CASE("the player's description fields show a demo track's texts") {
        DemoFolder folder;
        MakeDemoFolder(folder.raw.Path(), folder.demo.Path());
        ScopedTestForm form;
        std::vector<TEdit*> fields;
        for (int i = 0; i < 6; ++i) {
            auto* edit = Make<TEdit>(form.Get());
            edit->SetParent(form.Get());
            fields.push_back(edit);
        }
        ReadTrackTag(folder.Track(2), fields[0], fields[1], fields[2], fields[3], fields[4], fields[5]);
        CHECK(fields[0]->Text() == "Wesoła polka" + std::string(18, ' '));
        CHECK(fields[1]->Text() == "Zespół Brumika" + std::string(16, ' '));
        CHECK(fields[2]->Text() == "Polka");
        CHECK(fields[4]->Text() == "2026");
    }
}
