#ifndef VARNELO_WINDOW_WIN32_WINDOWS_UI_H_
#define VARNELO_WINDOW_WIN32_WINDOWS_UI_H_

// The Win32 headers of the window, after windows.h, which they need first.
#include "filesystem/win32.h"
// clang-format off
#include <commctrl.h>
#include <dwmapi.h>
#include <ole2.h>
#include <shellapi.h>
// clang-format on

#endif  // VARNELO_WINDOW_WIN32_WINDOWS_UI_H_
