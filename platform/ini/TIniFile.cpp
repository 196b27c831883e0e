#include "TIniFile.h"

#include "Exception.h"

#include <QFile>
#include <QSaveFile>

#include <algorithm>

TIniFile::TIniFile(QString fileName) : m_fileName(std::move(fileName)) {}

bool TIniFile::SameName(const QString& a, const QString& b) {
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

TIniFile::Line TIniFile::parse(const QString& text) {
    Line line;
    line.text = text;
    const QString t = text.trimmed();
    if (t.startsWith(QLatin1Char('[')) && t.endsWith(QLatin1Char(']'))) {
        line.isSection = true;
        line.section = t.mid(1, t.size() - 2).trimmed();
        return line;
    }
    if (t.startsWith(QLatin1Char(';')) || t.startsWith(QLatin1Char('#')))
        return line;
    const qsizetype eq = text.indexOf(QLatin1Char('='));
    if (eq <= 0)
        return line;
    line.key = text.left(eq).trimmed();
    if (line.key.isEmpty())
        return line;
    line.isKey = true;
    line.value = text.mid(eq + 1);
    return line;
}

TIniFile::Content TIniFile::load() const {
    Content content;
    QFile file(m_fileName);
    if (!file.open(QIODevice::ReadOnly))
        return content;
    QString text = QString::fromUtf8(file.readAll());
    if (text.startsWith(QChar(0xFEFF)))
        text.remove(0, 1);
    if (text.isEmpty())
        return content;
    if (text.contains(QLatin1String("\r\n")))
        content.lineBreak = QStringLiteral("\r\n");
    content.finalBreak = text.endsWith(QLatin1Char('\n'));
    QStringList lines = text.split(QLatin1Char('\n'));
    if (content.finalBreak)
        lines.removeLast();
    for (QString& l : lines) {
        if (l.endsWith(QLatin1Char('\r')))
            l.chop(1);
        content.lines.append(parse(l));
    }
    return content;
}

void TIniFile::save(const Content& content) const {
    QString text;
    for (qsizetype i = 0; i < content.lines.size(); ++i) {
        text += content.lines[i].text;
        if (i + 1 < content.lines.size() || content.finalBreak)
            text += content.lineBreak;
    }
    QSaveFile file(m_fileName);
    if (!file.open(QIODevice::WriteOnly) || file.write(text.toUtf8()) < 0 || !file.commit())
        throw Exception(QStringLiteral("Cannot write the file %1: %2").arg(m_fileName, file.errorString()));
}

std::pair<qsizetype, qsizetype> TIniFile::sectionRange(const Content& content, const QString& section) {
    const auto& lines = content.lines;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (!lines[i].isSection || !SameName(lines[i].section, section))
            continue;
        qsizetype end = i + 1;
        while (end < lines.size() && !lines[end].isSection)
            ++end;
        return {i + 1, end};
    }
    return {-1, -1};
}

qsizetype TIniFile::findKey(const Content& content, const QString& section, const QString& key) {
    const auto [first, last] = sectionRange(content, section);
    for (qsizetype i = first; i >= 0 && i < last; ++i) {
        if (content.lines[i].isKey && SameName(content.lines[i].key, key))
            return i;
    }
    return -1;
}

QString TIniFile::ReadString(const QString& section, const QString& key, const QString& defaultValue) const {
    const Content content = load();
    const qsizetype i = findKey(content, section, key);
    return i < 0 ? defaultValue : content.lines[i].value;
}

int TIniFile::ReadInteger(const QString& section, const QString& key, int defaultValue) const {
    const QString text = ReadString(section, key, QString()).trimmed();
    bool ok = false;
    const int value = text.toInt(&ok);
    if (ok)
        return value;
    // Hexadecimal in the "0x" notation is accepted as well.
    if (text.startsWith(QLatin1String("0x"), Qt::CaseInsensitive)) {
        const int hex = text.mid(2).toInt(&ok, 16);
        if (ok)
            return hex;
    }
    return defaultValue;
}

double TIniFile::ReadFloat(const QString& section, const QString& key, double defaultValue) const {
    bool ok = false;
    const double value = ReadString(section, key, QString()).trimmed().toDouble(&ok);
    return ok ? value : defaultValue;
}

bool TIniFile::ReadBool(const QString& section, const QString& key, bool defaultValue) const {
    return ReadInteger(section, key, defaultValue ? 1 : 0) != 0;
}

void TIniFile::WriteString(const QString& section, const QString& key, const QString& value) {
    Content content = load();
    const QString text = key + QLatin1Char('=') + value;
    const qsizetype i = findKey(content, section, key);
    if (i >= 0) {
        // The key keeps the spelling it has in the file.
        content.lines[i] = parse(content.lines[i].key + QLatin1Char('=') + value);
    } else {
        auto [first, last] = sectionRange(content, section);
        if (first < 0) {
            if (!content.lines.isEmpty() && !content.lines.last().text.trimmed().isEmpty())
                content.lines.append(parse(QString()));
            content.lines.append(parse(QLatin1Char('[') + section + QLatin1Char(']')));
            content.lines.append(parse(text));
        } else {
            // After the section's last key, before the blank lines that separate it from the next.
            qsizetype at = last;
            while (at > first && content.lines[at - 1].text.trimmed().isEmpty())
                --at;
            content.lines.insert(at, parse(text));
        }
    }
    content.finalBreak = true;
    save(content);
}

void TIniFile::WriteInteger(const QString& section, const QString& key, int value) {
    WriteString(section, key, QString::number(value));
}

void TIniFile::WriteFloat(const QString& section, const QString& key, double value) {
    WriteString(section, key, QString::number(value, 'g', 17));
}

void TIniFile::WriteBool(const QString& section, const QString& key, bool value) {
    WriteString(section, key, value ? QStringLiteral("1") : QStringLiteral("0"));
}

bool TIniFile::SectionExists(const QString& section) const {
    return sectionRange(load(), section).first >= 0;
}

bool TIniFile::ValueExists(const QString& section, const QString& key) const {
    return findKey(load(), section, key) >= 0;
}

QStringList TIniFile::ReadSections() const {
    QStringList names;
    for (const Line& l : load().lines) {
        if (!l.isSection)
            continue;
        const bool known =
            std::any_of(names.begin(), names.end(), [&](const QString& n) { return SameName(n, l.section); });
        if (!known)
            names.append(l.section);
    }
    return names;
}

QStringList TIniFile::ReadSection(const QString& section) const {
    QStringList keys;
    for (const auto& kv : ReadSectionValues(section))
        keys.append(kv.first);
    return keys;
}

QList<std::pair<QString, QString>> TIniFile::ReadSectionValues(const QString& section) const {
    const Content content = load();
    const auto [first, last] = sectionRange(content, section);
    QList<std::pair<QString, QString>> values;
    for (qsizetype i = first; i >= 0 && i < last; ++i) {
        if (content.lines[i].isKey)
            values.append({content.lines[i].key, content.lines[i].value});
    }
    return values;
}

void TIniFile::DeleteKey(const QString& section, const QString& key) {
    Content content = load();
    const qsizetype i = findKey(content, section, key);
    if (i < 0)
        return;
    content.lines.removeAt(i);
    save(content);
}

void TIniFile::EraseSection(const QString& section) {
    Content content = load();
    auto [first, last] = sectionRange(content, section);
    if (first < 0)
        return;
    content.lines.remove(first - 1, last - first + 1);
    save(content);
}
