// Display detection, run in a probe process per environment (a process can
// start its Qt application only once). Whatever the environment, the probe
// must finish normally: Qt aborts a process whose platform cannot start.
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QtTest>

namespace {

struct ProbeRun {
  bool finished = false;
  bool crashed = true;
  int exitCode = -1;
  QStringList lines;  // stdout
  QString errors;     // stderr
};

// The environment of this test minus everything that announces a display.
QProcessEnvironment Bare() {
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "XDG_SESSION_TYPE",
                           "QT_QPA_PLATFORM_PLUGIN_PATH"})
    env.remove(QString::fromLatin1(name));
  return env;
}

ProbeRun Run(const QProcessEnvironment& env,
             const QString& program = QStringLiteral(INGESTOR_GUI_PROBE),
             const QStringList& arguments = {}) {
  QProcess process;
  process.setProcessEnvironment(env);
  process.start(program, arguments);
  ProbeRun run;
  if (!process.waitForFinished(120000)) {
    process.kill();
    process.waitForFinished();
    return run;
  }
  run.finished = true;
  run.crashed = process.exitStatus() != QProcess::NormalExit;
  run.exitCode = process.exitCode();
  run.lines = QString::fromLocal8Bit(process.readAllStandardOutput())
                  .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
  run.errors = QString::fromLocal8Bit(process.readAllStandardError());
  return run;
}

// The probe finished normally (no abort) and printed `decision`, then `variable`.
void Expect(const ProbeRun& run, const char* decision, const char* variable) {
  QVERIFY2(run.finished && !run.crashed, qPrintable(run.errors));
  QCOMPARE(run.exitCode, 0);
  QCOMPARE(run.lines, QStringList({QString::fromLatin1(decision), QString::fromLatin1(variable)}));
}

// An X display number nothing serves.
QString UnusedDisplay() {
  for (int n = 97; n < 200; ++n)
    if (!QFile::exists(QStringLiteral("/tmp/.X11-unix/X%1").arg(n)) &&
        !QFile::exists(QStringLiteral("/tmp/.X%1-lock").arg(n)))
      return QStringLiteral(":%1").arg(n);
  return QString();
}

}  // namespace

class GuiStartupTest : public QObject {
  Q_OBJECT

 private slots:
  void noDisplayMeansTheConsole() { Expect(Run(Bare()), "console", "QT_QPA_PLATFORM unset"); }

  void aDisplayNobodyServesMeansTheConsoleWithoutAborting() {
    QString display = UnusedDisplay();
    if (display.isEmpty()) QSKIP("every display number from :97 on seems in use");
    QProcessEnvironment env = Bare();
    env.insert(QStringLiteral("DISPLAY"), display);
    ProbeRun run = Run(env);
    Expect(run, "console", "QT_QPA_PLATFORM unset");
    // The failed platform's complaints are not shown.
    QVERIFY2(!run.errors.contains(QStringLiteral("could not connect to display")),
             qPrintable(run.errors));

    // Asking for that platform by name changes nothing, and the request is
    // left as it was.
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    Expect(Run(env), "console", "QT_QPA_PLATFORM=xcb");

    // A stale Wayland display alone ends the same way.
    env = Bare();
    env.insert(QStringLiteral("WAYLAND_DISPLAY"), QStringLiteral("wayland-nobody-97"));
    run = Run(env);
    QVERIFY2(run.finished && !run.crashed, qPrintable(run.errors));
    QCOMPARE(run.lines.value(0), QStringLiteral("console"));
  }

  void offscreenOnRequestStartsWithoutAsking() {
    QProcessEnvironment env = Bare();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    Expect(Run(env), "qt:offscreen interactive=0", "QT_QPA_PLATFORM=offscreen");
  }

  void aRealDisplayIsInteractive() {
    QString xvfbRun = QStandardPaths::findExecutable(QStringLiteral("xvfb-run"));
    if (xvfbRun.isEmpty()) QSKIP("xvfb-run is not installed; no X server to start on");
    ProbeRun run = Run(Bare(), xvfbRun, {QStringLiteral("-a"), QStringLiteral(INGESTOR_GUI_PROBE)});
    QVERIFY2(run.finished && !run.crashed, qPrintable(run.errors));
    if (run.exitCode != 0 && run.lines.isEmpty())
      QSKIP(qPrintable(QStringLiteral("xvfb-run could not start a server: ") + run.errors));
    Expect(run, "qt:xcb interactive=1", "QT_QPA_PLATFORM unset");
  }
};

QTEST_GUILESS_MAIN(GuiStartupTest)
#include "gui_startup_test.moc"
