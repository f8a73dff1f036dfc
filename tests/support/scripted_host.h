#ifndef VARNELO_TESTS_SUPPORT_SCRIPTED_HOST_H_
#define VARNELO_TESTS_SUPPORT_SCRIPTED_HOST_H_

#include <string>
#include <vector>

#include "commands/frame.h"
#include "commands/host.h"
#include "filesystem/file_system.h"

namespace varnelo::testing {

// Answers the confirmation as told and records every box, as
// "title|text" (an empty title for the reports).
class ScriptedHost : public Host {
 public:
  explicit ScriptedHost(std::string drop_box_text, bool answer_ok = true)
      : drop_box_text_(std::move(drop_box_text)), answer_ok_(answer_ok) {}

  bool Confirm(const std::string& prompt, const std::string& title) override {
    boxes.push_back(title + "|" + prompt);
    return answer_ok_;
  }
  void Report(const std::string& text) override { boxes.push_back("|" + text); }
  std::string DropBoxText() override { return drop_box_text_; }
  void SetScratchText(const std::string& text) override { scratch = text; }
  std::string ScratchText() override { return scratch; }

  std::vector<std::string> boxes;
  std::string scratch;

 private:
  std::string drop_box_text_;
  bool answer_ok_;
};

// Runs `command` with the drop box holding `drop_box_text`, over `fs`,
// answering the confirmation with OK (or Cancel), and answers the boxes
// shown.
inline std::vector<std::string> RunScripted(const Command& command,
                                            const std::string& drop_box_text,
                                            FileSystem* fs = FileSystem::Default(),
                                            bool ok = true) {
  ScriptedHost host(drop_box_text, ok);
  RunCommand(command, host, fs);
  return host.boxes;
}

}  // namespace varnelo::testing

#endif  // VARNELO_TESTS_SUPPORT_SCRIPTED_HOST_H_
