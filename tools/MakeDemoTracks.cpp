// Makes the player's demo folder from the raw tunes of make-demo-audio.sh:
//   MakeDemoTracks.exe RAW_FOLDER DEMO_FOLDER
// Each tune gets its track name and a description written by the player's
// own trailer code, so the demo shows what the player itself would save.
#include <cstdio>

#include "DemoTracks.h"
#include "runtime/CmdLine.h"

int main() {
    if (ParamCount() != 2) {
        std::fprintf(stderr, "usage: MakeDemoTracks RAW_FOLDER DEMO_FOLDER\n");
        return 2;
    }
    try {
        const auto made = MakeDemoFolder(ParamStr(1), ParamStr(2));
        // The terminal's code page may not show the track names, so only the count is printed.
        std::printf("%u demo tracks\n", unsigned(made.size()));
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "MakeDemoTracks: %s\n", e.what());
        return 1;
    }
}
