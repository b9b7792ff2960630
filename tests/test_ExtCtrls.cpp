#include <doctest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "ExtCtrls.h"
#include "Forms.h"
#include "WineGui.h"
#include "runtime/SysUtils.h"

namespace {

// Notes the time of every tick; can be told to fail on one.
struct TickLog {
    std::vector<DWORD> at;
    int failOn = 0;  // 1: the first tick raises
    void Tick(TObject*) {
        at.push_back(GetTickCount());
        if (int(at.size()) == failOn) throw Exception("Disk full");
    }
    int Count() const { return int(at.size()); }
};

// A timer owned by a form that lives as long as the test.
struct TimerRig {
    ScopedTestForm form;
    TTimer* timer = Make<TTimer>(form.Get());
    TickLog log;
};

std::string ClassOf(HWND window) {
    char name[64] = {};
    GetClassNameA(window, name, sizeof name);
    return name;
}

}  // namespace

TEST_SUITE("timer") {
    TEST_CASE("the timer lives on a hidden window of its own") {
        TimerRig rig;
        REQUIRE(rig.timer->WindowHandle() != nullptr);
        CHECK(ClassOf(rig.timer->WindowHandle()) == "TPUtilWindow");
        CHECK_FALSE(IsWindowVisible(rig.timer->WindowHandle()));
    }

    TEST_CASE("without a handler no system timer runs, and none ticks") {
        TimerRig rig;
        rig.timer->SetInterval(50);
        CHECK(rig.timer->Enabled());
        CHECK_FALSE(rig.timer->Running());
        // A WM_TIMER would reach the window if a system timer were set.
        MSG message;
        PumpFor(200);
        CHECK_FALSE(PeekMessageA(&message, rig.timer->WindowHandle(), WM_TIMER, WM_TIMER, PM_NOREMOVE));

        rig.timer->BindOnTimer<&TickLog::Tick>(&rig.log);
        CHECK(rig.timer->Running());
        CHECK(PumpUntil([&] { return rig.log.Count() >= 2; }, 2000));
    }

    TEST_CASE("interval 0 or disabling stops the ticks; a new interval starts them again") {
        TimerRig rig;
        rig.timer->SetInterval(40);
        rig.timer->BindOnTimer<&TickLog::Tick>(&rig.log);
        REQUIRE(PumpUntil([&] { return rig.log.Count() >= 1; }, 2000));

        SUBCASE("interval 0") {
            rig.timer->SetInterval(0);
            CHECK_FALSE(rig.timer->Running());
        }
        SUBCASE("disabled") {
            rig.timer->SetEnabled(false);
            CHECK_FALSE(rig.timer->Running());
        }
        const int stoppedAt = rig.log.Count();
        PumpFor(250);
        CHECK(rig.log.Count() == stoppedAt);

        rig.timer->SetEnabled(true);
        rig.timer->SetInterval(60);
        CHECK(rig.timer->Running());
        CHECK(PumpUntil([&] { return rig.log.Count() > stoppedAt; }, 2000));
    }

    TEST_CASE("disabling and enabling restarts the period; enabling a running timer does not") {
        TimerRig rig;
        rig.timer->SetInterval(600);
        const DWORD start = GetTickCount();
        rig.timer->BindOnTimer<&TickLog::Tick>(&rig.log);
        PumpFor(300);
        REQUIRE(rig.log.Count() == 0);

        SUBCASE("enabled again while running: the first tick keeps its time") {
            rig.timer->SetEnabled(true);
            rig.timer->SetInterval(600);
            REQUIRE(PumpUntil([&] { return rig.log.Count() >= 1; }, 3000));
            CHECK(rig.log.at[0] - start < 800);
        }
        SUBCASE("switched off and on: a whole new period") {
            const DWORD restart = GetTickCount();
            rig.timer->SetEnabled(false);
            rig.timer->SetEnabled(true);
            REQUIRE(PumpUntil([&] { return rig.log.Count() >= 1; }, 3000));
            CHECK(rig.log.at[0] - restart >= 550);
        }
    }

    TEST_CASE("an error in a tick is reported, and the timer keeps ticking") {
        TimerRig rig;
        rig.log.failOn = 1;
        BoxAnswerer ok(IDOK);
        rig.timer->SetInterval(50);
        rig.timer->BindOnTimer<&TickLog::Tick>(&rig.log);
        REQUIRE(PumpUntil([&] { return rig.log.Count() >= 4; }, 4000));
        REQUIRE(ok.Seen().size() == 1);
        CHECK(ok.Seen()[0].text == "Disk full.");
        CHECK(ok.Seen()[0].caption == Application->Title());
        CHECK(rig.timer->Running());
    }

    TEST_CASE("a destroyed timer ticks no more") {
        TimerRig rig;
        rig.timer->SetInterval(30);
        rig.timer->BindOnTimer<&TickLog::Tick>(&rig.log);
        REQUIRE(PumpUntil([&] { return rig.log.Count() >= 1; }, 2000));
        rig.form->DestroyComponent(rig.timer);
        const int ticks = rig.log.Count();
        PumpFor(200);
        CHECK(rig.log.Count() == ticks);
    }
}

TEST_CASE("panels, shapes and images paint alike every time and leave no GDI object") {
    ScopedTestForm form(300, 200);
    const PaintReport paint = PaintTwiceAndCycle(form.Get(), RECT{0, 0, 160, 100}, [&] {
        auto* panel = Make<TPanel>(form.Get());
        panel->SetParent(form.Get());
        panel->SetBevelInner(TPanelBevel::bvLowered);
        panel->SetCaption("Zmiana: wybór / opis");
        auto* shape = Make<TShape>(form.Get());
        shape->SetParent(form.Get());
        shape->SetBounds(8, 60, 60, 30);
        shape->SetShape(TShapeType::stRoundRect);
        shape->Pen().SetWidth(3);
        auto* image = Make<TImage>(form.Get());
        image->SetParent(form.Get());
        image->SetBounds(100, 50, 32, 32);
        image->Icon().LoadFromResourceName("MAINICON");
        return std::vector<TControl*>{panel, shape, image};
    });
    CHECK(paint.samePicture);
    CHECK(paint.growth == 0);
}
