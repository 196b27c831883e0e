// The users module: principal and membership lists and changes, and the user re-creation batch.
#include "StatementTexts.h"

namespace sqlsim::model::texts {

const char* const kPrincipals = R"sql(declare @islogin bit
set @islogin = :isLogin

if (:isserver = 1)
  if (@islogin = 1)
    select name, 2 as nImage
    from master..syslogins
    order by name
  else
    begin
    create table #t_srvroles(name sysname, description varchar(255))
    insert into #t_srvroles
      exec master..sp_helpsrvrole
    select name, 3 as nImage from #t_srvroles
    drop table #t_srvroles
    end
else
  select name, islogin as nImage
  from sysusers
  where islogin = isnull(@isLogin, isLogin)
  order by 2, 1)sql";

const char* const kMembership = R"sql(declare @retLogin bit, @name varchar(255), @sql varchar(512)

set @retLogin = case when :isLogin = 1 then 0 else 1 end
set @name = :name

if (:isserver = 1)
  begin
  if (@retLogin = 1)
    select name, convert(bit, is_srvrolemember(@name, name)) as bChecked
    from master..syslogins
    order by 2 desc, 1
  else
    begin
    create table #t_serverrole(name sysname, description varchar(255))
    insert into #t_serverrole
      exec sp_helpsrvrole

    select name, convert(bit, is_srvrolemember(name, @name)) as bChecked
      from #t_serverrole

    drop table #t_serverrole
    end
  end
else
  begin
  set @sql = 'select u.name, '
    + 'convert(bit, '
     +  'case when exists('
       + ' select 1 from '
         + ' (select memberuid, groupuid from sysmembers union all select u.uid, g.uid from sysusers u, sysusers g where u.isLogin = 1 and g.name = ''public'') m, '
         + '  sysusers u2 where u2.name = ''' + @name + ''' '
    + case when @retLogin = 1
        then 'and m.memberuid = u.uid and m.groupuid = u2.uid) '
        else 'and m.groupuid = u.uid and m.memberuid = u2.uid) '
      end
    + 'then 1 else 0 end) as bChecked '
    + 'from sysusers u '
    + 'where isnull(u.isLogin, 0) = ' + convert(varchar, @retLogin) + ' '
    + 'order by 2 desc, 1'

  exec (@sql)
  end)sql";

const char* const kMembershipChange = R"sql(declare @isServer bit, @isLogin bit, @bInclude bit
declare @name sysname, @name2 sysname
set @isServer = :isServer
set @isLogin = :isLogin
set @bInclude = :bInclude
set @name = :name
set @name2 = :name2

if (@islogin = 1)
  begin
  declare @n sysname
  set @n = @name
  set @name = @name2
  set @name2 = @n
  end

if (@isserver = 1)
  if (@bInclude = 1)
    begin
    exec sp_addsrvrolemember @name2, @name
    end
  else
    begin
    exec sp_dropsrvrolemember @name2, @name
    end
else
  if (@bInclude = 1)
    begin
    exec sp_addrolemember @name, @name2
    end
  else
    begin
    exec sp_droprolemember @name, @name2
    end)sql";

const char* const kAddPrincipal = R"sql(declare @isServer bit, @isLogin bit, @name sysname, @pwd varchar(255)
set @isServer = :isServer
set @isLogin = :isLogin
set @name = :name
set @pwd = :pwd

if (@isserver = 1)
  if (@islogin = 1)
    begin
    exec sp_addlogin @name, @pwd
    end
  else
    begin
    raiserror('Server role creation is prohibited.', 16, 1)
    end
else
  if (@islogin = 1)
    begin
    if not exists(select 1 from master..syslogins where name = @name)
      exec sp_addlogin @name, @pwd
    exec sp_grantdbaccess @name
    end
  else
    begin
    exec sp_addrole @name
    end)sql";

const char* const kDeletePrincipal = R"sql(declare @isServer bit, @isLogin bit, @name sysname
set @isServer = :isServer
set @isLogin = :isLogin
set @name = :name

if (@isserver = 1)
  if (@islogin = 1)
    begin
    exec sp_droplogin @name
    end
  else
    begin
    raiserror('Удаление серверной роли невозможно.', 16, 1)
    end
else
  if (@islogin = 1)
    begin
    exec sp_revokedbaccess @name
    end
  else
    begin
    exec sp_droprole @name
    end)sql";

const char* const kRecreateUsersBody = R"sql(
select u.name as suser, g.name as sgroup
  into #t_groups
  from sysusers u, sysmembers m, sysusers g
  where m.memberuid = u.uid and m.groupuid = g.uid

declare @name sysname, @role sysname

declare c_user cursor local for
  select name from sysusers
  where uid between 2 and 1000
    and hasdbaccess = 1 and isnull(sid, 0x00) <> 0x00
open c_user
while (1 = 1)
  begin
  fetch next from c_user into @name
  if (@@fetch_status <> 0) break
  exec sp_revokedbaccess @name
  if exists (select 1 from master..syslogins where name = @name)
    exec sp_grantdbaccess @name
  end
close c_user
deallocate c_user

declare c_group cursor local for
  select t.suser, t.sgroup
  from #t_groups t, sysusers u
  where t.suser <> 'dbo' and t.suser = u.name
open c_group
while (1 = 1)
  begin
  fetch next from c_group into @name, @role
  if (@@fetch_status <> 0) break
  exec sp_addrolemember @role, @name
  end
close c_group
deallocate c_group

drop table #t_groups)sql";

// ---- The users module's statements that carry any name intact (N'...' text, sysname values) ----

const char* const kMembershipUnicode = R"sql(declare @retLogin bit, @name sysname, @sql nvarchar(1024)

set @retLogin = case when :isLogin = 1 then 0 else 1 end
set @name = :name

if (:isserver = 1)
  begin
  if (@retLogin = 1)
    select name, convert(bit, is_srvrolemember(@name, name)) as bChecked
    from master..syslogins
    order by 2 desc, 1
  else
    begin
    create table #t_serverrole(name sysname, description varchar(255))
    insert into #t_serverrole
      exec sp_helpsrvrole

    select name, convert(bit, is_srvrolemember(name, @name)) as bChecked
      from #t_serverrole

    drop table #t_serverrole
    end
  end
else
  begin
  set @sql = N'select u.name, '
    + N'convert(bit, '
     +  N'case when exists('
       + N' select 1 from '
         + N' (select memberuid, groupuid from sysmembers union all select u.uid, g.uid from sysusers u, sysusers g where u.isLogin = 1 and g.name = ''public'') m, '
         + N'  sysusers u2 where u2.name = N''' + replace(@name, N'''', N'''''') + N''' '
    + case when @retLogin = 1
        then N'and m.memberuid = u.uid and m.groupuid = u2.uid) '
        else N'and m.groupuid = u.uid and m.memberuid = u2.uid) '
      end
    + N'then 1 else 0 end) as bChecked '
    + N'from sysusers u '
    + N'where isnull(u.isLogin, 0) = ' + convert(nvarchar, @retLogin) + N' '
    + N'order by 2 desc, 1'

  exec (@sql)
  end)sql";

const char* const kAddPrincipalUnicode = R"sql(declare @isServer bit, @isLogin bit, @name sysname, @pwd sysname
set @isServer = :isServer
set @isLogin = :isLogin
set @name = :name
set @pwd = :pwd

if (@isserver = 1)
  if (@islogin = 1)
    begin
    exec sp_addlogin @name, @pwd
    end
  else
    begin
    raiserror('Server role creation is prohibited.', 16, 1)
    end
else
  if (@islogin = 1)
    begin
    if not exists(select 1 from master..syslogins where name = @name)
      exec sp_addlogin @name, @pwd
    exec sp_grantdbaccess @name
    end
  else
    begin
    exec sp_addrole @name
    end)sql";

// ---- end of the users module's Unicode statements ----

} // namespace sqlsim::model::texts
