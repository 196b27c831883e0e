#pragma once
// One object of a database as the catalog describes it: a table with its columns, constraints and
// rows, or a view, procedure, function or trigger with its source, or a constraint object itself.
#include "../SqlValue.h"

#include <string>
#include <vector>

namespace sqlsim::model {

struct TableColumn {
    std::string name;
    ColumnType type;
    bool nullable = true;
    bool identity = false;
    int64_t identitySeed = 1;
    int64_t identityStep = 1;
    std::string computed;    // the stored expression with its outer parentheses, e.g. "([qty]*[price])"
    int defaultId = 0;       // object id of the default constraint, 0 when there is none
    std::string defaultText; // stored text of the default with its outer parentheses, e.g. "('n/a')"
    bool isComputed() const { return !computed.empty(); }
};

struct ForeignKey {
    int id = 0;
    std::string name;
    std::string column;
    int refTableId = 0;
    std::string refColumn;
    bool deleteCascade = false;
};

struct ObjectDef {
    int id = 0;
    std::string name;
    int uid = 1;      // owner
    std::string type; // U, V, P, FN, IF, TF, TR, D, F, PK, S, SQ ...
    int parentId = 0;
    DateTimeValue created;

    // Tables
    std::vector<TableColumn> columns;
    std::vector<ForeignKey> foreignKeys;
    int primaryKeyId = 0;
    std::vector<std::string> primaryKeyColumns;
    std::vector<bool> primaryKeyDescending; // by key column; empty when every column ascends
    bool primaryKeyClustered = true;
    std::vector<Row> rows;
    int64_t identityNext = 1;
    int creatorSpid = 0; // a global temporary table: the session that made it

    // Views, procedures, functions, triggers, and the defining text of a default constraint
    std::string source;

    bool isTable() const { return type == "U"; }
    // Column position by name (case-insensitive), -1 when absent.
    int columnIndex(const std::string& column) const;
    int identityColumn() const;
};

} // namespace sqlsim::model
