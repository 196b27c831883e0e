#pragma once
// A simulated server for the data layer's tests: the fixed catalogue, a database "Shop" with a
// table Orders (id int primary key, name nvarchar(50) not null, note nvarchar(100) null) that
// selects, inserts, updates and deletes really change, and a few batches with several results.
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
