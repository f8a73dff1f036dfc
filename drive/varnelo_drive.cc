// Runs one command through the command frame exactly as the window does, with
// the folder as the drop box's text, and prints every box the frame shows:
//   box<TAB>title<TAB>text
// Exit status 0 whenever the command ran, whatever it reported.

#include <cstdio>
#include <cstring>
#include <string>

#include "commands/answering_host.h"
#include "commands/commands.h"
#include "filesystem/file_system.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>

#include <vector>

#include "filesystem/win32.h"
#endif

namespace varnelo {
namespace {

std::string Escaped(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '\n') {
      out += "\\n";
    } else if (c == '\r') {
      out += "\\r";
    } else if (c == '\t') {
      out += "\\t";
    } else {
      out += c;
    }
  }
  return out;
}

// Each box goes out as it is shown, so that a run killed midway has told
// what it showed before.
class PrintingHost : public AnsweringHost {
 public:
  using AnsweringHost::AnsweringHost;

 protected:
  void Shown(const std::string& title, const std::string& text) override {
    std::printf("box\t%s\t%s\n", Escaped(title).c_str(), Escaped(text).c_str());
    std::fflush(stdout);
  }
};

int Usage() {
  std::fprintf(stderr, "usage: varnelo-drive COMMAND FOLDER [--cancel]\ncommands:");
  for (const Command* command : AllCommands()) std::fprintf(stderr, " %s", command->name);
  std::fprintf(stderr, "\n");
  return 2;
}

int Main(int argc, char** argv) {
  if (argc < 3 || argc > 4) return Usage();
  bool cancel = argc == 4;
  if (cancel && std::strcmp(argv[3], "--cancel") != 0) return Usage();
  const Command* command = FindCommand(argv[1]);
  if (command == nullptr) {
    std::fprintf(stderr, "varnelo-drive: there is no command \"%s\"\n", argv[1]);
    return Usage();
  }
  PrintingHost host(argv[2], !cancel);
  RunCommand(*command, host, FileSystem::Default());
  return 0;
}

}  // namespace
}  // namespace varnelo

#ifdef _WIN32
int wmain(int argc, wchar_t** wide_argv) {
  // The boxes go out as they are, UTF-8 ended by "\n", as on Linux.
  _setmode(_fileno(stdout), _O_BINARY);
  std::vector<std::string> arguments;
  for (int i = 0; i < argc; ++i) arguments.push_back(varnelo::Utf8FromWide(wide_argv[i]));
  std::vector<char*> argv;
  for (std::string& argument : arguments) argv.push_back(argument.data());
  argv.push_back(nullptr);
  return varnelo::Main(argc, argv.data());
}
#else
int main(int argc, char** argv) { return varnelo::Main(argc, argv); }
#endif
