#pragma once
// The batch compiler's syntax checks of table and index definitions and of backup and restore: each
// reads its statement in every shape the server accepts, without looking anything up, and stops
// where it ends. Shapes the runner refuses as not supported pass here; their handlers refuse them
// when they run, before changing anything.
#include <cstddef>

namespace sqlsim::model {

class BatchCompiler;

class DefinitionChecks {
public:
    static void createTable(BatchCompiler& c, size_t& pos);
    static void createIndex(BatchCompiler& c, size_t& pos);
    static void alterTable(BatchCompiler& c, size_t& pos);
    static void backup(BatchCompiler& c, size_t& pos);
    static void restore(BatchCompiler& c, size_t& pos);
};

} // namespace sqlsim::model
