#include "ui/qt/frmMain.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCloseEvent>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QTimer>
#include <QToolButton>
#include <exception>
#include <stdexcept>

#include "support/Conversions.h"
#include "support/ErrorReport.h"
#include "support/ResourceStrings.h"
#include "support/modFileIO.h"
#include "support/modINIFile.h"
#include "support/modRegistry.h"
#include "support/modResourceTools.h"
#include "support/modShow.h"
#include "support/modVersion.h"
#include "ui/Twips.h"
#include "ui/qt/QtPictureBox.h"
#include "ui/qt/WindowPlacement.h"

namespace {

constexpr int kClientWidth = 7335;
constexpr int kClientHeight = 8385;
constexpr ui::Colour kCaptionColour = ui::Rgb(10, 85, 68);
constexpr ui::Colour kFileBackColour = ui::Rgb(255, 255, 227);
constexpr int kKeyDelete = 46;

struct OptionLayout {
  const char* caption;
  int left, top, width;
  bool hidden;
};

// By option index, which is the engine's data-type number.
constexpr OptionLayout kOptions[frmMain::kOptionCount] = {
    {"Common responses", 250, 300, 3650, false},
    {"Private common responses", 250, 600, 3650, false},
    {"Global responses", 250, 900, 3650, false},
    {"Private global responses", 250, 1200, 3650, false},
    {"Appraisal indexing data (FileIndex)", 250, 1500, 3650, false},
    {"Lender information", 250, 1800, 3650, false},
    {"Neighborhood information", 4000, 1500, 2685, true},
    {"ZazOzur comparables", 250, 2100, 3650, false},
    {"Old ZazOzur comparables", 4000, 1800, 3650, true},
};

QString Q(const std::string& text) {
  return QString::fromStdString(text);
}
std::string S(const QString& text) {
  return text.toStdString();
}

QColor ToQColor(ui::Colour c) {
  return QColor(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF);
}

void SetTextColour(QWidget* widget, ui::Colour colour) {
  QPalette palette = widget->palette();
  palette.setColor(QPalette::WindowText, ToQColor(colour));
  widget->setPalette(palette);
}

std::string WithBackslash(std::string folder) {
  if (folder.empty() || folder.back() != '\\') folder += '\\';
  return folder;
}

// Every CR LF of `text` followed by a tab, so an entry indents as one block.
std::string Indented(const std::string& text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    out += text[i];
    if (text[i] == '\n' && i > 0 && text[i - 1] == '\r') out += '\t';
  }
  return out;
}

// Where Form_Load and ImportData were when a failure ended them (shown in
// their error boxes).
enum class LoadStep {
  Start = 1,
  Placement = 2,
  ProgressBar = 3,
  Engine = 4,
  Settings = 5,
  Output = 6
};
enum class ImportStep { Start = 1, Source = 2, Log = 3, Import = 4, Finish = 5 };

}  // namespace

frmMain::frmMain(const platform::Context& ctx, const modIngestor::Arguments& args,
                 std::unique_ptr<CSImportEngine>& engine)
    : ctx_(ctx), args_(args), engine_(engine) {
  BuildControls();
  Form_Load();
}

frmMain::~frmMain() {
  // The bar must let go of the picture box before the box is destroyed, and
  // an engine that outlives the window must not keep pointers into it.
  progressBar_.Attach(nullptr);
  if (engine_) {
    if (engine_->OutputObject() == &output_) engine_->SetOutputObject(nullptr);
    if (engine_->Progress() == &progressBar_) engine_->SetProgress(nullptr);
  }
}

int frmMain::Pixels(int twips) const {
  return ui::TwipsToPixels(twips, logicalDpiX());
}
int frmMain::Twips(int pixels) const {
  return ui::PixelsToTwips(pixels, logicalDpiX());
}

platform::MsgAnswer frmMain::Box(const std::string& text, platform::MsgButtons buttons,
                                 platform::MsgIcon icon) {
  return ctx_.ui.MessageBox(text, ResourceString(res::kTitle), buttons, icon);
}

void frmMain::BuildControls() {
  setWindowTitle("Kestova - data converter");
  setFixedSize(Pixels(kClientWidth), Pixels(kClientHeight));
  auto place = [this](QWidget* w, int left, int top, int width, int height) {
    w->setGeometry(Pixels(left), Pixels(top), Pixels(width), Pixels(height));
  };

  fraImportDataType_ = new QGroupBox("Select the type of data you wish to import...", this);
  place(fraImportDataType_, 100, 50, 7135, 2500);
  // The frame's caption ignores the palette in some styles; the option
  // buttons keep the window's text colour.
  fraImportDataType_->setStyleSheet(
      QString("QGroupBox::title { color: %1; }").arg(ToQColor(kCaptionColour).name()));
  optionGroup_ = new QButtonGroup(this);
  for (int i = 0; i < kOptionCount; ++i) {
    const OptionLayout& layout = kOptions[i];
    auto* option = new QRadioButton(layout.caption, fraImportDataType_);
    // Positions inside the frame are relative to the frame.
    option->setGeometry(Pixels(layout.left), Pixels(layout.top), Pixels(layout.width), Pixels(255));
    if (layout.hidden) {
      option->setVisible(false);
      option->setEnabled(false);
    }
    optionGroup_->addButton(option, i);
    options_[i] = option;
    connect(option, &QRadioButton::clicked, this, [this, i] { optDataType_Click(i); });
  }

  lblFileInfo_ = new QLabel(
      "Review the files below (Kestova automatically selects the appropriate files based on "
      "your choice above)...",
      this);
  place(lblFileInfo_, 105, 2650, 7140, 495);
  lblFileInfo_->setWordWrap(true);
  SetTextColour(lblFileInfo_, kCaptionColour);

  lstFiles_ = new QListWidget(this);
  place(lstFiles_, 100, 3100, 7135, 2985);
  lstFiles_->setSelectionMode(QAbstractItemView::ExtendedSelection);

  lblFileDescr_ = new QLabel("OR, select a single file to import...", this);
  place(lblFileDescr_, 105, 6200, 7140, 255);
  SetTextColour(lblFileDescr_, kCaptionColour);

  cmdBrowse_ = new QToolButton(this);
  place(cmdBrowse_, 100, 6500, 375, 375);
  cmdBrowse_->setIcon(style()->standardIcon(QStyle::SP_DirOpenIcon));
  cmdBrowse_->setIconSize(QSize(16, 16));
  cmdBrowse_->setToolTip("Select the location you want to back up to...");
  connect(cmdBrowse_, &QToolButton::clicked, this, [this] { cmdBrowse_Click(0); });

  lblFile_ = new QLabel(this);
  place(lblFile_, 495, 6550, 6740, 255);
  lblFile_->setAutoFillBackground(true);
  QPalette filePalette = lblFile_->palette();
  filePalette.setColor(QPalette::Window, ToQColor(kFileBackColour));
  lblFile_->setPalette(filePalette);

  lblProgress_ = new QLabel("Status", this);
  place(lblProgress_, 105, 6900, 7140, 505);
  lblProgress_->setWordWrap(true);
  lblProgress_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  SetTextColour(lblProgress_, kCaptionColour);
  output_.SetLabel(lblProgress_);

  picProgress_ = new QtPictureBox(this);
  place(picProgress_, 100, 7400, 7135, 255);
  picProgress_->SetBackColor(ui::Rgb(192, 192, 192));
  picProgress_->SetForeColor(ui::Rgb(255, 255, 255));
  picProgress_->SetFillColor(ui::Rgb(10, 85, 68));

  auto button = [&](const char* caption, int left, const char* tip) {
    auto* b = new QPushButton(caption, this);
    place(b, left, 7850, 1100, 375);
    b->setToolTip(tip);
    return b;
  };
  cmdClear_ = button("C&lear", 2022,
                     "Clears all current selections and files and allows you to start over...");
  cmdImport_ = button("&Convert", 3117, "Import data using the settings you chose above...");
  cmdExit_ = button("E&xit", 4212, "Close the data importer application and return to Kestova...");
  connect(cmdClear_, &QPushButton::clicked, this, [this] { cmdClear_Click(); });
  connect(cmdImport_, &QPushButton::clicked, this, [this] { cmdImport_Click(); });
  connect(cmdExit_, &QPushButton::clicked, this, [this] { cmdExit_Click(); });

  // Tab order: the visible options top to bottom, the list, the buttons; the
  // private options come last.
  std::vector<QWidget*> order = {options_[0], options_[2], options_[4], options_[5], options_[6],
                                 options_[7], options_[8], lstFiles_,   cmdBrowse_,  cmdClear_,
                                 cmdImport_,  cmdExit_,    options_[1], options_[3]};
  for (std::size_t i = 1; i < order.size(); ++i) setTabOrder(order[i - 1], order[i]);

  // Key preview: every control hands its key presses to the window first.
  installEventFilter(this);
  for (QWidget* child : findChildren<QWidget*>()) child->installEventFilter(this);
}

void frmMain::Form_Load() {
  support::TrapStages<LoadStep>(ctx_.ui, "Form_Load::frmMain", 0, [&](LoadStep& step) {
    modProject::CenterForm(ctx_.ui, *this);

    step = LoadStep::Placement;
    std::int32_t top = modRegistry::GetRegistryNumeric(ctx_, modRegistry::HKEY_CURRENT_USER,
                                                       kPreferencesKey, "Top", false);
    std::int32_t left = modRegistry::GetRegistryNumeric(ctx_, modRegistry::HKEY_CURRENT_USER,
                                                        kPreferencesKey, "Left", false);
    if (top != 0) move(x(), Pixels(top));
    if (left != 0) move(Pixels(left), y());

    step = LoadStep::ProgressBar;
    progressBar_.Attach(picProgress_);
    progressBar_.SetUseGradientFill(true);
    progressBar_.SetGradientStart(picProgress_->FillColor());
    progressBar_.SetGradientEnd(picProgress_->ForeColor());

    step = LoadStep::Engine;
    if (!engine_) {
      close();
      return 0;
    }

    step = LoadStep::Settings;
    engine_->SetExtractor(args_.pieces.at(0));
    hostConfigurationFile_ = args_.pieces.at(1);
    engine_->SetOutputFolder(args_.pieces.at(2));

    step = LoadStep::Output;
    engine_->SetOutputObject(&output_);
    engine_->SetProgress(&progressBar_);
    loaded_ = true;
    return 0;
  });
}

void frmMain::optDataType_Click(int index) {
  if (!engine_ || running_) return;
  engine_->SetDataType(static_cast<DataType>(index));
  if (engine_->DataType() == DataType::Neighborhoods)
    engine_->SetAdditionalFile(hostConfigurationFile_);
  GetImportSettings(false);
}

bool frmMain::GetImportSettings(bool fromList) {
  return support::Trap(ctx_.ui, "GetImportSettings::frmMain", false, false, [&] {
    if (!engine_) throw std::runtime_error("The import engine has been released.");
    databaseFileName_ = modResourceTools::disLoadResString(
        ctx_.ui, res::kDatabaseFileBase + Number(engine_->DataType()));
    const std::string directories = ResourceString(res::kDirectoriesSection);
    databaseFolder_ = WithBackslash(modINIFile::GetINIString(
        ctx_, directories, ResourceString(res::kDataDirKey), "", hostConfigurationFile_));

    std::string source;
    const std::string singleFile = S(lblFile_->text());
    if (!singleFile.empty()) {
      source = singleFile;
    } else if (engine_->DataType() == DataType::PrivateCommonResponses ||
               engine_->DataType() == DataType::PrivateGlobalResponses) {
      source = WithBackslash(modINIFile::GetINIString(
          ctx_, directories, ResourceString(res::kPrivateDirKey), "", hostConfigurationFile_));
      std::string documents = WithBackslash(modRegistry::GetRegistryString(
          ctx_, modRegistry::HKEY_CURRENT_USER, ResourceString(res::kShellFoldersKey),
          ResourceString(res::kPersonalValue), true));
      std::string personal = ResourceString(res::kPersonalFolderPattern);
      std::string application = modINIFile::GetINIString(ctx_, ResourceString(res::kVendorSection),
                                                         ResourceString(res::kApplicationNameKey),
                                                         "", hostConfigurationFile_);
      if (std::size_t at = personal.find("%s"); at != std::string::npos)
        personal.replace(at, 2, application);
      databaseFolder_ = documents + personal;
    } else {
      source = databaseFolder_;
    }

    engine_->SetUsingUI(true);
    engine_->ClearSourceFiles();
    engine_->SetOutputDatabase(databaseFolder_ + databaseFileName_);
    engine_->SetSource(source);

    if (!fromList) {
      engine_->LoadSourceFiles();
    } else {
      std::vector<std::string> names;
      for (int i = 0; i < lstFiles_->count(); ++i) names.push_back(S(lstFiles_->item(i)->text()));
      engine_->LoadSourceFilesFromList(&names);
    }

    lstFiles_->clear();
    if (auto files = engine_->GetSourceFiles())
      for (const std::string& name : *files) lstFiles_->addItem(Q(name));
    return true;
  });
}

void frmMain::cmdImport_Click() {
  if (running_) return;
  ImportData();
}

bool frmMain::ImportData() {
  if (running_ || !engine_) return false;
  SetRunning(true);
  bool result =
      support::TrapStages<ImportStep>(ctx_.ui, "ImportData::frmMain", false, [&](ImportStep& step) {
        // Whatever ends the run puts the cursor back and closes the log (before
        // a failure is reported).
        struct RunCleanup {
          frmMain& form;
          std::int16_t logfile = 0;
          bool cursorSet = false;
          ~RunCleanup() {
            if (cursorSet) QApplication::restoreOverrideCursor();
            if (logfile != 0) {
              if (form.engine_) form.engine_->SetLogfile(0);
              form.ctx_.files.Close(logfile);
            }
          }
        } cleanup{*this};
        std::int16_t& logfile = cleanup.logfile;
        bool& cursorSet = cleanup.cursorSet;
        GetImportSettings(true);

        step = ImportStep::Source;
        const std::string source = engine_->Source();
        if (!modFileIO::FolderExists(ctx_, source, modFileIO::Errors::Silent)) {
          if (!lblFile_->text().isEmpty()) {
            // The one file chosen must still be there; a folder is never made in
            // its place.
            if (!modFileIO::FileExists(ctx_, source, modFileIO::Missing::Report,
                                       modFileIO::Errors::Silent)) {
              lblProgress_->setText(Q("Source file DOES NOT exist: '" + source + "'."));
              return false;
            }
          } else if (!modFileIO::CreateDirectoryStructure(ctx_, source,
                                                          modFileIO::Errors::Silent) ||
                     !modFileIO::FolderExists(ctx_, source, modFileIO::Errors::Silent)) {
            // A source folder that can neither be found nor made (a file may
            // hold its name) ends the run without a word.
            return false;
          }
        }

        step = ImportStep::Log;
        std::string logPath =
            engine_->OutputFolder() +
            support::FormatDateTime(ResourceString(res::kLogFilePattern), ctx_.env.LocalNow());
        std::string opened;
        logfile = ctx_.files.Open(ctx_.env, logPath, &opened);
        if (logfile == 0) throw std::runtime_error("Cannot create the log file '" + logPath + "'.");
        engine_->SetLogfile(logfile);
        engine_->SetLogPath(opened);

        // The long imports; 8 has no name but has always been warned about.
        const DataType type = engine_->DataType();
        if (type == DataType::FileIndex || type == DataType::Lenders ||
            type == DataType::Comparables || Number(type) == 8) {
          platform::MsgAnswer answer =
              Box("Please be aware that because of the number of comparisons\r\n"
                  "and their complexity this import may take a large amount of\r\n"
                  "time; this is NORMAL. You can simply minimize this application\r\n"
                  "and continue to work.\r\n\r\n"
                  "Do you still wish to continue with this import?",
                  platform::MsgButtons::YesNo, platform::MsgIcon::Exclamation);
          if (answer != platform::MsgAnswer::Yes) {
            engine_->WriteToLog("Import cancelled; nothing was imported.", "", -1);
            return false;
          }
        }

        step = ImportStep::Import;
        // The private types keep their database in a folder of the user's own
        // that the host may never have made; without it no database can be put
        // in place. A folder that cannot be made is reported by the engine.
        if (!modFileIO::FolderExists(ctx_, databaseFolder_, modFileIO::Errors::Silent))
          modFileIO::CreateDirectoryStructure(ctx_, databaseFolder_, modFileIO::Errors::Silent);
        QApplication::setOverrideCursor(Qt::WaitCursor);
        cursorSet = true;
        engine_->Import();
        QApplication::restoreOverrideCursor();
        cursorSet = false;

        step = ImportStep::Finish;
        engine_->SetLogfile(0);
        ctx_.files.Close(logfile);
        logfile = 0;
        return true;
      });
  SetRunning(false);
  return result;
}

void frmMain::cmdBrowse_Click(int index) {
  if (index != 0 || running_ || !engine_) return;
  std::string initialFolder = engine_->Source();
  int filterIndex = 0;
  std::string fileTitle;
  std::string chosen =
      modShow::ShowOpen(ctx_, initialFolder, "All files|*.*", filterIndex,
                        "Select the file to import from...", fileTitle, 4096 + 524288);
  if (chosen.empty()) return;
  engine_->SetSource(chosen);
  lblFile_->setText(Q(chosen));
  lstFiles_->clear();
  Box("REMEMBER, you MUST select an import type above when\r\n"
      "importing from a specific file! Failure to do so will cause\r\n"
      "unexpected results!",
      platform::MsgButtons::OK, platform::MsgIcon::Exclamation);
  ClearOptions();
  engine_->SetDataType(kGuessDataType);
}

void frmMain::ClearOptions() {
  // An exclusive group always keeps one button checked.
  optionGroup_->setExclusive(false);
  for (QRadioButton* option : options_) option->setChecked(false);
  optionGroup_->setExclusive(true);
}

void frmMain::cmdClear_Click() {
  if (running_) return;
  ClearOptions();
  lstFiles_->clear();
  lblFile_->clear();
  lblProgress_->setText("Ready.");
  if (isVisible()) options_[0]->setFocus();
}

void frmMain::lstFiles_KeyDown(int key) {
  if (key != kKeyDelete) return;
  for (int i = lstFiles_->count() - 1; i >= 0; --i)
    if (lstFiles_->item(i)->isSelected()) delete lstFiles_->takeItem(i);
  lstFiles_->setCurrentRow(-1);
}

void frmMain::cmdExit_Click() {
  if (running_) return;
  close();
}

void frmMain::closeEvent(QCloseEvent* event) {
  if (running_) {
    closePending_ = true;
    event->ignore();
    return;
  }
  support::Trap(ctx_.ui, "Form_QueryUnload::frmMain", false, 0, [&] {
    using modRegistry::HKEY_CURRENT_USER;
    if (!isMinimized()) {
      modRegistry::SaveRegistryNumeric(ctx_, HKEY_CURRENT_USER, kPreferencesKey, "Top", Twips(y()),
                                       true);
      modRegistry::SaveRegistryNumeric(ctx_, HKEY_CURRENT_USER, kPreferencesKey, "Left", Twips(x()),
                                       true);
    }
    modRegistry::SaveRegistryString(ctx_, HKEY_CURRENT_USER, kPreferencesKey, "Last file",
                                    S(lblFile_->text()), true);
    modRegistry::SaveRegistryString(ctx_, HKEY_CURRENT_USER, kPreferencesKey, "Last folder",
                                    engine_ ? engine_->Source() : std::string(), true);
    return 0;
  });
  progressBar_.Attach(nullptr);
  // Its destruction closes the record set and the database connection.
  engine_.reset();
  event->accept();
}

bool frmMain::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() != QEvent::KeyPress) return QWidget::eventFilter(watched, event);
  auto* key = static_cast<QKeyEvent*>(event);
  if (Form_KeyDown(key->key(), key->modifiers())) return true;
  if (watched == lstFiles_ && key->key() == Qt::Key_Delete) {
    lstFiles_KeyDown(kKeyDelete);
    return true;
  }
  return QWidget::eventFilter(watched, event);
}

bool frmMain::Form_KeyDown(int key, Qt::KeyboardModifiers modifiers) {
  // Both Ctrl and Alt must be held; Shift makes no difference.
  if (!modifiers.testFlag(Qt::ControlModifier) || !modifiers.testFlag(Qt::AltModifier))
    return false;
  if (key != Qt::Key_D && key != Qt::Key_N && key != Qt::Key_V) return false;
  // The support switches change engine settings; not while a run uses them.
  if (running_ || !engine_) return true;
  if (key == Qt::Key_D) {
    Box("Advanced feature 'LEAVE output files' has been turned on.", platform::MsgButtons::OK,
        platform::MsgIcon::Information);
    engine_->SetLeaveOutputFiles(true);
  } else if (key == Qt::Key_N) {
    Box("Advanced feature 'NO comparisons' has been turned on.", platform::MsgButtons::OK,
        platform::MsgIcon::Information);
    engine_->SetNoComparisons(true);
  } else {
    ShowVersionBox();
  }
  return true;
}

void frmMain::ShowVersionBox() {
  const modVersion::ProgramVersion own = modVersion::OwnVersion();
  std::string text = own.title + ":\r\n\r\n\tCompany Name: " + own.companyName +
                     "\r\n\tFile Description: " + own.fileDescription +
                     "\r\n\tFile Version: " + std::to_string(own.major) + "." +
                     std::to_string(own.minor) + "." + std::to_string(own.revision) +
                     "\r\n\tInternal Name: \r\n\tLegal Copyright: " + own.legalCopyright;
  std::vector<std::string> entries;
  if (modVersion::GetFileInformation(ctx_, engine_->Extractor(), entries)) {
    text += "\r\n\r\nExtractor:\r\n\r\n\t";
    for (const std::string& entry : entries) text += Indented(entry);
  }
  Box(text, platform::MsgButtons::OK, platform::MsgIcon::Information);
}

void frmMain::SetRunning(bool running) {
  running_ = running;
  for (QRadioButton* option : options_)
    option->setEnabled(!running && option->isVisibleTo(fraImportDataType_));
  cmdImport_->setEnabled(!running);
  cmdClear_->setEnabled(!running);
  cmdBrowse_->setEnabled(!running);
  cmdExit_->setEnabled(!running);
  if (!running && closePending_) {
    closePending_ = false;
    QTimer::singleShot(0, this, [this] { close(); });
  }
}
