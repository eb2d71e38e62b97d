#include "ui/qt/WindowPlacement.h"

#include <QGuiApplication>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QScreen>
#include <QWidget>
#include <exception>
#include <stdexcept>
#include <string>

#include "support/ErrorReport.h"
#include "ui/Twips.h"
#include "ui/modProject.h"

namespace modProject {

namespace {

Rect ToRect(const QRect& r) {
  return {r.x(), r.y(), r.width(), r.height()};
}

Size OuterSize(const QWidget& window) {
  QRect frame = window.frameGeometry();
  return {frame.width(), frame.height()};
}

QScreen* ScreenOf(const QWidget& window) {
  QScreen* screen = window.screen();
  if (screen == nullptr) screen = QGuiApplication::primaryScreen();
  if (screen == nullptr) throw std::runtime_error("No screen is available");
  return screen;
}

// The name a failure box gives the window: its object name, else its class.
std::string WindowName(const QWidget& window) {
  QString name = window.objectName();
  if (name.isEmpty()) name = QString::fromLatin1(window.metaObject()->className());
  return name.toStdString();
}

void ShowPlacementError(platform::UserInterface& ui, const std::string& title,
                        const QWidget& window, const std::string& description) noexcept {
  try {
    std::string text = "The following error(s) occurred while attempting to center \"";
    text.append(WindowName(window)).append("\":\r\n\r\n").append(description);
    ui.MessageBox(text, title, platform::MsgButtons::OK, platform::MsgIcon::Information);
  } catch (...) {
    // Reporting a failure must never fail in turn.
  }
}

// Runs `body`; an exception escaping it is reported in a box titled `title`.
template <class F>
void Trapped(platform::UserInterface& ui, const std::string& title, const QWidget& window,
             F&& body) noexcept {
  support::Guard<support::NoStage>(
      0, [&] { return body(), 0; },
      [&](const char* what, int) { ShowPlacementError(ui, title, window, what); });
}

// The sub-window that frames `window` inside a multiple-document area, if any.
QMdiSubWindow* SubWindowOf(QWidget& window) {
  if (auto* sub = qobject_cast<QMdiSubWindow*>(&window)) return sub->mdiArea() ? sub : nullptr;
  auto* sub = qobject_cast<QMdiSubWindow*>(window.parentWidget());
  return sub != nullptr && sub->mdiArea() != nullptr ? sub : nullptr;
}

}  // namespace

void CenterForm(platform::UserInterface& ui, QWidget& window) {
  Trapped(ui, "Error in CenterForm", window, [&] {
    Position at = CenterForm(ToRect(ScreenOf(window)->geometry()), OuterSize(window));
    window.move(at.left, at.top);
  });
}

void CenterFormOnMainWindow(platform::UserInterface& ui, QWidget* mainWindow, QWidget& window) {
  std::string title = std::string("Error in CenterFormOnMainWindow::") + kApplicationTitle + "\"";
  Trapped(ui, title, window, [&] {
    if (QMdiSubWindow* sub = SubWindowOf(window)) {
      MainWindowGeometry area;
      area.isDocumentContainer = true;
      QSize inner = sub->mdiArea()->viewport()->size();
      area.inner = {inner.width(), inner.height()};
      Position at = CenterFormOnMainWindow(area, OuterSize(*sub), {});
      sub->move(at.left, at.top);
      return;
    }
    // The window is about to appear over the main window, so that window's
    // screen is the one to stay on.
    QScreen* screen = ScreenOf(mainWindow != nullptr ? *mainWindow : window);
    Rect screenRect = ToRect(screen->geometry());
    MainWindowGeometry main;
    if (mainWindow != nullptr) {
      main.outer = ToRect(mainWindow->frameGeometry());
    } else {
      Size designed{ui::TwipsToPixels(kMainWindowWidthTwips, screen->logicalDotsPerInchX()),
                    ui::TwipsToPixels(kMainWindowHeightTwips, screen->logicalDotsPerInchY())};
      Position at = CenterForm(screenRect, designed);
      main.outer = {at.left, at.top, designed.width, designed.height};
    }
    Position at = CenterFormOnMainWindow(main, OuterSize(window), screenRect);
    window.move(at.left, at.top);
  });
}

}  // namespace modProject
