// The track description trailer on real files: probing, reading into
// description fields on a shown form, writing in place or appended.
#include <doctest.h>

#include <windows.h>

#include <algorithm>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/FileIO.h"
#include "runtime/Handles.h"
#include "runtime/SysUtils.h"
#include "StdCtrls.h"
#include "TestFiles.h"
#include "TrackFiles.h"
#include "TrackTag.h"
#include "WineGui.h"

namespace {

// Audio from a real MP3 clip, which carries no trailer of its own.
Bytes Mp3Audio() {
    Bytes audio = ReadBytes(TestDataFile("tone1s.mp3"));
    REQUIRE(audio.size() > 2 * TrackTagSize);
    REQUIRE(std::string(audio.end() - TrackTagSize, audio.end() - TrackTagSize + 3) != "TAG");
    return audio;
}

// True when no other handle has the file open: an exclusive open succeeds.
bool NobodyHoldsOpen(const std::string& path) {
    UniqueFileHandle h(CreateFileW(ToWide(path).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                   FILE_ATTRIBUTE_NORMAL, nullptr));
    return h.Valid();
}

// Another program's handle on a file, held for the test's scope.
UniqueFileHandle HoldOpen(const std::string& path, DWORD access, DWORD share) {
    UniqueFileHandle h(CreateFileW(ToWide(path).c_str(), access, share, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    REQUIRE(h.Valid());
    return h;
}

// The six description fields on a shown form, passed in ReadTrackTag's order.
class DescriptionFields {
public:
    DescriptionFields() : form_(500, 260) {
        for (TControl** field : {&title, &artist, &album, &year, &comment}) *field = AddControl<TEdit>();
        genre = AddControl<TComboBox>();
        for (std::string_view name : GenreNames) genre->Items().Add(std::string(name));
    }

    void ReadFrom(const std::string& path) { ReadTrackTag(path, title, artist, genre, album, year, comment); }
    void SetAll(const std::string& text) {
        for (TControl* field : All()) field->SetText(text);
    }
    std::vector<std::string> Texts() const {
        std::vector<std::string> texts;
        for (TControl* field : All()) texts.push_back(field->Text());
        return texts;
    }

    TControl* title = nullptr;
    TControl* artist = nullptr;
    TComboBox* genre = nullptr;
    TControl* album = nullptr;
    TControl* year = nullptr;
    TControl* comment = nullptr;

private:
    std::vector<TControl*> All() const { return {title, artist, genre, album, year, comment}; }

    template <typename T>
    T* AddControl() {
        T* control = Make<T>(form_.Get());
        control->SetParent(form_.Get());
        control->SetBounds(10, 10 + 35 * form_->ControlCount(), 400, 24);
        return control;
    }

    ScopedTestForm form_;
};

// Lets the first write through the file runtime reach the disk only in part;
// later writes pass unchanged. Restores the platform's WriteFile at the end.
class FailingFirstWrite {
public:
    enum class Kind { ShortCount, DiskFullError };
    explicit FailingFirstWrite(Kind kind) : saved_(TUntypedFile::WriteSeam()) {
        kind_ = kind;
        calls_ = 0;
        TUntypedFile::WriteSeam() = &Write;
    }
    ~FailingFirstWrite() { TUntypedFile::WriteSeam() = saved_; }
    FailingFirstWrite(const FailingFirstWrite&) = delete;
    FailingFirstWrite& operator=(const FailingFirstWrite&) = delete;

private:
    static BOOL WINAPI Write(HANDLE file, LPCVOID data, DWORD count, LPDWORD done, LPOVERLAPPED overlapped) {
        if (calls_++ > 0) return WriteFile(file, data, count, done, overlapped);
        BOOL wrote = WriteFile(file, data, count / 2, done, overlapped);
        if (kind_ == Kind::ShortCount) return wrote;
        SetLastError(ERROR_DISK_FULL);
        return FALSE;
    }

    TUntypedFile::WriteProc saved_;
    static inline Kind kind_ = Kind::ShortCount;
    static inline int calls_ = 0;
};

// Makes the system's flush or close of the next file fail after doing its
// work (a network drive that loses the data on the way); restores it at the end.
class FailingFinish {
public:
    explicit FailingFinish(TUntypedFile::HandleProc& seam, TUntypedFile::HandleProc real) : seam_(seam), saved_(seam) {
        real_ = real;
        failures_ = 1;
        seam_ = &Finish;
    }
    ~FailingFinish() { seam_ = saved_; }
    FailingFinish(const FailingFinish&) = delete;
    FailingFinish& operator=(const FailingFinish&) = delete;

private:
    static BOOL WINAPI Finish(HANDLE file) {
        const BOOL done = real_(file);
        if (failures_-- <= 0) return done;
        SetLastError(ERROR_NETNAME_DELETED);
        return FALSE;
    }

    TUntypedFile::HandleProc& seam_;
    TUntypedFile::HandleProc saved_;
    static inline TUntypedFile::HandleProc real_ = nullptr;
    static inline int failures_ = 0;
};

}  // namespace

TEST_SUITE("Genre names") {
    TEST_CASE("the table holds the names in genre-byte order") {
        // The first and last names, the first of the later additions and a
        // well-known byte pin the table's length and order.
        REQUIRE(GenreNames.size() == 148);
        CHECK(GenreNames[0] == "Blues");
        CHECK(GenreNames[17] == "Rock");
        CHECK(GenreNames[80] == "Folk");
        CHECK(GenreNames[147] == "Synthpop");
    }

    TEST_CASE("names differ from one another also when upper-cased and carry no outer blanks") {
        std::set<std::string> upper;
        for (std::string_view name : GenreNames) {
            CAPTURE(name);
            REQUIRE(!name.empty());
            CHECK(name.front() != ' ');
            CHECK(name.back() != ' ');
            upper.insert(AnsiUpperCase(std::string(name)));
        }
        CHECK(upper.size() == GenreNames.size());
    }
}

TEST_SUITE("Write-access probe") {
    TEST_CASE("a file that can be written probes true and is closed again at once") {
        TempDir dir;
        const std::string path = dir.File("a.mp3");
        WriteBytes(path, Mp3Audio());
        CHECK(IsFileWritable(path));
        CHECK(NobodyHoldsOpen(path));
    }

    TEST_CASE("a missing file, a folder, a read-only file or one held open for writing probes false") {
        TempDir dir;
        const std::string path = dir.File("a.mp3");
        WriteBytes(path, Mp3Audio());
        SUBCASE("missing or a folder") {
            CHECK_FALSE(IsFileWritable(dir.File("missing.mp3")));
            CHECK_FALSE(IsFileWritable(dir.Path()));
            CHECK_FALSE(IsFileWritable(""));
        }
        SUBCASE("read-only") {
            ReadOnlyFile readOnly(path);
            CHECK_FALSE(IsFileWritable(path));
        }
        SUBCASE("a writer lets others read and write") {
            UniqueFileHandle other = HoldOpen(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE);
            CHECK_FALSE(IsFileWritable(path));
        }
        SUBCASE("a writer lets others only read") {
            UniqueFileHandle other = HoldOpen(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ);
            CHECK_FALSE(IsFileWritable(path));
        }
        SUBCASE("another program only reads, letting others write: still true") {
            UniqueFileHandle reader = HoldOpen(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE);
            CHECK(IsFileWritable(path));
        }
        // Once the other handle is gone the file probes true again.
        CHECK(IsFileWritable(path));
    }
}

TEST_SUITE("Reading the trailer") {
    TEST_CASE("fields read without zero padding, with blank padding, and whole at full width; the genre byte as its name") {
        const std::string t(30, 'T'), a(30, 'A'), l(30, 'L'), c(30, 'C');
        const std::string blanks24(24, ' '), blanks26(26, ' ');
        struct Case {
            const char* what;
            TrackTag tag;
            std::vector<std::string> texts;  // title, artist, genre, album, year, comment
        };
        const Case cases[] = {
            {"zero-padded", MakeTag("Song", "Band", "Record", "1999", "Nice", 17, '\0'),
             {"Song", "Band", "Rock", "Record", "1999", "Nice"}},
            {"blank-padded", MakeTag("Song", "Band", "Record", "99", "Nice", 0, ' '),
             {"Song" + blanks26, "Band" + blanks26, "Blues", "Record" + blanks24, "99  ", "Nice" + blanks26}},
            {"full width", MakeTag(t, a, l, "2024", c, 147), {t, a, "Synthpop", l, "2024", c}},
        };
        TempDir dir;
        const std::string path = dir.File("a.mp3");
        for (const Case& row : cases) {
            CAPTURE(row.what);
            WriteBytes(path, Mp3Audio() + BytesOf(row.tag));
            DescriptionFields fields;
            fields.ReadFrom(path);
            CHECK(fields.Texts() == row.texts);
            // The genre is shown as text: no list item gets selected.
            CHECK(fields.genre->ItemIndex() == -1);
        }
    }

    TEST_CASE("a genre byte past the table reads as its number; no list item gets selected") {
        TempDir dir;
        const std::string path = dir.File("a.mp3");
        for (int genre : {148, 200, 255}) {
            CAPTURE(genre);
            WriteBytes(path, Mp3Audio() + BytesOf(MakeTag("x", "y", "z", "2000", "w", uint8_t(genre))));
            DescriptionFields fields;
            fields.ReadFrom(path);
            CHECK(fields.genre->Text() == std::to_string(genre));
            CHECK(fields.genre->ItemIndex() == -1);
        }
    }

    TEST_CASE("a file without a trailer shows \"Błąd!\" in all six fields") {
        TempDir dir;
        const std::string path = dir.File("a.mp3");
        SUBCASE("plain audio") { WriteBytes(path, Mp3Audio()); }
        SUBCASE("marker in lower case") {
            WriteBytes(path, Mp3Audio() + BytesOf(MakeTag("Song", "Band", "Record", "1999", "Nice", 17, '\0', "tag")));
        }
        SUBCASE("marker cut short by a zero byte") {
            WriteBytes(path, Mp3Audio() + BytesOf(MakeTag("Song", "Band", "Record", "1999", "Nice", 17, '\0', "TA")));
        }
        DescriptionFields fields;
        fields.SetAll("before");
        fields.ReadFrom(path);
        CHECK(fields.Texts() == std::vector<std::string>(6, "Błąd!"));
    }

    TEST_CASE("reading leaves the file as it was and closes it") {
        TempDir dir;
        const std::string path = dir.File("a.mp3");
        const Bytes original = Mp3Audio() + BytesOf(SampleTag);
        WriteBytes(path, original);
        DescriptionFields fields;
        fields.ReadFrom(path);
        CHECK(ReadBytes(path) == original);
        CHECK(NobodyHoldsOpen(path));
    }

    TEST_CASE("a file that cannot be read raises the input/output error and leaves the fields alone") {
        TempDir dir;
        const std::string path = dir.File("a.mp3");
        Bytes original;
        SUBCASE("shorter than a trailer") {
            original = Bytes{'T', 'A', 'G', 'x'} + Bytes(TrackTagSize - 5, 'y');
            WriteBytes(path, original);
        }
        SUBCASE("empty") { WriteBytes(path, original); }
        DescriptionFields fields;
        fields.SetAll("before");
        CHECK_THROWS_AS(fields.ReadFrom(path), EInOutError);
        CHECK(fields.Texts() == std::vector<std::string>(6, "before"));
        CHECK(ReadBytes(path) == original);
        CHECK(NobodyHoldsOpen(path));
    }

    TEST_CASE("a missing file raises the input/output error") {
        TempDir dir;
        DescriptionFields fields;
        fields.SetAll("before");
        CHECK_THROWS_WITH_AS(fields.ReadFrom(dir.File("gone.mp3")), "File not found", EInOutError);
        CHECK(fields.Texts() == std::vector<std::string>(6, "before"));
    }
}

TEST_SUITE("Writing the trailer") {
    TEST_CASE("an existing trailer is overwritten in place") {
        TempDir dir;
        const std::string path = dir.File("a.mp3");
        const Bytes audio = Mp3Audio();
        WriteBytes(path, audio + BytesOf(MakeTag("Old", "Old", "Old", "1980", "Old", 3, ' ')));
        WriteTrackTag(SampleTag, path);
        CHECK(ReadBytes(path) == audio + BytesOf(SampleTag));
        CHECK(NobodyHoldsOpen(path));
    }

    TEST_CASE("a file without a trailer grows by exactly one record") {
        TempDir dir;
        const std::string path = dir.File("a.mp3");
        Bytes original;
        SUBCASE("audio") { original = Mp3Audio(); }
        SUBCASE("a lower-case marker is no trailer") {
            original = Mp3Audio() + BytesOf(MakeTag("Old", "Old", "Old", "1980", "Old", 3, ' ', "tag"));
        }
        SUBCASE("exactly one record long") { original = Bytes(TrackTagSize, 'x'); }
        WriteBytes(path, original);
        WriteTrackTag(SampleTag, path);
        CHECK(ReadBytes(path) == original + BytesOf(SampleTag));
        CHECK(NobodyHoldsOpen(path));
    }

    TEST_CASE("a track number in the old trailer stays when the new comment leaves room for it") {
        TempDir dir;
        const std::string path = dir.File("a.mp3");
        TrackTag numbered = MakeTag("Old", "Old", "Old", "1980", "Old", 3);
        numbered.Comment[29] = 7;
        WriteBytes(path, Mp3Audio() + BytesOf(numbered));
        // The last three bytes of the comment as written over the numbered trailer.
        auto commentEnd = [&](const std::string& comment) {
            WriteTrackTag(MakeTag("New", "New", "New", "2024", comment, 17, ' '), path);
            const Bytes trailer = LastBytes(ReadBytes(path), TrackTagSize);
            return Bytes(trailer.begin() + 124, trailer.begin() + 127);
        };
        SUBCASE("28 characters leave room") { CHECK(commentEnd(std::string(28, 'c')) == Bytes{'c', 0, 7}); }
        // Longer comments take the bytes over, to their last letter.
        SUBCASE("29 characters") { CHECK(commentEnd(std::string(29, 'e')) == Bytes{'e', 'e', ' '}); }
        SUBCASE("30 characters") { CHECK(commentEnd(std::string(30, 'd')) == Bytes{'d', 'd', 'd'}); }
    }

    TEST_CASE("Polish letters travel as Windows-1250 bytes") {
        TempDir dir;
        const std::string path = dir.File("a.mp3");
        const Bytes audio = Mp3Audio();
        WriteBytes(path, audio);
        WriteTrackTag(MakeTag("Zażółć gęślą jaźń", "Łódź", "Ćma", "2001", "Śpiew", 13), path);

        const Bytes trailer = LastBytes(ReadBytes(path), TrackTagSize);
        const Bytes zazolc = {0x5A, 0x61, 0xBF, 0xF3, 0xB3, 0xE6, 0x20, 0x67, 0xEA, 0x9C,
                              0x6C, 0xB9, 0x20, 0x6A, 0x61, 0x9F, 0xF1};
        CHECK(Bytes(trailer.begin() + 3, trailer.begin() + 3 + ptrdiff_t(zazolc.size())) == zazolc);
        CHECK(trailer[33] == 0xA3);  // Ł

        DescriptionFields fields;
        fields.ReadFrom(path);
        CHECK(fields.title->Text() == "Zażółć gęślą jaźń");
        CHECK(fields.artist->Text() == "Łódź");
        CHECK(fields.album->Text() == "Ćma");
        CHECK(fields.comment->Text() == "Śpiew");
        CHECK(fields.genre->Text() == "Pop");
    }

    TEST_CASE("a file shorter than a trailer raises the input/output error and stays as it was") {
        TempDir dir;
        const std::string path = dir.File("a.mp3");
        Bytes original;
        SUBCASE("one byte short") { original = Bytes{'T', 'A', 'G'} + Bytes(TrackTagSize - 4, 'y'); }
        SUBCASE("empty") {}
        WriteBytes(path, original);
        CHECK_THROWS_AS(WriteTrackTag(SampleTag, path), EInOutError);
        CHECK(ReadBytes(path) == original);
        CHECK(NobodyHoldsOpen(path));
    }

    TEST_CASE("a file that cannot be opened for writing raises and stays as it was") {
        TempDir dir;
        const std::string path = dir.File("a.mp3");
        const Bytes original = Mp3Audio();
        WriteBytes(path, original);
        SUBCASE("read-only") {
            ReadOnlyFile readOnly(path);
            CHECK_THROWS_WITH_AS(WriteTrackTag(SampleTag, path), "File access denied", EInOutError);
        }
        SUBCASE("held open for writing elsewhere") {
            UniqueFileHandle other = HoldOpen(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE);
            CHECK_THROWS_AS(WriteTrackTag(SampleTag, path), EInOutError);
        }
        SUBCASE("missing") {
            CHECK_THROWS_WITH_AS(WriteTrackTag(SampleTag, dir.File("gone.mp3")), "File not found", EInOutError);
        }
        CHECK(ReadBytes(path) == original);
    }
}

TEST_SUITE("A write that fails part-way") {
    TEST_CASE("a record that only partly reached the disk is taken back: appended, or over an old trailer") {
        TempDir dir;
        const std::string path = dir.File("a.mp3");
        // Each failure on a file without a trailer and on one with an old trailer.
        auto failPartWay = [&](const Bytes& original) {
            WriteBytes(path, original);
            SUBCASE("short write") {
                FailingFirstWrite failing(FailingFirstWrite::Kind::ShortCount);
                CHECK_THROWS_WITH_AS(WriteTrackTag(SampleTag, path), "Disk full", EInOutError);
            }
            SUBCASE("disk full after part of the record") {
                FailingFirstWrite failing(FailingFirstWrite::Kind::DiskFullError);
                CHECK_THROWS_AS(WriteTrackTag(SampleTag, path), EInOutError);
            }
            CHECK(ReadBytes(path) == original);
            CHECK(NobodyHoldsOpen(path));
        };
        SUBCASE("appended") { failPartWay(Mp3Audio()); }
        SUBCASE("overwritten") { failPartWay(Mp3Audio() + BytesOf(MakeTag("Old title", "Old", "Old", "1980", "Old", 3, ' '))); }
    }

    TEST_CASE("a record the system fails to flush or close counts as not written") {
        TempDir dir;
        const std::string path = dir.File("a.mp3");
        // Each failure on a file without a trailer and on one with an old trailer.
        auto failToFinish = [&](const Bytes& original) {
            WriteBytes(path, original);
            SUBCASE("flush") {
                FailingFinish failing(TUntypedFile::FlushSeam(), &FlushFileBuffers);
                CHECK_THROWS_AS(WriteTrackTag(SampleTag, path), EInOutError);
            }
            SUBCASE("close") {
                FailingFinish failing(TUntypedFile::CloseSeam(), &CloseHandle);
                CHECK_THROWS_AS(WriteTrackTag(SampleTag, path), EInOutError);
            }
            CHECK(ReadBytes(path) == original);
            CHECK(NobodyHoldsOpen(path));
        };
        SUBCASE("appended") { failToFinish(Mp3Audio()); }
        SUBCASE("overwritten") { failToFinish(Mp3Audio() + BytesOf(MakeTag("Old title", "Old", "Old", "1980", "Old", 3))); }
    }
}
