#pragma once
// Version information of the running executable. An executable carries a version resource when
// its CMake target called marlinde_version_resource(): string fields (CompanyName, FileVersion,
// ...) per language block, compiled into the binary from the project's settings.
#include <QString>

class TVersionInfo {
public:
    // "major.minor.release.build", e.g. "0.1.0.0".
    static QString FileVersion();
    static QString ProductName() { return QStringLiteral("Marlinde"); }
    static QString ExecutablePath();

    // True when the running executable has a version resource.
    static bool HasResource();
    // The field key of the language block (e.g. "040904E4"); false when the executable has no
    // resource or the block has no such field.
    static bool ReadString(const QString& languageBlock, const QString& key, QString& value);
};
