#include "core/frame/program_state.h"

namespace orvex {

Text PacketTitle(int16_t speed) {
  return " Orvex -" + SignedDigits(speed) + " WPM";
}

bool SaveSettings(ProgramState& state, MessageSink& sink) {
  if (!state.EnvFile) return true;
  const Result written = state.EnvFile->WriteEnvironmentFile(state.Env);
  if (!written.ok()) {
    sink.Warning(kEnvFileTitle, written.text());
    return false;
  }
  for (int n = 1; n <= 8; ++n)
    if (!state.Env.Message(n).empty())
      state.Captions.SetMessageMenuCaption(n, state.Env.Message(n));
  return true;
}

void ShowEnvProblems(const std::vector<Result>& problems, MessageSink& sink) {
  for (const Result& problem : problems) sink.Warning(kEnvFileTitle, problem.text());
}

}  // namespace orvex
