#include "ImporterHarness.h"

#include <cstdio>
#include <cstdlib>
#include <utility>

#include "engine/DbConnection.h"
#include "engine/DirectImport.h"

namespace fuzzing {

namespace {

// A harness that cannot lay down its database would fuzz nothing: stop loudly.
[[noreturn]] void SetupFailed(const std::string& what) {
  std::fprintf(stderr, "fuzz harness set-up failed: %s\n", what.c_str());
  std::abort();
}

}  // namespace

ImporterHarness::ImporterHarness(std::int32_t dataType, const std::vector<std::string>& schema) {
  engine.SetOutputObject(&output);
  engine.SetDataType(static_cast<DataType>(dataType));
  world.MakeFolder("out");
  engine.SetOutputDatabase(world.Program("out.mdb"));
  engine.SetOutputFolder(world.Program("out") + "\\");
  world.Write("out.mdb", "");
  if (!DirectImport::Connect(engine)) SetupFailed("cannot open out.mdb");
  for (const std::string& sql : schema)
    if (!engine.Connection()->Execute(sql)) SetupFailed(sql);
  DirectImport::Disconnect(engine);
  database_ = world.Read("out.mdb");
}

void ImporterHarness::Finish() {
  DirectImport::Disconnect(engine);
  DirectImport::ListOutputFiles(engine, {});
  auto release = [](auto& list) {
    list.clear();
    list.shrink_to_fit();
  };
  release(output.lines);
  release(world.ui.boxes);
  release(world.ui.windows);
  world.ui.answers.clear();
  for (const std::string& name : written_) std::remove(world.Native("out/" + name).c_str());
  release(written_);
}

bool ImporterHarness::PrepareOneFile(InputReader& in, const char* const (&names)[4]) {
  const std::uint8_t flags = in.Byte();
  const std::string name = names[flags & 3];
  std::vector<std::string> listed{name};
  if (flags & 4) listed.push_back(name);
  return Prepare({{name, in.Rest()}}, std::move(listed), static_cast<std::uint8_t>(flags >> 4));
}

bool ImporterHarness::Prepare(const std::vector<std::pair<std::string, std::string_view>>& files,
                              std::vector<std::string> names, std::uint8_t answers) {
  Finish();
  world.Write("out.mdb", database_);
  const bool listFiles = names.empty();
  for (const auto& [name, bytes] : files) {
    world.Write("out/" + name, std::string(bytes));
    written_.push_back(name);
    if (listFiles) names.push_back(name);
  }
  DirectImport::ListOutputFiles(engine, std::move(names));
  engine.SetConflictPolicy(CSImportEngine::ConflictPolicy::Ask);

  world.ui.boxes.clear();
  world.ui.windows.clear();
  world.ui.answers.clear();
  for (int i = 0; i < 4; ++i)
    world.ui.answers.push_back((answers >> i) & 1 ? platform::MsgAnswer::Yes
                                                  : platform::MsgAnswer::No);
  const bool opened = DirectImport::Connect(engine);
  // The database is thrown away after the input: waiting for the disk buys nothing.
  if (opened) {
    engine.Connection()->Execute("PRAGMA synchronous = OFF");
    engine.Connection()->Execute("PRAGMA journal_mode = MEMORY");
  }
  output.lines.clear();
  return opened;
}

}  // namespace fuzzing
