// What every importer suite starts from: an engine for one data type whose
// log lines are recorded, connected to an empty embedded database "out.mdb",
// with "out" as its output folder; and readers of the recorded log.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "doubles/TestWorld.h"
#include "engine/CSImportEngine.h"
#include "engine/DirectImport.h"
#include "importers/Importers.h"

namespace testing_doubles {

class ImporterFixture : public ::testing::Test {
 protected:
  explicit ImporterFixture(std::int32_t dataType) {
    engine.SetOutputObject(&output);
    engine.SetDataType(static_cast<DataType>(dataType));
    world.Write("out.mdb", "");
    world.MakeFolder("out");
    engine.SetOutputDatabase(world.Program("out.mdb"));
    engine.SetOutputFolder(world.Program("out") + "\\");
    EXPECT_TRUE(DirectImport::Connect(engine));
  }

  // Writes `files` into the output folder and lists `names` as the
  // extraction's output (by default the files, in order); the log starts
  // afresh, so it holds the coming import's lines only.
  void SetOutputFiles(const std::vector<std::pair<std::string, std::string>>& files,
                      std::vector<std::string> names = {}) {
    const bool listFiles = names.empty();
    for (const auto& [name, bytes] : files) {
      world.Write("out/" + name, bytes);
      if (listFiles) names.push_back(name);
    }
    DirectImport::ListOutputFiles(engine, names);
    output.lines.clear();
  }

  // The text of every log line: after "[Text]", or after " - " for a line
  // without a source.
  std::vector<std::string> Texts() const {
    std::vector<std::string> texts;
    for (const std::string& line : output.lines) {
      auto at = line.find("[Text]");
      texts.push_back(at == std::string::npos ? line.substr(line.find(" - ") + 3)
                                              : line.substr(at + 6));
    }
    return texts;
  }
  bool Logged(const std::string& text) const {
    for (const std::string& t : Texts())
      if (t == text) return true;
    return false;
  }
  bool LoggedStart(const std::string& start) const {
    for (const std::string& t : Texts())
      if (t.rfind(start, 0) == 0) return true;
    return false;
  }

  TestWorld world;
  RecordingOutput output{platform::OutputObject::Kind::List};
  CSImportEngine engine{world.ctx, importers::Table()};
};

}  // namespace testing_doubles
