#include "DatabaseStatements.h"

#include "BatchRunner.h"
#include "Names.h"
#include "Permissions.h"
#include "SqlExpression.h"

#include <cstdio>

namespace sqlsim::model {

namespace {

struct Reader {
    const std::vector<Token>& t;
    size_t& pos;
    const Token& at(size_t ahead = 0) const { return pos + ahead < t.size() ? t[pos + ahead] : t.back(); }
    void word(const char* w) {
        if (!at().isWord(w)) {
            syntaxError(at());
        }
        ++pos;
    }
    std::string name() {
        if (!at().isName()) {
            syntaxError(at());
        }
        // An empty delimited name ([] or "") names nothing; the server refuses it as it compiles.
        if (at().text.empty()) {
            throw SqlError(
                1038, 15,
                "An object or column name is missing or empty. For SELECT INTO statements, verify "
                "each column has a name. For other statements, look for empty alias names. Aliases "
                "defined as \"\" or [] are not allowed. Change the alias to a valid name.",
                1);
        }
        return t[pos++].text;
    }
    std::string string() {
        if (at().kind != Token::Kind::String) {
            syntaxError(at());
        }
        return t[pos++].text;
    }
    // DISK = 'path'. Tapes, URLs, named backup devices, a path held in a variable and several devices
    // at once are well-formed but not modelled: refused before anything changes.
    std::string disk() {
        if (!at().isWord("disk") || !at(1).isSymbol("=") || at(2).kind != Token::Kind::String ||
            at(3).isSymbol(",")) {
            throw SqlError(50000, 16, "__not_supported__");
        }
        word("disk");
        if (!at().isSymbol("=")) {
            syntaxError(at());
        }
        ++pos;
        return string();
    }
};

// What may follow a statement: the end of the batch, ";" or the start of the next statement. Anything
// else is a syntax error, found before the statement runs.
void statementEnds(Reader& r) {
    const Token& t = r.at();
    if (t.kind == Token::Kind::End || t.isSymbol(";")) {
        return;
    }
    for (const char* w : {"select", "insert", "update",   "delete", "exec",      "execute", "print",
                          "use",    "create", "drop",     "set",    "raiserror", "backup",  "restore",
                          "begin",  "commit", "rollback", "if",     "declare",   "go"}) {
        if (t.isWord(w)) {
            return;
        }
    }
    syntaxError(t);
}

// At "with": moves past the options (checked as the batch compiled) to where the statement ends.
void skipOptions(Reader& r) {
    int depth = 0;
    for (++r.pos; r.at().kind != Token::Kind::End; ++r.pos) {
        const Token& t = r.at();
        depth += t.isSymbol("(") ? 1 : t.isSymbol(")") ? -1 : 0;
        if (depth == 0 && (t.isSymbol(";") || (t.kind == Token::Kind::Name && !r.t[r.pos - 1].isSymbol("=") &&
                                               BatchRunner::startsStatement(t)))) {
            return;
        }
    }
}

void checkName(const std::string& name) {
    if (characterCount(name) > 128) {
        throw SqlError(103, 15,
                       "The identifier that starts with '" + characterPrefix(name, 128) +
                           "' is too long. Maximum length is 128.",
                       4);
    }
}

void processedMessages(Context& ctx, const Database& db, const std::string& name, const char* verb) {
    int64_t total = 0; // the sum of the lines, as the summary counts them
    for (int pass = 0; pass < 2; ++pass) {
        for (const auto& f : db.files) {
            if ((pass == 0) != (f.type == 'D')) {
                continue;
            }
            int64_t n = f.type == 'D' ? f.sizeBytes / 8192 / 16 : 2;
            total += n;
            ctx.response.info("Processed " + std::to_string(n) + " pages for database '" + name +
                                  "', file '" + f.logicalName + "' on file 1.",
                              4035);
        }
    }
    // The rate follows the pages (8 KB each) over the time taken.
    const int millis = 12 + int(total % 40);
    const int64_t rateThousandths = total * 8 * 1000 * 1000 / 1024 / millis; // MB/sec in thousandths
    char buf[160];
    std::snprintf(
        buf, sizeof buf, "%s successfully processed %lld pages in %d.%03d seconds (%lld.%03lld MB/sec).",
        verb, static_cast<long long>(total), millis / 1000, millis % 1000,
        static_cast<long long>(rateThousandths / 1000), static_cast<long long>(rateThousandths % 1000));
    ctx.response.info(buf, 3014);
}

// The fault, then 3013: both carry the line of the statement, as the runner adds them.
[[noreturn]] void failBackup(int number, const std::string& text, const char* what, int severity = 16) {
    SqlError e(number, severity, text, 1);
    e.following.push_back(SqlError(3013, 16, std::string(what) + " is terminating abnormally.", 1));
    throw e;
}

bool inUse(Context& ctx, const std::string& name) {
    for (const auto& [spid, p] : ctx.instance.processes()) {
        if (spid != ctx.session.spid && sameName(p.database, name)) {
            return true;
        }
    }
    return sameName(ctx.session.database, name);
}

void restoreDatabase(Context& ctx, Reader& r) {
    if (r.at().kind == Token::Kind::Variable) {
        throw SqlError(50000, 16, "__not_supported__"); // the database's name in a variable
    }
    std::string name = r.name();
    checkName(name);
    if (r.at().isWord("with")) {
        throw SqlError(50000, 16, "__not_supported__"); // recovering a database without a backup
    }
    r.word("from");
    std::string path = r.disk();
    std::vector<std::pair<std::string, std::string>> moves;
    bool replace = false;
    if (r.at().isWord("with")) {
        ++r.pos;
        while (true) {
            if (r.at().isWord("move")) {
                ++r.pos;
                std::string logical = r.string();
                r.word("to");
                moves.push_back({logical, r.string()});
            } else if (r.at().isWord("replace") || r.at().isWord("recovery") || r.at().isWord("norecovery")) {
                replace = replace || r.at().isWord("replace");
                ++r.pos;
            } else if (r.at().isWord("file") || r.at().isWord("stats")) {
                r.pos += r.at(1).isSymbol("=") ? 3 : 1;
            } else if (r.at().kind == Token::Kind::Name) {
                throw SqlError(50000, 16, "__not_supported__"); // checksum, standby, stopat ...
            } else {
                syntaxError(r.at());
            }
            if (r.at().isSymbol(",")) {
                ++r.pos;
                continue;
            }
            break;
        }
    }
    const char* what = "RESTORE DATABASE";
    {
        Database* target = ctx.instance.findDatabase(name);
        bool allowed =
            Permissions::serverRole(ctx, "dbcreator") || (target && Permissions::dbOwner(ctx, *target));
        if (!allowed) {
            failBackup(262,
                       target ? "RESTORE DATABASE permission denied in database '" + target->name + "'."
                              : std::string("CREATE DATABASE permission denied in database 'master'."),
                       what, 14);
        }
    }
    BackupFile* backup = ctx.instance.findBackup(path);
    if (!backup) {
        failBackup(3201,
                   "Cannot open backup device '" + path + "'. Operating system error " +
                       (ctx.instance.directoryExists(Instance::directoryOf(path))
                            ? "2(The system cannot find the file specified.)."
                            : "3(The system cannot find the path specified.)."),
                   what);
    }
    Database* existing = ctx.instance.findDatabase(name);
    if (existing && inUse(ctx, name)) {
        failBackup(3101, "Exclusive access could not be obtained because the database is in use.", what);
    }
    if (existing && !replace && !sameName(existing->name, backup->snapshot->name)) {
        failBackup(3154,
                   "The backup set holds a backup of a database other than the existing '" + existing->name +
                       "' database.",
                   what);
    }
    auto db = std::make_unique<Database>(*backup->snapshot);
    db->name = existing ? existing->name : name;
    db->dbid = existing ? existing->dbid : ctx.instance.nextDbid();
    for (const auto& [logical, physical] : moves) {
        bool found = false;
        for (auto& f : db->files) {
            if (sameName(f.logicalName, logical)) {
                f.physicalName = physical;
                found = true;
            }
        }
        if (!found) {
            failBackup(3234,
                       "Logical file '" + logical + "' is not part of database '" + db->name +
                           "'. Use RESTORE FILELISTONLY to list the logical file names.",
                       what);
        }
    }
    // Every file whose directory is missing is named (5133, then 3156), then 3119 and 3013.
    std::vector<SqlError> missing;
    for (const auto& f : db->files) {
        if (!ctx.instance.directoryExists(Instance::directoryOf(f.physicalName))) {
            missing.push_back(SqlError(5133, 16,
                                       "Directory lookup for the file \"" + f.physicalName +
                                           "\" failed with the operating system error 3(The system cannot "
                                           "find the path specified.).",
                                       1));
            missing.push_back(SqlError(3156, 16,
                                       "File '" + f.logicalName + "' cannot be restored to '" +
                                           f.physicalName +
                                           "'. Use WITH MOVE to identify a valid location for the file.",
                                       3));
        }
    }
    if (!missing.empty()) {
        SqlError first = missing.front();
        first.following.assign(missing.begin() + 1, missing.end());
        first.following.push_back(SqlError(
            3119, 16,
            "Problems were identified while planning for the RESTORE statement. Previous messages provide "
            "details.",
            1));
        first.following.push_back(SqlError(3013, 16, std::string(what) + " is terminating abnormally.", 1));
        throw first;
    }
    for (const auto& f : db->files) {
        if (!existing && ctx.instance.fileInUse(f.physicalName)) {
            failBackup(1834,
                       "The file '" + f.physicalName +
                           "' cannot be overwritten.  It is being used by database '" + name + "'.",
                       what);
        }
    }
    std::string dbName = db->name;
    const Database& snapshot = *db;
    processedMessages(ctx, snapshot, dbName, what);
    if (existing) {
        ctx.instance.dropDatabase(dbName);
    }
    ctx.instance.addDatabase(std::move(db));
}

} // namespace

bool DatabaseStatements::run(Context& ctx, const std::vector<Token>& tokens, size_t& pos) {
    Reader r{tokens, pos};
    if (r.at().isWord("create") && r.at(1).isWord("database")) {
        pos += 2;
        std::string name = r.name();
        checkName(name);
        statementEnds(r);
        if (ctx.instance.findDatabase(name)) {
            throw SqlError(1801, 16,
                           "Database '" + name + "' already exists. Choose a different database name.", 3);
        }
        Login* l = ctx.instance.findLogin(ctx.session.login);
        if (!l || !(l->serverRoles.count("sysadmin") || l->serverRoles.count("dbcreator"))) {
            throw SqlError(262, 14, "CREATE DATABASE permission denied in database 'master'.", 1);
        }
        ctx.instance.createDatabase(name, l->sid);
        return true;
    }
    if (r.at().isWord("drop") && r.at(1).isWord("database")) {
        pos += 2;
        std::string name = r.name();
        statementEnds(r);
        Database* db = ctx.instance.findDatabase(name);
        if (!db) {
            throw SqlError(3701, 11,
                           "Cannot drop the database '" + name +
                               "', because it does not exist or you do not have permission.");
        }
        if (!Permissions::serverRole(ctx, "dbcreator") && !Permissions::dbOwner(ctx, *db)) {
            throw SqlError(3701, 11,
                           "Cannot drop the database '" + name +
                               "', because it does not exist or you do not have permission.");
        }
        if (db->dbid <= 4) {
            throw SqlError(3708, 16,
                           "Cannot drop the database '" + db->name + "' because it is a system database.");
        }
        if (inUse(ctx, db->name)) {
            throw SqlError(3702, 16,
                           "Cannot drop database \"" + db->name + "\" because it is currently in use.", 3);
        }
        ctx.instance.dropDatabase(db->name);
        return true;
    }
    if (r.at().isWord("backup") && r.at(1).isWord("database")) {
        pos += 2;
        if (r.at().kind == Token::Kind::Variable) {
            throw SqlError(50000, 16, "__not_supported__"); // the database's name in a variable
        }
        std::string name = r.name();
        r.word("to");
        std::string path = r.disk();
        if (r.at().isWord("with")) {
            skipOptions(r); // init, stats, compression ... change nothing here
        }
        statementEnds(r);
        const char* what = "BACKUP DATABASE";
        Database* db = ctx.instance.findDatabase(name);
        if (!db) {
            checkName(name);
            failBackup(
                911, "Database '" + name + "' does not exist. Make sure that the name is entered correctly.",
                what);
        }
        if (!Permissions::dbRole(ctx, *db, "db_backupoperator")) {
            failBackup(262, "BACKUP DATABASE permission denied in database '" + db->name + "'.", what, 14);
        }
        if (sameName(db->name, "tempdb")) {
            failBackup(3147, "Backup and restore operations are not allowed on database tempdb.", what);
        }
        if (!ctx.instance.directoryExists(Instance::directoryOf(path))) {
            failBackup(3201,
                       "Cannot open backup device '" + path +
                           "'. Operating system error 3(The system cannot find the path specified.).",
                       what);
        }
        ctx.instance.storeBackup(path, *db);
        processedMessages(ctx, *db, db->name, what);
        return true;
    }
    if (r.at().isWord("restore") && r.at(1).isWord("filelistonly")) {
        pos += 2;
        r.word("from");
        std::string path = r.disk();
        if (!Permissions::serverRole(ctx, "dbcreator")) {
            failBackup(262, "CREATE DATABASE permission denied in database 'master'.", "RESTORE FILELIST",
                       14);
        }
        BackupFile* backup = ctx.instance.findBackup(path);
        if (!backup) {
            failBackup(3201,
                       "Cannot open backup device '" + path + "'. Operating system error " +
                           (ctx.instance.directoryExists(Instance::directoryOf(path))
                                ? "2(The system cannot find the file specified.)."
                                : "3(The system cannot find the path specified.)."),
                       "RESTORE FILELIST");
        }
        ResultSet rs;
        auto numeric = [](int p) { return ColumnType::of(SqlType::Numeric, 0, uint8_t(p), 0); };
        rs.column("LogicalName", ColumnType::of(SqlType::NVarChar, 128))
            .column("PhysicalName", ColumnType::of(SqlType::NVarChar, 260))
            .column("Type", ColumnType::of(SqlType::Char, 1))
            .column("FileGroupName", ColumnType::of(SqlType::NVarChar, 128))
            .column("Size", numeric(20))
            .column("MaxSize", numeric(20))
            .column("FileID", ColumnType::of(SqlType::BigInt))
            .column("CreateLSN", numeric(25))
            .column("DropLSN", numeric(25))
            .column("UniqueID", ColumnType::of(SqlType::UniqueIdentifier))
            .column("ReadOnlyLSN", numeric(25))
            .column("ReadWriteLSN", numeric(25))
            .column("BackupSizeInBytes", ColumnType::of(SqlType::BigInt))
            .column("SourceBlockSize", ColumnType::of(SqlType::Int))
            .column("FileGroupID", ColumnType::of(SqlType::Int))
            .column("LogGroupGUID", ColumnType::of(SqlType::UniqueIdentifier))
            .column("DifferentialBaseLSN", numeric(25))
            .column("DifferentialBaseGUID", ColumnType::of(SqlType::UniqueIdentifier))
            .column("IsReadOnly", ColumnType::of(SqlType::Bit))
            .column("IsPresent", ColumnType::of(SqlType::Bit))
            .column("TDEThumbprint", ColumnType::of(SqlType::VarBinary, 32))
            .column("SnapshotURL", ColumnType::of(SqlType::NVarChar, 360));
        int64_t id = 1;
        for (const auto& f : backup->snapshot->files) {
            GuidValue g;
            GuidValue::parse("6F9619FF-8B86-D011-B42D-00C04FC964" + std::to_string(10 + id), g);
            bool data = f.type == 'D';
            rs.row({SqlValue(f.logicalName),
                    SqlValue(f.physicalName),
                    SqlValue(std::string(1, f.type)),
                    data ? SqlValue("PRIMARY") : SqlValue::null(),
                    SqlValue(DecimalValue{f.sizeBytes, 0}),
                    SqlValue(DecimalValue{__int128(35184372080640LL), 0}),
                    SqlValue(id),
                    SqlValue(DecimalValue{0, 0}),
                    SqlValue(DecimalValue{0, 0}),
                    SqlValue(g),
                    SqlValue(DecimalValue{0, 0}),
                    SqlValue(DecimalValue{0, 0}),
                    SqlValue(int64_t(data ? f.sizeBytes / 4 : 0)),
                    SqlValue(int64_t(512)),
                    SqlValue(int64_t(data ? 1 : 0)),
                    SqlValue::null(),
                    SqlValue(DecimalValue{0, 0}),
                    SqlValue::null(),
                    SqlValue(false),
                    SqlValue(true),
                    SqlValue::null(),
                    SqlValue::null()});
            ++id;
        }
        ctx.response.resultSet(std::move(rs));
        return true;
    }
    if (r.at().isWord("restore") && r.at(1).isWord("database")) {
        pos += 2;
        restoreDatabase(ctx, r);
        return true;
    }
    return false;
}

} // namespace sqlsim::model
