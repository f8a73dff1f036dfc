#ifndef VARNELO_TESTS_SUPPORT_SCRIPTED_HOST_H_
#define VARNELO_TESTS_SUPPORT_SCRIPTED_HOST_H_

#include <string>
#include <utility>
#include <vector>

#include "commands/answering_host.h"
#include "commands/frame.h"
#include "filesystem/file_system.h"

namespace varnelo::testing {

// Answers the confirmation as told and records every box, as
// "title|text" (an empty title for the reports).
class ScriptedHost : public AnsweringHost {
 public:
  explicit ScriptedHost(std::string drop_box_text, bool answer_ok = true)
      : AnsweringHost(std::move(drop_box_text), answer_ok) {}

  std::vector<std::string> boxes;

 protected:
  void Shown(const std::string& title, const std::string& text) override {
    boxes.push_back(title + "|" + text);
  }
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
