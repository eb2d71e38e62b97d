// The per-file progress window: its layout at the screen's density, its
// texts and colours, where it opens, and the bar it carries.
#include <QLabel>
#include <QScreen>
#include <QWindow>
#include <QtTest>
#include <algorithm>
#include <memory>

#include "doubles/RecordingUi.h"
#include "ui/qt/QtPictureBox.h"
#include "ui/qt/frmFileProgress.h"

namespace {

int Pixels(int twips, double dpi) {
  return qRound(twips * dpi / 1440.0);
}

}  // namespace

class FileProgressTest : public QObject {
  Q_OBJECT

 private slots:
  void loadsWithItsLayoutTextsAndColours() {
    testing_doubles::RecordingUi ui;
    frmFileProgress form(ui, nullptr);
    QCOMPARE(form.windowTitle(), QStringLiteral("Import"));
    QVERIFY(form.isWindow());
    QVERIFY(!form.isVisible());
    QCOMPARE(form.windowModality(), Qt::NonModal);
    QCOMPARE(form.lblStatus()->text(), QStringLiteral("Status"));
    QCOMPARE(form.lblProgress()->text(), QStringLiteral("Progress"));

    double dx = form.logicalDpiX();
    double dy = form.logicalDpiY();
    QCOMPARE(form.size(), QSize(Pixels(7215, dx), Pixels(990, dy)));
    QCOMPARE(form.lblStatus()->geometry(),
             QRect(Pixels(50, dx), Pixels(50, dy), Pixels(7115, dx), Pixels(255, dy)));
    QCOMPARE(form.picProgress()->geometry(),
             QRect(Pixels(50, dx), Pixels(360, dy), Pixels(7115, dx), Pixels(255, dy)));
    QCOMPARE(form.lblProgress()->geometry(),
             QRect(Pixels(50, dx), Pixels(650, dy), Pixels(7115, dx), Pixels(255, dy)));
    if (dx == 96.0 && dy == 96.0) {
      QCOMPARE(form.size(), QSize(481, 66));
      QCOMPARE(form.picProgress()->geometry(), QRect(3, 24, 474, 17));
    }

    QtPictureBox* box = form.picProgress();
    QCOMPARE(box->BackColor(), ui::Rgb(192, 192, 192));
    QCOMPARE(box->ForeColor(), ui::Rgb(255, 255, 255));
    QCOMPARE(box->FillColor(), ui::Rgb(10, 85, 68));

    ui::CProgressBar& bar = form.Bar();
    QVERIFY(bar.Attached());
    QVERIFY(bar.UseGradientFill());
    QCOMPARE(bar.GradientStart(), box->FillColor());
    QCOMPARE(bar.GradientEnd(), box->ForeColor());
    bar.SetMax(10);
    QCOMPARE(bar.UnitWidth(), static_cast<float>(box->width()) / 10.0f);
    bar.SetValue(5);
    QImage image = box->Image().toImage();
    QCOMPARE(QtPictureBox::FromQColor(image.pixelColor(0, 5)), ui::Rgb(10, 85, 68));
    QCOMPARE(QtPictureBox::FromQColor(image.pixelColor(box->width() - 1, 5)),
             ui::Rgb(192, 192, 192));
    QVERIFY(ui.boxes.empty());  // nothing failed while loading
  }

  void textsAreShownAsWritten() {
    testing_doubles::RecordingUi ui;
    frmFileProgress form(ui, nullptr);
    form.SetStatus("Importing data from file: <b>x</b>\xC3\xA9.tmp");
    form.SetProgressText("3 of 10 records imported.");
    QCOMPARE(form.lblStatus()->text(),
             QStringLiteral("Importing data from file: <b>x</b>\u00e9.tmp"));
    QCOMPARE(form.lblStatus()->textFormat(), Qt::PlainText);
    QCOMPARE(form.lblProgress()->text(), QStringLiteral("3 of 10 records imported."));
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
      QRect frame = form.frameGeometry();
      QCOMPARE(frame.right(), screen.right());
      QCOMPARE(frame.bottom(), screen.bottom());
    }
    main.setGeometry(screen.left() - 400, screen.top() - 300, 300, 200);
    {
      frmFileProgress form(ui, &main);
      QCOMPARE(form.frameGeometry().topLeft(), screen.topLeft());
    }
    QVERIFY(ui.boxes.empty());
  }

  void withoutAMainWindowOpensWhereTheMainWindowWouldBe() {
    testing_doubles::RecordingUi ui;
    frmFileProgress form(ui, nullptr);
    QScreen* screen = form.screen();
    QRect area = screen->geometry();
    QSize main(Pixels(7335, screen->logicalDotsPerInchX()),
               Pixels(8385, screen->logicalDotsPerInchY()));
    QRect mainRect(QPoint(area.left() + (area.width() - main.width()) / 2,
                          area.top() + (area.height() - main.height()) / 2),
                   main);
    QRect frame = form.frameGeometry();
    int left = mainRect.left() + (mainRect.width() - frame.width()) / 2;
    int top = mainRect.top() + (mainRect.height() - frame.height()) / 2;
    // Then kept on the screen, which may be smaller than the main window.
    left = std::max(area.left(), std::min(left, area.right() + 1 - frame.width()));
    top = std::max(area.top(), std::min(top, area.bottom() + 1 - frame.height()));
    QCOMPARE(frame.topLeft(), QPoint(left, top));
  }

  void showsWithoutBlockingAndStaysAboveTheMainWindow() {
    testing_doubles::RecordingUi ui;
    QWidget main;
    main.setGeometry(100, 100, 489, 559);
    main.show();
    QVERIFY(QTest::qWaitForWindowExposed(&main));
    auto form = std::make_unique<frmFileProgress>(ui, &main);
    form->Show();
    QVERIFY(form->isVisible());
    QVERIFY(QApplication::activeModalWidget() == nullptr);
    QVERIFY(form->windowHandle() != nullptr);
    QCOMPARE(form->windowHandle()->transientParent(), main.windowHandle());
    // The bar keeps drawing while the window is up, then unloading detaches it.
    form->Bar().SetMax(3);
    form->Bar().SetValue(3);
    QCoreApplication::processEvents();
    QtPictureBox* box = form->picProgress();
    QVERIFY(QtPictureBox::FromQColor(box->Image().toImage().pixelColor(box->width() - 1, 5)) !=
            box->BackColor());
    form.reset();
    QCoreApplication::processEvents();
  }
};

QTEST_MAIN(FileProgressTest)
#include "file_progress_test.moc"
