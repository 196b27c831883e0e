#pragma once
// The model behind the protocol engine: who may log on, which databases exist, and the answer
// to each request. The engine calls it under one lock, so an implementation needs none of its own.
#include "Request.h"
#include "Response.h"

#include <string>

namespace sqlsim {

class Responder {
public:
    virtual ~Responder() = default;

    virtual std::string serverName() const = 0;
    // True when the login exists and the password is right.
    virtual bool authenticate(const std::string& login, const std::string& password) = 0;
    // The database's name as stored when it exists (names compare case-insensitively), else "".
    virtual std::string findDatabase(const std::string& name) = 0;
    // The database a login starts in when the client names none.
    virtual std::string defaultDatabase(const std::string& login) = 0;
    // Whether the login may use the database (error 916 otherwise).
    virtual bool canAccess(const std::string& login, const std::string& database) {
        (void)login;
        (void)database;
        return true;
    }

    // Answers one request. Anything not understood should be answered with the
    // engine's "not supported" error (see RuleResponder::notSupported).
    virtual void respond(const Request& request, Session& session, Response& response) = 0;

    // A transaction-manager request (5 begin, 7 commit, 8 rollback; beginNew: a new transaction
    // starts right after the commit or rollback). The answer carries the transaction changes.
    virtual void transactionRequest(int kind, bool beginNew, Session& session, Response& response) {
        auto change = [&](TransactionChange::Kind k) {
            response.add(TransactionChange{k, session.transactionId});
        };
        if ((kind == 7 || kind == 8) && session.tranCount > 0) {
            session.tranCount = 0;
            session.inTransaction = false;
            change(kind == 7 ? TransactionChange::Kind::Commit : TransactionChange::Kind::Rollback);
        }
        if (kind == 5 || beginNew) {
            ++session.transactionId;
            session.tranCount = 1;
            session.inTransaction = true;
            change(TransactionChange::Kind::Begin);
        }
    }

    // A session has logged on / gone away.
    virtual void sessionStarted(Session& session) { (void)session; }
    virtual void sessionEnded(const Session& session) { (void)session; }
};

} // namespace sqlsim
