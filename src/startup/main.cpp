// The ingestor executable: the command tail is argv[1..] joined with single
// spaces, as the host passes it. With a usable display the window system
// provides the user interface (and INI mode's main window); otherwise the
// console does. A first argument starting with "--" chooses the option form
// instead (see startup/OptionForm.h).
#include <cstdio>
#include <string>
#include <vector>

#include "platform/Context.h"
#include "platform/PosixEnv.h"
#include "startup/OptionForm.h"
#include "startup/modIngestor.h"
#include "support/VersionBlock.h"
#include "ui/ConsoleUi.h"

#ifdef INGESTOR_WITH_GUI
#include <QApplication>
#include <memory>

#include "ui/qt/GuiStartup.h"
#include "ui/qt/QtMainWindowHost.h"
#include "ui/qt/QtUserInterface.h"
#endif

// What the main window's version box, and anyone reading this binary's
// version, finds.
INGESTOR_PROGRAM_VERSION_BLOCK();

namespace {

// The option form always runs on the console: it is meant for terminals and
// scripts, and never opens the main window.
int RunOptionForm(const std::vector<std::string>& args) {
  platform::PosixEnv env;
  ui::ConsoleUi console = ui::ConsoleUi::ForProcess();
  platform::FileChannels files;
  optionForm::Options options;
  const std::string refusal = optionForm::Parse({env, console, files}, args, options);
  if (!refusal.empty()) {
    env.PrintError("ingestor: " + refusal + ". Try 'ingestor --help'.");
    return modIngestor::kExitParameterError;
  }
  if (options.help || options.version) {
    if (options.help)
      std::fputs(modIngestor::UsageText().c_str(), stdout);
    else
      std::printf("ingestor %s\n", INGESTOR_VERSION);
    return modIngestor::kExitSuccess;
  }
  // Quiet: questions are still asked, but no progress line is drawn.
  ui::ConsoleUi quiet(stdin, stderr, console.CanAsk(), false);
  std::string summary;
  const int status =
      optionForm::Run({env, options.quiet ? quiet : console, files}, options, summary);
  std::fputs(summary.c_str(), stdout);
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  if (optionForm::Chosen(args)) return RunOptionForm(args);
  std::string tail;
  for (int i = 1; i < argc; ++i) {
    if (i > 1) tail += ' ';
    tail += argv[i];
  }
  if (tail == "--help" || tail == "-h") {
    std::fputs(modIngestor::UsageText().c_str(), stdout);
    return 0;
  }
  if (tail == "--version") {
    std::printf("ingestor %s\n", INGESTOR_VERSION);
    return 0;
  }
  platform::PosixEnv env;
  ui::ConsoleUi console = ui::ConsoleUi::ForProcess();
  platform::FileChannels files;
#ifdef INGESTOR_WITH_GUI
  bool interactive = false;
  std::unique_ptr<QApplication> app = ui::qt::StartGui(argc, argv, interactive);
  if (app) {
    QtUserInterface windows(env, interactive, console);
    platform::Context ctx{env, windows, files};
    QtMainWindowHost mainWindow(ctx, windows);
    return modIngestor::Main(ctx, tail, &mainWindow);
  }
#endif
  platform::Context ctx{env, console, files};
  return modIngestor::Main(ctx, tail);
}
