#ifndef VARNELO_WINDOW_QT_APPLICATION_H_
#define VARNELO_WINDOW_QT_APPLICATION_H_

#include <QString>

class QApplication;

namespace varnelo {

// Readies the application for the window: its name (the caption of boxes
// without a title of their own), its icon, standard buttons in Chinese
// whatever the system language, and installed fonts in place of the ones the
// window is designed with.
void SetUpApplication(QApplication& application);

// The help page for the program in `program_folder`, in the build folder or
// an installed tree; empty when there is none.
QString HelpPage(const QString& program_folder);

}  // namespace varnelo

#endif  // VARNELO_WINDOW_QT_APPLICATION_H_
