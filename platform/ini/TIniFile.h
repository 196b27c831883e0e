#pragma once
// An INI file read and written in place. Section and key names compare without regard to case
// (Unicode too); values are kept exactly as written; lines that are not touched stay byte for
// byte, in file order. Every operation reads the file as it is on disk now, and every write is
// saved atomically before the call returns, so several objects over one file never lose updates.
#include <QString>
#include <QStringList>

#include <utility>

class TIniFile {
public:
    explicit TIniFile(QString fileName);

    const QString& FileName() const { return m_fileName; }

    QString ReadString(const QString& section, const QString& key, const QString& defaultValue) const;
    // A value that is missing or does not convert yields the default.
    int ReadInteger(const QString& section, const QString& key, int defaultValue) const;
    double ReadFloat(const QString& section, const QString& key, double defaultValue) const;
    bool ReadBool(const QString& section, const QString& key, bool defaultValue) const;

    // Raises Exception when the file cannot be written.
    void WriteString(const QString& section, const QString& key, const QString& value);
    void WriteInteger(const QString& section, const QString& key, int value);
    void WriteFloat(const QString& section, const QString& key, double value);
    void WriteBool(const QString& section, const QString& key, bool value);

    bool SectionExists(const QString& section) const;
    bool ValueExists(const QString& section, const QString& key) const;
    // Section names, and a section's keys or key/value pairs, in file order.
    QStringList ReadSections() const;
    QStringList ReadSection(const QString& section) const;
    QList<std::pair<QString, QString>> ReadSectionValues(const QString& section) const;

    void DeleteKey(const QString& section, const QString& key);
    void EraseSection(const QString& section);

    // Case-insensitive comparison used for section and key names.
    static bool SameName(const QString& a, const QString& b);

private:
    struct Line {
        QString text;    // the line as it is in the file, without its line break
        QString section; // set on a section header line
        QString key;     // set on a key line
        QString value;
        bool isSection = false;
        bool isKey = false;
    };
    struct Content {
        QList<Line> lines;
        QString lineBreak = QStringLiteral("\n");
        bool finalBreak = true;
    };

    Content load() const;
    void save(const Content& content) const;
    // The range [first, last) of a section's lines after its header; first = -1 when missing.
    static std::pair<qsizetype, qsizetype> sectionRange(const Content& content, const QString& section);
    static qsizetype findKey(const Content& content, const QString& section, const QString& key);
    static Line parse(const QString& text);

    QString m_fileName;
};
