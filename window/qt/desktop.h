#ifndef VARNELO_WINDOW_QT_DESKTOP_H_
#define VARNELO_WINDOW_QT_DESKTOP_H_

#include <QMessageBox>

class QWindow;

namespace varnelo {

// The window's ways into the desktop that wait for a person or act on the
// real screen. Tests stand in for them; the window never calls them another way.
class Desktop {
 public:
  virtual ~Desktop() = default;

  // Shows the finished box modally and answers the button that closed it.
  virtual QMessageBox::StandardButton Ask(QMessageBox& box);

  // Lets the window follow the mouse as though its caption had been pressed.
  virtual void StartMove(QWindow* window);

  // Whether a compositor blends windows, so that a window may have
  // see-through pixels of its own.
  virtual bool CompositionEnabled();

  // Has the display server hand over every input event made so far, so that
  // the next pass of the event loop sees them all.
  virtual void CatchUpInput();
};

}  // namespace varnelo

#endif  // VARNELO_WINDOW_QT_DESKTOP_H_
