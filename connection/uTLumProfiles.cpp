#include "uTLumProfiles.h"

#include "Exception.h"
#include "TAction.h"
#include "TImageList.h"
#include "uLumDialogActions.h"
#include "ufLumCustomDialog.h"
#include "ufLumProfiles.h"

#include <memory>

#include <QCursor>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLayout>
#include <QListWidget>
#include <QMenu>
#include <QSaveFile>
#include <QScreen>

namespace {

// The extension of a file name: from its last "." on, empty when it has none.
QString extensionOf(const QString& fileName) {
    const qsizetype dot = fileName.lastIndexOf(QLatin1Char('.'));
    return dot < 0 ? QString() : fileName.mid(dot);
}

// Copies source over target byte for byte. The bytes go to a temporary file in the target's
// directory that is renamed into place only when complete, so a failed copy leaves the target
// as it was.
void copyFile(const QString& source, const QString& target) {
    QFile in(source);
    if (!in.open(QIODevice::ReadOnly))
        throw Exception(QStringLiteral("Cannot read the file %1: %2").arg(source, in.errorString()));
    const QByteArray bytes = in.readAll();
    if (in.error() != QFileDevice::NoError)
        throw Exception(QStringLiteral("Cannot read the file %1: %2").arg(source, in.errorString()));
    QSaveFile out(target);
    if (!out.open(QIODevice::WriteOnly) || out.write(bytes) != bytes.size() || !out.commit())
        throw Exception(QStringLiteral("Cannot write the file %1: %2").arg(target, out.errorString()));
}

// Menu captions show "&" as a mnemonic marker unless it is doubled.
QString menuText(const QString& name) {
    QString text = name;
    return text.replace(QLatin1Char('&'), QStringLiteral("&&"));
}

} // namespace

TLumProfiles::TLumProfiles(QObject* owner, const QString& name) : QObject(owner) {
    setObjectName(name);
}

TLumProfiles::~TLumProfiles() {
    delete m_menu;
}

QMenu* TLumProfiles::Menu() const {
    return m_menu;
}

TfLumProfiles* TLumProfiles::Chooser() const {
    return m_chooser;
}

QString TLumProfiles::ProfileFileName(const QString& name) const {
    // Only the file-name part is searched, so a directory called "x.ini.d" keeps the profile
    // beside the settings file.
    const qsizetype slash = m_iniFileName.lastIndexOf(QLatin1Char('/'));
    const QString directory = m_iniFileName.left(slash + 1);
    QString fileName = m_iniFileName.mid(slash + 1);
    const QString extension = extensionOf(fileName);
    const qsizetype at = extension.isEmpty() ? fileName.size() : fileName.indexOf(extension);
    fileName.insert(at, QLatin1Char('(') + name + QLatin1Char(')'));
    return directory + fileName;
}

QString TLumProfiles::ProfileNameOf(const QString& fileName) {
    QString s = QFileInfo(fileName).fileName();
    const QString extension = extensionOf(s);
    if (!extension.isEmpty())
        s.truncate(s.indexOf(extension));
    s = s.mid(s.lastIndexOf(QLatin1Char('(')) + 1);
    const qsizetype close = s.lastIndexOf(QLatin1Char(')'));
    return close < 0 ? QString() : s.left(close);
}

void TLumProfiles::CheckProfileName(const QString& name) const {
    if (name.isEmpty())
        throw Exception(QStringLiteral("Enter a name for the profile."));
    if (name.contains(QLatin1Char('/')) || name.contains(QChar(0)))
        throw Exception(
            QStringLiteral("The profile name \"%1\" cannot be used: a file name cannot hold \"/\".")
                .arg(name));
    if (ProfileNameOf(ProfileFileName(name)) != name)
        throw Exception(QStringLiteral("The profile name \"%1\" cannot be used: its file %2 would be listed "
                                       "under another name. Leave out brackets or the extension.")
                            .arg(name, QFileInfo(ProfileFileName(name)).fileName()));
}

void TLumProfiles::checkSettingsFile() const {
    if (m_iniFileName.isEmpty())
        throw Exception(QStringLiteral("No settings file is set for the profiles."));
}

int TLumProfiles::insertionPoint(const QString& name) const {
    // Sorted without regard to letter case; names differing only in case are different files.
    int low = 0, high = int(m_names.size());
    while (low < high) {
        const int mid = (low + high) / 2;
        int c = QString::compare(m_names[mid], name, Qt::CaseInsensitive);
        if (c == 0)
            c = QString::compare(m_names[mid], name, Qt::CaseSensitive);
        if (c < 0)
            low = mid + 1;
        else
            high = mid;
    }
    return low;
}

int TLumProfiles::indexOf(const QString& name) const {
    const int i = insertionPoint(name);
    return i < m_names.size() && m_names[i] == name ? i : -1;
}

void TLumProfiles::RefreshList() {
    m_names.clear();
    if (m_iniFileName.isEmpty())
        return;
    // app(*).ini: every file that starts like the part before "*" and ends like the part after.
    const QString pattern = QFileInfo(ProfileFileName(QStringLiteral("*"))).fileName();
    const qsizetype star = pattern.indexOf(QStringLiteral("(*)")) + 1;
    const QString prefix = pattern.left(star);
    const QString suffix = pattern.mid(star + 1);
    const QDir directory = QFileInfo(m_iniFileName).absoluteDir();
    const QStringList files = directory.entryList(QDir::Files | QDir::Hidden | QDir::System);
    for (const QString& file : files) {
        if (file.size() < prefix.size() + suffix.size() || !file.startsWith(prefix) || !file.endsWith(suffix))
            continue;
        // Only names that lead back to the same file can be loaded again.
        const QString name = ProfileNameOf(file);
        if (name.isEmpty() || QFileInfo(ProfileFileName(name)).fileName() != file)
            continue;
        const int at = insertionPoint(name);
        if (at < m_names.size() && m_names[at] == name)
            continue;
        m_names.insert(at, name);
    }
}

QMenu* TLumProfiles::BuildMenu() {
    RefreshList();
    delete m_menu;
    // A menu of the owner's window is not blocked while that window is modal.
    m_menu = new QMenu(qobject_cast<QWidget*>(parent()));
    m_menu->setObjectName(QStringLiteral("PopupMenu"));
    auto add = [this](const QString& caption, int image, std::function<void()> run) {
        auto* item = new TAction(m_menu);
        item->SetCaption(caption);
        if (m_images)
            item->setIcon(m_images->Icon(image));
        item->OnExecute = [run](TAction*) { run(); };
        m_menu->addAction(item);
        return item;
    };
    add(QStringLiteral("Добавить текущий профиль"), 0, [this] { NewProfile(); });
    add(QStringLiteral("Настройка..."), 1, [this] { ShowChooser(); });
    m_menu->addSeparator();
    for (const QString& name : std::as_const(m_names))
        add(menuText(name), 2, [this, name] { LoadProfile(name); });
    return m_menu;
}

void TLumProfiles::ShowMenu() {
    BuildMenu()->popup(QCursor::pos());
}

void TLumProfiles::LoadProfile(const QString& name) {
    checkSettingsFile();
    CheckProfileName(name);
    copyFile(ProfileFileName(name), m_iniFileName);
    m_currentIndex = indexOf(name);
    if (DoRead)
        DoRead(this);
}

void TLumProfiles::SaveProfile(const QString& name) {
    checkSettingsFile();
    CheckProfileName(name);
    if (DoWrite)
        DoWrite(this);
    copyFile(m_iniFileName, ProfileFileName(name));
}

void TLumProfiles::DeleteProfile(const QString& name) {
    checkSettingsFile();
    CheckProfileName(name);
    QFile file(ProfileFileName(name));
    // A profile already gone by other means is no failure.
    if (!file.remove() && QFileInfo::exists(file.fileName()))
        throw Exception(
            QStringLiteral("Cannot delete the file %1: %2").arg(file.fileName(), file.errorString()));
    const int at = indexOf(name);
    if (at < 0)
        return;
    m_names.removeAt(at);
    if (m_currentIndex == at)
        m_currentIndex = -1;
    else if (m_currentIndex > at)
        --m_currentIndex;
}

void TLumProfiles::NewProfile() {
    QString text;
    int index = m_currentIndex;
    if (!InputComboQuery(QStringLiteral("Введите название профиля:"), m_names, text, index))
        return;
    SaveProfile(text);
    m_currentIndex = indexOf(text);
    if (m_currentIndex >= 0)
        return;
    // The file exists now: list it, and show it in an open chooser.
    m_currentIndex = insertionPoint(text);
    m_names.insert(m_currentIndex, text);
    if (m_chooser) {
        m_chooser->ListBox->insertItem(m_currentIndex, text);
        m_chooser->ListBox->setCurrentRow(m_currentIndex);
    }
}

int TLumProfiles::ShowChooser() {
    std::unique_ptr<TfLumProfiles> chooser = std::make_unique<TfLumProfiles>(this);
    m_chooser = chooser.get();
    chooser->SetLanguage(m_chooserLanguage);
    RefreshList();
    chooser->ListBox->addItems(m_names);

    // As many rows as profiles, 8 to 20, and never taller than the screen allows.
    const int rows = qBound(8, int(m_names.size()), 20);
    chooser->resize(258, 265);
    chooser->layout()->activate();
    const int otherHeight = chooser->height() - chooser->ListBox->height();
    int height = rows * chooser->ItemHeight() + otherHeight + 2 * chooser->ListBox->frameWidth();
    if (const QScreen* screen = chooser->screen() ? chooser->screen() : QGuiApplication::primaryScreen())
        height = qMin(height, screen->geometry().height() - 100);
    chooser->resize(chooser->width(), height);
    if (const QScreen* screen = chooser->screen())
        chooser->move(screen->availableGeometry().center() - chooser->rect().center());
    return chooser->ShowModal();
}
