#include "MPlayer.h"

#include <array>

#include "StringIds.h"

namespace {

class PlatformMciService final : public TMciService {
public:
    MCIERROR SendCommand(MCIDEVICEID device, UINT command, DWORD_PTR flags, DWORD_PTR record) override {
        return mciSendCommandA(device, command, flags, record);
    }
    bool GetErrorString(MCIERROR error, char* buffer, UINT size) override {
        return mciGetErrorStringA(error, buffer, size) != FALSE;
    }
};

// The MCI device type names, in TMPDeviceTypes order (none for dtAutoSelect).
constexpr std::array<const char*, 13> DeviceTypeNames = {
    nullptr, "AVIVideo", "CDAudio", "DAT", "DigitalVideo", "MMMovie", "Other",
    "Overlay", "Scanner", "Sequencer", "VCR", "Videodisc", "WaveAudio"};

constexpr DWORD StatusItemFlags = MCI_WAIT | MCI_STATUS_ITEM;

int TrackOf(int tmsf) { return MCI_TMSF_TRACK(DWORD(tmsf)); }

// Minutes and seconds of a track-format position, the track left out.
DWORD MinutesAndSeconds(int tmsf) { return DWORD(tmsf) & 0x00FFFF00u; }

}  // namespace

TMciService& PlatformMci() {
    static PlatformMciService service;
    return service;
}

TMediaPlayer::TMediaPlayer(TComponent* owner, TMciService& mci) : TCustomControl(owner), mci_(mci) {
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
    default:
        TCustomControl::WndProc(message);
    }
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

    MCI_OPEN_PARMSA record{};
    record.dwCallback = Callback();
    DWORD flags = WaitFlags();
    if (deviceType_ != dtAutoSelect) {
        record.lpstrDeviceType = DeviceTypeNames[deviceType_];
        flags |= MCI_OPEN_TYPE;
    }
    if (!fileName_.empty()) {
        record.lpstrElementName = fileName_.c_str();
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

void TMediaPlayer::StartPlayback(UINT command) {
    // MCI_PLAY_PARMS and MCI_RECORD_PARMS share one layout.
    MCI_PLAY_PARMS record{};
    record.dwCallback = Callback();
    DWORD flags = NotifyFlags();
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
}

void TMediaPlayer::Play() {
    CheckOpen();
    if (autoRewind_ && !useFrom_ && !useTo_ && Position() == Length()) Rewind();
    StartPlayback(MCI_PLAY);
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
        MCI_ANIM_WINDOW_PARMSA record{};
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
        MCI_ANIM_WINDOW_PARMSA record{};
        record.hWnd = nullptr;
        error_ = int(Send(deviceId_, MCI_WINDOW, MCI_WAIT | MCI_ANIM_WINDOW_HWND, record));
    }
    display_ = nullptr;
}

std::string TMediaPlayer::ErrorMessage() {
    std::array<char, 4096> text{};
    if (!mci_.GetErrorString(MCIERROR(error_), text.data(), UINT(text.size()))) return LoadStr(SMCIUnknownError);
    text.back() = '\0';
    return text.data();
}

void TMediaPlayer::MciNotify(WPARAM code) {
    if (autoEnable_ && Mode() == mdStopped) {
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
    Invalidate();
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
