// The Qt picture box under a real progress bar: colours read back from the
// persistent image and from what the widget paints.
#include <QFontMetrics>
#include <QImage>
#include <QtTest>
#include <algorithm>
#include <cstdlib>

#include "ui/CProgressBar.h"
#include "ui/qt/QtPictureBox.h"

namespace {

constexpr ui::Colour kBack = ui::Rgb(192, 192, 192);
constexpr ui::Colour kFill = ui::Rgb(10, 85, 68);
constexpr ui::Colour kWhite = ui::Rgb(255, 255, 255);

ui::Colour At(const QImage& image, int x, int y) {
  return QtPictureBox::FromQColor(image.pixelColor(x, y));
}

// True when every row of column `x` has `colour`.
bool ColumnIs(const QImage& image, int x, ui::Colour colour) {
  for (int y = 0; y < image.height(); ++y)
    if (At(image, x, y) != colour) return false;
  return true;
}

}  // namespace

class PictureBoxTest : public QObject {
  Q_OBJECT

 private:
  // A 400 x 17 box with the file progress window's colours and a bar on it.
  void Prepare(QtPictureBox& box, ui::CProgressBar& bar) {
    box.resize(400, 17);
    box.SetBackColor(kBack);
    box.SetForeColor(kWhite);
    box.SetFillColor(kFill);
    bar.Attach(&box);
    bar.SetUseGradientFill(true);
    bar.SetGradientStart(box.FillColor());
    bar.SetGradientEnd(box.ForeColor());
  }

 private slots:
  void gradientColoursAndCoverage() {
    QtPictureBox box;
    ui::CProgressBar bar;
    box.SetCurrent(31.0f, 4.0f);
    Prepare(box, bar);
    // Attaching asks for a blank pixel scale with the pen at home.
    QVERIFY(box.PersistentImage());
    QCOMPARE(box.ScaleWidth(), 400.0f);
    QCOMPARE(box.ScaleHeight(), 17.0f);
    QCOMPARE(box.CurrentX(), 0.0f);
    QVERIFY(box.ClientRectangle() == (ui::ClientRect{0, 0, 400, 17}));
    QVERIFY(ColumnIs(box.Image().toImage(), 200, kBack));

    bar.SetMax(200);
    for (int value = 1; value <= 200; ++value) bar.SetValue(value);
    QImage image = box.Image().toImage();
    QCOMPARE(At(image, 0, 8), kFill);
    // Pen at 200 of 400 when column 200 was last drawn: halfway, with the
    // channel offsets 122.5, 85 and 93.5 rounded to even.
    QCOMPARE(At(image, 200, 0), ui::Rgb(132, 170, 162));
    QVERIFY(ColumnIs(image, 200, ui::Rgb(132, 170, 162)));
    // The last column is one step short of the end colour.
    QCOMPARE(At(image, 399, 16), ui::Rgb(254, 254, 254));
    // The widget paints the same image.
    QCOMPARE(At(box.grab().toImage(), 200, 8), ui::Rgb(132, 170, 162));

    bar.SetValue(0);
    image = box.Image().toImage();
    QVERIFY(ColumnIs(image, 0, kBack));
    QVERIFY(ColumnIs(image, 200, kBack));
    bar.SetValue(50);
    image = box.Image().toImage();
    for (int x = 0; x <= 100; ++x)
      QVERIFY2(!ColumnIs(image, x, kBack), qPrintable(QString::number(x)));
    QVERIFY(ColumnIs(image, 101, kBack));
    QCOMPARE(box.CurrentX(), 100.0f);
    QCOMPARE(box.CurrentY(), 17.0f);
  }

  void imagePersistsAcrossHidingAndResizing() {
    QWidget window;
    window.resize(500, 60);
    auto* box = new QtPictureBox(&window);
    ui::CProgressBar bar;
    box->setGeometry(10, 10, 400, 17);
    Prepare(*box, bar);
    bar.SetMax(4);
    bar.SetValue(2);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    window.hide();
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QCoreApplication::processEvents();
    QVERIFY(!ColumnIs(box->Image().toImage(), 150, kBack));
    QCOMPARE(At(box->grab().toImage(), 150, 3), At(box->Image().toImage(), 150, 3));

    // Growing keeps the drawing at the top-left; the new area is back colour.
    ui::Colour before = At(box->Image().toImage(), 150, 3);
    box->resize(450, 30);
    QImage grown = box->Image().toImage();
    QCOMPARE(grown.size(), QSize(450, 30));
    QCOMPARE(At(grown, 150, 3), before);
    QCOMPARE(At(grown, 150, 20), kBack);
    QCOMPARE(At(grown, 420, 3), kBack);
    // Shrinking crops.
    box->resize(100, 10);
    QImage shrunk = box->Image().toImage();
    QCOMPARE(shrunk.size(), QSize(100, 10));
    QCOMPARE(At(shrunk, 99, 9), At(grown, 99, 9));
    bar.Attach(nullptr);
  }

  void linesClearAndBackColour() {
    QtPictureBox box;
    box.resize(20, 10);
    box.SetBackColor(kBack);
    box.VerticalLine(4.0f, 7.0f, 2.0f, kFill);  // drawn upward; the end row is not part
    QCOMPARE(box.CurrentY(), 2.0f);
    QImage image = box.Image().toImage();
    for (int y = 0; y < 10; ++y) QCOMPARE(At(image, 4, y), y >= 2 && y < 7 ? kFill : kBack);
    QCOMPARE(At(image, 5, 4), kBack);
    // Off the image: nothing drawn, nothing thrown, the pen still moves.
    box.VerticalLine(1e12f, 0.0f, 10.0f, kFill);
    box.VerticalLine(-5.0f, 0.0f, 10.0f, kFill);
    QCOMPARE(box.CurrentX(), -5.0f);
    QCOMPARE(box.Image().toImage(), image);

    box.Clear();
    QCOMPARE(box.CurrentX(), 0.0f);
    QCOMPARE(box.CurrentY(), 0.0f);
    QVERIFY(ColumnIs(box.Image().toImage(), 4, kBack));
    box.VerticalLine(3.0f, 0.0f, 10.0f, kFill);
    box.SetBackColor(kWhite);
    QVERIFY(ColumnIs(box.Image().toImage(), 3, kWhite));
  }

  void textIsCentredInTheForeColour() {
    QtPictureBox box;
    box.resize(400, 17);
    box.SetBackColor(kBack);
    box.SetForeColor(kWhite);
    QFontMetrics metrics(box.font());
    if (!metrics.inFont(QLatin1Char('5')) || !metrics.inFont(QLatin1Char('%')))
      QSKIP("the widget font has no glyphs for digits");
    box.DrawCentredText("50%", {0, 0, 400, 17});
    QImage image = box.Image().toImage();
    int left = image.width(), right = -1;
    bool white = false;
    for (int y = 0; y < image.height(); ++y)
      for (int x = 0; x < image.width(); ++x) {
        ui::Colour c = At(image, x, y);
        if (c == kBack) continue;
        left = std::min(left, x);
        right = std::max(right, x);
        white = white || c == kWhite;
      }
    QVERIFY(right >= 0);
    QVERIFY(white);
    // Glyph edges differ by a pixel or two from the advance box the text was
    // centred by.
    QVERIFY2(std::abs(left - (399 - right)) <= 4,
             qPrintable(QStringLiteral("ink from %1 to %2").arg(left).arg(right)));
    // The pen stays where the bar left it.
    QCOMPARE(box.CurrentX(), 0.0f);
  }
};

QTEST_MAIN(PictureBoxTest)
#include "picture_box_test.moc"
