#include "uTLumModuleADOConnection.h"

TLumModuleADOConnection::TLumModuleADOConnection(QObject* owner, const QString& name)
    : TADOConnection(owner) {
    setObjectName(name);
    SetLoginPrompt(false);
}

void TLumModuleADOConnection::SetMainConnection(TADOConnection* connection) {
    while (auto* module = qobject_cast<TLumModuleADOConnection*>(connection))
        connection = module->MainConnection();
    m_mainConnection = connection;
    // The main connection makes its session object when it first opens; made now, both share
    // the session whenever it opens.
    if (connection && !connection->ConnectionObject())
        connection->SetConnectionObject(std::make_shared<TConnectionObject>());
    SetConnectionObject(connection ? connection->ConnectionObject() : nullptr);
}

bool TLumModuleADOConnection::Connected() const {
    return m_mainConnection && m_mainConnection->Connected();
}

void TLumModuleADOConnection::SetConnected(bool value) {
    if (!value)
        SetMainConnection(nullptr);
}

void TLumModuleADOConnection::Open() {
    // The main connection's owner opens the session; a module never does.
}

void TLumModuleADOConnection::Close() {
    SetConnected(false);
}
