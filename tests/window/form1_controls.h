#ifndef VARNELO_TESTS_WINDOW_FORM1_CONTROLS_H_
#define VARNELO_TESTS_WINDOW_FORM1_CONTROLS_H_

#include <gtest/gtest.h>

#include <QPushButton>
#include <string>

#include "window/drop_box.h"

namespace varnelo::testing {

// The window's controls by name, as the tests reach them.
inline QWidget* Control(QWidget& form, const char* name) {
  auto* control = form.findChild<QWidget*>(name);
  EXPECT_NE(control, nullptr) << name;
  return control;
}

inline QPushButton* Button(QWidget& form, const char* name) {
  return static_cast<QPushButton*>(Control(form, name));
}

inline void SetDropBox(QWidget& form, const std::string& text) {
  static_cast<DropBox*>(Control(form, "Text1"))->SetBytes(QByteArray::fromStdString(text));
}

}  // namespace varnelo::testing

#endif  // VARNELO_TESTS_WINDOW_FORM1_CONTROLS_H_
