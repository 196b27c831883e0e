#pragma once
// A simulated server for the data layer's wire-level tests: the fixed catalogue, a database
// "Shop" with a table Orders (id int primary key, name nvarchar(50) not null, note nvarchar(100)
// null), and a few batches with several results. Writing rows back is tested against the demo
// instance instead.
#include "FixedCatalog.h"

#include <string>
#include <vector>

class ShopResponder : public sqlsim::FixedCatalog {
public:
    struct Order {
        int id;
        std::string name;
        sqlsim::SqlValue note;
    };

    ShopResponder();

    // Read and changed under the server's model lock.
    std::vector<Order> orders;
};
