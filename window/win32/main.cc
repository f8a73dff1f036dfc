
#include "filesystem/file_system.h"
#include "window/win32/form1.h"
#include "window/win32/windows_ui.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show) {
  // The drop box takes drops from the file manager, and the progress window
  // has a bar of the common controls.
  OleInitialize(nullptr);
  INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&controls);
  int status;
  {
    varnelo::Form1 form(instance, varnelo::FileSystem::Default());
    status = form.Run(show);
  }
  OleUninitialize();
  return status;
}
