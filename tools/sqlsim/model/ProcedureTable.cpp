#include "ProcedureTable.h"

#include "BuiltinFunctions.h"
#include "Names.h"

namespace sqlsim::model {

void ProcedureTable::add(const std::string& name, std::vector<std::string> parameters, Body body) {
    std::vector<bool> variant(parameters.size(), false);
    for (size_t k = 0; k < parameters.size(); ++k) {
        const auto space = parameters[k].find(' ');
        if (space != std::string::npos) {
            variant[k] = sameName(parameters[k].substr(space + 1), "sql_variant");
            parameters[k].resize(space);
        }
    }
    m_entries[lower(name)] = Entry{name, std::move(parameters), std::move(variant), std::move(body), false};
}

bool ProcedureTable::has(const std::string& name) const {
    return m_entries.count(lower(name)) > 0;
}

int ProcedureTable::call(Context& ctx, const std::string& name, const std::vector<SqlValue>& args) const {
    std::vector<Argument> a;
    for (const auto& v : args) {
        a.push_back(Argument{{}, v, false, {}, std::nullopt});
    }
    return call(ctx, name, a);
}

int ProcedureTable::call(Context& ctx, const std::string& name, const std::vector<Argument>& args) const {
    auto it = m_entries.find(lower(name));
    if (it == m_entries.end()) {
        throw SqlError(2812, 16, "Could not find stored procedure '" + name + "'.", 62);
    }
    const Entry& e = it->second;
    if (e.refused) {
        throw SqlError(50000, 16, "__not_supported__");
    }
    std::vector<SqlValue> bound(e.parameters.size());
    auto asVariant = [&](size_t k, const Argument& a) {
        if (e.variant[k]) {
            bound[k] = BuiltinFunctions::cast(a.value, a.type ? *a.type : a.value.variantType(),
                                              ColumnType::of(SqlType::Variant), -1);
        }
    };
    size_t position = 0;
    for (const auto& a : args) {
        if (a.name.empty()) {
            if (position >= bound.size()) {
                throw SqlError(8144, 16,
                               "Procedure or function " + e.name + " has too many arguments specified.", 2,
                               e.name);
            }
            bound[position] = a.value;
            asVariant(position++, a);
            continue;
        }
        bool found = false;
        for (size_t k = 0; k < e.parameters.size(); ++k) {
            if (sameName(e.parameters[k], a.name)) {
                bound[k] = a.value;
                asVariant(k, a);
                found = true;
            }
        }
        if (!found) {
            throw SqlError(8145, 16, a.name + " is not a parameter for procedure " + e.name + ".", 2, e.name);
        }
    }
    ctx.response.add(ProcedureStart{});
    int status = 1;
    try {
        status = e.body(ctx, bound);
    } catch (const SqlError& err) {
        if (std::string(err.what()) == "__not_supported__") {
            throw; // refused whole, before anything is sent
        }
        ctx.response.error(err.number(), err.severity(), err.what(), err.state(),
                           err.procedure().empty() ? e.name : err.procedure(), err.line());
    }
    ctx.response.add(ReturnStatus{status});
    return status;
}

void ProcedureTable::refuse(const std::string& name) {
    Entry e;
    e.name = name;
    e.refused = true;
    m_entries[lower(name)] = std::move(e);
}

} // namespace sqlsim::model
