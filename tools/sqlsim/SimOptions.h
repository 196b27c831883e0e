#pragma once
// The simulator's command line.
#include <string>

namespace sqlsim {

struct SimOptions {
    int port = 1433;
    std::string logFile;
    bool demo = false;
    std::string saPassword = "sa";
    int objects = 0; // extra generated objects, for benchmarks
    long rows = 0;   // rows of a generated table, for benchmarks
    bool help = false;

    static bool parse(int argc, char** argv, SimOptions& out, std::string& error);
    static std::string usage();
};

} // namespace sqlsim
