// The simulator's query engine on a large table: a join of 1,000,000 rows with 1,000 rows grouped
// to 1,000 rows, and a filtered scan returning 10,000 of the 1,000,000 rows. Both run through the
// demo instance's own request path (parse, bind, execute, result set) and print their times; the
// demo's Scale database stays usable while each stays under one second.
#include "model/DemoInstance.h"
#include "model/InstanceResponder.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

using namespace sqlsim;

namespace {

model::TableColumn column(const char* name, SqlType type, int length = 0) {
    model::TableColumn c;
    c.name = name;
    c.type = ColumnType::of(type, length, type == SqlType::Money ? 19 : 0, type == SqlType::Money ? 4 : 0);
    c.nullable = false;
    return c;
}

// Runs text once; returns the seconds it took and the rows of its first result.
double timed(Responder& responder, Session& session, const std::string& text, size_t& rows,
             std::string& error) {
    Request r;
    r.kind = Request::Kind::Batch;
    r.text = text;
    Response out;
    auto start = std::chrono::steady_clock::now();
    responder.respond(r, session, out);
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    rows = 0;
    for (const auto& item : out.items()) {
        if (const auto* rs = std::get_if<ResultSet>(&item)) {
            rows = rs->rows.size();
            break;
        }
        if (const auto* m = std::get_if<Message>(&item); m && m->severity > 10) {
            error = m->text;
        }
    }
    return seconds;
}

} // namespace

int main(int argc, char** argv) {
    // The fact table's size (default 1,000,000), smaller for a quick look.
    const int factRows = argc > 1 ? std::atoi(argv[1]) : 1000000;
    model::DemoOptions options;
    options.saPassword = "bench";
    auto responder = makeDemoInstance(options);
    auto& instance = static_cast<model::InstanceResponder&>(*responder).instance();
    model::Database& db = *instance.findDatabase("Sales");

    model::ObjectDef& groups =
        db.addTable("BenchGroups", {column("id", SqlType::Int), column("name", SqlType::NVarChar, 50)});
    for (int i = 0; i < 1000; ++i) {
        groups.rows.push_back({SqlValue(int64_t(i)), SqlValue("group " + std::to_string(i))});
    }
    model::ObjectDef& facts =
        db.addTable("BenchFacts", {column("id", SqlType::Int), column("groupId", SqlType::Int),
                                   column("amount", SqlType::Money)});
    facts.rows.reserve(size_t(factRows));
    for (int i = 0; i < factRows; ++i) {
        facts.rows.push_back({SqlValue(int64_t(i)), SqlValue(int64_t(i * 7919 % 1000)),
                              SqlValue(DecimalValue{__int128(i % 997) * 10000, 4})});
    }

    Session session;
    session.spid = 60;
    session.login = "sa";
    session.database = "Sales";
    responder->sessionStarted(session);

    struct Case {
        const char* title;
        const char* text;
        size_t expected;
    } cases[] = {
        {"join 1,000,000 x 1,000 rows grouped to 1,000",
         "select g.name, count(*) as n, sum(f.amount) as total from BenchFacts f "
         "join BenchGroups g on g.id = f.groupId group by g.name",
         1000},
        {"filtered scan, 10,000 of 1,000,000 rows", "select id, amount from BenchFacts where id % 100 = 0",
         size_t(factRows / 100)},
    };
    int failures = 0;
    for (const Case& c : cases) {
        size_t rows = 0;
        std::string error;
        double best = 1e9;
        for (int run = 0; run < 3; ++run) {
            best = std::min(best, timed(*responder, session, c.text, rows, error));
        }
        const bool ok = rows == c.expected && error.empty();
        std::printf("%-48s %8.3f s  %zu rows%s%s\n", c.title, best, rows,
                    best < 1.0 ? "" : "  (over one second)", ok ? "" : ("  WRONG: " + error).c_str());
        failures += ok ? 0 : 1;
    }
    responder->sessionEnded(session);
    return failures == 0 ? 0 : 1;
}
