#pragma once
// insert, update, delete, create table and drop table on user tables.
#include "BatchRunner.h"

namespace sqlsim::model {

class TableStatements {
public:
    static void run(BatchRunner& runner, Context& ctx, size_t& pos);
};

} // namespace sqlsim::model
