// The importers, one per kind of extracted file, and the table that hands
// them to the engine by data type. Each reads the session's output files;
// its log lines carry the routine's legacy name as their source.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

#include "engine/ImportSession.h"
#include "support/ErrorReport.h"

namespace importers {

// Common responses of every kind: one table per output file. True when every
// file was visited; false when an unexpected failure ended it.
bool ImportCommonResponses(ImportSession& session);
// Appraisal index: every record becomes a new FileIndex row. The rows added
// from the last file read; -1 when an unexpected failure ended it.
std::int32_t ImportFileIndex(ImportSession& session);
// Lenders, compared by ID. The rows written over all files; -1 when an
// unexpected failure ended it.
std::int32_t ImportLenderInformation(ImportSession& session);
// Neighborhoods, compared by name, values placed by the host's conversion
// file. The rows saved over all files; -1 when it could not start or an
// unexpected failure ended it.
std::int32_t ImportNeighborhoodInformation(ImportSession& session);
// Comparable sales: main files, then supplement files. The summary count; -1
// when an unexpected failure ended it.
std::int32_t ImportZazOzurs(ImportSession& session);

// Every importer under its data types, for the engine.
ImporterTable Table();

// The importers' error trap: a failure escaping `body` is logged with
// `source` and the number of the stage it reached as the line's index, and
// `failure` is returned instead.
template <class Stage, class R, class F>
R Trapped(ImportSession& session, std::string_view source, R failure, F&& body) noexcept {
  return support::Guard<Stage>(
      std::move(failure), std::forward<F>(body), [&](const char* what, int stage) {
        session.WriteToLog(what, std::string(source), static_cast<std::int16_t>(stage));
      });
}

// A routine with no stages of its own: failures are logged at index -1.
using support::NoStage;

}  // namespace importers
