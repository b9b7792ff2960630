// Makes the player's demo folder from the raw tunes of make-demo-audio.sh:
//   MakeDemoTracks.exe RAW_FOLDER DEMO_FOLDER
// Each tune gets its track name and a description written by the player's
// own trailer code, so the demo shows what the player itself would save.
#include <cstdio>

#include "DemoTracks.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: MakeDemoTracks RAW_FOLDER DEMO_FOLDER\n");
        return 2;
    }
    try {
        const auto made = MakeDemoFolder(argv[1], argv[2]);
        // The track names are Windows-1250; the terminal may not be, so only the count is printed.
        std::printf("%u demo tracks in %s\n", unsigned(made.size()), argv[2]);
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "MakeDemoTracks: %s\n", e.what());
        return 1;
    }
}
