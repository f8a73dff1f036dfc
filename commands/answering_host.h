#ifndef VARNELO_COMMANDS_ANSWERING_HOST_H_
#define VARNELO_COMMANDS_ANSWERING_HOST_H_

#include <string>
#include <utility>

#include "commands/host.h"

namespace varnelo {

// A host without a window, for a command run unattended: the drop box holds
// the text given at the start, the confirmation gets the answer given then,
// and the scratch box gives back what was written into it. Every box is
// handed to Shown as it appears, the reports with an empty title; what
// becomes of it is the subclass's affair.
class AnsweringHost : public Host {
 public:
  AnsweringHost(std::string drop_box_text, bool answer_ok)
      : drop_box_text_(std::move(drop_box_text)), answer_ok_(answer_ok) {}

  bool Confirm(const std::string& prompt, const std::string& title) override {
    Shown(title, prompt);
    return answer_ok_;
  }
  void Report(const std::string& text) override { Shown("", text); }
  std::string DropBoxText() override { return drop_box_text_; }
  void SetScratchText(const std::string& text) override { scratch_ = text; }
  std::string ScratchText() override { return scratch_; }

 protected:
  virtual void Shown(const std::string& title, const std::string& text) = 0;

 private:
  std::string drop_box_text_;
  bool answer_ok_;
  std::string scratch_;
};

}  // namespace varnelo

#endif  // VARNELO_COMMANDS_ANSWERING_HOST_H_
