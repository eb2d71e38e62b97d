#include "ui/qt/QtUserInterface.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QStringList>

#include "platform/Paths.h"
#include "ui/FileFilter.h"
#include "ui/qt/frmFileProgress.h"

namespace {

using platform::MsgAnswer;
using platform::MsgButtons;
using platform::MsgIcon;

// Message texts break lines with CR LF; Qt wants LF.
QString ForDisplay(const std::string& text) {
  QString out = QString::fromUtf8(text);
  out.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  return out;
}

QMessageBox::Icon ToQtIcon(MsgIcon icon) {
  switch (icon) {
    case MsgIcon::Information:
      return QMessageBox::Information;
    case MsgIcon::Question:
      return QMessageBox::Question;
    case MsgIcon::Exclamation:
      return QMessageBox::Warning;
    case MsgIcon::Critical:
      return QMessageBox::Critical;
    case MsgIcon::None:
      break;
  }
  return QMessageBox::NoIcon;
}

struct ButtonSet {
  QMessageBox::StandardButtons buttons;
  QMessageBox::StandardButton first;   // the default button
  QMessageBox::StandardButton escape;  // Escape and closing the box
};

ButtonSet ToQtButtons(MsgButtons buttons) {
  switch (buttons) {
    case MsgButtons::OKCancel:
      return {QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Ok, QMessageBox::Cancel};
    case MsgButtons::YesNo:
      return {QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes, QMessageBox::No};
    case MsgButtons::YesNoCancel:
      return {QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, QMessageBox::Yes,
              QMessageBox::Cancel};
    case MsgButtons::OK:
      break;
  }
  return {QMessageBox::Ok, QMessageBox::Ok, QMessageBox::Ok};
}

MsgAnswer ToAnswer(int button, QMessageBox::StandardButton escape) {
  switch (button) {
    case QMessageBox::Ok:
      return MsgAnswer::OK;
    case QMessageBox::Cancel:
      return MsgAnswer::Cancel;
    case QMessageBox::Yes:
      return MsgAnswer::Yes;
    case QMessageBox::No:
      return MsgAnswer::No;
    default:
      break;
  }
  // Closed some other way: as if Escape had been pressed.
  return ToAnswer(escape, QMessageBox::Ok);
}

struct QtFilters {
  QStringList names;  // one per pair, in order
  QStringList shown;  // what the dialog shows of each, with the details hidden

  // 1-based number of the pair the dialog reports as selected, 0 if none.
  int Number(const QString& selected) const {
    for (qsizetype i = 0; i < names.size(); ++i)
      if (selected == names[i] || selected == shown[i]) return static_cast<int>(i) + 1;
    return 0;
  }
};

// "Text files (*.txt)" + "*.txt;*.log" -> "Text files (*.txt) (*.[tT][xX][tT] ...)". Qt
// reads the patterns from the last parentheses and, with the details hidden,
// shows the rest: the description as given.
QtFilters ToQtFilters(const std::string& filter) {
  QtFilters out;
  for (const ui::FilterPair& pair : ui::SplitFilter(filter)) {
    QStringList globs;
    for (const std::string& glob : ui::CaseBlindGlobs(pair.patterns))
      globs << QString::fromUtf8(glob);
    if (globs.isEmpty()) globs << QStringLiteral("*");
    QString description = QString::fromUtf8(pair.description);
    out.names << description + QStringLiteral(" (") + globs.join(QLatin1Char(' ')) +
                     QLatin1Char(')');
    out.shown << description.simplified();
  }
  return out;
}

// File names are bytes on this system; Qt decodes them with the locale.
std::string ProgramForm(const QString& nativePath) {
  return platform::ToProgramForm(QFile::encodeName(nativePath).toStdString());
}

}  // namespace

QtUserInterface::QtUserInterface(platform::Env& env, bool interactive,
                                 platform::UserInterface& fallback)
    : env_(env), interactive_(interactive), fallback_(fallback) {}

void QtUserInterface::SetMainWindow(QWidget* main) {
  mainWindow_ = main;
}

MsgAnswer QtUserInterface::MessageBox(const std::string& text, const std::string& title,
                                      MsgButtons buttons, MsgIcon icon) {
  if (!interactive_) return fallback_.MessageBox(text, title, buttons, icon);
  ButtonSet set = ToQtButtons(buttons);
  QMessageBox box(ToQtIcon(icon), ForDisplay(title), ForDisplay(text), set.buttons, MainWindow());
  box.setTextFormat(Qt::PlainText);
  box.setWindowModality(Qt::ApplicationModal);
  box.setDefaultButton(set.first);
  box.setEscapeButton(set.escape);
  box.exec();
  QAbstractButton* clicked = box.clickedButton();
  return ToAnswer(clicked != nullptr ? box.standardButton(clicked) : set.escape, set.escape);
}

void QtUserInterface::PumpEvents() {
  QCoreApplication::processEvents();
}

std::unique_ptr<platform::FileProgressWindow> QtUserInterface::LoadFileProgress() {
  return std::make_unique<frmFileProgress>(*this, MainWindow());
}

platform::OpenDialogResult QtUserInterface::ShowOpenDialog(
    const platform::OpenDialogOptions& options) {
  if (!interactive_) return fallback_.ShowOpenDialog(options);
  platform::OpenDialogResult result{{}, options.filterIndex};

  QFileDialog dialog(MainWindow(), QString::fromUtf8(options.title));
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  dialog.setOption(QFileDialog::HideNameFilterDetails);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(options.multiSelect ? QFileDialog::ExistingFiles : QFileDialog::ExistingFile);
  if (!options.initialFolder.empty()) {
    std::string folder = platform::ToNative(
        options.initialFolder, [this](const std::string& name) { return env_.Variable(name); });
    dialog.setDirectory(QFile::decodeName(QByteArray::fromStdString(folder)));
  }
  QtFilters filters = ToQtFilters(options.filter);
  if (!filters.names.isEmpty()) {
    dialog.setNameFilters(filters.names);
    int index = options.filterIndex;
    if (index >= 1 && index <= filters.names.size())
      dialog.selectNameFilter(filters.names[index - 1]);
  }

  bool accepted = dialog.exec() == QDialog::Accepted;
  if (int selected = filters.Number(dialog.selectedNameFilter())) result.filterIndex = selected;
  if (!accepted) return result;
  QStringList chosen = dialog.selectedFiles();
  if (chosen.isEmpty()) return result;

  if (chosen.size() == 1) {
    result.buffer = ProgramForm(chosen.front());
    return result;
  }
  // Several files, all from one folder: the folder, then each name.
  result.buffer = ProgramForm(QFileInfo(chosen.front()).absolutePath());
  result.buffer += '\0';
  for (const QString& path : chosen) {
    result.buffer += QFile::encodeName(QFileInfo(path).fileName()).toStdString();
    result.buffer += '\0';
  }
  result.buffer += '\0';
  return result;
}
