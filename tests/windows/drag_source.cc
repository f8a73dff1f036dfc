// Drags the paths it is given to another program, as the file manager
// does: pressing its window starts the drag, releasing the button drops,
// and its caption then tells how the drop was answered.
//   varnelo_drag_source.exe PATH...
#include <string>
#include <vector>

#include "tests/windows/dragged.h"

namespace {

std::vector<std::wstring> paths;

class Source final : public IDropSource {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID id, void** object) override {
    *object = id == IID_IUnknown || id == IID_IDropSource ? this : nullptr;
    return *object ? S_OK : E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE QueryContinueDrag(BOOL escape, DWORD keys) override {
    if (escape) return DRAGDROP_S_CANCEL;
    return keys & MK_LBUTTON ? S_OK : DRAGDROP_S_DROP;
  }
  HRESULT STDMETHODCALLTYPE GiveFeedback(DWORD) override { return DRAGDROP_S_USEDEFAULTCURSORS; }
};

LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM w, LPARAM l) {
  if (message == WM_LBUTTONDOWN) {
    varnelo::testing::Dragged files(paths);
    Source source;
    DWORD effect = DROPEFFECT_NONE;
    HRESULT result =
        DoDragDrop(&files, &source, DROPEFFECT_COPY | DROPEFFECT_MOVE | DROPEFFECT_LINK, &effect);
    // A file manager would remove the items of a drop answered as a move.
    const wchar_t* said = result != DRAGDROP_S_DROP   ? L"not dropped"
                          : effect == DROPEFFECT_COPY ? L"dropped as a copy"
                          : effect & DROPEFFECT_MOVE  ? L"dropped as a move"
                                                      : L"dropped otherwise";
    SetWindowTextW(window, said);
    return 0;
  }
  if (message == WM_DESTROY) PostQuitMessage(0);
  return DefWindowProcW(window, message, w, l);
}

}  // namespace

int wmain(int count, wchar_t** arguments) {
  for (int i = 1; i < count; ++i) paths.emplace_back(arguments[i]);
  OleInitialize(nullptr);
  WNDCLASSW type = {};
  type.lpfnWndProc = Procedure;
  type.hInstance = GetModuleHandleW(nullptr);
  type.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  type.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  type.lpszClassName = L"DragSource";
  RegisterClassW(&type);
  HWND window = CreateWindowW(L"DragSource", L"drag source", WS_OVERLAPPEDWINDOW, 600, 440, 180,
                              140, nullptr, nullptr, type.hInstance, nullptr);
  ShowWindow(window, SW_SHOW);
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) DispatchMessageW(&message);
  OleUninitialize();
  return 0;
}
