// The program's entry: the application object, the main window, the message loop.
#include <windows.h>

#include <cstdlib>

#include "Forms.h"
#include "Unit1.h"

// No exception ever leaves one of the program's callbacks; should the C++
// runtime have to end the program all the same, it ends it at once. The
// library's own handler would name the exception on a console the program
// does not have, and bring a name demangler of some 46 KB with it.
namespace __gnu_cxx {
void __verbose_terminate_handler() {
    std::abort();
}
}  // namespace __gnu_cxx

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    const TPlayerInstance instance;
    if (instance.HandToRunningPlayer(CommandLine())) return 0;
    ApplicationScope framework;
    Application->SetTitle("Brumik");
    Application->CreateForm(Form1);
    Application->Run();
    return 0;
}
