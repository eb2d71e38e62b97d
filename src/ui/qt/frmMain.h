// The main window of INI mode: the user picks a kind of data, reviews the
// host files the engine found (removing some, or browsing for one file
// instead) and starts the conversion. The window owns no import logic: it
// configures the process's engine, opens the run's log file, calls Import and
// shows the engine's log lines and progress.
//
// While an import runs (inside the Convert click, with events pumped by the
// engine's log writer) Convert, Clear, Browse, the options and Exit are
// disabled and a close request waits until the run ends: a second run or an
// unload mid-run would pull the engine out from under the running import.
#pragma once

#include <QWidget>
#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/CSImportEngine.h"
#include "platform/Context.h"
#include "startup/modIngestor.h"
#include "ui/CProgressBar.h"
#include "ui/qt/LabelOutput.h"

class QButtonGroup;
class QGroupBox;
class QLabel;
class QListWidget;
class QPushButton;
class QRadioButton;
class QToolButton;

class QtPictureBox;

// The per-user key the window keeps its place and last choices under.
inline constexpr const char* kPreferencesKey =
    "Software\\Norvel\\Kestova\\Utilities\\Ingestor\\Preferences";

class frmMain : public QWidget {
  Q_OBJECT

 public:
  // Data types by option index; 9 means "guess" (set by browsing for a file).
  static constexpr int kOptionCount = 9;
  static constexpr DataType kGuessDataType = DataType::Guess;

  // Builds the window and runs its load routine: placement, the progress bar,
  // and the engine settings taken from `args` (pieces 0-2). `engine` is the
  // process's engine; the window releases it when it unloads.
  frmMain(const platform::Context& ctx, const modIngestor::Arguments& args,
          std::unique_ptr<CSImportEngine>& engine);
  ~frmMain() override;

  // False when the load routine closed the window (no engine).
  bool Loaded() const { return loaded_; }
  // True while an import runs inside the Convert click.
  bool Running() const { return running_; }

  // Derives source and database from the data type and the host's
  // configuration file, configures the engine and refills the file list
  // (from the list itself when `fromList`). True unless a failure was trapped.
  bool GetImportSettings(bool fromList = false);
  // Runs one import with the current settings. True when Import was reached
  // and returned.
  bool ImportData();

  // The controls, for tests and the screenshot tool.
  QRadioButton* optDataType(int index) const { return options_.at(index); }
  QListWidget* lstFiles() const { return lstFiles_; }
  QLabel* lblFile() const { return lblFile_; }
  QLabel* lblProgress() const { return lblProgress_; }
  QtPictureBox* picProgress() const { return picProgress_; }
  QToolButton* cmdBrowse() const { return cmdBrowse_; }
  QPushButton* cmdClear() const { return cmdClear_; }
  QPushButton* cmdImport() const { return cmdImport_; }
  QPushButton* cmdExit() const { return cmdExit_; }
  ui::CProgressBar& ProgressBar() { return progressBar_; }
  const std::string& HostConfigurationFile() const { return hostConfigurationFile_; }

 protected:
  // Form_QueryUnload.
  void closeEvent(QCloseEvent* event) override;
  // Key preview: the window sees key presses before its controls.
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void BuildControls();
  void Form_Load();
  void optDataType_Click(int index);
  void cmdImport_Click();
  void cmdBrowse_Click(int index);
  void cmdClear_Click();
  void cmdExit_Click();
  void lstFiles_KeyDown(int key);
  // True when the keys were one of the hidden combinations.
  bool Form_KeyDown(int key, Qt::KeyboardModifiers modifiers);
  void ShowVersionBox();
  void ClearOptions();
  void SetRunning(bool running);
  int Pixels(int twips) const;
  int Twips(int pixels) const;
  // Shows a box titled with the program's title.
  platform::MsgAnswer Box(const std::string& text, platform::MsgButtons buttons,
                          platform::MsgIcon icon);

  platform::Context ctx_;
  modIngestor::Arguments args_;
  std::unique_ptr<CSImportEngine>& engine_;
  std::string databaseFolder_;
  std::string databaseFileName_;
  std::string hostConfigurationFile_;
  ui::CProgressBar progressBar_;
  ui::qt::LabelOutput output_;
  bool loaded_ = false;
  bool running_ = false;
  bool closePending_ = false;

  QGroupBox* fraImportDataType_ = nullptr;
  QButtonGroup* optionGroup_ = nullptr;
  std::array<QRadioButton*, kOptionCount> options_{};
  QLabel* lblFileInfo_ = nullptr;
  QListWidget* lstFiles_ = nullptr;
  QLabel* lblFileDescr_ = nullptr;
  QToolButton* cmdBrowse_ = nullptr;
  QLabel* lblFile_ = nullptr;
  QLabel* lblProgress_ = nullptr;
  QtPictureBox* picProgress_ = nullptr;
  QPushButton* cmdClear_ = nullptr;
  QPushButton* cmdImport_ = nullptr;
  QPushButton* cmdExit_ = nullptr;
};
