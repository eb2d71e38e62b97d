// Runs the ingestor as a child process in the world one run works in: a
// temporary folder with the source, output folder and database its tail names.
#pragma once

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <regex>
#include <set>

#include "doubles/TestWorld.h"
#include "platform/db/Connect.h"

namespace e2e {

namespace fs = std::filesystem;
using Rows = std::vector<std::string>;

struct RunResult {
  int status = -1;  // exit status, or 128 + signal
  std::string out, err;
};

using testing_doubles::Slurp, testing_doubles::TailPath;

// Runs `program` with stdin from /dev/null and this process's environment
// less what would let it find a display, plus `extraEnv` ("NAME=value").
inline RunResult Run(const std::string& program, const Rows& args, const Rows& extraEnv = {}) {
  std::string line = "exec env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM";
  for (const Rows& words : {extraEnv, Rows{program}, args})
    for (const std::string& word : words)
      line += " '" + std::regex_replace(word, std::regex("'"), "'\\''") + "'";
  char temporary[] = "/tmp/ingestor-run-XXXXXX";
  const std::string io = ::mkdtemp(temporary) ? temporary : "/nonexistent";
  const int status = std::system((line + " </dev/null >" + io + "/out 2>" + io + "/err").c_str());
  const RunResult result{WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status),
                         Slurp(io + "/out"), Slurp(io + "/err")};
  fs::remove_all(io);
  return result;
}

// Runs `program` as Run does, but with a new pseudo-terminal as its stdin,
// stdout and stderr, on which `typed` is typed at once ("\x04" at the start of
// a line ends the input). `err` receives everything the terminal showed; a
// run still going after a minute is killed.
inline RunResult RunOnTerminal(const std::string& program, const Rows& args, const Rows& extraEnv,
                               const std::string& typed) {
  Rows words{"env", "-u", "DISPLAY", "-u", "WAYLAND_DISPLAY", "-u", "QT_QPA_PLATFORM"};
  for (const Rows& more : {extraEnv, Rows{program}, args})
    words.insert(words.end(), more.begin(), more.end());
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);
  int terminal = -1;
  winsize size{24, 200, 0, 0};
  const pid_t pid = ::forkpty(&terminal, nullptr, nullptr, &size);
  if (pid == 0) {
    ::execvp("env", argv.data());
    ::_exit(127);
  }
  RunResult result;
  if (pid < 0) return result;
  EXPECT_EQ(::write(terminal, typed.data(), typed.size()), static_cast<ssize_t>(typed.size()));
  char buffer[4096];
  pollfd wait{terminal, POLLIN, 0};
  bool ended = false;  // the terminal closed: the program is gone
  while (!ended && ::poll(&wait, 1, 60000) > 0) {
    const ssize_t got = ::read(terminal, buffer, sizeof buffer);
    ended = got <= 0;
    if (!ended) result.err.append(buffer, static_cast<std::size_t>(got));
  }
  if (!ended) ::kill(pid, SIGKILL);
  int status = 0;
  ::waitpid(pid, &status, 0);
  ::close(terminal);
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return result;
}

// The text of the run's log in `folder` ("...-logfile.txt"); "" when there is none.
inline std::string LogIn(const std::string& folder) {
  for (const auto& e : fs::directory_iterator(folder))
    if (e.path().string().ends_with("-logfile.txt")) return Slurp(e.path());
  return "";
}

#ifdef INGESTOR_E2E
// One run's world; the fields are what its command tail names.
struct Scene {
  testing_doubles::TestWorld world;
  std::shared_ptr<void> held;  // a lock, a mount: released (by its deleter) before the folder goes
  std::string extractor = INGESTOR_SAMPLE_EXTRACTOR;
  std::string source = "host", output = "out", database = "Lenders.mdb", type = "5", flags;
  std::string odbc;  // a database on a server (see OnServer): runs take the option form
  Rows env, runAs;   // runAs: a command put in front of the ingestor

  // A lender source folder and an empty lender database.
  void Lenders() {
    world.Write("host/lender.dta", "lender data");
    world.MakeFolder(output);
    Sql("CREATE TABLE Lenders (ID INTEGER PRIMARY KEY, LenderDBID TEXT, LenderName TEXT)");
  }
  // The sample host installation, and the Windows folder that finds it.
  void SampleHost() {
    ASSERT_EQ(Run(INGESTOR_SAMPLE_HOST, {world.Native("host")}).status, 0);
    env.push_back("WINDIR=" + world.Native("host"));
  }
  // The tail; the output folder is created.
  std::string Tail() const {
    world.MakeFolder(output);
    const std::string from = world.Native(source);
    return TailPath(extractor) + "/" + TailPath(from) + (fs::is_directory(from) ? "\\/" : "/") +
           world.Program(output) + "\\/" + type + "/" + world.Program(database) + flags;
  }
  // The ingestor's arguments: the tail, or the option form for a server.
  Rows Args() const {
    if (odbc.empty()) return {Tail()};
    world.MakeFolder(output);
    // clang-format off
    return {"--type", type, "--extractor", extractor, "--source", world.Native(source),
            "--output", world.Native(output), "--odbc", odbc,
            flags.ends_with("True") ? "--no-compare" : "--quiet"};
    // clang-format on
  }
  RunResult Go() const {
    Rows args = runAs;
    args.push_back(INGESTOR_BINARY);
    for (const std::string& arg : Args()) args.push_back(arg);
    return Run(args[0], {args.begin() + 1, args.end()}, env);
  }
  // Every log of the output folder, concatenated (not the rejects kept beside them).
  std::string Log() const {
    std::string text;
    for (const auto& e : fs::directory_iterator(world.Native(output)))
      if (const std::string name = e.path().filename().string();
          name.find("-logfile") != std::string::npos && name.ends_with(".txt"))
        text += Slurp(e.path());
    return text;
  }
  // Every path under `relative`, sorted, joined with '|', digits (time stamps) as '#'.
  std::string Tree(const std::string& relative) const {
    std::set<std::string> paths;
    for (const auto& e : fs::recursive_directory_iterator(world.Native(relative)))
      paths.insert(std::regex_replace(e.path().lexically_relative(world.Native(relative)).string(),
                                      std::regex("\\d+"), "#"));
    std::string joined;
    for (const std::string& path : paths) joined += (joined.empty() ? "" : "|") + path;
    return joined;
  }
  std::unique_ptr<db::Backend> Open() {
    Rows errors;
    return world.real.OpenDatabase(odbc.empty()
                                       ? "DRIVER={Microsoft Access Driver (*.mdb)};DBQ=" +
                                             db::ConnectionValue(world.Native(database)) + ";"
                                       : odbc,
                                   errors);
  }
  // The rows `sql` returns, each its columns joined with '|' ("<null>": NULL).
  Rows Query(const std::string& sql) {
    Rows rows;
    std::string error;
    auto db = Open();
    auto st = db ? db->Prepare(sql, error) : nullptr;
    EXPECT_TRUE(st) << sql << ": " << error;
    while (st && st->Step() == db::StepResult::Row) {
      rows.emplace_back();
      for (int i = 0; i < st->ColumnCount(); ++i)
        rows.back() +=
            (i ? "|" : "") + (st->Column(i).IsNull() ? "<null>" : st->Column(i).ToText());
    }
    return rows;
  }
  // Runs `sql`, creating the database first (an empty file is an empty database).
  void Sql(const std::string& sql) {
    if (!world.Has(database)) world.Write(database, "");
    EXPECT_EQ(Query(sql), Rows{});
  }
  // An executable script; its path.
  std::string Script(const std::string& relative, const std::string& body,
                     const std::string& interpreter = "#!/bin/sh\n") {
    world.Write(relative, interpreter + body);
    fs::permissions(world.Native(relative), fs::perms(0755));
    return world.Native(relative);
  }
};

// Points `s` at a new database `name` on the test server that
// tests/db/with-databases.sh runs, for this process and the runs it starts,
// with the templates' tables laid down as an office would; false when there
// is no server.
inline bool OnServer(Scene& s, const std::string& name) {
  const char* config = std::getenv("INGESTOR_TEST_ODBCSYSINI");
  if (config == nullptr) return false;
  ::setenv("ODBCSYSINI", config, 1);  // read once per process: before any ODBC call
  s.env.push_back("ODBCSYSINI=" + std::string(config));
  static int made = 0;  // databases this process made
  const std::string unique = name + "_" + std::to_string(::getpid()) + "_" + std::to_string(++made);
  s.odbc = "DRIVER={SQL Server};Server=127.0.0.1;Database=ingestor_test;";
  s.Query("CREATE DATABASE " + unique);
  s.odbc = "DRIVER={SQL Server};Server=127.0.0.1;Database=" + unique + ";";
  EXPECT_EQ(Run(INGESTOR_SAMPLE_HOST, {"--tables", s.odbc}, s.env).status, 0);
  return true;
}

// The run's status, a text on its stderr, and texts its log holds in this
// order ("!text": nowhere in the log, "*text": anywhere). One log line is one
// event: every line break is the log's own CR LF.
inline void Expect(const RunResult& r, const std::string& log, int status, const Rows& logged,
                   const std::string& said) {
  EXPECT_EQ(r.status, status) << r.err << log;
  EXPECT_NE(r.err.find(said), std::string::npos) << r.err;
  std::size_t at = 0;
  for (const std::string& text : logged) {
    if (text[0] == '!' || text[0] == '*') {
      EXPECT_EQ(log.find(text.substr(1)) == std::string::npos, text[0] == '!') << text << log;
    } else if ((at = log.find(text, at)) == std::string::npos) {
      ADD_FAILURE() << "missing or out of order: " << text << "\n" << log;
      at = 0;
    }
  }
  EXPECT_FALSE(std::regex_search(log, std::regex("(^|[^\r])\n"))) << "a bare line feed\n" << log;
}
#endif

}  // namespace e2e
