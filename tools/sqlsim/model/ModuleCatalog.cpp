#include "ModuleCatalog.h"

#include "Names.h"

namespace sqlsim::model {

namespace {

void col(Relation& r, const char* name, ColumnType t, bool nullable = true) {
    r.columns.push_back(Column{name, t, nullable, false, false});
}

bool isModule(const ObjectDef& o) {
    return o.type == "P" || o.type == "V" || o.type == "FN" || o.type == "IF" || o.type == "TF" ||
           o.type == "TR" || (o.type == "D" && o.parentId == 0);
}

// UTF-16LE bytes of a UTF-8 text, as ctext holds it.
Bytes utf16(const std::string& s) {
    Bytes out;
    for (size_t i = 0; i < s.size();) {
        unsigned char c = static_cast<unsigned char>(s[i]);
        uint32_t cp = c;
        int extra = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : 0;
        cp = extra == 3 ? c & 0x07 : extra == 2 ? c & 0x0F : extra == 1 ? c & 0x1F : c;
        for (int k = 1; k <= extra && i + k < s.size(); ++k) {
            cp = (cp << 6) | (static_cast<unsigned char>(s[i + k]) & 0x3F);
        }
        i += size_t(extra) + 1;
        auto unit = [&](uint32_t u) {
            out.push_back(uint8_t(u & 0xFF));
            out.push_back(uint8_t(u >> 8));
        };
        if (cp >= 0x10000) {
            cp -= 0x10000;
            unit(0xD800 + (cp >> 10));
            unit(0xDC00 + (cp & 0x3FF));
        } else {
            unit(cp);
        }
    }
    return out;
}

Relation sqlModules(Database& db) {
    Relation r;
    const ColumnType bit = ColumnType::of(SqlType::Bit);
    col(r, "object_id", ColumnType::of(SqlType::Int), false);
    col(r, "definition", ColumnType::of(SqlType::NVarChar, ColumnType::kMax));
    for (const char* name : {"uses_ansi_nulls", "uses_quoted_identifier", "is_schema_bound",
                             "uses_database_collation", "is_recompiled", "null_on_null_input"}) {
        col(r, name, bit);
    }
    col(r, "execute_as_principal_id", ColumnType::of(SqlType::Int));
    col(r, "uses_native_compilation", bit);
    col(r, "inline_type", bit);
    col(r, "is_inlineable", bit);
    for (const auto& [id, o] : db.objects) {
        if (!isModule(o)) {
            continue;
        }
        const bool function = o.type == "FN";
        r.rows.push_back({SqlValue(int64_t(id)), SqlValue(o.source), SqlValue(true), SqlValue(true),
                          SqlValue(false), SqlValue(false), SqlValue(false), SqlValue(false), SqlValue::null(),
                          SqlValue(false), SqlValue(false), SqlValue(false)});
        if (function) {
            r.rows.back()[10] = SqlValue(true); // scalar functions may be inlined (from 2019)
        }
    }
    // The database's own triggers are modules too, though no objects.
    for (const DatabaseTrigger& t : db.databaseTriggers) {
        r.rows.push_back({SqlValue(int64_t(t.id)), SqlValue(t.source), SqlValue(true), SqlValue(true),
                          SqlValue(false), SqlValue(false), SqlValue(false), SqlValue(false),
                          SqlValue::null(), SqlValue(false), SqlValue(false), SqlValue(false)});
    }
    return r;
}

Relation syscomments(Database& db) {
    Relation r;
    const ColumnType small = ColumnType::of(SqlType::SmallInt);
    col(r, "id", ColumnType::of(SqlType::Int), false);
    col(r, "number", small);
    col(r, "colid", small, false);
    col(r, "status", small, false);
    col(r, "ctext", ColumnType::of(SqlType::VarBinary, 8000));
    col(r, "texttype", small);
    col(r, "language", small);
    col(r, "encrypted", ColumnType::of(SqlType::Bit), false);
    col(r, "compressed", ColumnType::of(SqlType::Bit), false);
    col(r, "text", ColumnType::of(SqlType::NVarChar, 4000));
    auto add = [&](int id, int number, const std::string& text) {
        // The text in pieces of 4,000 characters, numbered from 1.
        std::string rest = text;
        int colid = 1;
        do {
            std::string piece = characterPrefix(rest, 4000);
            rest = rest.substr(piece.size());
            r.rows.push_back({SqlValue(int64_t(id)), SqlValue(int64_t(number)), SqlValue(int64_t(colid++)),
                              SqlValue(int64_t(0)), SqlValue(utf16(piece)), SqlValue(int64_t(2)),
                              SqlValue(int64_t(0)), SqlValue(false), SqlValue(false), SqlValue(piece)});
        } while (!rest.empty());
    };
    for (const auto& [id, o] : db.objects) {
        if (isModule(o) || (o.type == "D" && !o.source.empty())) {
            add(id, o.type == "P" ? 1 : 0, o.source);
        }
        for (size_t k = 0; k < o.columns.size(); ++k) {
            if (o.isTable() && o.columns[k].isComputed()) {
                add(id, int(k + 1), o.columns[k].computed);
            }
        }
    }
    return r;
}

} // namespace

std::optional<Relation> ModuleCatalog::read(Database& db, const std::string& schema, const std::string& view) {
    if (sameName(schema, "sys") && sameName(view, "sql_modules")) {
        return sqlModules(db);
    }
    if ((schema.empty() || sameName(schema, "dbo") || sameName(schema, "sys")) && sameName(view, "syscomments")) {
        return syscomments(db);
    }
    return std::nullopt;
}

} // namespace sqlsim::model
