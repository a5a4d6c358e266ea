// What the window commands open, recorded instead of shown.
#pragma once

#include <functional>
#include <vector>

#include "core/frame/window_commands.h"

namespace orvex::test {

class RecordingServices : public WindowServices, public FileChooser {
 public:
  // Answers as set; an answer the prompt's check refuses is answered all
  // the same (a prompt that lets anything through).
  bool Prompt(const Text& t, const Text& label, Text* text, const PromptCheck& check) override {
    prompts.push_back(t + "|" + label + "|" + *text);
    lastCheck = check;
    *text = answer;
    return ok;
  }
  void SetTitle(const Text& t) override { title = t; }
  void OpenCWOptions() override {}
  void ShowHelp(int context) override { helps.push_back(context); }
  void ShowTextFile(const Text&) override {}
  void ExitProgram() override {
    if (onExit) onExit();
  }
  std::optional<std::string> ChooseFileToRead(const Text&, const Text&,
                                              const std::string&) override {
    return std::nullopt;
  }

  std::vector<Text> prompts;
  PromptCheck lastCheck;
  std::vector<int> helps;
  Text answer, title;
  bool ok = true;
  std::function<void()> onExit;
};

}  // namespace orvex::test
