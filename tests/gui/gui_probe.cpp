// Runs display detection once and prints its decision ("console", or
// "qt:<platform> interactive=<0|1>"), then QT_QPA_PLATFORM as it is left.
#include <cstdio>
#include <cstdlib>

#include "ui/qt/GuiStartup.h"

int main(int argc, char** argv) {
  bool interactive = true;  // StartGui must set it either way
  std::unique_ptr<QApplication> app = ui::qt::StartGui(argc, argv, interactive);
  if (app)
    std::printf("qt:%s interactive=%d\n", qPrintable(QGuiApplication::platformName()),
                interactive ? 1 : 0);
  else
    std::printf("console\n");
  const char* platform = std::getenv("QT_QPA_PLATFORM");
  std::printf("QT_QPA_PLATFORM%s%s\n", platform ? "=" : " unset", platform ? platform : "");
  return 0;
}
