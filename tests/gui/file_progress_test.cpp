// The per-file progress window and the picture box its bar draws on: texts,
// colours read back from the image, where it opens, and that it never blocks.
#include <QLabel>
#include <QScreen>
#include <QWindow>
#include <QtTest>
#include <memory>

#include "doubles/RecordingUi.h"
#include "ui/CProgressBar.h"
#include "ui/qt/QtPictureBox.h"
#include "ui/qt/frmFileProgress.h"

namespace {

constexpr ui::Colour kBack = ui::Rgb(192, 192, 192);
constexpr ui::Colour kFill = ui::Rgb(10, 85, 68);

ui::Colour At(const QImage& image, int x, int y) {
  return QtPictureBox::FromQColor(image.pixelColor(x, y));
}

}  // namespace

class FileProgressTest : public QObject {
  Q_OBJECT

 private slots:
  void barDrawsTheGradientOnThePersistentImage() {
    testing_doubles::RecordingUi ui;
    frmFileProgress form(ui, nullptr);
    QCOMPARE(form.windowTitle(), QStringLiteral("Import"));
    form.SetStatus("Importing data from file: <b>x</b>\xC3\xA9.tmp");
    form.SetProgressText("3 of 10 records imported.");
    QCOMPARE(form.lblStatus()->text(),
             QStringLiteral("Importing data from file: <b>x</b>\u00e9.tmp"));
    QCOMPARE(form.lblStatus()->textFormat(), Qt::PlainText);
    QCOMPARE(form.lblProgress()->text(), QStringLiteral("3 of 10 records imported."));

    QtPictureBox* box = form.picProgress();
    box->resize(400, 17);
    ui::CProgressBar& bar = form.Bar();
    bar.Attach(box);
    bar.SetUseGradientFill(true);
    bar.SetGradientStart(box->FillColor());
    bar.SetGradientEnd(box->ForeColor());
    bar.SetMax(200);
    for (int value = 1; value <= 200; ++value) bar.SetValue(value);
    QImage image = box->Image().toImage();
    QCOMPARE(At(image, 0, 8), kFill);
    // Halfway, with the channel offsets 122.5, 85 and 93.5 rounded to even;
    // the last column is one step short of the end colour.
    QCOMPARE(At(image, 200, 0), ui::Rgb(132, 170, 162));
    QCOMPARE(At(image, 200, 16), ui::Rgb(132, 170, 162));
    QCOMPARE(At(image, 399, 16), ui::Rgb(254, 254, 254));
    QCOMPARE(At(box->grab().toImage(), 200, 8), ui::Rgb(132, 170, 162));
    bar.SetValue(0);
    bar.SetValue(50);
    image = box->Image().toImage();
    QVERIFY(At(image, 100, 8) != kBack);
    QCOMPARE(At(image, 101, 8), kBack);

    // Growing keeps the drawing at the top-left; the new area is back colour.
    box->resize(450, 30);
    QImage grown = box->Image().toImage();
    QCOMPARE(At(grown, 50, 3), At(image, 50, 3));
    QCOMPARE(At(grown, 50, 20), kBack);
    QCOMPARE(At(grown, 420, 3), kBack);
    // Lines off the image draw nothing and throw nothing.
    box->VerticalLine(1e12f, 0.0f, 10.0f, kFill);
    box->VerticalLine(-5.0f, 0.0f, 10.0f, kFill);
    QCOMPARE(box->Image().toImage(), grown);
    QVERIFY(ui.boxes.empty());
  }

  void opensCentredOverTheMainWindowAndOnTheScreen() {
    testing_doubles::RecordingUi ui;
    QWidget main;
    main.setGeometry(200, 150, 489, 559);
    {
      frmFileProgress form(ui, &main);
      QRect frame = form.frameGeometry();
      QRect mainFrame = main.frameGeometry();
      QCOMPARE(frame.left(), mainFrame.left() + (mainFrame.width() - frame.width()) / 2);
      QCOMPARE(frame.top(), mainFrame.top() + (mainFrame.height() - frame.height()) / 2);
    }
    QRect screen = main.screen()->geometry();
    main.setGeometry(screen.right() - 100, screen.bottom() - 50, 300, 200);
    {
      frmFileProgress form(ui, &main);
      QCOMPARE(form.frameGeometry().bottomRight(), screen.bottomRight());
    }
    main.setGeometry(screen.left() - 400, screen.top() - 300, 300, 200);
    {
      frmFileProgress form(ui, &main);
      QCOMPARE(form.frameGeometry().topLeft(), screen.topLeft());
    }
    // Shown without blocking, above the main window.
    main.setGeometry(100, 100, 489, 559);
    main.show();
    QVERIFY(QTest::qWaitForWindowExposed(&main));
    auto form = std::make_unique<frmFileProgress>(ui, &main);
    form->Show();
    QVERIFY(form->isVisible());
    QVERIFY(QApplication::activeModalWidget() == nullptr);
    QCOMPARE(form->windowHandle()->transientParent(), main.windowHandle());
    form.reset();
    QCoreApplication::processEvents();
    QVERIFY(ui.boxes.empty());
  }
};

QTEST_MAIN(FileProgressTest)
#include "file_progress_test.moc"
