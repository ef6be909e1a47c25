// Entry point: splash, format names, settings, then batches until "E&xit".
#include "settings/settings.h"
#include "ui/batch_window.h"
#include "ui/ui.h"

#include <commctrl.h>
#include <objbase.h>

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    app_instance = instance;
    // The folder browser and the file dialog's shell view expect COM on
    // this thread.
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&controls);

    show_splash();
    load_format_descriptions(instance);
    load_settings();
    while (run_batch()) {
    }
    save_settings();

    if (SUCCEEDED(com))
        CoUninitialize();
    return 0;
}
