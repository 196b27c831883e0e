#include "TParameters.h"

#include "EDatabaseError.h"

TParameter* TParameters::FindParam(const QString& name) const {
    for (const auto& p : m_items) {
        if (p->Name().compare(name, Qt::CaseInsensitive) == 0)
            return p.get();
    }
    return nullptr;
}

TParameter& TParameters::ParamByName(const QString& name) const {
    TParameter* p = FindParam(name);
    if (p == nullptr)
        throw EDatabaseError(QStringLiteral("Parameter '%1' not found").arg(name));
    return *p;
}

TParameter& TParameters::AddParameter(const QString& name) {
    m_items.push_back(std::make_unique<TParameter>(name));
    return *m_items.back();
}

void TParameters::Rebuild(const QStringList& names) {
    std::vector<std::unique_ptr<TParameter>> old = std::move(m_items);
    m_items.clear();
    for (const QString& name : names) {
        auto it = std::find_if(old.begin(), old.end(), [&](const auto& p) {
            return p && p->Name().compare(name, Qt::CaseInsensitive) == 0;
        });
        if (it != old.end())
            m_items.push_back(std::move(*it));
        else
            m_items.push_back(std::make_unique<TParameter>(name));
    }
}
