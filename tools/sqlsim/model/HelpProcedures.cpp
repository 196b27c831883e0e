#include "HelpProcedures.h"

#include "Names.h"
#include "ObjectHelpProcedures.h"
#include "Permissions.h"

#include <algorithm>
#include <cstdio>

namespace sqlsim::model {

namespace {

const ColumnType kSysname = ColumnType::of(SqlType::NVarChar, 128);

std::string kilobytes(int64_t kb) {
    return std::to_string(kb) + " KB";
}

// Bytes a stored value takes, roughly as a data page holds it.
int64_t storedBytes(const SqlValue& v) {
    if (v.is<std::string>()) {
        return int64_t(v.get<std::string>().size()) * 2 + 2;
    }
    if (v.is<Bytes>()) {
        return int64_t(v.get<Bytes>().size()) + 2;
    }
    return 8;
}

// sp_helpdb's second result set for one database: its files, sizes in KB, growing without limit by
// 64 MB (data) or 10 per cent (log) as a new database's files do.
ResultSet databaseFiles(const Database& db) {
    ResultSet rs;
    rs.column("name", ColumnType::of(SqlType::NChar, 128))
        .column("fileid", ColumnType::of(SqlType::SmallInt))
        .column("filename", ColumnType::of(SqlType::NChar, 260))
        .column("filegroup", ColumnType::of(SqlType::NVarChar, 128))
        .column("size", ColumnType::of(SqlType::NVarChar, 18))
        .column("maxsize", ColumnType::of(SqlType::NVarChar, 18))
        .column("growth", ColumnType::of(SqlType::NVarChar, 18))
        .column("usage", ColumnType::of(SqlType::VarChar, 9));
    auto padded = [](std::string s, size_t n) {
        s.resize(std::max(s.size(), n), ' ');
        return s;
    };
    int64_t fileId = 0;
    for (const DbFile& f : db.files) {
        const bool data = f.type == 'D';
        rs.row({SqlValue(padded(f.logicalName, 128)), SqlValue(++fileId),
                SqlValue(padded(f.physicalName, 260)),
                data ? SqlValue(std::string("PRIMARY")) : SqlValue::null(),
                SqlValue(kilobytes(f.sizeBytes / 1024)),
                SqlValue(data ? std::string("Unlimited") : std::string("2147483648 KB")),
                SqlValue(std::string(data ? "65536 KB" : "10%")),
                SqlValue(std::string(data ? "data only" : "log only"))});
    }
    return rs;
}

} // namespace

void HelpProcedures::noSuchObject(const std::string& name, const Database& db) {
    throw SqlError(15009, 16,
                   "The object '" + name + "' does not exist in database '" + db.name +
                       "' or is invalid for this operation.",
                   1);
}

int64_t HelpProcedures::dataPages(const ObjectDef& table) {
    int64_t bytes = 0;
    for (const Row& r : table.rows) {
        bytes += 11; // row header
        for (const SqlValue& v : r) {
            bytes += storedBytes(v);
        }
    }
    return (bytes + 8059) / 8060;
}

void HelpProcedures::registerAll(ProcedureTable& table) {
    ObjectHelpProcedures::registerAll(table);
    // Procedures every server has that the simulator does not answer yet: refused as a whole rather
    // than reported missing (2812), which the server would never say.
    for (const char* name : {"sp_help",
                             "sp_helpuser",
                             "sp_helpindex",
                             "sp_helpconstraint",
                             "sp_depends",
                             "sp_rename",
                             "sp_lock",
                             "sp_configure",
                             "sp_helpfile",
                             "sp_helprole",
                             "sp_helprotect",
                             "sp_helplogins",
                             "sp_stored_procedures",
                             "sp_fkeys",
                             "sp_statistics",
                             "sp_special_columns",
                             "sp_sproc_columns",
                             "sp_datatype_info",
                             "sp_datatype_info_100",
                             "sp_server_info",
                             "sp_table_privileges",
                             "sp_column_privileges"}) {
        if (!table.has(name)) {
            table.refuse(name);
        }
    }
    table.add("sp_helptext", {"@objname", "@columnname"}, [](Context& ctx, const std::vector<SqlValue>& a) {
        Database& db = ctx.db();
        const std::string name = a[0].isNull() ? std::string() : a[0].toText();
        ObjectDef* o = db.findObject(name);
        if (!o) {
            noSuchObject(name, db);
        }
        if (o->source.empty() || o->isTable()) {
            throw SqlError(15197, 16, "There is no text for object '" + name + "'.", 1);
        }
        if (!a[1].isNull()) {
            throw SqlError(50000, 16, "__not_supported__"); // the text of a computed column
        }
        ResultSet rs;
        rs.column("Text", ColumnType::of(SqlType::NVarChar, 255));
        // One row per line of the definition, each with its line break.
        const std::string& text = o->source;
        size_t start = 0;
        while (start < text.size()) {
            size_t end = text.find('\n', start);
            end = end == std::string::npos ? text.size() : end + 1;
            rs.row({SqlValue(text.substr(start, end - start))});
            start = end;
        }
        ctx.response.resultSet(std::move(rs));
        return 0;
    });
    table.add("sp_spaceused",
              {"@objname", "@updateusage", "@mode", "@oneresultset", "@include_total_xtp_storage"},
              [](Context& ctx, const std::vector<SqlValue>& a) {
                  if (a[0].isNull()) {
                      throw SqlError(50000, 16, "__not_supported__"); // the database's own summary
                  }
                  Database& db = ctx.db();
                  const std::string name = a[0].toText();
                  ObjectDef* o = db.findObject(name);
                  if (!o || !o->isTable()) {
                      HelpProcedures::noSuchObject(name, db);
                  }
                  int64_t bytes = 0;
                  for (const Row& r : o->rows) {
                      bytes += 11; // row header
                      for (const SqlValue& v : r) {
                          bytes += storedBytes(v);
                      }
                  }
                  const int64_t dataKb = ((bytes + 8059) / 8060) * 8 + (o->rows.empty() ? 0 : 0);
                  const int64_t indexKb = o->primaryKeyId ? 8 : 0;
                  const int64_t unusedKb = o->rows.empty() ? 0 : 8;
                  ResultSet rs;
                  rs.column("name", kSysname)
                      .column("rows", ColumnType::of(SqlType::Char, 20))
                      .column("reserved", ColumnType::of(SqlType::VarChar, 18))
                      .column("data", ColumnType::of(SqlType::VarChar, 18))
                      .column("index_size", ColumnType::of(SqlType::VarChar, 18))
                      .column("unused", ColumnType::of(SqlType::VarChar, 18));
                  std::string rows = std::to_string(o->rows.size());
                  rows += std::string(20 - rows.size(), ' ');
                  rs.row({SqlValue(o->name), SqlValue(rows), SqlValue(kilobytes(dataKb + indexKb + unusedKb)),
                          SqlValue(kilobytes(dataKb)), SqlValue(kilobytes(indexKb)),
                          SqlValue(kilobytes(unusedKb))});
                  ctx.response.resultSet(std::move(rs));
                  return 0;
              });
    table.add("sp_helpdb", {"@dbname"}, [](Context& ctx, const std::vector<SqlValue>& a) {
        Database* only = nullptr;
        if (!a[0].isNull()) {
            only = ctx.instance.findDatabase(a[0].toText());
            if (!only) {
                throw SqlError(15010, 16,
                               "The database '" + a[0].toText() +
                                   "' does not exist. Supply a valid database name. To see available "
                                   "databases, use sys.databases.",
                               1);
            }
        }
        ResultSet rs;
        rs.column("name", kSysname)
            .column("db_size", ColumnType::of(SqlType::NVarChar, 13))
            .column("owner", kSysname)
            .column("dbid", ColumnType::of(SqlType::SmallInt), false)
            .column("created", ColumnType::of(SqlType::NVarChar, 11), false)
            .column("status", ColumnType::of(SqlType::NVarChar, 600))
            .column("compatibility_level", ColumnType::of(SqlType::TinyInt), false);
        static const char* const months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                             "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
        for (Database* d : ctx.instance.databases()) {
            if (only && d != only) {
                continue;
            }
            int64_t bytes = 0;
            for (const DbFile& f : d->files) {
                bytes += f.sizeBytes;
            }
            char size[32];
            std::snprintf(size, sizeof size, "%10.2f MB", double(bytes) / (1024.0 * 1024.0));
            std::string owner = "~~UNKNOWN~~";
            for (Login* l : ctx.instance.logins()) {
                if (l->sid == d->ownerSid) {
                    owner = l->name;
                }
            }
            int y, mo, dd, h, mi, s, ms;
            d->created.toParts(y, mo, dd, h, mi, s, ms);
            char created[16];
            std::snprintf(created, sizeof created, "%s %2d %04d", months[mo - 1], dd, y);
            const bool simple =
                sameName(d->name, "master") || sameName(d->name, "tempdb") || sameName(d->name, "msdb");
            rs.row(
                {SqlValue(d->name), SqlValue(std::string(size)), SqlValue(owner), SqlValue(int64_t(d->dbid)),
                 SqlValue(std::string(created)),
                 SqlValue(std::string(
                              "Status=ONLINE, Updateability=READ_WRITE, UserAccess=MULTI_USER, Recovery=") +
                          (simple ? "SIMPLE" : "FULL") +
                          ", Version=904, Collation=SQL_Latin1_General_CP1_CI_AS, SQLSortOrder=52, "
                          "IsAutoCreateStatistics, IsAutoUpdateStatistics"),
                 SqlValue(int64_t(d->compatLevel))});
        }
        ctx.response.resultSet(std::move(rs));
        if (only) {
            ctx.response.resultSet(databaseFiles(*only));
        }
        return 0;
    });
}

} // namespace sqlsim::model
