// One engine, one embedded database and one output folder for the whole
// process. The database is laid down once from a schema (tables without
// rows) and then held in memory on one connection that outlives the engine's
// connections, so its schema is parsed once. Every input starts from an
// empty copy of those tables: its rows are deleted afterwards, and an input
// that changed the schema or broke the connection gets a fresh copy of the
// original bytes. So inputs do not see each other's rows and none waits for
// the disk.
// Every question is answered from a short script, then No (OK for a
// plain message), so nothing ever waits.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "doubles/RecordingUi.h"
#include "doubles/TestWorld.h"
#include "engine/CSImportEngine.h"
#include "importers/Importers.h"
#include "platform/db/Backend.h"

namespace fuzzing {

class StatementPool;

// Reads an input from the front: flag bytes, lengths, then the rest. Past the
// end every read gives zero.
class InputReader {
 public:
  InputReader(const std::uint8_t* data, std::size_t size)
      : bytes_(reinterpret_cast<const char*>(data), size) {}
  std::uint8_t Byte() {
    if (bytes_.empty()) return 0;
    const auto b = static_cast<std::uint8_t>(bytes_.front());
    bytes_.remove_prefix(1);
    return b;
  }
  std::uint16_t Word() { return static_cast<std::uint16_t>(Byte() | (Byte() << 8)); }
  // Up to `n` bytes.
  std::string_view Take(std::size_t n) {
    const std::string_view part = bytes_.substr(0, n);
    bytes_.remove_prefix(part.size());
    return part;
  }
  std::string_view Rest() { return Take(bytes_.size()); }

 private:
  std::string_view bytes_;
};

class ImporterHarness {
 public:
  // An engine of `dataType` over "out.mdb", whose tables `schema` creates
  // (statements in the host's SQL dialect).
  ImporterHarness(std::int32_t dataType, const std::vector<std::string>& schema);

  // Restores the database, writes `files` into the output folder and lists
  // `names` as the extraction's output (the files in order when empty).
  // `answers` scripts the questions: bit i set answers question i Yes, for
  // the first four questions. False when the database could not be restored.
  bool Prepare(const std::vector<std::pair<std::string, std::string_view>>& files,
               std::vector<std::string> names, std::uint8_t answers);
  // The usual input of a one-file importer: a flag byte, then the file. Bits
  // 0-1 pick its name from `names`, bit 2 lists it twice, bits 4-7 script
  // the answers; the rest of the input is the file.
  bool PrepareOneFile(InputReader& in, const char* const (&names)[4]);
  // Closes the database and releases what the input left behind (log lines,
  // boxes, windows, file lists), so that an input frees what it allocates and
  // the fuzzer's leak check has nothing to chase between inputs.
  void Finish();

  // Sets the process's temporary folder to /dev/shm when there is one, so that
  // the output files every input writes stay in memory; before `world`,
  // which makes its folder there.
  struct InMemoryTemp {
    InMemoryTemp();
  } inMemoryTemp_;
  testing_doubles::TestWorld world;
  testing_doubles::RecordingOutput output{platform::OutputObject::Kind::List};
  CSImportEngine engine{world.ctx, importers::Table()};

 private:
  // Undoes the last input (see above); `afresh` always reloads the bytes.
  bool Restore(bool afresh);

  std::string database_;  // the bytes every input starts from
  std::unique_ptr<db::Backend> live_;
  std::shared_ptr<StatementPool> pool_;  // after live_: its statements go first
  std::vector<std::string> tables_;      // every table, sqlite_sequence included
  std::string schemaVersion_;
  std::vector<std::string> written_;
};

}  // namespace fuzzing
