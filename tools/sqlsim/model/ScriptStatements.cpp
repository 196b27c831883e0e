#include "ScriptStatements.h"

#include "BatchRunner.h"
#include "Names.h"
#include "Permissions.h"
#include "StatementTexts.h"
#include "TypeInfo.h"

#include <algorithm>
#include <cstdio>

namespace sqlsim::model {

namespace {

const char* const kNl = "\r\n";

SqlValue value(const TextTemplate::Values& v, const char* name) {
    auto it = v.find(name);
    return it == v.end() ? SqlValue::null() : it->second;
}

std::string kindWord(const std::string& type) {
    if (type == "U")
        return "table";
    if (type == "V")
        return "view";
    if (type == "P")
        return "procedure";
    if (type == "FN" || type == "IF" || type == "TF")
        return "function";
    if (type == "TR")
        return "trigger";
    return "";
}

std::string stripParens(const std::string& s) {
    return s.size() >= 2 ? s.substr(1, s.size() - 2) : std::string();
}

void textColumn(Context& ctx, const std::string& name, const std::vector<std::string>& lines,
                ColumnType type) {
    ResultSet rs;
    rs.column(name, type);
    for (const auto& l : lines) {
        rs.row({SqlValue(l)});
    }
    ctx.response.resultSet(std::move(rs));
}

void extendedPropertyCalls(Context& ctx, const TextTemplate::Values& v) {
    Database& db = ctx.db();
    if (!db.hasExtendedPropertiesView()) {
        throw SqlError(208, 16, "Invalid object name 'vs_ExtProps'.", 1, {}, 3);
    }
    std::string tab = value(v, "tab").isNull() ? std::string() : value(v, "tab").toText();
    ObjectDef* o = db.findObject(tab);
    std::vector<const ExtendedProperty*> props;
    for (const auto& p : db.extendedProperties) {
        if (o && p.id == o->id && !p.value.isNull()) {
            props.push_back(&p);
        }
    }
    std::stable_sort(props.begin(), props.end(), [](const ExtendedProperty* a, const ExtendedProperty* b) {
        return std::make_tuple(a->smallid, lower(a->name)) < std::make_tuple(b->smallid, lower(b->name));
    });
    std::vector<std::string> lines;
    for (const ExtendedProperty* p : props) {
        std::string column = "null";
        if (p->smallid != 0) {
            if (p->smallid > int(o->columns.size())) {
                continue; // the outer join finds no column: the whole text is NULL
            }
            column = "'" + o->columns[size_t(p->smallid - 1)].name + "'";
        }
        const ColumnType base = p->value.variantType();
        const bool date = base.type == SqlType::DateTime || base.type == SqlType::SmallDateTime ||
                          base.type == SqlType::Date || base.type == SqlType::DateTime2;
        std::string q = base.isCharacter() || date ? "'" : "";
        lines.push_back("exec sps_UpdateExtendedProperty '" + tab + "', " + column + ", '" + p->name + "', " +
                        q + p->value.toText() + q);
    }
    textColumn(ctx, "", lines, ColumnType::of(SqlType::VarChar, 8000));
}

// The query reads ta_AccessObject (sName: an object, sUser: who gets it) and writes one grant per
// row naming the object, ordered by grantee.
void accessObjectGrants(Context& ctx, const TextTemplate::Values& v) {
    Database& db = ctx.db();
    ObjectDef* access = db.findObject("ta_AccessObject");
    if (!access || !access->isTable()) {
        throw SqlError(208, 16, "Invalid object name 'ta_AccessObject'.", 1, {}, 12);
    }
    Permissions::requireOnObject(ctx, db, *access, Permissions::kSelect);
    const int nameColumn = access->columnIndex("sName");
    const int userColumn = access->columnIndex("sUser");
    if (nameColumn < 0 || userColumn < 0) {
        throw SqlError(207, 16,
                       std::string("Invalid column name '") + (nameColumn < 0 ? "sName" : "sUser") + "'.", 1,
                       {}, 10);
    }
    std::string tab = value(v, "tab").isNull() ? std::string() : value(v, "tab").toText();
    ObjectDef* o = db.findObject(tab);
    std::vector<std::string> grantees;
    for (const auto& row : access->rows) {
        const SqlValue& name = row[size_t(nameColumn)];
        if (!o || name.isNull() || db.findObject(name.toText()) != o) {
            continue;
        }
        const SqlValue& user = row[size_t(userColumn)];
        grantees.push_back(user.isNull() ? std::string() : user.toText());
    }
    std::stable_sort(grantees.begin(), grantees.end(),
                     [](const std::string& a, const std::string& b) { return lower(a) < lower(b); });
    std::vector<std::string> lines;
    for (const auto& g : grantees) {
        std::string what = o->type == "U" || o->type == "V" || o->type == "IF"
                               ? "select, insert, update, delete"
                           : o->type == "TF" ? "select"
                                             : "execute";
        lines.push_back("grant " + what + " on " + tab + " to " + g);
    }
    textColumn(ctx, "", lines, ColumnType::of(SqlType::NVarChar, 4000));
}

} // namespace

std::string ScriptStatements::varcharText(const SqlValue& v, const ColumnType& type) {
    if (v.isNull()) {
        return "";
    }
    char buf[64];
    switch (type.type) {
    case SqlType::Bit:
        return v.toBool() ? "1" : "0";
    case SqlType::Money:
    case SqlType::SmallMoney:
        if (v.is<DecimalValue>()) {
            return v.get<DecimalValue>().rescaled(2).text();
        }
        std::snprintf(buf, sizeof buf, "%.2f", v.toDouble());
        return buf;
    case SqlType::Real:
    case SqlType::Float: {
        std::snprintf(buf, sizeof buf, "%.6g", v.toDouble());
        std::string s = buf;
        auto e = s.find('e');
        if (e != std::string::npos && s.size() - e == 4) {
            s.insert(e + 2, "0"); // three exponent digits
        }
        return s;
    }
    case SqlType::DateTime:
    case SqlType::SmallDateTime: {
        if (!v.is<DateTimeValue>()) {
            return v.toText();
        }
        static const char* const months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                             "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
        int y, mo, d, h, mi, s, ms;
        v.get<DateTimeValue>().toParts(y, mo, d, h, mi, s, ms);
        int h12 = h % 12 == 0 ? 12 : h % 12;
        std::snprintf(buf, sizeof buf, "%s %2d %04d %2d:%02d%s", months[mo - 1], d, y, h12, mi,
                      h < 12 ? "AM" : "PM");
        return buf;
    }
    case SqlType::Date: {
        if (!v.is<DateTimeValue>()) {
            return v.toText();
        }
        return v.get<DateTimeValue>().text().substr(0, 10);
    }
    default:
        return v.toText();
    }
}

std::vector<std::string> ScriptStatements::structure(Database& db, const std::string& name,
                                                     bool lengthInBytes) {
    std::vector<std::string> out;
    ObjectDef* o = db.findObject(name);
    if (!o) {
        return out;
    }
    std::string full = db.fullName(*o);
    std::string kind = kindWord(o->type);
    if (kind.empty()) {
        // CASE without a match gives NULL, and so does every segment built from it.
        out.push_back(std::string());
        out.push_back(std::string());
        return out;
    }
    out.push_back("if exists (select * from sysobjects where id = object_id('" + full + "'))" + kNl +
                  "  drop " + kind + " " + full + kNl + "GO");
    if (o->type != "U") {
        out.push_back(o->source);
        out.push_back("GO");
        return out;
    }
    std::string create = "create table " + full + "(" + kNl;
    for (const auto& c : o->columns) {
        std::string line = "  " + c.name + " ";
        if (c.isComputed()) {
            line += " as " + stripParens(c.computed);
        } else {
            std::string type = TypeInfo::name(c.type);
            if (type.find("char") != std::string::npos) {
                type += "(" +
                        std::to_string(lengthInBytes ? TypeInfo::storageLength(c.type)
                                                     : TypeInfo::precision(c.type)) +
                        ")";
            } else if (type.find("decimal") != std::string::npos) {
                type += "(" + std::to_string(c.type.precision) + ", " + std::to_string(c.type.scale) + ")";
            }
            line += type + (c.identity ? " identity(1, 1)" : "") + (c.nullable ? "" : " not") + " null";
            if (c.identity) {
                line += " CONSTRAINT PK_" + o->name + " PRIMARY KEY";
            }
        }
        create += line + ", " + kNl;
    }
    // The last ", " goes; its line break stays.
    if (create.size() >= 4 && create.compare(create.size() - 4, 4, std::string(", ") + kNl) == 0) {
        create.erase(create.size() - 4, 2);
    }
    out.push_back(create + ")");
    out.push_back("GO");
    // Constraints in the order sysconstraints lists them: by constraint id.
    std::vector<std::pair<int, std::string>> constraints;
    for (const auto& c : o->columns) {
        if (c.defaultId) {
            ObjectDef* d = db.object(c.defaultId);
            constraints.push_back(
                {c.defaultId, "alter table " + full + " add constraint " + (d ? d->name : "") + " default " +
                                  stripParens(c.defaultText) + " for " + c.name + kNl + "GO"});
        }
    }
    for (const auto& fk : o->foreignKeys) {
        ObjectDef* ref = db.object(fk.refTableId);
        constraints.push_back({fk.id, "alter table " + full + " add constraint " + fk.name +
                                          " foreign key (" + fk.column + ") references " +
                                          (ref ? db.fullName(*ref) : "") + " (" + fk.refColumn + ")" +
                                          (fk.deleteCascade ? " on delete cascade" : "") + kNl + "GO"});
    }
    std::sort(constraints.begin(), constraints.end());
    for (auto& c : constraints) {
        out.push_back(c.second);
    }
    return out;
}

void ScriptStatements::registerAll(InstanceResponder& responder) {
    auto structureHandler = [](bool bytes) {
        return [bytes](Context& ctx, const TextTemplate::Values& v) {
            SqlValue tab = value(v, "tab");
            auto lines = tab.isNull() ? std::vector<std::string>{} : structure(ctx.db(), tab.toText(), bytes);
            ResultSet rs;
            rs.column("t", ColumnType::of(SqlType::Text, ColumnType::kMax));
            for (const auto& l : lines) {
                rs.row(
                    {l.empty() && !lines.empty() && lines.front().empty() ? SqlValue::null() : SqlValue(l)});
            }
            ctx.response.resultSet(std::move(rs));
        };
    };
    responder.addStatement(texts::kBrowserStructure, structureHandler(true));
    responder.addStatement(texts::kEditorStructure, structureHandler(false));

    responder.addStatement(texts::kEditorObjects, [](Context& ctx, const TextTemplate::Values&) {
        ctx.session.options["nocount"] = "on";
        Database& db = ctx.db();
        bool props = db.hasExtendedPropertiesView();
        std::vector<Row> rows;
        for (const auto& [id, o] : db.objects) {
            std::string type = kindWord(o.type);
            if (type.empty()) {
                type = o.type;
            }
            std::string category;
            if (props) {
                for (const auto& p : db.extendedProperties) {
                    if (p.id == id && p.smallid == 0 && sameName(p.name, "Category")) {
                        category = characterPrefix(p.value.toText(), 100);
                    }
                }
            }
            rows.push_back({SqlValue(db.fullName(o)), SqlValue(type), SqlValue(category)});
        }
        std::stable_sort(rows.begin(), rows.end(), [](const Row& a, const Row& b) {
            return std::make_tuple(lower(a[1].toText()), lower(a[2].toText()), lower(a[0].toText())) <
                   std::make_tuple(lower(b[1].toText()), lower(b[2].toText()), lower(b[0].toText()));
        });
        ResultSet rs;
        rs.column("name", ColumnType::of(SqlType::NVarChar, 257))
            .column("type", ColumnType::of(SqlType::VarChar, 9))
            .column("category", ColumnType::of(SqlType::VarChar, 100), false);
        rs.rows = std::move(rows);
        ctx.response.resultSet(std::move(rs));
    });

    responder.addStatement(texts::kObjectAccess, [](Context& ctx, const TextTemplate::Values& v) {
        std::string tab = value(v, "tab").isNull() ? std::string() : value(v, "tab").toText();
        Database& db = ctx.db();
        ResultSet rs;
        rs.column("", ColumnType::of(SqlType::NVarChar, 4000))
            .column("id", ColumnType::of(SqlType::Int), false)
            .column("grantee", ColumnType::of(SqlType::SmallInt))
            .column("grantor", ColumnType::of(SqlType::SmallInt))
            .column("actadd", ColumnType::of(SqlType::SmallInt));
        // The rest of syspermissions: changed-permission and column bitmaps, none used here.
        for (const char* name : {"actmod", "seladd", "selmod", "updadd", "updmod", "refadd", "refmod"}) {
            rs.column(name, ColumnType::of(name[0] == 'a' ? SqlType::SmallInt : SqlType::VarBinary, 4000));
        }
        ObjectDef* o = db.findObject(tab);
        for (const auto& p : db.permissions) {
            if (!o || p.scope != 'O' || p.objectId != o->id || !p.actions) {
                continue;
            }
            std::string what = o->type == "U" || o->type == "V" || o->type == "IF"
                                   ? "select, insert, update, delete"
                               : o->type == "TF" ? "select"
                                                 : "execute";
            DbPrincipal* grantee = db.principal(p.grantee);
            rs.row({grantee ? SqlValue("grant " + what + " on " + tab + " to " + grantee->name)
                            : SqlValue::null(),
                    SqlValue(int64_t(p.objectId)), SqlValue(int64_t(p.grantee)), SqlValue(int64_t(p.grantor)),
                    SqlValue(int64_t(p.actions)), SqlValue(int64_t(0)), SqlValue::null(), SqlValue::null(),
                    SqlValue::null(), SqlValue::null(), SqlValue::null(), SqlValue::null()});
        }
        ctx.response.resultSet(std::move(rs));
    });

    responder.addStatement(texts::kExtendedProperties, [](Context& ctx, const TextTemplate::Values& v) {
        // No database has a compatibility level below 100, where "*=" would still be read.
        Database& db = ctx.db();
        if (db.compatLevel > 80) {
            throw SqlError(
                4147, 15,
                "The query uses non-ANSI outer join operators (\"*=\" or \"=*\"). To run this query "
                "without modification, please set the compatibility level for current database to 80, "
                "using the SET COMPATIBILITY_LEVEL option of ALTER DATABASE. It is strongly recommended "
                "to rewrite the query using ANSI outer join operators (LEFT OUTER JOIN, RIGHT OUTER "
                "JOIN). In the future versions of SQL Server, non-ANSI join operators will not be "
                "supported even in backward-compatibility modes.",
                1, {}, 17);
        }
        extendedPropertyCalls(ctx, v);
    });
    // The joined text is run by the batch runner as it is written.
    responder.addStatement(texts::kAccessObjects,
                           [](Context& ctx, const TextTemplate::Values& v) { accessObjectGrants(ctx, v); });

    responder.addStatement(texts::kTableData, [&responder](Context& ctx, const TextTemplate::Values& v) {
        std::string object = value(v, "tab").isNull() ? std::string() : value(v, "tab").toText();
        bool withId = !value(v, "bscriptid").isNull() && value(v, "bscriptid").toInt() == 1;
        std::string where = value(v, "swhere").isNull() ? std::string() : value(v, "swhere").toText();
        Database& db = ctx.db();
        ObjectDef* t = db.findObject(object);
        if (!t || !t->isTable()) {
            textColumn(ctx, "", {}, ColumnType::of(SqlType::VarChar, 1));
            return;
        }
        std::vector<size_t> cols;
        std::string fields;
        for (size_t i = 0; i < t->columns.size(); ++i) {
            const TableColumn& c = t->columns[i];
            if ((c.identity && !withId) || c.type.type == SqlType::Image) {
                continue;
            }
            cols.push_back(i);
            fields += (fields.empty() ? "" : ", ") + c.name;
        }
        // Rows chosen by the Where text, ordered by the identity column (or the first column).
        std::string select = "select * from " + object + (where.empty() ? "" : " where " + where);
        int id = t->identityColumn();
        if (!withId) {
            select += " order by " + (id >= 0 ? t->columns[size_t(id)].name : std::string("1"));
        }
        Request r;
        r.text = select;
        BatchRunner runner(ctx, responder.procedures(), r);
        size_t pos = 0;
        Relation rows = runner.select(pos);
        std::vector<std::string> lines;
        if (withId) {
            lines.push_back("set identity_insert " + object + " on");
        }
        for (const auto& row : rows.rows) {
            std::string values;
            for (size_t i : cols) {
                const TableColumn& c = t->columns[i];
                const SqlValue& val = row[i];
                std::string typeName = TypeInfo::name(c.type);
                std::string textValue;
                if (val.isNull()) {
                    textValue = "null";
                } else if (typeName.find("char") != std::string::npos) {
                    textValue = "N'" + quoteDoubled(val.toText()) + "'";
                } else if (typeName.find("date") != std::string::npos || typeName == "uniqueidentifier") {
                    textValue = "'" + characterPrefix(varcharText(val, c.type), 255) + "'";
                } else {
                    textValue = characterPrefix(varcharText(val, c.type), 255);
                }
                values += (values.empty() ? "" : ", ") + textValue;
            }
            lines.push_back("insert into " + object + "(" + fields + ") values (" + values + ")");
        }
        if (withId) {
            lines.push_back("set identity_insert " + object + " off");
        }
        // An nchar or nvarchar value makes each built statement Unicode; otherwise it stays varchar.
        bool unicode = false;
        for (size_t i : cols) {
            SqlType type = t->columns[i].type.type;
            unicode = unicode || type == SqlType::NChar || type == SqlType::NVarChar;
        }
        textColumn(ctx, "", lines,
                   unicode ? ColumnType::of(SqlType::NVarChar, 4000) : ColumnType::of(SqlType::VarChar, 8000));
    });
}

} // namespace sqlsim::model
