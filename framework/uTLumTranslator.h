#pragma once
// The texts of a window in several languages, switchable while the program runs. Keys are either
// property paths into the owner form ("aAbout.Caption", "TfBrinLogin.Caption") that Apply fills,
// or plain names whose texts the code fetches with Translate. Line i of every language is the
// text of key i.
#include "TCollection.h"

#include <QObject>
#include <QStringList>

#include <functional>

// One language: its name and one text per key of the translator.
class TLumLanguageItem : public TCollectionItem {
    Q_OBJECT
    Q_PROPERTY(QString Language READ Language WRITE SetLanguage)
    Q_PROPERTY(QStringList Lines READ Lines WRITE SetLines)

public:
    explicit TLumLanguageItem(TCollection* collection);

    QString Language() const { return m_language; }
    void SetLanguage(const QString& value) { m_language = value; }
    QStringList Lines() const { return m_lines; }
    void SetLines(const QStringList& value) { m_lines = value; }
    QStringList& LinesRef() { return m_lines; }

    // The name shown for the item: Language, or the class name while it is empty.
    QString DisplayName() const;
    void SetDisplayName(const QString& value) { m_language = value; }
    // Copies Language and Lines from another language item; any other source raises.
    void Assign(const QObject* source);

private:
    QString m_language;
    QStringList m_lines;
};

class TLumLanguageCollection : public TCollection {
    Q_OBJECT

public:
    explicit TLumLanguageCollection(QObject* owner);
    // Raises the list-index error outside 0 .. Count() - 1.
    TLumLanguageItem* Items(int index) const {
        return static_cast<TLumLanguageItem*>(TCollection::Items(index));
    }
    TLumLanguageItem* Add() { return static_cast<TLumLanguageItem*>(TCollection::Add()); }
};

class TLumTranslator : public QObject {
    Q_OBJECT
    Q_PROPERTY(QStringList Items READ Items WRITE SetItems)
    Q_PROPERTY(TLumLanguageCollection* Languages READ Languages)
    Q_PROPERTY(int ActiveLanguage READ ActiveLanguage WRITE SetActiveLanguage)

public:
    using TNotifyEvent = std::function<void(TLumTranslator* sender)>;

    // owner is the form whose properties Apply sets.
    explicit TLumTranslator(QObject* owner = nullptr, const QString& name = {});

    QStringList Items() const { return m_items; }
    void SetItems(const QStringList& value) { m_items = value; }
    TLumLanguageCollection* Languages() const { return m_languages; }
    // -1 when there are no languages or the stored index is outside them.
    int ActiveLanguage() const;
    // Stores the index unchecked and always fires OnLanguageChange, also for the same value.
    void SetActiveLanguage(int value);

    // The key's text in the stored active language, or defaultText for an unknown key (letter
    // case of keys ignored). Raises the list-index error when that language or line is missing.
    QString Translate(const QString& key, const QString& defaultText = {}) const;
    // Writes every key's text of the active language along the key's path into the owner.
    void Apply();
    // Activates the first language called exactly name; nothing happens when there is none.
    void SelectLanguage(const QString& name);
    QString GetActiveLanguageName() const;
    // Adds the key (or overwrites its texts): texts[i] for language i, empty where missing.
    int AddKey(const QString& key, const QStringList& texts = {});
    TLumLanguageItem* AddLanguage(const QString& name);
    TLumLanguageItem* FindOrAddLanguage(const QString& name);
    // Merges one section of a language file (key = text; \n is a carriage return, \r a line
    // feed) into the language at languageIndex. An empty section means the owner's class name.
    void LoadLanguageFile(int languageIndex, const QString& fileName, QString sectionName);
    void LoadLanguage(const QString& languageName, const QString& fileName, const QString& sectionName);

    // The index of key among Items, letter case ignored; -1 when absent.
    int IndexOfKey(const QString& key) const;

    TNotifyEvent OnLanguageChange;

private:
    QStringList m_items;
    TLumLanguageCollection* m_languages;
    int m_activeLanguage = 0;
};
