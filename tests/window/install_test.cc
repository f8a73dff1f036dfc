// Installs the build into a staging folder, as a package build does, and
// checks that a desktop would find the program in its menu, with its icon,
// and that the installed program finds its help page; then packs it for
// Debian and checks the package.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDirIterator>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>

#include <algorithm>
#include <string>
#include <vector>

#include "tests/support/temp_folder.h"
#include "window/qt/application.h"

namespace varnelo::testing {
namespace {

struct ToolRun {
  int exit_code = -1;
  QString output;
};

ToolRun Execute(const QString& program, const QStringList& arguments, const QString& destdir = {}) {
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
  return {process.exitCode(), QString::fromUtf8(process.readAll())};
}

QString RunTool(const QString& program, const QStringList& arguments, const QString& destdir = {}) {
  ToolRun run = Execute(program, arguments, destdir);
  EXPECT_EQ(run.exit_code, 0) << program.toStdString() << ": " << run.output.toStdString();
  return run.output;
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

// Builds the Debian package of this build with its own packaging rules, as
// make package does.
class PackageTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // CPack needs the last two to find the program's libraries; without
    // them it would pack no dependency at all rather than fail.
    for (const char* tool : {"dpkg-deb", "dpkg-shlibdeps", "file"}) {
      if (QStandardPaths::findExecutable(tool).isEmpty()) {
        GTEST_SKIP() << tool << " is not installed (tools/bootstrap installs it)";
      }
    }
    RunTool(VARNELO_CPACK, {"--config", VARNELO_BUILD_DIR "/CPackConfig.cmake", "-B",
                            folder_ + "/cpack", "-D", "CPACK_OUTPUT_FILE_PREFIX=" + folder_});
    ASSERT_TRUE(QFileInfo::exists(package_)) << package_.toStdString();
  }

  std::string Field(const char* name) {
    return RunTool("dpkg-deb", {"-f", package_, name}).trimmed().toStdString();
  }

  TempFolder stage_;
  QString folder_ = QString::fromStdString(stage_.path());
  QString package_ = folder_ + "/varnelo_" VARNELO_VERSION "_amd64.deb";
};

TEST_F(PackageTest, HoldsTheInstalledTreeUnderUsrOwnedByRoot) {
  std::vector<std::string> files;
  // Each line: mode, owner, size, date, time, path.
  for (const QString& line :
       RunTool("dpkg-deb", {"-c", package_}).split('\n', Qt::SkipEmptyParts)) {
    QStringList fields = line.split(' ', Qt::SkipEmptyParts);
    ASSERT_EQ(fields.size(), 6) << line.toStdString();
    std::string mode = fields[0].toStdString(), path = fields[5].toStdString();
    EXPECT_EQ(fields[1].toStdString(), "root/root") << path;
    if (mode.starts_with('d')) continue;
    files.push_back(path);
    EXPECT_EQ(mode, path.starts_with("./usr/bin/") ? "-rwxr-xr-x" : "-rw-r--r--") << path;
  }
  std::sort(files.begin(), files.end());
  EXPECT_EQ(files, std::vector<std::string>({
                       "./usr/bin/varnelo",
                       "./usr/share/applications/varnelo.desktop",
                       "./usr/share/doc/varnelo/changelog.gz",
                       "./usr/share/doc/varnelo/copyright",
                       "./usr/share/icons/hicolor/48x48/apps/varnelo.png",
                       "./usr/share/varnelo/help/index.html",
                   }));

  // Unpacked anywhere, the program finds its help page as it would in /usr,
  // and the menu starts it from there.
  QString root = folder_ + "/root";
  RunTool("dpkg-deb", {"-x", package_, root});
  EXPECT_EQ(HelpPage(root + "/usr/bin").toStdString(),
            (root + "/usr/share/varnelo/help/index.html").toStdString());
  QString entry = root + "/usr/share/applications/varnelo.desktop";
  ASSERT_TRUE(QFileInfo::exists(entry));
  std::string text = ReadFile(entry.toStdString());
  EXPECT_NE(text.find("\nExec=\"/usr/bin/varnelo\"\n"), std::string::npos) << text;
}

TEST_F(PackageTest, NamesWhatTheProgramNeedsAndDescribesItInBothLanguages) {
  QStringList depends;
  for (const QString& item : QString::fromStdString(Field("Depends")).split(',')) {
    depends.append(item.section('(', 0, 0).trimmed());
  }
  // The libraries it links, and what it loads by name: the captions' font,
  // the Chinese texts of Qt's standard buttons, the TIFF reader.
  for (const char* needed : {"libc6", "libstdc++6", "libqt6core6", "libqt6gui6", "libqt6widgets6",
                             "libx11-6", "libjpeg62-turbo", "libpng16-16", "fonts-noto-cjk",
                             "qt6-translations-l10n", "qt6-image-formats-plugins"}) {
    EXPECT_TRUE(depends.contains(needed))
        << needed << " missing from: " << depends.join(", ").toStdString();
  }

  std::string description = Field("Description");
  EXPECT_TRUE(description.starts_with("tidy one folder at a time\n")) << description;
  EXPECT_NE(description.find("一次整理一个文件夹"), std::string::npos) << description;
}

TEST_F(PackageTest, LintianReportsNoError) {
  if (QStandardPaths::findExecutable("lintian").isEmpty()) {
    GTEST_SKIP() << "lintian is not installed (tools/bootstrap installs it)";
  }
  // It fails on errors only; its warnings and notes are shown but pass.
  ToolRun run = Execute("lintian", {package_});
  EXPECT_EQ(run.exit_code, 0) << run.output.toStdString();
  EXPECT_FALSE(run.output.contains(QRegularExpression("^E: ", QRegularExpression::MultilineOption)))
      << run.output.toStdString();
}

}  // namespace
}  // namespace varnelo::testing
