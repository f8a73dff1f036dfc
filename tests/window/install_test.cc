// Installs the build into a staging folder, as a package build does, and
// checks that a desktop would find the program in its menu, with its icon,
// and that the installed program finds its help page.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDirIterator>
#include <QFileInfo>
#include <QImage>
#include <QProcess>

#include "tests/support/temp_folder.h"
#include "window/application.h"

namespace varnelo::testing {
namespace {

QString RunTool(const QString& program, const QStringList& arguments, const QString& destdir = {}) {
  QProcess process;
  process.setProcessChannelMode(QProcess::MergedChannels);
  if (!destdir.isEmpty()) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("DESTDIR", destdir);
    process.setProcessEnvironment(environment);
  }
  process.start(program, arguments);
  EXPECT_TRUE(process.waitForFinished(120000)) << program.toStdString();
  EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(process.exitCode(), 0) << program.toStdString();
  return QString::fromUtf8(process.readAll());
}

QStringList FilesBelow(const QString& root) {
  QStringList files;
  QDirIterator it(root, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
  while (it.hasNext()) files.append(QDir(root).relativeFilePath(it.next()));
  files.sort();
  return files;
}

TEST(InstallTest, PutsProgramIconHelpAndMenuEntryUnderThePrefix) {
  TempFolder stage;
  QString destdir = QString::fromStdString(stage.path());
  RunTool(VARNELO_CMAKE, {"--install", VARNELO_BUILD_DIR, "--prefix", "/opt/varnelo"}, destdir);
  QString root = destdir + "/opt/varnelo";

  EXPECT_EQ(FilesBelow(destdir), QStringList({
                                     "opt/varnelo/bin/varnelo",
                                     "opt/varnelo/share/applications/varnelo.desktop",
                                     "opt/varnelo/share/doc/varnelo/changelog.gz",
                                     "opt/varnelo/share/doc/varnelo/copyright",
                                     "opt/varnelo/share/icons/hicolor/48x48/apps/varnelo.png",
                                     "opt/varnelo/share/varnelo/help/index.html",
                                 }));
  EXPECT_TRUE(QFileInfo(root + "/bin/varnelo").isExecutable());
  EXPECT_EQ(QImage(root + "/share/icons/hicolor/48x48/apps/varnelo.png").size(), QSize(48, 48));

  QString help = HelpPage(root + "/bin");
  EXPECT_EQ(help, root + "/share/varnelo/help/index.html");
  EXPECT_EQ(ReadFile(help.toStdString()),
            ReadFile(HelpPage(QCoreApplication::applicationDirPath()).toStdString()));

  QString entry = root + "/share/applications/varnelo.desktop";
  QStringList lines = QString::fromStdString(ReadFile(entry.toStdString())).split('\n');
  for (const char* line : {"Type=Application", "Name=Varnelo", "Name[zh_CN]=Varnelo 文件夹整理",
                           "Comment[zh_CN]=一次整理一个文件夹", "Categories=Utility;FileTools;",
                           "Icon=varnelo", "Exec=\"/opt/varnelo/bin/varnelo\""}) {
    EXPECT_TRUE(lines.contains(QString::fromUtf8(line))) << line;
  }
  EXPECT_EQ(RunTool("desktop-file-validate", {entry}), "");
}

}  // namespace
}  // namespace varnelo::testing
