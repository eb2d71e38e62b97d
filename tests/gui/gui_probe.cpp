// Runs display detection once and prints what it decided:
//   console                         no display is usable
//   qt:<platform> interactive=<0|1> a Qt application was started
// and then the platform variable as the process is left with it:
//   QT_QPA_PLATFORM=<value>  or  QT_QPA_PLATFORM unset
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
  if (platform != nullptr)
    std::printf("QT_QPA_PLATFORM=%s\n", platform);
  else
    std::printf("QT_QPA_PLATFORM unset\n");
  return 0;
}
