#include "InstanceResponder.h"

#include "HelpProcedures.h"
#include "TempTables.h"

#include "BatchRunner.h"
#include "CatalogProcedures.h"
#include "ExtendedProperties.h"
#include "Names.h"
#include "ScriptStatements.h"
#include "SecurityProcedures.h"
#include "SystemProcedures.h"
#include "Transactions.h"
#include "UserProcedures.h"
#include "UsersStatements.h"

#include "../RuleResponder.h"

namespace sqlsim::model {

InstanceResponder::InstanceResponder(std::unique_ptr<Instance> instance) : m_instance(std::move(instance)) {
    SecurityProcedures::registerAll(m_procedures);
    SystemProcedures::registerAll(m_procedures);
    ExtendedProperties::registerAll(m_procedures);
    CatalogProcedures::registerAll(m_procedures);
    HelpProcedures::registerAll(m_procedures);
    UsersStatements::registerAll(*this);
    ScriptStatements::registerAll(*this);
}

void InstanceResponder::addStatement(const std::string& text, Handler handler) {
    m_statements.emplace_back(TextTemplate(text), std::move(handler));
}

bool InstanceResponder::authenticate(const std::string& login, const std::string& password) {
    Login* l = m_instance->findLogin(login);
    return l && l->password == password;
}

std::string InstanceResponder::findDatabase(const std::string& name) {
    Database* db = m_instance->findDatabase(name);
    return db ? db->name : std::string();
}

std::string InstanceResponder::defaultDatabase(const std::string& login) {
    Login* l = m_instance->findLogin(login);
    return l ? l->defaultDatabase : std::string("master");
}

bool InstanceResponder::canAccess(const std::string& login, const std::string& database) {
    Database* db = m_instance->findDatabase(database);
    return db && SystemProcedures::hasDbAccess(*m_instance, login, *db);
}

void InstanceResponder::sessionStarted(Session& session) {
    auto& processes = m_instance->processes();
    auto taken = processes.find(session.spid);
    if (taken != processes.end()) {
        // A simulated process holds the number the server gave this session: it moves aside.
        int free = session.spid + 1;
        while (processes.count(free)) {
            ++free;
        }
        Process moved = taken->second;
        moved.spid = free;
        for (auto& [spid, other] : processes) {
            if (other.blockedBy == session.spid) {
                other.blockedBy = free;
            }
        }
        processes.erase(taken);
        processes[free] = moved;
    }
    Process p;
    p.spid = session.spid;
    p.login = session.login;
    p.hostName = session.hostName;
    p.database = session.database;
    p.programName = session.appName;
    p.lastBatch = Instance::now();
    m_instance->processes()[session.spid] = p;
}

void InstanceResponder::transactionRequest(int kind, bool beginNew, Session& session, Response& response) {
    Context ctx{*m_instance, session, response};
    try {
        Transactions::request(ctx, kind, beginNew);
    } catch (const SqlError& e) {
        addError(response, e, 1);
    }
}

void InstanceResponder::sessionEnded(const Session& session) {
    // A session that goes with its transaction open leaves nothing of it behind.
    Session ending = session;
    Transactions::rollbackAll(*m_instance, ending, nullptr);
    m_instance->processes().erase(session.spid);
    m_instance->lastIdentity().erase(session.spid);
    TempTables::dropAll(*m_instance, session.spid);
}

void InstanceResponder::respond(const Request& request, Session& session, Response& response) {
    Context ctx{*m_instance, session, response};
    auto process = m_instance->processes().find(session.spid);
    if (process != m_instance->processes().end()) {
        process->second.lastBatch = Instance::now();
        process->second.database = session.database;
    }
    // The process list follows the session into the database a "use" switched to.
    struct FollowDatabase {
        Instance& instance;
        const Session& session;
        ~FollowDatabase() {
            auto p = instance.processes().find(session.spid);
            if (p != instance.processes().end()) {
                p->second.database = session.database;
            }
        }
    } follow{*m_instance, session};
    try {
        if (request.kind == Request::Kind::Rpc) {
            std::string name = RuleResponder::bareProcedureName(request.procName);
            std::vector<Argument> args;
            for (const auto& p : request.params) {
                args.push_back(Argument{p.name, p.value, false, {}, p.type});
            }
            if (UserProcedures::callRpc(ctx, m_procedures, request)) {
                return;
            }
            if (!m_procedures.has(name)) {
                throw SqlError(2812, 16, "Could not find stored procedure '" + request.procName + "'.", 62);
            }
            std::string saved = session.database;
            auto parts = splitName(request.procName);
            if (parts.size() == 3 && m_instance->findDatabase(parts[0])) {
                session.database = m_instance->findDatabase(parts[0])->name;
            }
            int status = m_procedures.call(ctx, name, args);
            session.database = saved;
            response.add(ReturnStatus{status});
            return;
        }
        const std::vector<Token> tokens = TextTemplate::tokens(request.text);
        for (const auto& [text, handler] : m_statements) {
            if (auto values = text.match(request, tokens)) {
                handler(ctx, *values);
                return;
            }
        }
        if (UsersStatements::recreateUsers(ctx, m_procedures, request)) {
            return;
        }
        BatchRunner runner(ctx, m_procedures, request);
        runner.run();
        for (OutputValue& v : runner.outputs()) {
            response.add(std::move(v));
        }
    } catch (const SqlError& e) {
        if (std::string(e.what()) == "__not_supported__") {
            response.items().clear(); // a procedure called by RPC that the simulator cannot answer
            RuleResponder::notSupported(request, response);
            return;
        }
        addError(response, e, 1);
    }
}

} // namespace sqlsim::model
