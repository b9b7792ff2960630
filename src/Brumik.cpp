// The program's entry: the application object, the main window, the message loop.
#include <windows.h>

#include "Forms.h"
#include "Unit1.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    ApplicationScope framework;
    Application->SetTitle("Brumik");
    Application->CreateForm(Form1);
    Application->Run();
    return 0;
}
