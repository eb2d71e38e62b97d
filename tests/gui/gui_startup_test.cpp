// Display detection, run in a probe process per environment (a process can
// start its Qt application only once). Whatever the environment, the probe
// must finish normally: Qt aborts a process whose platform cannot start.
#include <QProcess>
#include <QStandardPaths>
#include <QtTest>

class GuiStartupTest : public QObject {
  Q_OBJECT

 private slots:
  void eachEnvironmentGetsTheDisplayItCanUse() {
    const QString xvfbRun = QStandardPaths::findExecutable(QStringLiteral("xvfb-run"));
    const QString nobody = "DISPLAY=/nonexistent/socket:97", unset = "QT_QPA_PLATFORM unset";
    // NAME=value set in an environment that names no display; what the probe
    // prints: its decision, then the platform variable as it leaves it.
    const std::pair<QStringList, QStringList> cases[] = {
        {{}, {"console", unset}},
        {{nobody}, {"console", unset}},
        // Asking for that platform by name changes nothing, and is left as it was.
        {{nobody, "QT_QPA_PLATFORM=xcb"}, {"console", "QT_QPA_PLATFORM=xcb"}},
        {{"WAYLAND_DISPLAY=wayland-nobody-97"}, {"console", unset}},
        {{"QT_QPA_PLATFORM=offscreen"},
         {"qt:offscreen interactive=0", "QT_QPA_PLATFORM=offscreen"}},
        {{"xvfb-run"}, {"qt:xcb interactive=1", unset}},  // a real display, last
    };
    for (const auto& [set, expected] : cases) {
      QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
      for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "XDG_SESSION_TYPE",
                               "QT_QPA_PLATFORM_PLUGIN_PATH"})
        env.remove(name);
      for (const QString& var : set) env.insert(var.section('=', 0, 0), var.section('=', 1));
      QProcess probe;
      probe.setProcessEnvironment(env);
      const bool xvfb = set == QStringList("xvfb-run");
      if (xvfb && xvfbRun.isEmpty()) QSKIP("xvfb-run is not installed");
      probe.start(xvfb ? xvfbRun : INGESTOR_GUI_PROBE,
                  xvfb ? QStringList({"-a", INGESTOR_GUI_PROBE}) : QStringList());
      QVERIFY(probe.waitForFinished(120000));
      const QString errors = probe.readAllStandardError();
      const QStringList printed =
          QString(probe.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
      if (xvfb && probe.exitCode() != 0 && printed.isEmpty())
        QSKIP(qPrintable("xvfb-run could not start a server: " + errors));
      QVERIFY2(probe.exitStatus() == QProcess::NormalExit && probe.exitCode() == 0,
               qPrintable(errors));
      QCOMPARE(printed, expected);
      // The failed platform's complaints are not shown.
      QVERIFY2(!errors.contains("could not connect to display"), qPrintable(errors));
    }
  }
};

QTEST_GUILESS_MAIN(GuiStartupTest)
#include "gui_startup_test.moc"
