// A temporary folder and a Context over the real Env (wrapped so faults can be
// injected), a recording user interface and a fresh file table. Paths handed
// to the code under test are in program form ('\').
#pragma once

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>

#include "doubles/FaultyEnv.h"
#include "doubles/RecordingUi.h"
#include "platform/Context.h"
#include "platform/PosixEnv.h"

namespace testing_doubles {

// A native path in program form ('/' -> '\\').
inline std::string TailPath(std::string native) {
  std::replace(native.begin(), native.end(), '/', '\\');
  return native;
}
inline std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

class TestWorld {
 public:
  TestWorld() : env(real), ctx{env, ui, files} {
    std::string tmpl = (std::filesystem::temp_directory_path() / "ingestor-test-XXXXXX").string();
    root_ = ::mkdtemp(tmpl.data()) ? tmpl : std::string();
  }
  ~TestWorld() {
    std::error_code ec;
    std::filesystem::remove_all(root_, ec);
  }
  TestWorld(const TestWorld&) = delete;
  TestWorld& operator=(const TestWorld&) = delete;

  // Native path of `relative` inside the temporary folder.
  std::string Native(const std::string& relative = "") const {
    return relative.empty() ? root_ : root_ + "/" + relative;
  }
  // The same in program form.
  std::string Program(const std::string& relative = "") const { return TailPath(Native(relative)); }
  void Write(const std::string& relative, const std::string& contents) const {
    std::filesystem::path p = Native(relative);
    std::filesystem::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary) << contents;
  }
  std::string Read(const std::string& relative) const { return Slurp(Native(relative)); }
  bool Has(const std::string& relative) const { return std::filesystem::exists(Native(relative)); }
  void MakeFolder(const std::string& relative) const {
    std::filesystem::create_directories(Native(relative));
  }

  platform::PosixEnv real;
  FaultyEnv env;
  RecordingUi ui;
  platform::FileChannels files;
  platform::Context ctx;

 private:
  std::string root_;
};

}  // namespace testing_doubles
