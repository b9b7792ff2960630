// What keeping finished glyph pictures saves: paints a 28 x 28 speed button
// with a 16 x 16 glyph into a memory bitmap, once drawing its kept picture and
// once making the picture anew before every paint, for the up and the held
// face. A colour scheme change is what makes a button remake its pictures.
// Prints the best of a few rounds per paint and the ratio.
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>

#include "Buttons.h"
#include "Forms.h"

namespace {

constexpr int Paints = 2000;
constexpr int Rounds = 5;

using Clock = std::chrono::steady_clock;

// A speed button painted on a bitmap of its own size, as its parent window would.
class Bench {
public:
    Bench() : button_(nullptr) {
        button_.SetBounds(0, 0, 28, 28);
        TBitmap glyph;
        glyph.SetSize(16, 16);
        glyph.Canvas().Brush().SetColor(clOlive);
        glyph.Canvas().FillRect(RECT{0, 0, 16, 16});
        glyph.Canvas().Brush().SetColor(clNavy);
        glyph.Canvas().FillRect(RECT{3, 3, 13, 13});
        button_.SetGlyph(&glyph);
        target_.SetSize(28, 28);
    }

    void Hold(bool held) {
        button_.SetGroupIndex(held ? 1 : 0);
        button_.SetDown(held);
    }

    // Microseconds per paint, the best of the rounds.
    double PerPaint(bool remake) {
        double best = 1e30;
        for (int round = 0; round < Rounds; ++round) {
            const auto start = Clock::now();
            for (int i = 0; i < Paints; ++i) {
                if (remake) button_.Perform(CM_SYSCOLORCHANGE);  // throws the pictures away and makes the face's again
                button_.PaintOn(target_.Canvas().Handle());
            }
            const std::chrono::duration<double, std::micro> spent = Clock::now() - start;
            best = std::min(best, spent.count() / Paints);
        }
        return best;
    }

private:
    TSpeedButton button_;
    TBitmap target_;
};

}  // namespace

int main() {
    ApplicationScope application;
    Bench bench;
    for (bool held : {false, true}) {
        bench.Hold(held);
        const double kept = bench.PerPaint(false);
        const double remade = bench.PerPaint(true);
        std::printf("%-5s face: %8.2f us per paint with the kept picture, %8.2f us making it each time (%.1fx)\n",
                    held ? "held" : "up", kept, remade, remade / kept);
    }
    return 0;
}
