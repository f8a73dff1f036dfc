#ifndef VARNELO_TESTS_WINDOWS_DRAGGED_H_
#define VARNELO_TESTS_WINDOWS_DRAGGED_H_

// What programs hand over in a drag and drop, as the file manager does.
#include <windows.h>
// After windows.h, for the drop's own structure.
#include <ole2.h>
#include <shlobj.h>

#include <cstring>
#include <string>
#include <vector>

namespace varnelo::testing {

// The list of files of a drop of `paths`.
inline HDROP DropOf(const std::vector<std::wstring>& paths) {
  std::wstring list;
  for (const std::wstring& path : paths) list += path + L'\0';
  list += L'\0';
  HGLOBAL memory = GlobalAlloc(GHND, sizeof(DROPFILES) + list.size() * sizeof(wchar_t));
  auto* drop = static_cast<DROPFILES*>(GlobalLock(memory));
  drop->pFiles = sizeof(DROPFILES);
  drop->fWide = TRUE;
  std::memcpy(drop + 1, list.data(), list.size() * sizeof(wchar_t));
  GlobalUnlock(memory);
  return static_cast<HDROP>(memory);
}

// What a drag carries: a list of files, or only text. It lives on its
// user's stack, for the time of the drag.
class Dragged final : public IDataObject {
 public:
  explicit Dragged(std::vector<std::wstring> paths, bool files = true)
      : paths_(std::move(paths)), files_(files) {}
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID id, void** object) override {
    *object = id == IID_IUnknown || id == IID_IDataObject ? this : nullptr;
    return *object ? S_OK : E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE GetData(FORMATETC* format, STGMEDIUM* medium) override {
    if (QueryGetData(format) != S_OK) return DV_E_FORMATETC;
    *medium = {TYMED_HGLOBAL, {.hGlobal = DropOf(paths_)}, nullptr};
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE QueryGetData(FORMATETC* format) override {
    bool offered = files_ ? format->cfFormat == CF_HDROP : format->cfFormat == CF_UNICODETEXT;
    return offered && (format->tymed & TYMED_HGLOBAL) ? S_OK : DV_E_FORMATETC;
  }
  HRESULT STDMETHODCALLTYPE GetDataHere(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetCanonicalFormatEtc(FORMATETC*, FORMATETC* out) override {
    out->ptd = nullptr;
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE SetData(FORMATETC*, STGMEDIUM*, BOOL) override { return E_NOTIMPL; }
  // Another program asks which forms the drag offers.
  HRESULT STDMETHODCALLTYPE EnumFormatEtc(DWORD direction, IEnumFORMATETC** forms) override {
    if (direction != DATADIR_GET) return E_NOTIMPL;
    FORMATETC form = {static_cast<CLIPFORMAT>(files_ ? CF_HDROP : CF_UNICODETEXT), nullptr,
                      DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    return SHCreateStdEnumFmtEtc(1, &form, forms);
  }
  HRESULT STDMETHODCALLTYPE DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override {
    return OLE_E_ADVISENOTSUPPORTED;
  }
  HRESULT STDMETHODCALLTYPE DUnadvise(DWORD) override { return OLE_E_ADVISENOTSUPPORTED; }
  HRESULT STDMETHODCALLTYPE EnumDAdvise(IEnumSTATDATA**) override {
    return OLE_E_ADVISENOTSUPPORTED;
  }

 private:
  std::vector<std::wstring> paths_;
  bool files_;
};

}  // namespace varnelo::testing

#endif  // VARNELO_TESTS_WINDOWS_DRAGGED_H_
