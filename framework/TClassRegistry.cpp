#include "TClassRegistry.h"

#include "Exception.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QGroupBox>
#include <QHash>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSplitter>
#include <QTableView>
#include <QTextEdit>
#include <QToolButton>
#include <QTreeView>

namespace {

QHash<QString, TClassRegistry::TFactory>& factories() {
    static QHash<QString, TClassRegistry::TFactory> map;
    static bool standard = false;
    if (!standard) {
        standard = true;
        // The toolkit's own controls, known from the start.
        TClassRegistry::Register<QWidget>();
        TClassRegistry::Register<QFrame>();
        TClassRegistry::Register<QLabel>();
        TClassRegistry::Register<QPushButton>();
        TClassRegistry::Register<QToolButton>();
        TClassRegistry::Register<QLineEdit>();
        TClassRegistry::Register<QComboBox>();
        TClassRegistry::Register<QCheckBox>();
        TClassRegistry::Register<QGroupBox>();
        TClassRegistry::Register<QTextEdit>();
        TClassRegistry::Register<QPlainTextEdit>();
        TClassRegistry::Register<QTableView>();
        TClassRegistry::Register<QTreeView>();
        TClassRegistry::Register<QListView>();
        TClassRegistry::Register<QSplitter>();
    }
    return map;
}

} // namespace

void TClassRegistry::Add(const QString& className, TFactory factory) {
    factories().insert(className, std::move(factory));
}

bool TClassRegistry::IsRegistered(const QString& className) {
    return factories().contains(className);
}

QObject* TClassRegistry::Create(const QString& className, QObject* owner) {
    const auto f = factories().constFind(className);
    if (f == factories().constEnd())
        throw Exception(QStringLiteral("Class %1 not found").arg(className));
    return (*f)(owner);
}
