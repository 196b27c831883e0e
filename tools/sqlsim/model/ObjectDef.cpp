#include "ObjectDef.h"

#include "Names.h"

namespace sqlsim::model {

int ObjectDef::columnIndex(const std::string& column) const {
    for (size_t i = 0; i < columns.size(); ++i) {
        if (sameName(columns[i].name, column)) {
            return int(i);
        }
    }
    return -1;
}

int ObjectDef::identityColumn() const {
    for (size_t i = 0; i < columns.size(); ++i) {
        if (columns[i].identity) {
            return int(i);
        }
    }
    return -1;
}

} // namespace sqlsim::model
