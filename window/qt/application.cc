#include "window/qt/application.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QFont>
#include <QIcon>
#include <QLibraryInfo>
#include <QTranslator>

namespace varnelo {
namespace {

// The window's fonts are Windows families; on Linux the same Simplified
// Chinese look comes from Noto Sans CJK, which has no bold to fall into.
void SubstituteFonts() {
  for (const char* family : {"微软雅黑", "黑体"}) {
    QFont::insertSubstitution(QString::fromUtf8(family), "Noto Sans CJK SC");
  }
}

void TranslateStandardButtons(QApplication& application) {
  auto* translator = new QTranslator(&application);
  if (translator->load("qtbase_zh_CN", QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    application.installTranslator(translator);
  }
}

}  // namespace

void SetUpApplication(QApplication& application) {
  QApplication::setApplicationName("Varnelo");
  QApplication::setWindowIcon(QIcon(":/varnelo.png"));
  TranslateStandardButtons(application);
  SubstituteFonts();
}

QString HelpPage(const QString& program_folder) {
  for (const char* relative : {"help/index.html", VARNELO_INSTALLED_HELP}) {
    QString path = QDir::cleanPath(QDir(program_folder).filePath(relative));
    if (QFileInfo::exists(path)) return path;
  }
  return {};
}

}  // namespace varnelo
