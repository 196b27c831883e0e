#include "KeyAndParameterViews.h"

#include "CatalogViews.h"
#include "ModuleDefinition.h"
#include "SqlLexer.h"
#include "TypeInfo.h"

#include <map>
#include <memory>

namespace sqlsim::model {

namespace {

const ColumnType kSysname = ColumnType::of(SqlType::NVarChar, 128);
const ColumnType kInt = ColumnType::of(SqlType::Int);
const ColumnType kSmall = ColumnType::of(SqlType::SmallInt);
const ColumnType kTiny = ColumnType::of(SqlType::TinyInt);
const ColumnType kBit = ColumnType::of(SqlType::Bit);
const ColumnType kVariant = ColumnType::of(SqlType::Variant);

void col(Relation& r, const char* name, ColumnType t, bool nullable = true) {
    r.columns.push_back(Column{name, t, nullable, false, false});
}

SqlValue i(int64_t v) {
    return SqlValue(v);
}
SqlValue b(bool v) {
    return SqlValue(v);
}

// A value kept as sql_variant with the type of the column it describes.
SqlValue variant(int64_t v, const ColumnType& type) {
    return SqlValue(VariantValue{std::make_shared<const SqlValue>(SqlValue(v)), type});
}

// sys.objects' rows by object_id (its second column).
std::map<int64_t, Row> objectRows(Context& ctx, Database& db) {
    std::map<int64_t, Row> rows;
    if (auto objects = CatalogViews::read(ctx, db, "sys", "objects")) {
        for (Row& row : objects->rows) {
            rows.emplace(row.at(1).toInt(), std::move(row));
        }
    }
    return rows;
}

// A name the server made up for a constraint declared without one.
bool systemNamed(const std::string& name) {
    return name.rfind("PK__", 0) == 0 || name.rfind("DF__", 0) == 0 || name.rfind("UQ__", 0) == 0;
}

// The index that carries a table's primary key: 1 when clustered, else 2.
int keyIndexId(const ObjectDef& table) {
    return table.primaryKeyClustered ? 1 : 2;
}

// system_type_id, user_type_id, max_length, precision, scale of a type, as sys.columns gives them.
std::vector<SqlValue> typeCells(const ColumnType& type) {
    const int xtype = TypeInfo::xtype(type);
    const bool numeric = type.type == SqlType::Decimal || type.type == SqlType::Numeric;
    return {i(xtype), i(xtype), i(TypeInfo::storageLength(type)),
            i(type.isCharacter() || type.isBinary() ? 0 : TypeInfo::precision(type)),
            i(numeric ? TypeInfo::scale(type) : 0)};
}

Relation keyConstraints(Context& ctx, Database& db) {
    Relation r = *CatalogViews::read(ctx, db, "sys", "objects");
    r.rows.clear();
    col(r, "unique_index_id", kInt);
    col(r, "is_system_named", kBit, false);
    std::map<int64_t, Row> objects = objectRows(ctx, db);
    for (const auto& [id, o] : db.objects) {
        if (o.type != "U" || o.primaryKeyId == 0) {
            continue;
        }
        auto key = objects.find(o.primaryKeyId);
        auto keyObject = db.objects.find(o.primaryKeyId);
        if (key == objects.end() || keyObject == db.objects.end()) {
            continue;
        }
        Row row = key->second;
        row.push_back(i(keyIndexId(o)));
        row.push_back(b(systemNamed(keyObject->second.name)));
        r.rows.push_back(std::move(row));
    }
    return r;
}

Relation indexColumns(Database& db) {
    Relation r;
    col(r, "object_id", kInt, false);
    col(r, "index_id", kInt, false);
    col(r, "index_column_id", kInt, false);
    col(r, "column_id", kInt, false);
    col(r, "key_ordinal", kTiny, false);
    col(r, "partition_ordinal", kTiny, false);
    col(r, "is_descending_key", kBit);
    col(r, "is_included_column", kBit);
    for (const auto& [id, o] : db.objects) {
        if (o.type != "U" || o.primaryKeyId == 0) {
            continue;
        }
        for (size_t k = 0; k < o.primaryKeyColumns.size(); ++k) {
            const bool descending = k < o.primaryKeyDescending.size() && o.primaryKeyDescending[k];
            r.rows.push_back({i(id), i(keyIndexId(o)), i(int64_t(k + 1)),
                              i(o.columnIndex(o.primaryKeyColumns[k]) + 1), i(int64_t(k + 1)), i(0),
                              b(descending), b(false)});
        }
    }
    return r;
}

Relation identityColumns(Context& ctx, Database& db) {
    Relation r = *CatalogViews::read(ctx, db, "sys", "columns");
    std::vector<Row> columns = std::move(r.rows);
    r.rows.clear();
    col(r, "seed_value", kVariant);
    col(r, "increment_value", kVariant);
    col(r, "last_value", kVariant);
    col(r, "is_not_for_replication", kBit);
    for (Row& row : columns) {
        auto table = db.objects.find(int(row.at(0).toInt()));
        if (table == db.objects.end() || table->second.type != "U") {
            continue;
        }
        const ObjectDef& t = table->second;
        const TableColumn& c = t.columns.at(size_t(row.at(2).toInt() - 1));
        if (!c.identity) {
            continue;
        }
        // Nothing has been numbered yet while the next value is still the seed.
        row.push_back(variant(c.identitySeed, c.type));
        row.push_back(variant(c.identityStep, c.type));
        row.push_back(t.identityNext == c.identitySeed ? SqlValue::null()
                                                       : variant(t.identityNext - c.identityStep, c.type));
        row.push_back(b(false));
        r.rows.push_back(std::move(row));
    }
    return r;
}

Relation defaultConstraints(Context& ctx, Database& db) {
    Relation r = *CatalogViews::read(ctx, db, "sys", "objects");
    r.rows.clear();
    col(r, "parent_column_id", kInt, false);
    col(r, "definition", ColumnType::of(SqlType::NVarChar, ColumnType::kMax));
    col(r, "is_system_named", kBit, false);
    std::map<int64_t, Row> objects = objectRows(ctx, db);
    for (const auto& [id, o] : db.objects) {
        if (o.type != "U") {
            continue;
        }
        for (size_t k = 0; k < o.columns.size(); ++k) {
            const TableColumn& c = o.columns[k];
            auto d = objects.find(c.defaultId);
            auto dObject = db.objects.find(c.defaultId);
            if (c.defaultId == 0 || d == objects.end() || dObject == db.objects.end()) {
                continue;
            }
            Row row = d->second;
            row.push_back(i(int64_t(k + 1)));
            row.push_back(SqlValue(c.defaultText));
            row.push_back(b(systemNamed(dObject->second.name)));
            r.rows.push_back(std::move(row));
        }
    }
    return r;
}

// The parameters of procedures and functions; a scalar function's result is parameter 0 with an
// empty name.
Relation parameters(Database& db) {
    Relation r;
    col(r, "object_id", kInt, false);
    col(r, "name", kSysname);
    col(r, "parameter_id", kInt, false);
    col(r, "system_type_id", kTiny, false);
    col(r, "user_type_id", kInt, false);
    col(r, "max_length", kSmall, false);
    col(r, "precision", kTiny, false);
    col(r, "scale", kTiny, false);
    col(r, "is_output", kBit, false);
    col(r, "is_cursor_ref", kBit, false);
    col(r, "has_default_value", kBit, false);
    col(r, "is_xml_document", kBit, false);
    col(r, "default_value", kVariant);
    col(r, "xml_collection_id", kInt, false);
    col(r, "is_readonly", kBit, false);
    col(r, "is_nullable", kBit);
    for (const auto& [id, o] : db.objects) {
        if (o.type != "P" && o.type != "FN" && o.type != "IF" && o.type != "TF") {
            continue;
        }
        std::optional<ModuleDefinition> def = ModuleDefinition::ofText(o.source);
        if (!def) {
            continue;
        }
        for (size_t k = 0; k < def->parameters.size(); ++k) {
            const ModuleParameter& p = def->parameters[k];
            const bool result = o.type == "FN" && k == 0;
            Row row = {i(id), SqlValue(result ? std::string() : p.name), i(int64_t(o.type == "FN" ? k : k + 1))};
            for (SqlValue& cell : typeCells(p.type)) {
                row.push_back(std::move(cell));
            }
            for (SqlValue v : {b(result || p.output), b(false), b(p.hasDefault()), b(false), SqlValue::null(),
                               i(0), b(false), b(true)}) {
                row.push_back(std::move(v));
            }
            r.rows.push_back(std::move(row));
        }
    }
    return r;
}

} // namespace

std::optional<Relation> KeyAndParameterViews::read(Context& ctx, Database& db, const std::string& view) {
    if (view == "key_constraints") {
        return keyConstraints(ctx, db);
    }
    if (view == "index_columns") {
        return indexColumns(db);
    }
    if (view == "identity_columns") {
        return identityColumns(ctx, db);
    }
    if (view == "default_constraints") {
        return defaultConstraints(ctx, db);
    }
    if (view == "parameters") {
        return parameters(db);
    }
    return std::nullopt;
}

} // namespace sqlsim::model
