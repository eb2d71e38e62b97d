// The per-file progress window: a status line, a progress bar and a count
// line, in a small top-level window captioned "Import" that does not block the
// main window. The layout is given in twips and converted at the screen's
// logical DPI, so the window has the same physical size on every screen.
#pragma once

#include <QPointer>
#include <QWidget>

#include "platform/FileProgressWindow.h"
#include "platform/UserInterface.h"
#include "ui/CProgressBar.h"

class QLabel;
class QtPictureBox;

class frmFileProgress : public QWidget, public platform::FileProgressWindow {
  Q_OBJECT

 public:
  // Loads the window hidden, centred over `mainWindow` (or where the main
  // window would be when there is none), with the bar attached to the picture
  // box. Failures are reported through `ui`; the window is usable regardless.
  explicit frmFileProgress(platform::UserInterface& ui, QWidget* mainWindow);
  // Unloading detaches the bar before the picture box goes.
  ~frmFileProgress() override;

  void SetStatus(const std::string& text) override;
  void SetProgressText(const std::string& text) override;
  ui::CProgressBar& Bar() override { return bar_; }
  void Show() override;

  QLabel* lblStatus() const { return lblStatus_; }
  QtPictureBox* picProgress() const { return picProgress_; }
  QLabel* lblProgress() const { return lblProgress_; }

 private:
  void FormLoad(platform::UserInterface& ui, QWidget* mainWindow);

  // Owned by this widget (Qt deletes children after the destructor body).
  QLabel* lblStatus_ = nullptr;
  QtPictureBox* picProgress_ = nullptr;
  QLabel* lblProgress_ = nullptr;
  ui::CProgressBar bar_;
  // Kept so the shown window stays above it; it may go away first.
  QPointer<QWidget> mainWindow_;
};
