// The navigation controls on real folders and drives under a real form: what
// the lists show, what they select, which events fire in which order, and
// where the process's current directory ends up.
#include <doctest.h>

#include <windows.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <string>
#include <vector>

#include "FileCtrl.h"
#include "TestFiles.h"
#include "WineGui.h"
#include "runtime/SysUtils.h"

namespace {

using Lines = std::vector<std::string>;

std::string CurrentDir() {
    wchar_t buffer[MAX_PATH];
    DWORD n = GetCurrentDirectoryW(MAX_PATH, buffer);
    return ToUtf8(std::wstring_view(buffer, n));
}

// Puts the process's current directory back when a test ends. Made after a
// test's folders, so that the directory has left them before they are removed.
class KeepCurrentDir {
public:
    KeepCurrentDir() : saved_(CurrentDir()) {}
    ~KeepCurrentDir() { SetCurrentDirectoryW(ToWide(saved_).c_str()); }
    KeepCurrentDir(const KeepCurrentDir&) = delete;
    KeepCurrentDir& operator=(const KeepCurrentDir&) = delete;

private:
    std::string saved_;
};

// A fresh folder directly below C:\, so that paths are short and the tree shallow.
class RootFolder {
public:
    RootFolder() {
        static int counter = 0;
        char name[64];
        std::snprintf(name, sizeof name, "C:\\fc%lu-%d", GetCurrentProcessId(), ++counter);
        path_ = name;
        CreateDirectoryW(ToWide(path_).c_str(), nullptr);
    }
    ~RootFolder() { RemoveTree(path_); }
    RootFolder(const RootFolder&) = delete;
    RootFolder& operator=(const RootFolder&) = delete;
    const std::string& Path() const { return path_; }
    std::string Sub(const std::string& relative) const { return path_ + "\\" + relative; }

private:
    std::string path_;
};

void MakeFolder(const std::string& path) { REQUIRE(CreateDirectoryW(ToWide(path).c_str(), nullptr)); }
void MakeFile(const std::string& path) { WriteText(path, "x"); }
void MakeHidden(const std::string& path) { REQUIRE(SetFileAttributesW(ToWide(path).c_str(), FILE_ATTRIBUTE_HIDDEN)); }

// b.mp3, A.MP3, c.Mp3, d.txt, a hidden e.mp3 and a folder named f.mp3.
void MakeMusicFolder(const std::string& folder) {
    for (const char* name : {"b.mp3", "A.MP3", "c.Mp3", "d.txt", "e.mp3"}) MakeFile(folder + "\\" + name);
    MakeHidden(folder + "\\e.mp3");
    MakeFolder(folder + "\\f.mp3");
}

template <typename T>
T* Place(ScopedTestForm& form, int left, int top, int width, int height) {
    T* control = Make<T>(form.Get());
    control->SetBounds(left, top, width, height);
    control->SetParent(form.Get());
    return control;
}

TLabel* PlaceLabel(ScopedTestForm& form, int width) {
    TLabel* label = Make<TLabel>(form.Get());
    label->SetBounds(0, 0, width, 18);
    label->SetParent(form.Get());
    return label;
}

// Records the events of the controls under test, in order.
struct Journal {
    std::vector<std::string> entries;
    TLabel* label = nullptr;

    void FileListChanged(TObject*) { entries.push_back("files changed" + LabelNow()); }
    void FileListClicked(TObject*) { entries.push_back("files clicked"); }
    void DirListChanged(TObject*) { entries.push_back("folders changed" + LabelNow()); }
    void DirListDblClicked(TObject*) { entries.push_back("folders double-clicked"); }
    void DriveChanged(TObject*) { entries.push_back("drive changed"); }
    void FilterClicked(TObject*) { entries.push_back("filter clicked"); }
    void FilterChanged(TObject*) { entries.push_back("filter changed"); }
    void ButtonClicked(TObject*) { entries.push_back("button clicked"); }

    int Count(const std::string& entry) const { return int(std::count(entries.begin(), entries.end(), entry)); }

private:
    std::string LabelNow() const { return label ? " (label " + label->Caption() + ")" : ""; }
};

bool SamePixels(TBitmap& a, TBitmap& b) {
    if (a.Width() != b.Width() || a.Height() != b.Height()) return false;
    for (int y = 0; y < a.Height(); ++y)
        for (int x = 0; x < a.Width(); ++x)
            if (a.Canvas().Pixel(x, y) != b.Canvas().Pixel(x, y)) return false;
    return true;
}

// Whether the object of a line is the program's bitmap resource name.
bool GlyphIs(TStrings& items, int index, const char* resource) {
    auto* glyph = dynamic_cast<TBitmap*>(items.GetObject(index));
    TBitmap expected;
    REQUIRE(expected.LoadFromResourceName(resource));
    return glyph && SamePixels(*glyph, expected);
}

// The non-hidden, non-system sub-folders of folder, as the file system lists them.
Lines VisibleSubfolders(const std::string& folder) {
    Lines names;
    WIN32_FIND_DATAW entry;
    HANDLE search = FindFirstFileW(ToWide(folder + "*").c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE) return names;
    do {
        std::string name = ToUtf8(entry.cFileName);
        DWORD a = entry.dwFileAttributes;
        if ((a & FILE_ATTRIBUTE_DIRECTORY) && !(a & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) && name != "." &&
            name != "..")
            names.push_back(name);
    } while (FindNextFileW(search, &entry));
    FindClose(search);
    return names;
}

bool SortedIgnoringCase(const Lines& lines) {
    for (size_t i = 1; i < lines.size(); ++i)
        if (AnsiCompareText(lines[i - 1], lines[i]) > 0) return false;
    return true;
}

// Whether a glyph's black left outline is drawn at x on line index (the
// folder and program glyphs have it in their left column, the page glyph two
// columns in).
bool GlyphDrawnAt(TListBox* list, int index, int x) {
    RECT r = list->ItemRect(index);
    const int y = (r.top + r.bottom - 15) / 2 + 7;
    return ScreenPixel(list->Handle(), r.left + x, y) == RGB(0, 0, 0) &&
           ScreenPixel(list->Handle(), r.left + x - 1, y) != RGB(0, 0, 0);
}

// The user picks a line of a list with the mouse.
void ClickLine(TListBox* list, int index) {
    RECT r = list->ItemRect(index);
    LPARAM at = MAKELPARAM(r.left + 20, (r.top + r.bottom) / 2);
    SendMessageA(list->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, at);
    SendMessageA(list->Handle(), WM_LBUTTONUP, 0, at);
}

void DoubleClickLine(TListBox* list, int index) {
    ClickLine(list, index);
    RECT r = list->ItemRect(index);
    LPARAM at = MAKELPARAM(r.left + 20, (r.top + r.bottom) / 2);
    SendMessageA(list->Handle(), WM_LBUTTONDBLCLK, MK_LBUTTON, at);
    SendMessageA(list->Handle(), WM_LBUTTONUP, 0, at);
}

// The user presses a key on a control, through the program's message loop.
void PressKey(TWinControl* control, WPARAM key) {
    SetFocus(control->Handle());
    PostMessageA(control->Handle(), WM_KEYDOWN, key, 1);
    PostMessageA(control->Handle(), WM_KEYUP, key, LPARAM(0xC0000001));
    PumpFor(100);
}

// The user chooses a line of a drop-down with the mouse: the box selects it and tells its parent.
void ChooseLine(TComboBox* combo, int index) {
    SendMessageA(combo->Handle(), CB_SETCURSEL, WPARAM(index), 0);
    SendMessageA(GetParent(combo->Handle()), WM_COMMAND,
                 MAKEWPARAM(GetDlgCtrlID(combo->Handle()), CBN_SELCHANGE), reinterpret_cast<LPARAM>(combo->Handle()));
}

int LineOfDrive(TComboBox* combo, char letter) {
    for (int i = 0; i < combo->Items().Count(); ++i)
        if (std::toupper(combo->Items().Get(i)[0]) == std::toupper(letter)) return i;
    return -1;
}

std::string VolumeLabelOf(char letter) {
    wchar_t root[] = {wchar_t(letter), L':', L'\\', 0};
    wchar_t label[261] = L"";
    GetVolumeInformationW(root, label, 261, nullptr, nullptr, nullptr, nullptr, 0);
    return ToUtf8(label);
}

// The label of drive C:, which the test environment gives letters of both cases
// (Wine reads it when its services start), so that case changes can be seen.
std::string MixedCaseLabelOfC() {
    const std::string label = VolumeLabelOf('C');
    REQUIRE(AnsiLowerCase(label) != label);
    REQUIRE(AnsiUpperCase(label) != label);
    return label;
}

// A file list that notes, for each line its window takes, whether the hourglass was showing.
class WatchedFileList : public TFileListBox {
public:
    using TFileListBox::TFileListBox;
    std::vector<bool> hourglassAtAdds;

    void WndProc(TMessage& message) override {
        if (message.Msg == LB_ADDSTRING || message.Msg == LB_INSERTSTRING)
            hourglassAtAdds.push_back(GetCursor() == LoadCursorW(nullptr, IDC_WAIT));
        TFileListBox::WndProc(message);
    }
};

// The lines of a system list box that sorted them itself, added one by one.
Lines SortedBySystemList(const Lines& names, LCID locale) {
    HWND list = CreateWindowExW(0, L"LISTBOX", L"", LBS_SORT | LBS_HASSTRINGS, 0, 0, 100, 100, nullptr, nullptr,
                                GetModuleHandleW(nullptr), nullptr);
    REQUIRE(list);
    SendMessageW(list, LB_SETLOCALE, locale, 0);
    for (const std::string& name : names)
        SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(ToWide(name).c_str()));
    Lines lines;
    wchar_t text[MAX_PATH];
    for (int i = 0, n = int(SendMessageW(list, LB_GETCOUNT, 0, 0)); i < n; ++i) {
        SendMessageW(list, LB_GETTEXT, WPARAM(i), reinterpret_cast<LPARAM>(text));
        lines.push_back(ToUtf8(text));
    }
    DestroyWindow(list);
    return lines;
}

}  // namespace

// ======================================================================

TEST_SUITE("path routines") {
    TEST_CASE("JoinPath puts exactly one backslash between folder and name") {
        CHECK(JoinPath("C:\\", "a.mp3") == "C:\\a.mp3");
        CHECK(JoinPath("C:\\mp3\\np", "a.mp3") == "C:\\mp3\\np\\a.mp3");
    }

    TEST_CASE("FolderDepth counts the backslashes") {
        CHECK(FolderDepth("C:\\") == 1);
        CHECK(FolderDepth("C:\\mp3\\np") == 2);
        CHECK(FolderDepth("Album") == 0);
    }

    TEST_CASE("DropFirstFolder removes one folder at a time and marks the gap") {
        auto dropped = [](std::string s) {
            DropFirstFolder(s);
            return s;
        };
        CHECK(dropped("\\Music\\Rock\\") == "\\...\\Rock\\");
        CHECK(dropped("\\...\\Rock\\") == "\\...\\");
        CHECK(dropped("\\") == "");
        CHECK(dropped("...\\") == "");
        CHECK(dropped("Music\\Rock\\") == "...\\Rock\\");
        // A folder starting with a dot is taken for an earlier marker.
        CHECK(dropped("\\.a\\b\\") == "\\...\\");
    }

    TEST_CASE("ShortenPath shortens folder by folder, measured on the canvas, and keeps the last name") {
        TFont font;
        font.SetName("Arial");
        font.SetHeight(20);
        ScopedWindowDC screen(nullptr);
        TCanvas canvas;
        canvas.SetHandle(screen.Get());
        canvas.Font().Assign(font);
        const std::string path = "C:\\Music\\Rock\\Album";
        const Lines steps = {"C:\\Music\\Rock\\Album", "C:\\...\\Rock\\Album", "C:\\...\\Album", "...\\Album", "Album"};
        for (size_t i = 0; i < steps.size(); ++i) {
            CAPTURE(steps[i]);
            const int width = canvas.TextWidth(steps[i]);
            CHECK(ShortenPath(path, canvas, width) == steps[i]);
            if (i + 1 < steps.size()) CHECK(ShortenPath(path, canvas, width - 1) == steps[i + 1]);
        }
        CHECK(ShortenPath(path, canvas, 0) == "Album");
        CHECK(ShortenPath("C:\\.a\\b\\c", canvas, canvas.TextWidth("C:\\.a\\b\\c") - 1) == "C:\\...\\c");
        CHECK(ShortenPath("C:\\", canvas, 1000) == "C:\\");
        canvas.SetHandle(nullptr);
    }

    TEST_CASE("FontLineHeight grows with the font and is at least the character height") {
        TFont small, large;
        small.SetName("Arial");
        small.SetHeight(11);
        large.SetName("Arial");
        large.SetHeight(30);
        CHECK(FontLineHeight(small) >= 11);
        CHECK(FontLineHeight(large) >= 30);
        CHECK(FontLineHeight(large) > FontLineHeight(small));
    }

    TEST_CASE("SplitUserPath splits into drive, folder and file and leaves the current directory alone") {
        RootFolder root;
        KeepCurrentDir keep;
        MakeFolder(root.Sub("Rock"));
        MakeFile(root.Sub("Rock\\song.mp3"));
        const std::string folder = root.Path().substr(2);  // without "C:"
        SetCurrentDirectoryW(ToWide(root.Sub("Rock")).c_str());
        const std::string before = CurrentDir();

        TUserPath file = SplitUserPath(root.Sub("Rock\\song.mp3"));
        CHECK(file.Drive == 'C');
        CHECK(file.Directory == folder + "\\Rock");
        CHECK(file.FileName == "song.mp3");
        CHECK(file.MissingError == 0);

        TUserPath dir = SplitUserPath(root.Sub("Rock"));
        CHECK(dir.Directory == folder + "\\Rock");
        CHECK(dir.FileName == "");

        TUserPath mask = SplitUserPath(root.Sub("*.mp3"));
        CHECK(mask.Directory == folder);
        CHECK(mask.FileName == "*.mp3");

        TUserPath bare = SplitUserPath("song.mp3");
        CHECK(bare.Drive == 'C');
        CHECK(bare.Directory == folder + "\\Rock");
        CHECK(bare.FileName == "song.mp3");

        TUserPath rootOnly = SplitUserPath("C:\\");
        CHECK(rootOnly.Directory == "\\");
        CHECK(rootOnly.FileName == "");

        SetCurrentDirectoryW(ToWide(root.Path()).c_str());
        TUserPath bracketed = SplitUserPath("[Rock]");
        CHECK(bracketed.Directory == folder + "\\Rock");
        CHECK(bracketed.FileName == "");

        TUserPath missing = SplitUserPath(root.Sub("nothing.mp3"));
        CHECK(missing.FileName == "nothing.mp3");
        CHECK(missing.MissingError == ERROR_FILE_NOT_FOUND);
        CHECK(CurrentDir() == root.Path());

        SetCurrentDirectoryW(ToWide(before).c_str());
        CHECK_THROWS_AS(SplitUserPath(root.Sub("nowhere\\x.mp3")), EInOutError);
        CHECK(CurrentDir() == before);
    }
}

// ======================================================================

TEST_SUITE("file list") {
    TEST_CASE("lists the matching files sorted, without hidden files and folders; every re-read clears the selection") {
        TempDir dir;
        KeepCurrentDir keep;
        MakeMusicFolder(dir.Path());
        ScopedTestForm form;
        Journal journal;
        auto* list = Make<TFileListBox>(form.Get());
        list->SetMask("*.MP3");
        list->SetDirectory(dir.Path());
        list->OnChange.Bind<&Journal::FileListChanged>(&journal);
        CHECK(journal.entries.empty());  // nothing is read before the window exists
        list->SetParent(form.Get());

        CHECK(list->Items().ToVector() == Lines{"A.MP3", "b.mp3", "c.Mp3"});
        CHECK(list->ItemIndex() == -1);
        CHECK(journal.entries.size() == 1);
        CHECK(AnsiCompareText(CurrentDir(), dir.Path()) == 0);

        list->SetItemIndex(1);
        list->RefreshListing();
        CHECK(list->ItemIndex() == -1);
        CHECK(journal.entries.size() == 2);

        list->SetItemIndex(0);
        list->SetMask("*.txt");
        CHECK(list->Items().ToVector() == Lines{"d.txt"});
        CHECK(list->ItemIndex() == -1);
        CHECK(journal.entries.size() == 3);
    }

    TEST_CASE("a list whose window comes over a second after its folder was set shows the folder as it is then") {
        TempDir dir;
        KeepCurrentDir keep;
        MakeMusicFolder(dir.Path());
        ScopedTestForm form;
        auto* list = Make<TFileListBox>(form.Get());
        list->SetMask("*.MP3");
        list->SetDirectory(dir.Path());  // read ahead for the window to come
        Sleep(1200);
        MakeFile(dir.Path() + "\\g.mp3");
        REQUIRE(DeleteFileW(ToWide(dir.Path() + "\\b.mp3").c_str()));
        list->SetParent(form.Get());
        CHECK(list->Items().ToVector() == Lines{"A.MP3", "c.Mp3", "g.mp3"});
    }

    TEST_CASE("every pattern of the mask is searched on its own") {
        TempDir dir;
        KeepCurrentDir keep;
        MakeMusicFolder(dir.Path());
        ScopedTestForm form;
        auto* list = Place<TFileListBox>(form, 0, 0, 200, 200);
        list->SetDirectory(dir.Path());

        list->SetMask("*.MP3;*.mp3");
        CHECK(list->Items().ToVector() == Lines{"A.MP3", "A.MP3", "b.mp3", "b.mp3", "c.Mp3", "c.Mp3"});
        list->SetMask("*.MP3;");
        CHECK(list->Items().Count() == 3);
        list->SetMask("");
        CHECK(list->Items().Count() == 0);
        list->SetMask("*.txt;;*.zzz");
        CHECK(list->Items().ToVector() == Lines{"d.txt"});
    }

    TEST_CASE("an equal mask or the same directory in other letter case reads nothing anew") {
        TempDir dir;
        KeepCurrentDir keep;
        MakeMusicFolder(dir.Path());
        ScopedTestForm form;
        Journal journal;
        auto* list = Place<TFileListBox>(form, 0, 0, 200, 200);
        list->SetMask("*.MP3");
        list->SetDirectory(dir.Path());
        list->OnChange.Bind<&Journal::FileListChanged>(&journal);
        list->Items().Add("kept.mp3");  // the program's own item shows whether the list was re-read

        list->SetMask("*.MP3");
        list->SetDirectory(AnsiUpperCase(dir.Path()));
        CHECK(list->Items().IndexOf("kept.mp3") >= 0);
        CHECK(journal.entries.empty());
        CHECK(list->Directory() == dir.Path());

        list->SetMask("*.mp3");  // differs in letter case: read anew
        CHECK(list->Items().IndexOf("kept.mp3") == -1);
        CHECK(journal.entries.size() == 1);
    }

    TEST_CASE("FileType decides which kinds of entries are listed") {
        TempDir dir;
        KeepCurrentDir keep;
        MakeMusicFolder(dir.Path());
        ScopedTestForm form;
        auto* list = Place<TFileListBox>(form, 0, 0, 200, 200);
        list->SetDirectory(dir.Path());
        list->SetMask("*.MP3");

        list->SetFileType(ftNormal | ftDirectory);
        Lines withFolders = list->Items().ToVector();
        CHECK(std::count(withFolders.begin(), withFolders.end(), "[f.mp3]") == 1);
        CHECK(withFolders.size() == 4);
        CHECK(SortedIgnoringCase(withFolders));

        list->SetMask("*");
        Lines all = list->Items().ToVector();
        CHECK(std::count(all.begin(), all.end(), "[.]") == 1);
        CHECK(std::count(all.begin(), all.end(), "[..]") == 1);

        list->SetMask("*.MP3");
        list->SetFileType(ftHidden);
        CHECK(list->Items().ToVector() == Lines{"e.mp3"});
        list->SetFileType(ftNormal | ftHidden);
        CHECK(list->Items().ToVector() == Lines{"A.MP3", "b.mp3", "c.Mp3", "e.mp3"});
    }

    TEST_CASE("the lines come in the order of a system list that sorted them itself, in the list's locale") {
        TempDir dir;
        KeepCurrentDir keep;
        const Lines names{"Żółw.mp3", "zebra.mp3", "Ćma.mp3", "cwał.mp3", "Łódź.mp3", "lody.mp3", "Ąbc.mp3",
                          "acz.mp3",  "a-b.mp3",   "a_b.mp3", "a b.mp3",  "ab.mp3",   "o'neil.mp3", "ONE.mp3",
                          "10.mp3",   "9.mp3",     "(x).mp3", "Śmiech.mp3", "sroka.mp3", "Ęła.mp3", "ela.mp3"};
        for (const std::string& name : names) MakeFile(dir.File(name));
        ScopedTestForm form;
        auto* list = Place<TFileListBox>(form, 0, 0, 200, 200);
        list->SetDirectory(dir.Path());
        for (LCID locale : {LCID(SendMessageA(list->Handle(), LB_GETLOCALE, 0, 0)), LCID(0x0409)}) {
            CAPTURE(locale);
            SendMessageA(list->Handle(), LB_SETLOCALE, locale, 0);
            list->RefreshListing();
            const Lines listed = list->Items().ToVector();
            CHECK(listed.size() == names.size());
            CHECK(listed == SortedBySystemList(listed, locale));
            CHECK(listed == SortedBySystemList(Lines(listed.rbegin(), listed.rend()), locale));
        }
        SetCurrentDirectoryA("C:\\");  // lets the folder go
    }

    TEST_CASE("the hourglass shows while the list fills when an add in the order found would land at index 100") {
        KeepCurrentDir keep;
        ScopedTestForm form;
        const HCURSOR hourglass = LoadCursorW(nullptr, IDC_WAIT);

        auto check = [&](const Lines& names, bool expectHourglass) {
            TempDir dir;
            for (const std::string& name : names) MakeFile(dir.File(name));
            auto* list = Place<WatchedFileList>(form, 0, 0, 200, 200);
            list->SetDirectory(dir.Path());
            const HCURSOR before = GetCursor();
            REQUIRE(before != hourglass);
            list->hourglassAtAdds.clear();
            list->RefreshListing();
            CHECK(list->hourglassAtAdds == std::vector<bool>(names.size(), expectHourglass));
            CHECK(GetCursor() == before);
            form->DestroyComponent(list);
            SetCurrentDirectoryA("C:\\");  // lets the folder go
        };

        Lines ascending;
        for (int i = 0; i < 150; ++i) {
            char name[16];
            std::snprintf(name, sizeof name, "f%03d.mp3", i);
            ascending.push_back(name);
        }
        SUBCASE("names found in list order") { check(ascending, true); }
        SUBCASE("names found in another order never land at index 100") {
            // Wine's search returns "_" names after the letters; the list sorts them first.
            Lines mixed;
            for (int i = 0; i < 100; ++i) mixed.push_back(ascending[size_t(i)]);
            for (int i = 0; i < 50; ++i) mixed.push_back("_" + ascending[size_t(i)]);
            check(mixed, false);
        }
    }
}

TEST_SUITE("file list") {
    TEST_CASE("writing ItemIndex selects without any event") {
        TempDir dir;
        KeepCurrentDir keep;
        MakeMusicFolder(dir.Path());
        ScopedTestForm form;
        Journal journal;
        auto* list = Place<TFileListBox>(form, 0, 0, 200, 200);
        list->SetMask("*.MP3");
        list->SetDirectory(dir.Path());
        list->OnChange.Bind<&Journal::FileListChanged>(&journal);
        list->OnClick.Bind<&Journal::FileListClicked>(&journal);

        list->SetItemIndex(1);
        CHECK(list->ItemIndex() == 1);
        CHECK(list->FileName() == JoinPath(dir.Path(), "b.mp3"));
        list->SetItemIndex(-1);
        CHECK(list->ItemIndex() == -1);
        CHECK(list->FileName() == "");
        list->SetItemIndex(list->Items().Count());
        CHECK(list->ItemIndex() == -1);
        CHECK(journal.entries.empty());
    }

    TEST_CASE("a click reports OnClick, then OnChange when the selection moved, and the file edit follows") {
        TempDir dir;
        KeepCurrentDir keep;
        MakeMusicFolder(dir.Path());
        ScopedTestForm form;
        Journal journal;
        auto* edit = Place<TEdit>(form, 210, 0, 100, 21);
        auto* list = Place<TFileListBox>(form, 0, 0, 200, 200);
        list->SetMask("*.MP3");
        list->SetDirectory(dir.Path());
        list->SetFileEdit(edit);
        CHECK(edit->Text() == "*.MP3");
        list->OnChange.Bind<&Journal::FileListChanged>(&journal);
        list->OnClick.Bind<&Journal::FileListClicked>(&journal);

        ClickLine(list, 2);
        CHECK(list->ItemIndex() == 2);
        CHECK(journal.entries == Lines{"files clicked", "files changed"});
        CHECK(edit->Text() == "c.Mp3");
        CHECK(list->FileName() == JoinPath(dir.Path(), "c.Mp3"));

        ClickLine(list, 2);
        CHECK(journal.entries == Lines{"files clicked", "files changed", "files clicked"});

        list->RefreshListing();
        CHECK(edit->Text() == "*.MP3");
        form->DestroyComponent(edit);
        CHECK(list->FileEdit() == nullptr);
        ClickLine(list, 0);  // no edit to write to any more
        CHECK(list->ItemIndex() == 0);
    }

    TEST_CASE("a missing directory raises the input/output error and changes nothing") {
        TempDir dir;
        KeepCurrentDir keep;
        MakeMusicFolder(dir.Path());
        ScopedTestForm form;
        Journal journal;
        auto* list = Place<TFileListBox>(form, 0, 0, 200, 200);
        list->SetMask("*.MP3");
        list->SetDirectory(dir.Path());
        list->OnChange.Bind<&Journal::FileListChanged>(&journal);

        try {
            list->SetDirectory(dir.File("missing"));
            FAIL("no error");
        } catch (const EInOutError& e) {
            CHECK(e.ErrorCode() == ERROR_FILE_NOT_FOUND);
            CHECK(e.Message() == "File not found");
        }
        CHECK(list->Directory() == dir.Path());
        CHECK(list->Items().ToVector() == Lines{"A.MP3", "b.mp3", "c.Mp3"});
        CHECK(journal.entries.empty());
    }

    TEST_CASE("a relative directory is taken below the listed one, and a vanished one does not trap the list") {
        TempDir dir;
        KeepCurrentDir keep;
        MakeFolder(dir.File("one"));
        MakeFolder(dir.File("one\\two"));
        MakeFile(dir.File("one\\two\\x.mp3"));
        MakeFolder(dir.File("gone"));
        ScopedTestForm form;
        auto* list = Place<TFileListBox>(form, 0, 0, 200, 200);
        list->SetDirectory(dir.File("one"));
        list->SetDirectory("two");
        CHECK(list->Directory() == dir.File("one\\two"));
        CHECK(list->Items().ToVector() == Lines{"x.mp3"});

        list->SetDirectory(dir.File("gone"));
        SetCurrentDirectoryW(ToWide(dir.Path()).c_str());
        REQUIRE(RemoveDirectoryW(ToWide(dir.File("gone")).c_str()));
        list->SetDirectory(dir.File("one"));
        CHECK(list->Directory() == dir.File("one"));
        CHECK(list->Items().Count() == 0);
    }

    TEST_CASE("FileName written goes to the folder, selects the file or takes a mask") {
        TempDir dir;
        KeepCurrentDir keep;
        MakeMusicFolder(dir.Path());
        MakeFolder(dir.File("other"));
        ScopedTestForm form;
        Journal journal;
        auto* list = Place<TFileListBox>(form, 0, 0, 200, 200);
        list->SetMask("*.MP3");
        list->SetDirectory(dir.File("other"));
        list->OnChange.Bind<&Journal::FileListChanged>(&journal);

        list->SetFileName(dir.File("b.mp3"));
        CHECK(list->Directory() == dir.Path());
        CHECK(list->ItemIndex() == 1);
        CHECK(list->FileName() == dir.File("b.mp3"));
        CHECK(journal.entries.size() == 2);  // the re-read, then the selection

        list->SetFileName(dir.File("d.txt"));  // not shown by the mask: the name becomes the mask
        CHECK(list->Mask() == "d.txt");
        CHECK(list->Items().ToVector() == Lines{"d.txt"});
        CHECK(list->ItemIndex() == 0);

        list->SetFileName(dir.File("*.Mp3"));
        CHECK(list->Mask() == "*.Mp3");
        CHECK(list->Items().Count() == 3);
        CHECK(list->ItemIndex() == -1);
    }

    TEST_CASE("FileName written with a name that names nothing fails after the folder was entered") {
        TempDir dir;
        KeepCurrentDir keep;
        MakeMusicFolder(dir.Path());
        MakeFolder(dir.File("other"));
        ScopedTestForm form;
        auto* list = Place<TFileListBox>(form, 0, 0, 200, 200);
        list->SetMask("*.MP3");
        list->SetDirectory(dir.File("other"));

        const std::string wanted = dir.File("nothing.mp3");
        CHECK_THROWS_WITH_AS(list->SetFileName(wanted), ("Invalid file name - " + wanted).c_str(), EInvalidOperation);
        CHECK(list->Directory() == dir.Path());
        CHECK(list->Items().ToVector() == Lines{"A.MP3", "b.mp3", "c.Mp3"});
        CHECK(list->ItemIndex() == -1);
    }

    TEST_CASE("programs and other files carry their glyphs; folders only while glyphs are shown") {
        TempDir dir;
        KeepCurrentDir keep;
        for (const char* name : {"run.EXE", "tool.com", "go.Bat", "old.pif", "song.mp3", "noext"})
            MakeFile(dir.File(name));
        MakeFolder(dir.File("sub"));
        ScopedTestForm form;
        auto* list = Place<TFileListBox>(form, 0, 0, 200, 200);
        list->SetFileType(ftNormal | ftDirectory);
        list->SetMask("*.EXE;*.com;*.bat;*.pif;*.mp3;noext;sub");
        list->SetDirectory(dir.Path());
        TStrings& items = list->Items();
        for (const char* program : {"run.EXE", "tool.com", "go.Bat", "old.pif"})
            CHECK(GlyphIs(items, items.IndexOf(program), "EXECUTABLE"));
        CHECK(GlyphIs(items, items.IndexOf("song.mp3"), "UNKNOWNFILE"));
        CHECK(GlyphIs(items, items.IndexOf("noext"), "UNKNOWNFILE"));
        CHECK(items.GetObject(items.IndexOf("[sub]")) == nullptr);

        list->Font().SetHeight(8);
        const int plainHeight = list->ItemHeight();
        CHECK(plainHeight == FontLineHeight(list->Font()));
        list->SetShowGlyphs(true);
        CHECK(list->ItemHeight() == std::max(plainHeight, 16));
        CHECK(items.GetObject(items.IndexOf("[sub]")) == nullptr);  // until the next re-read
        list->RefreshListing();
        CHECK(GlyphIs(items, items.IndexOf("[sub]"), "CLOSEDFOLDER"));
        PumpFor(100);
        CHECK(GlyphDrawnAt(list, items.IndexOf("run.EXE"), 2));
        CHECK(GlyphDrawnAt(list, items.IndexOf("song.mp3"), 2 + 2));
        CHECK(GlyphDrawnAt(list, items.IndexOf("[sub]"), 2));

        list->Font().SetHeight(30);
        CHECK(list->ItemHeight() == FontLineHeight(list->Font()));
    }
}

// ======================================================================

namespace {

// C:\fcN\Rock\Album with the sub-folders x, A and b, a folder hidden by its
// leading dot (Wine marks such names hidden) and one with the hidden attribute.
struct AlbumTree {
    RootFolder root;
    std::string album;
    AlbumTree() {
        MakeFolder(root.Sub("Rock"));
        album = root.Sub("Rock\\Album");
        MakeFolder(album);
        for (const char* name : {"x", "A", "b", ".dot", "secret"}) MakeFolder(album + "\\" + name);
        MakeHidden(album + "\\secret");
        MakeFile(album + "\\song.mp3");
    }
};

}  // namespace

TEST_SUITE("directory list") {
    TEST_CASE("a folder three levels deep: path lines, current line, sorted visible sub-folders") {
        AlbumTree tree;
        KeepCurrentDir keep;
        ScopedTestForm form(400, 400);
        auto* dirs = Place<TDirectoryListBox>(form, 0, 0, 250, 300);
        dirs->SetDirectory(tree.album);
        const std::string top = tree.root.Path().substr(3);

        TStrings& items = dirs->Items();
        CHECK(items.ToVector() == Lines{"C:\\", top, "Rock", "Album", "A", "b", "x"});
        for (int i = 0; i < 3; ++i) CHECK(GlyphIs(items, i, "OPENFOLDER"));
        CHECK(GlyphIs(items, 3, "CURRENTFOLDER"));
        for (int i = 4; i < 7; ++i) CHECK(GlyphIs(items, i, "CLOSEDFOLDER"));
        CHECK(dirs->ItemIndex() == 3);
        CHECK(dirs->Directory() == tree.album);
        CHECK(dirs->Drive() == 'C');
        CHECK(CurrentDir() == tree.album);

        CHECK(dirs->ItemPath(0) == "C:\\");
        CHECK(dirs->ItemPath(1) == "\\" + top);
        CHECK(dirs->ItemPath(2) == "\\" + top + "\\Rock");
        CHECK(dirs->ItemPath(3) == tree.album);
        CHECK(dirs->ItemPath(4) == tree.album + "\\A");
        CHECK(dirs->ItemPath(7) == "");

        PumpFor(100);
        for (int i = 0; i < 4; ++i) CHECK(GlyphDrawnAt(dirs, i, i * 4 + 2));
        for (int i = 4; i < 7; ++i) CHECK(GlyphDrawnAt(dirs, i, (3 + 1) * 4 + 2));
    }

    TEST_CASE("a drive root: the root is the current line, then its sub-folders") {
        RootFolder marker;  // one sub-folder of C:\ that is known to be there
        KeepCurrentDir keep;
        ScopedTestForm form(400, 400);
        auto* dirs = Place<TDirectoryListBox>(form, 0, 0, 250, 300);
        dirs->SetDirectory("C:\\");

        Lines lines = dirs->Items().ToVector();
        REQUIRE(lines.size() >= 2);
        CHECK(lines[0] == "C:\\");
        CHECK(GlyphIs(dirs->Items(), 0, "CURRENTFOLDER"));
        CHECK(dirs->ItemIndex() == 0);
        Lines subfolders(lines.begin() + 1, lines.end());
        CHECK(SortedIgnoringCase(subfolders));
        Lines expected = VisibleSubfolders("C:\\");
        std::sort(expected.begin(), expected.end(), [](auto& a, auto& b) { return AnsiCompareText(a, b) < 0; });
        CHECK(subfolders == expected);
        CHECK(std::count(subfolders.begin(), subfolders.end(), marker.Path().substr(3)) == 1);
        CHECK(dirs->ItemPath(1) == "C:\\" + subfolders[0]);

        PumpFor(100);
        CHECK(GlyphDrawnAt(dirs, 0, 2));
        CHECK(GlyphDrawnAt(dirs, 1, (1 + 1) * 4 + 2));
    }

    TEST_CASE("a list made at a drive root selects the root line; the sub-folders' lines follow once found") {
        RootFolder marker;
        KeepCurrentDir keep;
        SetCurrentDirectoryA("C:\\");
        ScopedTestForm form(400, 400);
        auto* dirs = Place<TDirectoryListBox>(form, 0, 0, 250, 300);
        CHECK(dirs->Directory() == "C:\\");
        CHECK(dirs->Items().Get(0) == "C:\\");
        CHECK(dirs->ItemIndex() == 0);

        Lines expected = VisibleSubfolders("C:\\");
        std::sort(expected.begin(), expected.end(), [](auto& a, auto& b) { return AnsiCompareText(a, b) < 0; });
        REQUIRE(PumpUntil([&] { return dirs->Items().Count() == int(expected.size()) + 1; }));
        const Lines lines = dirs->Items().ToVector();
        CHECK(Lines(lines.begin() + 1, lines.end()) == expected);
        CHECK(GlyphIs(dirs->Items(), 1, "CLOSEDFOLDER"));
        CHECK(dirs->ItemIndex() == 0);
    }

    TEST_CASE("the label shows the folder as the system reports it, shortened in its own font when too wide") {
        RootFolder root;
        KeepCurrentDir keep;
        MakeFolder(root.Sub("Music"));
        MakeFolder(root.Sub("Music\\Rock"));
        const std::string album = root.Sub("Music\\Rock\\Album");
        MakeFolder(album);
        ScopedTestForm form(600, 400);
        auto* dirs = Place<TDirectoryListBox>(form, 0, 30, 200, 300);
        auto* label = PlaceLabel(form, 422);
        dirs->SetDirectory(album + "\\");
        dirs->SetDirLabel(label);
        CHECK(label->Caption() == album);
        dirs->SetDirectory("C:\\");
        CHECK(label->Caption() == "C:\\");
        dirs->SetDirectory(album);

        label->Font().SetName("Arial");
        label->Font().SetHeight(30);
        ScopedWindowDC screen(nullptr);
        TCanvas measure;
        measure.SetHandle(screen.Get());
        measure.Font().Assign(label->Font());
        const std::string top = root.Path().substr(3);
        const Lines steps = {album, "C:\\...\\Music\\Rock\\Album", "C:\\...\\Rock\\Album", "C:\\...\\Album",
                             "...\\Album", "Album"};
        for (size_t i = 0; i < steps.size(); ++i) {
            CAPTURE(steps[i]);
            const int width = measure.TextWidth(steps[i]);
            label->SetWidth(width);
            dirs->SetDirLabel(label);
            CHECK(label->Caption() == steps[i]);
            if (i + 1 < steps.size()) {
                label->SetWidth(width - 1);
                dirs->SetDirLabel(label);
                CHECK(label->Caption() == steps[i + 1]);
            }
        }
        label->SetWidth(5);
        dirs->SetDirLabel(label);
        CHECK(label->Caption() == "Album");

        // A label that sizes itself is measured against the list's width.
        label->SetAutoSize(true);
        dirs->SetWidth(measure.TextWidth("C:\\...\\Album") + 1);
        dirs->SetDirLabel(label);
        CHECK(label->Caption() == "C:\\...\\Album");
        measure.SetHandle(nullptr);
    }

    TEST_CASE("a double click opens the line: the file list first, then the label, then OnChange") {
        AlbumTree tree;
        KeepCurrentDir keep;
        ScopedTestForm form(600, 400);
        Journal journal;
        auto* files = Place<TFileListBox>(form, 260, 30, 200, 300);
        auto* dirs = Place<TDirectoryListBox>(form, 0, 30, 250, 300);
        auto* label = PlaceLabel(form, 422);
        journal.label = label;
        dirs->SetFileList(files);
        dirs->SetDirLabel(label);
        dirs->SetDirectory(tree.album);
        CHECK(files->Directory() == tree.album);
        CHECK(files->Items().ToVector() == Lines{"song.mp3"});
        CHECK(label->Caption() == tree.album);
        files->OnChange.Bind<&Journal::FileListChanged>(&journal);
        dirs->OnChange.Bind<&Journal::DirListChanged>(&journal);
        dirs->OnDblClick.Bind<&Journal::DirListDblClicked>(&journal);

        SUBCASE("the current line changes nothing") {
            DoubleClickLine(dirs, 3);
            CHECK(journal.entries == Lines{"folders double-clicked"});
            CHECK(dirs->Directory() == tree.album);
        }
        SUBCASE("the root line goes to the root") {
            DoubleClickLine(dirs, 0);
            CHECK(journal.entries ==
                  Lines{"folders double-clicked", "files changed (label " + tree.album + ")", "folders changed (label C:\\)"});
            CHECK(dirs->Directory() == "C:\\");
            CHECK(files->Directory() == "C:\\");
            CHECK(label->Caption() == "C:\\");
            CHECK(CurrentDir() == "C:\\");
        }
        SUBCASE("Enter opens the selected sub-folder, also on a form with a default button") {
            auto* button = Place<TButton>(form, 500, 350, 80, 25);
            button->SetDefault(true);
            button->OnClick.Bind<&Journal::ButtonClicked>(&journal);
            dirs->SetItemIndex(4);
            PressKey(dirs, VK_RETURN);
            CHECK(dirs->Directory() == tree.album + "\\A");
            CHECK(journal.entries ==
                  Lines{"files changed (label " + tree.album + ")", "folders changed (label " + tree.album + "\\A)"});
            CHECK(files->Directory() == tree.album + "\\A");
            CHECK(dirs->Items().Get(dirs->ItemIndex()) == "A");
            CHECK(GlyphIs(dirs->Items(), dirs->ItemIndex(), "CURRENTFOLDER"));
        }
        SUBCASE("Enter with no line selected does nothing") {
            dirs->SetItemIndex(-1);
            BoxAnswerer answerer(IDOK);
            PressKey(dirs, VK_RETURN);
            CHECK(answerer.Seen().empty());
            CHECK(journal.entries.empty());
        }
    }

    TEST_CASE("a folder that cannot be entered leaves the tree, file list and label as they were") {
        AlbumTree tree;
        KeepCurrentDir keep;
        ScopedTestForm form(600, 400);
        Journal journal;
        auto* files = Place<TFileListBox>(form, 260, 30, 200, 300);
        auto* dirs = Place<TDirectoryListBox>(form, 0, 30, 250, 300);
        auto* label = PlaceLabel(form, 422);
        dirs->SetFileList(files);
        dirs->SetDirLabel(label);
        dirs->SetDirectory(tree.album);
        dirs->OnChange.Bind<&Journal::DirListChanged>(&journal);
        const Lines before = dirs->Items().ToVector();

        CHECK_THROWS_AS(dirs->SetDirectory(tree.album + "\\missing"), EInOutError);
        CHECK_THROWS_AS(dirs->SetDirectory(tree.root.Sub("nowhere\\deeper")), EInOutError);

        SetCurrentDirectoryA("C:\\");
        REQUIRE(RemoveDirectoryW(ToWide((tree.album + "\\x")).c_str()));
        SetCurrentDirectoryW(ToWide(tree.album).c_str());
        {
            BoxAnswerer answerer(IDOK);
            DoubleClickLine(dirs, 6);  // the vanished folder x
            REQUIRE(answerer.Seen().size() == 1);
            CHECK(answerer.Seen()[0].text == "File not found.");
        }
        CHECK(dirs->Directory() == tree.album);
        CHECK(dirs->Items().ToVector() == before);
        CHECK(files->Directory() == tree.album);
        CHECK(label->Caption() == tree.album);
        CHECK(journal.entries.empty());
        CHECK(CurrentDir() == tree.album);
    }

    TEST_CASE("linked controls that go away are forgotten") {
        AlbumTree tree;
        KeepCurrentDir keep;
        ScopedTestForm form(600, 400);
        auto* files = Place<TFileListBox>(form, 260, 30, 200, 300);
        auto* dirs = Place<TDirectoryListBox>(form, 0, 30, 250, 300);
        auto* label = PlaceLabel(form, 422);
        auto* drives = Place<TDriveComboBox>(form, 0, 0, 200, 20);
        auto* filter = Place<TFilterComboBox>(form, 260, 0, 200, 20);
        dirs->SetFileList(files);
        dirs->SetDirLabel(label);
        drives->SetDirList(dirs);
        filter->SetFileList(files);
        CHECK(files->DirList() == dirs);
        CHECK(files->FilterCombo() == filter);
        CHECK(dirs->DriveCombo() == drives);

        form->DestroyComponent(files);
        CHECK(dirs->FileList() == nullptr);
        CHECK(filter->FileList() == nullptr);
        form->DestroyComponent(label);
        CHECK(dirs->DirLabel() == nullptr);
        dirs->SetDirectory(tree.album);  // nothing left to update but itself
        CHECK(dirs->Directory() == tree.album);
        form->DestroyComponent(dirs);
        CHECK(drives->DirList() == nullptr);

        auto* files2 = Place<TFileListBox>(form, 260, 30, 200, 300);
        auto* dirs2 = Place<TDirectoryListBox>(form, 0, 30, 250, 300);
        dirs2->SetFileList(files2);
        dirs2->SetFileList(nullptr);
        CHECK(files2->DirList() == nullptr);
    }
}

// ======================================================================

namespace {

// A drive letter that the system knows but whose root does not exist; gone with the test.
class DriveWithoutRoot {
public:
    explicit DriveWithoutRoot(char letter) : device_{letter, ':', '\0'} {
        REQUIRE((GetLogicalDrives() & (1u << (letter - 'A'))) == 0);
        REQUIRE(DefineDosDeviceA(0, device_, "C:\\brumik-no-such-folder"));
    }
    ~DriveWithoutRoot() { DefineDosDeviceA(DDD_REMOVE_DEFINITION, device_, nullptr); }
    DriveWithoutRoot(const DriveWithoutRoot&) = delete;
    DriveWithoutRoot& operator=(const DriveWithoutRoot&) = delete;

private:
    char device_[3];
};

// Drive Z: answers the drive lists when ZAnswers is set, or after 3 s; the others as the system does.
HANDLE ZAnswers() {
    static const HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    return event;
}

std::string SlowZ(char letter, UINT type) {
    if (letter != 'z' && letter != 'Z') return type == DRIVE_REMOTE ? NetworkNameText(letter) : VolumeLabelText(letter);
    WaitForSingleObject(ZAnswers(), 3000);
    return letter == 'z' ? "[powolny]" : "[POWOLNY]";
}

// Drive lists read with SlowZ while it lives; Z: answers when it goes at the latest.
struct SlowDriveZ {
    SlowDriveZ() {
        ResetEvent(ZAnswers());
        SetDriveTextReader(&SlowZ);
    }
    ~SlowDriveZ() {
        SetEvent(ZAnswers());
        SetDriveTextReader(nullptr);
    }
    SlowDriveZ(const SlowDriveZ&) = delete;
    SlowDriveZ& operator=(const SlowDriveZ&) = delete;
};

}  // namespace

TEST_SUITE("drive combo") {
    TEST_CASE("a drive slow to answer holds up neither the window nor a click; its line fills in when it answers") {
        AlbumTree tree;
        KeepCurrentDir keep;
        SetCurrentDirectoryW(ToWide(tree.album).c_str());
        const std::string label = MixedCaseLabelOfC();
        SlowDriveZ slow;
        ScopedTestForm form;
        Journal journal;
        auto* files = Place<TFileListBox>(form, 0, 30, 200, 200);
        auto* drives = Place<TDriveComboBox>(form, 0, 0, 200, 20);
        files->OnClick.Bind<&Journal::FileListClicked>(&journal);
        const int c = LineOfDrive(drives, 'c'), z = LineOfDrive(drives, 'z');
        REQUIRE(z > c);
        CHECK(IsWindowVisible(drives->Handle()));
        CHECK(drives->Items().Get(c) == "c: [" + AnsiLowerCase(label) + "]");
        CHECK(drives->Items().Get(z) == "z:");

        const RECT line = files->ItemRect(0);
        const LPARAM at = MAKELPARAM(line.left + 20, (line.top + line.bottom) / 2);
        PostMessageW(files->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, at);
        PostMessageW(files->Handle(), WM_LBUTTONUP, 0, at);
        CHECK(PumpUntil([&] { return journal.Count("files clicked") == 1; }));
        CHECK(files->ItemIndex() == 0);
        CHECK(drives->Items().Get(z) == "z:");  // Z: has not answered yet

        SetEvent(ZAnswers());
        CHECK(PumpUntil([&] { return drives->Items().Get(z) == "z: [powolny]"; }));
        CHECK(GlyphIs(drives->Items(), z, "HARD") == (GetDriveTypeA("Z:\\") == DRIVE_FIXED));
        CHECK(drives->ItemIndex() == c);
        CHECK(drives->Drive() == 'c');
    }


    TEST_CASE("one line per usable drive, in letter order, with the label in the letter's case and the kind's glyph") {
        KeepCurrentDir keep;
        SetCurrentDirectoryA("C:\\");
        DriveWithoutRoot unusable('Q');
        const std::string label = MixedCaseLabelOfC();
        ScopedTestForm form;
        auto* drives = Place<TDriveComboBox>(form, 0, 0, 200, 20);
        Lines lines = drives->Items().ToVector();

        const int c = LineOfDrive(drives, 'c'), z = LineOfDrive(drives, 'z');
        REQUIRE(c >= 0);
        REQUIRE(z > c);
        CHECK(LineOfDrive(drives, 'q') == -1);
        for (size_t i = 1; i < lines.size(); ++i) CHECK(lines[i - 1][0] < lines[i][0]);
        for (const std::string& line : lines) {
            CAPTURE(line);
            const char root[] = {line[0], ':', '\\', '\0'};
            const int index = LineOfDrive(drives, line[0]);
            switch (GetDriveTypeA(root)) {
                case DRIVE_REMOVABLE: CHECK(GlyphIs(drives->Items(), index, "FLOPPY")); break;
                case DRIVE_FIXED: CHECK(GlyphIs(drives->Items(), index, "HARD")); break;
                case DRIVE_REMOTE: CHECK(GlyphIs(drives->Items(), index, "NETWORK")); break;
                case DRIVE_CDROM: CHECK(GlyphIs(drives->Items(), index, "CDROM")); break;
                case DRIVE_RAMDISK: CHECK(GlyphIs(drives->Items(), index, "RAM")); break;
                default: FAIL("a line for a drive of no usable kind");
            }
        }
        CHECK(lines[size_t(c)] == "c: [" + AnsiLowerCase(label) + "]");
        CHECK(drives->Drive() == 'c');
        CHECK(drives->ItemIndex() == c);

        drives->SetTextCase(TTextCase::tcUpperCase);
        CHECK(drives->Items().Get(c) == "C: [" + AnsiUpperCase(label) + "]");
        for (const std::string& line : drives->Items().ToVector()) CHECK(line == AnsiUpperCase(line));
        CHECK(drives->Drive() == 'C');
        CHECK(drives->ItemIndex() == c);
    }

    TEST_CASE("a drive list made before the drive texts' reader changed shows the new reader's text") {
        KeepCurrentDir keep;
        SetCurrentDirectoryA("C:\\");
        ScopedTestForm form;
        auto* drives = Make<TDriveComboBox>(form.Get());  // starts reading the current drive
        struct Renamed {
            static std::string Text(char letter, UINT) { return letter == 'c' ? "[nowa nazwa]" : "[]"; }
            Renamed() { SetDriveTextReader(&Text); }
            ~Renamed() { SetDriveTextReader(nullptr); }
        } renamed;
        drives->SetParent(form.Get());
        CHECK(drives->Items().Get(LineOfDrive(drives, 'c')) == "c: [nowa nazwa]");
    }

    TEST_CASE("volume and network texts follow the letter's case; a drive that is not connected shows its label") {
        const std::string label = MixedCaseLabelOfC();
        CHECK(VolumeLabelText('c') == "[" + AnsiLowerCase(label) + "]");
        CHECK(VolumeLabelText('C') == "[" + AnsiUpperCase(label) + "]");
        CHECK(NetworkNameText('c') == VolumeLabelText('c'));
        const UINT before = GetErrorMode();
        CHECK(VolumeLabelText('q') == "[]");
        CHECK(GetErrorMode() == before);
    }

    TEST_CASE("choosing a drive moves the folder tree, the file list and the label") {
        AlbumTree tree;
        KeepCurrentDir keep;
        SetCurrentDirectoryW(ToWide(tree.album).c_str());
        ScopedTestForm form(600, 400);
        Journal journal;
        auto* files = Place<TFileListBox>(form, 260, 30, 200, 300);
        auto* dirs = Place<TDirectoryListBox>(form, 0, 30, 250, 300);
        auto* label = PlaceLabel(form, 422);
        auto* drives = Place<TDriveComboBox>(form, 0, 340, 200, 20);
        journal.label = label;
        dirs->SetFileList(files);
        dirs->SetDirLabel(label);
        drives->SetDirList(dirs);
        CHECK(dirs->Directory() == tree.album);  // linking changes no drive
        files->OnChange.Bind<&Journal::FileListChanged>(&journal);
        dirs->OnChange.Bind<&Journal::DirListChanged>(&journal);
        drives->OnChange.Bind<&Journal::DriveChanged>(&journal);

        SUBCASE("the line of the current drive changes nothing") {
            ChooseLine(drives, LineOfDrive(drives, 'c'));
            CHECK(journal.entries.empty());
            drives->SetDrive('C');
            CHECK(journal.entries.empty());
            CHECK(dirs->Directory() == tree.album);
        }
        SUBCASE("another drive") {
            const int z = LineOfDrive(drives, 'z');
            PressKey(drives, VK_END);  // Z is the last letter there is
            REQUIRE(drives->ItemIndex() == z);
            CHECK(drives->Drive() == 'z');
            CHECK(dirs->Directory().substr(0, 3) == "Z:\\");
            CHECK(files->Directory() == dirs->Directory());
            CHECK(label->Caption() == dirs->Directory());
            CHECK(CurrentDir() == dirs->Directory());
            CHECK(journal.entries == Lines{"files changed (label " + tree.album + ")",
                                           "folders changed (label " + dirs->Directory() + ")", "drive changed"});
            CHECK(GlyphIs(dirs->Items(), 0, "CURRENTFOLDER") == (dirs->Directory() == "Z:\\"));
        }
        SUBCASE("a folder on another drive written to the tree moves the drive combo too") {
            dirs->SetDirectory("Z:\\");
            CHECK(drives->Drive() == 'z');
            CHECK(drives->ItemIndex() == LineOfDrive(drives, 'z'));
            CHECK(dirs->Directory() == "Z:\\");
            CHECK(files->Directory() == "Z:\\");
            CHECK(journal.entries == Lines{"drive changed", "files changed (label " + tree.album + ")",
                                           "folders changed (label Z:\\)"});
        }
        SUBCASE("a drive that cannot be entered leaves the tree, file list and label where they were") {
            DriveWithoutRoot unusable('Q');
            const Lines before = dirs->Items().ToVector();
            CHECK_THROWS_AS(drives->SetDrive('q'), EInOutError);
            // The list goes back to the drive the tree shows, so choosing the drive again retries.
            CHECK(drives->Drive() == 'c');
            CHECK(drives->ItemIndex() == LineOfDrive(drives, 'c'));
            CHECK_THROWS_AS(drives->SetDrive('q'), EInOutError);
            CHECK(drives->Drive() == 'c');
            CHECK(dirs->Directory() == tree.album);
            CHECK(dirs->Items().ToVector() == before);
            CHECK(files->Directory() == tree.album);
            CHECK(label->Caption() == tree.album);
            CHECK(journal.entries.empty());
            CHECK_THROWS_AS(dirs->SwitchDrive('Q'), EInOutError);
            CHECK(dirs->Directory() == tree.album);
        }
    }
}

// ======================================================================

TEST_SUITE("filter combo") {
    TEST_CASE("the default filter gives one line for every file") {
        ScopedTestForm form;
        auto* filter = Place<TFilterComboBox>(form, 0, 0, 200, 21);
        CHECK(filter->Filter() == "All files (*.*)|*.*");
        CHECK(filter->Items().ToVector() == Lines{"All files (*.*)"});
        CHECK(filter->ItemIndex() == 0);
        CHECK(filter->Mask() == "*.*");
    }

    TEST_CASE("lines come in the given order; choosing one pushes its mask after OnClick") {
        TempDir dir;
        KeepCurrentDir keep;
        MakeMusicFolder(dir.Path());
        ScopedTestForm form;
        Journal journal;
        auto* files = Place<TFileListBox>(form, 0, 30, 200, 200);
        auto* filter = Place<TFilterComboBox>(form, 0, 0, 200, 21);
        files->SetDirectory(dir.Path());
        filter->SetFileList(files);
        CHECK(files->Mask() == "*.*");  // linking pushes no mask
        filter->OnClick.Bind<&Journal::FilterClicked>(&journal);
        filter->OnChange.Bind<&Journal::FilterChanged>(&journal);

        filter->SetFilter("Muzyka|*.MP3|Teksty|*.txt|Wszystko|*.*");
        CHECK(filter->Items().ToVector() == Lines{"Muzyka", "Teksty", "Wszystko"});
        CHECK(filter->ItemIndex() == 0);
        CHECK(files->Mask() == "*.MP3");
        CHECK(journal.entries == Lines{"filter changed"});

        journal.entries.clear();
        PressKey(filter, VK_DOWN);
        CHECK(filter->ItemIndex() == 1);
        CHECK(journal.entries == Lines{"filter clicked", "filter changed"});
        CHECK(files->Mask() == "*.txt");
        CHECK(files->Items().ToVector() == Lines{"d.txt"});

        journal.entries.clear();
        ChooseLine(filter, 2);
        CHECK(journal.entries == Lines{"filter clicked", "filter changed"});
        CHECK(files->Mask() == "*.*");
    }

    TEST_CASE("a filter equal but for letter case is not taken; a last description without mask is dropped") {
        ScopedTestForm form;
        Journal journal;
        auto* filter = Place<TFilterComboBox>(form, 0, 0, 200, 21);
        filter->SetFilter("Muzyka|*.MP3|Reszta");
        CHECK(filter->Items().ToVector() == Lines{"Muzyka"});
        filter->OnChange.Bind<&Journal::FilterChanged>(&journal);

        filter->SetFilter("MUZYKA|*.mp3|reszta");
        CHECK(filter->Filter() == "Muzyka|*.MP3|Reszta");
        CHECK(journal.entries.empty());

        filter->SetFilter("");
        CHECK(filter->Items().Count() == 0);
        CHECK(filter->Mask() == "*.*");
        CHECK(journal.entries == Lines{"filter changed"});
    }

    TEST_CASE("a hidden filter list has no window until shown, and its mask reaches the file list all the same") {
        TempDir dir;
        KeepCurrentDir keep;
        MakeMusicFolder(dir.Path());
        ScopedTestForm form;
        auto* files = Place<TFileListBox>(form, 0, 30, 200, 200);
        auto* filter = Make<TFilterComboBox>(form.Get());
        filter->SetVisible(false);
        filter->SetParent(form.Get());
        files->SetDirectory(dir.Path());
        filter->SetFileList(files);

        filter->SetFilter("Teksty|*.txt|Muzyka|*.MP3");
        CHECK(files->Items().ToVector() == Lines{"d.txt"});
        CHECK(filter->Mask() == "*.txt");
        CHECK_FALSE(filter->HandleAllocated());

        filter->Show();
        REQUIRE(filter->HandleAllocated());
        CHECK(IsWindowVisible(filter->Handle()));
        CHECK(filter->Items().ToVector() == Lines{"Teksty", "Muzyka"});
        CHECK(filter->ItemIndex() == 0);
    }

    TEST_CASE("reading Mask with no line selected selects the last line") {
        ScopedTestForm form;
        auto* filter = Place<TFilterComboBox>(form, 0, 0, 200, 21);
        filter->SetFilter("A|*.a|B|*.b|C|*.c");
        filter->SetItemIndex(-1);
        CHECK(filter->Mask() == "*.c");
        CHECK(filter->ItemIndex() == 2);
    }
}

TEST_CASE("file list, folder tree, drive and filter lists paint alike every time and leave no GDI object") {
    AlbumTree tree;
    KeepCurrentDir keep;
    ScopedTestForm form(500, 300);
    const PaintReport paint = PaintTwiceAndCycle(form.Get(), RECT{0, 0, 420, 240}, [&] {
        auto* files = Place<TFileListBox>(form, 0, 0, 200, 200);
        files->SetShowGlyphs(true);
        auto* dirs = Place<TDirectoryListBox>(form, 210, 0, 200, 200);
        auto* drives = Place<TDriveComboBox>(form, 210, 210, 200, 22);
        auto* filter = Place<TFilterComboBox>(form, 0, 210, 200, 22);
        dirs->SetFileList(files);
        drives->SetDirList(dirs);
        filter->SetFileList(files);
        dirs->SetDirectory(tree.album);
        files->SetItemIndex(0);
        return std::vector<TControl*>{files, dirs, drives, filter};
    });
    CHECK(paint.samePicture);
    CHECK(paint.growth == 0);
}
