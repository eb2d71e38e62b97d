// The main window against a sample host installation, offscreen: options and
// the file list, browsing, Clear, the hidden keys, the saved window place,
// every way of starting an import run to its end, and the controls locked
// during a run.
#include <sqlite3.h>

#include <QApplication>
#include <QListWidget>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTimer>
#include <QToolButton>
#include <QtTest>
#include <deque>
#include <filesystem>
#include <memory>

#include "doubles/TestWorld.h"
#include "importers/Importers.h"
#include "support/modRegistry.h"
#include "ui/Twips.h"
#include "ui/qt/QtPictureBox.h"
#include "ui/qt/QtUserInterface.h"
#include "ui/qt/frmMain.h"

namespace {

using testing_doubles::TestWorld;

// Answers modal message boxes as they appear, in order, keeping their texts.
class BoxAnswerer : public QObject {
 public:
  BoxAnswerer() {
    timer_.setInterval(5);
    connect(&timer_, &QTimer::timeout, this, [this] { Poll(); });
    timer_.start();
  }
  void Queue(QMessageBox::StandardButton button) { answers_.push_back(button); }
  QStringList texts;

 private:
  void Poll() {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    // A box is answered once (a later box may reuse the address of a closed one).
    if (box == nullptr || answers_.empty() || box->property("answered").toBool()) return;
    box->setProperty("answered", true);
    texts << box->text();
    QAbstractButton* button = box->button(answers_.front());
    answers_.pop_front();
    if (button != nullptr) button->click();
  }
  QTimer timer_;
  std::deque<QMessageBox::StandardButton> answers_;
};

// A user interface whose file dialog returns a chosen answer.
class ScriptedDialogUi : public QtUserInterface {
 public:
  using QtUserInterface::QtUserInterface;
  platform::OpenDialogResult ShowOpenDialog(const platform::OpenDialogOptions& options) override {
    lastOptions = options;
    return {answer, options.filterIndex};
  }
  std::string answer;
  platform::OpenDialogOptions lastOptions;
};

// A sample host installation, an output folder, the registry store and an
// engine, as INI mode starts them.
struct Session {
  TestWorld world;
  ScriptedDialogUi ui{world.env, true, world.ui};
  platform::Context ctx{world.env, ui, world.files};
  modIngestor::Arguments args;
  std::unique_ptr<CSImportEngine> engine;

  Session() {
    QProcess::execute(INGESTOR_SAMPLE_HOST, {QString::fromStdString(world.Native("host"))});
    world.MakeFolder("out");
    world.env.SetVariable("XDG_CONFIG_HOME", world.Native("config"));
    world.env.SetVariable("WINDIR", world.Native("host"));
    args.pieces = {ToProgram(INGESTOR_SAMPLE_EXTRACTOR), world.Program("host/Zev.ini"),
                   world.Program("out") + "\\"};
    args.count = 3;
    args.iniMode = true;
    engine = std::make_unique<CSImportEngine>(ctx, importers::Table());
  }
  static std::string ToProgram(std::string native) {
    for (char& c : native)
      if (c == '/') c = '\\';
    return native;
  }
  std::int32_t Number(const char* name) {
    return modRegistry::GetRegistryNumeric(ctx, modRegistry::HKEY_CURRENT_USER, kPreferencesKey,
                                           name, true);
  }
  std::string Text(const char* name) {
    return modRegistry::GetRegistryString(ctx, modRegistry::HKEY_CURRENT_USER, kPreferencesKey,
                                          name, true);
  }
  // Rows of `table` in the SQLite database at `nativePath`; -1 when unreadable.
  static int Rows(const std::string& nativePath, const std::string& table) {
    sqlite3* db = nullptr;
    int rows = -1;
    if (sqlite3_open_v2(nativePath.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
      sqlite3_stmt* st = nullptr;
      std::string sql = "SELECT COUNT(*) FROM \"" + table + "\"";
      if (sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr) == SQLITE_OK &&
          sqlite3_step(st) == SQLITE_ROW)
        rows = sqlite3_column_int(st, 0);
      sqlite3_finalize(st);
    }
    sqlite3_close(db);
    return rows;
  }
};

// The text of the run's log in `folder`; "" when there is none.
std::string LogIn(const TestWorld& world, const std::string& folder) {
  for (const auto& e : std::filesystem::directory_iterator(world.Native(folder)))
    if (e.path().string().ends_with("-logfile.txt"))
      return world.Read(folder + "/" + e.path().filename().string());
  return "";
}

QStringList Entries(QListWidget* list) {
  QStringList out;
  for (int i = 0; i < list->count(); ++i) out << list->item(i)->text();
  return out;
}

QString Name(const QString& path) {
  return path.section('\\', -1);
}

}  // namespace

class MainWindowTest : public QObject {
  Q_OBJECT

 private slots:
  void startState() {
    Session s;
    frmMain window(s.ctx, s.args, s.engine);
    QVERIFY(window.Loaded());
    QCOMPARE(window.windowTitle(), QString("Kestova - data converter"));
    QCOMPARE(window.lstFiles()->count(), 0);
    for (int i = 0; i < frmMain::kOptionCount; ++i) QVERIFY(!window.optDataType(i)->isChecked());
    // First start: no place stored, so the window is centred on the screen.
    QRect screen = window.screen()->geometry();
    QCOMPARE(window.x(), (screen.width() - window.frameGeometry().width()) / 2);
    QCOMPARE(window.y(), (screen.height() - window.frameGeometry().height()) / 2);
    // The engine was given the command line's pieces and the bar.
    QCOMPARE(s.engine->Extractor(), s.args.pieces[0]);
    QCOMPARE(s.engine->OutputFolder(), s.args.pieces[2]);
    QCOMPARE(s.engine->Progress(), &window.ProgressBar());
  }

  void deleteRemovesTheSelectedEntriesAndTheRestImportInOrder() {
    Session s;
    // Five response files, each its own table.
    std::string resp = s.world.Read("host/data/resp.dat");
    s.world.Write("five/Zev.ini", "[Directories]\r\nDataDir=" + s.world.Program("five") +
                                      "\\\r\n[Vendor]\r\nApplicationName=Kestova\r\n");
    for (const char* name : {"r1.dat", "r2.dat", "r3.dat", "r4.dat", "r5.dat"})
      s.world.Write(std::string("five/") + name, resp);
    s.args.pieces[1] = s.world.Program("five/Zev.ini");
    frmMain window(s.ctx, s.args, s.engine);
    window.show();
    window.optDataType(0)->click();
    QCOMPARE(window.lstFiles()->count(), 5);
    window.lstFiles()->sortItems();
    for (int i : {1, 2, 4}) window.lstFiles()->item(i)->setSelected(true);
    window.lstFiles()->setFocus();
    QTest::keyClick(window.lstFiles(), Qt::Key_Delete);
    QStringList left = Entries(window.lstFiles());
    QCOMPARE(left.size(), 2);
    QCOMPARE(Name(left[0]), QString("r1.dat"));
    QCOMPARE(Name(left[1]), QString("r4.dat"));
    QCOMPARE(window.lstFiles()->currentRow(), -1);

    QVERIFY(window.ImportData());
    // Exactly the two remaining files were imported, r1 before r4.
    QCOMPARE(Entries(window.lstFiles()), left);
    std::string log;
    for (auto& e : std::filesystem::directory_iterator(s.world.Native("out")))
      if (e.path().string().ends_with("-logfile.txt"))
        log = s.world.Read("out/" + e.path().filename().string());
    std::size_t r1 = log.find("file: 'r1.dat"), r4 = log.find("file: 'r4.dat");
    QVERIFY2(r1 != std::string::npos && r4 != std::string::npos && r1 < r4, log.c_str());
    for (const char* gone : {"'r2.dat", "'r3.dat", "'r5.dat"})
      QVERIFY2(log.find(gone) == std::string::npos, gone);
  }

  void browseSetsTheSingleFileStateAndClearResetsIt() {
    Session s;
    frmMain window(s.ctx, s.args, s.engine);
    window.show();
    window.optDataType(5)->click();
    s.ui.answer = s.world.Program("host/data/lender.dta");
    BoxAnswerer boxes;
    boxes.Queue(QMessageBox::Ok);
    window.cmdBrowse()->click();
    QCOMPARE(s.ui.lastOptions.title, std::string("Select the file to import from..."));
    QCOMPARE(s.ui.lastOptions.initialFolder, s.world.Program("host/data") + "\\");
    QCOMPARE(window.lblFile()->text(), QString::fromStdString(s.ui.answer));
    QCOMPARE(s.engine->Source(), s.ui.answer);
    QCOMPARE(window.lstFiles()->count(), 0);
    QCOMPARE(boxes.texts.size(), 1);
    QVERIFY(boxes.texts[0].startsWith("REMEMBER, you MUST select an import type above when"));
    for (int i = 0; i < frmMain::kOptionCount; ++i) QVERIFY(!window.optDataType(i)->isChecked());
    QCOMPARE(s.engine->DataType(), frmMain::kGuessDataType);

    window.cmdClear()->click();
    QVERIFY(window.lblFile()->text().isEmpty());
    QCOMPARE(window.lstFiles()->count(), 0);
    QCOMPARE(window.lblProgress()->text(), QString("Ready."));
    QVERIFY(!window.optDataType(5)->isChecked());

    // A cancelled dialog changes nothing.
    s.ui.answer.clear();
    window.cmdBrowse()->click();
    QVERIFY(window.lblFile()->text().isEmpty());
    QCOMPARE(boxes.texts.size(), 1);
  }

  void hiddenKeysNeedBothControlAndAlt() {
    Session s;
    frmMain window(s.ctx, s.args, s.engine);
    window.show();
    BoxAnswerer boxes;
    QTest::keyClick(window.lstFiles(), Qt::Key_D, Qt::ControlModifier);
    QTest::keyClick(window.lstFiles(), Qt::Key_D, Qt::AltModifier);
    QTest::keyClick(window.lstFiles(), Qt::Key_N, Qt::ControlModifier);
    QVERIFY(!s.engine->LeaveOutputFiles());
    QVERIFY(!s.engine->NoComparisons());
    QCOMPARE(boxes.texts.size(), 0);

    boxes.Queue(QMessageBox::Ok);
    QTest::keyClick(window.lstFiles(), Qt::Key_D, Qt::ControlModifier | Qt::AltModifier);
    QVERIFY(s.engine->LeaveOutputFiles());
    boxes.Queue(QMessageBox::Ok);
    QTest::keyClick(window.cmdImport(), Qt::Key_N,
                    Qt::ControlModifier | Qt::AltModifier | Qt::ShiftModifier);
    QVERIFY(s.engine->NoComparisons());
    QCOMPARE(boxes.texts.size(), 2);
    QCOMPARE(boxes.texts[0], QString("Advanced feature 'LEAVE output files' has been turned on."));
    QCOMPARE(boxes.texts[1], QString("Advanced feature 'NO comparisons' has been turned on."));

    // The version box: the program's own block, then the extractor's.
    boxes.Queue(QMessageBox::Ok);
    QTest::keyClick(&window, Qt::Key_V, Qt::ControlModifier | Qt::AltModifier);
    QCOMPARE(boxes.texts.size(), 3);
    QString version = boxes.texts[2];
    QVERIFY2(version.startsWith("Ingestor:\n\n\tCompany Name: "), qPrintable(version));
    QVERIFY2(version.contains("\n\nExtractor:\n\n\tCompany Name:    "), qPrintable(version));
    QVERIFY(version.contains("\n\tInstalled path:    " + QString::fromStdString(s.args.pieces[0])));
    // An extractor without version information adds nothing.
    s.world.Write("plain-extractor", "#!/bin/sh\n");
    s.engine->SetExtractor(s.world.Program("plain-extractor"));
    boxes.Queue(QMessageBox::Ok);
    QTest::keyClick(&window, Qt::Key_V, Qt::ControlModifier | Qt::AltModifier);
    QCOMPARE(boxes.texts.size(), 4);
    QVERIFY(!boxes.texts[3].contains("Extractor:"));
  }

  void closingSavesThePlaceUnlessMinimised() {
    {
      Session s;
      frmMain window(s.ctx, s.args, s.engine);
      window.show();
      window.move(ui::TwipsToPixels(1500, window.logicalDpiX()),
                  ui::TwipsToPixels(900, window.logicalDpiX()));
      s.ui.answer = s.world.Program("host/data/lender.dta");
      BoxAnswerer boxes;
      boxes.Queue(QMessageBox::Ok);
      window.cmdBrowse()->click();
      window.cmdExit()->click();
      QVERIFY(!s.engine);  // released by the unload
      QCOMPARE(s.Number("Left"), 1500);
      QCOMPARE(s.Number("Top"), 900);
      QCOMPARE(s.Text("Last file"), s.ui.answer);
      QCOMPARE(s.Text("Last folder"), s.ui.answer);

      // The next start applies the stored place; minimised at close keeps it.
      s.engine = std::make_unique<CSImportEngine>(s.ctx, importers::Table());
      frmMain again(s.ctx, s.args, s.engine);
      QCOMPARE(again.x(), ui::TwipsToPixels(1500, again.logicalDpiX()));
      QCOMPARE(again.y(), ui::TwipsToPixels(900, again.logicalDpiX()));
      again.show();
      again.move(0, 0);
      again.showMinimized();
      again.optDataType(5)->click();
      again.close();
      QCOMPARE(s.Number("Left"), 1500);
      QCOMPARE(s.Number("Top"), 900);
      QCOMPARE(s.Text("Last file"), std::string());
      QCOMPARE(s.Text("Last folder"), s.world.Program("host/data") + "\\");
    }
  }

  // Every way of starting an import from the window, by its buttons, to the
  // end of the run: what the status line and the log end with, and the rows.
  void everyRouteRunsToTheEndOfAnImport() {
    enum class Then { Convert, ClearFirst, ChosenFileGone, SourceBlocked };
    constexpr auto kNone = QMessageBox::NoButton, kYes = QMessageBox::Yes;
    const char* const kDone = "Import finished successfully!";
    const std::string kResponses = "host/data/CommonResponses.mdb";
    const std::string kPrivate = "docs/My Kestova/CommonResponses.mdb";
    const std::string kLenders = "host/data/Lenders.mdb";
    struct Route {
      const char* browse;  // the host file chosen with the folder button
      int option;          // clicked afterwards; -1 for none
      Then then;
      QMessageBox::StandardButton answer;  // to the long-import question
      const char* said;                    // the status line's end; nullptr: left as it was
      bool logged;                         // `said` also ends the run's log; false: no log
      std::string database;
      const char* table;
      int rows;  // -1: no database
    };
    const Route routes[] = {
        {nullptr, 0, Then::Convert, kNone, kDone, true, kResponses, "resp", 4},
        {nullptr, 1, Then::Convert, kNone, kDone, true, kPrivate, "global", 2},
        {nullptr, 2, Then::Convert, kNone, kDone, true, kResponses, "global", 2},
        {nullptr, 3, Then::Convert, kNone, kDone, true, kPrivate, "global", 2},
        {nullptr, 4, Then::Convert, kYes, kDone, true, "host/data/Appraisals.mdb", "FileIndex", 3},
        {nullptr, 5, Then::Convert, kYes, kDone, true, kLenders, "Lenders", 3},
        {nullptr, 7, Then::Convert, kYes, kDone, true, "host/data/Comparables.mdb", "ZazOzurs", 4},
        {nullptr, 5, Then::Convert, QMessageBox::No, "Import cancelled; nothing was imported.",
         true, kLenders, "Lenders", -1},
        // One file: it stays the source whatever option follows; its database
        // is the host's, private types included.
        {"host/data/resp.dat", 0, Then::Convert, kNone, kDone, true, kResponses, "resp", 4},
        {"host/private/resp.dat", 1, Then::Convert, kNone, kDone, true, kResponses, "resp", 4},
        {"host/data/global.dat", 2, Then::Convert, kNone, kDone, true, kResponses, "global", 2},
        {"host/private/global.dat", 3, Then::Convert, kNone, kDone, true, kResponses, "global", 2},
        {"host/data/didovuro.dta", 4, Then::Convert, kYes, kDone, true, "host/data/Appraisals.mdb",
         "FileIndex", 3},
        {"host/data/lender.dta", 5, Then::Convert, kYes, kDone, true, kLenders, "Lenders", 3},
        {"host/data/xcomps.dat", 7, Then::Convert, kYes, kDone, true, "host/data/Comparables.mdb",
         "ZazOzurs", 3},
        // No option: no database name, so the run ends before the guess.
        {"host/data/lender.dta", -1, Then::Convert, kNone, "Import operation failed.", true,
         kLenders, "Lenders", -1},
        {"host/data/lender.dta", 5, Then::ChosenFileGone, kNone, "Source file DOES NOT exist: '",
         false, kLenders, "Lenders", -1},
        // Clear keeps the data type: the empty list extracts nothing.
        {nullptr, 5, Then::ClearFirst, kYes, "Extraction resulted in zero files. Exiting...", true,
         kLenders, "Lenders", 0},
        {nullptr, 0, Then::SourceBlocked, kNone, nullptr, false, "blocker/data/CommonResponses.mdb",
         "resp", -1},
    };
    for (const Route& route : routes) {
      const std::string name = std::string(route.browse ? route.browse : "folder") + ", option " +
                               std::to_string(route.option) + ", then " +
                               std::to_string(static_cast<int>(route.then));
      const char* what = name.c_str();
      Session s;
      modRegistry::SaveRegistryString(
          s.ctx, modRegistry::HKEY_CURRENT_USER,
          "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders", "Personal",
          s.world.Program("docs"), true);
      if (route.then == Then::SourceBlocked) {
        s.world.Write("blocker", "a file where a folder should be");
        s.world.Write("host/Zev.ini",
                      "[Directories]\r\nDataDir=" + s.world.Program("blocker/data") + "\r\n");
      }
      frmMain window(s.ctx, s.args, s.engine);
      window.show();
      BoxAnswerer boxes;
      int asked = 0;
      if (route.browse != nullptr) {
        s.ui.answer = s.world.Program(route.browse);
        boxes.Queue(QMessageBox::Ok);
        window.cmdBrowse()->click();
        ++asked;
      }
      if (route.option >= 0) window.optDataType(route.option)->click();
      if (route.then == Then::ClearFirst) window.cmdClear()->click();
      if (route.then == Then::ChosenFileGone) std::filesystem::remove(s.world.Native(route.browse));
      if (route.answer != kNone) {
        boxes.Queue(route.answer);
        ++asked;
      }
      const QString before = window.lblProgress()->text();
      window.cmdImport()->click();

      QVERIFY2(boxes.texts.size() == asked, what);
      if (route.answer != kNone)
        QVERIFY2(boxes.texts.back().startsWith(
                     "Please be aware that because of the number of comparisons\nand their") &&
                     boxes.texts.back().endsWith("Do you still wish to continue with this import?"),
                 what);
      QVERIFY2(s.world.ui.boxes.empty(), what);
      QVERIFY2(window.cmdImport()->isEnabled(), what);
      const QString status = window.lblProgress()->text();
      if (route.said == nullptr)
        QVERIFY2(status == before, what);
      else
        QVERIFY2(status.contains(route.said), (name + ": " + status.toStdString()).c_str());
      std::string log = LogIn(s.world, "out");
      QVERIFY2(log.empty() != route.logged, what);
      if (route.logged) {
        while (log.ends_with("\r\n")) log.resize(log.size() - 2);
        QVERIFY2(log.ends_with(route.said), (name + ": " + log).c_str());
        // A chosen file is imported as one file, not as its folder.
        if (route.browse != nullptr && route.option >= 0)
          QVERIFY2(log.find(" - Source is a file.") != std::string::npos, what);
      }
      if (route.said == kDone) QCOMPARE(window.ProgressBar().Value(), window.ProgressBar().Max());
      const int rows = Session::Rows(s.world.Native(route.database), route.table);
      QVERIFY2(rows == route.rows, (name + ": " + std::to_string(rows) + " rows").c_str());
    }
  }

  void controlsAreLockedDuringARunAndCloseWaitsForItsEnd() {
    Session s;
    frmMain window(s.ctx, s.args, s.engine);
    window.show();
    window.optDataType(5)->click();
    BoxAnswerer boxes;
    boxes.Queue(QMessageBox::Yes);
    int seenRunning = 0, seenUnlocked = 0;
    bool closeAsked = false;
    QTimer probe;
    probe.setInterval(0);
    connect(&probe, &QTimer::timeout, [&] {
      if (!window.Running()) return;
      ++seenRunning;
      if (window.cmdImport()->isEnabled() || window.cmdClear()->isEnabled() ||
          window.cmdBrowse()->isEnabled() || window.cmdExit()->isEnabled() ||
          window.optDataType(0)->isEnabled())
        ++seenUnlocked;
      if (!closeAsked) {
        closeAsked = true;
        window.close();               // deferred
        window.cmdImport()->click();  // ignored: disabled
      }
    });
    probe.start();
    QVERIFY(window.ImportData());
    probe.stop();
    QVERIFY(seenRunning > 0);
    QCOMPARE(seenUnlocked, 0);
    QVERIFY(s.engine != nullptr);     // not released mid-run
    QCOMPARE(boxes.texts.size(), 1);  // no second run started
    QTRY_VERIFY(!window.isVisible());
    QVERIFY(!s.engine);
    QCOMPARE(Session::Rows(s.world.Native("host/data/Lenders.mdb"), "Lenders"), 3);
  }
};

QTEST_MAIN(MainWindowTest)
#include "main_window_test.moc"
