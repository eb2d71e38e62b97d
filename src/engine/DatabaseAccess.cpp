// The engine's thin layer over its database: the connection string, the one
// connection, the one current record set and single statements. Every
// outcome goes to the log; nothing is raised and no box is shown.
#include <algorithm>
#include <string>

#include "engine/AccessSql.h"
#include "engine/CSImportEngine.h"
#include "engine/DbConnection.h"
#include "engine/Recordset.h"
#include "platform/db/Connect.h"
#include "support/modEncryption.h"
#include "support/modFileIO.h"

namespace {

constexpr const char* kConnectSource = "CSImportEngine::OpenConnection";
constexpr const char* kOpenRecordsetSource = "OpenRecordset::CSImportEngine";
constexpr const char* kCloseRecordsetSource = "CloseRecordset::CSImportEngine";
constexpr const char* kClosedSource = "CSImportEngine::CloseConnection";
constexpr const char* kCloseConnectionSource = "CloseConnection::CSImportEngine";
constexpr const char* kExecuteSource = "ExecuteScript::CSImportEngine";

// What a record set says when it is asked to open without a connection.
constexpr const char* kNoConnection =
    "The connection cannot be used to perform this operation. It is either closed or invalid "
    "in this context.";

std::string Credential(const std::string& value, bool scramble) {
  return scramble && !value.empty() ? modEncryption::Encrypt(value) : value;
}

// Every "%s", left to right, becomes the table's name quoted for where it
// stands: in brackets (a "[%s]" keeps one pair), or inside a '...' literal
// with its apostrophes doubled. Whatever the name holds, it stays one name
// or one text. The inserted text is not searched again.
std::string ReplaceEveryPlaceholder(const std::string& script, const std::string& table) {
  std::string literal;
  for (char c : table) {
    if (c == '\'') literal += '\'';
    literal += c;
  }
  const std::string name = accesssql::Bracket(table);
  std::string out;
  out.reserve(script.size());
  bool inLiteral = false;
  for (std::size_t i = 0; i < script.size(); ++i) {
    // Text without a quote or a '%' is copied as one run.
    const std::size_t run = std::min(script.find_first_of("'%", i), script.size());
    out.append(script, i, run - i);
    i = run;
    if (i == script.size()) break;
    if (script[i] == '\'') inLiteral = !inLiteral;  // a doubled '' toggles twice
    if (script.compare(i, 2, "%s") != 0) {
      out += script[i];
      continue;
    }
    if (inLiteral) {
      out += literal;
    } else if (!out.empty() && out.back() == '[' && i + 2 < script.size() && script[i + 2] == ']') {
      out.pop_back();
      out += name;
      ++i;  // the closing ']'
    } else {
      out += name;
    }
    ++i;
  }
  return out;
}

}  // namespace

bool CSImportEngine::OpenConnection(const std::string& server, const std::string& database,
                                    const std::string& user, const std::string& password,
                                    bool scramble) {
  return Trapped(kConnectSource, false, [&] {
    std::string text;
    const bool whole = server.find('=') != std::string::npos;
    if (!server.empty()) {
      WriteToLog("Attempting to connect to database using SQL", kConnectSource, -1);
      text =
          whole ? server : "DRIVER={SQL Server};Server=" + server + ";Database=" + database + ";";
    } else {
      WriteToLog("Attempting to connect to database using MS Access", kConnectSource, -1);
      // A path with ';' or braces is braced, so it cannot end the pair early.
      text =
          "DRIVER={Microsoft Access Driver (*.mdb)};DBQ=" + db::ConnectionValue(outputDatabase_) +
          ";DefaultDir=" +
          db::ConnectionValue(modFileIO::GetFolderFromFullpath(outputDatabase_, false)) + ";";
    }
    // A whole connection string brings its credentials along, or leaves them
    // to the driver (a DSN, a password file, the environment).
    if (!whole)
      text += "UID=" + Credential(user, scramble) + ";PWD=" + Credential(password, scramble) + ";";

    // The record set reads through the connection being replaced, so it goes
    // first; the old connection is then simply released.
    CloseRecordset();
    connection_ = std::make_unique<DbConnection>(ctx_.env);
    connection_->SetConnectionString(text);
    connection_->Open();  // a failed open is reported below, not here
    for (const std::string& description : connection_->Errors())
      WriteToLog("Info: " + description, kConnectSource, -1);
    if (connection_->State() != 1) return false;
    WriteToLog("Connected to database successfully.", kConnectSource, -1);
    return true;
  });
}

int CSImportEngine::OpenRecordset(const std::string& source, bool writable) {
  return Trapped(kOpenRecordsetSource, 0, [&] {
    CloseRecordset();
    if (!connection_) {
      LogFailure(kOpenRecordsetSource, kNoConnection);
      return 0;
    }
    recordset_ = std::make_unique<Recordset>(*connection_);
    if (!recordset_->Open(source, writable)) {
      LogFailure(kOpenRecordsetSource, recordset_->error().c_str());
      return 0;
    }
    if (recordset_->State() != 1) return 0;
    if (recordset_->Bof() && recordset_->Eof()) return 1;
    if (!recordset_->MoveFirst()) {
      LogFailure(kOpenRecordsetSource, recordset_->error().c_str());
      return 0;
    }
    return -1;
  });
}

void CSImportEngine::CloseRecordset() {
  Trapped(kCloseRecordsetSource, false, [&] {
    if (!recordset_) return true;
    if (recordset_->State() == 1) recordset_->Close();
    recordset_.reset();
    return true;
  });
}

void CSImportEngine::CloseConnection() {
  Trapped(kCloseConnectionSource, false, [&] {
    if (!connection_) return true;
    CloseRecordset();  // it cannot outlive the connection it reads through
    // A file's transaction still open is committed first, so that a failed
    // commit is reported rather than lost in Close.
    bool committed = connection_->CommitTransaction();
    std::string failure = committed || connection_->Errors().empty()
                              ? std::string("Unknown error")
                              : connection_->Errors().front();
    if (connection_->State() == 1) connection_->Close();
    connection_.reset();
    if (!committed) {
      LogFailure(kCloseConnectionSource, failure.c_str());
      return false;
    }
    WriteToLog("Connection closed.", kClosedSource, -1);
    return true;
  });
}

bool CSImportEngine::ExecuteScript(const std::string& table, const std::string& script) {
  return Trapped(kExecuteSource, false, [&] {
    if (script.empty() || !connection_) {
      WriteToLog("Either the table name was blank or the database could not be opened.",
                 kExecuteSource, -1);
      return false;
    }
    const std::string command = ReplaceEveryPlaceholder(script, table);
    WriteToLog("Attempting to execute command string: '" + command + "'", kExecuteSource, -1);
    if (connection_->Execute(command)) {
      WriteToLog("Command executed successfully.", kExecuteSource, -1);
      return true;
    }
    if (connection_->Errors().empty()) {
      LogFailure(kExecuteSource, "Unknown error");
    } else {
      for (const std::string& description : connection_->Errors())
        WriteToLog(description, kExecuteSource, -1);
    }
    WriteToLog("Failed to execute command string: '" + command + "'", kExecuteSource, -1);
    return false;
  });
}
