#include "window/win32/drop_target.h"

namespace varnelo {
namespace {

FORMATETC FileList() { return {CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL}; }

bool CarriesFiles(IDataObject* data) {
  FORMATETC format = FileList();
  return data && data->QueryGetData(&format) == S_OK;
}

}  // namespace

DropTarget* DropTarget::Make(std::function<void(HDROP)> take) {
  return new DropTarget(std::move(take));
}

HRESULT DropTarget::QueryInterface(REFIID id, void** object) {
  if (!object) return E_POINTER;
  if (id != IID_IUnknown && id != IID_IDropTarget) {
    *object = nullptr;
    return E_NOINTERFACE;
  }
  *object = static_cast<IDropTarget*>(this);
  AddRef();
  return S_OK;
}

ULONG DropTarget::AddRef() { return ++references_; }

ULONG DropTarget::Release() {
  ULONG left = --references_;
  if (left == 0) delete this;
  return left;
}

DWORD DropTarget::Answer(DWORD allowed) const {
  if (!carries_files_) return DROPEFFECT_NONE;
  if (allowed & DROPEFFECT_COPY) return DROPEFFECT_COPY;
  return allowed & DROPEFFECT_LINK;
}

HRESULT DropTarget::DragEnter(IDataObject* data, DWORD /*keys*/, POINTL /*at*/, DWORD* effect) {
  carries_files_ = CarriesFiles(data);
  *effect = Answer(*effect);
  return S_OK;
}

HRESULT DropTarget::DragOver(DWORD /*keys*/, POINTL /*at*/, DWORD* effect) {
  *effect = Answer(*effect);
  return S_OK;
}

HRESULT DropTarget::DragLeave() {
  carries_files_ = false;
  return S_OK;
}

HRESULT DropTarget::Drop(IDataObject* data, DWORD /*keys*/, POINTL /*at*/, DWORD* effect) {
  carries_files_ = CarriesFiles(data);
  *effect = Answer(*effect);
  carries_files_ = false;
  FORMATETC format = FileList();
  STGMEDIUM medium = {};
  if (*effect == DROPEFFECT_NONE || data->GetData(&format, &medium) != S_OK) {
    *effect = DROPEFFECT_NONE;
    return S_OK;
  }
  if (medium.tymed == TYMED_HGLOBAL) {
    take_(static_cast<HDROP>(medium.hGlobal));
  } else {
    *effect = DROPEFFECT_NONE;
  }
  ReleaseStgMedium(&medium);
  return S_OK;
}

}  // namespace varnelo
