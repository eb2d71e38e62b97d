#include "ui/qt/frmFileProgress.h"

#include <QLabel>
#include <QWindow>

#include "support/ErrorReport.h"
#include "ui/Twips.h"
#include "ui/qt/QtPictureBox.h"
#include "ui/qt/WindowPlacement.h"

namespace {

// The designed layout, in twips.
constexpr int kClientWidth = 7215;
constexpr int kClientHeight = 990;
struct TwipsBox {
  int left, top, width, height;
};
constexpr TwipsBox kStatusBox{50, 50, 7115, 255};
constexpr TwipsBox kProgressBox{50, 360, 7115, 255};
constexpr TwipsBox kCountBox{50, 650, 7115, 255};

constexpr ui::Colour kBackColour = ui::Rgb(192, 192, 192);
constexpr ui::Colour kForeColour = ui::Rgb(255, 255, 255);
constexpr ui::Colour kFillColour = ui::Rgb(10, 85, 68);

QRect ToPixels(const QWidget& form, const TwipsBox& box) {
  double dpiX = form.logicalDpiX();
  double dpiY = form.logicalDpiY();
  return QRect(ui::TwipsToPixels(box.left, dpiX), ui::TwipsToPixels(box.top, dpiY),
               ui::TwipsToPixels(box.width, dpiX), ui::TwipsToPixels(box.height, dpiY));
}

QLabel* MakeLabel(QWidget* form, const char* name, const char* text, const TwipsBox& box) {
  auto* label = new QLabel(form);
  label->setObjectName(QString::fromLatin1(name));
  // File names may contain markup characters; show them as written.
  label->setTextFormat(Qt::PlainText);
  label->setText(QString::fromLatin1(text));
  label->setGeometry(ToPixels(*form, box));
  return label;
}

}  // namespace

frmFileProgress::frmFileProgress(platform::UserInterface& ui, QWidget* mainWindow)
    : QWidget(nullptr, Qt::Window), mainWindow_(mainWindow) {
  setObjectName(QStringLiteral("frmFileProgress"));
  setWindowTitle(QStringLiteral("Import"));
  setWindowModality(Qt::NonModal);
  setFixedSize(ui::TwipsToPixels(kClientWidth, logicalDpiX()),
               ui::TwipsToPixels(kClientHeight, logicalDpiY()));

  lblStatus_ = MakeLabel(this, "lblStatus", "Status", kStatusBox);
  picProgress_ = new QtPictureBox(this);
  picProgress_->setObjectName(QStringLiteral("picProgress"));
  picProgress_->setGeometry(ToPixels(*this, kProgressBox));
  picProgress_->SetBackColor(kBackColour);
  picProgress_->SetForeColor(kForeColour);
  picProgress_->SetFillColor(kFillColour);
  lblProgress_ = MakeLabel(this, "lblProgress", "Progress", kCountBox);

  FormLoad(ui, mainWindow);
}

void frmFileProgress::FormLoad(platform::UserInterface& ui, QWidget* mainWindow) {
  support::Trap(ui, "Form_Load::frmFileProgress", false, false, [&] {
    modProject::CenterFormOnMainWindow(ui, mainWindow, *this);
    bar_.Attach(picProgress_);
    bar_.SetUseGradientFill(true);
    bar_.SetGradientStart(picProgress_->FillColor());
    bar_.SetGradientEnd(picProgress_->ForeColor());
    return true;
  });
}

frmFileProgress::~frmFileProgress() {
  bar_.Attach(nullptr);
}

void frmFileProgress::SetStatus(const std::string& text) {
  lblStatus_->setText(QString::fromUtf8(text));
}

void frmFileProgress::SetProgressText(const std::string& text) {
  lblProgress_->setText(QString::fromUtf8(text));
}

void frmFileProgress::Show() {
  // Kept above the main window by the window manager, without blocking it.
  if (mainWindow_ != nullptr && mainWindow_->window()->windowHandle() != nullptr) {
    winId();  // creates the native window so it can be given a parent
    if (QWindow* own = windowHandle())
      own->setTransientParent(mainWindow_->window()->windowHandle());
  }
  show();
  raise();
}
