// The driver as the Windows build hands it out: wide arguments in, UTF-8
// boxes out, for all five commands on Windows paths.
#include <gtest/gtest.h>

#include "filesystem/win32.h"
#include "tests/support/plain_pictures.h"
#include "tests/support/temp_folder.h"
#include "tests/support/windows_process.h"

namespace varnelo {
namespace {

using testing::PutFile;
using testing::TempFolder;
using Tree = std::map<std::string, std::string>;

struct Ran {
  DWORD status;
  std::string output;
};

// Runs the driver beside this program with `arguments`, each quoted.
Ran Drive(const std::vector<std::string>& arguments) {
  std::wstring line = L"\"" + WideFromUtf8(VARNELO_DRIVE) + L"\"";
  for (const std::string& argument : arguments) line += L" \"" + WideFromUtf8(argument) + L"\"";
  SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
  HANDLE read_end, write_end;
  if (!CreatePipe(&read_end, &write_end, &inherit, 0)) throw std::runtime_error("no pipe");
  SetHandleInformation(read_end, HANDLE_FLAG_INHERIT, 0);
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdOutput = startup.hStdError = write_end;
  startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  PROCESS_INFORMATION process;
  try {
    process = testing::StartProcess(line, startup, true, "the driver");
  } catch (...) {
    CloseHandle(read_end);
    CloseHandle(write_end);
    throw;
  }
  CloseHandle(write_end);
  Ran ran{0, ""};
  char buffer[4096];
  for (DWORD got; ReadFile(read_end, buffer, sizeof buffer, &got, nullptr) && got > 0;) {
    ran.output.append(buffer, got);
  }
  CloseHandle(read_end);
  WaitForSingleObject(process.hProcess, INFINITE);
  GetExitCodeProcess(process.hProcess, &ran.status);
  CloseHandle(process.hProcess);
  CloseHandle(process.hThread);
  return ran;
}

// The confirmation, the preview's line where there is one, then the report.
std::string Boxes(const std::string& confirmation, const std::string& preview,
                  const std::string& report) {
  return "box\t请选择\t" + confirmation + "\n" +
         (preview.empty() ? "" : "preview\t" + preview + "\n") + "box\t\t" + report + "\n";
}

class WindowsDriveTest : public ::testing::Test {
 protected:
  Tree Contents() { return testing::Tree(root_.path()); }
  TempFolder root_;
};

TEST_F(WindowsDriveTest, RunsEachCommandOnAWindowsPathWithChineseNames) {
  const std::string folder = root_ / "照片";
  PutFile(folder + "\\a.jpg", testing::PlainJpeg(16, 16));
  PutFile(folder + "\\b.txt", "b");

  Ran ran = Drive({"extension", folder});
  EXPECT_EQ(ran.status, 0u);
  EXPECT_EQ(ran.output,
            Boxes("确认按扩展名分类？", "将移动 2 个文件，新建 2 个文件夹。", "操作已完成!!"));
  EXPECT_EQ(Contents().size(), 5u) << ::testing::PrintToString(Contents());
  EXPECT_TRUE(Contents().contains("照片/jpg/a.jpg"));

  ran = Drive({"flatten", folder});
  EXPECT_EQ(ran.output, Boxes("确认将所有文件放到根目录？ 这将会永久丢失文件目录!",
                              "将移动 2 个文件到根目录，删除 2 个子文件夹。", "操作已完成!!"));
  EXPECT_EQ(Contents(),
            (Tree{{"照片", "/"}, {"照片/a.jpg", testing::PlainJpeg(16, 16)}, {"照片/b.txt", "b"}}));

  ran = Drive({"type", folder});
  EXPECT_TRUE(ran.output.ends_with("box\t\t操作已完成!!\n")) << ran.output;
  EXPECT_TRUE(Contents().contains("照片/图片/a.jpg"));

  testing::SetModificationTime(folder + "\\文档\\b.txt", 1434326400);
  ran = Drive({"year", folder + "\\文档"});
  EXPECT_TRUE(ran.output.ends_with("box\t\t操作已完成!!\n")) << ran.output;
  EXPECT_TRUE(Contents().contains("照片/文档/2015年/b.txt"));

  ran = Drive({"resolution", folder + "\\图片"});
  EXPECT_TRUE(ran.output.ends_with("box\t\t操作已完成!!\n")) << ran.output;
  EXPECT_TRUE(Contents().contains("照片/图片/320p图片及以下/a.jpg"));
}

TEST_F(WindowsDriveTest, CancelChangesNothingAndAMissingFolderIsTold) {
  PutFile(root_ / "a.jpg", "a");
  Ran ran = Drive({"extension", root_.path(), "--cancel"});
  EXPECT_EQ(ran.output,
            "box\t请选择\t确认按扩展名分类？\npreview\t将移动 1 个文件，新建 1 个文件夹。\n");
  EXPECT_EQ(Contents(), (Tree{{"a.jpg", "a"}}));
  ran = Drive({"year", root_ / "不在"});
  EXPECT_EQ(ran.output, Boxes("确认按最后修改年份分类？", "", "请确认路径是否正确!!"));
  EXPECT_EQ(Drive({"nonsense", root_.path()}).status, 2u);
}

// The undo sets back the times of the folders the run changed: a time it
// cannot set would end it with the failure box instead.
TEST_F(WindowsDriveTest, AnUndoGivesTheFolderBack) {
  const std::string folder = root_ / "照片";
  PutFile(folder + "\\a.jpg", "a");
  PutFile(folder + "\\sub\\b.txt", "b");
  const Tree before = Contents();
  for (const char* command : {"extension", "flatten"}) {
    Ran ran = Drive({command, folder, "--undo"});
    EXPECT_TRUE(ran.output.ends_with("box\t\t撤销已完成!!\n")) << ran.output;
    EXPECT_EQ(Contents(), before) << command;
  }
}

}  // namespace
}  // namespace varnelo
