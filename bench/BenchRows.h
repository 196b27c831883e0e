#pragma once
// The rows the client benchmarks read: a bare simulated instance (login sa, password "bench") whose
// master.dbo.bench_rows holds `rows` rows of (id int, name nvarchar(50), created datetime,
// amount decimal(18,2)) and, with withFlag, flag bit. Row i is (i, benchRowName(i), 2020-01-01 plus
// i seconds and i % 1000 ms, (i * 37 - 5000) / 100, i % 3 == 0).
#include "Responder.h"

#include <memory>
#include <string>

std::unique_ptr<sqlsim::Responder> makeBenchRowsInstance(long rows, bool withFlag);
std::string benchRowName(long i);
