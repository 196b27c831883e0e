#pragma once
// How the catalog describes a column type: systypes name and xtype, storage length, precision, scale.
#include "../SqlValue.h"

#include <string>

namespace sqlsim::model {

class TypeInfo {
public:
    // "nvarchar", "int", "decimal" ... (without length)
    static std::string name(const ColumnType& type);
    static int xtype(const ColumnType& type);
    // syscolumns.length: bytes; nvarchar(n) gives 2n, (max) gives -1.
    static int storageLength(const ColumnType& type);
    // syscolumns.prec: characters for character types, digits for numbers, -1 for (max).
    static int precision(const ColumnType& type);
    static int scale(const ColumnType& type);
    // Parses a declared type such as "nvarchar(50)", "decimal(18, 2)", "varchar(max)"; false when unknown.
    static bool parse(const std::string& text, ColumnType& out);
};

} // namespace sqlsim::model
