// The track description trailer on real files: probing, reading into
// description fields on a shown form, writing in place or appended.
#include <doctest.h>

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/FileIO.h"
#include "runtime/Handles.h"
#include "runtime/SysUtils.h"
#include "StdCtrls.h"
#include "TestFiles.h"
#include "Unit1.h"

#include <digitalv.h>
#include "GdiLedger.h"
#include "WineGui.h"

namespace {

using Bytes = std::vector<uint8_t>;

template <size_t Width>
void PutField(char (&field)[Width], std::string_view text, char pad) {
    std::fill(field, field + Width, pad);
    std::copy_n(text.begin(), std::min(text.size(), Width), field);
}

// A trailer record whose text fields are filled up with pad.
TrackTag MakeTag(std::string_view title, std::string_view artist, std::string_view album, std::string_view year,
                 std::string_view comment, uint8_t genre, char pad = '\0', std::string_view marker = "TAG") {
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

// Audio from a real MP3 clip, which carries no trailer of its own.
Bytes Mp3Audio() {
    Bytes audio = ReadBytes(TestDataFile("tone1s.mp3"));
    REQUIRE(audio.size() > 2 * TrackTagSize);
    REQUIRE(std::string(audio.end() - TrackTagSize, audio.end() - TrackTagSize + 3) != "TAG");
    return audio;
}

const TrackTag SampleTag = MakeTag("Title", "Artist", "Album", "2004", "Comment", 17);

// True when no other handle has the file open: an exclusive open succeeds.
bool NobodyHoldsOpen(const std::string& path) {
    UniqueFileHandle h(CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                   FILE_ATTRIBUTE_NORMAL, nullptr));
    return h.Valid();
}

// Another program's handle on a file, held for the test's scope.
UniqueFileHandle HoldOpen(const std::string& path, DWORD access, DWORD share) {
    UniqueFileHandle h(CreateFileA(path.c_str(), access, share, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    REQUIRE(h.Valid());
    return h;
}

// Gives a file the read-only attribute and takes it away again (so that the
// temporary folder can be removed).
class ReadOnlyFile {
public:
    explicit ReadOnlyFile(std::string path) : path_(std::move(path)) {
        REQUIRE(SetFileAttributesA(path_.c_str(), FILE_ATTRIBUTE_READONLY));
    }
    ~ReadOnlyFile() { SetFileAttributesA(path_.c_str(), FILE_ATTRIBUTE_NORMAL); }
    ReadOnlyFile(const ReadOnlyFile&) = delete;
    ReadOnlyFile& operator=(const ReadOnlyFile&) = delete;

private:
    std::string path_;
};

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

}  // namespace

TEST_SUITE("Genre names") {
    TEST_CASE("the table holds the names in genre-byte order") {
        REQUIRE(GenreNames.size() == 148);
        const std::vector<std::string_view> rowStarts = {"Blues",  "New Age", "Alternative", "Fusion",  "AlternRock",
                                                         "Darkwave", "Top 40", "Trailer",     "Folk",    "Avantgarde",
                                                         "Humour", "Satire",  "Duet",        "Terror",  "Contemporary Christian"};
        for (size_t row = 0; row < rowStarts.size(); ++row) {
            CAPTURE(row);
            CHECK(GenreNames[row * 10] == rowStarts[row]);
        }
        CHECK(GenreNames[17] == "Rock");
        CHECK(GenreNames[78] == "Rock & Roll");
        CHECK(GenreNames[147] == "Synthpop");
    }

    TEST_CASE("names keep their traditional spellings") {
        CHECK(GenreNames[14] == "R&B");
        CHECK(GenreNames[29] == "Jazz+Funk");
        CHECK(GenreNames[62] == "Pop/Funk");
        CHECK(GenreNames[67] == "Psychadelic");
        CHECK(GenreNames[93] == "Psychedelic Rock");
        CHECK(GenreNames[85] == "Bebob");
        CHECK(GenreNames[127] == "Drum & Bass");
        CHECK(GenreNames[136] == "Christian Gangsta Rap");
        CHECK(GenreNames[144] == "Trash Metal");
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

    TEST_CASE("a missing file or a folder probes false") {
        TempDir dir;
        CHECK_FALSE(IsFileWritable(dir.File("missing.mp3")));
        CHECK_FALSE(IsFileWritable(dir.Path()));
        CHECK_FALSE(IsFileWritable(""));
    }

    TEST_CASE("a read-only file probes false") {
        TempDir dir;
        const std::string path = dir.File("ro.mp3");
        WriteBytes(path, Mp3Audio());
        ReadOnlyFile readOnly(path);
        CHECK_FALSE(IsFileWritable(path));
    }

    TEST_CASE("a file another handle holds open for writing probes false") {
        TempDir dir;
        const std::string path = dir.File("busy.mp3");
        WriteBytes(path, Mp3Audio());
        SUBCASE("writer lets others read and write") {
            UniqueFileHandle other = HoldOpen(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE);
            CHECK_FALSE(IsFileWritable(path));
        }
        SUBCASE("writer lets others only read") {
            UniqueFileHandle other = HoldOpen(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ);
            CHECK_FALSE(IsFileWritable(path));
        }
        CHECK(IsFileWritable(path));
    }

    TEST_CASE("a file another program only reads, letting others write, still probes true") {
        TempDir dir;
        const std::string path = dir.File("read.mp3");
        WriteBytes(path, Mp3Audio());
        UniqueFileHandle reader = HoldOpen(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE);
        CHECK(IsFileWritable(path));
    }
}

TEST_SUITE("Reading the trailer") {
    TEST_CASE("zero-padded fields read without the zeros, and the genre byte as its name") {
        TempDir dir;
        const std::string path = dir.File("a.mp3");
        WriteBytes(path, Mp3Audio() + BytesOf(MakeTag("Song", "Band", "Record", "1999", "Nice", 17, '\0')));
        DescriptionFields fields;
        fields.ReadFrom(path);
        CHECK(fields.title->Text() == "Song");
        CHECK(fields.artist->Text() == "Band");
        CHECK(fields.album->Text() == "Record");
        CHECK(fields.year->Text() == "1999");
        CHECK(fields.comment->Text() == "Nice");
        CHECK(fields.genre->Text() == "Rock");
    }

    TEST_CASE("blank-padded fields read with their blanks") {
        TempDir dir;
        const std::string path = dir.File("a.mp3");
        WriteBytes(path, Mp3Audio() + BytesOf(MakeTag("Song", "Band", "Record", "99", "Nice", 0, ' ')));
        DescriptionFields fields;
        fields.ReadFrom(path);
        CHECK(fields.title->Text() == "Song" + std::string(26, ' '));
        CHECK(fields.artist->Text() == "Band" + std::string(26, ' '));
        CHECK(fields.album->Text() == "Record" + std::string(24, ' '));
        CHECK(fields.year->Text() == "99  ");
        CHECK(fields.comment->Text() == "Nice" + std::string(26, ' '));
        CHECK(fields.genre->Text() == "Blues");
    }

    TEST_CASE("fields filled to their full width read whole and no further") {
        TempDir dir;
        const std::string path = dir.File("a.mp3");
        const std::string t(30, 'T'), a(30, 'A'), l(30, 'L'), c(30, 'C');
        WriteBytes(path, Mp3Audio() + BytesOf(MakeTag(t, a, l, "2024", c, 147)));
        DescriptionFields fields;
        fields.ReadFrom(path);
        CHECK(fields.title->Text() == t);
        CHECK(fields.artist->Text() == a);
        CHECK(fields.album->Text() == l);
        CHECK(fields.year->Text() == "2024");
        CHECK(fields.comment->Text() == c);
        CHECK(fields.genre->Text() == "Synthpop");
    }

    TEST_CASE("a genre byte past the table reads as its number, and no list item gets selected") {
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

    TEST_CASE("a written record reads back into the fields") {
        TempDir dir;
        const std::string path = dir.File("a.mp3");
        WriteBytes(path, Mp3Audio());
        WriteTrackTag(MakeTag("Title", "Artist", "Album", "2004", "Comment", 78, ' '), path);
        WriteTrackTag(MakeTag("Second", "Artist", "Album", "2005", "Comment", 255, ' '), path);
        DescriptionFields fields;
        fields.ReadFrom(path);
        CHECK(fields.title->Text() == "Second" + std::string(24, ' '));
        CHECK(fields.year->Text() == "2005");
        CHECK(fields.genre->Text() == "255");
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
    TEST_CASE("an appended record that only partly reached the disk is taken back") {
        TempDir dir;
        const std::string path = dir.File("a.mp3");
        const Bytes original = Mp3Audio();
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
    }

    TEST_CASE("a trailer overwritten only in part gets its old bytes back") {
        TempDir dir;
        const std::string path = dir.File("a.mp3");
        const Bytes original = Mp3Audio() + BytesOf(MakeTag("Old title", "Old", "Old", "1980", "Old", 3, ' '));
        WriteBytes(path, original);
        {
            FailingFirstWrite failing(FailingFirstWrite::Kind::ShortCount);
            CHECK_THROWS_WITH_AS(WriteTrackTag(SampleTag, path), "Disk full", EInOutError);
        }
        CHECK(ReadBytes(path) == original);
        CHECK(NobodyHoldsOpen(path));
    }
}

// ===========================================================================
// The main window, driven through its real controls
// ===========================================================================

namespace {

// Stands between the window and the system's MCI: records every volume
// command, then lets each command through to the real devices.
class RecordingMci : public TMciService {
public:
    MCIERROR SendCommand(MCIDEVICEID device, UINT command, DWORD_PTR flags, DWORD_PTR record) override {
        if (command == MCI_SETAUDIO) {
            const auto* audio = reinterpret_cast<const MCI_DGV_SETAUDIO_PARMSA*>(record);
            volumes.push_back(VolumeCommand{device, flags, audio->dwItem, audio->dwValue});
        }
        return PlatformMci().SendCommand(device, command, flags, record);
    }
    bool GetErrorString(MCIERROR error, char* buffer, UINT size) override {
        return PlatformMci().GetErrorString(error, buffer, size);
    }

    struct VolumeCommand {
        MCIDEVICEID device;
        DWORD_PTR flags;
        DWORD item;
        DWORD value;
    };
    std::vector<VolumeCommand> volumes;
};

// The process's current folder for one scope (the folder tree follows it).
class CurrentFolder {
public:
    explicit CurrentFolder(const std::string& path) {
        char old[MAX_PATH];
        GetCurrentDirectoryA(MAX_PATH, old);
        old_ = old;
        REQUIRE(SetCurrentDirectoryA(path.c_str()));
    }
    ~CurrentFolder() { SetCurrentDirectoryA(old_.c_str()); }
    CurrentFolder(const CurrentFolder&) = delete;
    CurrentFolder& operator=(const CurrentFolder&) = delete;

private:
    std::string old_;
};

Bytes Clip(const char* name) { return ReadBytes(TestDataFile(name)); }
Bytes TextBytes(std::string_view text) { return Bytes(text.begin(), text.end()); }

// How the main window starts: the files of its folder (name and contents) and
// the file named on its command line, if any.
struct Start {
    std::vector<std::pair<std::string, Bytes>> files{{"a.mp3", Clip("tone1s.mp3")}, {"b.mp3", Clip("tone2s.mp3")}};
    std::string argument;
    std::vector<std::string> readOnly;  // names of files given the read-only attribute
};

// A folder of short tracks and the main window started in it.
class PlayerWindow {
public:
    explicit PlayerWindow(const Start& start = {}) : folder_(dir_.Path()) {
        for (const auto& [name, contents] : start.files) WriteBytes(dir_.File(name), contents);
        for (const std::string& name : start.readOnly) locks_.push_back(std::make_unique<ReadOnlyFile>(dir_.File(name)));
        std::string commandLine = "brumik.exe";
        if (!start.argument.empty()) commandLine += " \"" + dir_.File(start.argument) + "\"";
        // A box at start is answered and kept for the test to look at.
        BoxAnswerer boxes;
        form = Make<TForm1>(Application, mci, commandLine);
        Form1 = form;
        form->AfterConstruction();
        form->Show();
        SetForegroundWindow(form->Handle());
        PumpFor(50);
        startBoxes = boxes.Seen();
    }
    ~PlayerWindow() {
        Form1 = nullptr;
        Application->DestroyComponent(form);
    }
    PlayerWindow(const PlayerWindow&) = delete;
    PlayerWindow& operator=(const PlayerWindow&) = delete;

    std::string File(const std::string& name) const { return dir_.File(name); }
    const std::string& Folder() const { return dir_.Path(); }

    // A click, or a double click, on line index of the file list, as the mouse gives it.
    void ClickTrack(int index, bool twice = false) {
        HWND list = form->FileListBox1->Handle();
        RECT r = form->FileListBox1->ItemRect(index);
        LPARAM at = MAKELPARAM(r.left + 5, r.top + 3);
        PostMessageA(list, WM_LBUTTONDOWN, MK_LBUTTON, at);
        PostMessageA(list, WM_LBUTTONUP, 0, at);
        if (twice) {
            PostMessageA(list, WM_LBUTTONDBLCLK, MK_LBUTTON, at);
            PostMessageA(list, WM_LBUTTONUP, 0, at);
        }
        PumpFor(150);
    }
    // A click on a windowless tool-bar button.
    void ClickToolButton(TControl* button) {
        HWND bar = form->Panel1->Handle();
        LPARAM at = MAKELPARAM(button->Left() + 10, button->Top() + 10);
        PostMessageA(bar, WM_LBUTTONDOWN, MK_LBUTTON, at);
        PostMessageA(bar, WM_LBUTTONUP, 0, at);
        PumpFor(100);
    }
    std::string Panel(int index) { return form->StatusBar1->Panels()[index]->Text(); }
    bool Playing() { return form->MediaPlayer1->Opened() && form->MediaPlayer1->Mode() == mdPlaying; }
    bool ShowsDescription() { return form->GroupBox1->Visible() && !form->Panel2->Visible(); }
    bool ShowsFolders() { return form->Panel2->Visible() && !form->GroupBox1->Visible(); }

    RecordingMci mci;
    TForm1* form = nullptr;
    std::vector<SeenBox> startBoxes;

private:
    TempDir dir_;
    CurrentFolder folder_;
    std::vector<std::unique_ptr<ReadOnlyFile>> locks_;
};

std::vector<DWORD> VolumesSent(const RecordingMci& mci, size_t from = 0) {
    std::vector<DWORD> values;
    for (size_t i = from; i < mci.volumes.size(); ++i) values.push_back(mci.volumes[i].value);
    return values;
}

}  // namespace

TEST_SUITE("Main window") {
    TEST_CASE("time texts are durations in the locale's format") {
        GetFormatSettings();
        const std::string hours = FormatSettings().hourLeadingZero ? "00" : "0";
        CHECK(FormatTrackTime(225000) == hours + ":03:45");
        CHECK(FormatTrackTime(225999) == hours + ":03:45");
        CHECK(FormatTrackTime(0) == hours + ":00:00");
        // A day and more keeps counting hours instead of wrapping to the time of day.
        CHECK(FormatTrackTime(25LL * 3600 * 1000 + 61000) == "25:01:01");
        CHECK(FormatTrackTime(-5) == hours + ":00:00");
    }

    TEST_CASE("a typed genre is looked up by name, never by number") {
        CHECK(GenreByteOf("  rock  ") == 17);
        CHECK(GenreByteOf("ROCK") == 17);
        CHECK(GenreByteOf("\tRock & Roll\r\n") == 78);
        CHECK(GenreByteOf("17") == 255);
        CHECK(GenreByteOf("") == 255);
        CHECK(GenreByteOf("Disco polo") == 255);
        CHECK(GenreByteOf("blues") == 0);
        CHECK(GenreByteOf("synthpop") == 147);
    }

    TEST_CASE("start without a file: genres sorted, design texts, slider at rest, folder view") {
        PlayerWindow player;
        TForm1* f = player.form;
        CHECK(player.startBoxes.empty());
        CHECK(WindowText(f->Handle()) == " Brumik" + std::string(36, ' ') + "Tonograjek MP3");
        RECT client;
        GetClientRect(f->Handle(), &client);
        CHECK(client.right == 445);
        CHECK(client.bottom == 345);
        std::vector<std::string> genres = f->edGenre->Items().ToVector();
        REQUIRE(genres.size() == 148);
        CHECK(std::is_sorted(genres.begin(), genres.end(),
                             [](const std::string& a, const std::string& b) { return AnsiCompareText(a, b) < 0; }));
        CHECK(player.Panel(0) == "Nr pliku");
        CHECK(player.Panel(1) == "Czas");
        CHECK(player.Panel(2) == "Stan");
        CHECK(f->TrackBar1->Max() == 0);
        CHECK(f->TrackBar1->Position() == 0);
        CHECK(player.ShowsFolders());
        CHECK_FALSE(f->SpeedButton1->Visible());
        CHECK(f->SpeedButton2->Visible());
        CHECK(f->edTitle->Text().empty());
        CHECK(f->Edit1->Text().empty());
        CHECK(f->FileListBox1->Items().ToVector() == std::vector<std::string>{"a.mp3", "b.mp3"});
        CHECK(AnsiCompareText(f->TrackFolder(), player.Folder()) == 0);
        CHECK(f->SpinEdit1->Value() == 50);
        // The volume at start goes to no device.
        REQUIRE(player.mci.volumes.size() == 1);
        CHECK(player.mci.volumes[0].device == 0);
        CHECK(player.mci.volumes[0].value == 500);
        CHECK(player.mci.volumes[0].item == MCI_DGV_SETAUDIO_VOLUME);
        CHECK(player.mci.volumes[0].flags == (MCI_DGV_SETAUDIO_ITEM | MCI_DGV_SETAUDIO_VALUE));
    }

    TEST_CASE("a click loads without playing; a double click plays") {
        PlayerWindow player;
        TForm1* f = player.form;
        WriteBytes(player.File("b.mp3"), ReadBytes(TestDataFile("tone2s.mp3")) + BytesOf(SampleTag));
        player.ClickTrack(1);
        CHECK(f->FileListBox1->ItemIndex() == 1);
        CHECK(f->MediaPlayer1->Opened());
        CHECK_FALSE(player.Playing());
        CHECK(player.Panel(0) == "2 z 2");
        CHECK(player.Panel(1) == FormatTrackTime(f->MediaPlayer1->Length()));
        CHECK(f->TrackBar1->Max() == f->MediaPlayer1->Length() / 1000);
        CHECK(f->Edit1->Text() == "b");
        CHECK(f->edTitle->Text() == "Title");
        CHECK(f->edGenre->Text() == "Rock");
        CHECK(player.ShowsDescription());
        CHECK(f->SpeedButton1->Visible());

        player.ClickTrack(0, true);
        CHECK(f->FileListBox1->ItemIndex() == 0);
        CHECK(PumpUntil([&] { return player.Playing(); }, 3000));
        CHECK(player.Panel(0) == "1 z 2");
        // A file without a trailer describes itself as faulty.
        CHECK(f->edTitle->Text() == "Błąd!");
    }

    TEST_CASE("a read-only track shows the folder view and still plays") {
        PlayerWindow player;
        ReadOnlyFile locked(player.File("a.mp3"));
        player.ClickTrack(0, true);
        CHECK(player.ShowsFolders());
        CHECK_FALSE(player.form->SpeedButton1->Visible());
        CHECK_FALSE(player.form->SpeedButton2->Visible());
        CHECK(PumpUntil([&] { return player.Playing(); }, 3000));
        CHECK_FALSE(TagWritable);
    }

    TEST_CASE("a missing file gives the notice and changes nothing") {
        PlayerWindow player;
        player.ClickTrack(0);
        const std::string panel0 = player.Panel(0);
        const int max = player.form->TrackBar1->Max();
        DeleteFileA(player.File("b.mp3").c_str());
        BoxAnswerer answerer(IDOK, player.form->Handle());
        player.ClickTrack(1);
        PumpUntil([&] { return !answerer.Seen().empty(); }, 3000);
        REQUIRE(answerer.Seen().size() == 1);
        CHECK(answerer.Seen()[0].text == "Wskazany plik mp3: \r\n" + player.Folder() + "\\b.mp3\r\nnie jest dostępny!");
        CHECK(answerer.Seen()[0].caption == Application->Title());
        CHECK(player.Panel(0) == panel0);
        CHECK(player.form->TrackBar1->Max() == max);
        CHECK(player.form->MediaPlayer1->Opened());
        CHECK(player.form->Edit1->Text() == "a");
    }

    TEST_CASE("a track in a deep folder plays although the label shows the folder shortened") {
        TempDir root;
        std::string deep = root.Path();
        for (const char* part : {"Muzyka z bardzo długą nazwą folderu", "Rock i pokrewne gatunki muzyczne",
                                 "Zespół o przydługiej nazwie", "Album"}) {
            deep += "\\";
            deep += part;
            CreateDirectoryA(deep.c_str(), nullptr);
        }
        WriteBytes(deep + "\\a.mp3", ReadBytes(TestDataFile("tone1s.mp3")));
        RecordingMci mci;
        std::unique_ptr<CurrentFolder> enter = std::make_unique<CurrentFolder>(deep);
        TForm1* f = Make<TForm1>(Application, mci, "brumik.exe");
        f->AfterConstruction();
        f->Show();
        PumpFor(50);
        const std::string label = f->Label1->Caption();
        CHECK(label.find("...") != std::string::npos);
        RECT item = f->FileListBox1->ItemRect(0);
        PostMessageA(f->FileListBox1->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(item.left + 5, item.top + 3));
        PostMessageA(f->FileListBox1->Handle(), WM_LBUTTONUP, 0, MAKELPARAM(item.left + 5, item.top + 3));
        PumpFor(150);
        CHECK(f->MediaPlayer1->Opened());
        CHECK(AnsiCompareText(f->MediaPlayer1->FileName(), deep + "\\a.mp3") == 0);
        CHECK(f->Label1->Caption() == label);
        enter.reset();
        Application->DestroyComponent(f);
    }

    TEST_CASE("the end of the last track plays the first; a one-item list replays its track") {
        PlayerWindow player;
        TForm1* f = player.form;
        player.ClickTrack(1, true);
        REQUIRE(PumpUntil([&] { return player.Playing(); }, 3000));
        const size_t volumesBefore = player.mci.volumes.size();
        REQUIRE(PumpUntil([&] { return f->FileListBox1->ItemIndex() == 0; }, 6000));
        CHECK(PumpUntil([&] { return player.Playing(); }, 3000));
        CHECK(player.Panel(0) == "1 z 2");
        CHECK(f->Edit1->Text() == "a");
        // The spin's volume goes to the new track's device before it plays.
        REQUIRE(player.mci.volumes.size() == volumesBefore + 1);
        CHECK(player.mci.volumes.back().value == 500);
        CHECK(player.mci.volumes.back().device == f->MediaPlayer1->DeviceID());

        PlayerWindow single(Start{.files = {{"only.mp3", Clip("tone1s.mp3")}}, .argument = "", .readOnly = {}});
        single.ClickTrack(0, true);
        REQUIRE(PumpUntil([&] { return single.Playing(); }, 3000));
        // The replay opens the track anew, and its device gets the volume first.
        const size_t volumesAtFirstPlay = single.mci.volumes.size();
        REQUIRE(PumpUntil([&] { return single.mci.volumes.size() > volumesAtFirstPlay; }, 6000));
        CHECK(PumpUntil([&] { return single.Playing(); }, 3000));
        CHECK(single.Panel(0) == "1 z 1");
    }

    TEST_CASE("the auto-advance probes each next track: a read-only one plays in the folder view") {
        PlayerWindow player;
        ReadOnlyFile locked(player.File("b.mp3"));
        player.ClickTrack(0, true);
        REQUIRE(player.ShowsDescription());
        REQUIRE(PumpUntil([&] { return player.form->FileListBox1->ItemIndex() == 1; }, 6000));
        CHECK(PumpUntil([&] { return player.Playing(); }, 3000));
        CHECK(player.ShowsFolders());
        CHECK_FALSE(TagWritable);
    }

    TEST_CASE("the slider seeks and the position text follows at once") {
        PlayerWindow player;
        TForm1* f = player.form;
        player.ClickTrack(1);
        REQUIRE(f->TrackBar1->Max() == 2);
        f->TrackBar1->SetFocus();
        PostMessageA(f->TrackBar1->Handle(), WM_KEYDOWN, VK_RIGHT, 0);
        PostMessageA(f->TrackBar1->Handle(), WM_KEYUP, VK_RIGHT, 0xC0000000);
        PumpFor(150);
        CHECK(f->TrackBar1->Position() == 1);
        CHECK(player.Panel(2) == FormatTrackTime(1000));
        CHECK(f->MediaPlayer1->Position() / 100 == 10);
    }

    TEST_CASE("silence sends volume 0; the spin, the media bar and the next track bring the volume back") {
        PlayerWindow player;
        TForm1* f = player.form;
        player.ClickTrack(0, true);
        REQUIRE(PumpUntil([&] { return player.Playing(); }, 3000));
        size_t mark = player.mci.volumes.size();
        player.ClickToolButton(f->SpeedButton6);
        CHECK(f->SpeedButton6->Down());
        CHECK_FALSE(f->SpeedButton5->Down());
        CHECK(VolumesSent(player.mci, mark) == std::vector<DWORD>{0});
        CHECK(player.mci.volumes.back().device == f->MediaPlayer1->DeviceID());

        mark = player.mci.volumes.size();
        PostMessageA(f->SpinEdit1->Handle(), WM_KEYDOWN, VK_UP, 0);
        PumpFor(100);
        CHECK(f->SpinEdit1->Value() == 51);
        CHECK(VolumesSent(player.mci, mark) == std::vector<DWORD>{510});

        mark = player.mci.volumes.size();
        player.ClickToolButton(f->SpeedButton5);
        CHECK(VolumesSent(player.mci, mark) == std::vector<DWORD>{510});
        CHECK(f->SpeedButton5->Down());

        // Silence again, then Play on the media bar (the track played from the
        // list, so the bar still offers Play): the click sends the spin's volume.
        player.ClickToolButton(f->SpeedButton6);
        mark = player.mci.volumes.size();
        const LPARAM onPlay = MAKELPARAM(5, 10);
        PostMessageA(f->MediaPlayer1->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, onPlay);
        PostMessageA(f->MediaPlayer1->Handle(), WM_LBUTTONUP, 0, onPlay);
        PumpFor(150);
        CHECK(VolumesSent(player.mci, mark) == std::vector<DWORD>{510});
        CHECK(player.mci.volumes.back().device == f->MediaPlayer1->DeviceID());
        CHECK(player.Playing());
    }

    TEST_CASE("saving overwrites an existing trailer or appends one, with the record built from the edits") {
        PlayerWindow player;
        TForm1* f = player.form;
        const Bytes audio = ReadBytes(player.File("a.mp3"));
        WriteBytes(player.File("b.mp3"), ReadBytes(TestDataFile("tone2s.mp3")) + BytesOf(SampleTag));
        const size_t taggedSize = ReadBytes(player.File("b.mp3")).size();

        player.ClickTrack(1);
        f->edTitle->SetText("Łódź nocą — bardzo długi tytuł utworu muzycznego");
        f->edGenre->SetText("  rock  ");
        f->edYear->SetText("1999");
        {
            BoxAnswerer yes(IDYES);
            player.ClickToolButton(f->SpeedButton1);
            PumpUntil([&] { return yes.Seen().size() == 2; }, 3000);
            REQUIRE(yes.Seen().size() == 2);
            CHECK(yes.Seen()[0].caption == "Brumik: Zapis opisu utworu");
            CHECK(yes.Seen()[0].text == "Zapisać opis utworu?");
            CHECK(yes.Seen()[1].text == "Nowy opis utworu zapisano w pliku!");
        }
        Bytes after = ReadBytes(player.File("b.mp3"));
        CHECK(after.size() == taggedSize);
        TrackTag written;
        std::memcpy(&written, after.data() + after.size() - TrackTagSize, TrackTagSize);
        CHECK(std::string(written.Marker, 3) == "TAG");
        CHECK(std::string(written.Title, 30) == std::string("Łódź nocą — bardzo długi tytuł utworu muzycznego").substr(0, 30));
        CHECK(std::string(written.Artist, 30) == "Artist" + std::string(24, ' '));
        CHECK(std::string(written.Year, 4) == "1999");
        CHECK(written.Genre == 17);
        CHECK(f->edArtist->Text() == "Artist" + std::string(30, ' '));
        CHECK_FALSE(f->MediaPlayer1->Opened());

        player.ClickTrack(0);
        f->edGenre->SetText("17");
        {
            BoxAnswerer yes(IDYES);
            player.ClickToolButton(f->SpeedButton1);
            PumpUntil([&] { return yes.Seen().size() == 2; }, 3000);
        }
        after = ReadBytes(player.File("a.mp3"));
        REQUIRE(after.size() == audio.size() + TrackTagSize);
        CHECK(Bytes(after.begin(), after.begin() + ptrdiff_t(audio.size())) == audio);
        CHECK(after.back() == 255);
        CHECK(std::string(after.end() - 125, after.end() - 95) == "Błąd!" + std::string(25, ' '));
    }

    TEST_CASE("answering No to the save question changes nothing") {
        PlayerWindow player;
        TForm1* f = player.form;
        player.ClickTrack(0);
        const Bytes before = ReadBytes(player.File("a.mp3"));
        BoxAnswerer no(IDNO);
        player.ClickToolButton(f->SpeedButton1);
        PumpUntil([&] { return no.Seen().size() == 1; }, 3000);
        CHECK(ReadBytes(player.File("a.mp3")) == before);
        CHECK(f->edTitle->Text() == "Błąd!");
        CHECK(f->MediaPlayer1->Opened());
    }

    TEST_CASE("the view toggle follows the visibility table") {
        PlayerWindow player;
        TForm1* f = player.form;
        player.ClickToolButton(f->SpeedButton2);
        CHECK(player.ShowsDescription());
        CHECK(f->SpeedButton1->Visible());
        player.ClickToolButton(f->SpeedButton2);
        CHECK(player.ShowsFolders());
        CHECK_FALSE(f->SpeedButton1->Visible());
        CHECK(f->SpeedButton2->Visible());
    }

    TEST_CASE("the command-line start lists, describes and plays the file") {
        PlayerWindow player(Start{.files = {{"a.mp3", Clip("tone1s.mp3")}, {"b.mp3", Clip("tone2s.mp3") + BytesOf(SampleTag)}},
                                  .argument = "b.mp3", .readOnly = {}});
        TForm1* f = player.form;
        CHECK(player.startBoxes.empty());
        CHECK(f->Label1->Caption() == player.Folder());
        CHECK(f->FileListBox1->Items().ToVector() == std::vector<std::string>{"b.mp3"});
        CHECK(player.Panel(0) == "1 z 1");
        CHECK(player.Panel(1) == FormatTrackTime(f->MediaPlayer1->Length()));
        CHECK(f->Edit1->Text() == "b");
        CHECK(f->edArtist->Text() == "Artist");
        CHECK(f->GroupBox1->Visible());
        CHECK(f->Panel2->Visible());
        // Both views are shown; the description lies above the folders.
        POINT centre{f->GroupBox1->Left() + 105, f->GroupBox1->Top() + 112};
        CHECK(ChildWindowFromPointEx(f->Handle(), centre, CWP_SKIPINVISIBLE) == f->GroupBox1->Handle());
        CHECK(PumpUntil([&] { return player.Playing(); }, 3000));
    }

    TEST_CASE("the command-line start with a read-only file shows the folder view and plays") {
        PlayerWindow player(Start{.argument = "a.mp3", .readOnly = {"a.mp3"}});
        CHECK(player.startBoxes.empty());
        CHECK(player.ShowsFolders());
        CHECK_FALSE(player.form->SpeedButton1->Visible());
        CHECK(PumpUntil([&] { return player.Playing(); }, 3000));
    }

    TEST_CASE("the command-line start with a file the device refuses shows one error box") {
        PlayerWindow player(Start{.files = {{"x.mp3", TextBytes("to nie jest plik dźwiękowy, tylko tekst")}}, .argument = "x.mp3", .readOnly = {}});
        REQUIRE(player.startBoxes.size() == 1);
        CHECK(player.startBoxes[0].caption == Application->Title());
        CHECK_FALSE(player.startBoxes[0].text.empty());
        CHECK(player.Panel(0) == "1 z 1");
        CHECK(player.Panel(1) == "Czas");
        CHECK_FALSE(player.Playing());
        CHECK(IsWindowEnabled(player.form->Handle()));
    }

    TEST_CASE("the program note: No writes nothing, Yes registers the association") {
        PlayerWindow player;
        RegDeleteTreeA(HKEY_CLASSES_ROOT, "mp3_file");
        RegDeleteTreeA(HKEY_CLASSES_ROOT, ".mp3");
        {
            BoxAnswerer no(IDNO);
            player.ClickToolButton(player.form->SpeedButton3);
            PumpUntil([&] { return no.Seen().size() == 1; }, 3000);
            REQUIRE(no.Seen().size() == 1);
            CHECK(no.Seen()[0].caption == "Brumik: Notatka o programie");
            CHECK(no.Seen()[0].text.substr(0, 6) == "Brumik");
            CHECK(no.Seen()[0].text.find("Czy skojarzyć pliki mp3 z programem Brumik?") != std::string::npos);
        }
        HKEY key = nullptr;
        CHECK(RegOpenKeyExA(HKEY_CLASSES_ROOT, ".mp3", 0, KEY_READ, &key) != ERROR_SUCCESS);
        {
            BoxAnswerer yes(IDYES);
            player.ClickToolButton(player.form->SpeedButton3);
            PumpUntil([&] { return yes.Seen().size() == 1; }, 3000);
        }
        auto defaultValue = [](const char* path) {
            char value[1024] = {};
            LONG size = sizeof value;
            return RegQueryValueA(HKEY_CLASSES_ROOT, path, value, &size) == ERROR_SUCCESS ? std::string(value) : "?";
        };
        const std::string exe = Application->ExeName();
        CHECK(defaultValue(".mp3") == "mp3_file");
        CHECK(defaultValue("mp3_file") == "Plik MP3");
        CHECK(defaultValue("mp3_file\\DefaultIcon") == exe + ",0");
        CHECK(defaultValue("mp3_file\\shell\\open\\command") == "\"" + exe + "\" \"%1\"");
        RegDeleteTreeA(HKEY_CLASSES_ROOT, "mp3_file");
        RegDeleteTreeA(HKEY_CLASSES_ROOT, ".mp3");
    }

    TEST_CASE("the exit button and the close box answered No keep the player playing") {
        PlayerWindow player;
        player.ClickTrack(1, true);
        REQUIRE(PumpUntil([&] { return player.Playing(); }, 3000));
        BoxAnswerer no(IDNO);
        player.ClickToolButton(player.form->SpeedButton4);
        PumpUntil([&] { return no.Seen().size() == 1; }, 3000);
        PostMessageA(player.form->Handle(), WM_SYSCOMMAND, SC_CLOSE, 0);
        PumpUntil([&] { return no.Seen().size() == 2; }, 3000);
        PumpFor(100);
        REQUIRE(no.Seen().size() == 2);
        for (const SeenBox& box : no.Seen()) {
            CHECK(box.text == "Koniec programu Brumik?");
            CHECK(box.caption == "Brumik: Potwierdzenie operacji");
        }
        CHECK_FALSE(Application->Terminated());
        CHECK(IsWindowVisible(player.form->Handle()));
        CHECK(player.Playing());
    }

    TEST_CASE("the terms link asks first and does nothing on No") {
        PlayerWindow player;
        BoxAnswerer no(IDNO);
        PostMessageA(player.form->BitBtn1->Handle(), BM_CLICK, 0, 0);
        PumpUntil([&] { return no.Seen().size() == 1; }, 3000);
        REQUIRE(no.Seen().size() == 1);
        CHECK(no.Seen()[0].caption == "Brumik: Warunki użytkowania");
        CHECK(no.Seen()[0].text == "Wymaga łącza z Internetem!\r\nZgoda na połączenie?");
    }
}

TEST_SUITE("Main window") {
    TEST_CASE("50 track changes with repaints leave no GDI object; the path label stays white, every Warunki press filled") {
        PlayerWindow player;
        TForm1* f = player.form;
        WriteBytes(player.File("b.mp3"), ReadBytes(TestDataFile("tone2s.mp3")) + BytesOf(SampleTag));
        int changes = 0;
        CHECK(GdiGrowthOver(50, [&] {
                  player.ClickTrack(changes++ % 2);
                  RedrawWindow(f->Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
              }) == 0);
        PumpFor(50);
        CHECK(ScreenPixel(f->Handle(), f->Label1->Left() + 420, f->Label1->Top() + 17) == RGB(255, 255, 255));
        for (int press = 1; press <= 3; ++press)
            CHECK(OwnerDrawnPicture(f->BitBtn1, ODS_SELECTED)[3 * size_t(f->BitBtn1->Width()) + 3] ==
                  GetSysColor(COLOR_BTNFACE));
    }
}
