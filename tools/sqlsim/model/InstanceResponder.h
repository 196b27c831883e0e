#pragma once
// The simulated server's answers: the statements the administration tool sends, matched on their
// exact text, then system procedures and simple statements run by the batch runner.
#include "Instance.h"
#include "ProcedureTable.h"
#include "TextTemplate.h"

#include "../Responder.h"

#include <functional>
#include <memory>

namespace sqlsim::model {

class InstanceResponder : public Responder {
public:
    explicit InstanceResponder(std::unique_ptr<Instance> instance);

    Instance& instance() { return *m_instance; }

    std::string serverName() const override { return m_instance->serverName; }
    bool authenticate(const std::string& login, const std::string& password) override;
    std::string findDatabase(const std::string& name) override;
    std::string defaultDatabase(const std::string& login) override;
    bool canAccess(const std::string& login, const std::string& database) override;
    void respond(const Request& request, Session& session, Response& response) override;
    void sessionStarted(Session& session) override;
    void sessionEnded(const Session& session) override;
    void transactionRequest(int kind, bool beginNew, Session& session, Response& response) override;

    using Handler = std::function<void(Context&, const TextTemplate::Values&)>;
    void addStatement(const std::string& text, Handler handler);
    const ProcedureTable& procedures() const { return m_procedures; }

private:
    std::unique_ptr<Instance> m_instance;
    ProcedureTable m_procedures;
    std::vector<std::pair<TextTemplate, Handler>> m_statements;
};

} // namespace sqlsim::model
