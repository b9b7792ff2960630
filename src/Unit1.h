// The main window's module.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include <windows.h>
#include <shellapi.h>

#include "Buttons.h"
#include "ComCtrls.h"
#include "ExtCtrls.h"
#include "FileCtrl.h"
#include "Forms.h"
#include "MPlayer.h"
#include "Spin.h"
#include "StdCtrls.h"
#include "TrackTag.h"
#include "runtime/CmdLine.h"
#include "runtime/Handles.h"

// The time text of a duration in milliseconds: hours counted from 0 (no day
// period, no wrap after a day), then minutes and seconds, with the locale's
// time separator and its leading-zero setting for hours ("0:03:45").
std::string FormatTrackTime(long long milliseconds);

// The genre byte of a typed genre text: its index in GenreNames when the
// text, trimmed of blanks and control codes, names one (letters a to z
// compared without case); 255 otherwise.
uint8_t GenreByteOf(const std::string& genreText);

// Where an association was written.
enum class TAssociationPlace { apClassesRoot, apUserClasses, apNowhere };

// Writes the .mp3 association below HKEY_CLASSES_ROOT: the extension's type,
// the type's description, its icon (the program's first) and its open command.
// Where that is refused (a standard user on Windows 10 and 11), the same keys
// go to the user's own classes, HKEY_CURRENT_USER\Software\Classes.
TAssociationPlace RegisterMp3Association(const std::string& programPath, const std::string& extension,
                                         const std::string& typeName, const std::string& typeDescription);

// The main window's caption, by which a later start finds the running player.
std::string MainWindowCaption();

// One player per user session. Made first at start: it tells whether another
// player runs, and marks this one as running for as long as it lives.
class TPlayerInstance {
public:
    TPlayerInstance();
    TPlayerInstance(const TPlayerInstance&) = delete;
    TPlayerInstance& operator=(const TPlayerInstance&) = delete;
    // When another player runs: hands it the file of commandLine (or nothing,
    // so that it comes to the front) and answers true when it took it. False
    // when no other player runs, or none answers within a short time.
    bool HandToRunningPlayer(const std::string& commandLine) const;

private:
    UniqueKernelHandle mutex_;
    bool anotherRuns_;
};

// Address of the terms of use, opened by the "Warunki" button.
extern const char TermsOfUseAddress[];

// The result of the last write-access probe of a track file.
extern bool TagWritable;

class TForm1 : public TForm {
public:
    // The start reads its file argument from commandLine: the process's own unless given.
    explicit TForm1(TComponent* owner, TMciService& mci = PlatformMci(),
                    std::string commandLine = CommandLine());

    TFileListBox* FileListBox1;
    TLabel* Label1;
    TTimer* Timer1;
    TStatusBar* StatusBar1;
    TPanel* Panel1;
    TMediaPlayer* MediaPlayer1;
    TPanel* Panel2;
    TDirectoryListBox* DirectoryListBox1;
    TFilterComboBox* FilterComboBox1;
    TDriveComboBox* DriveComboBox1;
    TGroupBox* GroupBox1;
    TEdit* edAlbum;
    TEdit* edTitle;
    TEdit* edArtist;
    TEdit* edYear;
    TComboBox* edGenre;
    TEdit* edComment;
    TLabel* Label2;
    TLabel* Label3;
    TLabel* Label4;
    TLabel* Label5;
    TLabel* Label6;
    TLabel* Label7;
    TSpeedButton* SpeedButton2;
    TSpinEdit* SpinEdit1;
    TSpeedButton* SpeedButton3;
    TSpeedButton* SpeedButton1;
    TEdit* Edit1;
    TTrackBar* TrackBar1;
    std::array<TShape*, 8> Shapes;  // Shape2 .. Shape9, the scale under the slider
    TSpeedButton* SpeedButton4;
    TSpeedButton* SpeedButton5;
    TSpeedButton* SpeedButton6;
    TBitBtn* BitBtn1;

    void FileListBox1Click(TObject* sender);
    void TrackBar1Change(TObject* sender);
    void Timer1Timer(TObject* sender);
    void MediaPlayer1Click(TObject* sender, TMPBtnType button, bool& doDefault);
    void FormCreate(TObject* sender);
    void MediaPlayer1Notify(TObject* sender);
    void SpeedButton1Click(TObject* sender);
    void SpeedButton2Click(TObject* sender);
    void SpinEdit1Change(TObject* sender);
    void SpeedButton3Click(TObject* sender);
    void SpeedButton4Click(TObject* sender);
    void FormClose(TObject* sender, TCloseAction& action);
    void SpeedButton5Click(TObject* sender);
    void SpeedButton6Click(TObject* sender);
    void FileListBox1DblClick(TObject* sender);
    void BitBtn1Click(TObject* sender);
    void DirectoryListBox1Change(TObject* sender);

    void WndProc(TMessage& message) override;
    // The keyboard's way to every action: Ctrl+P play/pause (Space in the file
    // list), Ctrl+T stop, Ctrl+M sound off and on, Ctrl+Left/Right back and
    // forward 10 s, Ctrl+W folders/description, Ctrl+S save, Ctrl+N the note,
    // Ctrl+U the terms, Ctrl+Q exit.
    bool ShortCut(WPARAM key, TWinControl* focused) override;

    // Empties the six description fields and the file name.
    void ClearTrackDescription();
    // Sends the volume (0 to 1000) to the device the player has open; with no
    // device, or one without such a setting, nothing happens.
    void SetTrackVolume(TMediaPlayer* player, int volume);
    // Hands a document to the shell (ShellExecuteW); tests record the call here.
    using ShellOpenProc = HINSTANCE(WINAPI*)(HWND, LPCWSTR, LPCWSTR, LPCWSTR, LPCWSTR, INT);
    ShellOpenProc ShellOpen;
    // The folder the path label stands for (the label may show it shortened).
    const std::string& TrackFolder() const { return trackFolder_; }

protected:
    void CreateParams(TCreateParams& params) override;

private:
    // A media key (play/pause, stop, next, previous, volume, mute); false when the window declines it.
    bool WMAppCommand(int command);
    void PlayOrPause();
    // The next or previous file of the list, cyclically, loaded and played.
    void StepTrack(int step);
    void StepVolume(int step);
    void ToggleSilence();
    bool ClickIfShown(TControl* button);
    void SeekBy(int seconds);
    // Files dropped from the shell: the first MP3 starts as from the command line, else a folder is opened.
    void WMDropFiles(HDROP drop);
    // Files that later starts of the program handed to this one.
    static constexpr UINT kHandedStartMessage = WM_APP + 1;
    void TakeHandedStarts();
    std::vector<std::string> handedStarts_;
    void CreateToolBar();
    void CreateNavigation();
    void CreateDescriptionGroup();
    void CreateScaleAndStatus();
    void BindEvents();
    // The start with a file named on the command line: list, describe and play it.
    void StartWithFile(const std::string& path);
    // The folder the path label stands for, a backslash and the selected item of the file list.
    std::string TrackPath();
    std::string SelectedItem();
    void ShowTrackNumber();
    // Loads the selected item into the player; false (after telling the user)
    // when its file is missing or cannot be played.
    bool LoadSelectedTrack();
    // Tells the user why a track did not load; meanwhile no other load starts.
    void TellLoadFailure(const std::string& notice);
    // Shows the selected item's name and description view, and opens its file
    // in the player; false, with no device open, when it cannot be played.
    bool OpenTrack(const std::string& path);
    void ShowFailedTrack();
    void ShowDescriptionView(const std::string& path);
    int EffectiveVolume() const;
    void PlayTrack();
    // After a track's end: the next file that plays, cyclically, at most once round the list.
    void PlayNextTrack();
    // Where the device was in its track, to come back to after a save.
    struct TrackPlace {
        bool opened = false;
        bool playing = false;
        int position = 0;
    };
    TrackPlace CurrentPlace();
    void ReturnTo(const TrackPlace& place);
    std::string EnteredText(TControl* field);
    // False, after telling the user which characters of which field, when a
    // field holds a character the description cannot store.
    bool DescriptionStorable();
    std::string StoredBytes(TControl* field);
    // The record of what the description fields hold, cut and padded to the field widths.
    TrackTag DescriptionRecord();
    void ShowSavedDescription(const TrackTag& tag);
    void ShowFolderView();
    void SetGlyph(TSpeedButton* button, const char* resource);

    TMciService& mci_;
    const std::string commandLine_;
    std::string trackFolder_;
    bool tellingLoadFailure_ = false;
};

extern TForm1* Form1;
