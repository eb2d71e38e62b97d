// The ingestor executable: the command tail is argv[1..] joined with single
// spaces, as the host passes it.
#include <cstdio>
#include <string>

#include "platform/ConsoleUi.h"
#include "platform/Context.h"
#include "platform/PosixEnv.h"
#include "startup/modIngestor.h"

int main(int argc, char** argv) {
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
  platform::ConsoleUi ui = platform::ConsoleUi::ForProcess();
  platform::FileChannels files;
  platform::Context ctx{env, ui, files};
  return modIngestor::Main(ctx, tail);
}
