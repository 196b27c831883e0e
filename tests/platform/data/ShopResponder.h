#pragma once
// A simulated server for the data layer's tests: the fixed catalogue, a database "Shop" with a
// table Orders (id int primary key, name nvarchar(50) not null, note nvarchar(100) null) that
// selects, inserts, updates and deletes really change, a table Notes without a key, and a few
// batches with several results.
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
    struct Note {
        std::string text;
        sqlsim::SqlValue tag;
    };

    // Read and changed under the server's model lock.
    std::vector<Order> orders;
    // A table without a primary key: Notes (text nvarchar(50), tag nvarchar(10) null).
    std::vector<Note> notes;
};
