// velmora.exe: the operator's window. Takes no arguments; closing the window, log-off and shut-down
// run the exit order, and the status is 0.

#include <windows.h>

#include "base/Exception.h"
#include "base/Utf16.h"
#include "win/Main.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int showCommand)
{
    try {
        int status;
        {
            velmora::TForm1 form;
            ShowWindow(form.Handle(), showCommand);
            SetFocus(form.Control(velmora::TForm1::IdEditPort));
            status = velmora::TForm1::RunMessageLoop(form.Handle());
            // Leaving this block runs the exit order: the watch, the server, then the window.
        }
        return status;
    } catch (const std::exception& error) {
        MessageBoxW(nullptr, velmora::WideOf(error.what()).c_str(), L"velmora", MB_OK | MB_ICONERROR);
        return 1;
    }
}
