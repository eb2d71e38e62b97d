#include "ui/qt/GuiStartup.h"

#include <QDir>
#include <QGuiApplication>
#include <QLibraryInfo>
#include <QStringList>
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

namespace ui::qt {

namespace {

constexpr const char* kPlatformVariable = "QT_QPA_PLATFORM";

std::optional<std::string> Variable(const char* name) {
  const char* value = std::getenv(name);
  if (value == nullptr) return std::nullopt;
  return std::string(value);
}

bool IsSet(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr && *value != '\0';
}

std::string Lower(std::string text) {
  for (char& ch : text) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
  return text;
}

// The platform names of a list such as "xcb:arg=1;offscreen".
std::vector<std::string> PlatformNames(const std::string& list) {
  std::vector<std::string> names;
  std::string::size_type start = 0;
  while (start <= list.size()) {
    std::string::size_type end = std::min(list.find(';', start), list.size());
    std::string entry = list.substr(start, end - start);
    std::string name = Lower(entry.substr(0, entry.find(':')));
    if (!name.empty()) names.push_back(name);
    start = end + 1;
  }
  return names;
}

bool Contains(const std::vector<std::string>& names, const std::string& name) {
  return std::find(names.begin(), names.end(), name) != names.end();
}

// Platforms whose windows nobody sees.
bool Headless(const std::string& platform) {
  return platform == "offscreen" || platform == "minimal";
}

// The platforms to try when none was asked for, best first, or "" when no
// display is announced at all. An X display comes first (it also serves under
// XWayland), except in a Wayland session outside GNOME, where Qt itself would
// prefer Wayland.
std::string AutomaticPlatforms() {
  bool x11 = IsSet("DISPLAY");
  bool wayland = IsSet("WAYLAND_DISPLAY");
  if (!x11 && !wayland) return std::string();
  std::string desktop = Lower(Variable("XDG_CURRENT_DESKTOP").value_or("") + ";" +
                              Variable("XDG_SESSION_DESKTOP").value_or(""));
  bool preferWayland = wayland && Variable("XDG_SESSION_TYPE").value_or("") == "wayland" &&
                       desktop.find("gnome") == std::string::npos;
  std::vector<std::string> order;
  if (preferWayland) order.push_back("wayland");
  if (x11) order.push_back("xcb");
  if (wayland && !preferWayland) order.push_back("wayland");
  std::string list;
  for (const std::string& name : order) list += name + ";";
  return list;
}

// Whether the offscreen platform plugin can be found where Qt looks for
// platform plugins. Without it the fallback cannot catch a failed start.
bool OffscreenPluginPresent() {
  QStringList folders;
  if (auto path = Variable("QT_QPA_PLATFORM_PLUGIN_PATH")) folders << QString::fromLocal8Bit(*path);
  if (auto paths = Variable("QT_PLUGIN_PATH"))
    for (const QString& path : QString::fromLocal8Bit(*paths).split(QLatin1Char(':')))
      folders << path + QStringLiteral("/platforms");
  folders << QLibraryInfo::path(QLibraryInfo::PluginsPath) + QStringLiteral("/platforms");
  for (const QString& folder : folders) {
    if (folder.isEmpty()) continue;
    if (!QDir(folder).entryList({QStringLiteral("*qoffscreen*")}, QDir::Files).isEmpty())
      return true;
  }
  return false;
}

// Puts an environment variable back as it was found.
class VariableRestorer {
 public:
  explicit VariableRestorer(const char* name) : name_(name), saved_(Variable(name)) {}
  VariableRestorer(const VariableRestorer&) = delete;
  VariableRestorer& operator=(const VariableRestorer&) = delete;
  ~VariableRestorer() {
    if (saved_)
      ::setenv(name_, saved_->c_str(), 1);
    else
      ::unsetenv(name_);
  }

 private:
  const char* name_;
  std::optional<std::string> saved_;
};

QtMessageHandler previousHandler = nullptr;

// While the platform starts, the platforms that fail announce it in the
// "qt.qpa.*" categories; the fallback makes that expected, so it is dropped.
void DropPlatformNoise(QtMsgType type, const QMessageLogContext& context, const QString& message) {
  if (type != QtFatalMsg && context.category != nullptr &&
      std::strncmp(context.category, "qt.qpa.", 7) == 0)
    return;
  if (previousHandler != nullptr) {
    previousHandler(type, context, message);
    return;
  }
  std::fprintf(stderr, "%s\n", qPrintable(qFormatLogMessage(type, context, message)));
}

// Installs the filter for its lifetime.
class NoiseFilter {
 public:
  NoiseFilter() { previousHandler = qInstallMessageHandler(DropPlatformNoise); }
  NoiseFilter(const NoiseFilter&) = delete;
  NoiseFilter& operator=(const NoiseFilter&) = delete;
  ~NoiseFilter() {
    qInstallMessageHandler(previousHandler);
    previousHandler = nullptr;
  }
};

}  // namespace

std::unique_ptr<QApplication> StartGui(int& argc, char** argv, bool& interactive) {
  interactive = false;
  try {
    std::string requested = Variable(kPlatformVariable).value_or("");
    std::vector<std::string> asked = PlatformNames(requested);
    std::string platforms;
    if (!asked.empty()) {
      platforms = requested;
      if (!Contains(asked, "offscreen")) platforms += ";offscreen";
    } else {
      platforms = AutomaticPlatforms();
      if (platforms.empty()) return nullptr;
      platforms += "offscreen";
    }
    if (!OffscreenPluginPresent()) {
      std::fputs("The offscreen Qt platform plugin is missing; running without windows.\n", stderr);
      return nullptr;
    }

    VariableRestorer restore(kPlatformVariable);
    ::setenv(kPlatformVariable, platforms.c_str(), 1);
    std::unique_ptr<QApplication> app;
    {
      NoiseFilter filter;
      app = std::make_unique<QApplication>(argc, argv);
    }
    std::string landed = Lower(QGuiApplication::platformName().toStdString());
    if (Headless(landed) && !Contains(asked, landed)) return nullptr;  // no display after all
    interactive = !Headless(landed);
    return app;
  } catch (...) {
    // Whatever went wrong, the console still works.
    interactive = false;
    return nullptr;
  }
}

}  // namespace ui::qt
