// The Qt user interface driven as a person would: a timer finds the modal box
// or dialog once it is up and answers it.
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <functional>
#include <memory>
#include <string>

#include "doubles/FaultyEnv.h"
#include "doubles/RecordingUi.h"
#include "platform/Paths.h"
#include "platform/PosixEnv.h"
#include "ui/qt/QtUserInterface.h"
#include "ui/qt/frmFileProgress.h"

namespace {

using namespace std::string_literals;
using platform::MsgAnswer;
using platform::MsgButtons;
using platform::MsgIcon;

// Calls `act` with the modal widget of type W once one is active. The timer
// goes when the test function ends, so a box that never comes cannot act on a
// later test.
template <class W>
std::unique_ptr<QTimer> WhenModal(std::function<void(W*)> act) {
  auto timer = std::make_unique<QTimer>();
  timer->setInterval(10);
  QTimer* raw = timer.get();
  QObject::connect(raw, &QTimer::timeout, [raw, act] {
    if (auto* widget = qobject_cast<W*>(QApplication::activeModalWidget())) {
      raw->stop();
      act(widget);
    }
  });
  timer->start();
  return timer;
}

struct SeenBox {
  QString text;
  QString title;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  Qt::TextFormat format = Qt::AutoText;
  Qt::WindowModality modality = Qt::NonModal;
  QWidget* parent = nullptr;
  QMessageBox::StandardButtons buttons;
  QMessageBox::StandardButton defaultButton = QMessageBox::NoButton;
};

SeenBox Look(QMessageBox* box) {
  SeenBox seen;
  seen.text = box->text();
  seen.title = box->windowTitle();
  seen.icon = box->icon();
  seen.format = box->textFormat();
  seen.modality = box->windowModality();
  seen.parent = box->parentWidget();
  seen.buttons = box->standardButtons();
  if (box->defaultButton() != nullptr)
    seen.defaultButton = box->standardButton(box->defaultButton());
  return seen;
}

// Answers the next box by clicking `button`, or by Escape when it is NoButton.
std::unique_ptr<QTimer> Answer(QMessageBox::StandardButton button, SeenBox& seen) {
  return WhenModal<QMessageBox>([button, &seen](QMessageBox* box) {
    seen = Look(box);
    if (button == QMessageBox::NoButton)
      QTest::keyClick(box, Qt::Key_Escape);
    else
      box->button(button)->click();
  });
}

struct SeenDialog {
  QString title;
  QString folder;
  QStringList filters;
  QString selectedFilter;
  bool native = true;
  QFileDialog::FileMode mode = QFileDialog::AnyFile;
  QWidget* parent = nullptr;
};

// Answers the next file dialog with `act` after noting what it showed.
std::unique_ptr<QTimer> Choose(SeenDialog& seen, std::function<void(QFileDialog*)> act) {
  return WhenModal<QFileDialog>([&seen, act](QFileDialog* dialog) {
    seen.title = dialog->windowTitle();
    seen.folder = dialog->directory().absolutePath();
    seen.filters = dialog->nameFilters();
    seen.selectedFilter = dialog->selectedNameFilter();
    seen.native = !dialog->testOption(QFileDialog::DontUseNativeDialog);
    seen.mode = dialog->fileMode();
    seen.parent = dialog->parentWidget();
    act(dialog);
    // A dialog the answer did not close (a name it refused) is cancelled, so
    // the test fails on the result instead of waiting forever.
    QTimer::singleShot(2000, dialog, [dialog] {
      if (dialog->isVisible()) dialog->reject();
    });
  });
}

// Types `names` into the dialog's file name box, as a person would. (The
// dialog's selectFile() leaves the box alone once it has the focus.)
void TypeName(QFileDialog* dialog, const QString& names) {
  if (auto* edit = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit")))
    edit->setText(names);
}

// As the dialog's Open button does (the override is not public; the base's is).
void Accept(QFileDialog* dialog) {
  static_cast<QDialog*>(dialog)->accept();
}

bool MakeFile(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::WriteOnly) && file.write("x", 1) == 1;
}

}  // namespace

class UserInterfaceTest : public QObject {
  Q_OBJECT

 private slots:
  void messageBoxesAreAnsweredByTheButtonClickedOrEscape() {
    platform::PosixEnv env;
    testing_doubles::RecordingUi console;
    QtUserInterface ui(env, true, console);
    QVERIFY(ui.CanAsk());
    SeenBox seen;
    auto timer = Answer(QMessageBox::Yes, seen);
    QCOMPARE(ui.MessageBox("Overwrite <b>x</b>?\r\n\r\nIt exists.", "Ingestor", MsgButtons::YesNo,
                           MsgIcon::Question),
             MsgAnswer::Yes);
    QCOMPARE(seen.text, QStringLiteral("Overwrite <b>x</b>?\n\nIt exists."));
    QCOMPARE(seen.title, QStringLiteral("Ingestor"));
    QCOMPARE(seen.format, Qt::PlainText);
    QCOMPARE(seen.modality, Qt::ApplicationModal);
    QVERIFY(seen.parent == nullptr);

    QWidget main;
    ui.SetMainWindow(&main);
    struct Case {
      MsgButtons buttons;
      MsgIcon icon;
      QMessageBox::StandardButton click;  // NoButton: Escape
      MsgAnswer expected;
      QMessageBox::Icon shown;
      QMessageBox::StandardButtons offered;
      QMessageBox::StandardButton byDefault;
    };
    const auto yesNo = QMessageBox::Yes | QMessageBox::No;
    const auto okCancel = QMessageBox::Ok | QMessageBox::Cancel;
    for (const Case& c : {
             Case{MsgButtons::YesNoCancel, MsgIcon::Exclamation, QMessageBox::No, MsgAnswer::No,
                  QMessageBox::Warning, yesNo | QMessageBox::Cancel, QMessageBox::Yes},
             Case{MsgButtons::OKCancel, MsgIcon::Critical, QMessageBox::Cancel, MsgAnswer::Cancel,
                  QMessageBox::Critical, okCancel, QMessageBox::Ok},
             Case{MsgButtons::YesNo, MsgIcon::None, QMessageBox::NoButton, MsgAnswer::No,
                  QMessageBox::NoIcon, yesNo, QMessageBox::Yes},
             Case{MsgButtons::YesNoCancel, MsgIcon::Question, QMessageBox::NoButton,
                  MsgAnswer::Cancel, QMessageBox::Question, yesNo | QMessageBox::Cancel,
                  QMessageBox::Yes},
             Case{MsgButtons::OKCancel, MsgIcon::Information, QMessageBox::NoButton,
                  MsgAnswer::Cancel, QMessageBox::Information, okCancel, QMessageBox::Ok},
             Case{MsgButtons::OK, MsgIcon::Information, QMessageBox::NoButton, MsgAnswer::OK,
                  QMessageBox::Information, QMessageBox::Ok, QMessageBox::Ok},
         }) {
      timer = Answer(c.click, seen);
      QCOMPARE(ui.MessageBox("text", "title", c.buttons, c.icon), c.expected);
      QCOMPARE(seen.icon, c.shown);
      QCOMPARE(seen.buttons, c.offered);
      QCOMPARE(seen.defaultButton, c.byDefault);
      QCOMPARE(seen.parent, &main);
    }
    QVERIFY(console.boxes.empty());
  }

  void withoutAnInteractiveDisplayTheFallbackAnswers() {
    platform::PosixEnv env;
    testing_doubles::RecordingUi console;
    console.answers.push_back(MsgAnswer::Yes);
    QtUserInterface ui(env, false, console);
    QVERIFY(!ui.CanAsk());
    QCOMPARE(ui.MessageBox("Overwrite?\r\nSure?", "Ingestor", MsgButtons::YesNoCancel,
                           MsgIcon::Question),
             MsgAnswer::Yes);
    QCOMPARE(console.boxes.size(), std::size_t{1});
    QCOMPARE(console.boxes[0].text, "Overwrite?\r\nSure?"s);
    QVERIFY(console.boxes[0].buttons == MsgButtons::YesNoCancel);
    platform::OpenDialogOptions options;
    options.filter = "All files (*.*)\0*.*\0"s;
    options.filterIndex = 3;
    platform::OpenDialogResult result = ui.ShowOpenDialog(options);
    QVERIFY(result.buffer.empty());
    QCOMPARE(result.filterIndex, 3);

    // The file progress window opens over the main window, which is not
    // used once it has gone.
    QtUserInterface shown(env, true, console);
    auto main = std::make_unique<QWidget>();
    main->setGeometry(300, 200, 489, 559);
    shown.SetMainWindow(main.get());
    std::unique_ptr<platform::FileProgressWindow> window = shown.LoadFileProgress();
    auto* form = dynamic_cast<frmFileProgress*>(window.get());
    QVERIFY(form != nullptr);
    QCOMPARE(form->frameGeometry().center().x(), main->frameGeometry().center().x());
    window.reset();
    main.reset();
    QVERIFY(shown.MainWindow() == nullptr);
  }

  void openDialogReturnsTheChosenFileAndFilter() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("sub")));
    QString sub = dir.path() + QStringLiteral("/sub");
    QVERIFY(MakeFile(sub + QStringLiteral("/DATA.TMP")));
    QVERIFY(MakeFile(sub + QStringLiteral("/b.tmp")));
    QVERIFY(MakeFile(sub + QStringLiteral("/notes.txt")));

    platform::PosixEnv real;
    testing_doubles::FaultyEnv env(real);
    env.SetVariable("INGESTOR_DRIVE_X", dir.path().toStdString());
    testing_doubles::RecordingUi console;
    QtUserInterface ui(env, true, console);
    QWidget main;
    ui.SetMainWindow(&main);

    platform::OpenDialogOptions options;
    options.title = "Select the host data";
    options.initialFolder = "X:\\sub";
    options.filter = "All files (*.*)\0*.*\0Temp files (*.tmp)\0*.tmp\0"s;
    options.filterIndex = 2;

    SeenDialog seen;
    auto timer = Choose(seen, [](QFileDialog* dialog) {
      TypeName(dialog, QStringLiteral("DATA.TMP"));
      Accept(dialog);
    });
    platform::OpenDialogResult result = ui.ShowOpenDialog(options);
    QCOMPARE(result.buffer,
             platform::ToProgramForm((sub + QStringLiteral("/DATA.TMP")).toStdString()));
    QCOMPARE(result.filterIndex, 2);
    QCOMPARE(seen.title, QStringLiteral("Select the host data"));
    QCOMPARE(seen.folder, QDir(sub).absolutePath());
    // The dialog shows the descriptions as given; the patterns behind them
    // match names in any case.
    QCOMPARE(seen.selectedFilter, QStringLiteral("Temp files (*.tmp)"));
    QCOMPARE(seen.filters[1], QStringLiteral("Temp files (*.tmp) (*.[tT][mM][pP])"));
    QCOMPARE(seen.filters[0], QStringLiteral("All files (*.*) (*)"));
    QVERIFY(!seen.native);
    QCOMPARE(seen.mode, QFileDialog::ExistingFile);
    QCOMPARE(seen.parent, &main);

    // Cancelled: nothing chosen.
    timer = Choose(seen, [](QFileDialog* dialog) { dialog->reject(); });
    result = ui.ShowOpenDialog(options);
    QVERIFY(result.buffer.empty());
    QCOMPARE(result.filterIndex, 2);
    QVERIFY(console.boxes.empty());
  }
};

QTEST_MAIN(UserInterfaceTest)
#include "user_interface_test.moc"
