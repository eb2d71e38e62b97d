// Pictures of the windows after a real import from a sample host:
//   window-screenshots EXTRACTOR HOST_FOLDER OUTPUT_FOLDER PNG_FOLDER
// Loads the main window on the host's Zev.ini, imports the appraisal index
// (which shows the file progress window), answers every box Yes, and writes
// PNG_FOLDER/main-window.png and PNG_FOLDER/file-progress.png. Run it on a
// display (tools/screenshots.sh starts a virtual one).
#include <QApplication>
#include <QPixmap>
#include <QRadioButton>
#include <cstdio>
#include <memory>
#include <string>

#include "platform/Paths.h"
#include "platform/PosixEnv.h"
#include "ui/ConsoleUi.h"
#include "ui/qt/QtUserInterface.h"
#include "ui/qt/frmFileProgress.h"
#include "ui/qt/frmMain.h"

namespace {

// Keeps a picture of the file progress window as it is just before it unloads.
class PhotographedProgress final : public platform::FileProgressWindow {
 public:
  PhotographedProgress(std::unique_ptr<frmFileProgress> window, std::string png)
      : window_(std::move(window)), png_(std::move(png)) {}
  ~PhotographedProgress() override {
    QApplication::processEvents();
    window_->grab().save(QString::fromStdString(png_));
  }
  void SetStatus(const std::string& text) override { window_->SetStatus(text); }
  void SetProgressText(const std::string& text) override { window_->SetProgressText(text); }
  ui::CProgressBar& Bar() override { return window_->Bar(); }
  void Show() override { window_->Show(); }

 private:
  std::unique_ptr<frmFileProgress> window_;
  std::string png_;
};

// Answers every question Yes, so the import runs without a person.
class UnattendedUi final : public QtUserInterface {
 public:
  UnattendedUi(platform::Env& env, platform::UserInterface& fallback, std::string png)
      : QtUserInterface(env, true, fallback), png_(std::move(png)) {}
  platform::MsgAnswer MessageBox(const std::string&, const std::string&,
                                 platform::MsgButtons buttons, platform::MsgIcon) override {
    return buttons == platform::MsgButtons::OK ? platform::MsgAnswer::OK : platform::MsgAnswer::Yes;
  }
  std::unique_ptr<platform::FileProgressWindow> LoadFileProgress() override {
    return std::make_unique<PhotographedProgress>(
        std::make_unique<frmFileProgress>(*this, MainWindow()), png_);
  }

 private:
  std::string png_;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 5) {
    std::fprintf(stderr,
                 "usage: window-screenshots EXTRACTOR HOST_FOLDER OUTPUT_FOLDER PNG_FOLDER\n");
    return 2;
  }
  QApplication app(argc, argv);
  const std::string pngFolder = argv[4];
  platform::PosixEnv env;
  ui::ConsoleUi console = ui::ConsoleUi::ForProcess();
  platform::FileChannels files;
  UnattendedUi windows(env, console, pngFolder + "/file-progress.png");
  platform::Context ctx{env, windows, files};

  modIngestor::Arguments args;
  args.pieces = {platform::ToProgramForm(argv[1]),
                 platform::ToProgramForm(std::string(argv[2]) + "/Zev.ini"),
                 platform::ToProgramForm(argv[3]) + "\\"};
  args.count = 3;
  args.iniMode = true;
  auto engine = std::make_unique<CSImportEngine>(ctx);
  frmMain window(ctx, args, engine);
  if (!window.Loaded()) return 1;
  windows.SetMainWindow(&window);
  window.show();
  QApplication::processEvents();
  window.optDataType(4)->click();
  const bool imported = window.ImportData();
  QApplication::processEvents();
  const bool saved = window.grab().save(QString::fromStdString(pngFolder + "/main-window.png"));
  window.close();
  if (!imported || !saved) {
    std::fprintf(stderr, "window-screenshots: the import or the picture failed\n");
    return 1;
  }
  std::printf("%s/main-window.png\n%s/file-progress.png\n", pngFolder.c_str(), pngFolder.c_str());
  return 0;
}
