#include <QApplication>

#include "filesystem/file_system.h"
#include "window/qt/application.h"
#include "window/qt/desktop.h"
#include "window/qt/form1.h"

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  varnelo::SetUpApplication(application);
  varnelo::Desktop desktop;
  varnelo::Form1 form(desktop, varnelo::FileSystem::Default());
  form.show();
  return QApplication::exec();
}
