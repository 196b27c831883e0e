#include "SimOptions.h"

#include <cstdlib>

namespace sqlsim {

namespace {

bool toNumber(const std::string& text, long& out) {
    char* end = nullptr;
    long v = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end != 0 || v < 0) {
        return false;
    }
    out = v;
    return true;
}

} // namespace

bool SimOptions::parse(int argc, char** argv, SimOptions& out, std::string& error) {
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        auto value = [&](std::string& v) {
            if (i + 1 >= argc) {
                error = arg + " needs a value";
                return false;
            }
            v = argv[++i];
            return true;
        };
        auto number = [&](long& v, long max) {
            std::string text;
            if (!value(text)) {
                return false;
            }
            if (!toNumber(text, v) || v > max) {
                error = arg + " needs a number from 0 to " + std::to_string(max) + ", not '" + text + "'";
                return false;
            }
            return true;
        };
        long n = 0;
        if (arg == "--help" || arg == "-h") {
            out.help = true;
        } else if (arg == "--port") {
            if (!number(n, 65535)) {
                return false;
            }
            out.port = int(n);
        } else if (arg == "--log") {
            if (!value(out.logFile)) {
                return false;
            }
        } else if (arg == "--demo") {
            out.demo = true;
        } else if (arg == "--sa-password") {
            if (!value(out.saPassword)) {
                return false;
            }
        } else if (arg == "--objects") {
            if (!number(n, 10000000)) {
                return false;
            }
            out.objects = int(n);
        } else if (arg == "--rows") {
            if (!number(out.rows, 1000000000L)) {
                return false;
            }
        } else {
            error = "unknown option " + arg;
            return false;
        }
    }
    return true;
}

std::string SimOptions::usage() {
    return "usage: sqlsim [--port N] [--log FILE] [--demo] [--sa-password P] [--objects N] [--rows N]\n"
           "  --port N          listen on 127.0.0.1:N (0: pick a free port); the port is printed first on "
           "stdout\n"
           "  --log FILE        record every request as one JSON line (\"-\" for stderr)\n"
           "  --demo            serve the demo instance\n"
           "  --sa-password P   the password of the login sa (default: sa)\n"
           "  --objects N       add a generated database with N objects (benchmarks)\n"
           "  --rows N          a table of N generated rows (benchmarks): master.dbo.generated_rows, or "
           "Scale.dbo.Rows with --demo\n"
           "Without --demo: a bare instance of the same model (master, tempdb, model, msdb; the login sa).\n"
           "Transactions are serialised: while one session has a transaction open, a statement of another\n"
           "session that changes anything waits until it ends, up to that session's SET LOCK_TIMEOUT\n"
           "(default: no limit; then error 1222). The whole instance is one lock: once that transaction has\n"
           "run a statement that may change data, a statement of another session that reads a user table\n"
           "or view (of any database) waits in the same way before it starts; catalogue views, system\n"
           "tables and temporary tables never wait, and a session never waits for itself.\n";
}

} // namespace sqlsim
