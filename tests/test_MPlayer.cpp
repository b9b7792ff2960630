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
        const auto* open = reinterpret_cast<const MCI_OPEN_PARMSA*>(record);
        if (open->lpstrDeviceType) sent.type = open->lpstrDeviceType;
        if (open->lpstrElementName) sent.element = open->lpstrElementName;
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
    case MCI_WINDOW: sent.window = reinterpret_cast<const MCI_ANIM_WINDOW_PARMSA*>(record)->hWnd; break;
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
            auto* open = reinterpret_cast<MCI_OPEN_PARMSA*>(record);
            open->wDeviceID = nextId;
            openDevices.insert(nextId++);
            return 0;
        }
        if (!openDevices.contains(device)) return MCIERR_INVALID_DEVICE_ID;
        return Act(command, flags, record, sent.back());
    }

    bool GetErrorString(MCIERROR error, char* buffer, UINT size) override {
        auto text = texts.find(error);
        if (text == texts.end()) return false;
        lstrcpynA(buffer, text->second.c_str(), int(size));
        return true;
    }

    void SetMode(UINT mode) { status[MCI_STATUS_MODE] = mode; }
    DWORD_PTR Place() { return status[MCI_STATUS_POSITION]; }

private:
    MCIERROR Act(UINT command, DWORD_PTR flags, DWORD_PTR record, const SentCommand& s) {
        switch (command) {
        case MCI_CLOSE: openDevices.erase(s.device); break;
        case MCI_STATUS:
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
    bool GetErrorString(MCIERROR error, char* buffer, UINT size) override {
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
    char text[4096] = {};
    return mciGetErrorStringA(MCIERROR(error), text, sizeof text) ? text : "";
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
    CHECK(p->Width() == 240);
    CHECK(p->Height() == 30);
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
    CHECK(set.callback != rig.Window());
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
        CHECK(rig.player->AutoButtons() == TButtonSet{btNext, btPrev, btPause, btStop});
        rig.Notice(MCI_NOTIFY_ABORTED);
        CHECK(rig.player->AutoButtons() == TButtonSet{btNext, btPrev, btPause, btStop});
        rig.mci.SetMode(MCI_MODE_STOP);
        rig.Notice(MCI_NOTIFY_SUCCESSFUL);
        CHECK(rig.player->AutoButtons() == TButtonSet{btNext, btPrev, btPlay});
        CHECK(rig.player->Buttons(btPlay).Auto);
        CHECK_FALSE(rig.player->Buttons(btStop).Auto);
        CHECK(rig.player->Buttons(btPause).Enabled);
        CHECK_FALSE(rig.player->Buttons(btPlay).Enabled);
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
    CHECK(rig.player->Mode() != mdPlaying);
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
    CHECK(mciSendCommandA(first, MCI_STATUS, MCI_WAIT | MCI_STATUS_ITEM, reinterpret_cast<DWORD_PTR>(&status)) ==
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

TEST_CASE("Wine: the volume command reaches the open device") {
    RealRig rig;
    // The volume command as the main window sends it: MCI_SETAUDIO, item and value, volume item.
    auto setVolume = [&](DWORD value) {
        MCI_DGV_SETAUDIO_PARMSA record{};
        record.dwCallback = 0;
        record.dwItem = 0x4002;
        record.dwValue = value;
        record.dwOver = 0;
        record.lpstrAlgorithm = nullptr;
        record.lpstrQuality = nullptr;
        return mciSendCommandA(rig.player->DeviceID(), 0x0873, 0x01800000, reinterpret_cast<DWORD_PTR>(&record));
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
    CHECK(mciSendCommandA(id, MCI_STATUS, MCI_WAIT | MCI_STATUS_ITEM, reinterpret_cast<DWORD_PTR>(&status)) ==
          MCIERR_INVALID_DEVICE_ID);
}
