// The main window, driven through its real controls under Wine.
#include <doctest.h>

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/Handles.h"
#include "runtime/SysUtils.h"
#include "TestFiles.h"
#include "TrackFiles.h"
#include "Registry.h"
#include "Unit1.h"

#include <digitalv.h>
#include <shlobj.h>
#include "GdiLedger.h"
#include "WineGui.h"

namespace {

// Stands between the window and the system's MCI: records every volume and
// play command in the order sent, then lets each command through to the real
// devices.
class RecordingMci : public TMciService {
public:
    MCIERROR SendCommand(MCIDEVICEID device, UINT command, DWORD_PTR flags, DWORD_PTR record) override {
        if (command == MCI_SETAUDIO) {
            const auto* audio = reinterpret_cast<const MCI_DGV_SETAUDIO_PARMSW*>(record);
            sent.push_back(Command{device, command, flags, audio->dwItem, audio->dwValue});
        } else if (command == MCI_PLAY) {
            sent.push_back(Command{device, command, flags, 0, 0});
        }
        return PlatformMci().SendCommand(device, command, flags, record);
    }
    bool GetErrorString(MCIERROR error, wchar_t* buffer, UINT size) override {
        return PlatformMci().GetErrorString(error, buffer, size);
    }

    struct Command {
        MCIDEVICEID device;
        UINT command;
        DWORD_PTR flags;
        DWORD item;
        DWORD value;
    };
    std::vector<Command> sent;
};

// The process's current folder for one scope (the folder tree follows it).
class CurrentFolder {
public:
    explicit CurrentFolder(const std::string& path) {
        wchar_t old[MAX_PATH];
        GetCurrentDirectoryW(MAX_PATH, old);
        old_ = ToUtf8(old);
        REQUIRE(SetCurrentDirectoryW(ToWide(path).c_str()));
    }
    ~CurrentFolder() { SetCurrentDirectoryW(ToWide(old_).c_str()); }
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
    std::string folder = {};            // a sub-folder of that name holds them, when given
};

// A folder of short tracks and the main window started in it.
class PlayerWindow {
public:
    explicit PlayerWindow(const Start& start = {})
        : home_(start.folder.empty() ? dir_.Path() : MadeFolder(dir_.File(start.folder))), folder_(home_) {
        for (const auto& [name, contents] : start.files) WriteBytes(File(name), contents);
        for (const std::string& name : start.readOnly) locks_.push_back(std::make_unique<ReadOnlyFile>(File(name)));
        std::string commandLine = "brumik.exe";
        if (!start.argument.empty()) commandLine += " \"" + File(start.argument) + "\"";
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

    std::string File(const std::string& name) const { return home_ + "\\" + name; }
    const std::string& Folder() const { return home_; }

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
    // A click on a button of the media bar (Play is the first cell, Pause the second).
    void ClickMediaBar(TMPBtnType button) {
        const LPARAM at = MAKELPARAM(button == btPlay ? 5 : 35, 10);
        PostMessageA(form->MediaPlayer1->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, at);
        PostMessageA(form->MediaPlayer1->Handle(), WM_LBUTTONUP, 0, at);
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
    static std::string MadeFolder(const std::string& path) {
        REQUIRE(CreateDirectoryW(ToWide(path).c_str(), nullptr));
        return path;
    }
    TempDir dir_;
    std::string home_;
    CurrentFolder folder_;
    std::vector<std::unique_ptr<ReadOnlyFile>> locks_;
};

// The values of the volume commands sent since from, to any device.
std::vector<DWORD> VolumesSent(const RecordingMci& mci, size_t from = 0) {
    std::vector<DWORD> values;
    for (size_t i = from; i < mci.sent.size(); ++i)
        if (mci.sent[i].command == MCI_SETAUDIO) values.push_back(mci.sent[i].value);
    return values;
}

// What one device got since from, in order, as "volume 500, play".
std::string SentTo(const RecordingMci& mci, MCIDEVICEID device, size_t from = 0) {
    std::string sent;
    for (size_t i = from; i < mci.sent.size(); ++i) {
        if (mci.sent[i].device != device) continue;
        if (!sent.empty()) sent += ", ";
        sent += mci.sent[i].command == MCI_PLAY ? "play" : "volume " + std::to_string(mci.sent[i].value);
    }
    return sent;
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

    TEST_CASE("a typed genre is looked up by name, or read as a whole number up to 255") {
        CHECK(GenreByteOf("  rock  ") == 17);
        CHECK(GenreByteOf("ROCK") == 17);
        CHECK(GenreByteOf("\tRock & Roll\r\n") == 78);
        CHECK(GenreByteOf("17") == 17);
        CHECK(GenreByteOf(" 200 ") == 200);
        CHECK(GenreByteOf("256") == 255);
        CHECK(GenreByteOf("-3") == 255);
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
        // The volume at start goes to no device, and nothing plays.
        REQUIRE(player.mci.sent.size() == 1);
        CHECK(player.mci.sent[0].command == MCI_SETAUDIO);
        CHECK(player.mci.sent[0].device == 0);
        CHECK(player.mci.sent[0].value == 500);
        CHECK(player.mci.sent[0].item == MCI_DGV_SETAUDIO_VOLUME);
        CHECK(player.mci.sent[0].flags == (MCI_DGV_SETAUDIO_ITEM | MCI_DGV_SETAUDIO_VALUE));
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

        const size_t mark = player.mci.sent.size();
        player.ClickTrack(0, true);
        CHECK(f->FileListBox1->ItemIndex() == 0);
        CHECK(PumpUntil([&] { return player.Playing(); }, 3000));
        CHECK(SentTo(player.mci, f->MediaPlayer1->DeviceID(), mark) == "volume 500, play");
        CHECK(player.Panel(0) == "1 z 2");
        // A file without a trailer describes itself as faulty.
        CHECK(f->edTitle->Text() == "Błąd!");

        // From the keyboard: Down selects and loads the next file, Enter plays it as a double click does.
        f->MediaPlayer1->Close();
        const size_t keys = player.mci.sent.size();
        f->FileListBox1->SetFocus();
        PostMessageW(f->FileListBox1->Handle(), WM_KEYDOWN, VK_DOWN, 0);
        PumpFor(150);
        CHECK(f->FileListBox1->ItemIndex() == 1);
        CHECK_FALSE(player.Playing());
        PostMessageW(f->FileListBox1->Handle(), WM_KEYDOWN, VK_RETURN, 0);
        PostMessageW(f->FileListBox1->Handle(), WM_CHAR, VK_RETURN, 0);
        CHECK(PumpUntil([&] { return player.Playing(); }, 3000));
        CHECK(f->MediaPlayer1->FileName() == player.File("b.mp3"));
        CHECK(SentTo(player.mci, f->MediaPlayer1->DeviceID(), keys) == "volume 500, play");
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
        DeleteFileW(ToWide(player.File("b.mp3")).c_str());
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

    TEST_CASE("names in any script are listed, described, played and advanced; the description keeps its one byte") {
        const Bytes clip = Clip("tone1s.mp3");
        const std::vector<std::string> names{"Дом.mp3", "Mø.mp3", "東京.mp3", "Niño.mp3", "zażółć.mp3"};
        Start start{.files = {}, .argument = "", .readOnly = {}, .folder = "Søren Дом 東京"};
        for (const std::string& name : names) start.files.emplace_back(name, clip + BytesOf(SampleTag));
        PlayerWindow player(start);
        TForm1* f = player.form;
        const std::vector<std::string> listed = f->FileListBox1->Items().ToVector();
        CHECK(std::set<std::string>(listed.begin(), listed.end()) == std::set<std::string>(names.begin(), names.end()));
        CHECK(std::is_sorted(listed.begin(), listed.end(),
                             [](const std::string& a, const std::string& b) { return AnsiCompareText(a, b) < 0; }));
        CHECK(f->TrackFolder() == player.Folder());
        auto indexOf = [&](const std::string& name) { return int(std::find(listed.begin(), listed.end(), name) - listed.begin()); };

        // A click describes; Polish letters are saved as the one byte each they always were.
        player.ClickTrack(indexOf("Дом.mp3"));
        REQUIRE(player.ShowsDescription());
        CHECK(f->Edit1->Text() == "Дом");
        CHECK(f->edArtist->Text() == "Artist");
        f->edTitle->SetText("Żółw");
        {
            BoxAnswerer yes(IDYES);
            player.ClickToolButton(f->SpeedButton1);
            REQUIRE(PumpUntil([&] { return yes.Seen().size() == 2; }, 3000));
        }
        const Bytes saved = ReadBytes(player.File("Дом.mp3"));
        CHECK(Bytes(saved.end() - 125, saved.end() - 120) == Bytes{0xAF, 0xF3, 0xB3, 0x77, ' '});
        // A letter the description cannot hold is refused, naming it and its field; nothing is written.
        f->edTitle->SetText("Mój Дом");
        {
            BoxAnswerer yes(IDYES);
            player.ClickToolButton(f->SpeedButton1);
            PumpFor(200);
            REQUIRE(yes.Seen().size() == 1);
            CHECK(yes.Seen()[0].text == "Znaków „Дом” nie można zapisać w opisie utworu (pole Tytuł).");
        }
        CHECK(ReadBytes(player.File("Дом.mp3")) == saved);
        CHECK(f->edTitle->Text() == "Mój Дом");
        player.ClickTrack(indexOf("Дом.mp3"));
        CHECK(f->edTitle->Text() == "Żółw" + std::string(26, ' '));  // as stored, blanks included

        // A double click plays; the end of the track plays the next one.
        const int first = indexOf("東京.mp3");
        player.ClickTrack(first, true);
        REQUIRE(PumpUntil([&] { return player.Playing(); }, 3000));
        CHECK(f->MediaPlayer1->FileName() == player.File("東京.mp3"));
        const int next = (first + 1) % int(names.size());
        REQUIRE(PumpUntil([&] { return f->FileListBox1->ItemIndex() == next && player.Playing(); }, 6000));
        CHECK(f->MediaPlayer1->FileName() == player.File(listed[size_t(next)]));
    }

    TEST_CASE("a track in a deep folder plays although the label shows the folder shortened") {
        TempDir root;
        std::string deep = root.Path();
        for (const char* part : {"Muzyka z bardzo długą nazwą folderu", "Rock i pokrewne gatunki muzyczne",
                                 "Zespół o przydługiej nazwie", "Album"}) {
            deep += "\\";
            deep += part;
            CreateDirectoryW(ToWide(deep).c_str(), nullptr);
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
        size_t mark = player.mci.sent.size();
        REQUIRE(PumpUntil([&] { return f->FileListBox1->ItemIndex() == 0; }, 6000));
        CHECK(PumpUntil([&] { return player.Playing(); }, 3000));
        CHECK(player.Panel(0) == "1 z 2");
        CHECK(f->Edit1->Text() == "a");
        // The spin's volume goes to the new track's device before it plays.
        CHECK(VolumesSent(player.mci, mark) == std::vector<DWORD>{500});
        CHECK(SentTo(player.mci, f->MediaPlayer1->DeviceID(), mark) == "volume 500, play");

        // A file gone from the folder, and one the device cannot play, are passed over quietly.
        {
            PlayerWindow skipping(Start{.files = {{"a.mp3", Clip("tone1s.mp3")}, {"b.mp3", Clip("tone1s.mp3")},
                                                  {"c.mp3", TextBytes("tekst")}, {"d.mp3", Clip("tone1s.mp3")}},
                                        .argument = "", .readOnly = {}});
            BoxAnswerer boxes;
            skipping.ClickTrack(0, true);
            REQUIRE(PumpUntil([&] { return skipping.Playing(); }, 3000));
            REQUIRE(DeleteFileW(ToWide(skipping.File("b.mp3")).c_str()));
            CHECK(PumpUntil([&] { return skipping.form->FileListBox1->ItemIndex() == 3 && skipping.Playing(); }, 6000));
            CHECK(skipping.form->MediaPlayer1->FileName() == skipping.File("d.mp3"));
            CHECK(boxes.Seen().empty());
        }

        PlayerWindow single(Start{.files = {{"only.mp3", Clip("tone1s.mp3")}}, .argument = "", .readOnly = {}});
        single.ClickTrack(0, true);
        REQUIRE(PumpUntil([&] { return single.Playing(); }, 3000));
        // The replay opens the track anew, and its device gets the volume first.
        mark = single.mci.sent.size();
        REQUIRE(PumpUntil([&] { return single.mci.sent.size() >= mark + 2; }, 6000));
        CHECK(PumpUntil([&] { return single.Playing(); }, 3000));
        CHECK(SentTo(single.mci, single.form->MediaPlayer1->DeviceID(), mark) == "volume 500, play");
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

    TEST_CASE("the slider seeks and the position text follows at once; the music goes on, also through a save") {
        PlayerWindow player(Start{.files = {{"a.mp3", Clip("tone1s.mp3")}, {"b.mp3", Clip("tone4s.mp3")}},
                                  .argument = "", .readOnly = {}});
        TForm1* f = player.form;
        player.ClickTrack(1);
        REQUIRE(f->TrackBar1->Max() == 4);
        f->TrackBar1->SetFocus();
        PostMessageA(f->TrackBar1->Handle(), WM_KEYDOWN, VK_RIGHT, 0);
        PostMessageA(f->TrackBar1->Handle(), WM_KEYUP, VK_RIGHT, 0xC0000000);
        PumpFor(150);
        CHECK(f->TrackBar1->Position() == 1);
        CHECK(player.Panel(2) == FormatTrackTime(1000));
        CHECK(f->MediaPlayer1->Position() / 100 == 10);
        CHECK_FALSE(player.Playing());  // a loaded track stays as it was

        // While playing, the sound goes on from the new place; moved to the end, the next track plays.
        player.ClickTrack(1, true);
        REQUIRE(PumpUntil([&] { return player.Playing(); }, 3000));
        const size_t mark = player.mci.sent.size();
        PostMessageA(f->TrackBar1->Handle(), WM_KEYDOWN, VK_RIGHT, 0);
        PumpFor(150);
        CHECK(player.Playing());
        CHECK(f->MediaPlayer1->Position() >= 1000);
        // (Under Wine the seek itself is a play from the place, stopped at once.)
        CHECK(SentTo(player.mci, f->MediaPlayer1->DeviceID(), mark).ends_with("volume 500, play"));
        PostMessageA(f->TrackBar1->Handle(), WM_KEYDOWN, VK_END, 0);
        PumpFor(150);
        CHECK(f->FileListBox1->ItemIndex() == 0);
        CHECK(player.Playing());

        // The save takes the playing track's file for a moment; the sound goes on from where it was.
        player.ClickTrack(1, true);
        REQUIRE(PumpUntil([&] { return player.Playing() && f->MediaPlayer1->Position() > 500; }, 3000));
        {
            BoxAnswerer yes(IDYES);
            player.ClickToolButton(f->SpeedButton1);
            REQUIRE(PumpUntil([&] { return yes.Seen().size() == 2; }, 3000));
            CHECK(player.Playing());
            CHECK(f->MediaPlayer1->Position() > 500);
        }
        CHECK(LastBytes(ReadBytes(player.File("b.mp3")), TrackTagSize)[0] == 'T');
    }

    TEST_CASE("every action from the keyboard: each shortcut does what its button does; an edit keeps its keys") {
        PlayerWindow player(Start{.files = {{"a.mp3", Clip("tone4s.mp3")}, {"b.mp3", Clip("tone4s.mp3")}},
                                  .argument = "", .readOnly = {}});
        TForm1* f = player.form;
        // A key pressed in window, with Ctrl held or not.
        auto press = [](HWND window, WPARAM key, bool ctrl = true) {
            BYTE keys[256];
            GetKeyboardState(keys);
            keys[VK_CONTROL] = ctrl ? 0x80 : 0;
            SetKeyboardState(keys);
            PostMessageW(window, WM_KEYDOWN, key, 0);
            PostMessageW(window, WM_KEYUP, key, LPARAM(0xC0000000));
            PumpFor(150);
            keys[VK_CONTROL] = 0;
            SetKeyboardState(keys);
        };
        // The question a shortcut brings up, answered No.
        auto question = [&](HWND window, WPARAM key) {
            BoxAnswerer no(IDNO);
            press(window, key);
            PumpUntil([&] { return !no.Seen().empty(); }, 3000);
            return no.Seen().empty() ? std::string() : no.Seen()[0].caption;
        };
        player.ClickTrack(0);
        f->DirectoryListBox1->SetFocus();
        HWND tree = f->DirectoryListBox1->Handle();
        press(tree, 'P');
        CHECK(PumpUntil([&] { return player.Playing(); }, 3000));
        press(tree, 'P');
        CHECK(f->MediaPlayer1->Mode() == mdPaused);
        press(tree, 'P');
        CHECK(player.Playing());
        press(tree, 'M');
        CHECK(f->SpeedButton6->Down());
        CHECK(player.mci.sent.back().value == 0);
        press(tree, 'M');
        CHECK(f->SpeedButton5->Down());
        CHECK(player.mci.sent.back().value == 500);
        press(tree, VK_RIGHT);  // 10 s on: past the end of this track, so the next one plays
        CHECK(f->FileListBox1->ItemIndex() == 1);
        CHECK(player.Playing());
        press(tree, VK_LEFT);
        CHECK(f->MediaPlayer1->Position() < 1000);
        CHECK(player.Playing());
        press(tree, 'T');
        CHECK(f->MediaPlayer1->Mode() == mdStopped);
        // Space in the file list plays and pauses.
        f->FileListBox1->SetFocus();
        press(f->FileListBox1->Handle(), VK_SPACE, false);
        CHECK(PumpUntil([&] { return player.Playing(); }, 3000));
        press(f->FileListBox1->Handle(), VK_SPACE, false);
        CHECK(f->MediaPlayer1->Mode() == mdPaused);

        f->DirectoryListBox1->SetFocus();
        const bool folders = player.ShowsFolders();
        press(tree, 'W');
        CHECK(player.ShowsFolders() != folders);
        CHECK(player.ShowsDescription() == folders);
        if (!player.ShowsDescription()) press(tree, 'W');
        REQUIRE(player.ShowsDescription());
        CHECK(question(tree, 'S') == "Brumik: Zapis opisu utworu");
        CHECK(question(tree, 'N') == "Brumik: Notatka o programie");
        CHECK(question(tree, 'U') == "Brumik: Warunki użytkowania");
        CHECK(question(tree, 'Q') == "Brumik: Potwierdzenie operacji");
        CHECK_FALSE(Application->Terminated());

        // In a text field Ctrl+arrows move the caret and Space is typed, as ever.
        player.ClickTrack(0);
        f->edTitle->SetText("Dwa słowa");
        f->edTitle->SetFocus();
        f->edTitle->SetSelStart(0);
        const int before = f->MediaPlayer1->Position();
        press(f->edTitle->Handle(), VK_RIGHT);
        CHECK(f->edTitle->SelStart() == 4);
        CHECK(f->MediaPlayer1->Position() == before);
        PostMessageW(f->edTitle->Handle(), WM_CHAR, L' ', 0);
        PumpFor(100);
        CHECK(f->edTitle->Text() == "Dwa  słowa");
    }

    TEST_CASE("silence sends volume 0; the spin, the media bar and the next track bring the volume back") {
        PlayerWindow player;
        TForm1* f = player.form;
        player.ClickTrack(0, true);
        REQUIRE(PumpUntil([&] { return player.Playing(); }, 3000));
        size_t mark = player.mci.sent.size();
        player.ClickToolButton(f->SpeedButton6);
        CHECK(f->SpeedButton6->Down());
        CHECK_FALSE(f->SpeedButton5->Down());
        CHECK(VolumesSent(player.mci, mark) == std::vector<DWORD>{0});
        CHECK(SentTo(player.mci, f->MediaPlayer1->DeviceID(), mark) == "volume 0");

        // A new volume is meant to be heard: the sound comes back and "Graj" goes down.
        mark = player.mci.sent.size();
        PostMessageA(f->SpinEdit1->Handle(), WM_KEYDOWN, VK_UP, 0);
        PumpFor(100);
        CHECK(f->SpinEdit1->Value() == 51);
        CHECK(VolumesSent(player.mci, mark) == std::vector<DWORD>{510});
        CHECK(f->SpeedButton5->Down());
        CHECK_FALSE(f->SpeedButton6->Down());

        player.ClickToolButton(f->SpeedButton6);
        mark = player.mci.sent.size();
        player.ClickToolButton(f->SpeedButton5);
        CHECK(VolumesSent(player.mci, mark) == std::vector<DWORD>{510});
        CHECK(f->SpeedButton5->Down());

        // While "Cisza" is down, neither the media bar nor a newly played track is heard.
        player.ClickToolButton(f->SpeedButton6);
        mark = player.mci.sent.size();
        player.ClickMediaBar(btPause);
        CHECK(VolumesSent(player.mci, mark) == std::vector<DWORD>{0});
        CHECK(f->MediaPlayer1->Mode() == mdPaused);
        mark = player.mci.sent.size();
        player.ClickTrack(1, true);
        REQUIRE(PumpUntil([&] { return player.Playing(); }, 3000));
        CHECK(VolumesSent(player.mci, mark) == std::vector<DWORD>{0});
        CHECK(SentTo(player.mci, f->MediaPlayer1->DeviceID(), mark) == "volume 0, play");
        CHECK(f->SpeedButton6->Down());
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
        // Thirty characters of one byte each, in the description's code page.
        CHECK(std::string(written.Title, 30) == TextToTagBytes("Łódź nocą — bardzo długi tytuł"));
        CHECK(std::string(written.Artist, 30) == "Artist" + std::string(24, ' '));
        CHECK(std::string(written.Year, 4) == "1999");
        CHECK(written.Genre == 17);
        // The edits show what was saved, and saving again writes the same bytes.
        CHECK(f->edArtist->Text() == "Artist");
        CHECK(f->edTitle->Text() == "Łódź nocą — bardzo długi tytuł");
        CHECK(f->edGenre->Text() == "Rock");
        // The track the save closed is open again, as it was: loaded, not playing.
        CHECK(f->MediaPlayer1->Opened());
        CHECK_FALSE(player.Playing());
        {
            BoxAnswerer yes(IDYES);
            player.ClickToolButton(f->SpeedButton1);
            PumpUntil([&] { return yes.Seen().size() == 2; }, 3000);
        }
        CHECK(ReadBytes(player.File("b.mp3")) == after);
        // After the save the slider moves the track it took up again, quietly.
        {
            BoxAnswerer boxes;
            f->TrackBar1->SetFocus();
            PostMessageA(f->TrackBar1->Handle(), WM_KEYDOWN, VK_RIGHT, 0);
            PumpFor(150);
            CHECK(boxes.Seen().empty());
            CHECK(f->MediaPlayer1->Position() / 100 == 10);
        }

        // A file without a trailer: only the typed field is saved, the placeholders as nothing.
        player.ClickTrack(0);
        REQUIRE(f->edArtist->Text() == "Błąd!");
        f->edTitle->SetText("Nowy");
        f->edGenre->SetText("200");
        {
            BoxAnswerer yes(IDYES);
            player.ClickToolButton(f->SpeedButton1);
            PumpUntil([&] { return yes.Seen().size() == 2; }, 3000);
        }
        after = ReadBytes(player.File("a.mp3"));
        REQUIRE(after.size() == audio.size() + TrackTagSize);
        CHECK(Bytes(after.begin(), after.begin() + ptrdiff_t(audio.size())) == audio);
        CHECK(LastBytes(after, TrackTagSize) ==
              BytesOf(MakeTag("Nowy", "", "", "", "", 200, ' ')));
        CHECK(f->edArtist->Text().empty());
        CHECK(f->edGenre->Text() == "200");
    }

    TEST_CASE("a save answered No, or refused by the system, changes nothing; a refusal says why") {
        PlayerWindow player;
        TForm1* f = player.form;
        player.ClickTrack(0);
        const Bytes before = ReadBytes(player.File("a.mp3"));
        {
            BoxAnswerer no(IDNO);
            player.ClickToolButton(f->SpeedButton1);
            PumpUntil([&] { return no.Seen().size() == 1; }, 3000);
        }
        CHECK(ReadBytes(player.File("a.mp3")) == before);
        CHECK(f->edTitle->Text() == "Błąd!");
        CHECK(f->MediaPlayer1->Opened());

        // A title pasted longer than the description holds is cut by the field itself.
        const std::wstring pasted(45, L'ż');
        REQUIRE(OpenClipboard(f->Handle()));
        EmptyClipboard();
        HGLOBAL clip = GlobalAlloc(GMEM_MOVEABLE, (pasted.size() + 1) * sizeof(wchar_t));
        std::memcpy(GlobalLock(clip), pasted.c_str(), (pasted.size() + 1) * sizeof(wchar_t));
        GlobalUnlock(clip);
        SetClipboardData(CF_UNICODETEXT, clip);
        CloseClipboard();
        SendMessageW(f->edTitle->Handle(), EM_SETSEL, 0, -1);
        SendMessageW(f->edTitle->Handle(), WM_PASTE, 0, 0);
        CHECK(f->edTitle->Text() == ToUtf8(pasted.substr(0, 30)));

        auto refusal = [&](const std::string& reason) {
            BoxAnswerer yes(IDYES);
            player.ClickToolButton(f->SpeedButton1);
            PumpUntil([&] { return yes.Seen().size() == 2; }, 3000);
            PumpFor(100);
            REQUIRE(yes.Seen().size() == 2);
            CHECK(yes.Seen()[1].text ==
                  "Opisu utworu nie zapisano w pliku: \r\n" + player.File("a.mp3") + "\r\n" + reason + "\r\nPlik pozostał bez zmian.");
            CHECK(ReadBytes(player.File("a.mp3")) == before);
        };
        {
            // Another program holds the file open and lets nobody write to it.
            UniqueFileHandle held(CreateFileW(ToWide(player.File("a.mp3")).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                              OPEN_EXISTING, 0, nullptr));
            REQUIRE(held.Valid());
            refusal("plik jest otwarty w innym programie.");
        }
        ReadOnlyFile locked(player.File("a.mp3"));
        refusal("plik albo nośnik jest tylko do odczytu.");
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

    TEST_CASE("the command-line start with a read-only file shows the folder view and plays") {
        PlayerWindow player(Start{.argument = "a.mp3", .readOnly = {"a.mp3"}});
        CHECK(player.startBoxes.empty());
        CHECK(player.ShowsFolders());
        CHECK_FALSE(player.form->SpeedButton1->Visible());
        CHECK(PumpUntil([&] { return player.Playing(); }, 3000));
    }

    TEST_CASE("a file the device refuses, or one of 0 bytes, brings one notice of the program's own") {
        const Bytes text = TextBytes("to nie jest plik dźwiękowy, tylko tekst");
        const std::string tail = "nie można odtworzyć: nie jest to plik MP3, który Brumik potrafi odtworzyć, albo jest uszkodzony.";
        {
            PlayerWindow started(Start{.files = {{"x.mp3", text}}, .argument = "x.mp3", .readOnly = {}});
            REQUIRE(started.startBoxes.size() == 1);
            CHECK(started.startBoxes[0].caption == Application->Title());
            CHECK(started.startBoxes[0].text == "Wskazanego pliku mp3: \r\n" + started.File("x.mp3") + "\r\n" + tail);
            CHECK(started.Panel(0) == "1 z 1");
            CHECK(started.Panel(1) == "Czas");
            CHECK_FALSE(started.form->MediaPlayer1->Opened());
            CHECK(IsWindowEnabled(started.form->Handle()));
        }
        // In the folder: a double click on each bad file tells once, and nothing is retried behind it.
        PlayerWindow player(Start{.files = {{"x.mp3", text}, {"y.mp3", Clip("tone1s.mp3")}, {"z.mp3", {}}},
                                  .argument = "", .readOnly = {}});
        player.ClickTrack(1, true);
        REQUIRE(PumpUntil([&] { return player.Playing(); }, 3000));
        for (const char* name : {"x.mp3", "z.mp3"}) {
            CAPTURE(name);
            BoxAnswerer ok;
            const int index = player.form->FileListBox1->Items().IndexOf(name);
            player.ClickTrack(index, true);
            PumpFor(300);
            REQUIRE(ok.Seen().size() == 1);
            CHECK(ok.Seen()[0].text == "Wskazanego pliku mp3: \r\n" + player.File(name) + "\r\n" + tail);
            CHECK_FALSE(player.form->MediaPlayer1->Opened());
            CHECK(player.Panel(0) == std::to_string(index + 1) + " z 3");
            CHECK(player.Panel(1) == "Czas");
        }
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
        // Yes: the note's question, and no other box when no choice of the user's stands in the way.
        auto answerYes = [&] {
            BoxAnswerer yes(IDYES);
            player.ClickToolButton(player.form->SpeedButton3);
            PumpUntil([&] { return yes.Seen().size() >= 1; }, 3000);
            PumpFor(200);
            std::vector<std::string> notices;
            for (size_t i = 1; i < yes.Seen().size(); ++i) notices.push_back(yes.Seen()[i].text);
            return notices;
        };
        CHECK(answerYes().empty());
        auto defaultValue = [](const std::string& path, HKEY root = HKEY_CLASSES_ROOT) {
            wchar_t value[1024] = {};
            DWORD size = sizeof value;
            return RegGetValueW(root, ToWide(path).c_str(), nullptr, RRF_RT_REG_SZ, nullptr, value, &size) == ERROR_SUCCESS
                       ? ToUtf8(value)
                       : "?";
        };
        const std::string exe = Application->ExeName();
        CHECK(defaultValue(".mp3") == "mp3_file");
        CHECK(defaultValue("mp3_file") == "Plik MP3");
        CHECK(defaultValue("mp3_file\\DefaultIcon") == exe + ",0");
        CHECK(defaultValue("mp3_file\\shell\\open\\command") == "\"" + exe + "\" \"%1\"");
        // A program kept in a folder with letters of any script is named exactly.
        const std::string elsewhere = "C:\\Muzyka\\Søren Дом 東京\\brumik.exe";
        RegisterMp3Association(elsewhere, ".mp3", "mp3_file", "Plik MP3");
        CHECK(defaultValue("mp3_file\\shell\\open\\command") == "\"" + elsewhere + "\" \"%1\"");
        RegDeleteTreeA(HKEY_CLASSES_ROOT, "mp3_file");
        RegDeleteTreeA(HKEY_CLASSES_ROOT, ".mp3");

        // Where the machine's classes refuse the keys, as Windows 10 and 11 do to a standard
        // user, the user's own classes take the same four; where both refuse, the user is told.
        static bool refuseAll;
        refuseAll = false;
        struct SeamGuard {
            TRegistry::CreateKeyProc saved = TRegistry::CreateKeySeam();
            ~SeamGuard() { TRegistry::CreateKeySeam() = saved; }
        } guard;
        TRegistry::CreateKeySeam() = [](HKEY base, LPCWSTR key, DWORD reserved, LPWSTR type, DWORD options, REGSAM access,
                                        LPSECURITY_ATTRIBUTES security, PHKEY result, LPDWORD disposition) -> LSTATUS {
            if (refuseAll || base == HKEY_CLASSES_ROOT) return ERROR_ACCESS_DENIED;
            return RegCreateKeyExW(base, key, reserved, type, options, access, security, result, disposition);
        };
        const std::string userClasses = "Software\\Classes\\";
        const std::string userChoice = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts\\.mp3";
        CHECK(answerYes().empty());
        CHECK(defaultValue(".mp3") == "?");
        CHECK(defaultValue(userClasses + ".mp3", HKEY_CURRENT_USER) == "mp3_file");
        CHECK(defaultValue(userClasses + "mp3_file", HKEY_CURRENT_USER) == "Plik MP3");
        CHECK(defaultValue(userClasses + "mp3_file\\DefaultIcon", HKEY_CURRENT_USER) == exe + ",0");
        CHECK(defaultValue(userClasses + "mp3_file\\shell\\open\\command", HKEY_CURRENT_USER) == "\"" + exe + "\" \"%1\"");

        HKEY choice = nullptr;
        REQUIRE(RegCreateKeyExW(HKEY_CURRENT_USER, ToWide(userChoice + "\\UserChoice").c_str(), 0, nullptr, 0, KEY_WRITE,
                                nullptr, &choice, nullptr) == ERROR_SUCCESS);
        RegCloseKey(choice);
        CHECK(answerYes() == std::vector<std::string>{
                                 "Brumik jest zarejestrowany jako program do plików MP3. Windows będzie nim otwierać pliki "
                                 "MP3, gdy wybierzesz go w: Ustawienia > Aplikacje > Aplikacje domyślne."});
        refuseAll = true;
        CHECK(answerYes() == std::vector<std::string>{"Nie udało się skojarzyć plików MP3 z programem Brumik: system nie "
                                                      "pozwolił zapisać skojarzenia w rejestrze."});
        for (const std::string& key : {userClasses + ".mp3", userClasses + "mp3_file", userChoice})
            RegDeleteTreeW(HKEY_CURRENT_USER, ToWide(key).c_str());
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

    TEST_CASE("the terms link asks first: No opens nothing, Yes hands the address to the shell") {
        static std::vector<std::string> calls;
        calls.clear();
        PlayerWindow player;
        player.form->ShellOpen = [](HWND owner, LPCWSTR verb, LPCWSTR file, LPCWSTR parameters, LPCWSTR folder, INT show) {
            const bool usual = owner == GetDesktopWindow() && !parameters && !folder && show == SW_SHOWNORMAL;
            calls.push_back(ToUtf8(verb) + " " + ToUtf8(file) + (usual ? "" : " (other arguments)"));
            return HINSTANCE(INT_PTR(33));
        };
        for (int answer : {IDNO, IDYES}) {
            BoxAnswerer box(answer);
            PostMessageA(player.form->BitBtn1->Handle(), BM_CLICK, 0, 0);
            PumpUntil([&] { return box.Seen().size() == 1; }, 3000);
            PumpFor(100);
            REQUIRE(box.Seen().size() == 1);
            CHECK(box.Seen()[0].caption == "Brumik: Warunki użytkowania");
            CHECK(box.Seen()[0].text == "Wymaga łącza z Internetem!\r\nZgoda na połączenie?");
            CHECK(calls.size() == (answer == IDYES ? 1u : 0u));
        }
        CHECK(calls == std::vector<std::string>{"open https://brumik.pl/warunki-uzytkowania.pdf"});
    }

    TEST_CASE("every started track plays at the volume shown, with Pause usable and its position running") {
        // Started from the command line, the list holds b.mp3 alone; it lasts long
        // enough for the one-second timer to tick twice before its end.
        PlayerWindow player(Start{.files = {{"a.mp3", Clip("tone1s.mp3")}, {"b.mp3", Clip("tone4s.mp3")}},
                                  .argument = "b.mp3", .readOnly = {}});
        TForm1* f = player.form;
        REQUIRE(PumpUntil([&] { return player.Playing(); }, 3000));
        CHECK(SentTo(player.mci, f->MediaPlayer1->DeviceID()) == "volume 500, play");
        CHECK(f->MediaPlayer1->Buttons(btPause).Auto);
        CHECK_FALSE(f->MediaPlayer1->Buttons(btPlay).Auto);

        // The device counts its position once the sound is under way, which a busy machine may delay.
        REQUIRE(PumpUntil([&] { return f->MediaPlayer1->Position() > 300; }, 3000));
        player.ClickMediaBar(btPause);
        REQUIRE(f->MediaPlayer1->Mode() == mdPaused);
        CHECK_FALSE(f->Timer1->Enabled());
        const int pausedAt = f->MediaPlayer1->Position();
        REQUIRE(pausedAt > 300);
        // Play after Pause goes on from where it stopped, and the position keeps counting.
        player.ClickMediaBar(btPlay);
        CHECK(player.Playing());
        CHECK(f->Timer1->Enabled());
        CHECK(f->MediaPlayer1->Position() >= pausedAt);

        // Paused again, then the track started from the list: its position runs.
        player.ClickMediaBar(btPause);
        REQUIRE_FALSE(f->Timer1->Enabled());
        const size_t mark = player.mci.sent.size();
        player.ClickTrack(0, true);
        REQUIRE(PumpUntil([&] { return player.Playing(); }, 3000));
        CHECK(SentTo(player.mci, f->MediaPlayer1->DeviceID(), mark) == "volume 500, play");
        CHECK(f->MediaPlayer1->Buttons(btPause).Auto);
        // The timer moves the slider and panel 2 together.
        CHECK(PumpUntil([&] { return f->TrackBar1->Position() >= 1; }, 3500));
        CHECK(player.Panel(2) == FormatTrackTime(f->TrackBar1->Position() * 1000));
    }

    TEST_CASE("a command-line start with a missing file tells so and opens as without a file") {
        PlayerWindow player(Start{.argument = "gone.mp3", .readOnly = {}});
        REQUIRE(player.startBoxes.size() == 1);
        CHECK(player.startBoxes[0].text == "Wskazany plik mp3: \r\n" + player.File("gone.mp3") + "\r\nnie jest dostępny!");
        CHECK(player.form->FileListBox1->Items().ToVector() == std::vector<std::string>{"a.mp3", "b.mp3"});
        CHECK(player.ShowsFolders());
        CHECK_FALSE(player.form->MediaPlayer1->Opened());
        CHECK(player.Panel(0) == "Nr pliku");
    }

    TEST_CASE("a folder change while a track plays: save and the track's end act on the new folder, quietly") {
        PlayerWindow player;
        TForm1* f = player.form;
        const std::string other = player.File("inne"), empty = player.File("pusty");
        CreateDirectoryW(ToWide(other).c_str(), nullptr);
        CreateDirectoryW(ToWide(empty).c_str(), nullptr);
        WriteBytes(other + "\\x.mp3", Clip("tone1s.mp3"));
        WriteBytes(other + "\\y.mp3", Clip("tone1s.mp3"));
        player.ClickTrack(1, true);
        REQUIRE(PumpUntil([&] { return player.Playing(); }, 3000));
        const std::string title = f->edTitle->Text();
        BoxAnswerer boxes(IDYES);
        f->DirectoryListBox1->SetDirectory(other);
        REQUIRE(f->FileListBox1->ItemIndex() == -1);

        // Nothing is selected: the save only tells so; the music goes on.
        player.ClickToolButton(f->SpeedButton1);
        PumpUntil([&] { return !boxes.Seen().empty(); }, 3000);
        REQUIRE(boxes.Seen().size() == 1);
        CHECK(boxes.Seen()[0].text == "Opis utworu można zapisać dopiero po wybraniu pliku z listy!");
        CHECK(player.Playing());
        CHECK(f->edTitle->Text() == title);

        // The end of the track plays the first file of the new folder.
        REQUIRE(PumpUntil([&] { return f->FileListBox1->ItemIndex() == 0; }, 4000));
        CHECK(AnsiCompareText(f->MediaPlayer1->FileName(), other + "\\x.mp3") == 0);
        CHECK(PumpUntil([&] { return player.Playing(); }, 3000));

        // Its end in a folder without tracks ends playing quietly.
        f->DirectoryListBox1->SetDirectory(empty);
        CHECK(PumpUntil([&] { return !player.Playing(); }, 4000));
        PumpFor(300);
        CHECK(boxes.Seen().size() == 1);
        CHECK(f->FileListBox1->Items().Count() == 0);
    }
}

namespace {

// A media key as the system sends it to the window; gives the window's answer.
LRESULT PressMediaKey(TForm1* form, int command) {
    const LRESULT taken = SendMessageA(form->Handle(), WM_APPCOMMAND, WPARAM(form->Handle()),
                                       MAKELPARAM(0, command | FAPPCOMMAND_KEY));
    PumpFor(150);
    return taken;
}

// Drops paths on the window as the shell does: a DROPFILES block of UTF-16 names in global memory.
HGLOBAL DropPaths(TForm1* form, const std::vector<std::string>& paths) {
    std::wstring list;
    for (const std::string& path : paths) list += ToWide(path) + L'\0';
    list += L'\0';
    const size_t listBytes = list.size() * sizeof(wchar_t);
    HGLOBAL drop = GlobalAlloc(GHND, sizeof(DROPFILES) + listBytes);
    auto* files = static_cast<DROPFILES*>(GlobalLock(drop));
    files->pFiles = sizeof(DROPFILES);
    files->fWide = TRUE;
    std::memcpy(reinterpret_cast<char*>(files) + sizeof(DROPFILES), list.data(), listBytes);
    GlobalUnlock(drop);
    PostMessageA(form->Handle(), WM_DROPFILES, WPARAM(drop), 0);
    PumpFor(300);
    return drop;
}

}  // namespace

TEST_SUITE("Main window") {
    TEST_CASE("media keys play, pause, stop, step through the list and set the volume as the window's own buttons") {
        PlayerWindow player(Start{.files = {{"a.mp3", Clip("tone2s.mp3")}, {"b.mp3", Clip("tone2s.mp3")},
                                            {"c.mp3", Clip("tone2s.mp3")}}, .argument = "", .readOnly = {}});
        TForm1* f = player.form;
        // No track: the system may have the keys.
        CHECK(PressMediaKey(f, APPCOMMAND_MEDIA_PLAY_PAUSE) == 0);
        CHECK(PressMediaKey(f, APPCOMMAND_MEDIA_STOP) == 0);
        CHECK_FALSE(f->MediaPlayer1->Opened());

        size_t mark = player.mci.sent.size();
        CHECK(PressMediaKey(f, APPCOMMAND_MEDIA_NEXTTRACK) != 0);
        CHECK(f->FileListBox1->ItemIndex() == 0);
        CHECK(player.Playing());
        CHECK(SentTo(player.mci, f->MediaPlayer1->DeviceID(), mark) == "volume 500, play");
        mark = player.mci.sent.size();
        CHECK(PressMediaKey(f, APPCOMMAND_MEDIA_PREVIOUSTRACK) != 0);
        CHECK(f->FileListBox1->ItemIndex() == 2);
        CHECK(player.Panel(0) == "3 z 3");
        CHECK(player.Playing());
        CHECK(SentTo(player.mci, f->MediaPlayer1->DeviceID(), mark) == "volume 500, play");
        PressMediaKey(f, APPCOMMAND_MEDIA_NEXTTRACK);
        CHECK(f->FileListBox1->ItemIndex() == 0);
        CHECK(player.Playing());

        PressMediaKey(f, APPCOMMAND_MEDIA_PLAY_PAUSE);
        CHECK(f->MediaPlayer1->Mode() == mdPaused);
        CHECK(f->MediaPlayer1->Buttons(btPlay).Auto);
        PressMediaKey(f, APPCOMMAND_MEDIA_PLAY_PAUSE);
        CHECK(player.Playing());
        CHECK(f->MediaPlayer1->Buttons(btPause).Auto);
        PressMediaKey(f, APPCOMMAND_MEDIA_STOP);
        CHECK(f->MediaPlayer1->Mode() == mdStopped);

        mark = player.mci.sent.size();
        PressMediaKey(f, APPCOMMAND_VOLUME_UP);
        PressMediaKey(f, APPCOMMAND_VOLUME_DOWN);
        PressMediaKey(f, APPCOMMAND_VOLUME_DOWN);
        CHECK(f->SpinEdit1->Value() == 45);
        CHECK(VolumesSent(player.mci, mark) == std::vector<DWORD>{550, 500, 450});
        mark = player.mci.sent.size();
        PressMediaKey(f, APPCOMMAND_VOLUME_MUTE);
        CHECK(f->SpeedButton6->Down());
        PressMediaKey(f, APPCOMMAND_VOLUME_MUTE);
        CHECK(f->SpeedButton5->Down());
        CHECK(VolumesSent(player.mci, mark) == std::vector<DWORD>{0, 450});
        // At either end of the scale the system's volume takes the key.
        f->SpinEdit1->SetValue(100);
        CHECK(PressMediaKey(f, APPCOMMAND_VOLUME_UP) == 0);
        f->SpinEdit1->SetValue(0);
        CHECK(PressMediaKey(f, APPCOMMAND_VOLUME_DOWN) == 0);
        CHECK(f->SpinEdit1->Value() == 0);
        CHECK(PressMediaKey(f, APPCOMMAND_BROWSER_BACKWARD) == 0);
    }

    TEST_CASE("a file named on the command line or dropped on the window is listed alone, described and played") {
        const Start start{.files = {{"a.mp3", Clip("tone1s.mp3")}, {"b.mp3", Clip("tone2s.mp3") + BytesOf(SampleTag)}},
                          .argument = "", .readOnly = {}};
        std::unique_ptr<PlayerWindow> player;
        std::string folder, name;
        std::vector<SeenBox> boxes;
        size_t mark = 0;
        SUBCASE("named on the command line") {
            Start named = start;
            named.argument = "b.mp3";
            player = std::make_unique<PlayerWindow>(named);
            folder = player->Folder();
            name = "b";
            boxes = player->startBoxes;
        }
        SUBCASE("dropped among other paths: the first MP3 of them") {
            player = std::make_unique<PlayerWindow>(start);
            // Names outside the system code page play as any other.
            folder = player->File("Søren Дом");
            name = "東京 Niño";
            CreateDirectoryW(ToWide(folder).c_str(), nullptr);
            WriteBytes(folder + "\\東京 Niño.mp3", Clip("tone2s.mp3") + BytesOf(SampleTag));
            WriteText(player->File("notatka.txt"), "tekst");
            BoxAnswerer answerer;
            mark = player->mci.sent.size();
            DropPaths(player->form, {player->File("notatka.txt"), folder, folder + "\\東京 Niño.mp3", player->File("a.mp3")});
            boxes = answerer.Seen();
        }
        TForm1* f = player->form;
        CHECK(boxes.empty());
        CHECK(f->Label1->Caption() == folder);
        CHECK(f->FileListBox1->Items().ToVector() == std::vector<std::string>{name + ".mp3"});
        CHECK(player->Panel(0) == "1 z 1");
        CHECK(player->Panel(1) == FormatTrackTime(f->MediaPlayer1->Length()));
        CHECK(f->Edit1->Text() == name);
        CHECK(f->edArtist->Text() == "Artist");
        CHECK(f->GroupBox1->Visible());
        CHECK(f->Panel2->Visible());
        // Both views are shown; the description lies above the folders.
        POINT centre{f->GroupBox1->Left() + 105, f->GroupBox1->Top() + 112};
        CHECK(ChildWindowFromPointEx(f->Handle(), centre, CWP_SKIPINVISIBLE) == f->GroupBox1->Handle());
        CHECK(PumpUntil([&] { return player->Playing(); }, 3000));
        CHECK(SentTo(player->mci, f->MediaPlayer1->DeviceID(), mark) == "volume 500, play");
    }

    TEST_CASE("a dropped folder opens with nothing selected; anything else dropped is ignored") {
        PlayerWindow player;
        TForm1* f = player.form;
        const std::string other = player.File("Søren Дом");
        CreateDirectoryW(ToWide(other).c_str(), nullptr);
        WriteBytes(other + "\\東京 Niño.mp3", Clip("tone2s.mp3"));
        WriteText(player.File("notatka.txt"), "tekst");
        BoxAnswerer boxes;

        HGLOBAL drop = DropPaths(f, {player.File("notatka.txt")});
        CHECK(f->FileListBox1->Items().ToVector() == std::vector<std::string>{"a.mp3", "b.mp3"});
        CHECK_FALSE(f->MediaPlayer1->Opened());
        CHECK(GlobalSize(drop) == 0);  // given back

        player.ClickTrack(1);
        REQUIRE(f->FileListBox1->ItemIndex() == 1);
        DropPaths(f, {other});
        CHECK(AnsiCompareText(f->DirectoryListBox1->Directory(), other) == 0);
        CHECK(f->FileListBox1->Items().ToVector() == std::vector<std::string>{"東京 Niño.mp3"});
        CHECK(f->FileListBox1->ItemIndex() == -1);
        CHECK(boxes.Seen().empty());
    }
}

TEST_SUITE("Main window") {
    TEST_CASE("10 track changes with repaints leave no GDI object; the path label stays white, every Warunki press filled") {
        PlayerWindow player;
        TForm1* f = player.form;
        WriteBytes(player.File("b.mp3"), ReadBytes(TestDataFile("tone2s.mp3")) + BytesOf(SampleTag));
        int changes = 0;
        CHECK(GdiGrowthOver(10, [&] {
                  player.ClickTrack(changes++ % 2);
                  RedrawWindow(f->Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
              }) == 0);
        PumpFor(50);
        CHECK(ScreenPixel(f->Handle(), f->Label1->Left() + 420, f->Label1->Top() + 17) == RGB(255, 255, 255));

        // Three presses of "Warunki", each answered No. While held, the button is
        // painted over in red and drawn again, as after a window passed over it:
        // the system erases nothing first, so the pressed face must fill itself.
        HWND terms = f->BitBtn1->Handle();
        const LPARAM at = MAKELPARAM(10, 10);
        auto pixel = [terms](int x, int y) {
            HDC dc = GetDC(terms);
            const COLORREF color = GetPixel(dc, x, y);
            ReleaseDC(terms, dc);
            return color;
        };
        auto facePixel = [&] { return pixel(3, 3); };
        // Drawn pressed, the face has a shadow line just inside its frame; raised, a lit edge.
        auto drawnPressed = [&] { return ScreenPixel(terms, 1, 1) == GetSysColor(COLOR_BTNSHADOW); };
        for (int press = 1; press <= 3; ++press) {
            CAPTURE(press);
            BoxAnswerer no(IDNO);
            PostMessageA(terms, WM_LBUTTONDOWN, MK_LBUTTON, at);
            PumpFor(50);
            CHECK(drawnPressed());
            HDC dc = GetDC(terms);
            const RECT face{0, 0, f->BitBtn1->Width(), f->BitBtn1->Height()};
            HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
            FillRect(dc, &face, red);
            DeleteObject(red);
            ReleaseDC(terms, dc);
            REQUIRE(facePixel() == RGB(255, 0, 0));
            RedrawWindow(terms, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
            CHECK(facePixel() == GetSysColor(COLOR_BTNFACE));
            PostMessageA(terms, WM_LBUTTONUP, 0, at);
            PumpUntil([&] { return no.Seen().size() == 1; }, 3000);
            CHECK(no.Seen().size() == 1);
            PumpFor(50);
            CHECK_FALSE(drawnPressed());
            // As the system does when the window is active again: the focus goes back to the button.
            f->BitBtn1->SetFocus();
            PumpFor(50);
        }
    }
}
