#include "MPlayer.h"

#include <windowsx.h>
#include <digitalv.h>

#include <algorithm>
#include <array>
#include <cstddef>

#include "StringIds.h"

namespace {

// The MCI parameter records are byte-packed: winmm reads them at these sizes
// and offsets in the 32-bit and in the 64-bit program.
constexpr size_t ForBuild(size_t bits32, size_t bits64) { return sizeof(void*) == 8 ? bits64 : bits32; }
static_assert(sizeof(MCI_GENERIC_PARMS) == ForBuild(4, 8));
static_assert(sizeof(MCI_OPEN_PARMSW) == ForBuild(20, 36) && offsetof(MCI_OPEN_PARMSW, wDeviceID) == ForBuild(4, 8) &&
              offsetof(MCI_OPEN_PARMSW, lpstrDeviceType) == ForBuild(8, 12) &&
              offsetof(MCI_OPEN_PARMSW, lpstrElementName) == ForBuild(12, 20) &&
              offsetof(MCI_OPEN_PARMSW, lpstrAlias) == ForBuild(16, 28));
static_assert(sizeof(MCI_GETDEVCAPS_PARMS) == ForBuild(12, 16) &&
              offsetof(MCI_GETDEVCAPS_PARMS, dwReturn) == ForBuild(4, 8) &&
              offsetof(MCI_GETDEVCAPS_PARMS, dwItem) == ForBuild(8, 12));
static_assert(sizeof(MCI_PLAY_PARMS) == ForBuild(12, 16) && offsetof(MCI_PLAY_PARMS, dwFrom) == ForBuild(4, 8) &&
              offsetof(MCI_PLAY_PARMS, dwTo) == ForBuild(8, 12));
// A recording is started with the play record.
static_assert(sizeof(MCI_RECORD_PARMS) == sizeof(MCI_PLAY_PARMS) &&
              offsetof(MCI_RECORD_PARMS, dwFrom) == offsetof(MCI_PLAY_PARMS, dwFrom) &&
              offsetof(MCI_RECORD_PARMS, dwTo) == offsetof(MCI_PLAY_PARMS, dwTo));
static_assert(sizeof(MCI_ANIM_STEP_PARMS) == ForBuild(8, 12) &&
              offsetof(MCI_ANIM_STEP_PARMS, dwFrames) == ForBuild(4, 8));
static_assert(sizeof(MCI_SET_PARMS) == ForBuild(12, 16) && offsetof(MCI_SET_PARMS, dwTimeFormat) == ForBuild(4, 8) &&
              offsetof(MCI_SET_PARMS, dwAudio) == ForBuild(8, 12));
static_assert(sizeof(MCI_SEEK_PARMS) == ForBuild(8, 12) && offsetof(MCI_SEEK_PARMS, dwTo) == ForBuild(4, 8));
static_assert(sizeof(MCI_STATUS_PARMS) == ForBuild(16, 24) && offsetof(MCI_STATUS_PARMS, dwReturn) == ForBuild(4, 8) &&
              offsetof(MCI_STATUS_PARMS, dwItem) == ForBuild(8, 16) &&
              offsetof(MCI_STATUS_PARMS, dwTrack) == ForBuild(12, 20));
static_assert(sizeof(MCI_ANIM_WINDOW_PARMSW) == ForBuild(16, 28) &&
              offsetof(MCI_ANIM_WINDOW_PARMSW, hWnd) == ForBuild(4, 8) &&
              offsetof(MCI_ANIM_WINDOW_PARMSW, nCmdShow) == ForBuild(8, 16) &&
              offsetof(MCI_ANIM_WINDOW_PARMSW, lpstrText) == ForBuild(12, 20));
// The volume record the main window fills.
static_assert(sizeof(MCI_DGV_SETAUDIO_PARMSW) == ForBuild(24, 36) &&
              offsetof(MCI_DGV_SETAUDIO_PARMSW, dwItem) == ForBuild(4, 8) &&
              offsetof(MCI_DGV_SETAUDIO_PARMSW, dwValue) == ForBuild(8, 12) &&
              offsetof(MCI_DGV_SETAUDIO_PARMSW, dwOver) == ForBuild(12, 16) &&
              offsetof(MCI_DGV_SETAUDIO_PARMSW, lpstrAlgorithm) == ForBuild(16, 20) &&
              offsetof(MCI_DGV_SETAUDIO_PARMSW, lpstrQuality) == ForBuild(20, 28));

// winmm is loaded when a device is first opened. Until then every command
// that names a device names none (the start sets the volume and time format
// before any track is open); the answer is the system's own for such a
// command, given without loading the library for it.
class PlatformMciService final : public TMciService {
public:
    MCIERROR SendCommand(MCIDEVICEID device, UINT command, DWORD_PTR flags, DWORD_PTR record) override {
        if (device == 0 && NamesDevice(command)) return MCIERR_INVALID_DEVICE_ID;
        return mciSendCommandW(device, command, flags, record);
    }
    bool GetErrorString(MCIERROR error, wchar_t* buffer, UINT size) override {
        return mciGetErrorStringW(error, buffer, size) != FALSE;
    }

private:
    // The commands that go to a device rather than to the system as a whole.
    static bool NamesDevice(UINT command) {
        constexpr UINT kMciSound = 0x0812;  // MCI_SOUND, missing from some headers
        return command != MCI_OPEN && command != MCI_SYSINFO && command != kMciSound && command != MCI_BREAK;
    }
};

// The MCI device type names, in TMPDeviceTypes order (none for dtAutoSelect).
constexpr std::array<const wchar_t*, 13> DeviceTypeNames = {
    nullptr, L"AVIVideo", L"CDAudio", L"DAT", L"DigitalVideo", L"MMMovie", L"Other",
    L"Overlay", L"Scanner", L"Sequencer", L"VCR", L"Videodisc", L"WaveAudio"};

constexpr DWORD StatusItemFlags = MCI_WAIT | MCI_STATUS_ITEM;

int TrackOf(int tmsf) { return MCI_TMSF_TRACK(DWORD(tmsf)); }

// Minutes and seconds of a track-format position, the track left out.
DWORD MinutesAndSeconds(int tmsf) { return DWORD(tmsf) & 0x00FFFF00u; }

// Glyph resources are named "<kind>_<button>", as EN_MPPLAY.
constexpr std::array<const char*, MPButtonCount> GlyphButtonNames = {
    "MPPLAY", "MPPAUSE", "MPSTOP", "MPNEXT", "MPPREV", "MPSTEP", "MPBACK", "MPRECORD", "MPEJECT"};
constexpr std::array<const char*, MPGlyphKindCount> GlyphKindPrefixes = {"EN", "DI", "CL"};

// The see-through background of the glyphs.
constexpr TColor GlyphBackground = clOlive;

// Lends a window's device context to a canvas for drawing outside a paint
// message; a canvas that already draws somewhere keeps its context.
class WindowCanvasLoan {
public:
    WindowCanvasLoan(TCanvas& canvas, HWND window) {
        if (canvas.HandleAllocated()) return;
        dc_.emplace(window);
        loan_.emplace(canvas, dc_->Get());
    }

private:
    std::optional<ScopedWindowDC> dc_;
    std::optional<CanvasLoan> loan_;  // given back before the context
};

}  // namespace

TMciService& PlatformMci() {
    static PlatformMciService service;
    return service;
}

TMediaPlayer::TMediaPlayer(TComponent* owner, TMciService& mci) : TCustomControl(owner), mci_(mci) {
    LoadGlyphs();
    SetBounds(Left(), Top(), 240, 30);
}

TMediaPlayer::~TMediaPlayer() {
    if (deviceId_ != 0) {
        MCI_GENERIC_PARMS record{};
        Send(deviceId_, MCI_CLOSE, MCI_WAIT, record);
    }
}

void TMediaPlayer::CreateParams(TCreateParams& params) {
    TCustomControl::CreateParams(params);
    params.WinClassName = "TMediaPlayer";
}

void TMediaPlayer::WndProc(TMessage& message) {
    switch (message.Msg) {
    case MM_MCINOTIFY:
        MciNotify(message.WParam);
        message.Result = 0;
        return;
    case WM_ERASEBKGND:
        // Opaque: the face is painted whole, so the background is never erased.
        message.Result = 1;
        return;
    case WM_SIZE:
        TCustomControl::WndProc(message);
        ApplySizeRule();
        message.Result = 0;
        return;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
        // Pressing a button does not take the keyboard focus.
        MousePressed(GET_X_LPARAM(message.LParam));
        message.Result = 0;
        return;
    case WM_MOUSEMOVE:
        MouseMoved(POINT{GET_X_LPARAM(message.LParam), GET_Y_LPARAM(message.LParam)});
        break;  // on to the framework, for hints and OnMouseMove
    case WM_LBUTTONUP:
        message.Result = 0;
        MouseReleased();
        return;
    case WM_CANCELMODE:
        CancelPress();
        break;
    case WM_KEYDOWN:
        if (message.WParam == VK_SPACE || message.WParam == VK_LEFT || message.WParam == VK_RIGHT) {
            KeyPressed(message.WParam);
            message.Result = 0;
            return;
        }
        break;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
        TCustomControl::WndProc(message);
        PaintNow();  // the focus rectangle comes and goes at once
        return;
    case WM_GETDLGCODE:
        message.Result = DLGC_WANTARROWS;
        return;
    default:
        break;
    }
    TCustomControl::WndProc(message);
}

void TMediaPlayer::Loaded() {
    if (autoOpen_) Open();
}

void TMediaPlayer::CheckOpen() const {
    if (!opened_) throw EMCIDeviceError(LoadStr(SMCINil));
}

// Commands wait for the device unless told otherwise.
DWORD TMediaPlayer::WaitFlags() {
    DWORD flags = (useWait_ && !wait_) ? 0 : MCI_WAIT;
    useWait_ = false;
    if (useNotify_ && notify_) flags |= MCI_NOTIFY;
    useNotify_ = false;
    return flags;
}

// Playing and recording report their end by a notice unless told otherwise.
DWORD TMediaPlayer::NotifyFlags() {
    DWORD flags = (useNotify_ && !notify_) ? 0 : MCI_NOTIFY;
    useNotify_ = false;
    if (useWait_ && wait_) flags |= MCI_WAIT;
    useWait_ = false;
    return flags;
}

void TMediaPlayer::SetFrom(int from) {
    from_ = from;
    useFrom_ = true;
}

void TMediaPlayer::SetTo(int to) {
    to_ = to;
    useTo_ = true;
}

void TMediaPlayer::SetWait(bool wait) {
    wait_ = wait;
    useWait_ = true;
}

void TMediaPlayer::SetNotify(bool notify) {
    notify_ = notify;
    useNotify_ = true;
}

void TMediaPlayer::Open() {
    if (opened_) {
        Close();
        // Never lose hold of a device that would not close.
        if (opened_) throw EMCIDeviceError(ErrorMessage());
    }

    MCI_OPEN_PARMSW record{};
    record.dwCallback = Callback();
    DWORD flags = WaitFlags();
    if (deviceType_ != dtAutoSelect) {
        record.lpstrDeviceType = DeviceTypeNames[deviceType_];
        flags |= MCI_OPEN_TYPE;
    }
    const std::wstring element = ToWide(fileName_);
    if (!fileName_.empty()) {
        record.lpstrElementName = element.c_str();
        flags |= MCI_OPEN_ELEMENT;
    }
    if (shareable_) flags |= MCI_OPEN_SHAREABLE;

    error_ = int(Send(0, MCI_OPEN, flags, record));
    if (error_ != 0) throw EMCIDeviceError(ErrorMessage());

    opened_ = true;
    deviceId_ = record.wDeviceID;
    frames_ = Length() / 10;
    QueryCapabilities();
    if (hasVideo_) SetDisplay(display_);
    if (deviceType_ == dtCDAudio || deviceType_ == dtVideodisc) SetTimeFormat(tfTMSF);
    DefaultAutoButtons();
    if (Mode() == mdPlaying) AutoEnableAfter(btPlay);
    ApplyAutoButtons();
}

void TMediaPlayer::Close() {
    if (deviceId_ == 0) return;
    MCI_GENERIC_PARMS record{};
    record.dwCallback = Callback();
    error_ = int(Send(deviceId_, MCI_CLOSE, WaitFlags(), record));
    if (error_ != 0) return;
    opened_ = false;
    deviceId_ = 0;
    autoButtons_ = {};
    ApplyAutoButtons();
}

bool TMediaPlayer::Capability(DWORD item) {
    MCI_GETDEVCAPS_PARMS record{};
    record.dwItem = item;
    if (Send(deviceId_, MCI_GETDEVCAPS, MCI_WAIT | MCI_GETDEVCAPS_ITEM, record) != 0) return false;
    return (record.dwReturn & 0xFF) != 0;
}

void TMediaPlayer::QueryCapabilities() {
    canPlay_ = Capability(MCI_GETDEVCAPS_CAN_PLAY);
    canRecord_ = Capability(MCI_GETDEVCAPS_CAN_RECORD);
    canEject_ = Capability(MCI_GETDEVCAPS_CAN_EJECT);
    hasVideo_ = Capability(MCI_GETDEVCAPS_HAS_VIDEO);

    MCI_GETDEVCAPS_PARMS record{};
    record.dwItem = MCI_GETDEVCAPS_DEVICE_TYPE;
    const bool answered = Send(deviceId_, MCI_GETDEVCAPS, MCI_WAIT | MCI_GETDEVCAPS_ITEM, record) == 0;
    const DWORD type = answered ? record.dwReturn : 0;
    // Each open asks afresh, so a device that cannot step never inherits the last one's ability.
    canStep_ = type == MCI_DEVTYPE_ANIMATION || type == MCI_DEVTYPE_DIGITAL_VIDEO ||
               type == MCI_DEVTYPE_OVERLAY || type == MCI_DEVTYPE_VCR;
}

DWORD TMediaPlayer::StartPlayback(UINT command) {
    // MCI_PLAY_PARMS and MCI_RECORD_PARMS share one layout.
    MCI_PLAY_PARMS record{};
    record.dwCallback = Callback();
    const DWORD requests = NotifyFlags();
    DWORD flags = requests;
    if (useFrom_) {
        flags |= MCI_FROM;
        record.dwFrom = DWORD(from_);
        useFrom_ = false;
    }
    if (useTo_) {
        flags |= MCI_TO;
        record.dwTo = DWORD(to_);
        useTo_ = false;
    }
    error_ = int(Send(deviceId_, command, flags, record));
    return requests;
}

void TMediaPlayer::Play() {
    CheckOpen();
    const bool fromHere = !useFrom_ && !useTo_;
    int here = fromHere ? Position() : 0;
    if (autoRewind_ && fromHere && here == Length()) {
        Rewind();
        here = 0;
    }
    const DWORD flags = StartPlayback(MCI_PLAY);
    // Wine counts the position from the last play that named a start: play again from where the device was.
    if (error_ == 0 && here > 0 && Position() < here) PlayFrom(here, flags);
}

void TMediaPlayer::PlayFrom(int from, DWORD flags) {
    MCI_PLAY_PARMS record{};
    record.dwCallback = Callback();
    record.dwFrom = DWORD(from);
    error_ = int(Send(deviceId_, MCI_PLAY, flags | MCI_FROM, record));
}

void TMediaPlayer::StartRecording() {
    CheckOpen();
    StartPlayback(MCI_RECORD);
}

void TMediaPlayer::Pause() {
    CheckOpen();
    if (Mode() == mdPlaying)
        PauseOnly();
    else if (Mode() == mdPaused)
        Resume();
}

void TMediaPlayer::PauseOnly() {
    CheckOpen();
    MCI_GENERIC_PARMS record{};
    record.dwCallback = Callback();
    error_ = int(Send(deviceId_, MCI_PAUSE, WaitFlags(), record));
}

void TMediaPlayer::Resume() {
    CheckOpen();
    // The requests stay pending until the resume succeeds: a failed one falls back to Play, which takes them.
    DWORD flags = (useNotify_ && !notify_) ? 0 : MCI_NOTIFY;
    if (useWait_ && wait_) flags |= MCI_WAIT;
    MCI_GENERIC_PARMS record{};
    record.dwCallback = Callback();
    error_ = int(Send(deviceId_, MCI_RESUME, flags, record));
    if (error_ != 0) {
        Play();
        return;
    }
    useNotify_ = false;
    useWait_ = false;
}

void TMediaPlayer::Stop() {
    CheckOpen();
    MCI_GENERIC_PARMS record{};
    record.dwCallback = Callback();
    error_ = int(Send(deviceId_, MCI_STOP, WaitFlags(), record));
}

void TMediaPlayer::Next() {
    CheckOpen();
    const DWORD flags = WaitFlags();
    if (TimeFormat() != tfTMSF)
        error_ = int(Seek(flags | MCI_SEEK_TO_END, 0));
    else
        GoToTrackPlace(flags, TrackFormatNextTarget());
}

void TMediaPlayer::Previous() {
    CheckOpen();
    const DWORD flags = WaitFlags();
    if (TimeFormat() != tfTMSF)
        error_ = int(Seek(flags | MCI_SEEK_TO_START, 0));
    else
        GoToTrackPlace(flags, TrackFormatPreviousTarget());
}

// The start of the next track; on the last track, its own start.
int TMediaPlayer::TrackFormatNextTarget() {
    const int track = TrackOf(Position());
    const int tracks = Tracks();
    return TrackPosition(track == tracks ? tracks : track + 1);
}

// The start of the current track; within its first second, the previous track's.
int TMediaPlayer::TrackFormatPreviousTarget() {
    const int position = Position();
    const int track = TrackOf(position);
    const int start = TrackPosition(track);
    if (track != 1 && MinutesAndSeconds(position) == MinutesAndSeconds(start)) return TrackPosition(track - 1);
    return start;
}

void TMediaPlayer::GoToTrackPlace(DWORD waitFlags, int target) {
    if (Mode() == mdPlaying) {
        SetFrom(target);
        Play();
        currentButton_ = btPlay;
        return;
    }
    error_ = int(Seek(waitFlags | MCI_TO, DWORD(target)));
}

void TMediaPlayer::Step() {
    CheckOpen();
    if (!hasVideo_) return;
    if (autoRewind_ && Position() == Length()) Rewind();
    MCI_ANIM_STEP_PARMS record{};
    record.dwCallback = Callback();
    record.dwFrames = DWORD(frames_);
    error_ = int(Send(deviceId_, MCI_STEP, WaitFlags() | MCI_ANIM_STEP_FRAMES, record));
}

void TMediaPlayer::Back() {
    CheckOpen();
    if (!hasVideo_) return;
    MCI_ANIM_STEP_PARMS record{};
    record.dwCallback = Callback();
    record.dwFrames = DWORD(frames_);
    error_ = int(Send(deviceId_, MCI_STEP, WaitFlags() | MCI_ANIM_STEP_FRAMES | MCI_ANIM_STEP_REVERSE, record));
}

void TMediaPlayer::Eject() {
    CheckOpen();
    if (!canEject_) return;
    MCI_SET_PARMS record{};
    record.dwCallback = Callback();
    error_ = int(Send(deviceId_, MCI_SET, WaitFlags() | MCI_SET_DOOR_OPEN, record));
}

void TMediaPlayer::Rewind() {
    CheckOpen();
    MCI_SEEK_PARMS record{};
    Send(deviceId_, MCI_SEEK, MCI_WAIT | MCI_SEEK_TO_START, record);
}

MCIERROR TMediaPlayer::Seek(DWORD flags, DWORD to) {
    MCI_SEEK_PARMS record{};
    record.dwCallback = Callback();
    record.dwTo = to;
    const MCIERROR result = Send(deviceId_, MCI_SEEK, flags, record);
    if (result == 0) return 0;
    // Wine's MPEG device refuses seeks to a place and to the end (MCIERR_INTERNAL, after
    // stopping) but plays from any place, so the place is reached by playing instead.
    if (flags & MCI_TO) return SeekByPlaying(flags, to, result);
    if (flags & MCI_SEEK_TO_END) {
        const auto [length, failed] = Status(StatusItemFlags, MCI_STATUS_LENGTH);
        if (failed == 0) return SeekByPlaying(flags, DWORD(length), result);
    }
    return result;
}

// Plays from place and stops at once, which leaves the device stopped there, as a seek
// would. Gives the stop's result, or seekError when the device will not play from place.
MCIERROR TMediaPlayer::SeekByPlaying(DWORD seekFlags, DWORD place, MCIERROR seekError) {
    MCI_PLAY_PARMS play{};
    play.dwFrom = place;
    if (Send(deviceId_, MCI_PLAY, MCI_FROM, play) != 0) return seekError;
    MCI_GENERIC_PARMS stop{};
    stop.dwCallback = Callback();
    return Send(deviceId_, MCI_STOP, MCI_WAIT | (seekFlags & MCI_NOTIFY), stop);
}

std::pair<DWORD_PTR, MCIERROR> TMediaPlayer::Status(DWORD flags, DWORD item, DWORD track) {
    MCI_STATUS_PARMS record{};
    record.dwItem = item;
    record.dwTrack = track;
    const MCIERROR result = Send(deviceId_, MCI_STATUS, flags, record);
    return {result == 0 ? record.dwReturn : 0, result};
}

// A status query whose result goes to Error; 0 when it fails.
DWORD_PTR TMediaPlayer::KeptStatus(DWORD item) {
    const auto [value, result] = Status(StatusItemFlags, item);
    error_ = int(result);
    return value;
}

int TMediaPlayer::Position() { return int(KeptStatus(MCI_STATUS_POSITION)); }

void TMediaPlayer::SetPosition(int position) {
    CheckOpen();
    error_ = int(Seek(WaitFlags() | MCI_TO, DWORD(position)));
}

int TMediaPlayer::Length() {
    CheckOpen();
    return int(KeptStatus(MCI_STATUS_LENGTH));
}

int TMediaPlayer::Tracks() {
    CheckOpen();
    return int(KeptStatus(MCI_STATUS_NUMBER_OF_TRACKS));
}

TMPMode TMediaPlayer::Mode() {
    const DWORD_PTR mode = KeptStatus(MCI_STATUS_MODE);
    // A failed query, or a mode we do not know, reads as not ready.
    if (mode < MCI_MODE_NOT_READY || mode > MCI_MODE_OPEN) return mdNotReady;
    return TMPMode(mode - MCI_MODE_NOT_READY);
}

TMPTimeFormat TMediaPlayer::TimeFormat() {
    CheckOpen();
    return TMPTimeFormat(KeptStatus(MCI_STATUS_TIME_FORMAT) & 0xFF);
}

void TMediaPlayer::SetTimeFormat(TMPTimeFormat format) {
    MCI_SET_PARMS record{};
    // No callback window: the notice of this command must never reach OnNotify,
    // where it would read as the end of a track.
    record.dwTimeFormat = format;
    error_ = int(Send(deviceId_, MCI_SET, MCI_NOTIFY | MCI_SET_TIME_FORMAT, record));
}

int TMediaPlayer::TrackPosition(int track) {
    return int(Status(StatusItemFlags | MCI_TRACK, MCI_STATUS_POSITION, DWORD(track)).first);
}

void TMediaPlayer::SetDisplay(TWinControl* display) {
    if (display && opened_ && hasVideo_) {
        MCI_ANIM_WINDOW_PARMSW record{};
        record.dwCallback = Callback();
        record.hWnd = display->Handle();
        error_ = int(Send(deviceId_, MCI_WINDOW, MCI_WAIT | MCI_ANIM_WINDOW_HWND, record));
        if (error_ != 0) display = nullptr;
    }
    if (display == display_) return;
    if (display_) RemoveFreeNotification(display_);
    display_ = display;
    // Told when it goes, so that a destroyed control is never kept or handed to the device.
    if (display_) FreeNotification(display_);
}

void TMediaPlayer::Notification(TComponent* component, TOperation operation) {
    TCustomControl::Notification(component, operation);
    if (operation == TOperation::opRemove && component != nullptr && component == display_) HandDisplayBack();
}

// The display control is going: the video goes back to the device's own window.
void TMediaPlayer::HandDisplayBack() {
    if (opened_ && hasVideo_) {
        MCI_ANIM_WINDOW_PARMSW record{};
        record.hWnd = nullptr;
        error_ = int(Send(deviceId_, MCI_WINDOW, MCI_WAIT | MCI_ANIM_WINDOW_HWND, record));
    }
    display_ = nullptr;
}

std::string TMediaPlayer::ErrorMessage() {
    std::array<wchar_t, 4096> text{};
    if (!mci_.GetErrorString(MCIERROR(error_), text.data(), UINT(text.size()))) return LoadStr(SMCIUnknownError);
    text.back() = L'\0';
    return ToUtf8(text.data());
}

void TMediaPlayer::MciNotify(WPARAM code) {
    if (autoEnable_ && ModeAfterNotice(code) == mdStopped) {
        AutoButtonsWhileIdle();
        ApplyAutoButtons();
    }
    switch (code) {
    case MCI_NOTIFY_SUCCESSFUL: notifyValue_ = nvSuccessful; break;
    case MCI_NOTIFY_SUPERSEDED: notifyValue_ = nvSuperseded; break;
    case MCI_NOTIFY_ABORTED: notifyValue_ = nvAborted; break;
    case MCI_NOTIFY_FAILURE: notifyValue_ = nvFailure; break;
    default: break;
    }
    DoNotify();
}

// Wine sends a play's end notice just before it stops the device: give it a moment to stop.
TMPMode TMediaPlayer::ModeAfterNotice(WPARAM code) {
    constexpr int StepMs = 5, MostMs = 200;
    TMPMode mode = Mode();
    for (int waited = 0; code == MCI_NOTIFY_SUCCESSFUL && mode == mdPlaying && waited < MostMs; waited += StepMs) {
        Sleep(StepMs);
        mode = Mode();
    }
    return mode;
}

void TMediaPlayer::DoNotify() { OnNotify(this); }

void TMediaPlayer::DefaultAutoButtons() {
    autoButtons_ = {btNext, btPrev};
    if (canStep_) autoButtons_.Include(btStep).Include(btBack);
    if (canPlay_) autoButtons_.Include(btPlay);
    if (canRecord_) autoButtons_.Include(btRecord);
    if (canEject_) autoButtons_.Include(btEject);
}

void TMediaPlayer::AutoButtonsWhileRunning() {
    autoButtons_.Exclude(btPlay).Exclude(btRecord).Include(btPause).Include(btStop);
}

void TMediaPlayer::AutoButtonsWhileIdle() {
    if (canPlay_) autoButtons_.Include(btPlay);
    if (canRecord_) autoButtons_.Include(btRecord);
    autoButtons_.Exclude(btPause).Exclude(btStop);
}

void TMediaPlayer::AutoEnableAfter(TMPBtnType button) {
    if (button == btPlay || button == btRecord)
        AutoButtonsWhileRunning();
    else
        AutoButtonsWhileIdle();
}

void TMediaPlayer::ApplyAutoButtons() {
    for (int n = 0; n < MPButtonCount; ++n) buttons_[n].Auto = autoButtons_.Contains(TMPBtnType(n));
    Invalidate();
}

void TMediaPlayer::SetVisibleButtons(TButtonSet buttons) {
    visibleButtons_ = buttons;
    for (int n = 0; n < MPButtonCount; ++n) buttons_[n].Visible = buttons.Contains(TMPBtnType(n));
    FitWidth();
}

void TMediaPlayer::SetEnabledButtons(TButtonSet buttons) {
    enabledButtons_ = buttons;
    for (int n = 0; n < MPButtonCount; ++n) buttons_[n].Enabled = buttons.Contains(TMPBtnType(n));
    Invalidate();
}

void TMediaPlayer::SetColoredButtons(TButtonSet buttons) {
    coloredButtons_ = buttons;
    for (int n = 0; n < MPButtonCount; ++n) buttons_[n].Colored = buttons.Contains(TMPBtnType(n));
    Invalidate();
}

void TMediaPlayer::SetAutoEnable(bool autoEnable) {
    if (autoEnable == autoEnable_) return;
    autoEnable_ = autoEnable;
    if (autoEnable_)
        ApplyAutoButtons();
    else
        SetEnabledButtons(enabledButtons_);
}

// ---- the button bar

void TMediaPlayer::LoadGlyphs() {
    minButtonSize_ = POINT{0, 0};
    for (int n = 0; n < MPButtonCount; ++n) {
        for (int kind = 0; kind < MPGlyphKindCount; ++kind) {
            const std::string name = std::string(GlyphKindPrefixes[kind]) + "_" + GlyphButtonNames[n];
            TBitmap& glyph = buttons_[n].Glyphs[kind];
            if (!glyph.LoadFromResourceName(name)) throw EResNotFound(FormatText(LoadStr(SResNotFound), name));
            minButtonSize_.x = std::max<LONG>(minButtonSize_.x, glyph.Width());
            minButtonSize_.y = std::max<LONG>(minButtonSize_.y, glyph.Height());
        }
    }
    minButtonSize_.x += 8;
    minButtonSize_.y += 4;
}

// With no visible button the bar is still one (empty) cell wide.
int TMediaPlayer::VisibleCount() const {
    const int count = int(std::count_if(buttons_.begin(), buttons_.end(),
                                        [](const TMPButtonState& b) { return b.Visible; }));
    return std::max(count, 1);
}

int TMediaPlayer::MinimumWidth() const { return VisibleCount() * (minButtonSize_.x - 1) + 1; }

// Before the first size message there is no cell width yet: the bar then
// holds its minimum width rather than a meaningless one.
void TMediaPlayer::FitWidth() {
    SetWidth(std::max(VisibleCount() * (buttonWidth_ - 1) + 1, MinimumWidth()));
    Invalidate();
}

// Cells share their border columns; the bar is as wide as whole cells make it, never below the minimum.
void TMediaPlayer::ApplySizeRule() {
    const int count = VisibleCount();
    buttonWidth_ = (Width() - 1) / count + 1;
    const int width = std::max(count * (buttonWidth_ - 1) + 1, MinimumWidth());
    const int height = std::max(Height(), int(minButtonSize_.y));
    // The size message this causes runs the rule again, which then changes nothing.
    if (width != Width() || height != Height()) SetBounds(Left(), Top(), width, height);
}

bool TMediaPlayer::Usable(TMPBtnType button) const {
    return autoEnable_ ? buttons_[button].Auto : buttons_[button].Enabled;
}

TMPGlyphKind TMediaPlayer::GlyphKindOf(TMPBtnType button) const {
    if (!Enabled() || !Usable(button)) return gkDisabled;
    return buttons_[button].Colored ? gkColored : gkEnabled;
}

void TMediaPlayer::Paint() {
    TCanvas& canvas = Canvas();
    canvas.Brush().SetStyle(TBrushStyle::bsClear);
    canvas.Pen().SetColor(clWindowFrame);
    canvas.Pen().SetWidth(1);
    canvas.Rectangle(0, 0, Width(), Height());
    if (std::none_of(buttons_.begin(), buttons_.end(), [](const TMPButtonState& b) { return b.Visible; })) {
        // An empty bar shows a plain face, not the buttons it had before.
        canvas.Brush().SetColor(clBtnFace);
        canvas.Brush().SetStyle(TBrushStyle::bsSolid);
        canvas.FillRect(RECT{1, 1, Width() - 1, Height() - 1});
        return;
    }
    int x = 0;
    for (int n = 0; n < MPButtonCount; ++n) {
        if (!buttons_[n].Visible) continue;
        DrawButton(TMPBtnType(n), x);
        x += buttonWidth_ - 1;
    }
}

void TMediaPlayer::DrawButton(TMPBtnType button, int x) {
    TCanvas& canvas = Canvas();
    const int w = buttonWidth_, h = Height();
    const bool down = down_ && button == currentButton_;

    // Frame and face.
    canvas.Brush().SetColor(clBtnFace);
    canvas.Brush().SetStyle(TBrushStyle::bsSolid);
    canvas.Pen().SetColor(clWindowFrame);
    canvas.Pen().SetWidth(1);
    canvas.Rectangle(x, 0, x + w, h);

    // Bevel: lit top and left when up, shadowed when down.
    canvas.Pen().SetColor(down ? clBtnShadow : clBtnHighlight);
    canvas.MoveTo(x + 1, h - 2);
    canvas.LineTo(x + 1, 1);
    canvas.LineTo(x + w - 1, 1);
    if (!down) {
        canvas.Pen().SetColor(clBtnShadow);
        canvas.MoveTo(x + 2, h - 2);
        canvas.LineTo(x + w - 2, h - 2);
        canvas.LineTo(x + w - 2, 1);
    }

    // The glyph, centred and pushed one pixel down and right while pressed; its
    // olive background lets the face show through.
    TBitmap& glyph = buttons_[button].Glyphs[GlyphKindOf(button)];
    int gx = w / 2 - glyph.Width() / 2;
    int gy = h / 2 - glyph.Height() / 2;
    if (down) {
        ++gx;
        ++gy;
    }
    const RECT source{0, 0, glyph.Width(), glyph.Height()};
    const RECT target{x + gx, gy, x + gx + glyph.Width(), gy + glyph.Height()};
    canvas.DrawTransparent(target, glyph, source, GlyphBackground);

    if (button == focusedButton_ && HandleAllocated() && GetFocus() == Handle()) {
        RECT focus{x, 0, x + w, h};
        InflateRect(&focus, -3, -3);
        if (down) OffsetRect(&focus, 1, 1);
        canvas.DrawFocusRect(focus);
    }
}

void TMediaPlayer::PaintNow() {
    if (!HandleAllocated()) return;
    WindowCanvasLoan loan(Canvas(), Handle());
    Paint();
}

void TMediaPlayer::DrawButtonNow(TMPBtnType button, int x) {
    if (!HandleAllocated()) return;
    WindowCanvasLoan loan(Canvas(), Handle());
    DrawButton(button, x);
}

// Cells overlap by their shared column and both ends count, so the two
// columns at a seam belong to the lower-numbered button.
std::optional<TMediaPlayer::CellHit> TMediaPlayer::HitTest(int x) const {
    int left = 0;
    for (int n = 0; n < MPButtonCount; ++n) {
        if (!buttons_[n].Visible) continue;
        if (left <= x && x <= left + buttonWidth_) return CellHit{TMPBtnType(n), left};
        left += buttonWidth_ - 1;
    }
    return std::nullopt;
}

void TMediaPlayer::MousePressed(int x) {
    const std::optional<CellHit> hit = HitTest(x);
    if (!hit || !Usable(hit->Button)) return;
    currentButton_ = hit->Button;
    if (currentButton_ != focusedButton_) {
        focusedButton_ = currentButton_;
        PaintNow();
    }
    currentRect_ = RECT{hit->Left, 0, hit->Left + buttonWidth_, Height()};
    pressed_ = true;
    down_ = true;
    DrawButtonNow(currentButton_, hit->Left);
    SetMouseCapture(true);
}

// The pressed cell is drawn down only while the pointer is inside it.
void TMediaPlayer::MouseMoved(POINT p) {
    if (!pressed_) return;
    const bool inside = PtInRect(&currentRect_, p) != FALSE;
    if (inside == down_) return;
    down_ = inside;
    DrawButtonNow(currentButton_, currentRect_.left);
}

void TMediaPlayer::MouseReleased() {
    SetMouseCapture(false);
    const bool clicked = pressed_ && down_;
    // Tracking ends here, also when the button's action raises.
    pressed_ = false;
    if (!clicked) return;
    down_ = false;
    DrawButtonNow(currentButton_, currentRect_.left);
    DispatchClick();
    AutoEnableAfterCommand(currentButton_);
}

// The press is taken away (an error report or a modal box): the cell goes up and nothing is dispatched.
void TMediaPlayer::CancelPress() {
    if (!pressed_) return;
    pressed_ = false;
    if (down_) {
        down_ = false;
        DrawButtonNow(currentButton_, currentRect_.left);
    }
    SetMouseCapture(false);
}

void TMediaPlayer::KeyPressed(WPARAM key) {
    switch (key) {
    case VK_SPACE:
        // The space key follows the Enabled flags, whatever AutoEnable says.
        if (!buttons_[focusedButton_].Enabled) return;
        currentButton_ = focusedButton_;
        DispatchClick();
        AutoEnableAfterCommand(currentButton_);
        break;
    case VK_LEFT: MoveFocus(-1); break;
    case VK_RIGHT: MoveFocus(+1); break;
    default: break;
    }
}

// Steps to the next visible button that way; the first and last buttons are
// taken even when hidden.
void TMediaPlayer::MoveFocus(int step) {
    const int last = step < 0 ? 0 : MPButtonCount - 1;
    int n = focusedButton_;
    do {
        if (n != last) n += step;
    } while (n != last && !buttons_[n].Visible);
    if (n == focusedButton_) return;
    focusedButton_ = TMPBtnType(n);
    Invalidate();
}

void TMediaPlayer::DispatchClick() {
    bool doDefault = true;
    Click(currentButton_, doDefault);
    if (!doDefault) return;
    DefaultAction(currentButton_);
    // Next and Previous may have made Play the current button.
    PostClick(currentButton_);
}

void TMediaPlayer::DefaultAction(TMPBtnType button) {
    switch (button) {
    case btPlay: Play(); break;
    case btPause: Pause(); break;
    case btStop: Stop(); break;
    case btNext: Next(); break;
    case btPrev: Previous(); break;
    case btStep: Step(); break;
    case btBack: Back(); break;
    case btRecord: StartRecording(); break;
    case btEject: Eject(); break;
    }
}

void TMediaPlayer::PressButton(TMPBtnType button) {
    currentButton_ = button;
    DispatchClick();
    AutoEnableAfterCommand(currentButton_);
}

// After a click (mouse or key) or the program's own command the automatic
// buttons follow what was done, but only when the device took the command:
// after a refused play the buttons of a running device would be wrong.
void TMediaPlayer::AutoEnableAfterCommand(TMPBtnType button) {
    if (!autoEnable_ || error_ != 0 || !opened_) return;
    AutoEnableAfter(button);
    ApplyAutoButtons();
}

void TMediaPlayer::Click(TMPBtnType button, bool& doDefault) { OnClick(this, button, doDefault); }

void TMediaPlayer::PostClick(TMPBtnType button) { OnPostClick(this, button); }
