#include "InformationSchemaViews.h"

#include "Names.h"

namespace sqlsim::model {

namespace {

const ColumnType kSysname = ColumnType::of(SqlType::NVarChar, 128);

void col(Relation& r, const char* name, ColumnType t, bool nullable = true) {
    r.columns.push_back(Column{name, t, nullable, false, false});
}

ColumnType varchar(int n) {
    return ColumnType::of(SqlType::VarChar, n);
}

const ObjectDef* find(const Database& db, int id) {
    auto it = db.objects.find(id);
    return it == db.objects.end() ? nullptr : &it->second;
}

// The constraint's catalog, schema and name followed by its table's catalog, schema and name.
Row constraintAndTable(const Database& db, const ObjectDef& constraint, const ObjectDef& table) {
    const SqlValue catalog(db.name);
    return {catalog, SqlValue(db.ownerName(constraint.uid)), SqlValue(constraint.name),
            catalog, SqlValue(db.ownerName(table.uid)),      SqlValue(table.name)};
}

void constraintAndTableColumns(Relation& r) {
    col(r, "CONSTRAINT_CATALOG", kSysname);
    col(r, "CONSTRAINT_SCHEMA", kSysname);
    col(r, "CONSTRAINT_NAME", kSysname, false);
    col(r, "TABLE_CATALOG", kSysname);
    col(r, "TABLE_SCHEMA", kSysname);
    col(r, "TABLE_NAME", kSysname, false);
}

const char* constraintType(const std::string& type) {
    if (type == "PK") {
        return "PRIMARY KEY";
    }
    if (type == "F") {
        return "FOREIGN KEY";
    }
    if (type == "UQ") {
        return "UNIQUE";
    }
    if (type == "C") {
        return "CHECK";
    }
    return nullptr;
}

Relation views(const Database& db) {
    Relation r;
    col(r, "TABLE_CATALOG", kSysname);
    col(r, "TABLE_SCHEMA", kSysname);
    col(r, "TABLE_NAME", kSysname, false);
    col(r, "VIEW_DEFINITION", ColumnType::of(SqlType::NVarChar, 4000));
    col(r, "CHECK_OPTION", varchar(7));
    col(r, "IS_UPDATABLE", varchar(2));
    for (const auto& [id, o] : db.objects) {
        if (o.type != "V") {
            continue;
        }
        const bool checked = lower(o.source).find("with check option") != std::string::npos;
        r.rows.push_back({SqlValue(db.name), SqlValue(db.ownerName(o.uid)), SqlValue(o.name),
                          SqlValue(characterPrefix(o.source, 4000)), SqlValue(checked ? "CASCADE" : "NONE"),
                          SqlValue("NO")});
    }
    return r;
}

// The same schemas as sys.schemas, each owned by the principal of the same name.
Relation schemata(const Database& db) {
    Relation r;
    col(r, "CATALOG_NAME", kSysname);
    col(r, "SCHEMA_NAME", kSysname, false);
    col(r, "SCHEMA_OWNER", kSysname);
    col(r, "DEFAULT_CHARACTER_SET_CATALOG", varchar(6));
    col(r, "DEFAULT_CHARACTER_SET_SCHEMA", varchar(3));
    col(r, "DEFAULT_CHARACTER_SET_NAME", kSysname);
    for (const char* schema : {"dbo", "guest", "INFORMATION_SCHEMA", "sys"}) {
        r.rows.push_back({SqlValue(db.name), SqlValue(schema), SqlValue(schema), SqlValue::null(),
                          SqlValue::null(), SqlValue("iso_1")});
    }
    return r;
}

Relation tableConstraints(const Database& db) {
    Relation r;
    constraintAndTableColumns(r);
    col(r, "CONSTRAINT_TYPE", varchar(11));
    col(r, "IS_DEFERRABLE", varchar(2));
    col(r, "INITIALLY_DEFERRED", varchar(2));
    for (const auto& [id, o] : db.objects) {
        const char* type = constraintType(o.type);
        const ObjectDef* table = find(db, o.parentId);
        if (type == nullptr || table == nullptr || !table->isTable()) {
            continue;
        }
        Row row = constraintAndTable(db, o, *table);
        row.push_back(SqlValue(type));
        row.push_back(SqlValue("NO"));
        row.push_back(SqlValue("NO"));
        r.rows.push_back(std::move(row));
    }
    return r;
}

// The columns of each primary key (in key order) and of each foreign key.
Relation keyColumnUsage(const Database& db) {
    Relation r;
    constraintAndTableColumns(r);
    col(r, "COLUMN_NAME", kSysname);
    col(r, "ORDINAL_POSITION", ColumnType::of(SqlType::Int), false);
    for (const auto& [id, t] : db.objects) {
        if (!t.isTable()) {
            continue;
        }
        if (const ObjectDef* pk = find(db, t.primaryKeyId)) {
            for (size_t k = 0; k < t.primaryKeyColumns.size(); ++k) {
                Row row = constraintAndTable(db, *pk, t);
                row.push_back(SqlValue(t.primaryKeyColumns[k]));
                row.push_back(SqlValue(int64_t(k + 1)));
                r.rows.push_back(std::move(row));
            }
        }
        for (const ForeignKey& fk : t.foreignKeys) {
            if (const ObjectDef* f = find(db, fk.id)) {
                Row row = constraintAndTable(db, *f, t);
                row.push_back(SqlValue(fk.column));
                row.push_back(SqlValue(int64_t(1)));
                r.rows.push_back(std::move(row));
            }
        }
    }
    return r;
}

// Each foreign key with the primary key of the table it references.
Relation referentialConstraints(const Database& db) {
    Relation r;
    col(r, "CONSTRAINT_CATALOG", kSysname);
    col(r, "CONSTRAINT_SCHEMA", kSysname);
    col(r, "CONSTRAINT_NAME", kSysname, false);
    col(r, "UNIQUE_CONSTRAINT_CATALOG", kSysname);
    col(r, "UNIQUE_CONSTRAINT_SCHEMA", kSysname);
    col(r, "UNIQUE_CONSTRAINT_NAME", kSysname);
    col(r, "MATCH_OPTION", varchar(7));
    col(r, "UPDATE_RULE", varchar(11));
    col(r, "DELETE_RULE", varchar(11));
    const SqlValue catalog(db.name);
    for (const auto& [id, t] : db.objects) {
        for (const ForeignKey& fk : t.foreignKeys) {
            const ObjectDef* f = find(db, fk.id);
            if (f == nullptr) {
                continue;
            }
            const ObjectDef* ref = find(db, fk.refTableId);
            const ObjectDef* key = ref == nullptr ? nullptr : find(db, ref->primaryKeyId);
            r.rows.push_back({catalog, SqlValue(db.ownerName(f->uid)), SqlValue(f->name),
                              key ? catalog : SqlValue::null(),
                              key ? SqlValue(db.ownerName(key->uid)) : SqlValue::null(),
                              key ? SqlValue(key->name) : SqlValue::null(), SqlValue("SIMPLE"),
                              SqlValue("NO ACTION"), SqlValue(fk.deleteCascade ? "CASCADE" : "NO ACTION")});
        }
    }
    return r;
}

} // namespace

std::optional<Relation> InformationSchemaViews::read(const Database& db, const std::string& view) {
    const std::string v = lower(view);
    if (v == "views") {
        return views(db);
    }
    if (v == "schemata") {
        return schemata(db);
    }
    if (v == "table_constraints") {
        return tableConstraints(db);
    }
    if (v == "key_column_usage") {
        return keyColumnUsage(db);
    }
    if (v == "referential_constraints") {
        return referentialConstraints(db);
    }
    return std::nullopt;
}

} // namespace sqlsim::model
