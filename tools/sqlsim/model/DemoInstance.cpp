#include "DemoInstance.h"

#include "InstanceResponder.h"
#include "Names.h"

namespace sqlsim::model {

namespace {

// An extended property's value: a sql_variant of the value's own type (text as nvarchar).
SqlValue property(const SqlValue& v) {
    return SqlValue::variant(v, v.variantType());
}

// sps_UpdateExtendedProperty 'schema.name', column or null, property, value: adds the property of
// the object or its column, or updates it when it is there.
const char* const kUpdateExtendedPropertyBody =
    "declare @schema sysname, @table sysname, @type varchar(16), @colid int\r\n"
    "if charindex('.', @object) > 0\r\n"
    "begin\r\n"
    "  set @schema = left(@object, charindex('.', @object) - 1)\r\n"
    "  set @table = substring(@object, charindex('.', @object) + 1, 128)\r\n"
    "end\r\n"
    "else\r\n"
    "begin\r\n"
    "  set @schema = 'dbo'\r\n"
    "  set @table = @object\r\n"
    "end\r\n"
    "set @type = 'TABLE'\r\n"
    "select @type = case type when 'V' then 'VIEW' when 'P' then 'PROCEDURE' when 'U' then 'TABLE' "
    "else 'FUNCTION' end\r\n"
    "  from sysobjects where id = object_id(@object)\r\n"
    "if @column is null\r\n"
    "begin\r\n"
    "  if exists (select * from sys.extended_properties where major_id = object_id(@object) and minor_id = 0 "
    "and name = @name)\r\n"
    "    exec sp_updateextendedproperty @name = @name, @value = @value, @level0type = 'SCHEMA', "
    "@level0name = @schema, @level1type = @type, @level1name = @table\r\n"
    "  else\r\n"
    "    exec sp_addextendedproperty @name = @name, @value = @value, @level0type = 'SCHEMA', "
    "@level0name = @schema, @level1type = @type, @level1name = @table\r\n"
    "end\r\n"
    "else\r\n"
    "begin\r\n"
    "  set @colid = 0\r\n"
    "  select @colid = colid from syscolumns where id = object_id(@object) and name = @column\r\n"
    "  if exists (select * from sys.extended_properties where major_id = object_id(@object) "
    "and minor_id = @colid and name = @name)\r\n"
    "    exec sp_updateextendedproperty @name = @name, @value = @value, @level0type = 'SCHEMA', "
    "@level0name = @schema, @level1type = @type, @level1name = @table, @level2type = 'COLUMN', "
    "@level2name = @column\r\n"
    "  else\r\n"
    "    exec sp_addextendedproperty @name = @name, @value = @value, @level0type = 'SCHEMA', "
    "@level0name = @schema, @level1type = @type, @level1name = @table, @level2type = 'COLUMN', "
    "@level2name = @column\r\n"
    "end\r\n";

TableColumn column(const std::string& name, ColumnType type, bool nullable = true) {
    TableColumn c;
    c.name = name;
    c.type = type;
    c.nullable = nullable;
    return c;
}

TableColumn identity(const std::string& name) {
    TableColumn c = column(name, ColumnType::of(SqlType::Int), false);
    c.identity = true;
    return c;
}

ColumnType nvarchar(int n) {
    return ColumnType::of(SqlType::NVarChar, n);
}
ColumnType varchar(int n) {
    return ColumnType::of(SqlType::VarChar, n);
}
const ColumnType kInt = ColumnType::of(SqlType::Int);
const ColumnType kMoney = ColumnType::of(SqlType::Money, 0, 19, 4);
const ColumnType kDate = ColumnType::of(SqlType::DateTime);

ObjectDef& table(Database& db, const std::string& name, std::vector<TableColumn> cols) {
    ObjectDef& t = db.addTable(name, std::move(cols));
    int id = t.id;
    int identityColumn = t.identityColumn();
    if (identityColumn >= 0) {
        db.addPrimaryKey(t, "PK_" + name, {db.object(id)->columns[size_t(identityColumn)].name});
    }
    return *db.object(id);
}

void addRows(ObjectDef& t, std::vector<Row> rows) {
    int id = t.identityColumn();
    for (auto& r : rows) {
        if (id >= 0) {
            r.insert(r.begin() + id, SqlValue(t.identityNext++));
        }
        t.rows.push_back(std::move(r));
    }
}

void salesDatabase(Instance& inst, Login& owner) {
    Database& db = inst.createDatabase("Sales", owner.sid);
    db.files[0].sizeBytes = 16 * 1024 * 1024;
    ObjectDef& regions = table(db, "Regions", {identity("id"), column("name", nvarchar(50), false)});
    addRows(regions, {{SqlValue("North")}, {SqlValue("South")}, {SqlValue("Сибирь")}, {SqlValue("Урал")}});
    int regionsId = regions.id;
    ObjectDef& customers =
        table(db, "Customers",
              {identity("id"), column("name", nvarchar(100), false), column("city", nvarchar(50)),
               column("regionId", kInt), column("created", kDate, false)});
    int customersId = customers.id;
    db.addDefault(customers, "created", "DF_Customers_created", "(getdate())");
    db.addForeignKey(*db.object(customersId), "regionId", "FK_Customers_Regions", *db.object(regionsId), "id",
                     false);
    static const char* const names[] = {"Acme Ltd", "Globex",   "Initech",    "ООО Ромашка", "Umbrella",
                                        "Hooli",    "Vandelay", "ЗАО Вектор", "Stark",       "Wayne"};
    static const char* const cities[] = {"London", "Paris", "Москва", "Berlin", "Новосибирск"};
    std::vector<Row> rows;
    for (int i = 0; i < 40; ++i) {
        rows.push_back(
            {SqlValue(std::string(names[i % 10]) + (i >= 10 ? " " + std::to_string(i / 10 + 1) : "")),
             i % 7 == 3 ? SqlValue::null() : SqlValue(cities[i % 5]), SqlValue(int64_t(i % 4 + 1)),
             SqlValue(DateTimeValue::fromParts(2004, 1 + i % 12, 1 + i % 28, 9 + i % 8, i % 60, 0))});
    }
    addRows(*db.object(customersId), rows);
    ObjectDef& products = table(db, "Products",
                                {identity("id"), column("name", nvarchar(50), false),
                                 column("price", kMoney, false), column("note", varchar(50))});
    int productsId = products.id;
    db.addDefault(products, "note", "DF_Products_note", "('n/a')");
    rows.clear();
    for (int i = 0; i < 30; ++i) {
        rows.push_back({SqlValue((i % 2 ? "Товар " : "Product ") + std::to_string(i + 1)),
                        SqlValue(DecimalValue{__int128(1000 + i * 250) * 100, 4}),
                        i % 5 == 0 ? SqlValue("n/a") : SqlValue(i % 3 ? "It's fine" : "new")});
    }
    addRows(*db.object(productsId), rows);
    ObjectDef& orders = table(db, "Orders",
                              {identity("id"), column("customerId", kInt, false),
                               column("orderDate", kDate, false), column("note", varchar(50))});
    int ordersId = orders.id;
    db.addDefault(orders, "note", "DF_Orders_note", "('n/a')");
    db.addForeignKey(*db.object(ordersId), "customerId", "FK_Orders_Customers", *db.object(customersId), "id",
                     false);
    rows.clear();
    for (int i = 0; i < 120; ++i) {
        rows.push_back({SqlValue(int64_t(i % 40 + 1)),
                        SqlValue(DateTimeValue::fromParts(2004, 3, 1 + i % 28, 13, 45, 7, 123)),
                        i % 6 == 0 ? SqlValue::null() : SqlValue("n/a")});
    }
    addRows(*db.object(ordersId), rows);
    TableColumn total;
    total.name = "total";
    total.type = kMoney;
    total.computed = "([qty]*[price])";
    ObjectDef& lines =
        table(db, "OrderLines",
              {identity("id"), column("orderId", kInt, false), column("productId", kInt, false),
               column("qty", kInt, false), column("price", kMoney, false), total});
    int linesId = lines.id;
    db.addForeignKey(*db.object(linesId), "orderId", "FK_OrderLines_Orders", *db.object(ordersId), "id",
                     true);
    db.addForeignKey(*db.object(linesId), "productId", "FK_OrderLines_Products", *db.object(productsId), "id",
                     false);
    rows.clear();
    for (int i = 0; i < 200; ++i) {
        int64_t qty = i % 9 + 1, price = (1000 + (i % 30) * 250);
        rows.push_back({SqlValue(int64_t(i % 120 + 1)), SqlValue(int64_t(i % 30 + 1)), SqlValue(qty),
                        SqlValue(DecimalValue{__int128(price) * 100, 4}),
                        SqlValue(DecimalValue{__int128(price * qty) * 100, 4})});
    }
    addRows(*db.object(linesId), rows);
    ObjectDef& staff =
        table(db, "Сотрудники",
              {identity("id"), column("ФИО", nvarchar(100), false), column("Должность", nvarchar(50)),
               column("Оклад", ColumnType::of(SqlType::Decimal, 0, 18, 2))});
    addRows(staff, {{SqlValue("Иванов Иван"), SqlValue("Директор"), SqlValue(DecimalValue{15000000, 2})},
                    {SqlValue("Петрова Анна"), SqlValue("Бухгалтер"), SqlValue(DecimalValue{9000000, 2})},
                    {SqlValue("John Smith"), SqlValue::null(), SqlValue(DecimalValue{7500050, 2})}});
    for (int k = 0; k < 5; ++k) {
        ObjectDef& t =
            table(db, "Lookup" + std::to_string(k + 1),
                  {identity("id"), column("code", varchar(10), false), column("title", nvarchar(50))});
        std::vector<Row> lr;
        for (int i = 0; i < 8; ++i) {
            lr.push_back({SqlValue("C" + std::to_string(k) + std::to_string(i)),
                          SqlValue("Title " + std::to_string(i))});
        }
        addRows(t, lr);
    }
    db.addModule(
        "V", "vCustomerOrders",
        "create view dbo.vCustomerOrders\r\nas\r\nselect id, customerId, orderDate, note from Orders where "
        "note is not null\r\n");
    db.addModule("V", "vs_ExtProps",
                 "create view dbo.vs_ExtProps\r\nas\r\nselect major_id as id, minor_id as smallid, name, "
                 "value\r\nfrom "
                 "sys.extended_properties\r\n");
    db.addModule(
        "P", "sps_UpdateExtendedProperty",
        "create procedure dbo.sps_UpdateExtendedProperty @object sysname, @column sysname, @name sysname, "
        "@value sql_variant\r\nas\r\nset nocount on\r\n" + std::string(kUpdateExtendedPropertyBody));
    db.addModule("P", "p_CustomerOrders",
                 "create procedure dbo.p_CustomerOrders @customerId int\r\nas\r\nselect * from Orders where "
                 "customerId "
                 "= @customerId\r\n");
    db.addModule("P", "p_Отчёт", "create procedure dbo.p_Отчёт\r\nas\r\nselect count(*) from Orders\r\n");
    db.addModule(
        "FN", "fn_OrderTotal",
        "create function dbo.fn_OrderTotal(@orderId int) returns money\r\nas\r\nbegin\r\n  return (select "
        "sum(qty * price) from OrderLines where orderId = @orderId)\r\nend\r\n");
    ObjectDef& customerOrders = db.addModule(
        "TF", "fn_CustomerOrders",
        "create function dbo.fn_CustomerOrders(@customerId int)\r\nreturns @t table (id "
        "int)\r\nas\r\nbegin\r\n"
        "  insert into @t select id from Orders where customerId = @customerId\r\n  return\r\nend\r\n");
    customerOrders.columns = {column("id", kInt)}; // the table it returns
    db.addModule("TR", "tr_Orders_Insert",
                 "create trigger dbo.tr_Orders_Insert on dbo.Orders for insert\r\nas\r\nset nocount on\r\n",
                 ordersId);
    db.extendedProperties.push_back(ExtendedProperty{ordersId, 0, "Category", property(SqlValue("Sales"))});
    db.extendedProperties.push_back(
        ExtendedProperty{ordersId, 4, "MS_Description", property(SqlValue("Free text"))});
    db.extendedProperties.push_back(
        ExtendedProperty{customersId, 0, "Category", property(SqlValue("Справочники"))});
    db.extendedProperties.push_back(ExtendedProperty{productsId, 0, "Version", property(SqlValue(int64_t(3)))});
    Login* clerk = inst.findLogin("clerk");
    Login* manager = inst.findLogin("manager");
    DbPrincipal& u1 = db.addUser("clerk", clerk->sid);
    DbPrincipal& u2 = db.addUser("manager", manager->sid);
    int clerkUid = u1.uid, managerUid = u2.uid;
    DbPrincipal& role = db.addRole("SalesReaders");
    int roleUid = role.uid;
    DbPrincipal& role2 = db.addRole("Бухгалтерия");
    db.members.insert({clerkUid, roleUid});
    db.members.insert({managerUid, role2.uid});
    db.members.insert({managerUid, 16390});
    db.permissions.push_back(Permission{ordersId, roleUid, 1, 1});
    db.permissions.push_back(Permission{ordersId, managerUid, 1, 27});
    // The database's own list of grants to script: object name and grantee.
    ObjectDef& access = table(db, "ta_AccessObject",
                              {column("sName", nvarchar(257), false), column("sUser", nvarchar(128), false)});
    addRows(access, {{SqlValue("dbo.Orders"), SqlValue("SalesReaders")},
                     {SqlValue("dbo.Orders"), SqlValue("manager")},
                     {SqlValue("dbo.p_CustomerOrders"), SqlValue("clerk")}});
    db.extendedProperties.push_back(
        ExtendedProperty{customersId, 2, "MS_Description", property(SqlValue("Customer's name"))});
}

void smallDatabase(Instance& inst, Login& owner) {
    Database& db = inst.createDatabase("Склад", owner.sid);
    ObjectDef& t =
        table(db, "Остатки", {identity("id"), column("Товар", nvarchar(50), false), column("Кол", kInt)});
    addRows(t, {{SqlValue("Болты"), SqlValue(int64_t(120))}, {SqlValue("Гайки"), SqlValue::null()}});
    Login* clerk = inst.findLogin("clerk");
    db.addUser("clerk", clerk->sid);
}

void scaleDatabase(Instance& inst, Login& owner, const DemoOptions& options) {
    Database& db = inst.createDatabase("Scale", owner.sid);
    for (int i = 0; i < options.objects; ++i) {
        table(db, "T" + std::to_string(i + 1), {identity("id"), column("name", nvarchar(50))});
    }
    if (options.rows > 0) {
        ObjectDef& t =
            table(db, "Rows", {identity("id"), column("name", nvarchar(50)), column("amount", kMoney)});
        t.rows.reserve(size_t(options.rows));
        for (int i = 0; i < options.rows; ++i) {
            t.rows.push_back({SqlValue(t.identityNext++), SqlValue("Row " + std::to_string(i + 1)),
                              SqlValue(DecimalValue{__int128(i % 1000) * 10000, 4})});
        }
    }
}

} // namespace

std::string demoLoginsText(const DemoOptions& options) {
    return "Demo logins: sa / " + options.saPassword +
           " (sysadmin), admin / admin (sysadmin), manager / manager, clerk / clerk, Оператор / пароль";
}

} // namespace sqlsim::model

namespace {

// The server with its system databases and the login sa; the other logins come before the
// databases so that their sids follow sa's in the order given.
std::unique_ptr<sqlsim::model::Instance> bareInstance(const std::string& serverName,
                                                      const std::string& saPassword,
                                                      const std::vector<std::string>& otherLogins) {
    using namespace sqlsim;
    using namespace sqlsim::model;
    auto inst = std::make_unique<Instance>(serverName);
    Login& sa = inst->addLogin("sa", saPassword);
    sa.serverRoles.insert("sysadmin");
    for (const std::string& l : otherLogins) {
        inst->addLogin(l, l);
    }
    const char* system[] = {"master", "tempdb", "model", "msdb"};
    for (int i = 0; i < 4; ++i) {
        auto db = std::make_unique<Database>(system[i], i + 1, sa.sid,
                                             DateTimeValue::fromParts(2003, 4, 8, 9, 13, 36));
        // The logical and physical file names the server's own system databases have.
        static const char* files[4][4] = {{"master", "master.mdf", "mastlog", "mastlog.ldf"},
                                          {"tempdev", "tempdb.mdf", "templog", "templog.ldf"},
                                          {"modeldev", "model.mdf", "modellog", "modellog.ldf"},
                                          {"MSDBData", "MSDBData.mdf", "MSDBLog", "MSDBLog.ldf"}};
        db->files.push_back(
            DbFile{files[i][0], inst->dataDirectory + "\\" + files[i][1], 'D', 4 * 1024 * 1024});
        db->files.push_back(
            DbFile{files[i][2], inst->dataDirectory + "\\" + files[i][3], 'L', 2 * 1024 * 1024});
        if (i != 2) {
            db->principal(2)->hasDbAccess = true; // guest may use master, tempdb and msdb
        }
        inst->addDatabase(std::move(db));
    }
    return inst;
}

} // namespace

std::unique_ptr<sqlsim::Responder> makeBareInstance(const std::string& saPassword, int rows) {
    using namespace sqlsim;
    using namespace sqlsim::model;
    auto inst = bareInstance("SQLSIM", saPassword, {});
    if (rows > 0) {
        ObjectDef& t = table(*inst->findDatabase("master"), "generated_rows",
                             {column("id", kInt, false), column("name", nvarchar(50)),
                              column("created", ColumnType::of(SqlType::DateTime))});
        t.rows.reserve(size_t(rows));
        const DateTimeValue base = DateTimeValue::fromParts(2020, 1, 1);
        for (int i = 0; i < rows; ++i) {
            DateTimeValue at = base;
            at.days += int32_t(i / 86400);
            at.micros = int64_t(i % 86400) * 1000000 + (i % 1000) * 1000;
            t.rows.push_back({SqlValue(int64_t(i)), SqlValue("row " + std::to_string(i)), SqlValue(at)});
        }
    }
    return std::make_unique<InstanceResponder>(std::move(inst));
}

std::unique_ptr<sqlsim::Responder> makeDemoInstance(const sqlsim::model::DemoOptions& options) {
    using namespace sqlsim;
    using namespace sqlsim::model;
    auto inst = bareInstance("DEMO", options.saPassword, {"admin", "manager", "clerk", "Оператор"});
    Login& sa = *inst->findLogin("sa");
    inst->findLogin("admin")->serverRoles.insert("sysadmin");
    inst->findLogin("manager")->defaultDatabase = "Sales";
    inst->findLogin("manager")->serverRoles.insert("dbcreator");
    inst->findLogin("clerk")->defaultDatabase = "Sales";
    inst->findLogin("Оператор")->password = "пароль";
    for (const char* dir : {"C:\\", "C:\\Temp", "C:\\Backup", "C:\\MSSQL\\Data", "D:\\", "D:\\Backup",
                            "D:\\Data", "\\Data", "/var/opt/mssql/data", "/var/opt/mssql/backup", "/tmp"}) {
        inst->addDirectory(dir);
    }
    salesDatabase(*inst, sa);
    smallDatabase(*inst, sa);
    if (options.objects > 0 || options.rows > 0) {
        scaleDatabase(*inst, sa, options);
    }
    inst->storeBackup("C:\\Backup\\Sales.bak", *inst->findDatabase("Sales"));
    LinkedServer& s1 = inst->addServer("REPORTS", "SQL Server");
    s1.logins.push_back(LinkedLogin{"", false, "report", "report"});
    LinkedServer& s2 = inst->addServer("АРХИВ", "SQL Server");
    s2.logins.push_back(LinkedLogin{"", true, "", ""});
    auto now = Instance::now();
    struct P {
        int spid;
        const char* status;
        const char* login;
        const char* db;
        const char* cmd;
        const char* program;
        const char* host;
    };
    const P processes[] = {
        {1, "background", "sa", "", "LOG WRITER", "", ""},
        {2, "background", "sa", "", "RECOVERY WRITER", "", ""},
        {3, "background", "sa", "", "LAZY WRITER", "", ""},
        {4, "sleeping", "sa", "master", "TASK MANAGER", "", ""},
        {5, "background", "sa", "master", "SIGNAL HANDLER", "", ""},
        {6, "background", "sa", "", "LOCK MONITOR", "", ""},
        {51, "sleeping", "manager", "Sales", "AWAITING COMMAND", "Marlinde", "WS-017"},
        {52, "sleeping", "clerk", "Sales", "AWAITING COMMAND", "Report Writer", "КАССА-2"},
        {53, "suspended", "clerk", "Склад", "UPDATE", "Microsoft Office", "WS-021"},
    };
    for (const auto& p : processes) {
        Process pr;
        pr.spid = p.spid;
        pr.status = p.status;
        pr.login = p.login;
        pr.database = p.db;
        pr.command = p.cmd;
        pr.programName = p.program;
        pr.hostName = p.host;
        pr.cpu = p.spid * 31;
        pr.diskIo = p.spid * 7;
        pr.lastBatch = now;
        pr.blockedBy = p.spid == 53 ? 52 : 0;
        inst->processes()[p.spid] = pr;
    }
    return std::make_unique<InstanceResponder>(std::move(inst));
}
