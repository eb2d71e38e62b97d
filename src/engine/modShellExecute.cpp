#include "engine/modShellExecute.h"

#include <algorithm>
#include <exception>

#include "support/ErrorReport.h"

namespace modShellExecute {

namespace {

constexpr const char* kRoutine = "LaunchApplication::modShellExecute";

// The arguments after the program: quoted texts taken literally (no escape
// rule, so a '\' before the closing quote stays), other words split at spaces.
std::vector<std::string> SplitArguments(const std::string& text, std::size_t pos) {
  std::vector<std::string> arguments;
  for (;;) {
    while (pos < text.size() && text[pos] == ' ') ++pos;
    if (pos >= text.size()) break;
    std::size_t end;
    if (text[pos] == '"') {
      end = text.find('"', pos + 1);
      if (end == std::string::npos) end = text.size();  // unclosed: runs to the end
      arguments.push_back(text.substr(pos + 1, end - pos - 1));
      pos = end + 1;
    } else {
      end = text.find(' ', pos);
      if (end == std::string::npos) end = text.size();
      arguments.push_back(text.substr(pos, end - pos));
      pos = end;
    }
  }
  return arguments;
}

// May throw what the Env throws; LaunchApplication reports it.
std::optional<CommandLine> Split(const platform::Context& ctx, const std::string& full) {
  std::size_t start = full.find_first_not_of(' ');
  if (start == std::string::npos) return std::nullopt;

  CommandLine line;
  std::size_t rest;
  if (full[start] == '"') {
    std::size_t close = full.find('"', start + 1);
    if (close == std::string::npos) close = full.size();
    line.program = full.substr(start + 1, close - start - 1);
    rest = close + 1;
  } else {
    // As the loader does for an unquoted path: try each prefix ending before
    // a space, shortest first, then the whole text. A path has no quotes, so
    // the search stops at the first one.
    std::size_t quote = full.find('"', start);
    std::size_t firstSpace = full.find(' ', start);
    rest = std::string::npos;
    for (std::size_t end = firstSpace;; end = full.find(' ', end + 1)) {
      std::size_t stop = std::min(end, full.size());
      if (quote != std::string::npos && stop > quote) break;
      if (full[stop - 1] != ' ' && ctx.env.IsExecutableFile(full.substr(start, stop - start))) {
        rest = stop;
        break;
      }
      if (end == std::string::npos) break;
    }
    if (rest == std::string::npos) rest = std::min(firstSpace, full.size());
    line.program = full.substr(start, rest - start);
  }
  line.arguments = SplitArguments(full, rest);
  return line;
}

}  // namespace

std::optional<CommandLine> SplitCommandLine(const platform::Context& ctx, const std::string& full) {
  return support::Guard<support::NoStage>(
      std::optional<CommandLine>{}, [&] { return Split(ctx, full); }, [](const char*, int) {});
}

std::optional<std::int32_t> RunAndWait(const platform::Context& ctx, const std::string& program,
                                       const std::vector<std::string>& arguments,
                                       std::string& reason) {
  return support::Guard<support::NoStage>(
      std::optional<std::int32_t>{},
      [&]() -> std::optional<std::int32_t> {
        std::optional<int> status = ctx.env.RunProcess(program, arguments, true, reason);
        if (!status) return std::nullopt;
        return static_cast<std::int32_t>(*status);
      },
      [&](const char* what, int) { reason = what; });
}

// Where LaunchApplication was when a failure ended it.
enum class LaunchStage { Start = 1, Split = 2, Run = 3, ExitCode = 4 };

bool LaunchApplication(const platform::Context& ctx, const std::string& command,
                       const std::string& arguments, bool wait, std::int32_t creationFlags,
                       std::int32_t& exitCode) {
  (void)creationFlags;  // priority classes do not exist here; every program runs normally
  return support::TrapStages<LaunchStage>(
      ctx.ui, kRoutine, false,
      [&](LaunchStage& stage) {
        std::string full = command;
        if (!arguments.empty()) full += " " + arguments;

        stage = LaunchStage::Split;
        std::optional<CommandLine> line = Split(ctx, full);
        if (!line) return true;  // nothing to start: as if it could not be started

        stage = LaunchStage::Run;
        std::string reason;
        std::optional<int> status =
            ctx.env.RunProcess(line->program, line->arguments, wait, reason);

        stage = LaunchStage::ExitCode;
        if (status && wait) exitCode = static_cast<std::int32_t>(*status);
        return true;
      },
      " at(");
}

}  // namespace modShellExecute
