#include "ui/qt/QtPictureBox.h"

#include <QPaintEvent>
#include <QPainter>
#include <QPalette>
#include <QResizeEvent>
#include <algorithm>
#include <cmath>
#include <limits>

namespace {

// A coordinate as a pixel index; values outside the int range (or not a
// number) are pushed to a far-away pixel, which the painter clips.
int Pixel(float value) {
  if (std::isnan(value)) return std::numeric_limits<int>::min() / 2;
  double clamped = std::clamp<double>(std::round(value), std::numeric_limits<int>::min() / 2,
                                      std::numeric_limits<int>::max() / 2);
  return static_cast<int>(clamped);
}

}  // namespace

QtPictureBox::QtPictureBox(QWidget* parent)
    : QWidget(parent),
      backColour_(FromQColor(palette().color(QPalette::Window))),
      foreColour_(FromQColor(palette().color(QPalette::WindowText))),
      fillColour_(ui::Rgb(0, 0, 0)) {
  // The image covers every pixel, so nothing needs erasing first.
  setAttribute(Qt::WA_OpaquePaintEvent);
}

QColor QtPictureBox::ToQColor(ui::Colour colour) {
  return QColor(static_cast<int>(colour & 0xFF), static_cast<int>((colour >> 8) & 0xFF),
                static_cast<int>((colour >> 16) & 0xFF));
}

ui::Colour QtPictureBox::FromQColor(const QColor& colour) {
  return ui::Rgb(static_cast<std::uint8_t>(colour.red()), static_cast<std::uint8_t>(colour.green()),
                 static_cast<std::uint8_t>(colour.blue()));
}

void QtPictureBox::SetBackColor(ui::Colour colour) {
  backColour_ = colour;
  try {
    FitImage();
    if (!image_.isNull()) image_.fill(ToQColor(backColour_));
    update();
  } catch (...) {
  }
}

const QPixmap& QtPictureBox::Image() {
  try {
    FitImage();
  } catch (...) {
  }
  return image_;
}

void QtPictureBox::SetCurrent(float x, float y) {
  penX_ = x;
  penY_ = y;
}

void QtPictureBox::Clear() {
  penX_ = 0.0f;
  penY_ = 0.0f;
  try {
    FitImage();
    if (!image_.isNull()) image_.fill(ToQColor(backColour_));
    update();
  } catch (...) {
  }
}

void QtPictureBox::VerticalLine(float x, float fromY, float toY, ui::Colour colour) {
  penX_ = x;
  penY_ = toY;
  try {
    FitImage();
    if (image_.isNull()) return;
    int top = Pixel(std::min(fromY, toY));
    int bottom = Pixel(std::max(fromY, toY));
    // The end point is not part of the line, so a line from the scale top to
    // the scale height covers every row; a line of no length is one pixel.
    int rows = std::max(1, bottom - top);
    QPainter painter(&image_);
    painter.fillRect(QRect(Pixel(x), top, 1, rows), ToQColor(colour));
    painter.end();
    update();
  } catch (...) {
  }
}

void QtPictureBox::DrawCentredText(const std::string& text, const ui::ClientRect& rect) {
  try {
    FitImage();
    if (image_.isNull()) return;
    QPainter painter(&image_);
    painter.setFont(font());
    painter.setPen(ToQColor(foreColour_));
    painter.drawText(QRect(rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top),
                     Qt::AlignCenter | Qt::TextSingleLine, QString::fromUtf8(text));
    painter.end();
    update();
  } catch (...) {
  }
}

ui::ClientRect QtPictureBox::ClientRectangle() const {
  return {0, 0, width(), height()};
}

void QtPictureBox::Refresh() {
  try {
    update();
  } catch (...) {
  }
}

void QtPictureBox::paintEvent(QPaintEvent* event) {
  FitImage();
  QPainter painter(this);
  if (image_.isNull())
    painter.fillRect(event->rect(), ToQColor(backColour_));
  else
    painter.drawPixmap(0, 0, image_);
}

void QtPictureBox::resizeEvent(QResizeEvent* event) {
  FitImage();
  QWidget::resizeEvent(event);
}

void QtPictureBox::FitImage() {
  QSize wanted = size();
  if (image_.size() == wanted) return;
  if (wanted.isEmpty()) {
    image_ = QPixmap();
    return;
  }
  QPixmap next(wanted);
  next.fill(ToQColor(backColour_));
  if (!image_.isNull()) {
    QPainter painter(&next);
    painter.drawPixmap(0, 0, image_);
  }
  image_ = std::move(next);
}
