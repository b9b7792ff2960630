// The media control: owns at most one open MCI device, sends its commands and
// turns the device's completion notices into events. It is also the row of
// play and pause buttons it draws itself, each pressed with the mouse or the
// space key and dispatched to OnClick, the button's device action and OnPostClick.
#pragma once

#include <windows.h>
#include <mmsystem.h>

#include <array>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <utility>

#include "Controls.h"
#include "runtime/SysUtils.h"

// The buttons of the bar, in the order they are drawn.
enum TMPBtnType : uint8_t { btPlay, btPause, btStop, btNext, btPrev, btStep, btBack, btRecord, btEject };
constexpr int MPButtonCount = 9;

// A set of buttons: bit n stands for button n.
class TButtonSet {
public:
    constexpr TButtonSet() = default;
    constexpr TButtonSet(std::initializer_list<TMPBtnType> buttons) {
        for (TMPBtnType b : buttons) Include(b);
    }
    static constexpr TButtonSet FromBits(uint16_t bits) {
        TButtonSet set;
        set.bits_ = bits;
        return set;
    }
    static constexpr TButtonSet All() { return FromBits(0x1FF); }

    constexpr uint16_t Bits() const { return bits_; }
    constexpr bool Empty() const { return bits_ == 0; }
    constexpr bool Contains(TMPBtnType b) const { return (bits_ & Bit(b)) != 0; }
    constexpr TButtonSet& Include(TMPBtnType b) {
        bits_ = uint16_t(bits_ | Bit(b));
        return *this;
    }
    constexpr TButtonSet& Exclude(TMPBtnType b) {
        bits_ = uint16_t(bits_ & ~Bit(b));
        return *this;
    }
    constexpr bool operator==(const TButtonSet&) const = default;

private:
    static constexpr unsigned Bit(TMPBtnType b) { return 1u << unsigned(b); }
    uint16_t bits_ = 0;
};

// The kind of device to open; dtAutoSelect lets the system choose from the file.
enum TMPDeviceTypes : uint8_t {
    dtAutoSelect, dtAVIVideo, dtCDAudio, dtDAT, dtDigitalVideo, dtMMMovie, dtOther,
    dtOverlay, dtScanner, dtSequencer, dtVCR, dtVideodisc, dtWaveAudio
};

// The device's mode: its MCI_MODE_* value minus MCI_MODE_NOT_READY.
enum TMPMode : uint8_t { mdNotReady, mdStopped, mdPlaying, mdRecording, mdSeeking, mdPaused, mdOpen };

// What the last completion notice said.
enum TMPNotifyValue : uint8_t { nvSuccessful, nvSuperseded, nvAborted, nvFailure };

// Time formats; the ordinal is the MCI_FORMAT_* value.
enum TMPTimeFormat : uint8_t {
    tfMilliseconds, tfHMS, tfMSF, tfFrames, tfSMPTE24, tfSMPTE25, tfSMPTE30, tfSMPTE30Drop,
    tfBytes, tfSamples, tfTMSF
};

// The three pictures of every button.
enum TMPGlyphKind : uint8_t { gkEnabled, gkDisabled, gkColored };
constexpr int MPGlyphKindCount = 3;

// The state of one button of the bar.
struct TMPButtonState {
    bool Visible = true;
    bool Enabled = true;
    bool Colored = true;
    // Usable by the automatic rules (while AutoEnable is on).
    bool Auto = false;
    // Indexed by TMPGlyphKind; loaded from the program's resources.
    std::array<TBitmap, MPGlyphKindCount> Glyphs;
};

using EMPNotify = Event<TObject*, TMPBtnType, bool&>;
using EMPPostNotify = Event<TObject*, TMPBtnType>;

// A failed open, or an operation that needs a device while none is open.
class EMCIDeviceError : public Exception {
    using Exception::Exception;
};

// The system's MCI command interface. The control sends everything through
// one of these, so that tests can stand in for the devices.
class TMciService {
public:
    virtual MCIERROR SendCommand(MCIDEVICEID device, UINT command, DWORD_PTR flags, DWORD_PTR record) = 0;
    // The system's text for an error code; false when it has none.
    virtual bool GetErrorString(MCIERROR error, wchar_t* buffer, UINT size) = 0;

protected:
    ~TMciService() = default;
};

// mciSendCommandW and mciGetErrorStringW.
TMciService& PlatformMci();

class TMediaPlayer : public TCustomControl {
public:
    explicit TMediaPlayer(TComponent* owner, TMciService& mci = PlatformMci());
    ~TMediaPlayer() override;

    // Runs Open when AutoOpen is set; the owner calls it once the control's
    // settings have been made.
    void Loaded();

    // Device operations. Those that need an open device raise
    // EMCIDeviceError("No MCI device open") without one.
    void Open();
    void Close();
    void Play();
    void StartRecording();
    // Pauses while playing, resumes while paused.
    void Pause();
    void PauseOnly();
    void Resume();
    void Stop();
    // To the end or the start; in track format, to the next track or back to this one's start.
    void Next();
    void Previous();
    // A tenth of the length forward or back, on devices that show video.
    void Step();
    void Back();
    void Eject();
    void Rewind();

    // Positions and lengths are in the device's current time format.
    int Position();
    // Seeks; the device is left stopped at the new place.
    void SetPosition(int position);
    int Length();
    int Tracks();
    TMPMode Mode();
    TMPTimeFormat TimeFormat();
    void SetTimeFormat(TMPTimeFormat format);
    // Start of a track, in the current time format.
    int TrackPosition(int track);

    TWinControl* Display() const { return display_; }
    void SetDisplay(TWinControl* display);

    // One-shot requests for the next command that takes them.
    void SetFrom(int from);
    void SetTo(int to);
    void SetWait(bool wait);
    void SetNotify(bool notify);

    MCIDEVICEID DeviceID() const { return deviceId_; }
    bool Opened() const { return opened_; }
    int Error() const { return error_; }
    std::string ErrorMessage();
    TMPNotifyValue NotifyValue() const { return notifyValue_; }
    int Frames() const { return frames_; }
    bool CanPlay() const { return canPlay_; }
    bool CanStep() const { return canStep_; }
    bool CanEject() const { return canEject_; }
    bool CanRecord() const { return canRecord_; }
    bool HasVideo() const { return hasVideo_; }

    const std::string& FileName() const { return fileName_; }
    void SetFileName(const std::string& fileName) { fileName_ = fileName; }
    TMPDeviceTypes DeviceType() const { return deviceType_; }
    void SetDeviceType(TMPDeviceTypes type) { deviceType_ = type; }
    bool AutoOpen() const { return autoOpen_; }
    void SetAutoOpen(bool autoOpen) { autoOpen_ = autoOpen; }
    bool AutoRewind() const { return autoRewind_; }
    void SetAutoRewind(bool autoRewind) { autoRewind_ = autoRewind; }
    bool Shareable() const { return shareable_; }
    void SetShareable(bool shareable) { shareable_ = shareable; }

    // The buttons.
    const TMPButtonState& Buttons(TMPBtnType button) const { return buttons_[button]; }
    // Width of one cell, frame included; neighbouring cells share a pixel column. 0 until first sized.
    int ButtonWidth() const { return buttonWidth_; }
    // The smallest cell that holds every glyph with its margins.
    POINT MinButtonSize() const { return minButtonSize_; }
    // The button that shows the focus rectangle and that the space key presses.
    TMPBtnType FocusedButton() const { return focusedButton_; }
    TButtonSet VisibleButtons() const { return visibleButtons_; }
    void SetVisibleButtons(TButtonSet buttons);
    TButtonSet EnabledButtons() const { return enabledButtons_; }
    void SetEnabledButtons(TButtonSet buttons);
    TButtonSet ColoredButtons() const { return coloredButtons_; }
    void SetColoredButtons(TButtonSet buttons);
    bool AutoEnable() const { return autoEnable_; }
    void SetAutoEnable(bool autoEnable);
    // The buttons the automatic rules make usable.
    TButtonSet AutoButtons() const { return autoButtons_; }
    // Acts as a click of button on the bar would: OnClick, the button's own
    // action, OnPostClick and the automatic enabling.
    void PressButton(TMPBtnType button);
    // After the program itself used the device as button would: the automatic
    // buttons follow, as after a press, when the device took the command.
    void AutoEnableAfterCommand(TMPBtnType button);
    TMPBtnType CurrentButton() const { return currentButton_; }

    // A bar button was clicked, before its own action; clearing the flag cancels the action.
    EMPNotify OnClick;
    // After a bar button's own action.
    EMPPostNotify OnPostClick;
    // A completion notice came in; NotifyValue says how the command ended.
    TNotifyEvent OnNotify;

    void WndProc(TMessage& message) override;

protected:
    void CreateParams(TCreateParams& params) override;
    void Notification(TComponent* component, TOperation operation) override;
    void Paint() override;

    // Updates AutoButtons after button was used; callers apply them afterwards.
    virtual void AutoEnableAfter(TMPBtnType button);
    // A button was pressed: raises OnClick, which may cancel the button's own action.
    virtual void Click(TMPBtnType button, bool& doDefault);
    // After the button's own action: raises OnPostClick.
    virtual void PostClick(TMPBtnType button);
    virtual void DoNotify();

private:
    template <typename Record>
    MCIERROR Send(MCIDEVICEID device, UINT command, DWORD flags, Record& record) {
        return mci_.SendCommand(device, command, flags, reinterpret_cast<DWORD_PTR>(&record));
    }
    DWORD_PTR Callback() { return reinterpret_cast<DWORD_PTR>(Handle()); }
    void CheckOpen() const;
    DWORD WaitFlags();
    DWORD NotifyFlags();
    // Play and StartRecording: the start and end requests on top of rule N.
    // Gives the wait and notify flags it used.
    DWORD StartPlayback(UINT command);
    void PlayFrom(int from, DWORD flags);
    MCIERROR Seek(DWORD flags, DWORD to);
    MCIERROR SeekByPlaying(DWORD seekFlags, DWORD place, MCIERROR seekError);
    // The returned value of a status query and the query's result.
    std::pair<DWORD_PTR, MCIERROR> Status(DWORD flags, DWORD item, DWORD track = 0);
    DWORD_PTR KeptStatus(DWORD item);
    bool Capability(DWORD item);
    void QueryCapabilities();
    void DefaultAutoButtons();
    void AutoButtonsWhileRunning();
    void AutoButtonsWhileIdle();
    int TrackFormatNextTarget();
    int TrackFormatPreviousTarget();
    void GoToTrackPlace(DWORD waitFlags, int target);
    void HandDisplayBack();
    void ApplyAutoButtons();
    void MciNotify(WPARAM code);
    TMPMode ModeAfterNotice(WPARAM code);

    // The button bar.
    void LoadGlyphs();
    int VisibleCount() const;
    int MinimumWidth() const;
    void FitWidth();
    void ApplySizeRule();
    bool Usable(TMPBtnType button) const;
    TMPGlyphKind GlyphKindOf(TMPBtnType button) const;
    // Draws on the canvas, which must hold a device context.
    void DrawButton(TMPBtnType button, int x);
    // Draw at once, outside a paint message.
    void PaintNow();
    void DrawButtonNow(TMPBtnType button, int x);
    struct CellHit {
        TMPBtnType Button;
        int Left;
    };
    // The visible button whose cell holds column x (only the column counts), with the cell's left edge.
    std::optional<CellHit> HitTest(int x) const;
    void MousePressed(int x);
    void MouseMoved(POINT p);
    void MouseReleased();
    void CancelPress();
    void KeyPressed(WPARAM key);
    void MoveFocus(int step);
    void DispatchClick();
    void DefaultAction(TMPBtnType button);

    TMciService& mci_;
    std::array<TMPButtonState, MPButtonCount> buttons_{};
    TButtonSet visibleButtons_ = TButtonSet::All();
    TButtonSet enabledButtons_ = TButtonSet::All();
    TButtonSet coloredButtons_ = TButtonSet::All();
    TButtonSet autoButtons_;
    TMPBtnType currentButton_ = btPlay;
    TMPBtnType focusedButton_ = btPlay;
    bool pressed_ = false, down_ = false;
    RECT currentRect_{};
    int buttonWidth_ = 0;
    POINT minButtonSize_{};

    bool opened_ = false;
    bool canPlay_ = false, canStep_ = false, canEject_ = false, canRecord_ = false, hasVideo_ = false;
    bool wait_ = false, notify_ = false;
    bool useWait_ = false, useNotify_ = false, useFrom_ = false, useTo_ = false;
    MCIDEVICEID deviceId_ = 0;
    TMPDeviceTypes deviceType_ = dtAutoSelect;
    int to_ = 0, from_ = 0;
    int frames_ = 0;
    int error_ = 0;
    TMPNotifyValue notifyValue_ = nvSuccessful;
    TWinControl* display_ = nullptr;
    std::string fileName_;
    bool autoEnable_ = true, autoOpen_ = false, autoRewind_ = true, shareable_ = false;
};
