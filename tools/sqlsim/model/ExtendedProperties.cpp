#include "ExtendedProperties.h"

#include "Names.h"
#include "Permissions.h"
#include "SqlError.h"
#include "Transactions.h"

#include "../TdsBuffer.h"

#include <algorithm>

namespace sqlsim::model {

namespace {

// What the level arguments name: an object, and a column of it (0 for the object itself).
struct Target {
    ObjectDef* object = nullptr;
    int column = 0;
    std::string shown; // "dbo.Orders" or "dbo.Orders.note", as the errors name it
};

std::string text(const SqlValue& v) {
    return v.isNull() ? std::string() : v.base().toText();
}

[[noreturn]] void notSupported() {
    throw SqlError(50000, 16, "__not_supported__");
}

[[noreturn]] void invalidParameter(const std::string& procedure) {
    throw SqlError(15600, 15,
                   "An invalid parameter or option was specified for procedure '" + procedure + "'.");
}

bool typeMatches(const std::string& level1type, const ObjectDef& o) {
    if (sameName(level1type, "table")) {
        return o.type == "U";
    }
    if (sameName(level1type, "view")) {
        return o.type == "V";
    }
    if (sameName(level1type, "procedure")) {
        return o.type == "P";
    }
    return o.type == "FN" || o.type == "IF" || o.type == "TF"; // function
}

// args: @name, @value (when the procedure has one), @level0type, @level0name, @level1type,
// @level1name, @level2type, @level2name, from `first` on.
Target resolve(Context& ctx, const std::string& procedure, const std::vector<SqlValue>& a, size_t first) {
    const std::string l0type = text(a[first]), l0name = text(a[first + 1]);
    const std::string l1type = text(a[first + 2]), l1name = text(a[first + 3]);
    const std::string l2type = text(a[first + 4]), l2name = text(a[first + 5]);
    // Only object and column properties are kept: the database's and a schema's own are not.
    if (a[first].isNull() || a[first + 2].isNull()) {
        notSupported();
    }
    if (!sameName(l0type, "schema")) {
        if (sameName(l0type, "user") || sameName(l0type, "type") || sameName(l0type, "filegroup") ||
            sameName(l0type, "assembly") || sameName(l0type, "partition function") ||
            sameName(l0type, "partition scheme") || sameName(l0type, "plan guide")) {
            notSupported();
        }
        invalidParameter(procedure);
    }
    const bool known = sameName(l1type, "table") || sameName(l1type, "view") ||
                       sameName(l1type, "procedure") || sameName(l1type, "function");
    if (!known) {
        for (const char* other :
             {"aggregate", "default", "logical file name", "queue", "rule", "synonym", "sequence", "type"}) {
            if (sameName(l1type, other)) {
                notSupported();
            }
        }
        invalidParameter(procedure);
    }
    if (!a[first + 4].isNull() && !sameName(l2type, "column")) {
        for (const char* other : {"constraint", "event notification", "index", "parameter", "trigger"}) {
            if (sameName(l2type, other)) {
                notSupported();
            }
        }
        invalidParameter(procedure);
    }
    Database& db = ctx.db();
    Target t;
    t.shown = l0name + "." + l1name + (a[first + 4].isNull() ? std::string() : "." + l2name);
    auto invalid = [&]() {
        return SqlError(15135, 16,
                        "Object is invalid. Extended properties are not permitted on '" + t.shown +
                            "', or the object does not exist.",
                        1);
    };
    DbPrincipal* schema = db.principal(l0name);
    ObjectDef* o = schema && !a[first + 3].isNull() ? db.findObject(l0name + "." + l1name) : nullptr;
    if (!o || o->uid != schema->uid || !typeMatches(l1type, *o) || !Permissions::seesObject(ctx, db, *o)) {
        throw invalid();
    }
    t.object = o;
    if (!a[first + 4].isNull()) {
        const int k = o->columnIndex(l2name);
        if (k < 0) {
            throw invalid();
        }
        t.column = k + 1;
    }
    // The owner, db_owner and db_ddladmin may change an object's properties.
    const int uid = Permissions::userOf(ctx, db);
    if (!(Permissions::dbOwner(ctx, db) || Permissions::dbRole(ctx, db, "db_ddladmin") ||
          (uid >= 0 && uid == o->uid))) {
        throw SqlError(15247, 16, "User does not have permission to perform this action.", 1);
    }
    return t;
}

std::vector<ExtendedProperty>::iterator find(Database& db, const Target& t, const std::string& name) {
    return std::find_if(db.extendedProperties.begin(), db.extendedProperties.end(),
                        [&](const ExtendedProperty& p) {
                            return p.id == t.object->id && p.smallid == t.column && sameName(p.name, name);
                        });
}

// A property's name and value as the procedures take them: a name of at most 128 characters, and a
// value of at most 7,500 bytes.
std::string propertyName(const std::string& procedure, const SqlValue& name) {
    if (name.isNull() || text(name).empty()) {
        invalidParameter(procedure);
    }
    return text(name);
}

void checkValue(const SqlValue& value) {
    if (value.isNull()) {
        return;
    }
    const ColumnType t = value.variantType();
    const std::string s = text(value);
    size_t bytes = t.isUnicode() ? utf16Units(s) * 2 : t.isCharacter() ? toCp1252(s).size() : s.size();
    if (t.isBinary() && value.base().is<Bytes>()) {
        bytes = value.base().get<Bytes>().size();
    }
    if (bytes > 7500) {
        throw SqlError(15097, 16,
                       "The size associated with an extended property cannot be more than 7,500 bytes.", 1);
    }
}

void beforeChange(Context& ctx) {
    Transactions::waitToWrite(ctx);
    Transactions::writing(ctx);
}

const std::vector<std::string> kLevels = {"@level0type", "@level0name", "@level1type",
                                          "@level1name", "@level2type", "@level2name"};

std::vector<std::string> parameters(bool withValue) {
    std::vector<std::string> p = {"@name"};
    if (withValue) {
        p.push_back("@value sql_variant");
    }
    p.insert(p.end(), kLevels.begin(), kLevels.end());
    return p;
}

} // namespace

void ExtendedProperties::registerAll(ProcedureTable& table) {
    table.add("sp_addextendedproperty", parameters(true), [](Context& ctx, const std::vector<SqlValue>& a) {
        const char* proc = "sp_addextendedproperty";
        const std::string name = propertyName(proc, a[0]);
        Target t = resolve(ctx, proc, a, 2);
        checkValue(a[1]);
        Database& db = ctx.db();
        if (find(db, t, name) != db.extendedProperties.end()) {
            throw SqlError(
                15233, 16,
                "Property cannot be added. Property '" + name + "' already exists for '" + t.shown + "'.", 1);
        }
        beforeChange(ctx);
        db.extendedProperties.push_back(ExtendedProperty{t.object->id, t.column, name, a[1]});
        return 0;
    });
    table.add("sp_updateextendedproperty", parameters(true),
              [](Context& ctx, const std::vector<SqlValue>& a) {
                  const char* proc = "sp_updateextendedproperty";
                  const std::string name = propertyName(proc, a[0]);
                  Target t = resolve(ctx, proc, a, 2);
                  checkValue(a[1]);
                  Database& db = ctx.db();
                  auto it = find(db, t, name);
                  if (it == db.extendedProperties.end()) {
                      throw SqlError(15217, 16,
                                     "Property cannot be updated or deleted. Property '" + name +
                                         "' does not exist for '" + t.shown + "'.",
                                     1);
                  }
                  beforeChange(ctx);
                  it->value = a[1];
                  return 0;
              });
    table.add("sp_dropextendedproperty", parameters(false), [](Context& ctx, const std::vector<SqlValue>& a) {
        const char* proc = "sp_dropextendedproperty";
        const std::string name = propertyName(proc, a[0]);
        Target t = resolve(ctx, proc, a, 1);
        Database& db = ctx.db();
        auto it = find(db, t, name);
        if (it == db.extendedProperties.end()) {
            throw SqlError(15217, 16,
                           "Property cannot be updated or deleted. Property '" + name +
                               "' does not exist for '" + t.shown + "'.",
                           1);
        }
        beforeChange(ctx);
        db.extendedProperties.erase(it);
        return 0;
    });
}

std::optional<Relation> ExtendedProperties::read(Context& ctx, Database& db, const std::string& schema,
                                                 const std::string& view) {
    if (!sameName(schema, "sys") || !sameName(view, "extended_properties")) {
        return std::nullopt;
    }
    Relation r;
    auto col = [&](const char* name, ColumnType t, bool nullable) {
        r.columns.push_back(Column{name, t, nullable, false, false});
    };
    col("class", ColumnType::of(SqlType::TinyInt), false);
    col("class_desc", ColumnType::of(SqlType::NVarChar, 60), true);
    col("major_id", ColumnType::of(SqlType::Int), false);
    col("minor_id", ColumnType::of(SqlType::Int), false);
    col("name", ColumnType::of(SqlType::NVarChar, 128), false);
    col("value", ColumnType::of(SqlType::Variant), true);
    for (const ExtendedProperty& p : db.extendedProperties) {
        const ObjectDef* o = db.object(p.id);
        if (!o || !Permissions::seesObject(ctx, db, *o)) {
            continue;
        }
        r.rows.push_back({SqlValue(int64_t(1)), SqlValue("OBJECT_OR_COLUMN"), SqlValue(int64_t(p.id)),
                          SqlValue(int64_t(p.smallid)), SqlValue(p.name), p.value});
    }
    return r;
}

} // namespace sqlsim::model
