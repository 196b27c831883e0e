#pragma once
// Version information of the running executable.
#include <QString>

class TVersionInfo {
public:
    // "major.minor.release.build", e.g. "0.1.0.0".
    static QString FileVersion();
    static QString ProductName() { return QStringLiteral("Marlinde"); }
    static QString ExecutablePath();
};
