// sqlsim: a SQL Server stand-in speaking TDS 7.4 on 127.0.0.1, for tests, benchmarks and the demo.
#include "Server.h"
#include "SimOptions.h"
#include "model/DemoInstance.h"

#include <csignal>
#include <fstream>
#include <iostream>
#include <memory>
#include <pthread.h>

namespace {

sqlsim::model::DemoOptions demoOptions(const sqlsim::SimOptions& options) {
    return sqlsim::model::DemoOptions{options.saPassword, options.objects, int(options.rows)};
}

// The demo instance, or a bare instance of the same model (with the benchmark's generated table when
// --rows is given).
std::unique_ptr<sqlsim::Responder> makeResponder(const sqlsim::SimOptions& options) {
    if (options.demo) {
        return makeDemoInstance(demoOptions(options));
    }
    return makeBareInstance(options.saPassword, int(options.rows));
}

} // namespace

int main(int argc, char** argv) {
    using namespace sqlsim;
    SimOptions options;
    std::string error;
    if (!SimOptions::parse(argc, argv, options, error)) {
        std::cerr << "sqlsim: " << error << "\n" << SimOptions::usage();
        return 2;
    }
    if (options.help) {
        std::cout << SimOptions::usage() << "\nThe demo instance (--demo):\n"
                  << model::demoLoginsText(demoOptions(options));
        return 0;
    }

    // Signals are taken by sigwait below, never by the serving threads.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    std::unique_ptr<std::ofstream> logFile;
    std::ostream* log = nullptr;
    if (options.logFile == "-") {
        log = &std::cerr;
    } else if (!options.logFile.empty()) {
        logFile = std::make_unique<std::ofstream>(options.logFile, std::ios::app);
        if (!*logFile) {
            std::cerr << "sqlsim: cannot write the log file " << options.logFile << "\n";
            return 1;
        }
        log = logFile.get();
    }

    std::unique_ptr<Responder> responder = makeResponder(options);
    Server server(*responder, log);
    int port;
    try {
        port = server.start(options.port);
    } catch (const std::exception& e) {
        std::cerr << "sqlsim: " << e.what() << "\n";
        return 1;
    }
    std::cout << port << std::endl;
    std::cerr << "sqlsim: server " << responder->serverName() << " listening on 127.0.0.1:" << port
              << std::endl;

    int received = 0;
    sigwait(&signals, &received);
    server.stop();
    return 0;
}
