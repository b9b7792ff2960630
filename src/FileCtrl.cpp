#include "FileCtrl.h"

#include <winnetwk.h>

#include <algorithm>
#include <array>
#include <functional>
#include <iterator>
#include <optional>
#include <utility>

#include "StringIds.h"
#include "runtime/Handles.h"
#include "runtime/SysUtils.h"

namespace {

// Attribute bits of the kinds of entry a search returns only on request.
constexpr DWORD SpecialEntryBits = ftHidden | ftSystem | ftVolumeID | ftDirectory;
constexpr DWORD AttributeBits = ftReadOnly | ftHidden | ftSystem | ftVolumeID | ftDirectory | ftArchive;
// The list shows the hourglass once an add has landed this far down.
constexpr int HourglassIndex = 100;

char AsciiUpper(char c) { return c >= 'a' && c <= 'z' ? char(c - 'a' + 'A') : c; }
char AsciiLower(char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; }

std::string CurrentDirectory() {
    wchar_t buffer[MAX_PATH];
    DWORD length = GetCurrentDirectoryW(MAX_PATH, buffer);
    if (length == 0) RaiseLastInOutError();
    if (length < MAX_PATH) return ToUtf8(std::wstring_view(buffer, length));
    std::wstring longer(length, L'\0');
    length = GetCurrentDirectoryW(DWORD(longer.size()), longer.data());
    if (length == 0) RaiseLastInOutError();
    longer.resize(length);
    return ToUtf8(longer);
}

// Enters path; false (the system's error kept) when it cannot.
bool EnterDirectory(const std::string& path) {
    return SetCurrentDirectoryW(ToWide(path).c_str()) != FALSE;
}

void ChangeDirectoryTo(const std::string& path) {
    if (!EnterDirectory(path)) RaiseLastInOutError();
}

// "C:" of a drive path, "\\server\share" of a network path, else empty.
std::string DrivePrefix(const std::string& path) {
    if (path.size() >= 2 && path[1] == ':') return path.substr(0, 2);
    if (path.size() >= 2 && path[0] == '\\' && path[1] == '\\') {
        size_t serverEnd = path.find('\\', 2);
        if (serverEnd == std::string::npos || serverEnd == 2) return {};
        size_t shareEnd = path.find('\\', serverEnd + 1);
        return shareEnd == std::string::npos ? path : path.substr(0, shareEnd);
    }
    return {};
}

bool HasWildcards(const std::string& name) { return name.find_first_of("*?") != std::string::npos; }

// True for an existing file; folders do not count.
bool IsExistingFile(const std::string& path) {
    DWORD attributes = GetFileAttributesW(ToWide(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

// The folder of a split path, in a form the process can change to.
std::string FolderOf(const TUserPath& parts) {
    return parts.Drive ? std::string(1, parts.Drive) + ":" + parts.Directory : parts.Directory;
}

std::vector<std::string> SplitAt(const std::string& text, char separator) {
    std::vector<std::string> parts;
    size_t start = 0;
    for (size_t at; (at = text.find(separator, start)) != std::string::npos; start = at + 1)
        parts.push_back(text.substr(start, at - start));
    parts.push_back(text.substr(start));
    return parts;
}

bool IsProgramName(std::wstring_view name) {
    const size_t dot = name.rfind(L'.');
    if (dot == std::wstring_view::npos || name.size() - dot != 4) return false;
    // Only ASCII letters lower-case to ASCII letters, so ASCII lower-casing finds the same extensions.
    std::wstring extension(name.substr(dot));
    for (wchar_t& c : extension)
        if (c >= L'A' && c <= L'Z') c = wchar_t(c - L'A' + L'a');
    return extension == L".exe" || extension == L".com" || extension == L".bat" || extension == L".pif";
}

// Whether adding items one by one, in the order found, to a list that ends up
// in order (order[k]: the item at position k) puts one of them at index.
bool AnAddLandsAt(const std::vector<size_t>& order, int index) {
    if (order.size() <= size_t(index)) return false;
    std::vector<size_t> position(order.size());
    for (size_t k = 0; k < order.size(); ++k) position[order[k]] = k;
    // A binary indexed tree over the final positions counts the items added before a position.
    std::vector<int> added(order.size() + 1, 0);
    auto lowestBit = [](size_t p) { return p & (~p + 1); };
    for (size_t item = 0; item < position.size(); ++item) {
        int before = 0;
        for (size_t p = position[item]; p > 0; p -= lowestBit(p)) before += added[p];
        if (before == index) return true;
        for (size_t p = position[item] + 1; p < added.size(); p += lowestBit(p)) ++added[p];
    }
    return false;
}

// Names of the sub-folders of directory that are neither hidden nor system
// folders, sorted with letter case ignored; of names that differ only in
// letter case the one found first stays.
std::vector<std::string> SubfolderNames(const std::string& directory) {
    std::vector<std::string> names;
    WIN32_FIND_DATAW entry;
    UniqueFindHandle search(FindFirstFileW(ToWide(JoinPath(directory, "*.*")).c_str(), &entry));
    if (!search) return names;
    do {
        const DWORD attributes = entry.dwFileAttributes;
        const std::string name = ToUtf8(entry.cFileName);
        if ((attributes & FILE_ATTRIBUTE_DIRECTORY) && !(attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) &&
            name != "." && name != "..")
            names.push_back(name);
    } while (FindNextFileW(search.Get(), &entry));
    auto before = [](const std::string& a, const std::string& b) { return AnsiCompareText(a, b) < 0; };
    auto same = [](const std::string& a, const std::string& b) { return AnsiCompareText(a, b) == 0; };
    std::stable_sort(names.begin(), names.end(), before);
    names.erase(std::unique(names.begin(), names.end(), same), names.end());
    return names;
}

TBitmap* GlyphOf(TStrings& items, int index) { return dynamic_cast<TBitmap*>(items.GetObject(index)); }

// Draws glyph at left, centred in row, its bottom-left colour left out.
void DrawGlyph(TCanvas& canvas, TBitmap& glyph, int left, const RECT& row) {
    const int width = glyph.Width(), height = glyph.Height();
    const int top = (row.top + row.bottom - height) / 2;
    canvas.DrawTransparent(RECT{left, top, left + width, top + height}, glyph, RECT{0, 0, width, height},
                           glyph.BottomLeftColor());
}

void LoadGlyph(TBitmap& glyph, const char* name) {
    if (!glyph.LoadFromResourceName(name)) throw EResNotFound(FormatText(LoadStr(SResNotFound), name));
}

// A canvas for measuring text in a copy of a font: a memory context of the
// screen measures as the screen does.
class ScreenCanvas {
public:
    explicit ScreenCanvas(const TFont& font) {
        canvas_.Font().Assign(font);
        canvas_.SetHandle(dc_.Get());
    }
    ~ScreenCanvas() { canvas_.SetHandle(nullptr); }
    ScreenCanvas(const ScreenCanvas&) = delete;
    ScreenCanvas& operator=(const ScreenCanvas&) = delete;
    TCanvas& Get() { return canvas_; }

private:
    UniqueMemoryDC dc_;
    TCanvas canvas_;
};

// Puts back the cursor that was showing when it was made.
class CursorKeeper {
public:
    CursorKeeper() : saved_(GetCursor()) {}
    ~CursorKeeper() { SetCursor(saved_); }
    CursorKeeper(const CursorKeeper&) = delete;
    CursorKeeper& operator=(const CursorKeeper&) = delete;

private:
    HCURSOR saved_;
};

// Suspends redrawing of a list while it is rebuilt.
class UpdateScope {
public:
    explicit UpdateScope(TStrings& items) : items_(items) { items_.BeginUpdate(); }
    ~UpdateScope() { items_.EndUpdate(); }
    UpdateScope(const UpdateScope&) = delete;
    UpdateScope& operator=(const UpdateScope&) = delete;

private:
    TStrings& items_;
};

// Both components hear of the other's destruction.
void LinkBothWays(TComponent* a, TComponent* b) {
    a->FreeNotification(b);
    b->FreeNotification(a);
}

// Posted to a drive list's window when texts of its drives were read, and to
// a folder tree's window when the names of its sub-folders were.
constexpr UINT CM_DRIVETEXTS = CM_FIRST_FREE;
constexpr UINT CM_SUBFOLDERS = CM_FIRST_FREE + 1;
// Posted by a new folder tree to itself, and by a drive list with drives whose
// texts are still unread: the looking starts once the window is up and
// answering, not while the window is being made.
constexpr UINT CM_FINDSUBFOLDERS = CM_FIRST_FREE + 2;
constexpr UINT CM_READDRIVETEXTS = CM_FIRST_FREE + 3;

// Set on a thread whose own error mode already keeps drive errors quiet.
thread_local bool tQuietThread = false;

// Switches critical-error dialogs off for the calling thread alone where the
// system keeps an error mode per thread (Windows 7 on); before that the
// drive texts switch the process's mode while they read.
void QuietenThread() {
    using SetThreadErrorModeFn = BOOL(WINAPI*)(DWORD, DWORD*);
    const auto setThreadErrorMode = reinterpret_cast<SetThreadErrorModeFn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "SetThreadErrorMode")));
    tQuietThread = setThreadErrorMode && setThreadErrorMode(SEM_FAILCRITICALERRORS, nullptr);
}

// The flags of the volume whose label was read last, and when: at start the
// drive list reads the current drive's label and the folder tree its case
// rules, and a sleeping disk or a network drive is slow to answer each.
struct RecentVolume {
    char letter = '\0';  // in lower case
    DWORD flags = 0;
    DWORD readAt = 0;
};
RecentVolume recentVolume;  // under recentVolumeLock: labels are read on other threads too
SRWLOCK recentVolumeLock = SRWLOCK_INIT;
constexpr DWORD kRecentVolumeMs = 2000;

void RememberVolumeFlags(char letter, DWORD flags) {
    AcquireSRWLockExclusive(&recentVolumeLock);
    recentVolume = RecentVolume{AsciiLower(letter), flags, GetTickCount()};
    ReleaseSRWLockExclusive(&recentVolumeLock);
}

std::optional<DWORD> RecentVolumeFlags(char letter) {
    AcquireSRWLockShared(&recentVolumeLock);
    const RecentVolume known = recentVolume;
    ReleaseSRWLockShared(&recentVolumeLock);
    if (known.letter != AsciiLower(letter) || GetTickCount() - known.readAt >= kRecentVolumeMs) return std::nullopt;
    return known.flags;
}

}  // namespace

// Runs Body(*shared) on a thread of its own, with drive errors kept quiet;
// the thread holds a share of the object until it ends, so that its owner
// may go first. A failure on the thread ends it: the owner sees what Body
// did not do. False when no thread starts.
template <typename Shared, void (*Body)(Shared&)>
DWORD WINAPI RunSharing(void* parameter) {
    std::unique_ptr<std::shared_ptr<Shared>> share(static_cast<std::shared_ptr<Shared>*>(parameter));
    try {
        QuietenThread();
        Body(**share);
    } catch (...) {
    }
    return 0;
}

template <typename Shared, void (*Body)(Shared&)>
UniqueKernelHandle StartSharing(const std::shared_ptr<Shared>& shared) {
    auto share = std::make_unique<std::shared_ptr<Shared>>(shared);
    UniqueKernelHandle thread(CreateThread(nullptr, 0, &RunSharing<Shared, Body>, share.get(), 0, nullptr));
    if (thread) share.release();  // the thread's own share
    return thread;
}

// Reading that may keep a drive or a folder waiting, done on a thread of its
// own for a control's window. The thread hands each item over and posts the
// control's message to the window while the control listens; the control
// takes the items when the message comes. The check and the post happen under
// the lock, so once Stop has returned the thread never touches the window
// again, even when it is still waiting for a slow drive then; it ends by
// itself, and what it shares with the control goes with the last of them.
template <typename Item>
class ThreadReading {
public:
    using Work = std::function<void(ThreadReading&)>;

    // Starts work on a thread of its own; without one it runs here.
    static std::shared_ptr<ThreadReading> Start(HWND listener, UINT message, Work work) {
        auto reading = std::make_shared<ThreadReading>(listener, message, std::move(work));
        if (!StartSharing<ThreadReading, &ThreadReading::Run>(reading)) reading->work_(*reading);
        return reading;
    }

    ThreadReading(HWND listener, UINT message, Work work) : listener_(listener), message_(message), work_(std::move(work)) {}

    bool Listening() {
        AcquireSRWLockShared(&lock_);
        const bool listening = listener_ != nullptr;
        ReleaseSRWLockShared(&lock_);
        return listening;
    }

    // The thread's side: keeps item for the control and tells its window.
    void Deliver(Item item) {
        AcquireSRWLockExclusive(&lock_);
        if (listener_) {
            items_.push_back(std::move(item));
            PostMessageW(listener_, message_, 0, 0);
        }
        ReleaseSRWLockExclusive(&lock_);
    }

    // The control's side.
    std::vector<Item> Take() {
        AcquireSRWLockExclusive(&lock_);
        std::vector<Item> items = std::exchange(items_, {});
        ReleaseSRWLockExclusive(&lock_);
        return items;
    }

    void Stop() {
        AcquireSRWLockExclusive(&lock_);
        listener_ = nullptr;
        ReleaseSRWLockExclusive(&lock_);
    }

private:
    // What could not be read is simply not delivered: the lines stay as they are.
    static void Run(ThreadReading& reading) { reading.work_(reading); }

    SRWLOCK lock_ = SRWLOCK_INIT;
    HWND listener_;  // under lock_
    UINT message_;
    std::vector<Item> items_;  // under lock_
    Work work_;
};

// Work started on a thread of its own before a control has its window, so
// that what the window shows first is read while the program makes its other
// windows; Take waits for the result. A result older than kFreshMs when its
// window comes is out of date: Take does the work again, as it does where no
// thread started or the work failed there. An owner gone first leaves the
// thread to end by itself.
template <typename Result>
class ReadAhead {
public:
    using Work = std::function<Result()>;
    static constexpr DWORD kFreshMs = 1000;

    explicit ReadAhead(Work work)
        : shared_(std::make_shared<Shared>(std::move(work))), thread_(StartSharing<Shared, &Shared::Run>(shared_)) {}

    Result Take() {
        if (thread_) WaitForSingleObject(thread_.Get(), INFINITE);
        if (shared_->result && GetTickCount() - shared_->doneAt < kFreshMs) return std::move(*shared_->result);
        return shared_->work();
    }

private:
    struct Shared {
        explicit Shared(Work w) : work(std::move(w)) {}
        // On the thread; a failure leaves no result, and Take does the work again.
        static void Run(Shared& shared) {
            shared.result = shared.work();
            shared.doneAt = GetTickCount();
        }
        Work work;
        std::optional<Result> result;  // written by the thread before it ends
        DWORD doneAt = 0;
    };

    std::shared_ptr<Shared> shared_;
    UniqueKernelHandle thread_;
};

// ---- shared routines

std::string JoinPath(const std::string& path, const std::string& name) {
    if (!path.empty() && path.back() == '\\') return path + name;
    return path + "\\" + name;
}

int FontLineHeight(const TFont& font) {
    // A memory context of the screen has the screen's metrics, and asking it
    // costs no trip to the window system.
    UniqueMemoryDC screen;
    ScopedSelect select(screen.Get(), font.Handle());
    TEXTMETRICW metrics{};
    GetTextMetricsW(screen.Get(), &metrics);
    return metrics.tmHeight;
}

namespace {

// A file name that is no file may be a sub-folder: then it joins the folder.
void TakeFolderName(TUserPath& parts) {
    if (!EnterDirectory(parts.FileName)) {
        // Neither file nor folder: the caller decides whether that is an error.
        parts.MissingError = int(GetLastError());
        return;
    }
    if (parts.Directory != "\\") parts.Directory += '\\';
    parts.Directory += parts.FileName;
    parts.FileName.clear();
}

// The work of SplitUserPath while the process's current directory is borrowed.
TUserPath SplitInPlace(const std::string& text, const std::string& saved) {
    TUserPath parts;
    std::string directory = text;
    std::string driveText;
    if (directory.size() >= 2 && directory.front() == '[' && directory.back() == ']') {
        // A folder as the file list shows it: a name below the current directory.
        directory = directory.substr(1, directory.size() - 2);
        driveText = DrivePrefix(saved);
    } else {
        driveText = DrivePrefix(directory);
        if (!driveText.empty())
            directory.erase(0, driveText.size());
        else
            driveText = DrivePrefix(saved);
    }
    parts.Drive = driveText.size() >= 2 && driveText[1] == ':' ? driveText[0] : '\0';
    ChangeDirectoryTo(driveText);

    const size_t separator = directory.find_last_of("\\:");
    std::string fileName = separator == std::string::npos ? directory : directory.substr(separator + 1);
    if (directory.size() == fileName.size() + 1) {
        directory = "\\";
    } else if (directory.size() > fileName.size()) {
        directory.resize(directory.size() - fileName.size() - 1);
    } else {
        const std::string current = CurrentDirectory();
        directory = current.substr(DrivePrefix(current).size());
        if (directory.empty()) directory = "\\";
    }
    if (!directory.empty()) ChangeDirectoryTo(directory);
    parts.Directory = directory;
    parts.FileName = fileName;
    if (!fileName.empty() && !HasWildcards(fileName) && !IsExistingFile(fileName)) TakeFolderName(parts);
    if (!parts.Drive) parts.Directory.insert(0, driveText);
    return parts;
}

}  // namespace

TUserPath SplitUserPath(const std::string& text) {
    const std::string saved = CurrentDirectory();
    TUserPath parts;
    try {
        parts = SplitInPlace(text, saved);
    } catch (...) {
        EnterDirectory(saved);
        throw;
    }
    ChangeDirectoryTo(saved);
    return parts;
}

int FolderDepth(const std::string& path) { return int(std::count(path.begin(), path.end(), '\\')); }

void DropFirstFolder(std::string& s) {
    if (s == "\\") {
        s.clear();
        return;
    }
    const bool rooted = !s.empty() && s.front() == '\\';
    if (rooted) s.erase(0, 1);
    // A leading "." is taken for the "...\" of an earlier step.
    if (!s.empty() && s.front() == '.') s.erase(0, std::min<size_t>(4, s.size()));
    const size_t separator = s.find('\\');
    s = separator == std::string::npos ? std::string() : "...\\" + s.substr(separator + 1);
    if (rooted) s.insert(0, "\\");
}

std::string ShortenPath(const std::string& path, TCanvas& canvas, int maxWidth) {
    const size_t separator = path.find_last_of("\\:");
    std::string dir = separator == std::string::npos ? std::string() : path.substr(0, separator + 1);
    const std::string name = path.substr(dir.size());
    std::string drive;
    if (dir.size() >= 2 && dir[1] == ':') {
        drive = dir.substr(0, 2);
        dir.erase(0, 2);
    }
    std::string result = path;
    while ((!dir.empty() || !drive.empty()) && canvas.TextWidth(result) > maxWidth) {
        if (dir == "\\...\\") {
            drive.clear();
            dir = "...\\";
        } else if (dir.empty()) {
            drive.clear();
        } else {
            DropFirstFolder(dir);
        }
        result = drive + dir + name;
    }
    return result;
}

// ---- TFileListBox

TFileListBox::TFileListBox(TComponent* owner) : TListBox(owner) {
    SetWidth(145);
    directory_ = CurrentDirectory();
    LoadGlyph(programGlyph_, "EXECUTABLE");
    LoadGlyph(folderGlyph_, "CLOSEDFOLDER");
    LoadGlyph(otherGlyph_, "UNKNOWNFILE");
    SetSorted(true);
    SetStyle(TListBoxStyle::lbOwnerDrawFixed);
    ResetItemHeight();
}

void TFileListBox::SetDirectory(const std::string& directory) {
    if (AnsiCompareText(directory, directory_) == 0) return;
    // The old directory is entered first so that a relative name means a
    // folder below it; one that has vanished must not keep the list there.
    EnterDirectory(directory_);
    ChangeDirectoryTo(directory);
    directory_ = CurrentDirectory();
    RefreshListing();
}

void TFileListBox::SetMask(const std::string& mask) {
    if (mask == mask_) return;
    mask_ = mask;
    RefreshListing();
}

void TFileListBox::SetFileType(TFileType fileType) {
    if (fileType == fileType_) return;
    fileType_ = fileType;
    RefreshListing();
}

void TFileListBox::SetShowGlyphs(bool show) {
    if (show == showGlyphs_) return;
    showGlyphs_ = show;
    if (showGlyphs_ && programGlyph_.Height() + 1 > ItemHeight()) ResetItemHeight();
    Invalidate();
}

// A folder entry as a file list keeps it.
struct TFileEntry {
    std::wstring name;
    DWORD attributes;
};

namespace {

// The entries of directory that match one of mask's patterns (separated by
// ";") and that a list of fileType shows, in the order found.
std::vector<TFileEntry> FindEntries(const std::string& directory, const std::string& mask, TFileType fileType) {
    const DWORD attributes = fileType & AttributeBits;
    const bool everyEntry = (fileType & ftNormal) != 0;
    std::vector<TFileEntry> entries;
    for (const std::string& pattern : SplitAt(mask, ';')) {
        if (pattern.empty()) continue;
        WIN32_FIND_DATAW entry;
        UniqueFindHandle search(FindFirstFileW(ToWide(JoinPath(directory, pattern)).c_str(), &entry));
        if (!search) continue;
        do {
            const DWORD found = entry.dwFileAttributes;
            const bool returned = (found & SpecialEntryBits & ~attributes) == 0;
            if (returned && (everyEntry || (found & attributes) != 0)) entries.push_back({entry.cFileName, found});
        } while (FindNextFileW(search.Get(), &entry));
    }
    return entries;
}

}  // namespace

// A folder's entries being read for a list without its window yet.
struct TListingAhead {
    TListingAhead(std::string directory, std::string mask, TFileType fileType)
        : directory(std::move(directory)), mask(std::move(mask)), fileType(fileType),
          reading([directory = this->directory, mask = this->mask, fileType] {
              return FindEntries(directory, mask, fileType);
          }) {}
    std::string directory, mask;
    TFileType fileType;
    ReadAhead<std::vector<TFileEntry>> reading;
};

TFileListBox::~TFileListBox() = default;

void TFileListBox::RefreshListing() {
    if (!HandleAllocated()) {
        // At start the window comes some milliseconds later; a big folder is read meanwhile.
        listingAhead_ = std::make_unique<TListingAhead>(directory_, mask_, fileType_);
        return;
    }
    ChangeDirectoryTo(directory_);
    {
        UpdateScope update(Items());
        Items().Clear();
        CursorKeeper cursor;
        std::vector<TListItem> entries;
        for (TFileEntry& entry : TakeEntries()) entries.push_back(ItemOf(std::move(entry)));
        PutEntries(entries);
    }
    ReportChange();
}

std::vector<TFileEntry> TFileListBox::TakeEntries() {
    const auto ahead = std::move(listingAhead_);
    if (ahead && ahead->directory == directory_ && ahead->mask == mask_ && ahead->fileType == fileType_)
        return ahead->reading.Take();
    return FindEntries(directory_, mask_, fileType_);
}

TListItem TFileListBox::ItemOf(TFileEntry entry) {
    if (entry.attributes & FILE_ATTRIBUTE_DIRECTORY)
        return {L"[" + entry.name + L"]", showGlyphs_ ? &folderGlyph_ : nullptr};
    TBitmap* glyph = IsProgramName(entry.name) ? &programGlyph_ : &otherGlyph_;
    return {std::move(entry.name), glyph};
}

// The entries go into the list in one go, in the order adding them one by one
// would give; the hourglass shows meanwhile when one of those adds would have
// landed at HourglassIndex.
void TFileListBox::PutEntries(const std::vector<TListItem>& entries) {
    const std::vector<size_t> order = OrderOfAdds(entries);
    if (AnAddLandsAt(order, HourglassIndex)) SetCursor(LoadCursorW(nullptr, IDC_WAIT));
    AppendItems(entries, order);
}

void TFileListBox::ReportChange() {
    lastReported_ = ItemIndex();
    if (fileEdit_) {
        fileEdit_->SetText(lastReported_ >= 0 ? Items().Get(lastReported_) : mask_);
        fileEdit_->SelectAll();
    }
    OnChange(this);
}

void TFileListBox::Click() {
    TListBox::Click();
    if (ItemIndex() != lastReported_) ReportChange();
}

std::string TFileListBox::SelectedName() {
    if (!HandleAllocated()) return {};
    const int index = ItemIndex();
    return index >= 0 && Items().Count() > 0 ? Items().Get(index) : std::string();
}

std::string TFileListBox::FileName() {
    const std::string name = SelectedName();
    return name.empty() ? name : JoinPath(directory_, name);
}

int TFileListBox::IndexOfName(const std::string& name) {
    TStrings& items = Items();
    const int count = items.Count();
    for (int i = 1; i < count; ++i)
        if (AnsiCompareText(items.Get(i), name) == 0) return i;
    return count > 0 && AnsiCompareText(items.Get(0), name) == 0 ? 0 : -1;
}

void TFileListBox::SelectByName(const std::string& name) {
    if (AnsiCompareText(name, SelectedName()) == 0) return;
    SetItemIndex(IndexOfName(name));
    ReportChange();
}

void TFileListBox::SetFileName(const std::string& fileName) {
    if (fileName.empty() || AnsiCompareText(fileName, FileName()) == 0) return;
    const TUserPath parts = SplitUserPath(fileName);
    // The folder alone goes on: a file part that names nothing is reported below, not as a folder error.
    if (dirList_)
        dirList_->SetDirectory(FolderOf(parts));
    else
        SetDirectory(FolderOf(parts));
    if (HasWildcards(parts.FileName)) {
        SetMask(parts.FileName);
        return;
    }
    if (parts.FileName.empty()) return;
    SelectByName(parts.FileName);
    if (!IsExistingFile(JoinPath(directory_, parts.FileName)))
        throw EInvalidOperation(FormatText(LoadStr(SInvalidFileName), fileName));
    if (ItemIndex() < 0) {
        SetMask(parts.FileName);
        SelectByName(parts.FileName);
    }
}

void TFileListBox::SetFileEdit(TEdit* edit) {
    fileEdit_ = edit;
    if (!edit) return;
    LinkBothWays(this, edit);
    const std::string selected = SelectedName();
    edit->SetText(selected.empty() ? mask_ : selected);
}

void TFileListBox::CreateWindowHandle(const TCreateParams& params) {
    TListBox::CreateWindowHandle(params);
    RefreshListing();
}

void TFileListBox::WndProc(TMessage& message) {
    TListBox::WndProc(message);
    if (message.Msg == WM_CHAR && message.WParam == VK_RETURN && ItemIndex() >= 0) DblClick();
}

void TFileListBox::DrawItem(int index, const RECT& rect, UINT) {
    TCanvas& canvas = Canvas();
    canvas.FillRect(rect);
    if (index < 0) return;
    int textOffset = 2;
    if (showGlyphs_) {
        if (TBitmap* glyph = GlyphOf(Items(), index)) {
            DrawGlyph(canvas, *glyph, rect.left + 2, rect);
            textOffset = glyph->Width() + 6;
        }
    }
    canvas.TextOut(rect.left + textOffset, rect.top, Items().Get(index));
}

void TFileListBox::ResetItemHeight() {
    int height = FontLineHeight(Font());
    if (showGlyphs_ && height < programGlyph_.Height() + 1) height = programGlyph_.Height() + 1;
    SetItemHeight(height);
}

void TFileListBox::FontChanged() {
    TListBox::FontChanged();
    ResetItemHeight();
}

void TFileListBox::Notification(TComponent* component, TOperation operation) {
    TListBox::Notification(component, operation);
    if (operation != TOperation::opRemove) return;
    if (component == fileEdit_) fileEdit_ = nullptr;
    if (component == dirList_) dirList_ = nullptr;
    if (component == filterCombo_) filterCombo_ = nullptr;
}

// ---- TDirectoryListBox

TDirectoryListBox::TDirectoryListBox(TComponent* owner) : TListBox(owner) {
    SetWidth(145);
    SetStyle(TListBoxStyle::lbOwnerDrawFixed);
    SetSorted(false);
    LoadGlyph(closedGlyph_, "CLOSEDFOLDER");
    LoadGlyph(openGlyph_, "OPENFOLDER");
    LoadGlyph(currentGlyph_, "CURRENTFOLDER");
    directory_ = CurrentDirectory();
    ResetItemHeight();
}

bool TDirectoryListBox::SameDirectory(const std::string& a, const std::string& b) const {
    return caseSensitive_ ? a == b : AnsiCompareText(a, b) == 0;
}

void TDirectoryListBox::SetDirectory(const std::string& directory) {
    if (directory.empty() || SameDirectory(directory, directory_)) return;
    const TUserPath parts = SplitUserPath(directory);
    if (parts.MissingError) throw EInOutError(parts.MissingError);
    if (parts.Drive != Drive()) MoveToDrive(parts.Drive);
    EnterPath(parts.Directory);
}

// Changes drive on the way to a new directory; the tree waits for the path.
void TDirectoryListBox::MoveToDrive(char letter) {
    FlagScope changing(changingDirectory_);
    if (driveCombo_)
        driveCombo_->SetDrive(letter);
    else
        SwitchDrive(letter);
}

void TDirectoryListBox::EnterPath(const std::string& part) {
    // The part may be relative to the directory or absolute; only the second step must succeed.
    EnterDirectory(directory_);
    ChangeDirectoryTo(part);
    directory_ = CurrentDirectory();
    RebuildTree();
    DirChanged();
}

void TDirectoryListBox::SwitchDrive(char letter) {
    if (AsciiUpper(letter) == AsciiUpper(Drive())) return;
    if (letter) {
        // The letter goes in upper case: the system reports the directory with the letter as given.
        ChangeDirectoryTo(std::string(1, AsciiUpper(letter)) + ":");
        directory_ = CurrentDirectory();
    }
    if (changingDirectory_) return;
    RebuildTree();
    DirChanged();
}

void TDirectoryListBox::ReadVolumeFlags() {
    const std::string root = DrivePrefix(directory_) + "\\";
    DWORD flags = 0;
    if (const auto recent = root.size() == 3 ? RecentVolumeFlags(root[0]) : std::nullopt)
        flags = *recent;
    else if (!GetVolumeInformationW(ToWide(root).c_str(), nullptr, 0, nullptr, nullptr, &flags, nullptr, 0))
        flags = 0;
    preserveCase_ = (flags & (FILE_CASE_PRESERVED_NAMES | FILE_CASE_SENSITIVE_SEARCH)) != 0;
    caseSensitive_ = (flags & FILE_CASE_SENSITIVE_SEARCH) != 0;
}

TDirectoryListBox::~TDirectoryListBox() {
    StopReadingSubfolders();
}

void TDirectoryListBox::RebuildTree(bool subfoldersLater) {
    StopReadingSubfolders();
    ReadVolumeFlags();
    if (!HandleAllocated()) return;
    TStrings& items = Items();
    int selection;
    {
        UpdateScope update(items);
        items.Clear();
        const std::string root = DrivePrefix(directory_) + "\\";
        int level = 0;
        std::string rest = directory_;
        if (root.size() > 1 && root[1] == '\\') {
            items.AddObject(root, &openGlyph_);
            level = 1;
            rest = directory_.substr(std::min(root.size(), directory_.size()));
        }
        if (!rest.empty()) {
            if (rest.back() != '\\') {
                for (size_t separator; (separator = rest.find('\\')) != std::string::npos; ++level) {
                    std::string name = rest.substr(0, separator);
                    rest.erase(0, separator + 1);
                    if (level == 0) name += '\\';
                    items.AddObject(name, &openGlyph_);
                }
            }
            items.AddObject(rest, &currentGlyph_);
        }
        selection = items.Count() - 1;
        if (!subfoldersLater)
            for (const std::string& name : SubfolderNames(directory_)) items.AddObject(name, &closedGlyph_);
    }
    SetItemIndex(selection);
    subfoldersWanted_ = subfoldersLater;
    if (subfoldersLater) PostWhenIdle(Handle(), CM_FINDSUBFOLDERS);
}

void TDirectoryListBox::FindSubfolders() {
    if (!subfoldersWanted_) return;  // the tree was rebuilt with its sub-folders meanwhile
    subfoldersWanted_ = false;
    subfolders_ = ThreadReading<std::vector<std::string>>::Start(
        Handle(), CM_SUBFOLDERS, [directory = directory_](ThreadReading<std::vector<std::string>>& reading) {
            reading.Deliver(SubfolderNames(directory));
        });
}

void TDirectoryListBox::TakeSubfolders() {
    if (!subfolders_) return;
    for (const std::vector<std::string>& names : subfolders_->Take()) {
        const int selection = ItemIndex();
        {
            UpdateScope update(Items());
            for (const std::string& name : names) Items().AddObject(name, &closedGlyph_);
        }
        SetItemIndex(selection);
        subfolders_.reset();  // one delivery is all there is
    }
}

void TDirectoryListBox::StopReadingSubfolders() {
    subfoldersWanted_ = false;
    if (subfolders_) subfolders_->Stop();
    subfolders_.reset();
}

std::string TDirectoryListBox::ItemPath(int index) {
    TStrings& items = Items();
    if (index >= items.Count()) return {};
    if (index < 0) throw EListError(LoadStr(SListIndexError));
    const std::string drive = DrivePrefix(directory_);
    if (index == 0) return drive + "\\";
    TObject* glyph = items.GetObject(index);
    if (glyph == &closedGlyph_) return JoinPath(directory_, items.Get(index));
    if (glyph == &currentGlyph_) return directory_;
    // A folder on the way down: the path up to the "\" that ends its name.
    const std::string path = directory_.substr(drive.size());
    size_t end = path.find('\\');
    for (int passed = 0; passed < index && end != std::string::npos; ++passed) end = path.find('\\', end + 1);
    return end == std::string::npos ? path : path.substr(0, end);
}

void TDirectoryListBox::OpenSelected() {
    const int index = ItemIndex();
    if (index < 0) return;
    SetDirectory(ItemPath(index));
}

void TDirectoryListBox::DblClick() {
    TListBox::DblClick();
    OpenSelected();
}

void TDirectoryListBox::WndProc(TMessage& message) {
    if (message.Msg == CM_FINDSUBFOLDERS) {
        FindSubfolders();
        return;
    }
    if (message.Msg == CM_SUBFOLDERS) {
        TakeSubfolders();
        return;
    }
    if (message.Msg == CM_WANTSPECIALKEY && message.WParam == VK_RETURN) {
        message.Result = 1;  // Enter opens the selected folder; the form must not take it
        return;
    }
    TListBox::WndProc(message);
    if (message.Msg == WM_CHAR && message.WParam == VK_RETURN) OpenSelected();
}

void TDirectoryListBox::DirChanged() {
    if (fileList_) fileList_->SetDirectory(directory_);
    UpdateDirLabel();
    OnChange(this);
}

void TDirectoryListBox::UpdateDirLabel() {
    if (!dirLabel_) return;
    const int width = dirLabel_->AutoSize() ? Width() : dirLabel_->Width();
    ScreenCanvas canvas(dirLabel_->Font());
    dirLabel_->SetCaption(ShortenPath(directory_, canvas.Get(), width));
}

void TDirectoryListBox::SetFileList(TFileListBox* list) {
    if (fileList_) fileList_->dirList_ = nullptr;
    fileList_ = list;
    if (!list) return;
    list->dirList_ = this;
    LinkBothWays(this, list);
}

void TDirectoryListBox::SetDirLabel(TLabel* label) {
    dirLabel_ = label;
    if (label) LinkBothWays(this, label);
    UpdateDirLabel();
}

// A folder of thousands of files takes the folder search a while: the new
// window shows the path at once and the sub-folders when they are found.
void TDirectoryListBox::CreateWindowHandle(const TCreateParams& params) {
    TListBox::CreateWindowHandle(params);
    RebuildTree(true);
}

void TDirectoryListBox::DestroyWnd() {
    StopReadingSubfolders();
    TListBox::DestroyWnd();
}

void TDirectoryListBox::DrawItem(int index, const RECT& rect, UINT) {
    TCanvas& canvas = Canvas();
    canvas.FillRect(rect);
    if (index < 0) return;
    int glyphWidth = 16;
    int offset = index * 4 + 2;
    if (TBitmap* glyph = GlyphOf(Items(), index)) {
        if (glyph == &closedGlyph_) offset = (FolderDepth(directory_) + 1) * 4 + 2;
        glyphWidth = glyph->Width();
        DrawGlyph(canvas, *glyph, rect.left + offset, rect);
    }
    std::string text = Items().Get(index);
    if (!preserveCase_ && !caseSensitive_) text = AnsiLowerCase(text);
    canvas.TextOut(rect.left + glyphWidth + offset + 4, rect.top, text);
}

void TDirectoryListBox::ResetItemHeight() {
    SetItemHeight(std::max(FontLineHeight(Font()), openGlyph_.Height() + 1));
}

void TDirectoryListBox::FontChanged() {
    TListBox::FontChanged();
    ResetItemHeight();
}

void TDirectoryListBox::Notification(TComponent* component, TOperation operation) {
    TListBox::Notification(component, operation);
    if (operation != TOperation::opRemove) return;
    if (component == fileList_) fileList_ = nullptr;
    if (component == driveCombo_) driveCombo_ = nullptr;
    if (component == dirLabel_) dirLabel_ = nullptr;
}

// ---- drive texts

namespace {

std::string SystemDriveText(char letter, UINT driveType) {
    return driveType == DRIVE_REMOTE ? NetworkNameText(letter) : VolumeLabelText(letter);
}

TDriveTextReader gDriveTextReader = &SystemDriveText;

}  // namespace

void SetDriveTextReader(TDriveTextReader reader) {
    gDriveTextReader = reader ? reader : &SystemDriveText;
}

std::string VolumeLabelText(char letter) {
    // A drive without a medium fails quietly instead of asking the user; the
    // process's mode is switched only where the thread's own is not.
    std::optional<ScopedErrorMode> quiet;
    if (!tQuietThread) quiet.emplace(SEM_FAILCRITICALERRORS);
    const wchar_t root[] = {wchar_t(letter), L':', L'\\', L'\0'};
    wchar_t label[261] = L"";
    DWORD flags = 0;
    if (!GetVolumeInformationW(root, label, DWORD(std::size(label)), nullptr, nullptr, &flags, nullptr, 0))
        label[0] = L'\0';
    else
        RememberVolumeFlags(letter, flags);
    const std::string text = letter >= 'a' ? AnsiLowerCase(ToUtf8(label)) : AnsiUpperCase(ToUtf8(label));
    return "[" + text + "]";
}

std::string NetworkNameText(char letter) {
    const wchar_t device[] = {wchar_t(letter), L':', L'\0'};
    wchar_t remote[261] = L"";
    DWORD size = DWORD(std::size(remote));
    if (WNetGetConnectionW(device, remote, &size) != NO_ERROR) return VolumeLabelText(letter);
    return letter >= 'a' ? AnsiLowerCase(ToUtf8(remote)) : AnsiUpperCase(ToUtf8(remote));
}

// ---- TDriveComboBox

namespace {

bool HasText(UINT driveType) {
    return driveType == DRIVE_FIXED || driveType == DRIVE_REMOTE || driveType == DRIVE_CDROM ||
           driveType == DRIVE_RAMDISK;
}

}  // namespace

// The drives present with their kinds, and the text of one of them, as a drive
// list shows them first.
struct TDriveSurvey {
    DWORD present = 0;
    std::array<UINT, 26> types{};
    char textLetter = '\0';  // the drive whose text was asked for, in the lines' case
    TDriveTextReader reader = nullptr;
    std::string text;
};

namespace {

TDriveSurvey SurveyDrives(char textLetter, TDriveTextReader reader) {
    TDriveSurvey survey;
    survey.present = GetLogicalDrives();
    for (int n = 0; n < 26; ++n) {
        if (!(survey.present & (1u << n))) continue;
        const wchar_t root[] = {wchar_t(L'a' + n), L':', L'\\', L'\0'};
        survey.types[size_t(n)] = GetDriveTypeW(root);
    }
    survey.textLetter = textLetter;
    survey.reader = reader;
    const int current = AsciiLower(textLetter) - 'a';
    if (current >= 0 && current < 26 && (survey.present & (1u << current)) && HasText(survey.types[size_t(current)]))
        survey.text = reader(textLetter, survey.types[size_t(current)]);
    return survey;
}

}  // namespace

TDriveComboBox::TDriveComboBox(TComponent* owner) : TComboBox(owner) {
    SetStyle(TComboBoxStyle::csOwnerDrawFixed);
    LoadGlyph(floppyGlyph_, "FLOPPY");
    LoadGlyph(hardGlyph_, "HARD");
    LoadGlyph(networkGlyph_, "NETWORK");
    LoadGlyph(cdromGlyph_, "CDROM");
    LoadGlyph(ramGlyph_, "RAM");
    const std::string current = CurrentDirectory();
    drive_ = current.empty() || current[0] == '\\' ? '\0' : current[0];
    ResetItemHeight();
    surveyAhead_ = std::make_unique<ReadAhead<TDriveSurvey>>(
        [letter = LineLetter(drive_), reader = gDriveTextReader] { return SurveyDrives(letter, reader); });
}

TDriveComboBox::~TDriveComboBox() {
    StopReading();
}

char TDriveComboBox::LineLetter(char letter) const {
    return textCase_ == TTextCase::tcUpperCase ? AsciiUpper(letter) : AsciiLower(letter);
}

// Every line goes in at once; only the current drive is asked for its text
// here (or was, from the constructor on), the others on a thread of their own.
void TDriveComboBox::FillDrives() {
    StopReading();
    Items().Clear();
    const char current = LineLetter(drive_);
    const auto ahead = std::move(surveyAhead_);
    TDriveSurvey survey = ahead ? ahead->Take() : TDriveSurvey{};
    if (!ahead || survey.textLetter != current || survey.reader != gDriveTextReader)
        survey = SurveyDrives(current, gDriveTextReader);
    std::vector<std::pair<char, UINT>> later;
    for (int n = 0; n < 26; ++n) {
        if (!(survey.present & (1u << n))) continue;
        const char letter = LineLetter(char('a' + n));
        const UINT type = survey.types[size_t(n)];
        if (letter != current && HasText(type)) later.emplace_back(letter, type);
        AddDrive(letter, type, letter == current ? survey.text : std::string());
    }
    unread_ = std::move(later);
    if (!unread_.empty()) PostWhenIdle(Handle(), CM_READDRIVETEXTS);
}

// The line of a drive: its letter, and its text after a blank once known.
void TDriveComboBox::AddDrive(char letter, UINT type, const std::string& text) {
    const std::string line = std::string(1, letter) + ":" + (text.empty() ? "" : " " + text);
    TStrings& items = Items();
    switch (type) {
        case DRIVE_REMOVABLE: items.AddObject(line, &floppyGlyph_); break;  // no medium is touched
        case DRIVE_FIXED: items.AddObject(line, &hardGlyph_); break;
        case DRIVE_REMOTE: items.AddObject(line, &networkGlyph_); break;
        case DRIVE_CDROM: items.AddObject(line, &cdromGlyph_); break;
        case DRIVE_RAMDISK: items.AddObject(line, &ramGlyph_); break;
        default: break;  // unknown kind or no root: no line
    }
}

void TDriveComboBox::ReadTextsLater(std::vector<std::pair<char, UINT>> drives) {
    reading_ = ThreadReading<DriveText>::Start(
        Handle(), CM_DRIVETEXTS, [drives = std::move(drives), reader = gDriveTextReader](ThreadReading<DriveText>& reading) {
            for (const auto& [letter, type] : drives) {
                if (!reading.Listening()) return;
                reading.Deliver({letter, reader(letter, type)});
            }
        });
}

void TDriveComboBox::TakeTexts() {
    if (!reading_) return;
    const std::vector<DriveText> texts = reading_->Take();
    TStrings& items = Items();
    const int selected = ItemIndex();
    for (const auto& [letter, text] : texts) {
        for (int i = 0, count = items.Count(); i < count; ++i) {
            const std::string line = items.Get(i);
            if (line.size() == 2 && line[0] == letter && line[1] == ':') {
                items.Put(i, line + " " + text);
                break;
            }
        }
    }
    if (ItemIndex() != selected) SetItemIndex(selected);
}

void TDriveComboBox::StopReading() {
    unread_.clear();
    if (reading_) reading_->Stop();
    reading_.reset();
}

void TDriveComboBox::WndProc(TMessage& message) {
    if (message.Msg == CM_DRIVETEXTS) {
        TakeTexts();
        return;
    }
    if (message.Msg == CM_READDRIVETEXTS) {
        if (!unread_.empty()) ReadTextsLater(std::exchange(unread_, {}));
        return;
    }
    TComboBox::WndProc(message);
}

void TDriveComboBox::DestroyWnd() {
    // The lines' texts come to this window: a new one reads them anew.
    StopReading();
    TComboBox::DestroyWnd();
}

void TDriveComboBox::SelectDrive(char letter) {
    // Without a window there are no lines yet; the drive is chosen all the same.
    const bool hasLines = HandleAllocated();
    if (hasLines && ItemIndex() >= 0 && AsciiUpper(letter) == AsciiUpper(drive_)) return;
    const char previous = drive_;
    drive_ = !letter ? '\0' : textCase_ == TTextCase::tcUpperCase ? AsciiUpper(letter) : AsciiLower(letter);
    if (hasLines) SelectLineOf(drive_);
    if (dirList_) {
        try {
            dirList_->SwitchDrive(drive_);
        } catch (const Exception&) {
            // The tree stayed where it was: so does the list, and choosing the drive again retries.
            drive_ = previous;
            if (hasLines) SelectLineOf(drive_);
            throw;
        }
    }
    OnChange(this);
}

// Selects the first line of the drive; without one the selection stays.
void TDriveComboBox::SelectLineOf(char letter) {
    if (!letter) {
        SetItemIndex(-1);
        return;
    }
    TStrings& items = Items();
    for (int i = 0, count = items.Count(); i < count; ++i) {
        const std::string line = items.Get(i);
        if (line.size() >= 2 && AsciiUpper(line[0]) == AsciiUpper(letter) && line[1] == ':') {
            SetItemIndex(i);
            return;
        }
    }
}

void TDriveComboBox::Click() {
    TComboBox::Click();
    const int index = ItemIndex();
    if (index >= 0) SelectDrive(Items().Get(index)[0]);
}

void TDriveComboBox::SetTextCase(TTextCase textCase) {
    textCase_ = textCase;
    // Without a window the lines are made, in this case, when it is created.
    if (!HandleAllocated()) return;
    const char remembered = drive_;
    FillDrives();
    SelectDrive(remembered);
}

void TDriveComboBox::SetDirList(TDirectoryListBox* list) {
    if (dirList_) dirList_->driveCombo_ = nullptr;
    dirList_ = list;
    if (!list) return;
    list->driveCombo_ = this;
    LinkBothWays(this, list);
}

void TDriveComboBox::CreateWindowHandle(const TCreateParams& params) {
    TComboBox::CreateWindowHandle(params);
    FillDrives();
    SelectDrive(drive_);
}

void TDriveComboBox::DrawItem(int index, const RECT& rect, UINT) {
    TCanvas& canvas = Canvas();
    canvas.FillRect(rect);
    if (index < 0) return;
    int glyphWidth = 16;
    if (TBitmap* glyph = GlyphOf(Items(), index)) {
        glyphWidth = glyph->Width();
        DrawGlyph(canvas, *glyph, rect.left + 2, rect);
    }
    RECT textRect = rect;
    textRect.left += glyphWidth + 6;
    canvas.DrawText(Items().Get(index), textRect, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
}

void TDriveComboBox::ResetItemHeight() {
    const int height = std::max(FontLineHeight(Font()), floppyGlyph_.Height());
    if (height > 0) SetItemHeight(height);
}

void TDriveComboBox::FontChanged() {
    TComboBox::FontChanged();
    // A new item height re-creates the window by itself; an unchanged one must not keep the old font's lines.
    const int before = ItemHeight();
    ResetItemHeight();
    if (ItemHeight() == before) RecreateWnd();
}

void TDriveComboBox::Notification(TComponent* component, TOperation operation) {
    TComboBox::Notification(component, operation);
    if (operation == TOperation::opRemove && component == dirList_) dirList_ = nullptr;
}

// ---- TFilterComboBox

TFilterComboBox::TFilterComboBox(TComponent* owner) : TComboBox(owner) {
    SetStyle(TComboBoxStyle::csDropDownList);
    filter_ = LoadStr(SDefaultFilter);
    ParseFilter();
}

void TFilterComboBox::SetFilter(const std::string& filter) {
    if (AnsiCompareText(filter, filter_) == 0) return;
    filter_ = filter;
    ParseFilter();
    PushMask();
}

void TFilterComboBox::ParseFilter() {
    descriptions_.clear();
    masks_.clear();
    std::string rest = filter_;
    for (size_t bar; (bar = rest.find('|')) != std::string::npos;) {
        descriptions_.push_back(rest.substr(0, bar));
        rest.erase(0, bar + 1);
        bar = rest.find('|');
        masks_.push_back(rest.substr(0, bar));
        rest = bar == std::string::npos ? std::string() : rest.substr(bar + 1);
    }
    // Without a window the lines are made when it is created.
    if (!HandleAllocated()) return;
    TStrings& items = Items();
    items.Clear();
    for (const std::string& description : descriptions_) items.Add(description);
    if (!descriptions_.empty()) SetItemIndex(0);
}

std::string TFilterComboBox::Mask() {
    if (!HandleAllocated()) return masks_.empty() ? "*.*" : masks_.front();
    int index = ItemIndex();
    if (index < 0 && !masks_.empty()) {
        index = int(masks_.size()) - 1;
        SetItemIndex(index);
    }
    return index >= 0 && size_t(index) < masks_.size() ? masks_[size_t(index)] : "*.*";
}

void TFilterComboBox::PushMask() {
    if (fileList_) fileList_->SetMask(Mask());
    OnChange(this);
}

void TFilterComboBox::Click() {
    TComboBox::Click();
    PushMask();
}

void TFilterComboBox::SetFileList(TFileListBox* list) {
    if (fileList_) fileList_->filterCombo_ = nullptr;
    fileList_ = list;
    if (!list) return;
    LinkBothWays(this, list);
    list->filterCombo_ = this;
}

void TFilterComboBox::CreateWindowHandle(const TCreateParams& params) {
    TComboBox::CreateWindowHandle(params);
    ParseFilter();
}

void TFilterComboBox::Notification(TComponent* component, TOperation operation) {
    TComboBox::Notification(component, operation);
    if (operation == TOperation::opRemove && component == fileList_) fileList_ = nullptr;
}
