#include "startup/OptionForm.h"

#include <array>
#include <cstdio>
#include <map>
#include <optional>
#include <string_view>

#include "importers/Importers.h"
#include "platform/Paths.h"
#include "platform/db/Connect.h"
#include "support/ErrorReport.h"
#include "support/ResourceStrings.h"
#include "support/modFileIO.h"

namespace optionForm {

namespace {

using modIngestor::ImportSettings;
using Policy = CSImportEngine::ConflictPolicy;

struct KnownOption {
  std::string_view name;
  bool takesValue;
};

constexpr std::array kOptions{
    KnownOption{"--type", true},
    KnownOption{"--extractor", true},
    KnownOption{"--source", true},
    KnownOption{"--output", true},
    KnownOption{"--database", true},
    KnownOption{"--odbc", true},
    KnownOption{"--keep-extracted", false},
    KnownOption{"--no-compare", false},
    KnownOption{"--terminate-records", false},
    KnownOption{"--on-conflict", true},
    KnownOption{"--summary", true},
    KnownOption{"--quiet", false},
    KnownOption{"--help", false},
    KnownOption{"--version", false},
};

// The type names, in data-type order (the number is the index).
constexpr std::array<std::string_view, 8> kTypeNames{
    "responses",  "private-responses", "global-responses", "private-global-responses",
    "file-index", "lenders",           "neighborhoods",    "comparables"};

std::optional<DataType> TypeNamed(const std::string& text) {
  for (std::size_t i = 0; i < kTypeNames.size(); ++i)
    if (text == kTypeNames[i] || text == std::to_string(i)) return static_cast<DataType>(i);
  return std::nullopt;
}

std::string Quoted(const std::string& text) {
  return "'" + text + "'";
}

// `path` made absolute against the current folder, in program form. A '\'
// cannot be carried: the program form uses it as its separator.
std::optional<std::string> ProgramPath(const platform::Context& ctx, const std::string& path,
                                       std::string& refusal) {
  if (path.find('\\') != std::string::npos) {
    refusal = "the path " + Quoted(path) + " holds a '\\', which the import cannot carry";
    return std::nullopt;
  }
  std::string program = platform::ToProgramForm(path);
  if (program.front() != '\\') program = ctx.env.CurrentFolder() + "\\" + program;
  while (program.size() > 1 && program.back() == '\\') program.pop_back();
  return program;
}

std::string Native(const platform::Context& ctx, const std::string& path) {
  return platform::ToNative(path, [&](const std::string& name) { return ctx.env.Variable(name); });
}

// The options as given, each name once; "" or why the line is refused.
std::string Collect(const std::vector<std::string>& args,
                    std::map<std::string, std::string>& given) {
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg.rfind("--", 0) != 0)
      return "unexpected argument " + Quoted(arg) + " (every value follows its option)";
    const std::size_t equals = arg.find('=');
    const std::string name = arg.substr(0, equals);
    const KnownOption* known = nullptr;
    for (const KnownOption& option : kOptions)
      if (option.name == name) known = &option;
    if (known == nullptr) return "unknown option " + Quoted(name);
    if (given.count(name) != 0) return "option " + Quoted(name) + " is given more than once";
    std::string value;
    if (!known->takesValue) {
      if (equals != std::string::npos) return "option " + Quoted(name) + " takes no value";
    } else if (equals != std::string::npos) {
      value = arg.substr(equals + 1);
    } else if (i + 1 < args.size() && args[i + 1].rfind("--", 0) != 0) {
      value = args[++i];
    }
    if (known->takesValue && value.empty()) return "option " + Quoted(name) + " needs a value";
    given[name] = value;
  }
  return "";
}

std::string CheckPaths(const platform::Context& ctx,
                       const std::map<std::string, std::string>& given, ImportSettings& s) {
  std::string refusal;
  // A bare name is looked for beside the program, never on the search path.
  const std::string& extractor = given.at("--extractor");
  auto program = extractor.find('/') == std::string::npos
                     ? std::optional(ctx.env.ProgramFolder() + "\\" + extractor)
                     : ProgramPath(ctx, extractor, refusal);
  if (!program) return refusal;
  auto info = ctx.env.Stat(*program);
  if (!info || info->isFolder)
    return "no extraction program at " + Quoted(Native(ctx, *program)) +
           (extractor.find('/') == std::string::npos
                ? " (a bare name is looked for beside ingestor)"
                : "");
  s.extractor = *program;

  auto source = ProgramPath(ctx, given.at("--source"), refusal);
  if (!source) return refusal;
  info = ctx.env.Stat(*source);
  if (!info) return "the source " + Quoted(given.at("--source")) + " does not exist";
  s.source = *source + (info->isFolder ? "\\" : "");

  auto output = ProgramPath(ctx, given.at("--output"), refusal);
  if (!output) return refusal;
  info = ctx.env.Stat(*output);
  if (info && !info->isFolder)
    return "the output " + Quoted(given.at("--output")) + " is not a folder";
  s.outputFolder = *output + "\\";

  if (auto it = given.find("--odbc"); it != given.end()) {
    s.odbc = it->second;
  } else if (auto it = given.find("--database"); it != given.end()) {
    auto database = ProgramPath(ctx, it->second, refusal);
    if (!database) return refusal;
    info = ctx.env.Stat(*database);
    if (info && info->isFolder) return "the database " + Quoted(it->second) + " is a folder";
    s.database = *database;
  } else {
    s.database = ctx.env.CurrentFolder() + "\\" +
                 ResourceString(res::kDatabaseFileBase + Number(s.dataType));
  }
  return "";
}

// Why a server connection string cannot be taken from the command line, or
// "". A password in it would be readable by every user of the machine in the
// process list, so it must come from the DSN, the password file or the
// environment instead.
std::string ServerConnectionRefusal(const std::string& connection) {
  for (const auto& [key, value] : db::ParseConnectionString(connection))
    if (key == "PWD" || key == "PASSWORD")
      return "the connection string holds a password (" + key +
             "=), which every user of this machine could read in the process list; keep it in "
             "the DSN, in the password file (~/.pgpass or PGPASSFILE) or in PGPASSWORD instead";
  return "";
}

std::string JsonText(const std::string& text) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (static_cast<unsigned char>(c) < 0x20) {
      char buffer[8];
      std::snprintf(buffer, sizeof buffer, "\\u%04x", c);
      out += buffer;
    } else {
      out += c;
    }
  }
  return out + "\"";
}

std::string Report(const platform::Context& ctx, Summary summary, const ImportSettings& s,
                   int status, const modIngestor::ImportOutcome& outcome) {
  const char* result = status == modIngestor::kExitSuccess           ? "completed"
                       : status == modIngestor::kExitRecordsRejected ? "completed with problems"
                                                                     : "not completed";
  const std::string type(kTypeNames.at(static_cast<std::size_t>(Number(s.dataType))));
  const std::string log = outcome.logPath.empty() ? "" : Native(ctx, outcome.logPath);
  const std::string database = s.odbc.empty() ? Native(ctx, s.database) : s.odbc;
  char seconds[32];
  std::snprintf(seconds, sizeof seconds, "%.3f", outcome.seconds);
  if (summary == Summary::Json) {
    std::string files;
    for (const FileSummary& f : outcome.files)
      files += std::string(files.empty() ? "" : ",") + "{\"name\":" + JsonText(f.file) +
               ",\"read\":" + std::to_string(f.read) + ",\"added\":" + std::to_string(f.added) +
               ",\"overwritten\":" + std::to_string(f.overwritten) +
               ",\"kept\":" + std::to_string(f.kept) +
               ",\"rejected\":" + std::to_string(f.rejected) + "}";
    return "{\"status\":" + std::to_string(status) + ",\"result\":" + JsonText(result) +
           ",\"type\":" + JsonText(type) + ",\"database\":" + JsonText(database) +
           ",\"log\":" + JsonText(log) +
           ",\"recordsRejected\":" + std::to_string(outcome.recordsRejected) +
           ",\"otherProblems\":" + std::to_string(outcome.runProblems) +
           ",\"failure\":" + JsonText(outcome.failure) + ",\"seconds\":" + seconds +
           ",\"files\":[" + files + "]}\n";
  }
  std::string text = "status: " + std::to_string(status) + "\nresult: " + result +
                     "\ntype: " + type + "\ndatabase: " + database + "\nlog: " + log +
                     "\nrecords rejected: " + std::to_string(outcome.recordsRejected) +
                     "\nother problems: " + std::to_string(outcome.runProblems) + "\n";
  if (!outcome.failure.empty()) text += "failure: " + outcome.failure + "\n";
  text += "seconds: " + std::string(seconds) + "\n";
  // The same words as the file's summary line in the log.
  for (const FileSummary& f : outcome.files)
    text += "file " + f.file + ": " + std::to_string(f.read) + " read, " + std::to_string(f.added) +
            " added, " + std::to_string(f.overwritten) + " overwritten, " + std::to_string(f.kept) +
            " kept, " + std::to_string(f.rejected) + " rejected\n";
  return text;
}

std::string ParseUntrapped(const platform::Context& ctx, const std::vector<std::string>& args,
                           Options& options) {
  options = Options{};
  std::map<std::string, std::string> given;
  if (std::string refusal = Collect(args, given); !refusal.empty()) return refusal;
  options.help = given.count("--help") != 0;
  options.version = given.count("--version") != 0;
  if (options.help || options.version) return "";
  for (const char* required : {"--type", "--extractor", "--source", "--output"})
    if (given.count(required) == 0) return "missing option " + Quoted(required);

  ImportSettings& s = options.settings;
  auto type = TypeNamed(given.at("--type"));
  if (!type)
    return "unknown type " + Quoted(given.at("--type")) +
           " (responses, private-responses, global-responses, "
           "private-global-responses, file-index, lenders, "
           "neighborhoods, comparables, or 0 to 7)";
  s.dataType = *type;

  if (auto it = given.find("--on-conflict"); it != given.end()) {
    if (it->second == "keep")
      s.conflictPolicy = Policy::KeepAll;
    else if (it->second == "overwrite")
      s.conflictPolicy = Policy::OverwriteAll;
    else if (it->second != "ask")
      return "unknown --on-conflict value " + Quoted(it->second) + " (ask, keep or overwrite)";
  }
  if (auto it = given.find("--summary"); it != given.end()) {
    if (it->second == "text")
      options.summary = Summary::Text;
    else if (it->second == "json")
      options.summary = Summary::Json;
    else
      return "unknown --summary value " + Quoted(it->second) + " (text or json)";
  }
  options.quiet = given.count("--quiet") != 0;
  s.leaveOutputFiles = given.count("--keep-extracted") != 0;
  s.noComparisons = given.count("--no-compare") != 0;
  s.terminateRecords = given.count("--terminate-records") != 0;

  if (given.count("--odbc") != 0) {
    if (given.count("--database") != 0)
      return "'--database' and '--odbc' cannot be given together (the database is either a "
             "file or on a server)";
    if (std::string refusal = ServerConnectionRefusal(given.at("--odbc")); !refusal.empty())
      return refusal;
  }
  if (std::string refusal = CheckPaths(ctx, given, s); !refusal.empty()) return refusal;

  // What the log states about comparisons and conflicts.
  modIngestor::NoteComparisonsNeverMade(s);
  if (s.conflictPolicy == Policy::KeepAll)
    s.notes.push_back(
        "Every conflict of this run is answered 'No to all' "
        "(--on-conflict keep): existing rows are kept.");
  else if (s.conflictPolicy == Policy::OverwriteAll)
    s.notes.push_back(
        "Every conflict of this run is answered 'Yes to all' "
        "(--on-conflict overwrite): existing rows are overwritten.");
  return "";
}

}  // namespace

bool Chosen(const std::vector<std::string>& args) {
  if (args.empty() || args[0].rfind("--", 0) != 0) return false;
  return !(args.size() == 1 && (args[0] == "--help" || args[0] == "--version"));
}

std::string Parse(const platform::Context& ctx, const std::vector<std::string>& args,
                  Options& options) {
  return support::Trap(ctx.ui, "Parse::optionForm", true,
                       std::string("the command line could not be read"),
                       [&] { return ParseUntrapped(ctx, args, options); });
}

int Run(const platform::Context& ctx, const Options& options, std::string& summary) {
  summary.clear();
  return support::Trap(
      ctx.ui, "Run::optionForm", false, int{modIngestor::kExitIncomplete}, [&]() -> int {
        const ImportSettings& s = options.settings;
        // The only thing the checks leave to the run: the output folder.
        if (!modFileIO::FolderExists(ctx, s.outputFolder, modFileIO::Errors::Silent) &&
            !(modFileIO::CreateDirectoryStructure(ctx, s.outputFolder, modFileIO::Errors::Silent) &&
              modFileIO::FolderExists(ctx, s.outputFolder, modFileIO::Errors::Silent))) {
          ctx.env.PrintError("ingestor: the output folder '" + Native(ctx, s.outputFolder) +
                             "' could not be created. Try 'ingestor --help'.");
          return int{modIngestor::kExitParameterError};
        }
        auto engine = std::make_unique<CSImportEngine>(ctx, importers::Table());
        modIngestor::ImportOutcome outcome;
        const bool ran = modIngestor::ImportData(ctx, s, engine, outcome);
        const int status = modIngestor::ConcludeImport(ctx, ran, outcome);
        if (options.summary != Summary::None)
          summary = Report(ctx, options.summary, s, status, outcome);
        return status;
      });
}

}  // namespace optionForm
