// Runs one command through the command frame exactly as the window does, with
// the folder as the drop box's text, and prints every box the frame shows:
//   box<TAB>title<TAB>text
// A confirmation with a preview is followed by
//   preview<TAB>the line under the question
// With --undo, the run is then undone as Ctrl+Z in the window does it, its
// question answered OK, and its boxes printed the same way. With
// --no-preview the confirmation is answered without working out the preview,
// so that the command's own cost can be measured apart from it. With
// --record the run is recorded for an undo, as every run in the window is,
// and left as it is: the cost an undo is measured against.
// Exit status 0 whenever the command ran, whatever it reported.

#include <cstdio>
#include <string>
#include <string_view>

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
  PrintingHost(const std::string& drop_box_text, bool ok, bool previews = true)
      : AnsweringHost(drop_box_text, ok), previews_(previews) {}

  bool ConfirmRun(const std::string& prompt, const std::string& title,
                  const std::function<std::optional<Preview>()>& preview) override {
    std::optional<Preview> told = previews_ ? preview() : std::nullopt;
    bool ok = Confirm(prompt, title);
    if (told) Print("preview", told->summary);
    return ok;
  }

 protected:
  void Shown(const std::string& title, const std::string& text) override {
    Print("box", Escaped(title) + "\t" + Escaped(text));
  }

 private:
  static void Print(const char* kind, const std::string& line) {
    std::printf("%s\t%s\n", kind, line.c_str());
    std::fflush(stdout);
  }

  const bool previews_;
};

int Usage() {
  std::fprintf(stderr,
               "usage: varnelo-drive COMMAND FOLDER [--cancel] [--undo] [--no-preview] "
               "[--record]\ncommands:");
  for (const Command* command : AllCommands()) std::fprintf(stderr, " %s", command->name);
  std::fprintf(stderr, "\n");
  return 2;
}

int Main(int argc, char** argv) {
  if (argc < 3 || argc > 7) return Usage();
  bool cancel = false, undo = false, previews = true, record = false;
  for (int i = 3; i < argc; ++i) {
    std::string_view option = argv[i];
    if (option == "--cancel" && !cancel && !undo) {
      cancel = true;
    } else if (option == "--undo" && !undo) {
      undo = true;
    } else if (option == "--no-preview" && previews) {
      previews = false;
    } else if (option == "--record" && !record) {
      record = true;
    } else {
      return Usage();
    }
  }
  const Command* command = FindCommand(argv[1]);
  if (command == nullptr) {
    std::fprintf(stderr, "varnelo-drive: there is no command \"%s\"\n", argv[1]);
    return Usage();
  }
  History history;
  PrintingHost host(argv[2], !cancel, previews);
  RunCommand(*command, host, FileSystem::Default(), undo || record ? &history : nullptr);
  if (undo) {
    PrintingHost undoing(argv[2], true);
    UndoLatest(history, undoing, FileSystem::Default());
  }
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
