// A whole unattended import run in-process (modIngestor::Main) against a
// sample host installation, with the platform seam's faults at hand, and a
// reader of what the database then holds.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "doubles/TestWorld.h"
#include "e2e/RunProgram.h"
#include "robustness/Shared.h"
#include "startup/modIngestor.h"
#include "support/modINIFile.h"

namespace robustness {

// One import setting: the data type, the source files, the database before
// the import and the command-line switches.
struct Scenario {
  std::string name;
  std::string dataType;
  std::string database;  // file name; its template comes from the sample host
  std::vector<std::pair<std::string, std::string>> sources;  // name, bytes
  // Files copied into every source folder, never imported (lender.ini).
  std::vector<std::pair<std::string, std::string>> companions = {};
  // SQL run on the template copy before the import.
  std::string baseline = "";
  std::string noComparisons = "True";
  // Answers given to the questions (an overwrite for every conflict).
  std::vector<platform::MsgAnswer> answers = {};
};

struct RunResult {
  int status = -1;
  std::string log;  // the log file and every message box, one line each
  DbState state;
  std::string integrity;
};

class ImportWorld {
 public:
  explicit ImportWorld(Scenario scenario) : scenario_(std::move(scenario)) {
    const bool host = e2e::Run(INGESTOR_SAMPLE_HOST, {world.Native("host")}).status == 0;
    // A fixed clock: runs write the same log lines and backup folder name.
    world.env.SetLocalNow({2011, 4, 5, 10, 20, 30});
    world.env.SetMonotonic(1.0);
    world.env.SetVariable("WINDIR", world.Native("host"));
    world.env.SetVariable("INGESTOR_ALLOW_COMPARABLES", "1");
    ready_ = host &&
             std::filesystem::copy_file(world.Native("host/Data/" + scenario_.database),
                                        world.Native("baseline.mdb")) &&
             Exec(world.Native("baseline.mdb"), scenario_.baseline);
  }
  bool Ready() const { return ready_; }

  // Runs the import of the source files whose bit is set in `mask`, from the
  // database's state before the import, with whatever faults are set.
  RunResult Run(unsigned mask) {
    namespace fs = std::filesystem;
    const std::string source = "src" + std::to_string(mask);
    fs::remove_all(world.Native(source));
    world.MakeFolder(source);
    for (std::size_t i = 0; i < scenario_.sources.size(); ++i)
      if (mask & (1u << i))
        world.Write(source + "/" + scenario_.sources[i].first, scenario_.sources[i].second);
    for (const auto& [name, bytes] : scenario_.companions) world.Write(source + "/" + name, bytes);
    fs::remove_all(world.Native("out"));
    world.MakeFolder("out");
    for (const char* leftover : {"db.mdb", "db.mdb-journal"}) fs::remove(world.Native(leftover));
    fs::copy_file(world.Native("baseline.mdb"), world.Native("db.mdb"));
    modINIFile::ClearINICache();
    world.ui.boxes.clear();
    world.env.printed.clear();
    world.ui.answers.assign(scenario_.answers.begin(), scenario_.answers.end());

    RunResult r;
    r.status = modIngestor::Main(
        world.ctx, e2e::TailPath(INGESTOR_SAMPLE_EXTRACTOR) + "/" + world.Program(source) + "\\/" +
                       world.Program("out") + "\\/" + scenario_.dataType + "/" +
                       world.Program("db.mdb") + "/False/" + scenario_.noComparisons);
    if (afterImport) afterImport();
    r.log = e2e::LogIn(world.Native("out"));
    for (const auto& box : world.ui.boxes) r.log += box.text + "\n";
    for (const auto& line : world.env.printed) r.log += line + "\n";
    r.state = ReadState(world.Native("db.mdb"), r.integrity);
    return r;
  }
  unsigned AllFiles() const { return (1u << scenario_.sources.size()) - 1; }

  // Fault-free runs of every subset of the files: the states a database may
  // be left in; `full` receives the run of all of them.
  std::vector<DbState> References(RunResult& full) {
    std::vector<DbState> refs;
    for (unsigned mask = 0; mask <= AllFiles(); ++mask) {
      RunResult r = Run(mask);
      EXPECT_EQ(r.integrity, "ok");
      refs.push_back(r.state);
      if (mask == AllFiles()) full = std::move(r);
    }
    return refs;
  }

  testing_doubles::TestWorld world;
  // Runs between the import and the reading of its database.
  std::function<void()> afterImport;

 private:
  Scenario scenario_;
  bool ready_ = false;
};

}  // namespace robustness
