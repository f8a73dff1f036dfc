#ifndef VARNELO_WINDOW_WIN32_DROP_TARGET_H_
#define VARNELO_WINDOW_WIN32_DROP_TARGET_H_

#include <functional>

#include "window/win32/windows_ui.h"

namespace varnelo {

// The drop box's side of the desktop's drag and drop. A drag that carries a
// list of files is offered a copy, or a link where the source allows no
// copy: the box takes the paths, never the items, so the source must not
// take the drop for a move and remove what was dragged. Anything else is
// refused, and nothing dragged is ever inserted into the box.
class DropTarget final : public IDropTarget {
 public:
  // `take` is handed the list of each drop, for the time of the call.
  static DropTarget* Make(std::function<void(HDROP)> take);

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID id, void** object) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  // The last release deletes the object.
  ULONG STDMETHODCALLTYPE Release() override;
  HRESULT STDMETHODCALLTYPE DragEnter(IDataObject* data, DWORD keys, POINTL at,
                                      DWORD* effect) override;
  HRESULT STDMETHODCALLTYPE DragOver(DWORD keys, POINTL at, DWORD* effect) override;
  HRESULT STDMETHODCALLTYPE DragLeave() override;
  HRESULT STDMETHODCALLTYPE Drop(IDataObject* data, DWORD keys, POINTL at, DWORD* effect) override;

 private:
  explicit DropTarget(std::function<void(HDROP)> take) : take_(std::move(take)) {}
  ~DropTarget() = default;
  DWORD Answer(DWORD allowed) const;

  std::function<void(HDROP)> take_;
  ULONG references_ = 1;
  bool carries_files_ = false;  // the drag over the box now
};

}  // namespace varnelo

#endif  // VARNELO_WINDOW_WIN32_DROP_TARGET_H_
