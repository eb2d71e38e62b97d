// The windows, offscreen, driven as a person would (a timer answers each modal
// box once it is up): every way of starting an import from the main window to
// the end of the run (the file dialog included), message boxes and the file
// progress window.
#include <QApplication>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QTimer>
#include <QToolButton>
#include <QWindow>
#include <QtTest>
#include <algorithm>
#include <cstdlib>
#include <deque>
#include <filesystem>

#include "doubles/TestWorld.h"
#include "importers/Importers.h"
#include "support/modRegistry.h"
#include "ui/qt/QtPictureBox.h"
#include "ui/qt/QtUserInterface.h"
#include "ui/qt/frmFileProgress.h"
#include "ui/qt/frmMain.h"

namespace {

using B = QMessageBox;
using platform::MsgAnswer;
using platform::MsgButtons;

// Answers modal message boxes in order (NoButton: Escape), keeping what each showed.
class BoxAnswerer : public QObject {
  QTimer timer_;
  std::deque<B::StandardButton> answers_;

 public:
  explicit BoxAnswerer(std::deque<B::StandardButton> answers) : answers_(answers) {
    connect(&timer_, &QTimer::timeout, this, [this] {
      // A file dialog gets `file`.
      if (auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget())) {
        dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(file);
        return static_cast<QDialog*>(dialog)->accept();
      }
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      // A box is answered once (a later box may reuse the address of a closed one).
      if (box == nullptr || answers_.empty() || box->property("answered").toBool()) return;
      box->setProperty("answered", true);
      texts << box->text();
      shown = {box->standardButtons(), box->textFormat(), box->parentWidget()};
      if (QAbstractButton* button = box->button(answers_.front())) button->click();
      if (answers_.front() == B::NoButton) QTest::keyClick(box, Qt::Key_Escape);
      answers_.pop_front();
    });
    timer_.start(5);
  }
  QStringList texts;
  QString file;
  std::tuple<B::StandardButtons, Qt::TextFormat, QWidget*> shown;  // the last box's
};

// A sample host installation, output folder, registry and engine, as INI mode starts them.
struct Session {
  testing_doubles::TestWorld world;
  QtUserInterface ui{world.env, true, world.ui};
  platform::Context ctx{world.env, ui, world.files};
  modIngestor::Arguments args;
  std::unique_ptr<CSImportEngine> engine =
      std::make_unique<CSImportEngine>(ctx, importers::Table());

  Session() {
    std::system((INGESTOR_SAMPLE_HOST " '" + world.Native("host") + "' >/dev/null").c_str());
    world.MakeFolder("out");
    world.env.SetVariable("XDG_CONFIG_HOME", world.Native("config"));
    world.env.SetVariable("WINDIR", world.Native("host"));
    std::string extractor = INGESTOR_SAMPLE_EXTRACTOR;
    std::replace(extractor.begin(), extractor.end(), '/', '\\');
    args.pieces = {extractor, world.Program("host/Zev.ini"), world.Program("out") + "\\"};
    args.count = 3;
    args.iniMode = true;
  }
  // Rows of `table` in the database at `relative`; -1 when there is none.
  int Rows(const std::string& relative, const std::string& table) {
    std::vector<std::string> errors;
    std::string error,
        dbq = "DRIVER={Microsoft Access Driver (*.mdb)};DBQ=" + world.Native(relative);
    auto db = world.Has(relative) ? world.real.OpenDatabase(dbq + ";", errors) : nullptr;
    auto st = db ? db->Prepare("SELECT COUNT(*) FROM \"" + table + "\"", error) : nullptr;
    return st && st->Step() == db::StepResult::Row ? std::stoi(st->Column(0).ToText()) : -1;
  }
};

}  // namespace

class WindowTest : public QObject {
  Q_OBJECT

 private slots:
  // Every way of starting an import from the window, by its buttons, to the
  // end of the run: what the status line and the log end with, and the rows.
  void everyRouteRunsToTheEndOfAnImport() {
    enum class Then { Convert, ClearFirst, ChosenFileGone, SourceBlocked, DeleteSome };
    constexpr auto kNone = B::NoButton, kYes = B::Yes;
    const char* const kDone = "Import finished successfully!";
    const std::string kResp = "host/data/CommonResponses.mdb", kLend = "host/data/Lenders.mdb";
    const std::string kPriv = "docs/My Kestova/CommonResponses.mdb";
    const std::string kAppr = "host/data/Appraisals.mdb", kComp = "host/data/Comparables.mdb";
    struct Route {
      const char* browse;  // the host file chosen with the folder button
      int option;          // clicked afterwards; -1 for none
      Then then;
      B::StandardButton answer;  // to the long-import question
      const char* said;  // the status line's end, and the log's unless the chosen file has gone
      std::string database;
      const char* table;
      int rows;  // -1: no database
    };
    // clang-format off
    const Route routes[] = {
        {nullptr, 0, Then::Convert, kNone, kDone, kResp, "resp", 4},
        {nullptr, 1, Then::Convert, kNone, kDone, kPriv, "global", 2},
        {nullptr, 2, Then::Convert, kNone, kDone, kResp, "global", 2},
        {nullptr, 3, Then::Convert, kNone, kDone, kPriv, "global", 2},
        {nullptr, 4, Then::Convert, kYes, kDone, kAppr, "FileIndex", 3},
        {nullptr, 5, Then::Convert, kYes, kDone, kLend, "Lenders", 3},
        {nullptr, 7, Then::Convert, kYes, kDone, kComp, "ZazOzurs", 4},
        {nullptr, 5, Then::Convert, B::No, "Import cancelled; nothing was imported.", kLend,
         "Lenders", -1},
        // One file: it stays the source whatever option follows; its database
        // is the host's, private types included.
        {"host/data/resp.dat", 0, Then::Convert, kNone, kDone, kResp, "resp", 4},
        {"host/private/resp.dat", 1, Then::Convert, kNone, kDone, kResp, "resp", 4},
        {"host/data/didovuro.dta", 4, Then::Convert, kYes, kDone, kAppr, "FileIndex", 3},
        {"host/data/lender.dta", 5, Then::Convert, kYes, kDone, kLend, "Lenders", 3},
        {"host/data/xcomps.dat", 7, Then::Convert, kYes, kDone, kComp, "ZazOzurs", 3},
        // No option: no database name, so the run ends before the guess.
        {"host/data/lender.dta", -1, Then::Convert, kNone, "Import operation failed.", kLend,
         "Lenders", -1},
        {"host/data/lender.dta", 5, Then::ChosenFileGone, kNone, "Source file DOES NOT exist: '",
         kLend, "Lenders", -1},
        // Clear keeps the data type: the empty list extracts nothing.
        {nullptr, 5, Then::ClearFirst, kYes, "Extraction resulted in zero files. Exiting...",
         kLend, "Lenders", 0},
        {nullptr, 0, Then::SourceBlocked, kNone, nullptr, "blocker/d/CommonResponses.mdb",
         "resp", -1},
        // Delete takes the selected entries out of the list; the rest are imported, in order.
        {nullptr, 0, Then::DeleteSome, kNone, kDone, kResp, "r1", 4},
    };
    // clang-format on
    for (const Route& route : routes) {
      const std::string what = "route " + std::to_string(&route - routes);
      Session s;
      modRegistry::SaveRegistryString(
          s.ctx, modRegistry::HKEY_CURRENT_USER,
          "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders", "Personal",
          s.world.Program("docs"), true);
      if (route.then == Then::SourceBlocked) {
        s.world.Write("blocker", "a file where a folder should be");
        s.world.Write("host/Zev.ini", "[Directories]\nDataDir=" + s.world.Program("blocker/d"));
      }
      for (const char* copy : {"r1.dat", "r2.dat", "r3.dat"})
        if (route.then == Then::DeleteSome)
          s.world.Write(std::string("host/data/") + copy, s.world.Read("host/data/resp.dat"));
      frmMain window(s.ctx, s.args, s.engine);
      window.show();
      std::deque<B::StandardButton> answers;
      if (route.browse != nullptr) answers.push_back(B::Ok);
      if (route.answer != kNone) answers.push_back(route.answer);
      BoxAnswerer boxes(answers);
      if (route.browse != nullptr) {
        boxes.file = QString::fromStdString(s.world.Native(route.browse));
        window.cmdBrowse()->click();
      }
      if (route.option >= 0) window.optDataType(route.option)->click();
      if (route.then == Then::ClearFirst) window.cmdClear()->click();
      if (route.then == Then::ChosenFileGone) std::filesystem::remove(s.world.Native(route.browse));
      if (route.then == Then::DeleteSome) {
        window.lstFiles()->sortItems();
        for (int i = 0; i < window.lstFiles()->count(); ++i)
          window.lstFiles()->item(i)->setSelected(!window.lstFiles()->item(i)->text().contains(
              QRegularExpression("^(r1|resp)\\.dat$")));
        QTest::keyClick(window.lstFiles(), Qt::Key_Delete);
        QCOMPARE(window.lstFiles()->count(), 2);
      }
      const QString before = window.lblProgress()->text();
      window.cmdImport()->click();

      QVERIFY2(boxes.texts.size() == static_cast<qsizetype>(answers.size()), what.c_str());
      if (route.browse != nullptr)
        QVERIFY(boxes.texts[0].startsWith("REMEMBER, you MUST select an import type above"));
      if (route.answer != kNone)
        QVERIFY(boxes.texts.back().endsWith("Do you still wish to continue with this import?"));
      QVERIFY2(s.world.ui.boxes.empty() && window.cmdImport()->isEnabled(), what.c_str());
      const QString status = window.lblProgress()->text();
      QVERIFY2(route.said ? status.contains(route.said) : status == before, qPrintable(status));
      std::string log;
      for (const auto& e : std::filesystem::directory_iterator(s.world.Native("out")))
        if (e.path().string().ends_with("-logfile.txt"))
          log = s.world.Read("out/" + e.path().filename().string());
      QVERIFY2(log.empty() == (!route.said || route.then == Then::ChosenFileGone), what.c_str());
      while (log.ends_with("\r\n")) log.resize(log.size() - 2);
      QVERIFY2(log.empty() || log.ends_with(route.said), (what + ": " + log).c_str());
      // A chosen file is imported as one file, not as its folder.
      if (route.browse != nullptr && route.option >= 0 && !log.empty())
        QVERIFY2(log.find(" - Source is a file.") != std::string::npos, what.c_str());
      if (route.then == Then::DeleteSome) {
        const std::size_t r1 = log.find("file: 'r1.dat"), resp = log.find("file: 'resp.dat");
        QVERIFY2(r1 < resp && resp != std::string::npos && log.find("'r2.dat") == log.npos,
                 log.c_str());
      }
      if (route.said == kDone) QCOMPARE(window.ProgressBar().Value(), window.ProgressBar().Max());
      QVERIFY2(s.Rows(route.database, route.table) == route.rows, what.c_str());
    }
  }

  // Ctrl+Alt+D and Ctrl+Alt+N turn the advanced features on (either key alone
  // does nothing); during the run the controls are locked and a close waits.
  void hiddenKeysThenARunThatLocksTheControls() {
    Session s;
    frmMain window(s.ctx, s.args, s.engine);
    window.show();
    window.optDataType(5)->click();
    BoxAnswerer boxes({B::Ok, B::Ok, B::Yes});
    QTest::keyClick(window.lstFiles(), Qt::Key_D, Qt::ControlModifier);
    QTest::keyClick(window.lstFiles(), Qt::Key_N, Qt::AltModifier);
    QVERIFY(!s.engine->LeaveOutputFiles() && !s.engine->NoComparisons());
    QTest::keyClick(window.lstFiles(), Qt::Key_D, Qt::ControlModifier | Qt::AltModifier);
    QVERIFY(s.engine->LeaveOutputFiles() && !s.engine->NoComparisons());
    QTest::keyClick(window.cmdImport(), Qt::Key_N,
                    Qt::ControlModifier | Qt::AltModifier | Qt::ShiftModifier);
    QVERIFY(s.engine->NoComparisons());
    int seenRunning = 0, seenUnlocked = 0;
    QTimer probe;
    connect(&probe, &QTimer::timeout, [&] {
      if (!window.Running()) return;
      seenUnlocked += window.cmdImport()->isEnabled() || window.cmdClear()->isEnabled() ||
                      window.cmdBrowse()->isEnabled() || window.cmdExit()->isEnabled() ||
                      window.optDataType(0)->isEnabled();
      if (seenRunning++ == 0) {
        window.close();               // deferred
        window.cmdImport()->click();  // ignored: disabled
      }
    });
    probe.start(0);
    QVERIFY(window.ImportData());
    probe.stop();
    QVERIFY(seenRunning > 0);
    QCOMPARE(seenUnlocked, 0);
    QVERIFY(s.engine != nullptr);     // not released mid-run
    QCOMPARE(boxes.texts.size(), 3);  // no second run started
    QCOMPARE(boxes.texts.mid(0, 2),
             QStringList({"Advanced feature 'LEAVE output files' has been turned on.",
                          "Advanced feature 'NO comparisons' has been turned on."}));
    QTRY_VERIFY(!window.isVisible());
    QVERIFY(!s.engine);
    QCOMPARE(s.Rows("host/data/Lenders.mdb", "Lenders"), 3);
    QVERIFY(s.world.Has("out/lender.dta.tmp"));  // left behind
  }

  // The button clicked, or Escape, is the answer; the box is owned by the main
  // window and shows its text as plain text, CR LF as one line break.
  void messageBoxesAnswerWhatWasClicked() {
    Session s;
    QWidget main;
    s.ui.SetMainWindow(&main);
    const auto yesNo = B::Yes | B::No, okCancel = B::Ok | B::Cancel;
    using Case = std::tuple<MsgButtons, B::StandardButton, MsgAnswer, B::StandardButtons>;
    for (const auto& [buttons, click, expected, offered] :  // click NoButton: Escape
         {Case{MsgButtons::YesNo, B::Yes, MsgAnswer::Yes, yesNo},
          {MsgButtons::YesNoCancel, B::No, MsgAnswer::No, yesNo | B::Cancel},
          {MsgButtons::YesNo, B::NoButton, MsgAnswer::No, yesNo},
          {MsgButtons::YesNoCancel, B::NoButton, MsgAnswer::Cancel, yesNo | B::Cancel},
          {MsgButtons::OKCancel, B::NoButton, MsgAnswer::Cancel, okCancel},
          {MsgButtons::OK, B::NoButton, MsgAnswer::OK, B::Ok}}) {
      BoxAnswerer boxes({click});
      QCOMPARE(s.ui.MessageBox("Overwrite <b>x</b>?\r\n\r\nIt exists.", "Ingestor", buttons,
                               platform::MsgIcon::Question),
               expected);
      QCOMPARE(boxes.texts, QStringList("Overwrite <b>x</b>?\n\nIt exists."));
      QVERIFY(boxes.shown == std::make_tuple(offered, Qt::PlainText, &main));
    }
    // Without an interactive display the fallback (the console) answers boxes and dialogs.
    QVERIFY(s.world.ui.boxes.empty());
    s.world.ui.answers.push_back(MsgAnswer::Yes);
    QtUserInterface fallback(s.world.env, false, s.world.ui);
    QCOMPARE(fallback.MessageBox("Sure?", "", MsgButtons::YesNoCancel, platform::MsgIcon::None),
             MsgAnswer::Yes);
    QVERIFY(s.world.ui.boxes.size() == 1 && s.world.ui.boxes[0].text == "Sure?");
    QVERIFY(fallback.ShowOpenDialog({}).buffer.empty() && !fallback.CanAsk());
  }

  // The file progress window: texts shown as given, a bar that fills to its
  // value and only moves forward, above the main window without blocking it.
  void fileProgressShowsItsTextsAndBarWithoutBlocking() {
    testing_doubles::RecordingUi ui;
    QWidget main;
    main.show();
    QVERIFY(QTest::qWaitForWindowExposed(&main));
    auto form = std::make_unique<frmFileProgress>(ui, &main);
    form->SetStatus("Importing data from file: <b>x</b>\xC3\xA9.tmp");
    form->SetProgressText("3 of 10 records imported.");
    QCOMPARE(form->lblStatus()->text(), QString("Importing data from file: <b>x</b>\u00e9.tmp"));
    QCOMPARE(form->lblStatus()->textFormat(), Qt::PlainText);
    QCOMPARE(form->lblProgress()->text(), QStringLiteral("3 of 10 records imported."));
    form->picProgress()->resize(400, 17);
    form->Bar().SetMax(200);
    form->Bar().SetValue(50);
    const QImage image = form->picProgress()->Image().toImage();
    QVERIFY(image.pixelColor(99, 8) != image.pixelColor(101, 8));
    QCOMPARE(image.pixelColor(101, 8), image.pixelColor(399, 8));
    form->Bar().SetValue(40);  // never backwards but to 0, never past the maximum
    form->Bar().SetValue(201);
    QCOMPARE(form->Bar().Value(), 50);
    form->Show();
    QVERIFY(form->isVisible() && QApplication::activeModalWidget() == nullptr);
    QCOMPARE(form->windowHandle()->transientParent(), main.windowHandle());
    form.reset();
    QVERIFY(ui.boxes.empty());
  }
};

QTEST_MAIN(WindowTest)
#include "window_test.moc"
