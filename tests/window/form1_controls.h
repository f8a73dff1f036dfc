#ifndef VARNELO_TESTS_WINDOW_FORM1_CONTROLS_H_
#define VARNELO_TESTS_WINDOW_FORM1_CONTROLS_H_

#include <gtest/gtest.h>

#include <QPushButton>
#include <stdexcept>
#include <string>

#include "window/qt/drop_box.h"

namespace varnelo::testing {

// Thrown where a test reaches a control that is not there as it expects:
// the test has failed and cannot go on.
class MissingControl : public std::logic_error {
 public:
  using std::logic_error::logic_error;
};

// The window's control `name`, which must be a T. findChild knows a kind by
// its meta-object, so every control class of the window declares Q_OBJECT:
// else a plain text box would pass for a DropBox. Call it from the test's
// body, not from code the event loop runs, as it ends the test by throwing.
template <typename T>
T& Find(QWidget& form, const char* name) {
  if (T* control = form.findChild<T*>(name, Qt::FindDirectChildrenOnly)) return *control;
  QWidget* other = form.findChild<QWidget*>(name, Qt::FindDirectChildrenOnly);
  std::string problem = other == nullptr
                            ? std::string("no control ") + name
                            : std::string(name) + " is a " + other->metaObject()->className() +
                                  ", not a " + T::staticMetaObject.className();
  ADD_FAILURE() << problem;
  throw MissingControl(problem);
}

inline void SetDropBox(QWidget& form, const std::string& text) {
  Find<DropBox>(form, "Text1").SetBytes(QByteArray::fromStdString(text));
}

}  // namespace varnelo::testing

#endif  // VARNELO_TESTS_WINDOW_FORM1_CONTROLS_H_
