#include "Unit1.h"

#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>
#include <digitalv.h>

#include <algorithm>
#include <optional>
#include <utility>
#include <vector>

#include "Controls.h"
#include "Dialogs.h"
#include "Registry.h"
#include "Version.h"
#include "runtime/CmdLine.h"
#include "runtime/Handles.h"
#include "runtime/SysUtils.h"

const char TermsOfUseAddress[] = "https://brumik.pl/warunki-uzytkowania.pdf";

bool TagWritable = false;
TForm1* Form1 = nullptr;

namespace {

constexpr char kQuestionCaption[] = "Brumik: Potwierdzenie operacji";
constexpr UINT kYesNoQuestion = MB_YESNO | MB_ICONQUESTION;     // 36
constexpr UINT kYesNoExclamation = MB_YESNO | MB_ICONEXCLAMATION;  // 52
// What the status bar's length and position panels show while no track is open.
constexpr char kLengthPanelText[] = "Czas";
constexpr char kPositionPanelText[] = "Stan";
constexpr char kAssociationRefused[] =
    "Nie udało się skojarzyć plików MP3 z programem Brumik: system nie pozwolił zapisać skojarzenia w rejestrze.";
constexpr char kMp3UserChoice[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts\\.mp3\\UserChoice";
constexpr char kChooseInSettings[] =
    "Brumik jest zarejestrowany jako program do plików MP3. Windows będzie nim otwierać pliki MP3, gdy wybierzesz "
    "go w: Ustawienia > Aplikacje > Aplikacje domyślne.";
constexpr char kNoTrackToDescribe[] = "Opis utworu można zapisać dopiero po wybraniu pliku z listy!";

const char* const kProgramNote[] = {
    "Brumik                                   Tonograjek MP3",
    "                                                    wersja " BRUMIK_VERSION_TEXT,
    "",
    "  Program Brumik to niewielki odtwarzacz plików mp3 przystosowany do pracy     ",
    "w systemach Windows (98, XT, Vista). Program nie wymaga specjalnej instalacji",
    "i może być uruchamiany z zewnętrznych nośników pamięci.                      ",
    "Klawisz [Zmiany: Wybór / Opis] jest aktywny na pasku narzędziowym, gdy nośnik",
    "plików mp3 umożliwia dokonywanie zmian w opisie pliku dżwiękowego (tzw.tagi).",
    "  Dostępne pola pozwalają na wybranie napędu i folderu z plikami mp3. Pliki  ",
    "te są odnajdywane automatycznie i przedstawiane obok w \"Polu listy plików\".  ",
    "",
    "  Pstryknięcie jednorazowe myszką na dowolnym pliku z listy wprowadza plik   ",
    "do odtwarzacza. Odtwarzanie uruchamia wybranie na pasku klawisza [Odtwarzaj].",
    "Dwukrotne pstryknięcie myszką od razu rozpoczyna odtwarzanie pliku.          ",
    "",
    "  Na pasku stanu podawane są:                                                ",
    "        -  kolejny nr utworu w odniesieniu do sumy utworów mp3 na liście;    ",
    "        -  czas trwania całego utworu;                                       ",
    "        -  aktualny czas odtwarzania.                                        ",
    "  Odsłuchiwanie utworu można w każdej chwili przerwać przyciskiem [Przerwij],",
    "zmienić na inny, albo zatrzymać i wznowić odtwarzanie od wybranego suwakiem  ",
    "miejsca.                                                                     ",
    "  Głośność można regulować w skali od 0 do 100, przy czym zero wyłącza dźwięk",
    "całkowicie, tak jak klawisz [Cisza] na pasku narzędziowym.                   ",
    "",
    "  Pliki mp3 można skojarzyć w systemie z programem Brumik wybierając poniżej   ",
    "klawisz [Tak]. Klawisz [Nie] tylko zamyka okno tej notatki. Skojarzenie można",
    "wykonać również w systemie poprzez \"Panel sterowania\" i dalej opcję \"Programy",
    "domyślne\". Pliki skojarzone są oznaczone ikoną programu Brumik i jeśli myszką  ",
    "dwukrotnie pstrykniemy na takim pliku (mp3), to najpierw otworzy się program ",
    "Brumik, a następnie tylko wybrany plik zostanie w nim otwarty i odtworzony.    ",
    "",
    "Odtwarzanie utworów z listy przebiega cyklicznie.                            ",
    "                                                                                                                  Wenrod",
    "UWAGA!",
    "======",
    "Czy skojarzyć pliki mp3 z programem Brumik?",
};

std::string ProgramNote() {
    std::string note;
    for (const char* line : kProgramNote) {
        if (!note.empty() || line != kProgramNote[0]) note += "\r\n";
        note += line;
    }
    return note;
}

// The file search finds the path, and it names no folder.
bool TrackFileExists(const std::string& path) {
    WIN32_FIND_DATAW found;
    UniqueFindHandle search(FindFirstFileW(ToWide(path).c_str(), &found));
    return search && !(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::string MissingTrackNotice(const std::string& path) {
    return "Wskazany plik mp3: \r\n" + path + "\r\n" + "nie jest dostępny!";
}

std::string UnplayableTrackNotice(const std::string& path) {
    return "Wskazanego pliku mp3: \r\n" + path + "\r\n" +
           "nie można odtworzyć: nie jest to plik MP3, który Brumik potrafi odtworzyć, albo jest uszkodzony.";
}

// Why the system refused to save a description, in the user's words.
std::string SaveFailureReason(int errorCode) {
    switch (errorCode) {
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION:
            return "plik jest otwarty w innym programie.";
        case ERROR_ACCESS_DENIED:
        case ERROR_WRITE_PROTECT:
            return "plik albo nośnik jest tylko do odczytu.";
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_DRIVE:
        case ERROR_NOT_READY:
        case ERROR_BAD_NETPATH:
        case ERROR_NETNAME_DELETED:
        case ERROR_DEV_NOT_EXIST:
            return "plik albo nośnik, na którym był, jest już niedostępny.";
        case ERROR_HANDLE_DISK_FULL:
        case ERROR_DISK_FULL:
        case 101:  // the runtime's own code for a write the disk took only in part
            return "na dysku zabrakło miejsca.";
        default:
            return "system zgłosił błąd nr " + std::to_string(errorCode) + ".";
    }
}

std::string SaveFailureNotice(const std::string& path, int errorCode) {
    return "Opisu utworu nie zapisano w pliku: \r\n" + path + "\r\n" + SaveFailureReason(errorCode) +
           "\r\nPlik pozostał bez zmian.";
}


// The text without its last four characters (the extension of "x.mp3").
std::string WithoutExtension(const std::string& name) {
    return DropLastChars(name, 4);
}

std::string TwoDigits(long long value) {
    std::string text = std::to_string(value);
    if (text.size() < 2) text.insert(text.begin(), '0');
    return text;
}

// Upper-cases the letters a to z only; other characters stay as they are.
std::string AsciiUpper(std::string text) {
    for (char& c : text)
        if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
    return text;
}

std::string TrimControlsAndBlanks(const std::string& text) {
    auto isBlank = [](char c) { return static_cast<unsigned char>(c) <= 32; };
    size_t first = 0, last = text.size();
    while (first < last && isBlank(text[first])) ++first;
    while (last > first && isBlank(text[last - 1])) --last;
    return text.substr(first, last - first);
}

// A saved record field as the edits show it afterwards: without its padding blanks.
template <size_t Width>
std::string SavedText(const char (&field)[Width]) {
    std::string bytes(field, Width);
    bytes.erase(bytes.find_last_not_of(' ') + 1);
    return TagBytesToText(bytes);
}

// A genre typed as a whole number from 0 to 255 stands for that byte.
std::optional<uint8_t> GenreNumber(const std::string& text) {
    if (text.empty() || text.size() > 3 || !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return std::nullopt;
    const int value = std::stoi(text);
    if (value > 255) return std::nullopt;
    return uint8_t(value);
}

// Copies up to width characters of a field's stored bytes (one per character)
// into a record field (the field is pre-filled).
template <size_t Width>
void CopyField(char (&field)[Width], const std::string& bytes) {
    for (size_t i = 0; i < Width && i < bytes.size(); ++i) field[i] = bytes[i];
}

template <typename T>
T* Place(TComponent* owner, TWinControl* parent, int left, int top, int width, int height) {
    auto* control = Make<T>(owner);
    control->SetBounds(left, top, width, height);
    control->SetParent(parent);
    return control;
}

void SetFont(TControl* control, const char* name, int height, TColor color) {
    control->Font().SetName(name);
    control->Font().SetHeight(height);
    control->Font().SetColor(color);
}

void SetHintShown(TControl* control, const char* hint) {
    control->SetHint(hint);
    control->SetShowHint(true);
}

}  // namespace

std::string FormatTrackTime(long long milliseconds) {
    const TFormatSettings& settings = FormatSettings();
    const long long seconds = std::max(milliseconds, 0LL) / 1000;
    const long long hours = seconds / 3600;
    const std::string hourText = settings.hourLeadingZero ? TwoDigits(hours) : std::to_string(hours);
    return hourText + settings.timeSeparator + TwoDigits(seconds / 60 % 60) + settings.timeSeparator +
           TwoDigits(seconds % 60);
}

uint8_t GenreByteOf(const std::string& genreText) {
    const std::string wanted = AsciiUpper(TrimControlsAndBlanks(genreText));
    if (const auto number = GenreNumber(wanted)) return *number;
    uint8_t genre = 255;
    for (size_t j = 0; j < GenreNames.size(); ++j)
        if (AsciiUpper(TrimControlsAndBlanks(std::string(GenreNames[j]))) == wanted) genre = uint8_t(j);
    return genre;
}

namespace {

// The four keys of the association below root, each path led by prefix; false when one is refused.
bool WriteAssociation(HKEY root, const std::string& prefix, const std::string& programPath,
                      const std::string& extension, const std::string& typeName, const std::string& typeDescription) {
    TRegistry registry;
    registry.SetRootKey(root);
    const std::pair<std::string, std::string> defaults[] = {
        {extension, typeName},
        {typeName, typeDescription},
        {typeName + "\\DefaultIcon", programPath + ",0"},
        {typeName + "\\shell\\open\\command", "\"" + programPath + "\" \"%1\""},
    };
    try {
        for (const auto& [key, value] : defaults) {
            if (!registry.OpenKey(prefix + key, true)) return false;
            registry.WriteString("", value);
            registry.CloseKey();
        }
    } catch (const ERegistryException&) {
        return false;
    }
    return true;
}

}  // namespace

TAssociationPlace RegisterMp3Association(const std::string& programPath, const std::string& extension,
                                         const std::string& typeName, const std::string& typeDescription) {
    if (WriteAssociation(HKEY_CLASSES_ROOT, "", programPath, extension, typeName, typeDescription))
        return TAssociationPlace::apClassesRoot;
    if (WriteAssociation(HKEY_CURRENT_USER, "Software\\Classes\\", programPath, extension, typeName, typeDescription))
        return TAssociationPlace::apUserClasses;
    return TAssociationPlace::apNowhere;
}

// ---- one player at a time

namespace {
// The session's running player is known by this name; a start's file is handed
// over in a WM_COPYDATA of this tag, which the player answers with the tag.
constexpr wchar_t kPlayerMutexName[] = L"Local\\Brumik.Tonograjek.Player";
constexpr ULONG_PTR kHandOverTag = 0x42524D4B;
// How long a start waits for the running player's window and for its answer.
constexpr DWORD kHandOverWaitMs = 3000;

struct PlayerSearch {
    std::wstring caption;
    HWND found = nullptr;
};

BOOL CALLBACK FindPlayerWindow(HWND window, LPARAM param) {
    auto& search = *reinterpret_cast<PlayerSearch*>(param);
    wchar_t className[32] = {};
    GetClassNameW(window, className, 32);
    if (std::wstring_view(className) != L"TBrumikForm" || GetWindowTextLengthW(window) != int(search.caption.size()))
        return TRUE;
    std::wstring caption(search.caption.size() + 1, L'\0');
    GetWindowTextW(window, caption.data(), int(caption.size()));
    caption.pop_back();
    if (caption != search.caption) return TRUE;
    search.found = window;
    return FALSE;
}

// Gives path (empty: no file) to the player's window; true when it took it.
bool HandOver(HWND player, const std::string& path) {
    const std::wstring wide = ToWide(path);
    COPYDATASTRUCT data{kHandOverTag, DWORD((wide.size() + 1) * sizeof(wchar_t)), const_cast<wchar_t*>(wide.c_str())};
    DWORD process = 0;
    GetWindowThreadProcessId(player, &process);
    // The start was the user's own act: the running player may come to the front.
    AllowSetForegroundWindow(process);
    DWORD_PTR answer = 0;
    return SendMessageTimeoutW(player, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data), SMTO_ABORTIFHUNG,
                               kHandOverWaitMs, &answer) != 0 &&
           answer == kHandOverTag;
}
}  // namespace

std::string MainWindowCaption() {
    return " Brumik" + std::string(36, ' ') + "Tonograjek MP3";
}

TPlayerInstance::TPlayerInstance()
    : mutex_(CreateMutexW(nullptr, FALSE, kPlayerMutexName)), anotherRuns_(GetLastError() == ERROR_ALREADY_EXISTS) {}

bool TPlayerInstance::HandToRunningPlayer(const std::string& commandLine) const {
    if (!anotherRuns_) return false;
    const std::string path = ParamCount(commandLine.c_str()) >= 1 ? ParamStr(1, commandLine.c_str()) : std::string();
    PlayerSearch search{ToWide(MainWindowCaption())};
    // The other player may still be making its window.
    for (DWORD waited = 0; waited <= kHandOverWaitMs; waited += 50) {
        EnumWindows(&FindPlayerWindow, reinterpret_cast<LPARAM>(&search));
        if (search.found) return HandOver(search.found, path);
        Sleep(50);
    }
    return false;
}

// ---- layout

TForm1::TForm1(TComponent* owner, TMciService& mci, std::string commandLine)
    : TForm(owner), ShellOpen(&ShellExecuteW), mci_(mci), commandLine_(std::move(commandLine)) {
    SetName("Form1");
    SetBorderStyle(TFormBorderStyle::bsSingle);
    SetBorderIcons(biSystemMenu | biMinimize);
    SetCaption(MainWindowCaption());
    SetFont(this, "MS Sans Serif", 11, clWindowText);
    SetBounds(197, 103, 445, 345);
    SetClientSize(445, 345);

    Label1 = Place<TLabel>(this, this, 8, 34, 422, 18);
    Label1->SetCaption("D:\\mp3\\np");
    Label1->SetColor(clWhite);
    SetFont(Label1, "MS Sans Serif", 13, clWindowText);
    SetHintShown(Label1, "Pole ścieżki dostępu do pliku");
    CreateScaleAndStatus();
    Panel2 = Place<TPanel>(this, this, 220, 56, 210, 224);
    Panel2->SetCaption("Panel2");
    GroupBox1 = Place<TGroupBox>(this, this, 220, 56, 210, 224);
    GroupBox1->SetCaption(" Opis utworu ");
    SetHintShown(GroupBox1, "Pole opisu pliku");
    FileListBox1 = Place<TFileListBox>(this, this, 8, 56, 210, 224);
    FileListBox1->SetItemHeight(14);
    SetFont(FileListBox1, "Verdana", 12, clWindowText);
    SetHintShown(FileListBox1, "Pole listy plików");
    FileListBox1->SetMask("*.MP3");
    StatusBar1 = Place<TStatusBar>(this, this, 0, 323, 445, 22);
    SetFont(StatusBar1, "Verdana", 13, clWindowText);
    for (const char* text : {"Nr pliku", kLengthPanelText, kPositionPanelText}) {
        TStatusPanel* panel = StatusBar1->Panels().Add();
        panel->SetAlignment(TAlignment::taCenter);
        panel->SetWidth(120);
        panel->SetText(text);
    }
    StatusBar1->SetSimplePanel(false);
    StatusBar1->SetSizeGrip(false);
    Panel1 = Place<TPanel>(this, this, 0, 0, 445, 32);
    Panel1->SetAlign(TAlign::alTop);
    Panel1->SetCaption("");
    TrackBar1 = Place<TTrackBar>(this, this, 8, 282, 422, 28);
    SetHintShown(TrackBar1, "Suwak odtwarzania (Ctrl+strzałka w lewo / w prawo: 10 s)");
    TrackBar1->SetMax(100);
    TrackBar1->SetPosition(0);
    TrackBar1->SetPageSize(10);
    TrackBar1->SetFrequency(60);
    TrackBar1->SetSelStart(0);
    TrackBar1->SetSelEnd(0);
    TrackBar1->SetTickMarks(TTickMark::tmBottomRight);
    TrackBar1->SetTickStyle(TTickStyle::tsNone);
    TrackBar1->SetTabStop(false);
    Timer1 = Make<TTimer>(this);

    CreateToolBar();
    CreateNavigation();
    CreateDescriptionGroup();

    Panel2->SetTabOrder(2);
    GroupBox1->SetTabOrder(4);
    FileListBox1->SetTabOrder(0);
    Panel1->SetTabOrder(1);
    TrackBar1->SetTabOrder(5);
    BindEvents();
}

void TForm1::CreateScaleAndStatus() {
    for (int i = 0; i < 8; ++i) {
        TShape* shape = Place<TShape>(this, this, 20 + 50 * i, 310, 49, 9);
        shape->SetName("Shape" + std::to_string(i + 2));
        shape->Brush().SetColor(i % 2 == 0 ? clSilver : clWhite);
        shape->Pen().SetColor(clBlack);
        SetHintShown(shape, "Skala");
        Shapes[size_t(i)] = shape;
    }
}

void TForm1::SetGlyph(TSpeedButton* button, const char* resource) {
    TBitmap glyph;
    glyph.LoadFromResourceName(resource);
    button->SetGlyph(&glyph);
}

void TForm1::CreateToolBar() {
    MediaPlayer1 = Panel1->Owner()->Adopt(std::make_unique<TMediaPlayer>(this, mci_));
    MediaPlayer1->SetBounds(2, 2, 57, 28);
    MediaPlayer1->SetParent(Panel1);
    SetHintShown(MediaPlayer1, "Odtwarzaj / Przerwij (Ctrl+P, Spacja na liście plików; Ctrl+T: zatrzymaj)");
    MediaPlayer1->SetVisibleButtons({btPlay, btPause});
    MediaPlayer1->SetColoredButtons({btNext, btPrev, btStep, btBack, btRecord, btEject});
    MediaPlayer1->SetTabOrder(0);

    SpinEdit1 = Place<TSpinEdit>(this, Panel1, 60, 2, 49, 26);
    SetHintShown(SpinEdit1, "Głośność");
    SpinEdit1->SetEditorEnabled(false);
    SpinEdit1->SetMinValue(0);
    SpinEdit1->SetMaxValue(100);
    SpinEdit1->SetValue(50);
    SetFont(SpinEdit1, "Verdana", 13, clWindowText);
    SpinEdit1->SetTabOrder(1);

    struct ButtonSpec {
        TSpeedButton** field;
        int left;
        const char* hint;
        const char* glyph;
    };
    const ButtonSpec buttons[] = {
        {&SpeedButton5, 110, "Graj (Ctrl+M)", "TB_GRAJ"},
        {&SpeedButton6, 139, "Cisza (Ctrl+M)", "TB_CISZA"},
        {&SpeedButton2, 169, "Zmiana: wybór / opis (Ctrl+W)", "TB_ZMIANA"},
        {&SpeedButton1, 200, "Zapis opisu utworu (Ctrl+S)", "TB_ZAPIS"},
    };
    for (const auto& b : buttons) {
        *b.field = Place<TSpeedButton>(this, Panel1, b.left, 2, 28, 28);
        SetHintShown(*b.field, b.hint);
        SetGlyph(*b.field, b.glyph);
    }
    SpeedButton5->SetGroupIndex(1);
    SpeedButton5->SetDown(true);
    SpeedButton6->SetGroupIndex(1);

    BitBtn1 = Place<TBitBtn>(this, Panel1, 300, 2, 84, 28);
    BitBtn1->SetCaption("Warunki");
    SetHintShown(BitBtn1, "Licencja z Internetu (Ctrl+U)");
    TBitmap info;
    info.LoadFromResourceName("TB_WARUNKI");
    BitBtn1->SetGlyph(&info);
    BitBtn1->SetTabOrder(2);

    SpeedButton3 = Place<TSpeedButton>(this, Panel1, 385, 2, 28, 28);
    SetHintShown(SpeedButton3, "Notatka o programie (Ctrl+N)");
    SetGlyph(SpeedButton3, "TB_NOTATKA");
    SpeedButton4 = Place<TSpeedButton>(this, Panel1, 414, 2, 28, 28);
    SetHintShown(SpeedButton4, "Koniec programu Brumik (Ctrl+Q)");
    SetGlyph(SpeedButton4, "TB_KONIEC");
}

void TForm1::CreateNavigation() {
    FilterComboBox1 = Place<TFilterComboBox>(this, Panel2, 1, 0, 169, 21);
    FilterComboBox1->SetVisible(false);
    SetFont(FilterComboBox1, "Verdana", 11, clNavy);
    FilterComboBox1->SetFilter("Tylko pliki MP3|*.MP3");
    FilterComboBox1->SetTabOrder(1);

    DirectoryListBox1 = Place<TDirectoryListBox>(this, Panel2, 0, 28, 208, 195);
    DirectoryListBox1->SetItemHeight(16);
    SetFont(DirectoryListBox1, "Verdana", 12, clNavy);
    SetHintShown(DirectoryListBox1, "Pole wyboru folderu");
    DirectoryListBox1->SetTabOrder(0);

    DriveComboBox1 = Place<TDriveComboBox>(this, Panel2, 0, 0, 208, 20);
    SetFont(DriveComboBox1, "Verdana", 12, clNavy);
    SetHintShown(DriveComboBox1, "Pole wyboru napędu");
    DriveComboBox1->SetTabOrder(2);

    FilterComboBox1->SetFileList(FileListBox1);
    DirectoryListBox1->SetDirLabel(Label1);
    DirectoryListBox1->SetFileList(FileListBox1);
    DriveComboBox1->SetDirList(DirectoryListBox1);
    trackFolder_ = DirectoryListBox1->Directory();
}

void TForm1::CreateDescriptionGroup() {
    struct EditSpec {
        TEdit** field;
        const char* name;
        int left, top, width;
    };
    const EditSpec edits[] = {
        {&Edit1, "Edit1", 6, 32, 196},          {&edAlbum, "edAlbum", 48, 64, 154},
        {&edTitle, "edTitle", 48, 96, 154},     {&edArtist, "edArtist", 48, 128, 154},
        {&edComment, "edComment", 48, 160, 154}, {&edYear, "edYear", 162, 192, 40},
    };
    for (const auto& e : edits) {
        *e.field = Place<TEdit>(this, GroupBox1, e.left, e.top, e.width, 21);
        (*e.field)->SetName(e.name);
        (*e.field)->SetText(e.name);
        (*e.field)->SetShowHint(false);
    }
    Edit1->SetReadOnly(true);
    // The fields take no more than the description stores, so what is seen is what is saved.
    for (TEdit* field : {edTitle, edArtist, edAlbum, edComment}) field->SetMaxLength(30);
    edYear->SetMaxLength(4);

    edGenre = Place<TComboBox>(this, GroupBox1, 48, 192, 80, 21);
    edGenre->SetName("edGenre");
    edGenre->SetItemHeight(13);
    edGenre->SetText("edGenre");
    edGenre->SetShowHint(false);

    struct LabelSpec {
        TLabel** field;
        const char* caption;
        int left, top, width;
    };
    const LabelSpec labels[] = {
        {&Label2, "Album", 6, 64, 29},  {&Label3, "Tytuł", 6, 98, 25},  {&Label4, "Twórca", 6, 131, 36},
        {&Label7, "Uwagi", 6, 165, 30}, {&Label6, "Rodzaj", 6, 198, 33}, {&Label5, "Rok", 138, 198, 20},
    };
    for (const auto& l : labels) {
        *l.field = Place<TLabel>(this, GroupBox1, l.left, l.top, l.width, 13);
        (*l.field)->SetCaption(l.caption);
        (*l.field)->SetAutoSize(true);  // the caption decides the width, in whatever font the system gives
    }
    Label7->SetHint("Uwagi");

    const std::pair<TWinControl*, int> tabOrders[] = {{edAlbum, 0}, {edTitle, 1}, {edArtist, 2},
                                                      {edYear, 3},  {edGenre, 4}, {edComment, 5}, {Edit1, 6}};
    for (const auto& [control, order] : tabOrders) control->SetTabOrder(order);
    GroupBox1->BringToFront();
}

void TForm1::BindEvents() {
    OnCreate.Bind<&TForm1::FormCreate>(this);
    OnClose.Bind<&TForm1::FormClose>(this);
    FileListBox1->OnClick.Bind<&TForm1::FileListBox1Click>(this);
    FileListBox1->OnDblClick.Bind<&TForm1::FileListBox1DblClick>(this);
    MediaPlayer1->OnClick.Bind<&TForm1::MediaPlayer1Click>(this);
    MediaPlayer1->OnNotify.Bind<&TForm1::MediaPlayer1Notify>(this);
    Timer1->BindOnTimer<&TForm1::Timer1Timer>(this);
    TrackBar1->OnChange.Bind<&TForm1::TrackBar1Change>(this);
    SpinEdit1->OnChange.Bind<&TForm1::SpinEdit1Change>(this);
    SpeedButton5->OnClick.Bind<&TForm1::SpeedButton5Click>(this);
    SpeedButton6->OnClick.Bind<&TForm1::SpeedButton6Click>(this);
    SpeedButton1->OnClick.Bind<&TForm1::SpeedButton1Click>(this);
    SpeedButton2->OnClick.Bind<&TForm1::SpeedButton2Click>(this);
    SpeedButton3->OnClick.Bind<&TForm1::SpeedButton3Click>(this);
    SpeedButton4->OnClick.Bind<&TForm1::SpeedButton4Click>(this);
    BitBtn1->OnClick.Bind<&TForm1::BitBtn1Click>(this);
    // The path label may show its folder shortened; remember the full one it stands for.
    DirectoryListBox1->OnChange.Bind<&TForm1::DirectoryListBox1Change>(this);
}

// ---- window routines

void TForm1::ClearTrackDescription() {
    for (TControl* field : std::initializer_list<TControl*>{edComment, edTitle, edArtist, edAlbum, edGenre, edYear, Edit1})
        field->SetText("");
}

void TForm1::SetTrackVolume(TMediaPlayer* player, int volume) {
    MCI_DGV_SETAUDIO_PARMSW parameters{};
    parameters.dwCallback = 0;
    parameters.dwItem = MCI_DGV_SETAUDIO_VOLUME;
    parameters.dwValue = DWORD(volume);
    parameters.dwOver = 0;
    parameters.lpstrAlgorithm = nullptr;
    parameters.lpstrQuality = nullptr;
    mci_.SendCommand(player->DeviceID(), MCI_SETAUDIO, MCI_DGV_SETAUDIO_ITEM | MCI_DGV_SETAUDIO_VALUE,
                     reinterpret_cast<DWORD_PTR>(&parameters));
}

std::string TForm1::SelectedItem() {
    return FileListBox1->Items().Get(FileListBox1->ItemIndex());
}

std::string TForm1::TrackPath() {
    return JoinPath(trackFolder_, SelectedItem());
}

void TForm1::ShowTrackNumber() {
    StatusBar1->Panels()[0]->SetText(std::to_string(FileListBox1->ItemIndex() + 1) + " z " +
                                     std::to_string(FileListBox1->Items().Count()));
}

void TForm1::ShowDescriptionView(const std::string& path) {
    ReadTrackTag(path, edTitle, edArtist, edGenre, edAlbum, edYear, edComment);
    GroupBox1->Show();
    SpeedButton1->Show();
    SpeedButton2->Show();
    Panel2->Hide();
}

void TForm1::ShowFolderView() {
    GroupBox1->Hide();
    SpeedButton1->Hide();
    SpeedButton2->Hide();
    Panel2->Show();
}

// ---- start

void TForm1::FormCreate(TObject*) {
    SetTrackVolume(MediaPlayer1, SpinEdit1->Value() * 10);
    // Hidden before any window is made: its fields get theirs when it is first shown.
    GroupBox1->Hide();
    // Sorted before the first name goes in: the list sorts each name as it is
    // added, and its window is not built a second time to sort them.
    edGenre->SetSorted(true);
    edGenre->AddItems(std::vector<std::string>(GenreNames.begin(), GenreNames.end()));
    MediaPlayer1->Close();
    TrackBar1->SetMax(0);
    MediaPlayer1->SetTimeFormat(tfMilliseconds);
    Panel2->Show();
    SpeedButton1->Hide();
    ClearTrackDescription();
    if (ParamCount(commandLine_.c_str()) < 1) return;
    const std::string path = ParamStr(1, commandLine_.c_str());
    // A missing file leaves the window as a start without one would.
    if (!TrackFileExists(path)) {
        ShowMessage(MissingTrackNotice(path));
        return;
    }
    StartWithFile(path);
}

void TForm1::StartWithFile(const std::string& path) {
    const size_t lastSeparator = path.find_last_of("\\:");
    std::string folder = lastSeparator == std::string::npos ? std::string() : path.substr(0, lastSeparator + 1);
    if (!folder.empty()) folder.pop_back();
    Label1->SetCaption(folder);
    trackFolder_ = folder;
    FileListBox1->Items().Clear();
    const std::string name = lastSeparator == std::string::npos ? path : path.substr(lastSeparator + 1);
    FileListBox1->Items().Add(FirstChars(name, 255));
    FileListBox1->SetItemIndex(0);
    ShowTrackNumber();
    Edit1->SetText(WithoutExtension(SelectedItem()));
    MediaPlayer1->SetFileName(path);
    TagWritable = IsFileWritable(path);
    try {
        if (TagWritable) {
            ReadTrackTag(path, edTitle, edArtist, edGenre, edAlbum, edYear, edComment);
            GroupBox1->Show();
            SpeedButton1->Show();
            SpeedButton2->Show();
        } else {
            ShowFolderView();
        }
        MediaPlayer1->Open();
    } catch (const Exception&) {
        ShowFailedTrack();
        TellLoadFailure(UnplayableTrackNotice(path));
        return;
    }
    TrackBar1->SetMin(0);
    TrackBar1->SetMax(MediaPlayer1->Length() / 1000);
    StatusBar1->Panels()[1]->SetText(FormatTrackTime(MediaPlayer1->Length()));
    PlayTrack();
}

void TForm1::DirectoryListBox1Change(TObject*) {
    trackFolder_ = DirectoryListBox1->Directory();
}

// ---- playback

bool TForm1::LoadSelectedTrack() {
    // A double click below the lines of a list with nothing selected names no
    // track, and one that arrives while the click's failure is being told
    // tries nothing again.
    if (FileListBox1->ItemIndex() < 0 || tellingLoadFailure_) return false;
    const std::string path = TrackPath();
    if (!TrackFileExists(path)) {
        TellLoadFailure(MissingTrackNotice(path));
        return false;
    }
    TrackBar1->SetMax(0);
    if (OpenTrack(path)) return true;
    TellLoadFailure(UnplayableTrackNotice(path));
    return false;
}

void TForm1::TellLoadFailure(const std::string& notice) {
    FlagScope telling(tellingLoadFailure_);
    ShowMessage(notice);
}

bool TForm1::OpenTrack(const std::string& path) {
    ClearTrackDescription();
    Edit1->SetText(WithoutExtension(SelectedItem()));
    MediaPlayer1->Close();
    // Every track is probed, also the next one of the auto-advance: a
    // read-only one still plays, in the folder view.
    TagWritable = IsFileWritable(path);
    try {
        if (TagWritable) ShowDescriptionView(path);
        else ShowFolderView();
        MediaPlayer1->SetFileName(path);
        MediaPlayer1->Open();
    } catch (const Exception&) {
        // Too short for a description, or nothing the device can play.
        ShowFailedTrack();
        return false;
    }
    ShowTrackNumber();
    StatusBar1->Panels()[1]->SetText(FormatTrackTime(MediaPlayer1->Length()));
    TrackBar1->SetMin(0);
    TrackBar1->SetMax(MediaPlayer1->Length() / 1000);
    return true;
}

// A track that failed to open: no device, its number shown, and the length and
// position panels as a window without a track shows them.
void TForm1::ShowFailedTrack() {
    MediaPlayer1->Close();
    TrackBar1->SetMax(0);
    ShowTrackNumber();
    StatusBar1->Panels()[1]->SetText(kLengthPanelText);
    StatusBar1->Panels()[2]->SetText(kPositionPanelText);
}

void TForm1::FileListBox1Click(TObject*) {
    LoadSelectedTrack();
}

void TForm1::FileListBox1DblClick(TObject*) {
    if (LoadSelectedTrack()) PlayTrack();
}

// The volume the window shows: none while "Cisza" is down, else the field's.
int TForm1::EffectiveVolume() const {
    return SpeedButton6->Down() ? 0 : SpinEdit1->Value() * 10;
}

// Plays the opened track at the volume shown; the bar and the position display follow.
void TForm1::PlayTrack() {
    SetTrackVolume(MediaPlayer1, EffectiveVolume());
    MediaPlayer1->Play();
    MediaPlayer1->AutoEnableAfterCommand(btPlay);
    Timer1->SetEnabled(true);
}

void TForm1::MediaPlayer1Notify(TObject*) {
    if (MediaPlayer1->NotifyValue() == nvSuccessful) PlayNextTrack();
}

void TForm1::PlayNextTrack() {
    const int count = FileListBox1->Items().Count();
    // The user moved to a folder without tracks: playing ends here.
    if (count == 0) return;
    // The next file that plays, after the last the first: files gone or
    // unplayable are passed over quietly, at most once round the list.
    for (int tried = 0; tried < count; ++tried) {
        FileListBox1->SetItemIndex((FileListBox1->ItemIndex() + 1) % count);
        const std::string path = TrackPath();
        if (TrackFileExists(path) && OpenTrack(path)) {
            PlayTrack();
            return;
        }
    }
}

void TForm1::Timer1Timer(TObject*) {
    const bool opened = MediaPlayer1->Opened();
    if (TrackBar1->Max() > 0) {
        TrackBar1->SetPosition((opened ? MediaPlayer1->Position() : 0) / 1000);
        StatusBar1->Panels()[2]->SetText(FormatTrackTime(opened ? MediaPlayer1->Position() : 0));
    }
    if (opened && MediaPlayer1->Mode() == mdPlaying) MediaPlayer1->SetEnabledButtons({btPause});
}

void TForm1::TrackBar1Change(TObject*) {
    // With no track open there is nothing to move.
    if (!MediaPlayer1->Opened()) return;
    // The music goes on: a playing track plays on from the new place, and one
    // moved to its end ends there as it would by itself, so the next one plays.
    const bool playing = MediaPlayer1->Mode() == mdPlaying;
    if (playing && TrackBar1->Position() >= TrackBar1->Max()) {
        PlayNextTrack();
        return;
    }
    MediaPlayer1->SetPosition(TrackBar1->Position() * 1000);
    if (playing) PlayTrack();
    StatusBar1->Panels()[2]->SetText(FormatTrackTime(MediaPlayer1->Position()));
}

void TForm1::MediaPlayer1Click(TObject*, TMPBtnType button, bool&) {
    SetTrackVolume(MediaPlayer1, EffectiveVolume());
    if (button == btPlay) {
        Timer1->SetEnabled(true);
    } else if (button == btPause) {
        // Pause resumes a paused track, which then plays with its position shown.
        Timer1->SetEnabled(MediaPlayer1->Opened() && MediaPlayer1->Mode() == mdPaused);
    }
}

void TForm1::SpinEdit1Change(TObject*) {
    // A new volume is meant to be heard: it brings the sound back, and "Graj" goes down.
    if (SpeedButton6->Down()) SpeedButton5->SetDown(true);
    SetTrackVolume(MediaPlayer1, SpinEdit1->Value() * 10);
}

void TForm1::SpeedButton5Click(TObject*) {
    SetTrackVolume(MediaPlayer1, SpinEdit1->Value() * 10);
}

void TForm1::SpeedButton6Click(TObject*) {
    SetTrackVolume(MediaPlayer1, 0);
}

// ---- media keys and dropped files

void TForm1::CreateParams(TCreateParams& params) {
    TForm::CreateParams(params);
    params.ExStyle |= WS_EX_ACCEPTFILES;
}

void TForm1::WndProc(TMessage& message) {
    switch (message.Msg) {
        case WM_APPCOMMAND:
            if (WMAppCommand(GET_APPCOMMAND_LPARAM(message.LParam))) {
                message.Result = TRUE;
                return;
            }
            break;
        case WM_DROPFILES:
            WMDropFiles(reinterpret_cast<HDROP>(message.WParam));
            message.Result = 0;
            return;
        case WM_COPYDATA: {
            const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(message.LParam);
            if (data->dwData != kHandOverTag) break;
            // Taken now, acted on once the other start has its answer and has ended.
            std::wstring_view text(static_cast<const wchar_t*>(data->lpData), data->lpData ? data->cbData / sizeof(wchar_t) : 0);
            text = text.substr(0, text.find(L'\0'));
            handedStarts_.push_back(ToUtf8(text));
            PostMessageW(Handle(), kHandedStartMessage, 0, 0);
            message.Result = LRESULT(kHandOverTag);
            return;
        }
        case kHandedStartMessage:
            TakeHandedStarts();
            return;
        default:
            break;
    }
    TForm::WndProc(message);
}

bool TForm1::WMAppCommand(int command) {
    const bool opened = MediaPlayer1->Opened();
    const bool listed = FileListBox1->Items().Count() > 0;
    const int volume = SpinEdit1->Value();
    switch (command) {
        case APPCOMMAND_MEDIA_PLAY_PAUSE:
            if (!opened) return false;
            PlayOrPause();
            return true;
        case APPCOMMAND_MEDIA_STOP:
            if (!opened) return false;
            MediaPlayer1->PressButton(btStop);
            return true;
        case APPCOMMAND_MEDIA_NEXTTRACK:
        case APPCOMMAND_MEDIA_PREVIOUSTRACK:
            if (!listed) return false;
            StepTrack(command == APPCOMMAND_MEDIA_NEXTTRACK ? 1 : -1);
            return true;
        case APPCOMMAND_VOLUME_UP:
        case APPCOMMAND_VOLUME_DOWN: {
            const int step = command == APPCOMMAND_VOLUME_UP ? 5 : -5;
            // At the end of the scale the system's own volume takes the key.
            if ((step > 0 && volume >= 100) || (step < 0 && volume <= 0)) return false;
            StepVolume(step);
            return true;
        }
        case APPCOMMAND_VOLUME_MUTE:
            ToggleSilence();
            return true;
        default:
            return false;
    }
}

bool TForm1::ShortCut(WPARAM key, TWinControl* focused) {
    const TShiftState shift = KeyboardShiftState() & (ssShift | ssAlt | ssCtrl);
    if (key == VK_SPACE && shift == 0 && focused == FileListBox1) {
        if (MediaPlayer1->Opened()) PlayOrPause();
        return true;
    }
    if (shift != ssCtrl) return false;
    // Text fields move their caret by words with these keys.
    const bool textField = dynamic_cast<TEdit*>(focused) || dynamic_cast<TComboBox*>(focused);
    switch (key) {
        case 'P':
            if (MediaPlayer1->Opened()) PlayOrPause();
            return true;
        case 'T':
            if (MediaPlayer1->Opened()) MediaPlayer1->PressButton(btStop);
            return true;
        case 'M':
            ToggleSilence();
            return true;
        case VK_LEFT:
        case VK_RIGHT:
            if (textField) return false;
            SeekBy(key == VK_RIGHT ? TrackBar1->PageSize() : -TrackBar1->PageSize());
            return true;
        case 'W': return ClickIfShown(SpeedButton2);
        case 'S': return ClickIfShown(SpeedButton1);
        case 'N': return ClickIfShown(SpeedButton3);
        case 'U': return ClickIfShown(BitBtn1);
        case 'Q': return ClickIfShown(SpeedButton4);
        default: return false;
    }
}

// A shortcut does what its button does, and nothing while the button is hidden.
bool TForm1::ClickIfShown(TControl* button) {
    if (button->Visible() && button->Enabled()) button->Click();
    return true;
}

// Moves the position by seconds as the slider would (the slider counts whole seconds).
void TForm1::SeekBy(int seconds) {
    if (!MediaPlayer1->Opened() || TrackBar1->Max() <= 0) return;
    TrackBar1->SetPosition(TrackBar1->Position() + seconds);
    TrackBar1Change(TrackBar1);
}

// As the media bar: Pause while playing, Play while paused or stopped.
void TForm1::PlayOrPause() {
    MediaPlayer1->PressButton(MediaPlayer1->Mode() == mdPlaying ? btPause : btPlay);
}

void TForm1::StepTrack(int step) {
    const int count = FileListBox1->Items().Count();
    const int index = FileListBox1->ItemIndex();
    const int from = index >= 0 ? index : (step > 0 ? -1 : count);
    FileListBox1->SetItemIndex(((from + step) % count + count) % count);
    if (LoadSelectedTrack()) PlayTrack();
}

void TForm1::StepVolume(int step) {
    SpinEdit1->SetValue(std::clamp(SpinEdit1->Value() + step, 0, 100));
}

void TForm1::ToggleSilence() {
    TSpeedButton* pressed = SpeedButton6->Down() ? SpeedButton5 : SpeedButton6;
    pressed->SetDown(true);
    pressed->Click();
}

namespace {

// The dropped paths; the drop is given back to the system when this goes.
class DroppedFiles {
public:
    explicit DroppedFiles(HDROP drop) : drop_(drop) {}
    ~DroppedFiles() { DragFinish(drop_); }
    DroppedFiles(const DroppedFiles&) = delete;
    DroppedFiles& operator=(const DroppedFiles&) = delete;

    std::vector<std::string> Paths() const {
        std::vector<std::string> paths;
        const UINT count = DragQueryFileW(drop_, 0xFFFFFFFF, nullptr, 0);
        for (UINT i = 0; i < count; ++i) {
            std::wstring path(DragQueryFileW(drop_, i, nullptr, 0), L'\0');
            DragQueryFileW(drop_, i, path.data(), UINT(path.size() + 1));
            paths.push_back(ToUtf8(path));
        }
        return paths;
    }

private:
    HDROP drop_;
};

bool IsFolder(const std::string& path) {
    const DWORD attributes = GetFileAttributesW(ToWide(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool IsMp3File(const std::string& path) {
    return CharCount(path) > 4 && AnsiCompareText(path.substr(path.size() - 4), ".mp3") == 0 && TrackFileExists(path);
}

}  // namespace

// A start of another process handed its file here: the file plays as after a
// command-line start, and the window comes to the front.
void TForm1::TakeHandedStarts() {
    Application->Restore();
    SetForegroundWindow(Handle());
    while (!handedStarts_.empty()) {
        const std::string path = handedStarts_.front();
        handedStarts_.erase(handedStarts_.begin());
        if (path.empty()) continue;
        if (!TrackFileExists(path)) {
            ShowMessage(MissingTrackNotice(path));
            continue;
        }
        MediaPlayer1->Close();
        TrackBar1->SetMax(0);
        ClearTrackDescription();
        StartWithFile(path);
    }
}

void TForm1::WMDropFiles(HDROP drop) {
    const std::vector<std::string> paths = DroppedFiles(drop).Paths();
    const auto track = std::find_if(paths.begin(), paths.end(), IsMp3File);
    if (track != paths.end()) {
        // The track playing now lets go of its file first: the dropped one may be the same.
        MediaPlayer1->Close();
        TrackBar1->SetMax(0);
        ClearTrackDescription();
        StartWithFile(*track);
        return;
    }
    const auto folder = std::find_if(paths.begin(), paths.end(), IsFolder);
    if (folder != paths.end()) DirectoryListBox1->SetDirectory(*folder);
}

// ---- description panel

void TForm1::SpeedButton2Click(TObject*) {
    if (Panel2->Visible()) {
        Panel2->Hide();
        GroupBox1->Show();
        SpeedButton1->Show();
    } else {
        GroupBox1->Hide();
        SpeedButton1->Hide();
        Panel2->Show();
    }
}

void TForm1::SpeedButton1Click(TObject*) {
    if (FileListBox1->ItemIndex() < 0) {
        ShowMessage(kNoTrackToDescribe);
        return;
    }
    if (!DescriptionStorable()) return;
    if (Application->MessageBox("Zapisać opis utworu?", "Brumik: Zapis opisu utworu", kYesNoQuestion) == IDNO)
        return;
    // The device lets go of the file for the write and takes it up again after.
    const TrackPlace place = CurrentPlace();
    MediaPlayer1->Close();
    const TrackTag tag = DescriptionRecord();
    try {
        WriteTrackTag(tag, TrackPath());
    } catch (const EInOutError& failure) {
        ReturnTo(place);
        ShowMessage(SaveFailureNotice(TrackPath(), failure.ErrorCode()));
        return;
    }
    ReturnTo(place);
    ShowSavedDescription(tag);
    ShowMessage("Nowy opis utworu zapisano w pliku!");
}

TForm1::TrackPlace TForm1::CurrentPlace() {
    if (!MediaPlayer1->Opened()) return {};
    return {true, MediaPlayer1->Mode() == mdPlaying, MediaPlayer1->Position()};
}

// The track the device had open is opened again at its place; a playing one
// plays on at the volume shown. Should it not open, it stays closed.
void TForm1::ReturnTo(const TrackPlace& place) {
    if (!place.opened) return;
    try {
        MediaPlayer1->Open();
        MediaPlayer1->SetPosition(place.position);
        if (place.playing) PlayTrack();
    } catch (const Exception&) {
        MediaPlayer1->Close();
    }
}

// What the user typed; the placeholder of a file without a trailer counts as nothing.
std::string TForm1::EnteredText(TControl* field) {
    std::string text = field->Text();
    return text == NoTagText ? std::string() : text;
}

bool TForm1::DescriptionStorable() {
    const std::pair<TControl*, const char*> fields[] = {
        {edTitle, "Tytuł"}, {edArtist, "Twórca"}, {edAlbum, "Album"}, {edYear, "Rok"}, {edComment, "Uwagi"}};
    for (const auto& [field, name] : fields) {
        const std::string unstorable = UnstorableChars(EnteredText(field));
        if (unstorable.empty()) continue;
        ShowMessage("Znaków „" + unstorable + "” nie można zapisać w opisie utworu (pole " + name + ").");
        return false;
    }
    return true;
}

// The bytes a field is stored as; DescriptionStorable has checked that it has them.
std::string TForm1::StoredBytes(TControl* field) {
    return TextToTagBytes(EnteredText(field)).value_or(std::string());
}

TrackTag TForm1::DescriptionRecord() {
    TrackTag tag;
    std::fill_n(reinterpret_cast<char*>(&tag), sizeof tag, ' ');
    std::copy_n("TAG", 3, tag.Marker);
    CopyField(tag.Title, StoredBytes(edTitle));
    CopyField(tag.Artist, StoredBytes(edArtist));
    CopyField(tag.Album, StoredBytes(edAlbum));
    CopyField(tag.Comment, StoredBytes(edComment));
    CopyField(tag.Year, StoredBytes(edYear));
    tag.Genre = GenreByteOf(EnteredText(edGenre));
    return tag;
}

// The edits show what was saved, so that saving again writes the same bytes.
void TForm1::ShowSavedDescription(const TrackTag& tag) {
    edTitle->SetText(SavedText(tag.Title));
    edArtist->SetText(SavedText(tag.Artist));
    edAlbum->SetText(SavedText(tag.Album));
    edComment->SetText(SavedText(tag.Comment));
    edYear->SetText(SavedText(tag.Year));
    edGenre->SetText(GenreText(tag.Genre));
}

// ---- note, association, terms and exit

void TForm1::SpeedButton3Click(TObject*) {
    if (Application->MessageBox(ProgramNote(), "Brumik: Notatka o programie", kYesNoQuestion) != IDYES) return;
    if (RegisterMp3Association(Application->ExeName(), ".mp3", "mp3_file", "Plik MP3") ==
        TAssociationPlace::apNowhere) {
        ShowMessage(kAssociationRefused);
        return;
    }
    SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, nullptr, nullptr);
    // Since Windows 8 a choice the user made for .mp3 comes first; only the user can change it.
    TRegistry registry;
    if (registry.KeyExists(kMp3UserChoice)) ShowMessage(kChooseInSettings);
}

void TForm1::BitBtn1Click(TObject*) {
    if (Application->MessageBox("Wymaga łącza z Internetem!\r\nZgoda na połączenie?", "Brumik: Warunki użytkowania",
                                kYesNoExclamation) == IDYES)
        ShellOpen(GetDesktopWindow(), L"open", ToWide(TermsOfUseAddress).c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

void TForm1::SpeedButton4Click(TObject*) {
    if (Application->MessageBox("Koniec programu Brumik?", kQuestionCaption, kYesNoQuestion) == IDYES)
        Application->Terminate();
}

void TForm1::FormClose(TObject*, TCloseAction& action) {
    if (Application->MessageBox("Koniec programu Brumik?", kQuestionCaption, kYesNoQuestion) == IDYES)
        action = TCloseAction::caFree;
    else
        action = TCloseAction::caNone;
}
