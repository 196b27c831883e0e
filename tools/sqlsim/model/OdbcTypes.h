#pragma once
// How the ODBC catalog procedures (sp_columns, sp_special_columns, sp_sproc_columns) describe a
// column or parameter type: its ODBC type codes, precision, length, scale, radix and octet length,
// and the old type code the server reports as SS_DATA_TYPE.
#include "../SqlValue.h"

namespace sqlsim::model {

// Values that are NULL where the server gives none (scale of a string, radix of a date ...).
struct OdbcTypeRow {
    int dataType = 0;
    int sqlDataType = 0;
    SqlValue dateTimeSub;
    SqlValue precision;
    SqlValue length;
    SqlValue scale;
    SqlValue radix;
    SqlValue octetLength;
    int ssType = 0;
};

class OdbcTypes {
public:
    // The description for ODBC 2 or 3 (dates are type 11 or 93); nullable picks the old type code.
    static OdbcTypeRow describe(const ColumnType& t, bool nullable, int odbcVersion);
    // Whether describe() knows the type; the newer date and time types it does not.
    static bool known(const ColumnType& t);
};

} // namespace sqlsim::model
