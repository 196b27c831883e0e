#include "brinLogin.h"

#include "EDatabaseError.h"
#include "Exception.h"
#include "TADOConnection.h"
#include "TADORecordset.h"
#include "TApplication.h"
#include "TDropDownComboBox.h"
#include "TImageList.h"
#include "TIniFile.h"
#include "TMessageBox.h"
#include "TStarPasswordStyle.h"
#include "uComponentUtils.h"
#include "uLogOnParameters.h"
#include "uTLumProfiles.h"
#include "uTLumTranslator.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QScreen>
#include <QToolButton>

namespace {

const QString kNoConnection = QStringLiteral("Подключение не найдено.");

void paintServer(QPainter& p, const QRectF&) {
    p.setPen(QPen(QColor(60, 70, 90), 0.8));
    p.setBrush(QColor(150, 170, 200));
    p.drawRoundedRect(QRectF(4, 1.5, 8, 13), 1.2, 1.2);
    p.setBrush(QColor(90, 200, 90));
    p.drawEllipse(QPointF(8, 11.5), 1, 1);
    p.drawLine(QPointF(5.5, 4), QPointF(10.5, 4));
    p.drawLine(QPointF(5.5, 6), QPointF(10.5, 6));
}

void paintDatabase(QPainter& p, const QRectF&) {
    p.setPen(QPen(QColor(120, 80, 20), 0.8));
    p.setBrush(QColor(240, 190, 80));
    QPainterPath body;
    body.addRect(QRectF(3, 4, 10, 8));
    p.drawPath(body);
    p.drawEllipse(QRectF(3, 10, 10, 4));
    p.drawEllipse(QRectF(3, 2, 10, 4));
}

void paintUser(QPainter& p, const QRectF&) {
    p.setPen(QPen(QColor(40, 70, 120), 0.8));
    p.setBrush(QColor(100, 150, 220));
    p.drawEllipse(QPointF(8, 5), 3, 3);
    p.drawChord(QRectF(2.5, 9, 11, 10), 0, 180 * 16);
}

void paintKey(QPainter& p, const QRectF&) {
    p.setPen(QPen(QColor(130, 100, 10), 1.6));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QPointF(5, 8), 2.8, 2.8);
    p.drawLine(QPointF(7.8, 8), QPointF(14, 8));
    p.drawLine(QPointF(12, 8), QPointF(12, 11));
    p.drawLine(QPointF(14, 8), QPointF(14, 10.5));
}

void paintAdd(QPainter& p, const QRectF&) {
    p.setPen(QPen(QColor(30, 140, 40), 2.4));
    p.drawLine(QPointF(8, 3), QPointF(8, 13));
    p.drawLine(QPointF(3, 8), QPointF(13, 8));
}

void paintSettings(QPainter& p, const QRectF&) {
    p.setPen(QPen(QColor(80, 80, 80), 2));
    for (int i = 0; i < 4; ++i) {
        p.save();
        p.translate(8, 8);
        p.rotate(45.0 * i);
        p.drawLine(QPointF(0, -6.5), QPointF(0, 6.5));
        p.restore();
    }
    p.setBrush(QColor(200, 200, 200));
    p.drawEllipse(QPointF(8, 8), 3.5, 3.5);
}

} // namespace

TfBrinLogin::TfBrinLogin(QWidget* parent) : TForm(parent) {
    setObjectName(QStringLiteral("fBrinLogin"));
    m_parameters = QCoreApplication::arguments().mid(1);
    auto make = [this](auto* widget, const char* name) {
        widget->setObjectName(QString::fromLatin1(name));
        return widget;
    };
    Label1 = make(new QLabel(QStringLiteral("Server"), this), "Label1");
    Label2 = make(new QLabel(QStringLiteral("Database"), this), "Label2");
    Label3 = make(new QLabel(QStringLiteral("User"), this), "Label3");
    Label4 = make(new QLabel(QStringLiteral("Password"), this), "Label4");
    eServer = make(new QLineEdit(this), "eServer");
    eDB = make(new TDropDownComboBox(this), "eDB");
    eUser = make(new QLineEdit(this), "eUser");
    ePassword = make(new QLineEdit(this), "ePassword");
    cbTrustConnection = make(new QCheckBox(QStringLiteral("Trust Connection"), this), "cbTrustConnection");
    bOk = make(new QPushButton(QStringLiteral("Ok"), this), "bOk");
    bCancel = make(new QPushButton(QStringLiteral("Cancel"), this), "bCancel");
    sbProfiles = make(new QToolButton(this), "sbProfiles");
    Image1 = make(new QLabel(this), "Image1");
    Image2 = make(new QLabel(this), "Image2");
    Image3 = make(new QLabel(this), "Image3");
    Image4 = make(new QLabel(this), "Image4");
    ilProfiles = make(new TImageList(16, 16, this), "ilProfiles");
    Profiles = new TLumProfiles(this, QStringLiteral("Profiles"));
    Translator = new TLumTranslator(this, QStringLiteral("Translator"));
    FormCreate();
}

TfBrinLogin::~TfBrinLogin() = default;

void TfBrinLogin::FormCreate() {
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    SetCaption(QStringLiteral("Login"));
    setAttribute(Qt::WA_AlwaysShowToolTips);

    // The design at the default font: pictures at 8, labels at 28 (64 wide), fields at 96 (192
    // wide), rows 24 apart, the buttons under the fields' right edge, 10 pixels to the border. A
    // longer text or a larger font widens the column that holds it instead of clipping it.
    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(8, 8, 10, 6);
    grid->setHorizontalSpacing(4);
    grid->setVerticalSpacing(3);
    QLabel* labels[] = {Label1, Label2, Label3, Label4};
    QWidget* fields[] = {eServer, eDB, eUser, ePassword};
    QLabel* images[] = {Image1, Image2, Image3, Image4};
    const TImageList::TPainter pictures[] = {paintServer, paintDatabase, paintUser, paintKey};
    for (int i = 0; i < 4; ++i) {
        images[i]->setFixedSize(16, 16);
        images[i]->setPixmap(TImageList::Paint(16, 16, pictures[i]));
        labels[i]->setMinimumWidth(64);
        labels[i]->setMinimumHeight(21);
        fields[i]->setMinimumWidth(192);
        grid->addWidget(images[i], i, 0, Qt::AlignVCenter);
        if (i == 0) {
            // The profiles button sits at the end of the server label's cell.
            auto* cell = new QHBoxLayout;
            cell->setSpacing(0);
            cell->addWidget(labels[i], 1);
            cell->addWidget(sbProfiles, 0, Qt::AlignRight);
            grid->addLayout(cell, i, 1);
        } else {
            grid->addWidget(labels[i], i, 1);
        }
        grid->addWidget(fields[i], i, 2);
    }
    grid->setColumnStretch(2, 1);
    eDB->setEditable(true);
    eDB->setInsertPolicy(QComboBox::NoInsert);
    eDB->OnDropDown = [this] { eDBDropDown(); };
    TStarPasswordStyle::Apply(ePassword);
    grid->addWidget(cbTrustConnection, 4, 2);
    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(6);
    buttons->addStretch(1);
    for (QPushButton* b : {bOk, bCancel}) {
        b->setMinimumSize(75, 25);
        buttons->addWidget(b);
    }
    grid->addLayout(buttons, 5, 2);
    SetDefaultButton(bOk);
    SetCancelButton(bCancel);
    bOk->setDefault(true);
    SetButtonResult(bOk, mrOk);
    SetButtonResult(bCancel, mrCancel);

    sbProfiles->setFixedSize(21, 21);
    sbProfiles->setAutoRaise(true);
    sbProfiles->setToolTip(QStringLiteral("Profiles"));
    sbProfiles->setFocusPolicy(Qt::NoFocus);
    sbProfiles->setIcon(QIcon(TImageList::Paint(16, 16, paintSettings)));
    sbProfiles->hide();
    ilProfiles->Add(paintAdd);
    ilProfiles->Add(paintSettings);
    ilProfiles->Add(paintUser);
    Profiles->SetImages(ilProfiles);
    Profiles->DoRead = [this](QObject*) { ProfilesDoRead(); };
    Profiles->DoWrite = [this](QObject*) { ProfilesDoWrite(); };
    connect(sbProfiles, &QToolButton::clicked, this, [this] { SafeCall([this] { sbProfilesClick(); }); });
    createTranslations();

    for (QWidget* w :
         {static_cast<QWidget*>(eServer), static_cast<QWidget*>(eDB), static_cast<QWidget*>(eUser),
          static_cast<QWidget*>(ePassword), static_cast<QWidget*>(cbTrustConnection),
          static_cast<QWidget*>(bOk), static_cast<QWidget*>(bCancel)})
        w->setFocusPolicy(Qt::StrongFocus);
    setTabOrder(eServer, eDB);
    setTabOrder(eDB, eUser);
    setTabOrder(eUser, ePassword);
    setTabOrder(ePassword, cbTrustConnection);
    setTabOrder(cbTrustConnection, bOk);
    setTabOrder(bOk, bCancel);

    connect(cbTrustConnection, &QCheckBox::toggled, this, [this] { cbTrustConnectionClick(); });
    cbTrustConnectionClick();
    OnShow = [this](TForm*) { FormShow(); };

    // A single fixed border: the dialog is as large as its contents need, at the default font
    // 10 pixels right of the server field (298 wide).
    if (!parentWidget()) {
        grid->setSizeConstraint(QLayout::SetFixedSize);
        grid->activate();
    }
}

void TfBrinLogin::createTranslations() {
    struct TText {
        const char* key;
        const char* english;
        const char* russian;
    };
    static const TText texts[] = {
        {"Label4.Caption", "Password", "Пароль"},
        {"Label3.Caption", "User", "Пользователь"},
        {"Label2.Caption", "Database", "База"},
        {"Label1.Caption", "Server", "Сервер"},
        {"cbTrustConnection.Caption", "Trust Connection", "Использовать логин Windows"},
        {"bOk.Caption", "Ok", "Ok"},
        {"bCancel.Caption", "Cancel", "Отмена"},
        {"TfBrinLogin.Caption", "Login", "Подсоединение к серверу"},
        {"sbProfiles.Hint", "Profiles", "Профили"},
    };
    Translator->AddLanguage(QStringLiteral("English"));
    Translator->AddLanguage(QStringLiteral("Russian"));
    for (const TText& t : texts)
        Translator->AddKey(QString::fromUtf8(t.key),
                           {QString::fromUtf8(t.english), QString::fromUtf8(t.russian)});
}

void TfBrinLogin::SetLanguage(const QString& value) {
    m_language = value;
    Translator->SelectLanguage(value);
    Translator->Apply();
    Profiles->SetChooserLanguage(value);
    // Longer texts widen the dialog at once, shown or not.
    if (layout())
        layout()->activate();
}

void TfBrinLogin::FormShow() {
    if (!parentWidget()) {
        if (const QScreen* screen = this->screen())
            move(screen->availableGeometry().center() - rect().center());
    }
    QWidget* target = eServer;
    if (!Server().isEmpty())
        target = eDB;
    if (!Database().isEmpty()) {
        if (TrustConnection())
            target = cbTrustConnection;
        else
            target = User().isEmpty() ? static_cast<QWidget*>(eUser) : ePassword;
    }
    target->setFocus(Qt::OtherFocusReason);
}

QString TfBrinLogin::Server() const {
    return eServer->text();
}

void TfBrinLogin::SetServer(const QString& value) {
    eServer->setText(value);
}

QString TfBrinLogin::Database() const {
    return eDB->currentText();
}

void TfBrinLogin::SetDatabase(const QString& value) {
    eDB->setCurrentIndex(-1);
    eDB->setEditText(value);
}

QString TfBrinLogin::User() const {
    return eUser->text();
}

void TfBrinLogin::SetUser(const QString& value) {
    eUser->setText(value);
}

QString TfBrinLogin::Password() const {
    return ePassword->text();
}

void TfBrinLogin::SetPassword(const QString& value) {
    ePassword->setText(value);
}

bool TfBrinLogin::TrustConnection() const {
    return cbTrustConnection->isChecked();
}

void TfBrinLogin::SetTrustConnection(bool value) {
    cbTrustConnection->setChecked(value);
    cbTrustConnectionClick();
}

void TfBrinLogin::SetProfilesVisible(bool value) {
    sbProfiles->setVisible(value);
}

void TfBrinLogin::cbTrustConnectionClick() {
    const bool trusted = TrustConnection();
    for (QLineEdit* e : {eUser, ePassword}) {
        e->setReadOnly(trusted);
        QPalette palette = e->palette();
        palette.setColor(QPalette::Base,
                         trusted ? this->palette().color(QPalette::Button) : QColor(Qt::white));
        e->setPalette(palette);
    }
}

QString TfBrinLogin::BuildConnectionString(bool withDatabase) const {
    return TLogOnParameters::ConnectionString(Server(), Database(), withDatabase, TrustConnection(), User(),
                                              Password());
}

void TfBrinLogin::withServerNamed(const std::function<void()>& open) {
    m_connection->SetConnectionTimeout(m_loginTimeout);
    try {
        open();
    } catch (const ECancelled&) {
        throw;
    } catch (const std::exception& e) {
        // The reason alone ("Unable to connect") does not say which server was tried.
        QString message = ExceptionMessage(e);
        if (!Server().isEmpty() && !message.contains(Server(), Qt::CaseInsensitive))
            message += QStringLiteral("\nServer: ") + Server();
        throw Exception(message);
    }
}

void TfBrinLogin::Connect() {
    if (!m_connection)
        throw Exception(kNoConnection);
    m_connection->Close();
    m_connection->SetConnectionString(BuildConnectionString(true));
    withServerNamed([this] { m_connection->Open(); });
}

bool TfBrinLogin::commandLineLogOn() {
    const TLogOnParameters given = TLogOnParameters::Parse(m_parameters);
    if (given.hasServer) {
        SetServer(given.server);
        SetTrustConnection(false);
    }
    if (given.hasDatabase)
        SetDatabase(given.database);
    if (given.hasUser)
        SetUser(given.user);
    if (given.hasPassword)
        SetPassword(given.password);
    if (given.trusted)
        SetTrustConnection(true);
    if (!given.Complete())
        return false;
    try {
        Connect();
        return true;
    } catch (const ECancelled&) {
        return false; // the user stopped it: on to the dialog without a message
    } catch (const std::exception& e) {
        ShowError(ExceptionMessage(e));
        return false;
    }
}

bool TfBrinLogin::Execute() {
    // The command line is for the first log-on; a later one (after a lost connection) shows the
    // dialog with the values in use.
    if (std::exchange(m_commandLineUsed, true) == false && commandLineLogOn())
        return true;
    for (;;) {
        if (ShowModal() != mrOk)
            return false;
        try {
            Connect();
        } catch (const ECancelled&) {
            // Cancelled in the wait window: straight back to the dialog as it was typed.
        } catch (const std::exception& e) {
            MessageDlg(ExceptionMessage(e), mtError, mbOK);
            if (m_connection)
                m_connection->Close();
        }
        if (m_connection && m_connection->Connected())
            return true;
    }
}

void TfBrinLogin::ReadIni(const QString& fileName, const QString& section) {
    m_section = section;
    Profiles->SetIniFileName(fileName);
    const TIniFile ini(fileName);
    SetServer(ini.ReadString(section, QStringLiteral("Server"), QString()));
    SetDatabase(ini.ReadString(section, QStringLiteral("DB"), QString()));
    SetUser(ini.ReadString(section, QStringLiteral("User"), QString()));
    SetTrustConnection(ini.ReadBool(section, QStringLiteral("TrustConnection"), false));
    m_loginTimeout = qMax(0, ini.ReadInteger(section, QStringLiteral("LoginTimeout"), 15));
}

void TfBrinLogin::WriteIni(const QString& fileName, const QString& section) {
    TIniFile ini(fileName);
    ini.WriteString(section, QStringLiteral("Server"), Server());
    ini.WriteString(section, QStringLiteral("DB"), Database());
    ini.WriteString(section, QStringLiteral("User"), User());
    ini.WriteString(section, QStringLiteral("TrustConnection"),
                    TrustConnection() ? QStringLiteral("1") : QStringLiteral("0"));
    ini.WriteInteger(section, QStringLiteral("LoginTimeout"), m_loginTimeout);
    ini.DeleteKey(section, QStringLiteral("Password"));
}

void TfBrinLogin::ProfilesDoRead() {
    ReadIni(Profiles->IniFileName(), m_section);
}

void TfBrinLogin::ProfilesDoWrite() {
    WriteIni(Profiles->IniFileName(), m_section);
}

void TfBrinLogin::sbProfilesClick() {
    Profiles->ShowMenu();
}

void TfBrinLogin::eDBDropDown() {
    if (!m_connection)
        throw Exception(kNoConnection);
    const QString text = eDB->currentText();
    try {
        m_connection->Close();
        eDB->clear();
        eDB->setEditText(text);
        m_connection->SetConnectionString(BuildConnectionString(false));
        std::unique_ptr<TADORecordset> catalogs;
        withServerNamed([&] { catalogs = m_connection->OpenSchema(TADOConnection::siCatalogs); });
        int count = 0;
        for (catalogs->MoveFirst(); !catalogs->Eof(); catalogs->MoveNext(), ++count)
            eDB->addItem(catalogs->Fields(0).Text());
        eDB->setMaxVisibleItems(qMax(1, count));
        eDB->setEditText(text);
        catalogs.reset();
        m_connection->Close();
    } catch (...) {
        eDB->addItem(QString());
        eDB->setEditText(text);
        throw;
    }
}
