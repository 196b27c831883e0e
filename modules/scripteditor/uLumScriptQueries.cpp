#include "uLumScriptQueries.h"

namespace scripteditor::queries {

const char* const kObjects = R"sql(set nocount on
declare @sql varchar(8000)

set @sql = 'select '
 + 'user_name(o.uid) + ''.'' + o.name as name, '
 + 'case o.type '
 + '  when ''U'' then ''table'' '
 + '  when ''V'' then ''view'' '
 + '  when ''P'' then ''procedure'' '
 + '  when ''FN'' then ''function'' '
 + '  when ''IF'' then ''function'' '
 + '  when ''TF'' then ''function'' '
 + '  when ''TR'' then ''trigger'' '
 + '  else o.type '
 + 'end as type, '

if object_id('vs_ExtProps') > 0
  set @sql = @sql + 'isnull(convert(varchar(100), p.Value), '''')'
else
  set @sql = @sql + ''''''
set @sql = @sql + ' as category '
 + 'from sysobjects o '

if object_id('vs_ExtProps') > 0
  set @sql = @sql + 'left join vs_ExtProps p on o.id = p.id and p.smallid = 0 and p.name = ''Category'' '

set @sql = @sql + 'order by 2, 3, 1 '

exec (@sql))sql";

const char* const kStruct =
    R"sql(declare @object sysname, @objectFullName varchar(255), @id int, @objecttype sysname
declare @bDel bit, @bCreate bit, @bTriggers bit, @nl varchar(2)

set @bDel = 1
set @bCreate = 1
set @object = :tab
set @bTriggers = :ScriptTriggers
set @nl = char(13) + char(10)

declare @sContent varchar(8000), @ptrval binary(16), @len int

create table #t_objects(id int null, obj sysname, uid int null, type varchar(2) null)
insert into #t_objects
  select o.id, o.name, o.uid, o.type
  from sysobjects o where id = object_id(@object)

create table #t_Text(nID int identity, t text)

declare c_objects cursor local for
  select id, obj, user_name(uid) + '.' + obj,
    case type 
      when 'U' then 'table' 
      when 'V' then 'view' 
      when 'P' then 'procedure' 
      when 'FN' then 'function' 
      when 'IF' then 'function' 
      when 'TF' then 'function' 
      when 'TR' then 'trigger' 
      end
  from #t_objects

open c_objects
while(1 = 1)
  begin
  fetch next from c_objects into @id, @object, @objectFullName, @objecttype
  if (@@fetch_status <> 0) break

  if (@bDel = 1)
    begin
    insert into #t_Text values ('')
    select @ptrval = textptr(t) from #t_Text where nID = (select max(nID) from #t_Text)
    select @sContent = 'if exists (select * from sysobjects where id = object_id(''' + @objectFullName + '''))' + @nl
      + '  drop ' + @objecttype + ' ' + @objectFullName + @nl + 'GO'
      from sysobjects where id = @id
    UPDATETEXT #t_Text.t @ptrval NULL 0 @sContent 
    end  
  
  if (@bCreate = 1)
    begin
    insert into #t_Text values ('')
    select @ptrval = textptr(t) from #t_Text where nID = (select max(nID) from #t_Text)
    if (@objecttype = 'table')
      begin
      set @sContent = 'create table ' + @objectFullName + '(' + @nl
      UPDATETEXT #t_Text.t @ptrval NULL 0 @sContent  
  
      declare c_Fields cursor local for
        select '  ' + colname + ' '
           + case when isComputed = 1 then ' as ' + sComputed
               else typeFull
               + case when bIdentity = 1 then ' identity(1, 1)' else '' end
               + case when isNullable = 1 then '' else ' not' end + ' null'
               + case when bIdentity = 1
                   then ' CONSTRAINT PK_' + replace(@object, '.', '_') + ' PRIMARY KEY'
                   else ''
                 end
             end
           + ', ' + @nl
        from (
          select
            c.colid as id, o.id as tab_id, c.name as colname,
            t.name as type, c.prec, c.scale, c.length,
            t.name + case
                       when charindex('char', t.name) > 0 then '(' + Convert(varchar, c.prec) + ')'
                       when charindex('decimal', t.name) > 0 then '(' + Convert(varchar, c.prec) + ', ' + Convert(varchar, c.scale) + ')'
                       else ''
                     end as typeFull,

            case when c.colorder is null then null else c.colorder end as colorder,
            c.isOutParam, c.isNullable, c.isComputed,
            case when (c.status & 0x80) <> 0 then 1 else 0 end as bIdentity,
            case when c.isComputed = 1
              then (select top 1 substring(t.text, 2, len(t.text) - 2) from syscomments t where t.id = c.id and t.number = c.colid)
              else ''
            end as sComputed,
            case when c.isComputed = 1
              then ''
              else convert(varchar(255), isnull(substring(dc.text, 2, len(dc.text) - 2), ''))
            end as sDefault,

            case when c.isComputed = 1
              then ''
              else (select user_name(uid) + '.' + name from sysobjects where id = f.rkeyid)
            end as sRTable,

            (select name from syscolumns where id = f.rkeyid and colid = f.rkey) as sRIDCol,
            convert(bit, (OBJECTPROPERTY(f.constid, 'CnstIsDeleteCascade'))) as bRDeleteCascade

          from sysobjects o
               inner join syscolumns c on o.id = c.id
               left join systypes t on c.xtype = t.xtype and c.usertype = t.usertype
               left join syscomments dc on c.cdefault = dc.id
               left join sysforeignkeys f on o.id = f.fkeyid and c.colid = f.fkey
        ) f where tab_id = @id
        order by id
      open c_Fields
      while (1 = 1)
        begin
        fetch next from c_Fields into @sContent
        if (@@fetch_status <> 0) break
        
        UPDATETEXT #t_Text.t @ptrval NULL 0 @sContent   
        end
  
      select @len = datalength(t) - 4 from #t_Text
      UPDATETEXT #t_Text.t @ptrval @len 2 ''
  
      set @sContent = ')'
      UPDATETEXT #t_Text.t @ptrval NULL 0 @sContent
      insert into #t_Text values ('GO')
      close c_Fields
      deallocate c_Fields

      insert into #t_Text
        select 'alter table ' + @objectFullName + ' add constraint ' + co.name + ' '
           + case
            when co.Type = 'F' then 'foreign key (' + cc.name + ') references '
              + (select user_name(uid) + '.' + name from sysobjects where id = rkeyid)
              + ' (' + (select name from syscolumns where id = rkeyid and colid = rkey) + ')'
              + case when OBJECTPROPERTY(f.constid, 'CnstIsDeleteCascade') = 1 then ' on delete cascade' else '' end
            when co.Type = 'D' then 'default ' + substring(t.text, 2, len(t.text) - 2) + ' for ' + cc.name
           else '' end + @nl + 'GO'

        from sysconstraints c
          inner join sysobjects co on co.id = c.constid and co.Type in ('F', 'D')
          inner join syscolumns cc on cc.id = c.id and cc.colid = c.colid
          left join syscomments t on t.id = co.id
          left join sysforeignkeys f on f.constid = c.constid
        where c.id = @id
      end
    else
      begin
      declare c_procText cursor local for 
        select text from syscomments where id = @id
      open c_procText
      while (1 = 1)
        begin
        fetch next from c_procText into @sContent
        if (@@fetch_status <> 0) break
        UPDATETEXT #t_Text.t @ptrval NULL 0 @sContent
        end
      close c_procText
      deallocate c_procText
      insert into #t_Text values ('GO')
      end
    end
  end
close c_objects
deallocate c_objects
drop table #t_objects

select t from #t_Text
drop table #t_Text)sql";

const char* const kDBAccess = R"sql(declare @tab sysname
set @tab = :tab

select 'grant '
  + case
    when o.Type in ('U', 'V', 'IF') then 'select, insert, update, delete'
    when o.Type in ('TF') then 'select'
    else 'execute'
    end
  + ' on ' + @tab + ' to ' + u.name, p.*
from syspermissions p
  inner join sysobjects o on p.id = o.id
  left join sysusers u on p.grantee = u.uid
where o.id = object_id(@tab))sql";

// Each row of ta_AccessObject names an object (sName) and the user or role it is granted to
// (sUser).
const char* const kAccess = R"sql(declare @tab sysname
set @tab = :tab

select 'grant '
  + case
    when o.Type in ('U', 'V', 'IF') then 'select, insert, update, delete'
    when o.Type in ('TF') then 'select'
    else 'execute'
    end
  + ' on ' + @tab + ' to ' + a.sUser
from ta_AccessObject a
  inner join sysobjects o on o.id = object_id(a.sName)
where o.id = object_id(@tab)
order by a.sUser)sql";

// An outer join to the columns (the object itself has column id 0); values as Unicode text with
// the quotes inside quoted values doubled, character values as N'...' literals and dates as '...',
// so that every call runs and gives back the same value.
const char* const kProp = R"sql(declare @tab sysname
set @tab = :tab
select 'exec sps_UpdateExtendedProperty ''' + @tab + ''', '
  + case when smallid = 0 then 'null' else '''' + c.name + '''' end + ', ''' + p.name + ''', ' 
  + case when charindex('char', convert(sysname, SQL_VARIANT_PROPERTY(p.value, 'baseType'))) > 0 then 'N''' 
         when charindex('date', convert(sysname, SQL_VARIANT_PROPERTY(p.value, 'baseType'))) > 0 then '''' 
         else '' end 
  + replace(convert(nvarchar(4000), p.value), '''', '''''')
  + case when charindex('char', convert(sysname, SQL_VARIANT_PROPERTY(p.value, 'baseType'))) > 0 then '''' 
         when charindex('date', convert(sysname, SQL_VARIANT_PROPERTY(p.value, 'baseType'))) > 0 then '''' 
         else '' end 
from vs_ExtProps p
  left outer join syscolumns c on p.id = c.id and smallid = c.colid
  where p.id = object_id(@tab)
    and p.value is not null
order by p.smallid, p.name)sql";

const char* const kData = R"sql(declare @object sysname
declare @sFields varchar(8000), @sql varchar(8000), @bScriptID bit, @idname sysname, @where varchar(8000)
set @object = :tab
/*set @sFields = 'sName'*/
set @bScriptID = :bScriptID
set @where = :sWhere

select @idname = name from syscolumns where id = object_id(@object) and (Status & 0x80) <> 0
set @idname = isnull(@idname, '')

if isnull(@sfields, '') = ''
  select @sFields = case when @sFields is null then '' else @sFields + ', ' end + c.name
  from syscolumns c, systypes t
  where c.id = object_id(@object) and ((c.name <> @idname) or (@bScriptID = 1))
    and c.xtype = t.xtype and t.xusertype < 256
    and t.name not in ('image', 'timestamp')
  order by colid

select @sql = case when @sql is null then '' else @sql + ', ' end
   + ''' + isnull('
   + case when charindex('char', t.name) > 0 then '''N'''''' + replace('
          when charindex('date', t.name) > 0 then ''''''''' + convert(varchar(255), '
          when charindex('uniqueidentifier', t.name) > 0 then ''''''''' + convert(varchar(255), '
         else 'convert(varchar(255), ' end
   + c.name
   + case when charindex('char', t.name) > 0 then ', '''''''', '''''''''''') + ''''''''' 
          when charindex('date', t.name) > 0 then ') + '''''''''
          when charindex('uniqueidentifier', t.name) > 0 then ') + '''''''''
         else ')' end
   + ', ''null'') + '''
  from syscolumns c, systypes t
  where c.id = object_id(@object) and ((c.name <> @idname) or (@bScriptID = 1))
    and c.xtype = t.xtype and t.xusertype < 256
    and t.name not in ('image', 'timestamp')
    and charindex(c.name + ', ', @sFields + ', ') > 0
  order by colid

set @sql = 
  + 'select ''insert into ' + @object + '(' + @sFields + ') values (' + @sql + ')''' + char(13) + char(10)
  + 'from ' + @object + '' + char(13) + char(10)
  + case when isnull(@where, '') <> '' then 'where ' + @where + char(13) + char(10) else '' end
  + case when @bScriptID = 1 then '' else 'order by ' + case when isnull(@idname, '') <> '' then @idname else '1' end end

if @bScriptID = 1
  set @sql = 'select ''set identity_insert ' + @object + ' on'' union all' + char(13) + char(10)
    + @sql + char(13) + char(10)
    + 'union all select ''set identity_insert ' + @object + ' off'''

--print @sql
if exists(select 1 from sysobjects where id = object_id(@object) and type in ('U'))
  exec (@sql)
else
  select '' from sysobjects where 1 = 0)sql";

} // namespace scripteditor::queries
