// The real program seen from outside: brumik.exe started as its own process
// with a track on its command line, watched and driven through its windows
// the way another program (or a user) would, and closed through its question.
#include <doctest.h>

#include <windows.h>
#include <commctrl.h>
#include <psapi.h>

#include <algorithm>
#include <functional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "Controls.h"
#include "../tools/StartedProgram.h"
#include "TestFiles.h"
#include "TrackFiles.h"
#include "Unit1.h"
#include "WineGui.h"

namespace {

constexpr int kAnswerTimeoutMs = 5000;
constexpr char kQuestionText[] = "Koniec programu Brumik?";
constexpr char kQuestionCaption[] = "Brumik: Potwierdzenie operacji";

// The main window's caption: one blank, the name, 36 blanks and the subtitle.
std::string MainCaption() {
    return " Brumik" + std::string(36, ' ') + "Tonograjek MP3";
}

// brumik.exe as Windows sees it: the build folder is a Unix path shown as drive Z:.
std::string ProgramPath() {
    std::string path = std::string("Z:") + BRUMIK_EXE_DIR + "/brumik.exe";
    std::replace(path.begin(), path.end(), '/', '\\');
    return path;
}

// The 128-byte description trailer with the given title, artist and genre byte.
Bytes Trailer(std::string_view title, std::string_view artist, uint8_t genre) {
    return BytesOf(MakeTag(title, artist, "Album", "2024", "Uwagi", genre));
}

// A copy of the 2-second clip with a trailer, written into folder under name.
std::string WriteTaggedClip(const std::string& folder, const std::string& name, std::string_view title) {
    Bytes bytes = ReadBytes(TestDataFile("tone2s.mp3"));
    const Bytes tag = Trailer(title, "Wykonawca", 17);
    bytes.insert(bytes.end(), tag.begin(), tag.end());
    const std::string path = folder + "\\" + name;
    WriteBytes(path, bytes);
    return path;
}

// brumik.exe running with one quoted argument, in folder (this program's when empty).
StartedProgram StartBrumik(const std::string& argument, const std::string& folder = {}) {
    return StartedProgram(Quoted(ProgramPath()) + ' ' + Quoted(argument), folder);
}

// ---- finding the other process's windows

DWORD ProcessOf(HWND window) {
    DWORD id = 0;
    GetWindowThreadProcessId(window, &id);
    return id;
}

std::string ClassOf(HWND window) {
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    return ToUtf8(name);
}

struct TopWindowSearch {
    DWORD processId;
    std::string className;
    std::vector<HWND> found;
};

BOOL CALLBACK CollectTopWindow(HWND window, LPARAM param) {
    try {
        auto& search = *reinterpret_cast<TopWindowSearch*>(param);
        if (ProcessOf(window) == search.processId && IsWindowVisible(window) && ClassOf(window) == search.className)
            search.found.push_back(window);
        return TRUE;
    } catch (...) {
        ReportException(nullptr);
        return FALSE;
    }
}

// The visible top-level windows of a process whose class is className.
std::vector<HWND> VisibleTopWindows(DWORD processId, const std::string& className) {
    TopWindowSearch search{processId, className, {}};
    EnumWindows(&CollectTopWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// The text of a window of another process, asked from the window itself (an
// edit's current text is not the caption the window manager keeps).
std::string TextOf(HWND window) {
    wchar_t buffer[512] = {};
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutW(window, WM_GETTEXT, 512, reinterpret_cast<LPARAM>(buffer), SMTO_ABORTIFHUNG,
                             kAnswerTimeoutMs, &length))
        return "<no answer>";
    return ToUtf8(std::wstring_view(buffer, std::min<size_t>(length, 511)));
}

HWND MainWindowOf(const StartedProgram& program) {
    for (HWND window : VisibleTopWindows(program.Id(), "TBrumikForm"))
        if (TextOf(window) == MainCaption()) return window;
    return nullptr;
}

// The exit question of the program, when one is shown.
HWND QuestionBoxOf(const StartedProgram& program) {
    for (HWND box : VisibleTopWindows(program.Id(), "#32770"))
        if (TextOf(box) == kQuestionCaption && TextOf(GetDlgItem(box, 0xFFFF)) == kQuestionText) return box;
    return nullptr;
}

// The direct children of parent of one class, in their z-order.
std::vector<HWND> ChildrenOfClass(HWND parent, const char* className) {
    std::vector<HWND> children;
    for (HWND child = FindWindowExA(parent, nullptr, className, nullptr); child;
         child = FindWindowExA(parent, child, className, nullptr))
        children.push_back(child);
    return children;
}

HWND OnlyChild(HWND parent, const char* className) {
    const std::vector<HWND> children = ChildrenOfClass(parent, className);
    REQUIRE_MESSAGE(children.size() == 1, className << " children: " << children.size());
    return children.front();
}

// The one child of parent of one class once it has a window (a control gets
// its window when it is first shown), or nullptr.
HWND ChildOnceShown(HWND parent, const char* className) {
    const std::vector<HWND> children = ChildrenOfClass(parent, className);
    REQUIRE_MESSAGE(children.size() <= 1, className << " children: " << children.size());
    return children.empty() ? nullptr : children.front();
}

// The child of parent whose top-left corner lies at left, top of parent's client area.
HWND ChildAt(HWND parent, const char* className, int left, int top) {
    for (HWND child : ChildrenOfClass(parent, className)) {
        RECT r{};
        GetWindowRect(child, &r);
        MapWindowPoints(HWND_DESKTOP, parent, reinterpret_cast<POINT*>(&r), 2);
        if (r.left == left && r.top == top) return child;
    }
    FAIL("no " << className << " at " << left << ", " << top);
    return nullptr;
}

// The items of another process's list box.
std::vector<std::string> ListItems(HWND list) {
    std::vector<std::string> items;
    const LRESULT count = SendMessageW(list, LB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
        wchar_t wide[512] = {};
        const LRESULT length = SendMessageW(list, LB_GETTEXT, WPARAM(i), reinterpret_cast<LPARAM>(wide));
        items.push_back(ToUtf8(std::wstring_view(wide, size_t(std::max<LRESULT>(length, 0)))));
    }
    return items;
}

// Memory inside another process, released when leaving scope.
class RemoteBuffer {
public:
    RemoteBuffer(HANDLE process, size_t size)
        : process_(process), size_(size),
          address_(VirtualAllocEx(process, nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE)) {}
    ~RemoteBuffer() {
        if (address_) VirtualFreeEx(process_, address_, 0, MEM_RELEASE);
    }
    RemoteBuffer(const RemoteBuffer&) = delete;
    RemoteBuffer& operator=(const RemoteBuffer&) = delete;

    bool Valid() const { return address_ != nullptr; }
    LPARAM Address() const { return reinterpret_cast<LPARAM>(address_); }
    std::string ReadText() const {
        std::vector<wchar_t> text(size_ / sizeof(wchar_t) + 1, L'\0');
        SIZE_T read = 0;
        ReadProcessMemory(process_, address_, text.data(), size_, &read);
        return ToUtf8(text.data());
    }

private:
    HANDLE process_;
    size_t size_;
    void* address_;
};

// The text of a status bar panel of another process, as shown. The status
// bar's get-text message carries no marshalled buffer, so the text is written
// into the program's own memory and read from there. A centred panel keeps its
// text after a tab, the status bar's mark for centring, which is not shown.
std::string PanelText(const StartedProgram& program, HWND statusBar, int panel) {
    RemoteBuffer buffer(program.Process(), 512);
    if (!buffer.Valid()) return "<no memory in the program>";
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutW(statusBar, SB_GETTEXTW, WPARAM(panel), buffer.Address(), SMTO_ABORTIFHUNG,
                             kAnswerTimeoutMs, &result))
        return "<no answer>";
    const std::string text = buffer.ReadText();
    return text.substr(std::min(text.find_first_not_of('\t'), text.size()));
}

// Watches until done() or timeoutMs, keeping this test's own windows served meanwhile.
bool WaitFor(const std::function<bool()>& done, int timeoutMs = 10000) {
    return PumpUntil(done, timeoutMs);
}

// Presses a button of the program's message box, as a click on it would.
void Press(HWND box, int buttonId) {
    HWND button = GetDlgItem(box, buttonId);
    REQUIRE(button != nullptr);
    PostMessageA(button, BM_CLICK, 0, 0);
}

// The windows of the running program that the tests look at.
struct PlayerWindows {
    HWND main;
    HWND fileList;
    HWND descriptionGroup;
    HWND folderList;
    HWND statusBar;
    HWND slider;
};

// Waits for the program's main window to appear and names its parts.
PlayerWindows FindPlayerWindows(const StartedProgram& program) {
    PlayerWindows w{};
    REQUIRE_MESSAGE(WaitFor([&] { return (w.main = MainWindowOf(program)) != nullptr; }),
                    "the main window did not appear");
    // Idle input means the window's creation, with its start-up track, is over.
    CHECK(WaitForInputIdle(program.Process(), 10000) == 0);
    // The file list sits right on the window; the folder list inside the folder panel.
    w.fileList = OnlyChild(w.main, "TListBox");
    w.descriptionGroup = ChildOnceShown(w.main, "TGroupBox");
    w.statusBar = OnlyChild(w.main, "TStatusBar");
    w.slider = OnlyChild(w.main, "TTrackBar");
    for (HWND panel : ChildrenOfClass(w.main, "TBrumikControl"))
        if (HWND list = FindWindowExA(panel, nullptr, "TListBox", nullptr)) w.folderList = list;
    REQUIRE(w.folderList != nullptr);
    return w;
}

// The texts the position panel showed while watching for watchMs.
std::set<std::string> PositionTextsSeen(const StartedProgram& program, const PlayerWindows& w, int watchMs) {
    std::set<std::string> seen;
    PumpUntil(
        [&] {
            seen.insert(PanelText(program, w.statusBar, 2));
            return false;
        },
        watchMs);
    return seen;
}

// Checks that the track is playing: the position panel counts the seconds of
// the 2-second clip, which plays over and over as the only item of the list.
void CheckPlaying(const StartedProgram& program, const PlayerWindows& w) {
    CHECK(PanelText(program, w.statusBar, 0) == "1 z 1");
    CHECK(SendMessageA(w.slider, TBM_GETRANGEMAX, 0, 0) == 2);
    CHECK(PanelText(program, w.statusBar, 1) == FormatTrackTime(2000));
    std::set<std::string> positions;
    const bool counted = WaitFor(
        [&] {
            positions.insert(PanelText(program, w.statusBar, 2));
            return positions.count(FormatTrackTime(1000)) > 0;
        },
        8000);
    CHECK_MESSAGE(counted, "the position panel never showed the first second");
}

// The close box, Alt+F4 and the system menu all reach the window as WM_CLOSE.
void CloseWindow(const PlayerWindows& w) {
    PostMessageA(w.main, WM_CLOSE, 0, 0);
}

// A click on the tool bar's exit button (its last button, at 414, 2, 28 x 28).
void ClickExitButton(const PlayerWindows& w) {
    HWND toolBar = ChildAt(w.main, "TBrumikControl", 0, 0);
    const LPARAM centre = MAKELPARAM(414 + 14, 2 + 14);
    PostMessageA(toolBar, WM_MOUSEMOVE, 0, centre);
    PostMessageA(toolBar, WM_LBUTTONDOWN, MK_LBUTTON, centre);
    PostMessageA(toolBar, WM_LBUTTONUP, 0, centre);
}

// Does what ask() does and waits for the exit question it brings up.
HWND ExitQuestionAfter(const StartedProgram& program, const std::function<void()>& ask) {
    ask();
    HWND box = nullptr;
    REQUIRE_MESSAGE(WaitFor([&] { return (box = QuestionBoxOf(program)) != nullptr; }), "no exit question");
    return box;
}

// Says No to the exit question: the program goes on, its window still shown and playing.
void AnswerNoAndCheckItRuns(const StartedProgram& program, const PlayerWindows& w, HWND box) {
    Press(box, IDNO);
    CHECK(WaitFor([&] { return !IsWindow(box); }));
    PumpFor(500);
    CHECK(program.Running());
    CHECK(IsWindowVisible(w.main));
    CHECK(QuestionBoxOf(program) == nullptr);
    // The track plays on: the position panel still changes.
    CHECK(PositionTextsSeen(program, w, 2500).size() >= 2);
}

// Says Yes to the exit question: the program ends with exit code 0 and asks nothing more.
void AnswerYesAndCheckItEnds(const StartedProgram& program, HWND box) {
    Press(box, IDYES);
    int laterQuestions = 0;
    WaitFor(
        [&] {
            if (!program.Running()) return true;
            HWND later = QuestionBoxOf(program);
            if (later && later != box) {
                ++laterQuestions;
                box = later;
                Press(later, IDYES);  // let it end anyway, so that the test can go on
            }
            return false;
        },
        10000);
    CHECK(laterQuestions == 0);
    REQUIRE_MESSAGE(!program.Running(), "the program still runs after Yes");
    CHECK(program.ExitCode() == 0);
}

// Whether program has loaded the system library named (lower case, with its extension).
bool HasLoaded(const StartedProgram& program, const std::wstring& library) {
    HMODULE modules[512];
    DWORD bytes = 0;
    REQUIRE(EnumProcessModules(program.Process(), modules, sizeof modules, &bytes));
    for (DWORD i = 0; i < bytes / sizeof(HMODULE); ++i) {
        wchar_t name[MAX_PATH] = {};
        GetModuleBaseNameW(program.Process(), modules[i], name, MAX_PATH);
        CharLowerW(name);
        if (library == name) return true;
    }
    return false;
}

}  // namespace

TEST_CASE("brumik.exe started without a track leaves the sound library unloaded until a track is opened") {
    TempDir folder;
    const std::string path = WriteTaggedClip(folder.Path(), "jeden.mp3", "Jeden");
    StartedProgram program(Quoted(ProgramPath()), folder.Path());
    const PlayerWindows w = FindPlayerWindows(program);
    CHECK(ListItems(w.fileList) == std::vector<std::string>{"jeden.mp3"});
    CHECK_FALSE(HasLoaded(program, L"winmm.dll"));
    CHECK(HasLoaded(program, L"comctl32.dll"));  // the look works: it sees what is loaded

    StartedProgram later = StartBrumik(path);  // handed over to the running player, which opens it
    REQUIRE(later.WaitForExit(10000));
    CheckPlaying(program, w);
    CHECK(HasLoaded(program, L"winmm.dll"));
    AnswerYesAndCheckItEnds(program, ExitQuestionAfter(program, [&] { ClickExitButton(w); }));
}

TEST_CASE("brumik.exe started in a folder named in any script on a described track: lists, describes, plays, ends") {
    TempDir temp;
    // Folder and file names outside the system's code page; the program starts in that folder.
    const std::string folder = temp.File("Søren Дом 東京");
    REQUIRE(CreateDirectoryW(ToWide(folder).c_str(), nullptr));
    const std::string name = "Mój utwór Ñandú.mp3";
    const std::string title = "Żółta łódź";
    const std::string path = WriteTaggedClip(folder, name, title);

    StartedProgram program = StartBrumik(path, folder);
    const PlayerWindows w = FindPlayerWindows(program);

    CHECK(ListItems(w.fileList) == std::vector<std::string>{name});
    CHECK(SendMessageA(w.fileList, LB_GETCURSEL, 0, 0) == 0);

    REQUIRE(w.descriptionGroup);
    CHECK(IsWindowVisible(w.descriptionGroup));
    const std::vector<HWND> edits = ChildrenOfClass(w.descriptionGroup, "TEdit");
    CHECK(edits.size() == 6);
    CHECK(TextOf(ChildAt(w.descriptionGroup, "TEdit", 48, 96)) == title);       // title
    CHECK(TextOf(ChildAt(w.descriptionGroup, "TEdit", 48, 128)) == "Wykonawca");  // artist
    CHECK(TextOf(ChildAt(w.descriptionGroup, "TEdit", 6, 32)) == "Mój utwór Ñandú");  // file name, no extension
    CHECK(TextOf(OnlyChild(w.descriptionGroup, "TComboBox")) == "Rock");          // genre 17

    CheckPlaying(program, w);
    AnswerNoAndCheckItRuns(program, w, ExitQuestionAfter(program, [&] { CloseWindow(w); }));
    AnswerYesAndCheckItEnds(program, ExitQuestionAfter(program, [&] { CloseWindow(w); }));
}

TEST_CASE("brumik.exe started with a read-only track shows the folder view, plays it, and ends by its exit button") {
    TempDir folder;
    const std::string name = "tylko do odczytu.mp3";
    const std::string path = WriteTaggedClip(folder.Path(), name, "Nie do zmiany");
    REQUIRE(SetFileAttributesW(ToWide(path).c_str(), FILE_ATTRIBUTE_READONLY));

    StartedProgram program = StartBrumik(path);
    const PlayerWindows w = FindPlayerWindows(program);

    CHECK(ListItems(w.fileList) == std::vector<std::string>{name});
    CHECK_FALSE((w.descriptionGroup && IsWindowVisible(w.descriptionGroup)));
    CHECK(IsWindowVisible(w.folderList));
    CheckPlaying(program, w);
    // The exit button asks once; the window's own close question does not follow.
    AnswerYesAndCheckItEnds(program, ExitQuestionAfter(program, [&] { ClickExitButton(w); }));
}

TEST_CASE("a second start hands its file to the running player and ends; the one player plays that file") {
    TempDir folder;
    StartedProgram program = StartBrumik(WriteTaggedClip(folder.Path(), "pierwszy.mp3", "Jeden"));
    const PlayerWindows w = FindPlayerWindows(program);
    CHECK(ListItems(w.fileList) == std::vector<std::string>{"pierwszy.mp3"});

    StartedProgram later = StartBrumik(WriteTaggedClip(folder.Path(), "drugi Дом.mp3", "Dwa"));
    REQUIRE(later.WaitForExit(10000));
    CHECK(later.ExitCode() == 0);
    CHECK(WaitFor([&] { return ListItems(w.fileList) == std::vector<std::string>{"drugi Дом.mp3"}; }));
    CHECK(TextOf(ChildAt(w.descriptionGroup, "TEdit", 48, 96)) == "Dwa");
    CheckPlaying(program, w);
    AnswerYesAndCheckItEnds(program, ExitQuestionAfter(program, [&] { ClickExitButton(w); }));
}
