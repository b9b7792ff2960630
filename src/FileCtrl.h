// The file navigation controls: a list of the files of one folder, a tree of
// the current folder, a drop-down of the machine's drives and a drop-down of
// named file masks. Linked together they make one navigator: the drive
// drop-down moves the folder tree, and the tree re-reads the file list and
// writes its folder into a label.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "Graphics.h"
#include "StdCtrls.h"

class TFileListBox;
class TDirectoryListBox;
class TDriveComboBox;
class TFilterComboBox;
template <typename Item>
class ThreadReading;
template <typename Result>
class ReadAhead;
struct TFileEntry;
struct TListingAhead;
struct TDriveSurvey;

// File attributes a file list shows; each value is its file attribute bit,
// except ftNormal, which stands for every entry the search returns.
enum TFileAttr : uint8_t {
    ftReadOnly = 0x01,
    ftHidden = 0x02,
    ftSystem = 0x04,
    ftVolumeID = 0x08,
    ftDirectory = 0x10,
    ftArchive = 0x20,
    ftNormal = 0x40,
};
// A set of TFileAttr values in one byte.
using TFileType = uint8_t;

// A path as the user wrote it, split into drive, folder and file name.
struct TUserPath {
    char Drive = 0;         // the drive letter; 0 for a network path
    std::string Directory;  // the folder; a network folder keeps \\server\share in front
    std::string FileName;   // the last part when it is a file, a mask or names nothing
    int MissingError = 0;   // system error of entering FileName when it names neither file nor folder
};

// path + name with one "\" between them (path is never empty).
std::string JoinPath(const std::string& path, const std::string& name);
// Line height in pixels of font on the screen.
int FontLineHeight(const TFont& font);
// Splits text into drive, folder and file name, resolving it against the
// process's current directory, which is the same afterwards.
TUserPath SplitUserPath(const std::string& text);
// Number of "\" in path.
int FolderDepth(const std::string& path);
// Removes the first folder of s and marks the gap with "...\".
void DropFirstFolder(std::string& s);
// path shortened folder by folder until it fits maxWidth on canvas; the last
// part is always kept.
std::string ShortenPath(const std::string& path, TCanvas& canvas, int maxWidth);

// Lists the files of Directory that match Mask, sorted, one selectable line each.
class TFileListBox : public TListBox {
public:
    explicit TFileListBox(TComponent* owner);
    ~TFileListBox() override;

    const std::string& Directory() const { return directory_; }
    // Takes a name relative to the old directory too; stores the full path.
    void SetDirectory(const std::string& directory);
    const std::string& Mask() const { return mask_; }
    // Patterns separated by ";".
    void SetMask(const std::string& mask);
    TFileType FileType() const { return fileType_; }
    void SetFileType(TFileType fileType);
    bool ShowGlyphs() const { return showGlyphs_; }
    void SetShowGlyphs(bool show);
    // Full path of the selected file; empty when none is selected.
    std::string FileName();
    // Goes to the file's folder and selects it; a mask becomes the Mask.
    void SetFileName(const std::string& fileName);
    TEdit* FileEdit() const { return fileEdit_; }
    // An edit that shows the selected name, or the mask when none is selected.
    void SetFileEdit(TEdit* edit);
    TDirectoryListBox* DirList() const { return dirList_; }
    TFilterComboBox* FilterCombo() const { return filterCombo_; }

    // Reads the directory anew; without a window yet, it starts reading on a
    // thread of its own for the window to come.
    void RefreshListing();
    void Click() override;

    TNotifyEvent OnChange;

protected:
    void CreateWindowHandle(const TCreateParams& params) override;
    void DrawItem(int index, const RECT& rect, UINT state) override;
    void FontChanged() override;
    void Notification(TComponent* component, TOperation operation) override;
    // Enter starts the selected file as a double click on it does.
    void WndProc(TMessage& message) override;

private:
    friend class TDirectoryListBox;
    friend class TFilterComboBox;

    // The entries of the folder that the list shows, in the order found; what
    // was read ahead for the same folder, mask and type when there is that.
    std::vector<TFileEntry> TakeEntries();
    TListItem ItemOf(TFileEntry entry);
    void PutEntries(const std::vector<TListItem>& entries);
    void ReportChange();
    void ResetItemHeight();
    std::string SelectedName();
    void SelectByName(const std::string& name);
    int IndexOfName(const std::string& name);

    std::string directory_;
    std::string mask_ = "*.*";
    TFileType fileType_ = ftNormal;
    TEdit* fileEdit_ = nullptr;
    TDirectoryListBox* dirList_ = nullptr;
    TFilterComboBox* filterCombo_ = nullptr;
    TBitmap programGlyph_;
    TBitmap folderGlyph_;
    TBitmap otherGlyph_;
    int lastReported_ = -1;
    bool showGlyphs_ = false;
    std::unique_ptr<TListingAhead> listingAhead_;
};

// A folder glyph: 16 x 16 until its picture is loaded.
class TFolderBitmap : public TBitmap {
public:
    TFolderBitmap() { SetSize(16, 16); }
};

// The current folder as a small tree: the drive root, the folders on the way
// down, the current folder and its sub-folders. Opening a line (double click
// or Enter) makes that folder current.
class TDirectoryListBox : public TListBox {
public:
    explicit TDirectoryListBox(TComponent* owner);
    ~TDirectoryListBox() override;

    const std::string& Directory() const { return directory_; }
    void SetDirectory(const std::string& directory);
    // Drive letter of Directory (its first character).
    char Drive() const { return directory_.empty() ? '\0' : directory_[0]; }
    // Makes the drive's current directory the current one.
    void SwitchDrive(char letter);
    TFileListBox* FileList() const { return fileList_; }
    void SetFileList(TFileListBox* list);
    TLabel* DirLabel() const { return dirLabel_; }
    void SetDirLabel(TLabel* label);
    TDriveComboBox* DriveCombo() const { return driveCombo_; }
    // The folder that line index stands for; empty beyond the last line.
    std::string ItemPath(int index);
    // Opens the selected line; nothing when no line is selected.
    void OpenSelected();
    void DblClick() override;
    void WndProc(TMessage& message) override;

    TNotifyEvent OnChange;

protected:
    void CreateWindowHandle(const TCreateParams& params) override;
    void DestroyWnd() override;
    void DrawItem(int index, const RECT& rect, UINT state) override;
    void FontChanged() override;
    void Notification(TComponent* component, TOperation operation) override;

private:
    friend class TDriveComboBox;

    bool SameDirectory(const std::string& a, const std::string& b) const;
    void MoveToDrive(char letter);
    void EnterPath(const std::string& part);
    void ReadVolumeFlags();
    // Rebuilds the lines; the sub-folders' lines follow later when subfoldersLater.
    void RebuildTree(bool subfoldersLater = false);
    // Starts reading the sub-folders on a thread of its own, when still wanted.
    void FindSubfolders();
    // Adds the sub-folders' lines read so far.
    void TakeSubfolders();
    void StopReadingSubfolders();
    void DirChanged();
    void UpdateDirLabel();
    void ResetItemHeight();

    TFileListBox* fileList_ = nullptr;
    TDriveComboBox* driveCombo_ = nullptr;
    TLabel* dirLabel_ = nullptr;
    bool changingDirectory_ = false;
    bool preserveCase_ = false;
    bool caseSensitive_ = false;
    TFolderBitmap closedGlyph_;
    TFolderBitmap openGlyph_;
    TFolderBitmap currentGlyph_;
    std::string directory_;
    bool subfoldersWanted_ = false;
    std::shared_ptr<ThreadReading<std::vector<std::string>>> subfolders_;
};

enum class TTextCase { tcLowerCase, tcUpperCase };

// "[label]" of the volume in drive letter, in the letter's case; a drive
// without a medium gives "[]" without any system dialog.
std::string VolumeLabelText(char letter);
// The remote name connected to drive letter, in the letter's case; the
// volume label text when the drive is not a network connection.
std::string NetworkNameText(char letter);

// The text a drive's line shows after "x: ": its volume label text or, for a
// network drive (driveType DRIVE_REMOTE), its network name text; letter in
// the line's case. Called on a thread of its own, as a drive may take seconds
// to answer.
using TDriveTextReader = std::string (*)(char letter, UINT driveType);
// The reader that drive lists use from their next fill on; nullptr gives the
// system's back (VolumeLabelText and NetworkNameText).
void SetDriveTextReader(TDriveTextReader reader);

// A drop-down of the drives present, each with a glyph of its kind and its
// volume label or network name. Choosing a line moves the linked folder tree.
// Every line is there at once; the current drive's line has its text at once,
// the others get theirs as their drives answer, so that the window never
// waits for a drive it does not open.
class TDriveComboBox : public TComboBox {
public:
    explicit TDriveComboBox(TComponent* owner);
    ~TDriveComboBox() override;

    // The chosen drive letter in the case of TextCase; 0 when none.
    char Drive() const { return drive_; }
    void SetDrive(char letter) { SelectDrive(letter); }
    TTextCase TextCase() const { return textCase_; }
    void SetTextCase(TTextCase textCase);
    TDirectoryListBox* DirList() const { return dirList_; }
    void SetDirList(TDirectoryListBox* list);
    // Rebuilds the lines from the drives present now.
    void FillDrives();
    void Click() override;
    void WndProc(TMessage& message) override;

    // OnChange (inherited) fires when a drive was chosen.

protected:
    void CreateWindowHandle(const TCreateParams& params) override;
    void DestroyWnd() override;
    void DrawItem(int index, const RECT& rect, UINT state) override;
    void FontChanged() override;
    // There is no edit field: the box's own change notice means nothing here.
    void Change() override {}
    void Notification(TComponent* component, TOperation operation) override;

private:
    // A letter in the lines' case; 0 stays 0.
    char LineLetter(char letter) const;
    void AddDrive(char letter, UINT type, const std::string& text);
    void SelectDrive(char letter);
    void SelectLineOf(char letter);
    void ResetItemHeight();
    // Starts reading the texts of drives on a thread of its own.
    void ReadTextsLater(std::vector<std::pair<char, UINT>> drives);
    // Puts the texts read so far into their lines.
    void TakeTexts();
    // Stops listening to the reading thread (it may still wait for a drive).
    void StopReading();

    // A drive's letter (in the line's case) and its text.
    using DriveText = std::pair<char, std::string>;
    std::shared_ptr<ThreadReading<DriveText>> reading_;
    // Drives (letter in the line's case, type) whose texts are read once the program waits for input.
    std::vector<std::pair<char, UINT>> unread_;
    TDirectoryListBox* dirList_ = nullptr;
    char drive_ = '\0';
    TTextCase textCase_ = TTextCase::tcLowerCase;
    TBitmap floppyGlyph_;
    TBitmap hardGlyph_;
    TBitmap networkGlyph_;
    TBitmap cdromGlyph_;
    TBitmap ramGlyph_;
    // The drives' kinds and the current drive's text, read from the
    // constructor on while the program makes its windows.
    std::unique_ptr<ReadAhead<TDriveSurvey>> surveyAhead_;
};

// A drop-down of named masks made from "description|mask|description|mask...".
// Choosing a line gives its mask to the linked file list.
class TFilterComboBox : public TComboBox {
public:
    explicit TFilterComboBox(TComponent* owner);

    const std::string& Filter() const { return filter_; }
    void SetFilter(const std::string& filter);
    TFileListBox* FileList() const { return fileList_; }
    void SetFileList(TFileListBox* list);
    // Mask of the selected line ("*.*" without lines); selects the last line
    // when none is selected.
    std::string Mask();
    void Click() override;

    // OnChange (inherited) fires when a mask was pushed.

protected:
    void CreateWindowHandle(const TCreateParams& params) override;
    // There is no edit field: the box's own change notice means nothing here.
    void Change() override {}
    void Notification(TComponent* component, TOperation operation) override;

private:
    void ParseFilter();
    void PushMask();

    std::string filter_;
    TFileListBox* fileList_ = nullptr;
    std::vector<std::string> descriptions_;
    std::vector<std::string> masks_;
};
