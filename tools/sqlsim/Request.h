#pragma once
// What a client asked for, and the session it asked in.
#include "SqlValue.h"

#include <map>
#include <string>
#include <vector>

namespace sqlsim {

struct Param {
    std::string name; // with its "@", empty for a positional parameter
    ColumnType type;
    SqlValue value;
    bool output = false;
};

struct Request {
    enum class Kind {
        Batch,     // a SQL batch: text
        Statement, // sp_executesql or a prepared statement: text with declared parameters
        Rpc,       // any other procedure called by name: procName with params
    };
    Kind kind = Kind::Batch;
    std::string text;
    std::string procName;
    std::vector<Param> params;

    // The parameter with this name (case-insensitive, "@" optional), or nullptr.
    const Param* param(const std::string& name) const;
    // The first line of the text (or the procedure name), for messages.
    std::string firstLine() const;
};

struct Session {
    int spid = 0;
    std::string login;
    std::string database;
    std::string hostName;
    std::string appName;
    std::string language = "us_english";
    std::map<std::string, std::string> options; // SET options by lower-case name
    bool inTransaction = false;
    int tranCount = 0;          // @@TRANCOUNT
    std::string tranName;       // the outermost transaction's name
    uint64_t transactionId = 0; // the descriptor the client is told for the current transaction
    int tempScope = 0;          // procedures and dynamic texts running: each sees its own #tables first
};

} // namespace sqlsim
