#pragma once
// The system procedures the simulator knows, called over RPC, by "exec" in a batch, or from the
// statements it answers as a whole. Arguments bind by position or by "@name".
#include "Context.h"

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace sqlsim::model {

struct Argument {
    std::string name; // "@loginame", or empty for a positional argument
    SqlValue value;
    bool isDefault = false;     // "default" given: the parameter takes its default
    std::string outputVariable; // the caller's variable marked OUTPUT, or the RPC parameter's name
    std::optional<ColumnType> type; // the argument expression's type, when the caller knows it
};

class ProcedureTable {
public:
    // args holds one value per declared parameter (NULL when not given). Returns the return status.
    // A parameter named "@value sql_variant" receives its argument as a sql_variant of the
    // argument's own type.
    using Body = std::function<int(Context&, const std::vector<SqlValue>& args)>;

    void add(const std::string& name, std::vector<std::string> parameters, Body body);
    bool has(const std::string& name) const;
    // A procedure the server has and the simulator does not answer: a call is refused whole, whatever
    // its arguments.
    void refuse(const std::string& name);
    // Runs the procedure; an error it raises becomes an error message naming the procedure, status 1.
    // Unknown procedure: error 2812.
    int call(Context& ctx, const std::string& name, const std::vector<Argument>& args) const;
    int call(Context& ctx, const std::string& name, const std::vector<SqlValue>& args) const;

private:
    struct Entry {
        std::string name;
        std::vector<std::string> parameters;
        std::vector<bool> variant; // the parameter is a sql_variant
        Body body;
        bool refused = false;
    };
    std::map<std::string, Entry> m_entries; // by lower-case name
};

} // namespace sqlsim::model
