#include "uTLumTranslator.h"

#include "Exception.h"
#include "TIniFile.h"
#include "uComponentUtils.h"

namespace {

Exception listIndexError(int index) {
    return Exception(QStringLiteral("List index out of bounds (%1)").arg(index));
}

const QString& lineAt(const QStringList& lines, int index) {
    if (index < 0 || index >= lines.size())
        throw listIndexError(index);
    return lines[index];
}

} // namespace

TLumLanguageItem::TLumLanguageItem(TCollection* collection) : TCollectionItem(collection) {}

QString TLumLanguageItem::DisplayName() const {
    return m_language.isEmpty() ? QString::fromLatin1(metaObject()->className()) : m_language;
}

void TLumLanguageItem::Assign(const QObject* source) {
    const auto* other = qobject_cast<const TLumLanguageItem*>(source);
    if (!other)
        throw Exception(QStringLiteral("Cannot assign a %1 to a TLumLanguageItem")
                            .arg(source ? QString::fromLatin1(source->metaObject()->className())
                                        : QStringLiteral("nil")));
    m_language = other->m_language;
    m_lines = other->m_lines;
}

TLumLanguageCollection::TLumLanguageCollection(QObject* owner)
    : TCollection(owner, [](TCollection* c) { return new TLumLanguageItem(c); }) {}

TLumTranslator::TLumTranslator(QObject* owner, const QString& name)
    : QObject(owner), m_languages(new TLumLanguageCollection(this)) {
    setObjectName(name);
}

int TLumTranslator::ActiveLanguage() const {
    return m_activeLanguage >= 0 && m_activeLanguage < m_languages->Count() ? m_activeLanguage : -1;
}

void TLumTranslator::SetActiveLanguage(int value) {
    m_activeLanguage = value;
    if (OnLanguageChange)
        OnLanguageChange(this);
}

int TLumTranslator::IndexOfKey(const QString& key) const {
    for (qsizetype i = 0; i < m_items.size(); ++i) {
        if (m_items[i].compare(key, Qt::CaseInsensitive) == 0)
            return int(i);
    }
    return -1;
}

QString TLumTranslator::Translate(const QString& key, const QString& defaultText) const {
    const int i = IndexOfKey(key);
    if (i < 0)
        return defaultText;
    return lineAt(m_languages->Items(m_activeLanguage)->LinesRef(), i);
}

void TLumTranslator::Apply() {
    if (m_items.isEmpty())
        return;
    TLumLanguageItem* language = m_languages->Items(ActiveLanguage());
    for (qsizetype i = 0; i < m_items.size(); ++i)
        SetPropertyByPath(parent(), m_items[i], lineAt(language->LinesRef(), int(i)));
}

void TLumTranslator::SelectLanguage(const QString& name) {
    for (int i = 0; i < m_languages->Count(); ++i) {
        if (m_languages->Items(i)->Language() == name) {
            SetActiveLanguage(i);
            return;
        }
    }
}

QString TLumTranslator::GetActiveLanguageName() const {
    const int i = ActiveLanguage();
    return i < 0 ? QString() : m_languages->Items(i)->Language();
}

int TLumTranslator::AddKey(const QString& key, const QStringList& texts) {
    int index = IndexOfKey(key);
    if (index < 0) {
        m_items.append(key);
        index = int(m_items.size() - 1);
    }
    for (int l = 0; l < m_languages->Count(); ++l) {
        QStringList& lines = m_languages->Items(l)->LinesRef();
        const QString text = l < texts.size() ? texts[l] : QString();
        // A language short of lines is filled up, so every key keeps its own line.
        while (lines.size() <= index)
            lines.append(QString());
        lines[index] = text;
    }
    return index;
}

TLumLanguageItem* TLumTranslator::AddLanguage(const QString& name) {
    TLumLanguageItem* item = m_languages->Add();
    item->SetLanguage(name);
    QStringList lines;
    for (qsizetype i = 0; i < m_items.size(); ++i)
        lines.append(QString());
    item->SetLines(lines);
    return item;
}

TLumLanguageItem* TLumTranslator::FindOrAddLanguage(const QString& name) {
    for (int i = 0; i < m_languages->Count(); ++i) {
        if (m_languages->Items(i)->Language() == name)
            return m_languages->Items(i);
    }
    return AddLanguage(name);
}

void TLumTranslator::LoadLanguageFile(int languageIndex, const QString& fileName, QString sectionName) {
    if (sectionName.isEmpty() && parent())
        sectionName = QString::fromLatin1(parent()->metaObject()->className());
    const TIniFile file(fileName);
    TLumLanguageItem* language = m_languages->Items(languageIndex);
    for (const auto& [entry, unused] : file.ReadSectionValues(sectionName)) {
        int i = IndexOfKey(entry);
        if (i < 0)
            i = AddKey(entry);
        QString text = file.ReadString(sectionName, m_items[i], lineAt(language->LinesRef(), i));
        text.replace(QLatin1String("\\n"), QStringLiteral("\r"));
        text.replace(QLatin1String("\\r"), QStringLiteral("\n"));
        language->LinesRef()[i] = text;
    }
}

void TLumTranslator::LoadLanguage(const QString& languageName, const QString& fileName,
                                  const QString& sectionName) {
    if (languageName.isEmpty())
        return;
    TLumLanguageItem* language = FindOrAddLanguage(languageName);
    LoadLanguageFile(m_languages->IndexOf(language), fileName, sectionName);
}
