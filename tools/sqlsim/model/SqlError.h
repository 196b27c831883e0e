#pragma once
// A server error raised while answering a statement; the responder turns it into an error message.
#include <stdexcept>
#include <string>
#include <vector>

namespace sqlsim::model {

class SqlError : public std::runtime_error {
public:
    SqlError(int number, int severity, const std::string& text, int state = 1, std::string procedure = {},
             int line = 1)
        : std::runtime_error(text), m_number(number), m_severity(severity), m_state(state),
          m_procedure(std::move(procedure)), m_line(line) {}

    int number() const { return m_number; }
    int severity() const { return m_severity; }
    int state() const { return m_state; }
    const std::string& procedure() const { return m_procedure; }
    int line() const { return m_line; }

    // Messages the server sends right after this one, for the same fault.
    std::vector<SqlError> following;

private:
    int m_number;
    int m_severity;
    int m_state;
    std::string m_procedure;
    int m_line;
};

} // namespace sqlsim::model
