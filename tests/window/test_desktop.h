#ifndef VARNELO_TESTS_WINDOW_TEST_DESKTOP_H_
#define VARNELO_TESTS_WINDOW_TEST_DESKTOP_H_

#include <QAbstractButton>
#include <QGuiApplication>
#include <QStringList>
#include <vector>

#include "window/qt/desktop.h"

namespace varnelo::testing {

// What a box showed, as the person in front of it would see it.
struct BoxSeen {
  QString title;
  QString text;
  QMessageBox::Icon icon;
  QStringList buttons;
  QString default_button;
  QString escape_button;
  bool busy_cursor;     // whether the wait cursor was up while it showed
  QString informative;  // the line under the text
  QString details;      // behind the details button
};

// Answers every box at once, counts the moves asked for, and says whether a
// compositor runs as told.
class TestDesktop : public Desktop {
 public:
  QMessageBox::StandardButton Ask(QMessageBox& box) override {
    QStringList buttons;
    for (QAbstractButton* button : box.buttons()) buttons.append(button->text());
    buttons.sort();
    boxes.push_back({box.windowTitle(), box.text(), box.icon(), buttons,
                     box.defaultButton() ? box.defaultButton()->text() : QString(),
                     box.escapeButton() ? box.escapeButton()->text() : QString(),
                     QGuiApplication::overrideCursor() != nullptr, box.informativeText(),
                     box.detailedText()});
    return box.button(answer) != nullptr ? answer : QMessageBox::Ok;
  }
  void StartMove(QWindow* /*window*/) override { ++moves; }
  bool CompositionEnabled() override { return composition; }

  QMessageBox::StandardButton answer = QMessageBox::Ok;
  bool composition = false;
  std::vector<BoxSeen> boxes;
  int moves = 0;
};

}  // namespace varnelo::testing

#endif  // VARNELO_TESTS_WINDOW_TEST_DESKTOP_H_
