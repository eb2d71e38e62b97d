#include "ui/qt/QtMainWindowHost.h"

#include <QApplication>

#include "ui/qt/QtUserInterface.h"
#include "ui/qt/frmMain.h"

int QtMainWindowHost::Run(const modIngestor::Arguments& args,
                          std::unique_ptr<CSImportEngine>& engine) {
  frmMain window(ctx_, args, engine);
  if (!window.Loaded()) return modIngestor::kExitSuccess;
  ui_.SetMainWindow(&window);
  window.show();
  QApplication::exec();
  ui_.SetMainWindow(nullptr);
  return modIngestor::kExitSuccess;
}
