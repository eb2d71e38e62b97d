// Unexpected failures (here: an Env that throws) end in the routine's error box
// and its failure value; nothing escapes.
#include <gtest/gtest.h>

#include <iterator>
#include <stdexcept>
#include <string>

#include "doubles/RecordingUi.h"
#include "platform/Context.h"
#include "support/modINIFile.h"
#include "support/modRegistry.h"

namespace {

class ThrowingEnv final : public platform::Env {
 public:
  [[noreturn]] static void Fail() { throw std::runtime_error("disk on fire"); }
  std::optional<platform::FileInfo> Stat(const std::string&) override { Fail(); }
  bool CanOpenForReading(const std::string&, std::string&) override { Fail(); }
  bool OpenOrCreate(const std::string&, std::string&) override { Fail(); }
  bool CanEnterFolder(const std::string&, std::string&) override { Fail(); }
  bool CopyFile(const std::string&, const std::string&, bool, std::string&) override { Fail(); }
  bool DeleteFile(const std::string&, std::string&) override { Fail(); }
  platform::FolderResult CreateFolder(const std::string&, std::string&) override { Fail(); }
  std::optional<std::vector<platform::DirEntry>> ListFolder(const std::string&,
                                                            std::string&) override {
    Fail();
  }
  std::optional<std::string> ReadWholeFile(const std::string&, std::string&) override { Fail(); }
  bool ReplaceFile(const std::string&, std::string_view, std::string&) override { Fail(); }
  std::unique_ptr<platform::ReadableFile> OpenForReading(const std::string&,
                                                         std::string&) override {
    Fail();
  }
  std::unique_ptr<platform::WritableFile> OpenForWriting(const std::string&, bool&,
                                                         std::string&) override {
    Fail();
  }
  platform::Presence Lookup(const std::string&, std::string&) override { Fail(); }
  bool CheckReadable(const std::string&, std::string&) override { Fail(); }
  platform::FolderResult CreatePrivateFolder(const std::string&, std::string&) override { Fail(); }
  bool CopyDatabase(const std::string&, const std::string&, std::string&) override { Fail(); }
  std::unique_ptr<platform::FileLock> TryLock(const std::string&, bool&, std::string&) override {
    Fail();
  }
  void PrintError(const std::string&) override { Fail(); }
  std::unique_ptr<db::Backend> OpenDatabase(const std::string&,
                                            std::vector<std::string>&) override {
    Fail();
  }
  bool IsExecutableFile(const std::string&) override { Fail(); }
  std::optional<int> RunProcess(const std::string&, const std::vector<std::string>&, bool,
                                std::string&) override {
    Fail();
  }
  std::string CurrentFolder() override { Fail(); }
  std::string ProgramFolder() override { Fail(); }
  std::string WindowsFolder() override { Fail(); }
  std::string SystemFolder() override { Fail(); }
  std::optional<std::string> Variable(const std::string&) override { Fail(); }
  double MonotonicSeconds() override { Fail(); }
  platform::LocalTime LocalNow() override { Fail(); }
};

TEST(SettingsErrorBox, EachRoutineShowsItsOwnBoxAndReturnsItsFailureValue) {
  ThrowingEnv env;
  testing_doubles::RecordingUi ui;
  platform::FileChannels files;
  platform::Context ctx{env, ui, files};
  const std::uint32_t root = modRegistry::HKEY_CURRENT_USER;

  EXPECT_FALSE(modRegistry::SaveRegistryNumeric(ctx, root, "Software\\X", "N", 1, true));
  EXPECT_FALSE(modRegistry::SaveRegistryString(ctx, root, "Software\\X", "T", "t", true));
  EXPECT_EQ(modRegistry::GetRegistryNumeric(ctx, root, "Software\\X", "N", false), 0);
  EXPECT_EQ(modRegistry::GetRegistryString(ctx, root, "Software\\X", "T", false), "");
  modINIFile::ClearINICache();
  EXPECT_EQ(modINIFile::GetINIString(ctx, "S", "K", "fallback", "\\etc\\x.ini"), "fallback");
  EXPECT_EQ(modINIFile::GetINIFileSection(ctx, "\\etc\\x.ini", "S"), "");

  const char* titles[] = {
      "Error in \"SaveRegistryNumeric::modRegistry\"",
      "Error in \"SaveRegistryString::modRegistry\"",
      "Error in \"GetRegistryNumeric::modRegistry\"",
      "Error in \"GetRegistryString::modRegistry\"",
      "Error in \"GetINIString::modINIFile\"",
      "Error in \"GetINIFileSection::modINIFile\"",
  };
  ASSERT_EQ(ui.boxes.size(), std::size(titles));
  for (std::size_t i = 0; i < ui.boxes.size(); ++i) {
    EXPECT_EQ(ui.boxes[i].title, titles[i]);
    EXPECT_EQ(ui.boxes[i].text, "The following error(s) occurred: \r\n\r\ndisk on fire");
    EXPECT_EQ(ui.boxes[i].buttons, platform::MsgButtons::OK);
    EXPECT_EQ(ui.boxes[i].icon, platform::MsgIcon::Information);
  }
}

}  // namespace
