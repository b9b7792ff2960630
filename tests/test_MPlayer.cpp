// The media control's device side: first against a stand-in for the MCI
// devices that records every command, then against Wine's real MCI with
// short MP3 clips.
#include <doctest.h>

#include <windows.h>
#include <mmsystem.h>
#include <digitalv.h>

#include <algorithm>
#include <initializer_list>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "ExtCtrls.h"
#include "MPlayer.h"
#include "TestFiles.h"
#include "WineGui.h"

namespace {

// One command as the control sent it, with the record fields that command carries.
struct SentCommand {
    MCIDEVICEID device = 0;
    UINT command = 0;
    DWORD_PTR flags = 0;
    DWORD_PTR callback = 0;
    std::optional<std::string> type, element;  // open
    DWORD item = 0, track = 0;                 // status and capability queries
    DWORD from = 0, to = 0;                    // play, record, seek
    DWORD frames = 0;                          // step
    DWORD timeFormat = 0;                      // set
    HWND window = nullptr;                     // window
};

SentCommand Describe(MCIDEVICEID device, UINT command, DWORD_PTR flags, DWORD_PTR record) {
    SentCommand sent;
    sent.device = device;
    sent.command = command;
    sent.flags = flags;
    sent.callback = *reinterpret_cast<const DWORD_PTR*>(record);
    switch (command) {
    case MCI_OPEN: {
        const auto* open = reinterpret_cast<const MCI_OPEN_PARMSW*>(record);
        if (open->lpstrDeviceType) sent.type = ToUtf8(open->lpstrDeviceType);
        if (open->lpstrElementName) sent.element = ToUtf8(open->lpstrElementName);
        break;
    }
    case MCI_STATUS: {
        const auto* status = reinterpret_cast<const MCI_STATUS_PARMS*>(record);
        sent.item = status->dwItem;
        sent.track = status->dwTrack;
        break;
    }
    case MCI_GETDEVCAPS: sent.item = reinterpret_cast<const MCI_GETDEVCAPS_PARMS*>(record)->dwItem; break;
    case MCI_PLAY:
    case MCI_RECORD: {
        const auto* play = reinterpret_cast<const MCI_PLAY_PARMS*>(record);
        sent.from = play->dwFrom;
        sent.to = play->dwTo;
        break;
    }
    case MCI_SEEK: sent.to = reinterpret_cast<const MCI_SEEK_PARMS*>(record)->dwTo; break;
    case MCI_STEP: sent.frames = reinterpret_cast<const MCI_ANIM_STEP_PARMS*>(record)->dwFrames; break;
    case MCI_SET: sent.timeFormat = reinterpret_cast<const MCI_SET_PARMS*>(record)->dwTimeFormat; break;
    case MCI_WINDOW: sent.window = reinterpret_cast<const MCI_ANIM_WINDOW_PARMSW*>(record)->hWnd; break;
    default: break;
    }
    return sent;
}

// The commands a test saw, with ways to pick them out.
class CommandLog {
public:
    std::vector<SentCommand> sent;

    std::vector<UINT> Commands() const {
        std::vector<UINT> codes;
        for (const SentCommand& s : sent) codes.push_back(s.command);
        return codes;
    }
    std::vector<SentCommand> Of(UINT command) const {
        std::vector<SentCommand> found;
        for (const SentCommand& s : sent)
            if (s.command == command) found.push_back(s);
        return found;
    }
    SentCommand Only(UINT command) const {
        const auto found = Of(command);
        REQUIRE(found.size() == 1);
        return found.front();
    }
    void Forget() { sent.clear(); }
};

// Stands in for the MCI devices: opens and closes numbered devices, answers
// status and capability queries from its tables, moves its mode and position
// as a real device would, and refuses the commands a test names.
class FakeMci : public TMciService, public CommandLog {
public:
    std::set<MCIDEVICEID> openDevices;
    MCIDEVICEID nextId = 21;
    std::map<DWORD, DWORD_PTR> status = {{MCI_STATUS_LENGTH, 2000}, {MCI_STATUS_POSITION, 0},
                                         {MCI_STATUS_MODE, MCI_MODE_STOP},
                                         {MCI_STATUS_TIME_FORMAT, MCI_FORMAT_MILLISECONDS},
                                         {MCI_STATUS_NUMBER_OF_TRACKS, 1}};
    std::map<DWORD, DWORD_PTR> trackStarts;
    std::map<DWORD, DWORD_PTR> caps = {{MCI_GETDEVCAPS_CAN_PLAY, TRUE}, {MCI_GETDEVCAPS_CAN_RECORD, FALSE},
                                       {MCI_GETDEVCAPS_CAN_EJECT, FALSE}, {MCI_GETDEVCAPS_HAS_VIDEO, FALSE},
                                       {MCI_GETDEVCAPS_DEVICE_TYPE, MCI_DEVTYPE_WAVEFORM_AUDIO}};
    std::map<UINT, MCIERROR> refuse;
    std::map<MCIERROR, std::string> texts = {{MCIERR_INVALID_DEVICE_NAME, "Nieznane urządzenie."},
                                             {MCIERR_INTERNAL, "Błąd wewnętrzny."}};

    MCIERROR SendCommand(MCIDEVICEID device, UINT command, DWORD_PTR flags, DWORD_PTR record) override {
        sent.push_back(Describe(device, command, flags, record));
        if (auto r = refuse.find(command); r != refuse.end()) return r->second;
        if (command == MCI_OPEN) {
            auto* open = reinterpret_cast<MCI_OPEN_PARMSW*>(record);
            open->wDeviceID = nextId;
            openDevices.insert(nextId++);
            return 0;
        }
        if (!openDevices.contains(device)) return MCIERR_INVALID_DEVICE_ID;
        return Act(command, flags, record, sent.back());
    }

    bool GetErrorString(MCIERROR error, wchar_t* buffer, UINT size) override {
        auto text = texts.find(error);
        if (text == texts.end()) return false;
        lstrcpynW(buffer, ToWide(text->second).c_str(), int(size));
        return true;
    }

    // As under Wine after a play's end notice: the mode reads playing this many times more, then stopped.
    int playingReadsBeforeStop = -1;

    void SetMode(UINT mode) { status[MCI_STATUS_MODE] = mode; }
    DWORD_PTR Place() { return status[MCI_STATUS_POSITION]; }

private:
    MCIERROR Act(UINT command, DWORD_PTR flags, DWORD_PTR record, const SentCommand& s) {
        switch (command) {
        case MCI_CLOSE: openDevices.erase(s.device); break;
        case MCI_STATUS:
            if (s.item == MCI_STATUS_MODE && playingReadsBeforeStop >= 0 && playingReadsBeforeStop-- == 0)
                SetMode(MCI_MODE_STOP);
            reinterpret_cast<MCI_STATUS_PARMS*>(record)->dwReturn =
                (flags & MCI_TRACK) ? trackStarts[s.track] : status[s.item];
            break;
        case MCI_GETDEVCAPS: reinterpret_cast<MCI_GETDEVCAPS_PARMS*>(record)->dwReturn = caps[s.item]; break;
        case MCI_PLAY:
            if (flags & MCI_FROM) status[MCI_STATUS_POSITION] = s.from;
            SetMode(MCI_MODE_PLAY);
            break;
        case MCI_PAUSE: SetMode(MCI_MODE_PAUSE); break;
        case MCI_RESUME: SetMode(MCI_MODE_PLAY); break;
        case MCI_STOP: SetMode(MCI_MODE_STOP); break;
        case MCI_SEEK:
            status[MCI_STATUS_POSITION] = (flags & MCI_TO) ? s.to : (flags & MCI_SEEK_TO_END) ? status[MCI_STATUS_LENGTH] : 0;
            SetMode(MCI_MODE_STOP);
            break;
        default: break;
        }
        return 0;
    }
};

// Records what the control sends to the real MCI on the way through.
class RecordingMci : public TMciService, public CommandLog {
public:
    MCIERROR SendCommand(MCIDEVICEID device, UINT command, DWORD_PTR flags, DWORD_PTR record) override {
        sent.push_back(Describe(device, command, flags, record));
        return PlatformMci().SendCommand(device, command, flags, record);
    }
    bool GetErrorString(MCIERROR error, wchar_t* buffer, UINT size) override {
        return PlatformMci().GetErrorString(error, buffer, size);
    }
};

// The notices a player passed to OnNotify, with its NotifyValue at each.
struct NoticeLog {
    TMediaPlayer* player = nullptr;
    std::vector<TMPNotifyValue> values;
    void Notified(TObject* sender) {
        CHECK(sender == player);
        values.push_back(player->NotifyValue());
    }
    void Watch(TMediaPlayer* watched) {
        player = watched;
        watched->OnNotify.Bind<&NoticeLog::Notified>(this);
    }
};

// A player on a shown form, talking to the stand-in devices.
struct FakeRig {
    FakeMci mci;
    ScopedTestForm form;
    TMediaPlayer* player;
    NoticeLog notices;

    FakeRig() : player(Make<TMediaPlayer>(form.Get(), mci)) {
        player->SetParent(form.Get());
        player->SetFileName("C:\\Muzyka\\Żółw.mp3");
        notices.Watch(player);
    }
    DWORD_PTR Window() const { return reinterpret_cast<DWORD_PTR>(player->Handle()); }
    // Opens and forgets the commands of opening.
    void Opened() {
        player->Open();
        mci.Forget();
    }
    void Notice(WPARAM code) {
        const size_t before = notices.values.size();
        PostMessageA(player->Handle(), MM_MCINOTIFY, code, 0);
        REQUIRE(PumpUntil([&] { return notices.values.size() > before; }));
    }
};

std::string ErrorMessageOf(TMediaPlayer* player, void (TMediaPlayer::*operation)()) {
    try {
        (player->*operation)();
    } catch (const EMCIDeviceError& e) {
        return e.Message();
    }
    return "(nothing raised)";
}

std::string PlatformErrorText(int error) {
    wchar_t text[4096] = {};
    return mciGetErrorStringW(MCIERROR(error), text, 4096) ? ToUtf8(text) : "";
}

}  // namespace

TEST_CASE("button sets hold one bit per button") {
    CHECK(TButtonSet::All().Bits() == 0x1FF);
    CHECK(TButtonSet{btPlay, btPause}.Bits() == 0x003);
    TButtonSet set{btEject};
    CHECK(set.Bits() == 0x100);
    set.Include(btNext).Exclude(btEject);
    CHECK(set == TButtonSet{btNext});
    CHECK_FALSE(set.Contains(btPlay));
    CHECK(TButtonSet().Empty());
}

TEST_CASE("a new player: defaults, its own window, nothing sent") {
    FakeRig rig;
    TMediaPlayer* p = rig.player;
    CHECK(p->VisibleButtons() == TButtonSet::All());
    CHECK(p->EnabledButtons() == TButtonSet::All());
    CHECK(p->ColoredButtons() == TButtonSet::All());
    for (int n = 0; n < MPButtonCount; ++n) {
        const TMPButtonState& b = p->Buttons(TMPBtnType(n));
        CHECK((b.Visible && b.Enabled && b.Colored && !b.Auto));
    }
    CHECK(p->AutoEnable());
    CHECK_FALSE(p->AutoOpen());
    CHECK(p->AutoRewind());
    CHECK_FALSE(p->Shareable());
    CHECK(p->DeviceType() == dtAutoSelect);
    CHECK(p->DeviceID() == 0);
    CHECK_FALSE(p->Opened());
    CHECK(p->Error() == 0);
    CHECK(p->NotifyValue() == nvSuccessful);
    CHECK(p->AutoButtons().Empty());
    CHECK(p->Display() == nullptr);
    CHECK_FALSE(p->TabStop());
    CHECK(p->FocusedButton() == btPlay);

    HWND window = p->Handle();
    CHECK(IsWindow(window));
    CHECK(GetParent(window) == rig.form->Handle());
    CHECK(rig.mci.sent.empty());
}

TEST_CASE("open sends the file, waits, and asks length and capabilities") {
    FakeRig rig;
    rig.player->Open();

    const SentCommand open = rig.mci.sent.front();
    CHECK(open.command == MCI_OPEN);
    CHECK(open.device == 0);
    CHECK(open.flags == (MCI_WAIT | MCI_OPEN_ELEMENT));
    CHECK(open.element == "C:\\Muzyka\\Żółw.mp3");
    CHECK_FALSE(open.type);
    CHECK(open.callback == rig.Window());

    CHECK(rig.player->Opened());
    CHECK(rig.player->DeviceID() == 21);
    CHECK(rig.player->Error() == 0);
    CHECK(rig.player->Frames() == 200);

    const auto caps = rig.mci.Of(MCI_GETDEVCAPS);
    REQUIRE(caps.size() == 5);
    const DWORD order[] = {MCI_GETDEVCAPS_CAN_PLAY, MCI_GETDEVCAPS_CAN_RECORD, MCI_GETDEVCAPS_CAN_EJECT,
                           MCI_GETDEVCAPS_HAS_VIDEO, MCI_GETDEVCAPS_DEVICE_TYPE};
    for (size_t i = 0; i < caps.size(); ++i) {
        CHECK(caps[i].item == order[i]);
        CHECK(caps[i].flags == (MCI_WAIT | MCI_GETDEVCAPS_ITEM));
        CHECK(caps[i].device == 21);
    }
    CHECK(rig.player->CanPlay());
    CHECK_FALSE(rig.player->CanRecord());
    CHECK_FALSE(rig.player->CanStep());
    CHECK(rig.mci.Of(MCI_SET).empty());

    CHECK(rig.player->AutoButtons() == TButtonSet{btNext, btPrev, btPlay});
    CHECK(rig.player->Buttons(btPlay).Auto);
    CHECK_FALSE(rig.player->Buttons(btPause).Auto);
}

TEST_CASE("open names the device type, shares on request, and refuses with the system's text") {
    FakeRig rig;
    SUBCASE("every device type is sent by its MCI name") {
        const char* names[] = {"AVIVideo", "CDAudio", "DAT", "DigitalVideo", "MMMovie", "Other",
                               "Overlay", "Scanner", "Sequencer", "VCR", "Videodisc", "WaveAudio"};
        for (int t = dtAVIVideo; t <= dtWaveAudio; ++t) {
            rig.mci.Forget();
            rig.player->SetDeviceType(TMPDeviceTypes(t));
            rig.player->Open();
            const SentCommand open = rig.mci.Only(MCI_OPEN);
            CHECK(open.type == names[t - 1]);
            CHECK(open.flags == (MCI_WAIT | MCI_OPEN_TYPE | MCI_OPEN_ELEMENT));
        }
    }
    SUBCASE("shareable") {
        rig.player->SetShareable(true);
        rig.player->Open();
        CHECK(rig.mci.Only(MCI_OPEN).flags == (MCI_WAIT | MCI_OPEN_ELEMENT | MCI_OPEN_SHAREABLE));
    }
    SUBCASE("no file and no type: neither is sent, and the refusal carries the system's text") {
        rig.player->SetFileName("");
        rig.mci.refuse[MCI_OPEN] = MCIERR_INVALID_DEVICE_NAME;
        CHECK(ErrorMessageOf(rig.player, &TMediaPlayer::Open) == "Nieznane urządzenie.");
        const SentCommand open = rig.mci.Only(MCI_OPEN);
        CHECK(open.flags == MCI_WAIT);
        CHECK_FALSE(open.type);
        CHECK_FALSE(open.element);
        CHECK(rig.player->Error() == int(MCIERR_INVALID_DEVICE_NAME));
        CHECK_FALSE(rig.player->Opened());
        CHECK(rig.mci.sent.size() == 1);
    }
    SUBCASE("a code the system has no text for") {
        rig.mci.refuse[MCI_OPEN] = 9999;
        CHECK(ErrorMessageOf(rig.player, &TMediaPlayer::Open) == "Unknown error code");
    }
}

TEST_CASE("a second open leaves exactly one device open") {
    FakeRig rig;
    rig.player->Open();
    rig.player->Open();
    CHECK(rig.mci.openDevices == std::set<MCIDEVICEID>{22});
    CHECK(rig.player->DeviceID() == 22);
    CHECK(rig.mci.Only(MCI_CLOSE).device == 21);

    SUBCASE("an old device that will not close is kept, not lost") {
        rig.mci.Forget();
        rig.mci.refuse[MCI_CLOSE] = MCIERR_INTERNAL;
        CHECK(ErrorMessageOf(rig.player, &TMediaPlayer::Open) == "Błąd wewnętrzny.");
        CHECK(rig.mci.Of(MCI_OPEN).empty());
        CHECK(rig.player->DeviceID() == 22);
        CHECK(rig.player->Opened());
        rig.mci.refuse.clear();
    }
}

TEST_CASE("close") {
    FakeRig rig;
    SUBCASE("with nothing open sends nothing and keeps the last error") {
        rig.player->SetTimeFormat(tfMilliseconds);  // fails: no device
        REQUIRE(rig.player->Error() == int(MCIERR_INVALID_DEVICE_ID));
        rig.mci.Forget();
        rig.player->Close();
        CHECK(rig.mci.sent.empty());
        CHECK(rig.player->Error() == int(MCIERR_INVALID_DEVICE_ID));
    }
    SUBCASE("closes the device and empties the automatic buttons") {
        rig.Opened();
        rig.player->Close();
        const SentCommand close = rig.mci.Only(MCI_CLOSE);
        CHECK(close.device == 21);
        CHECK(close.flags == MCI_WAIT);
        CHECK(close.callback == rig.Window());
        CHECK_FALSE(rig.player->Opened());
        CHECK(rig.player->DeviceID() == 0);
        CHECK(rig.player->AutoButtons().Empty());
        CHECK_FALSE(rig.player->Buttons(btPlay).Auto);
        CHECK(rig.mci.openDevices.empty());
    }
    SUBCASE("a refused close leaves the device open") {
        rig.Opened();
        rig.mci.refuse[MCI_CLOSE] = MCIERR_INTERNAL;
        rig.player->Close();
        CHECK(rig.player->Opened());
        CHECK(rig.player->DeviceID() == 21);
        CHECK(rig.player->Error() == int(MCIERR_INTERNAL));
        rig.mci.refuse.clear();
    }
}

TEST_CASE("without a device: checked operations raise and send nothing, the others store the refusal") {
    FakeRig rig;
    using Op = void (TMediaPlayer::*)();
    const Op checked[] = {&TMediaPlayer::Play, &TMediaPlayer::StartRecording, &TMediaPlayer::Pause,
                          &TMediaPlayer::PauseOnly, &TMediaPlayer::Resume, &TMediaPlayer::Stop,
                          &TMediaPlayer::Next, &TMediaPlayer::Previous, &TMediaPlayer::Step,
                          &TMediaPlayer::Back, &TMediaPlayer::Eject, &TMediaPlayer::Rewind};
    for (Op op : checked) CHECK(ErrorMessageOf(rig.player, op) == "No MCI device open");
    CHECK_THROWS_WITH_AS(rig.player->SetPosition(5), "No MCI device open", EMCIDeviceError);
    CHECK_THROWS_WITH_AS(rig.player->Length(), "No MCI device open", EMCIDeviceError);
    CHECK_THROWS_WITH_AS(rig.player->Tracks(), "No MCI device open", EMCIDeviceError);
    CHECK_THROWS_WITH_AS(rig.player->TimeFormat(), "No MCI device open", EMCIDeviceError);
    CHECK(rig.mci.sent.empty());

    CHECK(rig.player->Position() == 0);
    CHECK(rig.player->Error() == int(MCIERR_INVALID_DEVICE_ID));
    CHECK(rig.player->Mode() == mdNotReady);
    CHECK(rig.mci.Of(MCI_STATUS).size() == 2);
}

TEST_CASE("play: notified, with the automatic rewind only at the very end") {
    FakeRig rig;
    rig.Opened();
    SUBCASE("in the middle it only plays") {
        rig.mci.status[MCI_STATUS_POSITION] = 1999;
        rig.player->Play();
        CHECK(rig.mci.Of(MCI_SEEK).empty());
        const SentCommand play = rig.mci.Only(MCI_PLAY);
        CHECK(play.flags == MCI_NOTIFY);
        CHECK(play.callback == rig.Window());
        CHECK(play.device == 21);
    }
    SUBCASE("at the end it seeks to the start first") {
        rig.mci.status[MCI_STATUS_POSITION] = 2000;
        rig.player->Play();
        CHECK(rig.mci.Commands() == std::vector<UINT>{MCI_STATUS, MCI_STATUS, MCI_SEEK, MCI_PLAY});
        CHECK(rig.mci.Only(MCI_SEEK).flags == (MCI_WAIT | MCI_SEEK_TO_START));
    }
    SUBCASE("at the end without AutoRewind it plays on") {
        rig.mci.status[MCI_STATUS_POSITION] = 2000;
        rig.player->SetAutoRewind(false);
        rig.player->Play();
        CHECK(rig.mci.Of(MCI_SEEK).empty());
    }
    SUBCASE("a start and an end request go with the play, once") {
        rig.mci.status[MCI_STATUS_POSITION] = 2000;
        rig.player->SetFrom(300);
        rig.player->SetTo(900);
        rig.player->Play();
        CHECK(rig.mci.Of(MCI_SEEK).empty());
        const SentCommand play = rig.mci.Only(MCI_PLAY);
        CHECK(play.flags == (MCI_NOTIFY | MCI_FROM | MCI_TO));
        CHECK(play.from == 300);
        CHECK(play.to == 900);
        rig.mci.Forget();
        rig.player->Play();
        CHECK(rig.mci.Only(MCI_PLAY).flags == MCI_NOTIFY);
    }
    SUBCASE("recording takes the same flags") {
        rig.player->SetFrom(10);
        rig.player->StartRecording();
        CHECK(rig.mci.Only(MCI_RECORD).flags == (MCI_NOTIFY | MCI_FROM));
    }
}

TEST_CASE("wait and notify requests change one command each") {
    FakeRig rig;
    rig.Opened();
    rig.player->SetWait(false);
    rig.player->Stop();
    rig.player->SetNotify(true);
    rig.player->Stop();
    rig.player->Stop();
    const auto stops = rig.mci.Of(MCI_STOP);
    REQUIRE(stops.size() == 3);
    CHECK(stops[0].flags == 0);
    CHECK(stops[1].flags == (MCI_WAIT | MCI_NOTIFY));
    CHECK(stops[2].flags == MCI_WAIT);

    rig.player->SetNotify(false);
    rig.player->Play();
    rig.player->SetWait(true);
    rig.player->Play();
    const auto plays = rig.mci.Of(MCI_PLAY);
    REQUIRE(plays.size() == 2);
    CHECK(plays[0].flags == 0);
    CHECK(plays[1].flags == (MCI_NOTIFY | MCI_WAIT));
}

TEST_CASE("pause toggles between pausing and resuming") {
    FakeRig rig;
    rig.Opened();
    rig.mci.SetMode(MCI_MODE_PLAY);
    rig.player->Pause();
    CHECK(rig.mci.Only(MCI_PAUSE).flags == MCI_WAIT);
    CHECK(rig.player->Mode() == mdPaused);

    rig.mci.Forget();
    rig.player->Pause();
    const SentCommand resume = rig.mci.Only(MCI_RESUME);
    CHECK(resume.flags == MCI_NOTIFY);
    CHECK(resume.callback == rig.Window());
    CHECK(rig.player->Mode() == mdPlaying);

    for (UINT mode : {MCI_MODE_STOP, MCI_MODE_SEEK}) {
        rig.mci.SetMode(mode);
        rig.mci.Forget();
        rig.player->Pause();
        CHECK(rig.mci.Commands() == std::vector<UINT>{MCI_STATUS, MCI_STATUS});
    }
}

TEST_CASE("a device that cannot resume plays on instead") {
    FakeRig rig;
    rig.Opened();
    rig.mci.refuse[MCI_RESUME] = MCIERR_UNSUPPORTED_FUNCTION;
    rig.player->SetWait(true);
    rig.player->Resume();
    CHECK(rig.mci.Only(MCI_RESUME).flags == (MCI_NOTIFY | MCI_WAIT));
    CHECK(rig.mci.Only(MCI_PLAY).flags == (MCI_NOTIFY | MCI_WAIT));
    CHECK(rig.player->Error() == 0);
}

TEST_CASE("next and previous in a plain time format seek to the ends") {
    FakeRig rig;
    rig.Opened();
    rig.player->Next();
    CHECK(rig.mci.Only(MCI_SEEK).flags == (MCI_WAIT | MCI_SEEK_TO_END));
    CHECK(rig.mci.Place() == 2000);
    rig.mci.Forget();
    rig.player->Previous();
    CHECK(rig.mci.Only(MCI_SEEK).flags == (MCI_WAIT | MCI_SEEK_TO_START));
    CHECK(rig.mci.Of(MCI_PLAY).empty());
}

TEST_CASE("next and previous in track format") {
    FakeRig rig;
    rig.player->SetDeviceType(dtCDAudio);
    rig.player->Open();
    const SentCommand format = rig.mci.Only(MCI_SET);
    CHECK(format.flags == (MCI_NOTIFY | MCI_SET_TIME_FORMAT));
    CHECK(format.timeFormat == MCI_FORMAT_TMSF);
    rig.mci.Forget();

    rig.mci.status[MCI_STATUS_TIME_FORMAT] = MCI_FORMAT_TMSF;
    rig.mci.status[MCI_STATUS_NUMBER_OF_TRACKS] = 3;
    rig.mci.trackStarts = {{1, MCI_MAKE_TMSF(1, 0, 0, 0)}, {2, MCI_MAKE_TMSF(2, 4, 10, 0)},
                           {3, MCI_MAKE_TMSF(3, 8, 30, 0)}};
    auto seekTarget = [&](DWORD position, void (TMediaPlayer::*op)()) {
        rig.mci.Forget();
        rig.mci.status[MCI_STATUS_POSITION] = position;
        (rig.player->*op)();
        const SentCommand seek = rig.mci.Only(MCI_SEEK);
        CHECK(seek.flags == (MCI_WAIT | MCI_TO));
        return seek.to;
    };
    CHECK(seekTarget(MCI_MAKE_TMSF(2, 5, 0, 0), &TMediaPlayer::Next) == MCI_MAKE_TMSF(3, 8, 30, 0));
    CHECK(seekTarget(MCI_MAKE_TMSF(3, 9, 0, 0), &TMediaPlayer::Next) == MCI_MAKE_TMSF(3, 8, 30, 0));
    CHECK(seekTarget(MCI_MAKE_TMSF(2, 4, 10, 0), &TMediaPlayer::Previous) == MCI_MAKE_TMSF(1, 0, 0, 0));
    CHECK(seekTarget(MCI_MAKE_TMSF(2, 4, 11, 0), &TMediaPlayer::Previous) == MCI_MAKE_TMSF(2, 4, 10, 0));
    CHECK(seekTarget(MCI_MAKE_TMSF(1, 0, 0, 0), &TMediaPlayer::Previous) == MCI_MAKE_TMSF(1, 0, 0, 0));

    SUBCASE("while playing it plays from the target instead of seeking") {
        rig.mci.Forget();
        rig.mci.status[MCI_STATUS_POSITION] = MCI_MAKE_TMSF(1, 2, 0, 0);
        rig.mci.SetMode(MCI_MODE_PLAY);
        rig.player->Next();
        CHECK(rig.mci.Of(MCI_SEEK).empty());
        const SentCommand play = rig.mci.Only(MCI_PLAY);
        CHECK(play.flags == (MCI_NOTIFY | MCI_FROM));
        CHECK(play.from == MCI_MAKE_TMSF(2, 4, 10, 0));
        CHECK(rig.player->CurrentButton() == btPlay);
    }
}

TEST_CASE("status queries") {
    FakeRig rig;
    rig.Opened();
    rig.mci.status[MCI_STATUS_POSITION] = 1234;
    rig.mci.status[MCI_STATUS_NUMBER_OF_TRACKS] = 7;
    rig.mci.status[MCI_STATUS_TIME_FORMAT] = MCI_FORMAT_SMPTE_25;
    rig.mci.trackStarts[4] = 4444;
    CHECK(rig.player->Position() == 1234);
    CHECK(rig.player->Length() == 2000);
    CHECK(rig.player->Tracks() == 7);
    CHECK(rig.player->TimeFormat() == tfSMPTE25);
    const DWORD items[] = {MCI_STATUS_POSITION, MCI_STATUS_LENGTH, MCI_STATUS_NUMBER_OF_TRACKS,
                           MCI_STATUS_TIME_FORMAT};
    const auto queries = rig.mci.Of(MCI_STATUS);
    REQUIRE(queries.size() == 4);
    for (size_t i = 0; i < queries.size(); ++i) {
        CHECK(queries[i].item == items[i]);
        CHECK(queries[i].flags == (MCI_WAIT | MCI_STATUS_ITEM));
    }

    rig.mci.Forget();
    rig.mci.refuse[MCI_STATUS] = MCIERR_INTERNAL;
    CHECK(rig.player->Position() == 0);
    CHECK(rig.player->Error() == int(MCIERR_INTERNAL));
    rig.mci.refuse.clear();
    CHECK(rig.player->TrackPosition(4) == 4444);
    const SentCommand track = rig.mci.Of(MCI_STATUS).back();
    CHECK(track.flags == (MCI_WAIT | MCI_STATUS_ITEM | MCI_TRACK));
    CHECK(track.item == MCI_STATUS_POSITION);
    CHECK(track.track == 4);
    CHECK(rig.player->Error() == int(MCIERR_INTERNAL));  // the track query keeps no error
}

TEST_CASE("mode follows the device's status") {
    FakeRig rig;
    rig.Opened();
    const std::pair<UINT, TMPMode> modes[] = {
        {MCI_MODE_NOT_READY, mdNotReady}, {MCI_MODE_STOP, mdStopped}, {MCI_MODE_PLAY, mdPlaying},
        {MCI_MODE_RECORD, mdRecording},   {MCI_MODE_SEEK, mdSeeking}, {MCI_MODE_PAUSE, mdPaused},
        {MCI_MODE_OPEN, mdOpen}};
    for (auto [status, mode] : modes) {
        rig.mci.SetMode(status);
        CHECK(rig.player->Mode() == mode);
    }
    rig.mci.SetMode(0);
    CHECK(rig.player->Mode() == mdNotReady);
}

TEST_CASE("setting the time format sends it without a callback to this control") {
    FakeRig rig;
    rig.Opened();
    rig.player->SetTimeFormat(tfMSF);
    const SentCommand set = rig.mci.Only(MCI_SET);
    CHECK(set.flags == (MCI_NOTIFY | MCI_SET_TIME_FORMAT));
    CHECK(set.timeFormat == MCI_FORMAT_MSF);
    CHECK(set.callback == 0);
    CHECK(rig.player->Error() == 0);
}

TEST_CASE("seeking") {
    FakeRig rig;
    rig.Opened();
    SUBCASE("where the device seeks, only the seek is sent") {
        rig.player->SetPosition(1500);
        const SentCommand seek = rig.mci.Only(MCI_SEEK);
        CHECK(rig.mci.sent.size() == 1);
        CHECK(seek.flags == (MCI_WAIT | MCI_TO));
        CHECK(seek.to == 1500);
        CHECK(seek.callback == rig.Window());
        CHECK(rig.player->Position() == 1500);
    }
    SUBCASE("where the device refuses the seek, it plays from the place and stops there") {
        rig.mci.refuse[MCI_SEEK] = MCIERR_INTERNAL;
        rig.mci.SetMode(MCI_MODE_PLAY);
        rig.player->SetPosition(1500);
        CHECK(rig.mci.Commands() == std::vector<UINT>{MCI_SEEK, MCI_PLAY, MCI_STOP});
        const SentCommand play = rig.mci.Only(MCI_PLAY);
        CHECK(play.flags == MCI_FROM);
        CHECK(play.from == 1500);
        CHECK(rig.mci.Only(MCI_STOP).flags == MCI_WAIT);
        CHECK(rig.player->Error() == 0);
        CHECK(rig.player->Position() == 1500);
        CHECK(rig.player->Mode() == mdStopped);

        rig.mci.Forget();
        rig.player->SetNotify(true);
        rig.player->SetPosition(700);
        CHECK(rig.mci.Only(MCI_SEEK).flags == (MCI_WAIT | MCI_NOTIFY | MCI_TO));
        CHECK(rig.mci.Only(MCI_STOP).flags == (MCI_WAIT | MCI_NOTIFY));
    }
    SUBCASE("a refused seek to the end plays from the length") {
        rig.mci.refuse[MCI_SEEK] = MCIERR_INTERNAL;
        rig.player->Next();
        CHECK(rig.mci.Only(MCI_PLAY).from == 2000);
        CHECK(rig.player->Error() == 0);
    }
    SUBCASE("when the device will not play from there either, the seek's error stays") {
        rig.mci.refuse[MCI_SEEK] = MCIERR_OUTOFRANGE;
        rig.mci.refuse[MCI_PLAY] = MCIERR_OUTOFRANGE;
        rig.player->SetPosition(99999);
        CHECK(rig.mci.Of(MCI_STOP).empty());
        CHECK(rig.player->Error() == int(MCIERR_OUTOFRANGE));
    }
    SUBCASE("rewind seeks to the start and keeps no error") {
        rig.mci.refuse[MCI_SEEK] = MCIERR_INTERNAL;
        rig.player->Rewind();
        CHECK(rig.mci.Only(MCI_SEEK).flags == (MCI_WAIT | MCI_SEEK_TO_START));
        CHECK(rig.player->Error() == 0);
    }
}

TEST_CASE("step, back and eject follow the device's abilities") {
    FakeRig rig;
    SUBCASE("a sound device does none of them") {
        rig.Opened();
        rig.player->Step();
        rig.player->Back();
        rig.player->Eject();
        CHECK(rig.mci.sent.empty());
    }
    SUBCASE("a video device steps by a tenth of its length") {
        rig.mci.caps[MCI_GETDEVCAPS_HAS_VIDEO] = TRUE;
        rig.mci.caps[MCI_GETDEVCAPS_DEVICE_TYPE] = MCI_DEVTYPE_DIGITAL_VIDEO;
        rig.mci.status[MCI_STATUS_LENGTH] = 9;
        rig.Opened();
        CHECK(rig.player->Frames() == 0);
        CHECK(rig.player->AutoButtons() == TButtonSet{btNext, btPrev, btPlay, btStep, btBack});
        rig.mci.status[MCI_STATUS_LENGTH] = 5000;
        rig.Opened();
        CHECK(rig.player->Frames() == 500);
        rig.mci.status[MCI_STATUS_POSITION] = 5000;
        rig.player->Step();
        CHECK(rig.mci.Commands() == std::vector<UINT>{MCI_STATUS, MCI_STATUS, MCI_SEEK, MCI_STEP});
        const SentCommand step = rig.mci.Only(MCI_STEP);
        CHECK(step.flags == (MCI_WAIT | MCI_ANIM_STEP_FRAMES));
        CHECK(step.frames == 500);
        rig.mci.Forget();
        rig.player->Back();
        CHECK(rig.mci.Commands() == std::vector<UINT>{MCI_STEP});
        CHECK(rig.mci.Only(MCI_STEP).flags == (MCI_WAIT | MCI_ANIM_STEP_FRAMES | MCI_ANIM_STEP_REVERSE));
    }
    SUBCASE("stepping is asked afresh at each open") {
        for (DWORD type : {MCI_DEVTYPE_ANIMATION, MCI_DEVTYPE_OVERLAY, MCI_DEVTYPE_VCR}) {
            rig.mci.caps[MCI_GETDEVCAPS_DEVICE_TYPE] = type;
            rig.Opened();
            CHECK(rig.player->CanStep());
        }
        rig.mci.caps[MCI_GETDEVCAPS_DEVICE_TYPE] = MCI_DEVTYPE_CD_AUDIO;
        rig.Opened();
        CHECK_FALSE(rig.player->CanStep());
    }
    SUBCASE("a device with a door opens it") {
        rig.mci.caps[MCI_GETDEVCAPS_CAN_EJECT] = TRUE;
        rig.mci.caps[MCI_GETDEVCAPS_CAN_RECORD] = 0x100;  // only the low byte counts
        rig.Opened();
        CHECK_FALSE(rig.player->CanRecord());
        CHECK(rig.player->AutoButtons().Contains(btEject));
        rig.player->Eject();
        CHECK(rig.mci.Only(MCI_SET).flags == (MCI_WAIT | MCI_SET_DOOR_OPEN));
    }
}

TEST_CASE("the video display window") {
    FakeRig rig;
    auto* screen = Make<TPanel>(rig.form.Get());
    screen->SetParent(rig.form.Get());
    SUBCASE("kept without a device, handed over at open when the device shows video") {
        rig.player->SetDisplay(screen);
        CHECK(rig.mci.sent.empty());
        rig.mci.caps[MCI_GETDEVCAPS_HAS_VIDEO] = TRUE;
        rig.player->Open();
        const SentCommand window = rig.mci.Only(MCI_WINDOW);
        CHECK(window.flags == (MCI_WAIT | MCI_ANIM_WINDOW_HWND));
        CHECK(window.window == screen->Handle());
        CHECK(rig.player->Display() == screen);

        rig.mci.Forget();
        rig.form->DestroyComponent(screen);
        CHECK(rig.mci.Only(MCI_WINDOW).window == nullptr);
        CHECK(rig.player->Display() == nullptr);
    }
    SUBCASE("a refused window clears the display") {
        rig.mci.caps[MCI_GETDEVCAPS_HAS_VIDEO] = TRUE;
        rig.Opened();
        rig.mci.refuse[MCI_WINDOW] = MCIERR_INTERNAL;
        rig.player->SetDisplay(screen);
        CHECK(rig.player->Display() == nullptr);
        CHECK(rig.player->Error() == int(MCIERR_INTERNAL));
    }
    SUBCASE("a display destroyed while nothing is open is forgotten") {
        rig.player->SetDisplay(screen);
        rig.form->DestroyComponent(screen);
        CHECK(rig.player->Display() == nullptr);
        CHECK(rig.mci.sent.empty());
    }
}

TEST_CASE("completion notices reach OnNotify") {
    FakeRig rig;
    rig.Opened();
    const std::pair<WPARAM, TMPNotifyValue> codes[] = {{MCI_NOTIFY_SUPERSEDED, nvSuperseded},
                                                       {MCI_NOTIFY_ABORTED, nvAborted},
                                                       {MCI_NOTIFY_FAILURE, nvFailure},
                                                       {MCI_NOTIFY_SUCCESSFUL, nvSuccessful}};
    for (auto [code, value] : codes) rig.Notice(code);
    CHECK(rig.notices.values == std::vector<TMPNotifyValue>{nvSuperseded, nvAborted, nvFailure, nvSuccessful});
    rig.Notice(MCI_NOTIFY_ABORTED);
    rig.Notice(16);
    CHECK(rig.notices.values.size() == 6);
    CHECK(rig.notices.values.back() == nvAborted);

    SUBCASE("a stopped device gets its play button back") {
        rig.player->SetEnabledButtons({btPause});
        rig.mci.SetMode(MCI_MODE_PLAY);
        rig.Opened();
        CHECK(rig.player->AutoButtons().Contains(btPause));
    CHECK(rig.player->AutoButtons().Contains(btStop));
    CHECK(!rig.player->AutoButtons().Contains(btPlay));
        rig.Notice(MCI_NOTIFY_ABORTED);
        CHECK(rig.player->AutoButtons().Contains(btPause));
    CHECK(rig.player->AutoButtons().Contains(btStop));
    CHECK(!rig.player->AutoButtons().Contains(btPlay));
        rig.mci.SetMode(MCI_MODE_STOP);
        rig.Notice(MCI_NOTIFY_SUCCESSFUL);
        CHECK(rig.player->AutoButtons() == TButtonSet{btNext, btPrev, btPlay});
        CHECK(rig.player->Buttons(btPlay).Auto);
        CHECK_FALSE(rig.player->Buttons(btStop).Auto);
        CHECK(rig.player->Buttons(btPause).Enabled);
        CHECK_FALSE(rig.player->Buttons(btPlay).Enabled);
        // A device still reading playing just after its end notice is given the moment it needs.
        rig.mci.SetMode(MCI_MODE_PLAY);
        rig.Opened();
        rig.mci.playingReadsBeforeStop = 2;
        rig.Notice(MCI_NOTIFY_SUCCESSFUL);
        CHECK(rig.player->AutoButtons() == TButtonSet{btNext, btPrev, btPlay});
    }
    SUBCASE("without AutoEnable the automatic buttons stay") {
        rig.player->SetAutoEnable(false);
        rig.mci.SetMode(MCI_MODE_PLAY);
        rig.Opened();
        rig.mci.SetMode(MCI_MODE_STOP);
        rig.Notice(MCI_NOTIFY_SUCCESSFUL);
        CHECK(rig.mci.Of(MCI_STATUS).empty());
        CHECK(rig.player->AutoButtons().Contains(btStop));
    }
}

TEST_CASE("the button sets are mirrored into the buttons") {
    FakeRig rig;
    rig.player->SetVisibleButtons({btPlay, btPause});
    rig.player->SetColoredButtons({btNext, btPrev, btStep, btBack, btRecord, btEject});
    for (int n = 0; n < MPButtonCount; ++n) {
        const auto b = TMPBtnType(n);
        CHECK(rig.player->Buttons(b).Visible == (n <= btPause));
        CHECK(rig.player->Buttons(b).Colored == (n >= btNext));
    }
    CHECK(rig.player->VisibleButtons().Bits() == 0x003);
    CHECK(rig.player->ColoredButtons().Bits() == 0x1F8);
}

TEST_CASE("the device goes with the player") {
    FakeMci mci;
    ScopedTestForm form;
    SUBCASE("an open device is closed, waiting") {
        auto* player = Make<TMediaPlayer>(form.Get(), mci);
        player->SetParent(form.Get());
        player->SetFileName("a.mp3");
        player->Open();
        mci.Forget();
        form->DestroyComponent(player);
        const SentCommand close = mci.Only(MCI_CLOSE);
        CHECK(close.device == 21);
        CHECK(close.flags == MCI_WAIT);
        CHECK(mci.openDevices.empty());
    }
    SUBCASE("a closed player sends nothing") {
        auto* player = Make<TMediaPlayer>(form.Get(), mci);
        form->DestroyComponent(player);
        CHECK(mci.sent.empty());
    }
}

TEST_CASE("Loaded opens only with AutoOpen") {
    FakeRig rig;
    rig.player->Loaded();
    CHECK(rig.mci.sent.empty());
    rig.player->SetAutoOpen(true);
    rig.player->Loaded();
    CHECK(rig.player->Opened());
}

// ---- Wine's own MCI with the MP3 clips made at build time

namespace {

struct RealRig {
    RecordingMci mci;
    ScopedTestForm form;
    TMediaPlayer* player;
    NoticeLog notices;

    explicit RealRig(const std::string& clip = "tone2s.mp3") : player(Make<TMediaPlayer>(form.Get(), mci)) {
        player->SetParent(form.Get());
        player->SetFileName(TestDataFile(clip));
        notices.Watch(player);
    }
    bool WaitForNotice(int timeoutMs = 6000) {
        return PumpUntil([&] { return !notices.values.empty(); }, timeoutMs);
    }
};

}  // namespace

TEST_CASE("Wine: open an MP3, play it to the end and hear of it") {
    RealRig rig;
    rig.player->Open();
    CHECK(rig.player->DeviceID() != 0);
    CHECK(rig.player->TimeFormat() == tfMilliseconds);
    const int length = rig.player->Length();
    CHECK(length >= 1900);
    CHECK(length <= 2100);
    CHECK(rig.player->CanPlay());
    CHECK(rig.player->AutoButtons().Contains(btPlay));
    CHECK(rig.player->Position() == 0);

    rig.player->Play();
    // Back before the clip has ended: still playing and nothing reported yet.
    CHECK(rig.player->Error() == 0);
    CHECK(rig.player->Mode() == mdPlaying);
    CHECK(rig.notices.values.empty());

    const int early = rig.player->Position();
    PumpFor(400);
    CHECK(rig.player->Position() > early);

    REQUIRE(rig.WaitForNotice());
    CHECK(rig.notices.values == std::vector<TMPNotifyValue>{nvSuccessful});
    // By the notice the device has stopped, and the bar offers Play again.
    CHECK(rig.player->Mode() == mdStopped);
    CHECK(rig.player->AutoButtons().Contains(btPlay));
    CHECK_FALSE(rig.player->AutoButtons().Contains(btPause));
}

TEST_CASE("Wine: pause holds the place and a second pause resumes to the end") {
    RealRig rig;
    rig.player->Open();
    rig.player->Play();
    PumpFor(300);
    rig.player->Pause();
    CHECK(rig.player->Mode() == mdPaused);
    const int held = rig.player->Position();
    PumpFor(300);
    CHECK(rig.player->Position() == held);

    rig.player->Pause();
    CHECK(rig.mci.Of(MCI_RESUME).size() == 1);
    CHECK(rig.player->Error() == 0);
    CHECK(rig.player->Mode() == mdPlaying);
    PumpFor(200);
    CHECK(rig.player->Position() > held);
    REQUIRE(PumpUntil([&] {
        return std::find(rig.notices.values.begin(), rig.notices.values.end(), nvSuccessful) != rig.notices.values.end();
    }, 6000));
}

TEST_CASE("Wine: close and open another clip") {
    RealRig rig;
    rig.player->Open();
    const MCIDEVICEID first = rig.player->DeviceID();
    rig.player->Close();
    CHECK(rig.player->Error() == 0);
    CHECK_FALSE(rig.player->Opened());
    MCI_STATUS_PARMS status{};
    status.dwItem = MCI_STATUS_MODE;
    CHECK(mciSendCommandW(first, MCI_STATUS, MCI_WAIT | MCI_STATUS_ITEM, reinterpret_cast<DWORD_PTR>(&status)) ==
          MCIERR_INVALID_DEVICE_ID);

    rig.player->SetFileName(TestDataFile("tone1s.mp3"));
    rig.player->Open();
    CHECK(rig.player->Length() >= 900);
    CHECK(rig.player->Length() <= 1100);
    rig.player->Play();
    REQUIRE(rig.WaitForNotice());
    CHECK(rig.notices.values.back() == nvSuccessful);
}

TEST_CASE("Wine: a text file named .mp3 is refused with the system's text") {
    TempDir dir;
    WriteText(dir.File("x.mp3"), "To nie jest dźwięk.\r\n");
    RealRig rig;
    rig.player->SetFileName(dir.File("x.mp3"));
    const std::string message = ErrorMessageOf(rig.player, &TMediaPlayer::Open);
    CHECK(rig.player->Error() != 0);
    CHECK_FALSE(PlatformErrorText(rig.player->Error()).empty());
    CHECK(message == PlatformErrorText(rig.player->Error()));
    CHECK_FALSE(rig.player->Opened());
    CHECK(rig.player->DeviceID() == 0);
}

TEST_CASE("Wine: a command to no device gets the system's own answer, an open still reaches the system") {
    MCI_SET_PARMS set{};
    set.dwTimeFormat = MCI_FORMAT_MILLISECONDS;
    const auto record = reinterpret_cast<DWORD_PTR>(&set);
    const MCIERROR answer = PlatformMci().SendCommand(0, MCI_SET, MCI_SET_TIME_FORMAT, record);
    CHECK(answer == MCIERR_INVALID_DEVICE_ID);
    CHECK(answer == mciSendCommandW(0, MCI_SET, MCI_SET_TIME_FORMAT, record));
    MCI_GENERIC_PARMS close{};
    CHECK(PlatformMci().SendCommand(0, MCI_CLOSE, MCI_WAIT, reinterpret_cast<DWORD_PTR>(&close)) ==
          mciSendCommandW(0, MCI_CLOSE, MCI_WAIT, reinterpret_cast<DWORD_PTR>(&close)));
    MCI_OPEN_PARMSW open{};
    open.lpstrElementName = L"Z:\\nie ma takiego pliku.mp3";
    CHECK(PlatformMci().SendCommand(0, MCI_OPEN, MCI_WAIT | MCI_OPEN_ELEMENT, reinterpret_cast<DWORD_PTR>(&open)) !=
          MCIERR_INVALID_DEVICE_ID);
}

TEST_CASE("Wine: the volume command reaches the open device") {
    RealRig rig;
    // The volume command as the main window sends it: MCI_SETAUDIO, item and value, volume item.
    auto setVolume = [&](DWORD value) {
        MCI_DGV_SETAUDIO_PARMSW record{};
        record.dwCallback = 0;
        record.dwItem = 0x4002;
        record.dwValue = value;
        record.dwOver = 0;
        record.lpstrAlgorithm = nullptr;
        record.lpstrQuality = nullptr;
        return mciSendCommandW(rig.player->DeviceID(), 0x0873, 0x01800000, reinterpret_cast<DWORD_PTR>(&record));
    };
    CHECK(setVolume(500) != 0);  // nothing open yet
    rig.player->Open();
    CHECK(setVolume(500) == 0);
    CHECK(setVolume(0) == 0);
    CHECK(setVolume(1000) == 0);
}

TEST_CASE("Wine: seeking reaches the place even though the device refuses MCI_SEEK") {
    RealRig rig;
    rig.player->Open();
    SUBCASE("while stopped, and play goes on from there") {
        rig.player->SetPosition(1000);
        CHECK(rig.player->Error() == 0);
        CHECK(rig.player->Position() == 1000);
        rig.player->Play();
        PumpFor(200);
        CHECK(rig.player->Position() >= 1000);
        REQUIRE(rig.WaitForNotice());
        CHECK(rig.notices.values.back() == nvSuccessful);
    }
    SUBCASE("while playing: the play is interrupted and the device waits at the place") {
        rig.player->Play();
        PumpFor(300);
        rig.player->SetPosition(500);
        CHECK(rig.player->Error() == 0);
        CHECK(rig.player->Mode() != mdPlaying);
        CHECK(rig.player->Position() == 500);
        REQUIRE(rig.WaitForNotice());
        CHECK((rig.notices.values.front() == nvAborted || rig.notices.values.front() == nvSuperseded));
    }
    SUBCASE("next goes to the end and previous back to the start") {
        rig.player->Next();
        CHECK(rig.player->Error() == 0);
        CHECK(rig.player->Position() == rig.player->Length());
        rig.player->Previous();
        CHECK(rig.player->Error() == 0);
        CHECK(rig.player->Position() == 0);
    }
}

TEST_CASE("Wine: destroying the player closes its device") {
    RecordingMci mci;
    ScopedTestForm form;
    auto* player = Make<TMediaPlayer>(form.Get(), mci);
    player->SetParent(form.Get());
    player->SetFileName(TestDataFile("tone2s.mp3"));
    player->Open();
    const MCIDEVICEID id = player->DeviceID();
    form->DestroyComponent(player);
    MCI_STATUS_PARMS status{};
    status.dwItem = MCI_STATUS_MODE;
    CHECK(mciSendCommandW(id, MCI_STATUS, MCI_WAIT | MCI_STATUS_ITEM, reinterpret_cast<DWORD_PTR>(&status)) ==
          MCIERR_INVALID_DEVICE_ID);
}

// ---- the button bar: its pictures, its size, how it is drawn and how it is pressed

namespace {

constexpr TMPBtnType AllButtons[] = {btPlay, btPause, btStop, btNext, btPrev, btStep, btBack, btRecord, btEject};

// What each button's pictures promise: their size and the hue of the coloured one.
enum class Hue { Green, Yellow, Red, Blue };
struct GlyphPromise {
    const char* name;
    int width, height, disabledWidth;
    Hue hue;
};
constexpr GlyphPromise Promised[] = {
    {"MPPLAY", 17, 16, 17, Hue::Green},  {"MPPAUSE", 13, 16, 12, Hue::Yellow}, {"MPSTOP", 17, 16, 17, Hue::Red},
    {"MPNEXT", 21, 16, 21, Hue::Blue},   {"MPPREV", 20, 16, 20, Hue::Blue},    {"MPSTEP", 21, 16, 21, Hue::Blue},
    {"MPBACK", 21, 16, 21, Hue::Blue},   {"MPRECORD", 13, 13, 13, Hue::Red},   {"MPEJECT", 19, 16, 19, Hue::Blue}};

constexpr COLORREF Olive = RGB(128, 128, 0);

bool HasHue(COLORREF c, Hue hue) {
    const int r = GetRValue(c), g = GetGValue(c), b = GetBValue(c);
    switch (hue) {
    case Hue::Green: return g > 0 && r == 0 && b == 0;
    case Hue::Yellow: return r > 0 && r == g && b == 0;
    case Hue::Red: return r > 0 && g == 0 && b == 0;
    case Hue::Blue: return b > 0 && r == 0 && g == 0;
    }
    return false;
}

// A glyph resource read on its own, as the program ships it.
struct ShippedGlyph {
    TBitmap bitmap;
    explicit ShippedGlyph(const std::string& name) { REQUIRE(bitmap.LoadFromResourceName(name)); }
    int Width() const { return bitmap.Width(); }
    int Height() const { return bitmap.Height(); }
    COLORREF At(int x, int y) { return COLORREF(bitmap.Canvas().Pixel(x, y)); }
};

// Colour depth of a bitmap resource as stored in the program.
int StoredBitCount(const std::string& name) {
    HRSRC found = FindResourceA(nullptr, name.c_str(), MAKEINTRESOURCEA(2));  // RT_BITMAP
    REQUIRE(found != nullptr);
    const auto* header = static_cast<const BITMAPINFOHEADER*>(LockResource(LoadResource(nullptr, found)));
    REQUIRE(header != nullptr);
    return header->biBitCount;
}

COLORREF Sys(int index) { return GetSysColor(index); }

// What the screen shows of a window's client area, copied in one go. Wine
// puts a window's drawing on the screen on its next pass through the
// message loop, so the loop runs briefly first.
class Shot {
public:
    explicit Shot(HWND window) {
        PumpFor(30);
        RECT client{};
        GetClientRect(window, &client);
        width_ = client.right;
        height_ = client.bottom;
        POINT origin{0, 0};
        ClientToScreen(window, &origin);

        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = width_;
        info.bmiHeader.biHeight = -height_;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        void* bits = nullptr;
        UniqueGdiObject section(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
        REQUIRE(section.Valid());
        UniqueMemoryDC memory;
        {
            ScopedSelect select(memory.Get(), section.Get());
            ScopedWindowDC screen(nullptr);
            BitBlt(memory.Get(), 0, 0, width_, height_, screen.Get(), origin.x, origin.y, SRCCOPY);
        }
        GdiFlush();
        const auto* quads = static_cast<const RGBQUAD*>(bits);
        pixels_.reserve(size_t(width_) * size_t(height_));
        for (int i = 0; i < width_ * height_; ++i)
            pixels_.push_back(RGB(quads[i].rgbRed, quads[i].rgbGreen, quads[i].rgbBlue));
    }
    COLORREF At(int x, int y) const {
        REQUIRE((x >= 0 && x < width_ && y >= 0 && y < height_));
        return pixels_[size_t(y) * size_t(width_) + size_t(x)];
    }
    int Width() const { return width_; }
    int Height() const { return height_; }

private:
    int width_ = 0, height_ = 0;
    std::vector<COLORREF> pixels_;
};

std::string GlyphName(TMPGlyphKind kind, TMPBtnType button) {
    const char* prefixes[] = {"EN", "DI", "CL"};
    return std::string(prefixes[kind]) + "_" + Promised[button].name;
}

// Differences between a drawn cell and what the bar promises: the frame, a
// lit or sunk bevel, and the glyph centred (one pixel down and right while
// down) with its olive background showing the face.
int CellFaults(const Shot& shot, int x, int w, int h, const std::string& glyphName, bool down) {
    const COLORREF frame = Sys(COLOR_WINDOWFRAME), face = Sys(COLOR_BTNFACE), light = Sys(COLOR_BTNHIGHLIGHT),
                   shadow = Sys(COLOR_BTNSHADOW);
    int faults = 0;
    auto expect = [&](int px, int py, COLORREF color) {
        if (shot.At(px, py) != color) {
            ++faults;
            MESSAGE("pixel (" << px << ", " << py << ") is " << std::hex << shot.At(px, py) << ", not " << color);
        }
    };
    for (int i = 0; i < w; ++i) {
        expect(x + i, 0, frame);
        expect(x + i, h - 1, frame);
    }
    for (int j = 0; j < h; ++j) {
        expect(x, j, frame);
        expect(x + w - 1, j, frame);
    }
    const COLORREF topLeft = down ? shadow : light;
    for (int j = 2; j <= h - 2; ++j) expect(x + 1, j, topLeft);
    for (int i = 1; i <= w - 2; ++i) expect(x + i, 1, topLeft);
    if (down) {
        expect(x + w - 2, h - 2, face);
        expect(x + 2, h - 2, face);
    } else {
        for (int i = 2; i <= w - 3; ++i) expect(x + i, h - 2, shadow);
        for (int j = 2; j <= h - 2; ++j) expect(x + w - 2, j, shadow);
    }
    expect(x + 2, 2, face);

    ShippedGlyph glyph(glyphName);
    const int gx = w / 2 - glyph.Width() / 2 + (down ? 1 : 0);
    const int gy = h / 2 - glyph.Height() / 2 + (down ? 1 : 0);
    int glyphFaults = 0;
    for (int j = 0; j < glyph.Height(); ++j)
        for (int i = 0; i < glyph.Width(); ++i) {
            const COLORREF source = glyph.At(i, j);
            glyphFaults += shot.At(x + gx + i, gy + j) != (source == Olive ? face : source);
        }
    if (glyphFaults) MESSAGE(glyphFaults << " glyph pixels of " << glyphName << " differ");
    return faults + glyphFaults;
}

// Pixels of a cell's focus-rectangle track (3 pixels in from the frame) that are not the face.
int FocusMarks(const Shot& shot, int x, int w, int h, bool down = false) {
    const COLORREF face = Sys(COLOR_BTNFACE);
    const int d = down ? 1 : 0;
    int marks = 0;
    for (int i = x + 3; i <= x + w - 4; ++i) marks += shot.At(i + d, 3 + d) != face;
    for (int j = 3; j <= h - 4; ++j) marks += shot.At(x + 3 + d, j + d) != face;
    return marks;
}

// Mouse messages as the system sends them to the bar's window.
void Press(HWND window, int x, int y = 10) { SendMessageA(window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y)); }
void Drag(HWND window, int x, int y = 10) { SendMessageA(window, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(x, y)); }
void Release(HWND window, int x, int y = 10) { SendMessageA(window, WM_LBUTTONUP, 0, MAKELPARAM(x, y)); }
void ClickAt(HWND window, int x, int y = 10) {
    Press(window, x, y);
    Release(window, x, y);
}

// A key as the user types it: through the application's message loop.
void Key(HWND window, WPARAM key) {
    PostMessageA(window, WM_KEYDOWN, key, 1);
    Application->ProcessMessages();
}

// The clicks a bar reported, and what the device had been told by each OnPostClick.
struct ClickLog {
    TMediaPlayer* player = nullptr;
    FakeMci* mci = nullptr;
    bool allowDefault = true;
    std::vector<TMPBtnType> clicks, postClicks;
    std::vector<size_t> commandsAtPostClick;

    void Clicked(TObject* sender, TMPBtnType button, bool& doDefault) {
        CHECK(sender == player);
        CHECK(doDefault);
        clicks.push_back(button);
        doDefault = allowDefault;
    }
    void PostClicked(TObject* sender, TMPBtnType button) {
        CHECK(sender == player);
        postClicks.push_back(button);
        if (mci) commandsAtPostClick.push_back(mci->sent.size());
    }
    void Watch(TMediaPlayer* watched, FakeMci* commands = nullptr) {
        player = watched;
        mci = commands;
        watched->OnClick.Bind<&ClickLog::Clicked>(this);
        watched->OnPostClick.Bind<&ClickLog::PostClicked>(this);
    }
};

// The main window's bar: Play and Pause, 57 by 28, the others coloured, on the stand-in devices.
struct BarRig : FakeRig {
    ClickLog log;
    HWND window;

    BarRig() {
        player->SetBounds(10, 10, 57, 28);
        player->SetVisibleButtons({btPlay, btPause});
        player->SetColoredButtons({btNext, btPrev, btStep, btBack, btRecord, btEject});
        log.Watch(player, &mci);
        window = player->Handle();
        PumpFor(30);
    }
    int CellLeft(int index) const { return index * (player->ButtonWidth() - 1); }
    int W() const { return player->ButtonWidth(); }
    int H() const { return player->Height(); }
};

}  // namespace

TEST_CASE("the glyphs: 27 sixteen-colour pictures on olive, sized as promised") {
    for (TMPBtnType button : AllButtons) {
        const GlyphPromise& promise = Promised[button];
        CAPTURE(promise.name);
        ShippedGlyph enabled(GlyphName(gkEnabled, button)), disabled(GlyphName(gkDisabled, button)),
            colored(GlyphName(gkColored, button));
        CHECK(enabled.Width() == promise.width);
        CHECK(colored.Width() == promise.width);
        CHECK(disabled.Width() == promise.disabledWidth);
        for (ShippedGlyph* g : {&enabled, &disabled, &colored}) {
            CHECK(g->Height() == promise.height);
            CHECK(g->At(0, g->Height() - 1) == Olive);
        }
        for (TMPGlyphKind kind : {gkEnabled, gkDisabled, gkColored})
            CHECK(StoredBitCount(GlyphName(kind, button)) == 4);

        // The same outline three times: black filled, left empty, or filled with the button's colour.
        int black = 0, tinted = 0, faults = 0;
        for (int y = 0; y < promise.height; ++y)
            for (int x = 0; x < promise.width; ++x) {
                const COLORREF e = enabled.At(x, y), c = colored.At(x, y);
                if (e == RGB(0, 0, 0)) {
                    ++black;
                    tinted += HasHue(c, promise.hue);
                    faults += x < disabled.Width() && disabled.At(x, y) != Olive;
                } else {
                    faults += c != e;
                    faults += x < disabled.Width() && disabled.At(x, y) != e;
                }
            }
        CHECK(black > 20);
        CHECK(tinted == black);
        CHECK(faults == 0);
    }
}

TEST_CASE("the player holds its glyphs and the smallest cell that fits them") {
    FakeRig rig;
    for (TMPBtnType button : AllButtons) {
        CHECK(rig.player->Buttons(button).Glyphs[gkEnabled].Width() == Promised[button].width);
        CHECK(rig.player->Buttons(button).Glyphs[gkDisabled].Width() == Promised[button].disabledWidth);
        CHECK(rig.player->Buttons(button).Glyphs[gkColored].Height() == Promised[button].height);
    }
    CHECK(rig.player->MinButtonSize().x == 29);
    CHECK(rig.player->MinButtonSize().y == 20);
}

TEST_CASE("the size rule: whole cells, never below the minimum") {
    SUBCASE("without a window the player keeps the size it was given") {
        FakeMci mci;
        TMediaPlayer bare(nullptr, mci);
        CHECK(bare.Width() == 240);
        CHECK(bare.Height() == 30);
        CHECK(bare.ButtonWidth() == 0);
        SUBCASE("and choosing buttons then holds the minimum width") {
            bare.SetVisibleButtons({btPlay, btPause});
            CHECK(bare.Width() == 57);
        }
    }
    SUBCASE("on a form") {
        BarRig rig;
        TMediaPlayer* p = rig.player;
        auto windowSize = [&] {
            RECT r{};
            GetWindowRect(rig.window, &r);
            return std::pair{int(r.right - r.left), int(r.bottom - r.top)};
        };
        CHECK(p->ButtonWidth() == 29);
        CHECK(p->Width() == 57);
        CHECK(p->Height() == 28);
        CHECK(windowSize() == std::pair{57, 28});

        p->SetWidth(100);
        CHECK(p->ButtonWidth() == 50);
        CHECK(p->Width() == 99);
        CHECK(windowSize() == std::pair{99, 28});

        p->SetWidth(10);
        CHECK(p->Width() == 57);
        CHECK(p->ButtonWidth() == 29);
        p->SetHeight(5);
        CHECK(p->Height() == 20);
        CHECK(windowSize() == std::pair{57, 20});

        p->SetVisibleButtons(TButtonSet::All());
        CHECK(p->Width() == 9 * 28 + 1);
        p->SetVisibleButtons({btStop});
        CHECK(p->Width() == 29);
        p->SetVisibleButtons({});
        CHECK(p->Width() == 29);
        CHECK(windowSize() == std::pair{29, 20});
    }
    SUBCASE("nine buttons do not fit the 240 pixels a new player has") {
        FakeRig rig;
        CHECK(rig.player->Width() == 9 * 28 + 1);
        CHECK(rig.player->ButtonWidth() == 29);
        CHECK(rig.player->Height() == 30);
    }
}

TEST_CASE("the hit test: two buttons in 57 pixels, the seam going to the first") {
    BarRig rig;
    rig.player->SetAutoEnable(false);
    rig.log.allowDefault = false;
    for (int x = 0; x < 57; ++x) {
        CAPTURE(x);
        rig.log.clicks.clear();
        ClickAt(rig.window, x);
        REQUIRE(rig.log.clicks.size() == 1);
        CHECK(rig.log.clicks[0] == (x <= 29 ? btPlay : btPause));
    }
    CHECK(rig.mci.sent.empty());
}

TEST_CASE("up cells: frame, lit bevel and the glyph that says what the button can do") {
    BarRig rig;
    const int w = rig.W(), h = rig.H();
    SUBCASE("nothing open: both buttons drawn disabled") {
        Shot shot(rig.window);
        CHECK(CellFaults(shot, rig.CellLeft(0), w, h, GlyphName(gkDisabled, btPlay), false) == 0);
        CHECK(CellFaults(shot, rig.CellLeft(1), w, h, GlyphName(gkDisabled, btPause), false) == 0);
    }
    SUBCASE("a device open: Play usable (black, as it is not coloured), Pause not") {
        rig.player->Open();
        Shot shot(rig.window);
        CHECK(CellFaults(shot, rig.CellLeft(0), w, h, GlyphName(gkEnabled, btPlay), false) == 0);
        CHECK(CellFaults(shot, rig.CellLeft(1), w, h, GlyphName(gkDisabled, btPause), false) == 0);
    }
    SUBCASE("coloured buttons show their colour") {
        rig.player->Open();
        rig.player->SetColoredButtons({btPlay});
        Shot shot(rig.window);
        CHECK(CellFaults(shot, rig.CellLeft(0), w, h, GlyphName(gkColored, btPlay), false) == 0);
    }
    SUBCASE("a disabled control shows every button disabled") {
        rig.player->Open();
        rig.player->SetAutoEnable(false);
        rig.player->SetEnabled(false);
        Shot shot(rig.window);
        CHECK(CellFaults(shot, rig.CellLeft(0), w, h, GlyphName(gkDisabled, btPlay), false) == 0);
        CHECK(CellFaults(shot, rig.CellLeft(1), w, h, GlyphName(gkDisabled, btPause), false) == 0);
    }
    SUBCASE("a wider and taller bar keeps the glyphs centred") {
        rig.player->Open();
        rig.player->SetBounds(10, 10, 99, 40);
        REQUIRE(rig.W() == 50);
        Shot shot(rig.window);
        CHECK(CellFaults(shot, rig.CellLeft(0), 50, 40, GlyphName(gkEnabled, btPlay), false) == 0);
        CHECK(CellFaults(shot, rig.CellLeft(1), 50, 40, GlyphName(gkDisabled, btPause), false) == 0);
    }
}

TEST_CASE("AutoEnable decides whether the Auto or the Enabled flags rule the glyphs and the mouse") {
    BarRig rig;
    rig.player->Open();
    rig.mci.Forget();
    rig.player->SetEnabledButtons({btPause});
    rig.log.allowDefault = false;
    const int w = rig.W(), h = rig.H();

    SUBCASE("AutoEnable on: Play follows its Auto flag although its Enabled flag is off") {
        Shot shot(rig.window);
        CHECK(CellFaults(shot, rig.CellLeft(0), w, h, GlyphName(gkEnabled, btPlay), false) == 0);
        CHECK(CellFaults(shot, rig.CellLeft(1), w, h, GlyphName(gkDisabled, btPause), false) == 0);
        // Pause first: the click on Play makes Pause usable by the automatic rules.
        ClickAt(rig.window, 40);
        ClickAt(rig.window, 10);
        CHECK(rig.log.clicks == std::vector<TMPBtnType>{btPlay});
    }
    SUBCASE("AutoEnable off: the Enabled flags decide") {
        rig.player->SetAutoEnable(false);
        Shot shot(rig.window);
        CHECK(CellFaults(shot, rig.CellLeft(0), w, h, GlyphName(gkDisabled, btPlay), false) == 0);
        CHECK(CellFaults(shot, rig.CellLeft(1), w, h, GlyphName(gkEnabled, btPause), false) == 0);
        ClickAt(rig.window, 10);
        ClickAt(rig.window, 40);
        CHECK(rig.log.clicks == std::vector<TMPBtnType>{btPause});

        SUBCASE("and switching it back on shows the automatic state again") {
            rig.player->SetAutoEnable(true);
            Shot again(rig.window);
            CHECK(CellFaults(again, rig.CellLeft(0), w, h, GlyphName(gkEnabled, btPlay), false) == 0);
        }
    }
}

TEST_CASE("pressing draws the cell down, dragging out draws it up, and only a release inside clicks") {
    BarRig rig;
    rig.player->Open();
    rig.mci.Forget();
    const int x = rig.CellLeft(0), w = rig.W(), h = rig.H();
    const std::string glyph = GlyphName(gkEnabled, btPlay);

    Press(rig.window, 5);
    CHECK(GetCapture() == rig.window);
    CHECK(CellFaults(Shot(rig.window), x, w, h, glyph, true) == 0);

    Drag(rig.window, 40);  // over the second cell: outside the pressed one
    CHECK(CellFaults(Shot(rig.window), x, w, h, glyph, false) == 0);
    Drag(rig.window, 28, 27);  // back in, at the cell's last column and row
    CHECK(CellFaults(Shot(rig.window), x, w, h, glyph, true) == 0);
    Drag(rig.window, 5, 28);  // below the cell
    CHECK(CellFaults(Shot(rig.window), x, w, h, glyph, false) == 0);

    SUBCASE("released outside: nothing is dispatched") {
        Release(rig.window, 5, 40);
        CHECK(GetCapture() != rig.window);
        CHECK(rig.log.clicks.empty());
        CHECK(rig.mci.sent.empty());
        CHECK(CellFaults(Shot(rig.window), x, w, h, glyph, false) == 0);
        // Tracking has ended: moving over the cell again draws nothing down.
        Drag(rig.window, 5);
        CHECK(CellFaults(Shot(rig.window), x, w, h, glyph, false) == 0);
    }
    SUBCASE("released inside: one click, and the cell comes up") {
        Drag(rig.window, 6);
        Release(rig.window, 6);
        CHECK(GetCapture() != rig.window);
        CHECK(rig.log.clicks == std::vector<TMPBtnType>{btPlay});
        CHECK(rig.mci.Of(MCI_PLAY).size() == 1);
        Shot shot(rig.window);
        // Playing now: Play is no longer usable, so the up cell shows it disabled.
        CHECK(CellFaults(shot, x, w, h, GlyphName(gkDisabled, btPlay), false) == 0);
    }
    SUBCASE("a cancelled press ends without a click") {
        SendMessageA(rig.window, WM_CANCELMODE, 0, 0);
        CHECK(GetCapture() != rig.window);
        Release(rig.window, 5);
        CHECK(rig.log.clicks.empty());
        CHECK(CellFaults(Shot(rig.window), x, w, h, glyph, false) == 0);
    }
}

TEST_CASE("a press on a button drawn disabled changes nothing and redraws nothing") {
    BarRig rig;
    rig.player->Open();
    rig.mci.Forget();
    PumpFor(30);  // the repaint the open asked for is done before the marker goes on
    const COLORREF marker = RGB(255, 0, 255);
    {
        // Something only a redraw would paint over.
        ScopedWindowDC dc(rig.window);
        UniqueGdiObject brush(CreateSolidBrush(marker));
        RECT spot{rig.CellLeft(1) + 3, 3, rig.CellLeft(1) + 6, 6};
        FillRect(dc.Get(), &spot, static_cast<HBRUSH>(brush.Get()));
    }
    REQUIRE(Shot(rig.window).At(rig.CellLeft(1) + 4, 4) == marker);

    Press(rig.window, 40);
    CHECK(GetCapture() != rig.window);
    CHECK(rig.player->FocusedButton() == btPlay);
    CHECK_FALSE(GetUpdateRect(rig.window, nullptr, FALSE));
    CHECK(Shot(rig.window).At(rig.CellLeft(1) + 4, 4) == marker);
    Release(rig.window, 40);
    CHECK(rig.log.clicks.empty());
    CHECK(rig.mci.sent.empty());
    CHECK(Shot(rig.window).At(rig.CellLeft(1) + 4, 4) == marker);
}

TEST_CASE("a bar with no visible buttons is one empty cell that ignores presses") {
    BarRig rig;
    rig.player->SetAutoEnable(false);
    rig.player->SetVisibleButtons({});
    CHECK(rig.player->Width() == 29);
    const COLORREF frame = Sys(COLOR_WINDOWFRAME), face = Sys(COLOR_BTNFACE);
    Shot shot(rig.window);
    int faults = 0;
    for (int y = 0; y < rig.H(); ++y)
        for (int x = 0; x < 29; ++x) {
            const bool edge = x == 0 || y == 0 || x == 28 || y == rig.H() - 1;
            faults += shot.At(x, y) != (edge ? frame : face);
        }
    // Inside the frame only the face: no glyph left over from the buttons it had.
    CHECK(faults == 0);
    for (int x = 0; x < 29; ++x) ClickAt(rig.window, x);
    CHECK(rig.log.clicks.empty());
    CHECK(GetCapture() != rig.window);
}

TEST_CASE("a click: OnClick, the device action, OnPostClick, then the automatic enabling") {
    BarRig rig;
    rig.player->Open();
    rig.mci.Forget();
    REQUIRE(rig.player->AutoButtons() == TButtonSet{btNext, btPrev, btPlay});

    SUBCASE("in that order") {
        ClickAt(rig.window, 10);
        CHECK(rig.log.clicks == std::vector<TMPBtnType>{btPlay});
        CHECK(rig.log.postClicks == std::vector<TMPBtnType>{btPlay});
        REQUIRE(rig.log.commandsAtPostClick.size() == 1);
        CHECK(rig.mci.Of(MCI_PLAY).size() == 1);
        CHECK(rig.mci.sent.back().command == MCI_PLAY);  // nothing after OnPostClick
        CHECK(rig.log.commandsAtPostClick[0] == rig.mci.sent.size());
        CHECK(rig.player->AutoButtons().Contains(btPause));
    CHECK(rig.player->AutoButtons().Contains(btStop));
    CHECK(!rig.player->AutoButtons().Contains(btPlay));

        // Pause is usable now; pressing it pauses and Play comes back.
        ClickAt(rig.window, 40);
        CHECK(rig.log.clicks == std::vector<TMPBtnType>{btPlay, btPause});
        CHECK(rig.mci.Of(MCI_PAUSE).size() == 1);
        CHECK(rig.player->AutoButtons() == TButtonSet{btNext, btPrev, btPlay});
    }
    SUBCASE("DoDefault cleared: no device action and no OnPostClick, but the buttons still follow") {
        rig.log.allowDefault = false;
        ClickAt(rig.window, 10);
        CHECK(rig.log.clicks == std::vector<TMPBtnType>{btPlay});
        CHECK(rig.log.postClicks.empty());
        CHECK(rig.mci.Of(MCI_PLAY).empty());
        CHECK(rig.player->AutoButtons().Contains(btPause));
    CHECK(rig.player->AutoButtons().Contains(btStop));
    CHECK(!rig.player->AutoButtons().Contains(btPlay));
    }
    SUBCASE("a play the device refuses leaves the buttons as they were") {
        rig.mci.refuse[MCI_PLAY] = MCIERR_INTERNAL;
        ClickAt(rig.window, 10);
        CHECK(rig.log.postClicks == std::vector<TMPBtnType>{btPlay});
        CHECK(rig.player->Error() == int(MCIERR_INTERNAL));
        CHECK(rig.player->AutoButtons() == TButtonSet{btNext, btPrev, btPlay});
    }
    SUBCASE("a double click is two clicks") {
        rig.player->SetAutoEnable(false);
        rig.log.allowDefault = false;
        Press(rig.window, 10);
        Release(rig.window, 10);
        SendMessageA(rig.window, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(10, 10));
        Release(rig.window, 10);
        CHECK(rig.log.clicks == std::vector<TMPBtnType>{btPlay, btPlay});
    }
}

TEST_CASE("each button's own action") {
    FakeRig rig;
    rig.mci.caps[MCI_GETDEVCAPS_HAS_VIDEO] = TRUE;
    rig.mci.caps[MCI_GETDEVCAPS_CAN_EJECT] = TRUE;
    rig.player->SetBounds(0, 0, 9 * 28 + 1, 28);
    rig.player->SetAutoEnable(false);
    rig.player->Open();
    rig.mci.SetMode(MCI_MODE_PLAY);
    HWND window = rig.player->Handle();
    REQUIRE(rig.player->ButtonWidth() == 29);

    const std::pair<TMPBtnType, std::pair<UINT, DWORD_PTR>> actions[] = {
        {btPlay, {MCI_PLAY, MCI_NOTIFY}},
        {btPause, {MCI_PAUSE, MCI_WAIT}},
        {btStop, {MCI_STOP, MCI_WAIT}},
        {btNext, {MCI_SEEK, MCI_WAIT | MCI_SEEK_TO_END}},
        {btPrev, {MCI_SEEK, MCI_WAIT | MCI_SEEK_TO_START}},
        {btStep, {MCI_STEP, MCI_WAIT | MCI_ANIM_STEP_FRAMES}},
        {btBack, {MCI_STEP, MCI_WAIT | MCI_ANIM_STEP_FRAMES | MCI_ANIM_STEP_REVERSE}},
        {btRecord, {MCI_RECORD, MCI_NOTIFY}},
        {btEject, {MCI_SET, MCI_WAIT | MCI_SET_DOOR_OPEN}}};
    for (auto [button, command] : actions) {
        CAPTURE(int(button));
        rig.mci.SetMode(MCI_MODE_PLAY);
        rig.mci.Forget();
        ClickAt(window, button * 28 + 14);
        std::vector<SentCommand> sent;
        for (const SentCommand& s : rig.mci.sent)
            if (s.command != MCI_STATUS) sent.push_back(s);
        REQUIRE(sent.size() == 1);
        CHECK(sent[0].command == command.first);
        CHECK(sent[0].flags == command.second);
    }
}

TEST_CASE("Next in track format while playing: OnPostClick and the buttons see Play") {
    FakeRig rig;
    ClickLog log;
    log.Watch(rig.player, &rig.mci);
    rig.player->SetDeviceType(dtCDAudio);
    rig.player->SetVisibleButtons({btNext});
    rig.mci.status[MCI_STATUS_TIME_FORMAT] = MCI_FORMAT_TMSF;
    rig.mci.status[MCI_STATUS_NUMBER_OF_TRACKS] = 2;
    rig.mci.status[MCI_STATUS_POSITION] = MCI_MAKE_TMSF(1, 0, 5, 0);
    rig.mci.trackStarts = {{1, MCI_MAKE_TMSF(1, 0, 0, 0)}, {2, MCI_MAKE_TMSF(2, 3, 0, 0)}};
    rig.mci.SetMode(MCI_MODE_PLAY);
    rig.player->Open();
    ClickAt(rig.player->Handle(), 10);
    CHECK(log.clicks == std::vector<TMPBtnType>{btNext});
    CHECK(log.postClicks == std::vector<TMPBtnType>{btPlay});
    CHECK(rig.player->AutoButtons().Contains(btPause));
    CHECK(rig.player->AutoButtons().Contains(btStop));
    CHECK(!rig.player->AutoButtons().Contains(btPlay));
}

TEST_CASE("an exception from a button's action reaches the application's report") {
    BarRig rig;
    rig.player->SetAutoEnable(false);  // Play usable with no device open
    const int x = rig.CellLeft(0), w = rig.W(), h = rig.H();
    BoxAnswerer answerer(IDOK);

    SUBCASE("from the mouse") {
        ClickAt(rig.window, 10);
        REQUIRE(answerer.Seen().size() == 1);
        CHECK(answerer.Seen()[0].text == "No MCI device open.");
        CHECK(answerer.Seen()[0].caption == Application->Title());
        CHECK(rig.log.clicks == std::vector<TMPBtnType>{btPlay});
        CHECK(rig.log.postClicks.empty());
        CHECK(GetCapture() != rig.window);
        // The press is over: moving over the cell afterwards leaves it up.
        Drag(rig.window, 12);
        CHECK(CellFaults(Shot(rig.window), x, w, h, GlyphName(gkEnabled, btPlay), false) == 0);
    }
    SUBCASE("from the space key") {
        rig.player->SetFocus();
        REQUIRE(GetFocus() == rig.window);
        Key(rig.window, VK_SPACE);
        REQUIRE(PumpUntil([&] { return !answerer.Seen().empty(); }));
        CHECK(answerer.Seen()[0].text == "No MCI device open.");
        CHECK(rig.log.clicks == std::vector<TMPBtnType>{btPlay});
        CHECK(rig.log.postClicks.empty());
    }
    CHECK(rig.mci.sent.empty());
}

TEST_CASE("the focus rectangle: only while the bar has the keyboard focus, on the focused button") {
    BarRig rig;
    rig.player->SetAutoEnable(false);
    rig.log.allowDefault = false;
    const int w = rig.W(), h = rig.H();
    auto* other = Make<TPanel>(rig.form.Get());
    other->SetParent(rig.form.Get());
    other->SetBounds(10, 100, 50, 20);
    other->SetTabStop(true);

    Shot unfocused(rig.window);
    CHECK(FocusMarks(unfocused, rig.CellLeft(0), w, h) == 0);
    CHECK(FocusMarks(unfocused, rig.CellLeft(1), w, h) == 0);

    rig.player->SetFocus();
    REQUIRE(GetFocus() == rig.window);
    Shot focused(rig.window);
    CHECK(FocusMarks(focused, rig.CellLeft(0), w, h) > 10);
    CHECK(FocusMarks(focused, rig.CellLeft(1), w, h) == 0);

    SUBCASE("a press moves it to the pressed button, drawn down with the cell") {
        Press(rig.window, 40);
        CHECK(rig.player->FocusedButton() == btPause);
        Shot down(rig.window);
        CHECK(FocusMarks(down, rig.CellLeft(0), w, h) == 0);
        CHECK(FocusMarks(down, rig.CellLeft(1), w, h, true) > 10);
        Release(rig.window, 40);
        CHECK(FocusMarks(Shot(rig.window), rig.CellLeft(1), w, h) > 10);
    }
    SUBCASE("it goes when the focus does") {
        other->SetFocus();
        REQUIRE(GetFocus() == other->Handle());
        CHECK(FocusMarks(Shot(rig.window), rig.CellLeft(0), w, h) == 0);
    }
    SUBCASE("a press does not take the focus") {
        other->SetFocus();
        Press(rig.window, 10);
        Release(rig.window, 10);
        CHECK(GetFocus() == other->Handle());
    }
}

TEST_CASE("the keyboard: arrows move the focused button, space presses it") {
    BarRig rig;
    auto* other = Make<TPanel>(rig.form.Get());
    other->SetParent(rig.form.Get());
    other->SetBounds(10, 100, 50, 20);
    other->SetTabStop(true);
    rig.player->SetFocus();
    REQUIRE(GetFocus() == rig.window);
    CHECK(SendMessageA(rig.window, WM_GETDLGCODE, 0, 0) == DLGC_WANTARROWS);

    SUBCASE("arrows stay in the bar, the ends taken even when hidden") {
        Key(rig.window, VK_LEFT);
        CHECK(rig.player->FocusedButton() == btPlay);
        Key(rig.window, VK_RIGHT);
        CHECK(rig.player->FocusedButton() == btPause);
        Key(rig.window, VK_RIGHT);
        CHECK(rig.player->FocusedButton() == btEject);
        CHECK(GetFocus() == rig.window);
        // Eject is hidden: no cell shows the focus.
        Shot shot(rig.window);
        CHECK(FocusMarks(shot, rig.CellLeft(0), rig.W(), rig.H()) == 0);
        CHECK(FocusMarks(shot, rig.CellLeft(1), rig.W(), rig.H()) == 0);
        Key(rig.window, VK_RIGHT);
        CHECK(rig.player->FocusedButton() == btEject);
        Key(rig.window, VK_LEFT);
        CHECK(rig.player->FocusedButton() == btPause);
        CHECK(FocusMarks(Shot(rig.window), rig.CellLeft(1), rig.W(), rig.H()) > 10);
    }
    SUBCASE("space presses the hidden Eject when its Enabled flag is on") {
        Key(rig.window, VK_RIGHT);
        Key(rig.window, VK_RIGHT);
        rig.log.allowDefault = false;
        Key(rig.window, VK_SPACE);
        CHECK(rig.log.clicks == std::vector<TMPBtnType>{btEject});
        rig.player->SetEnabledButtons({btPlay, btPause});
        Key(rig.window, VK_SPACE);
        CHECK(rig.log.clicks.size() == 1);
    }
    SUBCASE("space follows the Enabled flags, not the automatic ones") {
        rig.player->Open();
        rig.mci.Forget();
        rig.player->SetEnabledButtons({btPause});
        Key(rig.window, VK_SPACE);  // Play: usable by the automatic rules, but not Enabled
        CHECK(rig.log.clicks.empty());
        rig.player->SetEnabledButtons(TButtonSet::All());
        Key(rig.window, VK_SPACE);
        CHECK(rig.log.clicks == std::vector<TMPBtnType>{btPlay});
        CHECK(rig.mci.Of(MCI_PLAY).size() == 1);
        CHECK(rig.log.postClicks == std::vector<TMPBtnType>{btPlay});
        CHECK(rig.player->AutoButtons().Contains(btPause));
    CHECK(rig.player->AutoButtons().Contains(btStop));
    CHECK(!rig.player->AutoButtons().Contains(btPlay));
    }
    SUBCASE("after space the buttons follow only a command the device took") {
        rig.player->Open();
        rig.mci.refuse[MCI_PLAY] = MCIERR_INTERNAL;
        Key(rig.window, VK_SPACE);
        CHECK(rig.log.clicks == std::vector<TMPBtnType>{btPlay});
        CHECK(rig.player->AutoButtons() == TButtonSet{btNext, btPrev, btPlay});
        rig.player->Close();
        rig.log.allowDefault = false;
        Key(rig.window, VK_SPACE);
        CHECK(rig.player->AutoButtons().Empty());
    }
    SUBCASE("other keys do nothing") {
        Key(rig.window, VK_RETURN);
        Key(rig.window, 'P');
        CHECK(rig.log.clicks.empty());
        CHECK(rig.player->FocusedButton() == btPlay);
    }
}

TEST_CASE("Wine: the bar plays and pauses a clip") {
    RealRig rig;
    ClickLog log;
    log.Watch(rig.player);
    rig.player->SetBounds(10, 10, 57, 28);
    rig.player->SetVisibleButtons({btPlay, btPause});
    HWND window = rig.player->Handle();
    rig.player->Open();

    ClickAt(window, 10);
    CHECK(rig.player->Error() == 0);
    CHECK(rig.player->Mode() == mdPlaying);
    CHECK(rig.player->AutoButtons().Contains(btPause));
    CHECK(rig.player->AutoButtons().Contains(btStop));
    CHECK(!rig.player->AutoButtons().Contains(btPlay));
    PumpFor(200);

    ClickAt(window, 40);
    CHECK(rig.player->Mode() == mdPaused);
    CHECK(rig.player->AutoButtons().Contains(btPlay));
    ClickAt(window, 40);  // ignored: after a pause the automatic rules leave Pause unusable
    CHECK(rig.player->Mode() == mdPaused);
    ClickAt(window, 10);
    CHECK(rig.player->Mode() == mdPlaying);
    CHECK(log.clicks == std::vector<TMPBtnType>{btPlay, btPause, btPlay});
    REQUIRE(PumpUntil([&] {
        return std::find(rig.notices.values.begin(), rig.notices.values.end(), nvSuccessful) != rig.notices.values.end();
    }, 6000));
}

TEST_CASE("the bar paints alike every time and leaves no GDI object") {
    FakeMci mci;
    ScopedTestForm form;
    const PaintReport paint = PaintTwiceAndCycle(form.Get(), RECT{10, 10, 67, 38}, [&] {
        auto* player = Make<TMediaPlayer>(form.Get(), mci);
        player->SetParent(form.Get());
        player->SetBounds(10, 10, 57, 28);
        player->SetVisibleButtons({btPlay, btPause});
        player->SetFileName("C:\\Muzyka\\Żółw.mp3");
        player->Open();
        player->SetFocus();  // with the focus rectangle
        return std::vector<TControl*>{player};
    });
    CHECK(paint.samePicture);
    CHECK(paint.growth == 0);
}
