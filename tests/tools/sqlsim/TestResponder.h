#pragma once
// The fixed catalogue plus statements the engine tests need.
#include "FixedCatalog.h"

namespace sqlsimtest {

class TestResponder : public sqlsim::FixedCatalog {
public:
    TestResponder();
};

} // namespace sqlsimtest
