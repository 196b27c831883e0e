#pragma once
// The desktop shell: opens an address in the user's browser or mail program.
#include <QString>

class TShell {
public:
    // False when no program took the address; nothing is shown to the user.
    static bool Open(const QString& address);
};
