// A widget that keeps a persistent image the size of the widget and paints it,
// so what a progress bar drew survives being covered, hidden or repainted.
// Coordinates are pixels: the scale is the widget's size with the origin at
// its top-left corner.
//
// Drawing goes into the image and schedules a repaint; the window shows it
// when events are next processed. Growing the widget keeps the image in the
// top-left corner and fills the new area with the back colour; shrinking it
// crops the image.
#pragma once

#include <QColor>
#include <QPixmap>
#include <QWidget>

#include "ui/PictureBox.h"

class QtPictureBox : public QWidget, public ui::PictureBox {
  Q_OBJECT

 public:
  explicit QtPictureBox(QWidget* parent = nullptr);

  // Changing the back colour erases the image to the new colour (the pen stays).
  void SetBackColor(ui::Colour colour);
  ui::Colour BackColor() const { return backColour_; }
  // The colour of text.
  void SetForeColor(ui::Colour colour) { foreColour_ = colour; }
  ui::Colour ForeColor() const { return foreColour_; }
  // Kept for whoever fills the box; the bar takes it as its gradient start.
  void SetFillColor(ui::Colour colour) { fillColour_ = colour; }
  ui::Colour FillColor() const { return fillColour_; }

  // The persistent image at the widget's current size.
  const QPixmap& Image();

  float ScaleWidth() const override { return static_cast<float>(width()); }
  float ScaleTop() const override { return 0.0f; }
  float ScaleHeight() const override { return static_cast<float>(height()); }
  float CurrentX() const override { return penX_; }
  float CurrentY() const override { return penY_; }
  void SetCurrent(float x, float y) override;
  void Clear() override;
  void VerticalLine(float x, float fromY, float toY, ui::Colour colour) override;
  void DrawCentredText(const std::string& text, const ui::ClientRect& rect) override;
  ui::ClientRect ClientRectangle() const override;
  void Refresh() override;
  // The image is always kept; the flag is only remembered.
  void SetPersistentImage(bool on) override { persistentImage_ = on; }
  bool PersistentImage() const { return persistentImage_; }
  void SetFillStyle(ui::FillStyle) override {}
  void SetScaleMode(ui::ScaleMode) override {}

  // 0x00BBGGRR to the toolkit's colour and back.
  static QColor ToQColor(ui::Colour colour);
  static ui::Colour FromQColor(const QColor& colour);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  // Makes the image the widget's size, keeping what it shows.
  void FitImage();

  QPixmap image_;
  ui::Colour backColour_;
  ui::Colour foreColour_;
  ui::Colour fillColour_;
  float penX_ = 0.0f;
  float penY_ = 0.0f;
  bool persistentImage_ = false;
};
