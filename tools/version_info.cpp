// Prints the version entry the program reports for a file (the text the log
// and the version box show), with "\n" line ends:
//   version-info FILE
// Exit status 0 when the file states a version, 1 when it states none (the
// entry says so), 2 on a usage error.
#include <cstdio>
#include <string>
#include <vector>

#include "ToolOptions.h"
#include "platform/Context.h"
#include "platform/FileChannels.h"
#include "platform/Paths.h"
#include "platform/PosixEnv.h"
#include "support/modVersion.h"
#include "ui/ConsoleUi.h"

int main(int argc, char** argv) {
  static const char kUsage[] = "usage: version-info FILE\n";
  if (auto status = AnswerOption(argc, argv, "version-info", kUsage)) return *status;
  if (argc != 2) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  platform::PosixEnv env;
  ui::ConsoleUi ui = ui::ConsoleUi::ForProcess();
  platform::FileChannels files;
  const platform::Context ctx{env, ui, files};
  std::vector<std::string> lines;
  const bool stated = modVersion::GetFileInformation(ctx, platform::ToProgramForm(argv[1]), lines);
  for (const std::string& entry : lines) {
    std::string text;
    for (std::size_t at = 0; at < entry.size(); ++at)
      if (entry.compare(at, 2, "\r\n") != 0) text += entry[at];  // CR LF: the CR goes
    std::printf("%s\n", text.c_str());
  }
  return stated ? 0 : 1;
}
