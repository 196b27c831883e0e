#pragma once
// Explicit transactions of a session: begin, commit and rollback (named and nested, as
// @@TRANCOUNT counts them), the rollback of everything a transaction changed, and the rule that
// only one session at a time holds an open transaction or writes while another holds one.
#include "Context.h"

#include <string>

namespace sqlsim::model {

class Transactions {
public:
    static void begin(Context& ctx, const std::string& name);
    // 3902 without a transaction; an inner commit only counts down.
    static void commit(Context& ctx);
    // 3903 without a transaction; 6401 for a name that is not the outermost transaction's.
    static void rollback(Context& ctx, const std::string& name);
    // Undoes the session's open transaction, if any (xact_abort, a lost connection).
    static void rollbackAll(Instance& instance, Session& session, Response* response);
    // A statement that changes something waits while another session's transaction is open, up to
    // the session's lock_timeout in milliseconds (1222 then); -1, the default, waits without end.
    static void waitToWrite(Context& ctx);
    // A statement that reads a user table waits while another session's open transaction has run
    // a statement that may change data (the whole instance is one lock), with the same timeout.
    // Returns whether it waited (what the caller looked up before may have been replaced).
    static bool waitToRead(Context& ctx);
    // The session's open transaction is about to run a statement that may change data.
    static void writing(Context& ctx);
    // A transaction-manager request of the client's driver: 5 begin, 7 commit, 8 rollback, the
    // latter two with a new transaction begun at once when beginNew.
    static void request(Context& ctx, int kind, bool beginNew);
};

} // namespace sqlsim::model
