// Shows the program's two windows in the Win32 view, over the fakes, for a look or a
// screenshot: show_forms.exe [seconds (30)] [page of the notebook (0)] [1: the About window too].
#include <cstdlib>

#include "tests/platform/win32/program_in_windows.h"
#include "ui/controls.h"

int main(int argc, char** argv) {
    win32test::ProgramInWindows shown;
    forms::TMainForm& main = *shown.program.mainForm();
    main.TimePanel->setCaption("7:04:00 AM");
    if (argc > 2) main.TabbedNotebook->setPageIndex(std::atoi(argv[2]));
    if (argc > 3 && std::atoi(argv[3]) == 1) shown.program.aboutForm()->show();
    const DWORD until = GetTickCount() + 1000u * static_cast<DWORD>(argc > 1 ? std::atoi(argv[1]) : 30);
    while (GetTickCount() < until) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 100, QS_ALLINPUT);
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (shown.view.preTranslate(&msg)) continue;
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
    return 0;
}
