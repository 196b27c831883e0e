// The users module's components as designed: statements, pictures, actions, tool bars, grid,
// membership panel and the translator table.
#include "TADOQuery.h"
#include "TApplication.h"
#include "TCheckListBox.h"
#include "TDataSource.h"
#include "TImageList.h"
#include "TdxDBGrid.h"
#include "TdxDBGridColumn.h"
#include "uLumDBActions.h"
#include "uLumDialogActions.h"
#include "uTLumCustomModuleAction.h"
#include "uTLumModuleADOConnection.h"
#include "uTLumStorage.h"
#include "uTLumTranslator.h"
#include "ufLumCustomDialog.h"
#include "ufMSSQLUser.h"
#include "ufModuleParent.h"

#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QSplitter>
#include <QToolBar>
#include <QVBoxLayout>

namespace {

const char* const kUserSql = R"sql(declare @islogin bit
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

// The membership list of a database principal is built as text: the name goes in as an N'...'
// literal with its quotes doubled, so any name (a quote, Cyrillic) reaches the server intact.
// @sql holds the fixed text and a doubled name of full length with room to spare.
const char* const kContentSql = R"sql(declare @retLogin bit, @name sysname, @sql nvarchar(1024)

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

const char* const kContentChangeSql = R"sql(declare @isServer bit, @isLogin bit, @bInclude bit
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

// The password is a sysname like the name, so a password in any alphabet is stored as typed.
const char* const kAddSql = R"sql(declare @isServer bit, @isLogin bit, @name sysname, @pwd sysname
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

const char* const kDeleteSql = R"sql(declare @isServer bit, @isLogin bit, @name sysname
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

const char* const kChangePwdSql = "exec sp_password @new = :pwd, @loginame = :name";

// Head and shoulders of a person in the colour given.
void person(QPainter& p, const QRectF& r, const QColor& colour, double dx = 0) {
    p.setPen(QPen(colour.darker(150), 1));
    p.setBrush(colour);
    p.drawEllipse(QRectF(r.left() + 5 + dx, r.top() + 2, 6, 6));
    QPainterPath body;
    body.addRoundedRect(QRectF(r.left() + 3 + dx, r.top() + 9, 10, 6), 3, 3);
    p.drawPath(body);
}

void group(QPainter& p, const QRectF& r, const QColor& colour) {
    person(p, r.adjusted(0, 0, 0, 0), colour.lighter(130), -3);
    person(p, r, colour, 3);
}

// The eleven pictures of ilAction, in the order the actions and the grid's image column use.
void addImages(TImageList* images) {
    const QColor ink(40, 70, 140);
    images->Add([](QPainter& p, const QRectF& r) { group(p, r, QColor(60, 140, 60)); });   // database role
    images->Add([](QPainter& p, const QRectF& r) { person(p, r, QColor(60, 110, 190)); }); // database user
    images->Add([](QPainter& p, const QRectF& r) {                                         // server login
        person(p, r, QColor(200, 140, 40));
        p.setPen(QPen(QColor(90, 90, 90), 1.5));
        p.drawLine(QPointF(r.right() - 5, r.bottom() - 2), QPointF(r.right() - 1, r.bottom() - 6));
    });
    images->Add([](QPainter& p, const QRectF& r) { group(p, r, QColor(190, 70, 50)); }); // server role
    images->Add([](QPainter& p, const QRectF& r) {                                       // users and roles
        person(p, r, QColor(60, 110, 190), -3);
        person(p, r, QColor(60, 140, 60), 3);
    });
    images->Add([](QPainter& p, const QRectF& r) { // add
        p.setPen(QPen(QColor(30, 130, 40), 2.5));
        p.drawLine(QPointF(r.center().x(), r.top() + 2), QPointF(r.center().x(), r.bottom() - 2));
        p.drawLine(QPointF(r.left() + 2, r.center().y()), QPointF(r.right() - 2, r.center().y()));
    });
    images->Add([](QPainter& p, const QRectF& r) { // delete
        p.setPen(QPen(QColor(190, 30, 30), 2.5));
        p.drawLine(QPointF(r.left() + 3, r.top() + 3), QPointF(r.right() - 3, r.bottom() - 3));
        p.drawLine(QPointF(r.left() + 3, r.bottom() - 3), QPointF(r.right() - 3, r.top() + 3));
    });
    images->Add([ink](QPainter& p, const QRectF& r) { // refresh
        p.setPen(QPen(ink, 2));
        p.drawArc(r.adjusted(3, 3, -3, -3), 30 * 16, 300 * 16);
        p.setBrush(ink);
        p.drawPolygon(QPolygonF() << QPointF(r.right() - 2, r.top() + 2)
                                  << QPointF(r.right() - 2, r.top() + 7)
                                  << QPointF(r.right() - 7, r.top() + 7));
    });
    images->Add([ink](QPainter& p, const QRectF& r) { // save
        p.setPen(QPen(ink, 1));
        p.setBrush(QColor(90, 120, 190));
        p.drawRect(r.adjusted(2, 2, -2, -2));
        p.setBrush(Qt::white);
        p.drawRect(QRectF(r.left() + 5, r.top() + 2, 6, 5));
    });
    images->Add([](QPainter& p, const QRectF& r) { // cancel
        p.setPen(QPen(QColor(190, 30, 30), 2));
        p.drawEllipse(r.adjusted(3, 3, -3, -3));
        p.drawLine(QPointF(r.left() + 5, r.bottom() - 5), QPointF(r.right() - 5, r.top() + 5));
    });
    images->Add([](QPainter& p, const QRectF& r) { // change password: a key
        p.setPen(QPen(QColor(150, 110, 20), 2));
        p.drawEllipse(QRectF(r.left() + 2, r.top() + 4, 6, 6));
        p.drawLine(QPointF(r.left() + 8, r.top() + 7), QPointF(r.right() - 2, r.top() + 7));
        p.drawLine(QPointF(r.right() - 3, r.top() + 7), QPointF(r.right() - 3, r.top() + 11));
        p.drawLine(QPointF(r.right() - 6, r.top() + 7), QPointF(r.right() - 6, r.top() + 10));
    });
}

} // namespace

void TfMSSQLUser::createComponents() {
    cADO = new TLumModuleADOConnection(this, QStringLiteral("cADO"));
    cADO->SetLoginPrompt(false);

    auto query = [this](const char* name, const char* sql) {
        auto* q = new TADOQuery(this);
        q->setObjectName(QString::fromLatin1(name));
        q->SetConnection(cADO);
        q->SetSQLText(QString::fromUtf8(sql));
        return q;
    };
    qUser = query("qUser", kUserSql);
    qUser->SetCursorType(TADOQuery::ctStatic);
    qUser->Parameters().ParamByName(QStringLiteral("isLogin")).SetDataType(ftInteger);
    qUser->Parameters().ParamByName(QStringLiteral("isserver")).SetDataType(ftInteger);
    qUser->AfterOpen = [this](TDataSet*) { qUserAfterOpen(); };
    qUser->AfterScroll = [this](TDataSet*) { qUserAfterScroll(); };
    dsUser = new TDataSource(this);
    dsUser->setObjectName(QStringLiteral("dsUser"));
    dsUser->SetDataSet(qUser);

    qContent = query("qContent", kContentSql);
    qContent->Parameters().ParamByName(QStringLiteral("isLogin")).SetDataType(ftInteger);
    qContent->Parameters().ParamByName(QStringLiteral("isserver")).SetDataType(ftInteger);
    qContent->Parameters().ParamByName(QStringLiteral("name")).SetDataType(ftWideString);
    qContentChange = query("qContentChange", kContentChangeSql);
    qAdd = query("qAdd", kAddSql);
    qDelete = query("qDelete", kDeleteSql);
    qChangePwd = query("qChangePwd", kChangePwdSql);
    qChangePwd->Parameters().ParamByName(QStringLiteral("pwd")).SetDataType(ftWideString);
    qChangePwd->Parameters().ParamByName(QStringLiteral("name")).SetDataType(ftWideString);

    ilAction = new TImageList(16, 16, this);
    ilAction->setObjectName(QStringLiteral("ilAction"));
    addImages(ilAction);

    LumStorage->SetStoredProps({QStringLiteral("clbContent.Height")});
}

void TfMSSQLUser::createActions() {
    auto action = [this](TAction* a, const char* caption, const char* hint, int image) {
        a->SetCaption(QString::fromUtf8(caption));
        a->SetHint(QString::fromUtf8(hint));
        a->SetImages(ilAction);
        a->SetImageIndex(image);
        return a;
    };
    auto mode = [&](const char* name, const char* caption, const char* hint, int image) {
        TAction* a = action(new TAction(this, QString::fromLatin1(name)), caption, hint, image);
        a->SetAutoCheck(true);
        a->SetGroupIndex(1);
        return a;
    };
    aDBUsers = mode("aDBUsers", "Пользователи БД", "Пользователи БД", 1);
    aDBUsers->OnExecute = [this](TAction*) { aDBUsersExecute(); };
    aDBRoles = mode("aDBRoles", "Роли БД", "Роли БД", 0);
    aDBRoles->OnExecute = [this](TAction*) { aDBRolesExecute(); };
    aServerLogins = mode("aServerLogins", "Логины сервера", "Логины сервера", 2);
    aServerLogins->OnExecute = [this](TAction*) { aServerLoginsExecute(); };
    aServerRoles = mode("aServerRoles", "Роли сервера", "Роли сервера", 3);
    aServerRoles->OnExecute = [this](TAction*) { aServerRolesExecute(); };
    aDBUsersRoles = mode("aDBUsersRoles", "Пользователи, роли БД", "", 4);
    aDBUsersRoles->OnExecute = [this](TAction*) { aDBUsersRolesExecute(); };

    aAddUser = action(new TAction(this, QStringLiteral("aAddUser")), "aAddUser", "", 5);
    aAddUser->OnExecute = [this](TAction*) { aAddUserExecute(); };
    aDeleteUser = action(new TAction(this, QStringLiteral("aDeleteUser")), "aDeleteUser", "", 6);
    aDeleteUser->OnExecute = [this](TAction*) { aDeleteUserExecute(); };
    aChangePwd = new TLumPasswordDialogAction(this, QStringLiteral("aChangePwd"));
    action(aChangePwd, "Смена пароля", "Смена пароля", 10);
    aChangePwd->SetOldDisabled(true);
    aChangePwd->OnOk = [this](QObject*) { aChangePwdOk(); };

    aRefresh = new TLumDatasetRefresh(this, QStringLiteral("aRefresh"));
    action(aRefresh, "Обновить", "Обновить", 7);
    aRefresh->SetDataSource(dsUser);
    aRefresh->SetForcedDisable(false);
    aRefresh->BeforeExecute = [this](QObject*, bool&, QString&) { aRefreshBeforeExecute(); };
    aRefresh->AfterExecute = [this](QObject*) { aRefreshAfterExecute(); };

    aContentRefresh = action(new TAction(this, QStringLiteral("aContentRefresh")), "Обновить", "Обновить", 7);
    aContentRefresh->OnExecute = [this](TAction*) { aContentRefreshExecute(); };
    aContentPost = action(new TAction(this, QStringLiteral("aContentPost")), "Сохранить", "Сохранить", 8);
    aContentPost->OnExecute = [this](TAction*) { aContentPostExecute(); };
    aContentCancel = action(new TAction(this, QStringLiteral("aContentCancel")), "Отмена", "Отмена", 9);
    aContentCancel->OnExecute = [this](TAction*) { aContentCancelExecute(); };
}

void TfMSSQLUser::createLayout() {
    auto toolBar = [this](const char* name) {
        auto* bar = new QToolBar(this);
        bar->setObjectName(QString::fromLatin1(name));
        bar->setIconSize(QSize(16, 16));
        bar->setToolButtonStyle(Qt::ToolButtonIconOnly);
        return bar;
    };

    pHeader = new QLabel(QStringLiteral("Разделы"), this);
    pHeader->setObjectName(QStringLiteral("pHeader"));
    pHeader->setFixedHeight(30);
    pHeader->setContentsMargins(10, 0, 10, 0);
    pHeader->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    pHeader->setAutoFillBackground(true);
    QPalette palette = pHeader->palette();
    palette.setColor(QPalette::Window, palette.color(QPalette::Dark));
    palette.setColor(QPalette::WindowText, Qt::white);
    pHeader->setPalette(palette);
    QFont font(QStringLiteral("Tahoma"));
    font.setPixelSize(19);
    font.setBold(true);
    pHeader->setFont(font);

    ActionToolBar1 = toolBar("ActionToolBar1");
    ActionToolBar1->addSeparator();
    ActionToolBar1->addAction(aDBUsers);
    ActionToolBar1->addAction(aDBRoles);
    ActionToolBar1->addAction(aServerLogins);
    ActionToolBar1->addAction(aServerRoles);
    ActionToolBar1->addSeparator();
    ActionToolBar1->addAction(aAddUser);
    ActionToolBar1->addAction(aDeleteUser);
    ActionToolBar1->addAction(aChangePwd);
    ActionToolBar1->addSeparator();
    ActionToolBar1->addAction(aRefresh);

    barUsersRoles = toolBar("barUsersRoles");
    barUsersRoles->addSeparator();
    barUsersRoles->addAction(aRefresh);

    gUser = new TdxDBGrid(this, QStringLiteral("gUser"));
    gUser->SetKeyField(QStringLiteral("name"));
    gUser->SetOptionsDB(TdxDBGrid::TdxDBGridOptionsDB(TdxDBGrid::edgoLoadAllRecords) |
                        TdxDBGrid::edgoCanNavigation);
    gUser->SetOptionsView(TdxDBGrid::TdxDBGridOptionsView(TdxDBGrid::edgoRowSelect) |
                          TdxDBGrid::edgoAutoWidth);
    gUser->SetShowGrid(false);
    gUser->SetShowSummaryFooter(true);
    gUser->SetDefaultFields(false);
    gUserImage = new TdxDBGridColumn(gUser, ckImage, this, QStringLiteral("gUserImage"));
    gUserImage->SetFieldName(QStringLiteral("nImage"));
    gUserImage->SetCaption(QStringLiteral(" "));
    gUserImage->SetWidth(25);
    gUserImage->SetMinWidth(16);
    gUserImage->SetSizing(false);
    gUserImage->SetDisableFilter(true);
    gUserImage->SetImages(ilAction);
    gUsername = new TdxDBGridColumn(gUser, ckText, this, QStringLiteral("gUsername"));
    gUsername->SetFieldName(QStringLiteral("name"));
    gUsername->SetSummaryFooterType(cstCount);
    gUser->SetDataSource(dsUser);
    gUser->OnKeyDown = [this](QObject*, int& key, Qt::KeyboardModifiers) { gUserKeyDown(key); };
    gUser->OnDblClick = [this](QObject*) { gUserDblClick(); };

    pBottom = new QWidget(this);
    pBottom->setObjectName(QStringLiteral("pBottom"));
    ActionToolBar2 = toolBar("ActionToolBar2");
    ActionToolBar2->setWindowTitle(QStringLiteral("Состав"));
    ActionToolBar2->addSeparator();
    lContent = new QLabel(QStringLiteral("Состав"), ActionToolBar2);
    lContent->setObjectName(QStringLiteral("lContent"));
    lContent->setContentsMargins(4, 0, 4, 0);
    ActionToolBar2->addWidget(lContent);
    ActionToolBar2->addSeparator();
    ActionToolBar2->addAction(aContentPost);
    ActionToolBar2->addAction(aContentCancel);
    ActionToolBar2->addSeparator();
    ActionToolBar2->addAction(aContentRefresh);
    clbContent = new TCheckListBox(pBottom, QStringLiteral("clbContent"));
    auto* bottomLayout = new QVBoxLayout(pBottom);
    bottomLayout->setContentsMargins(0, 0, 0, 0);
    bottomLayout->setSpacing(0);
    bottomLayout->addWidget(ActionToolBar2);
    bottomLayout->addWidget(clbContent, 1);

    // The grid above, the membership panel below; the splitter's handle hides with the panel.
    sBottom = new QSplitter(Qt::Vertical, this);
    sBottom->setObjectName(QStringLiteral("sBottom"));
    sBottom->setHandleWidth(3);
    sBottom->setChildrenCollapsible(false);
    sBottom->addWidget(gUser);
    sBottom->addWidget(pBottom);
    sBottom->setStretchFactor(0, 1);
    sBottom->setStretchFactor(1, 0);
    sBottom->setSizes({400 - 228, 228});
    clbContent->OnHeightRequest = [this](int height) {
        // The panel is the list plus its tool bar; the grid takes what is left.
        if (!pBottom->isVisible()) {
            m_pendingListHeight = height; // applied once the form is on screen
            return;
        }
        m_pendingListHeight = -1;
        const int bar = ActionToolBar2->sizeHint().height();
        const int panel = height + bar;
        const int total = qMax(sBottom->height() - sBottom->handleWidth(), panel + 50);
        sBottom->setSizes({total - panel, panel});
    };
    // The panel's design height of 228 pixels, tool bar included.
    clbContent->SetHeight(228 - ActionToolBar2->sizeHint().height());

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(pHeader);
    layout->addWidget(ActionToolBar1);
    layout->addWidget(barUsersRoles);
    layout->addWidget(sBottom, 1);
}

void TfMSSQLUser::addTexts() {
    struct TText {
        const char* key;
        const char* english;
        const char* russian;
    };
    static const TText texts[] = {
        {"sdServerLogin", "MS SQL Users", "Пользователи MS SQL"},
        {"sdDBUser", "db user", "пользователя БД"},
        {"sdServerRole", "server role", "серверную роль"},
        {"sdDBRole", "group", "группу"},
        {"sdAdd", "Add", "Добавить"},
        {"sdDrop", "Delete", "Удалить"},
        {"sdCreate", "Creation", "создание"},
        {"sdEnterName", "Enter name", "Введите название"},
        {"PasswordChanged", "Pasword has successfully changed.", "Пароль успешно изменен."},
        {"aChangePwd.Hint", "Change password", "Смена пароля"},
        {"aContentCancel.Hint", "Cancel", "Отмена"},
        {"aContentPost.Hint", "Save", "Сохранить"},
        {"aContentRefresh.Hint", "Refresh", "Обновить"},
        {"aDBRoles.Hint", "DB roles", "Роли БД"},
        {"aDBUsers.Hint", "DB users", "Пользователи БД"},
        {"aDBUsersRoles.Hint", "", ""},
        {"aDeleteUser.Hint", "", ""},
        {"aRefresh.Hint", "Refresh", "Обновить"},
        {"aServerLogins.Hint", "Server logins", "Логины сервера"},
        {"aServerRoles.Hint", "Server roles", "Роли сервера"},
        {"ActionToolBar2.Caption", "Content", "Состав"},
        {"ActionManager1.ActionBars.Items[1].Items.Items[1].Caption", "Content", "Состав"},
        {"sdEnterPwd", "Enter password:", "Введите пароль:"},
    };
    Translator->AddLanguage(QStringLiteral("English"));
    Translator->AddLanguage(QStringLiteral("Russian"));
    for (const TText& t : texts)
        Translator->AddKey(QString::fromUtf8(t.key),
                           {QString::fromUtf8(t.english), QString::fromUtf8(t.russian)});
}
