#pragma once
// A module's own connection component that works through the host's connection: it shares the
// main connection's session and never opens or closes a server connection of its own.
#include "TADOConnection.h"

#include <QPointer>

class TLumModuleADOConnection : public TADOConnection {
    Q_OBJECT

public:
    explicit TLumModuleADOConnection(QObject* owner = nullptr, const QString& name = {});

    TADOConnection* MainConnection() const { return m_mainConnection; }
    // Attaches to connection (following module connections to the real one at the end of the
    // chain), or detaches with nullptr.
    void SetMainConnection(TADOConnection* connection);

    // The main connection's state; false while detached.
    bool Connected() const override;
    // False detaches; true is ignored: the session is the main connection's.
    void SetConnected(bool value) override;
    void Open() override;
    void Close() override;

private:
    QPointer<TADOConnection> m_mainConnection;
};
