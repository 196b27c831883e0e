#include "uComponentUtils.h"

#include "Exception.h"
#include "TApplication.h"
#include "TClassRegistry.h"
#include "TCollection.h"
#include "TForm.h"
#include "TMessageBox.h"
#include "TShell.h"

#include <QAbstractItemView>
#include <QBoxLayout>
#include <QMetaProperty>
#include <QRegularExpression>
#include <QWidget>

#include <memory>

void OpenURL(const QString& url) {
    TShell::Open(CompleteURL(url));
}

QString CompleteURL(const QString& url) {
    static const QString prefix = QStringLiteral("http://");
    return url.startsWith(prefix, Qt::CaseInsensitive) ? url : prefix + url;
}

void SplitString(const QString& separator, const QString& text, QStringList& list) {
    if (text.isEmpty())
        return;
    qsizetype p = 0;
    do {
        qsizetype m = separator.isEmpty() ? -1 : text.indexOf(separator, p);
        if (m < 0)
            m = text.size();
        list.append(text.mid(p, m - p));
        p = m + separator.size();
    } while (p < text.size());
}

void SplitByChars(const QString& delimiters, const QString& text, QStringList& list) {
    qsizetype start = 0;
    for (qsizetype i = 0; i <= text.size(); ++i) {
        if (i == text.size() || delimiters.contains(text[i])) {
            list.append(text.mid(start, i - start));
            start = i + 1;
        }
    }
}

void ShowInfo(const QString& text) {
    MessageDlg(text, mtInformation, mbOK, TApplication::CurrentTitle());
}

void ShowError(const QString& text) {
    MessageDlg(text, mtError, mbOK, TApplication::CurrentTitle());
}

bool ConfirmBox(const QString& text) {
    return MessageDlg(text, mtConfirmation, mbOK | mbCancel, TApplication::CurrentTitle()) == mrOk;
}

namespace {

QMetaProperty findOwnProperty(const QObject* instance, const QString& name) {
    const QMetaObject* meta = instance->metaObject();
    for (int i = 0; i < meta->propertyCount(); ++i) {
        const QMetaProperty p = meta->property(i);
        if (QString::fromLatin1(p.name()).compare(name, Qt::CaseInsensitive) == 0)
            return p;
    }
    return QMetaProperty();
}

// A property by name; Qt's own widgets answer to the component model's names too: a label's or
// button's Caption is its text (a group box's its title), a Hint is the tool tip.
QMetaProperty findProperty(const QObject* instance, const QString& name) {
    QMetaProperty p = findOwnProperty(instance, name);
    if (p.isValid())
        return p;
    if (name.compare(QLatin1String("Caption"), Qt::CaseInsensitive) == 0) {
        for (const char* alias : {"text", "title", "windowTitle"}) {
            p = findOwnProperty(instance, QString::fromLatin1(alias));
            if (p.isValid())
                return p;
        }
    } else if (name.compare(QLatin1String("Hint"), Qt::CaseInsensitive) == 0) {
        return findOwnProperty(instance, QStringLiteral("toolTip"));
    }
    return QMetaProperty();
}

QObject* objectProperty(QObject* instance, const QString& name) {
    const QMetaProperty p = findProperty(instance, name);
    if (!p.isValid())
        throw Exception(QStringLiteral("Property %1 does not exist").arg(name));
    if (!(p.metaType().flags() & QMetaType::PointerToQObject))
        return nullptr;
    return p.read(instance).value<QObject*>();
}

} // namespace

bool SetStringProperty(QObject* instance, const QString& propName, const QString& value) {
    if (!instance)
        return false;
    const QMetaProperty p = findProperty(instance, propName);
    if (!p.isValid() || !p.isWritable())
        return false;
    if (p.metaType().id() == QMetaType::QString)
        return p.write(instance, value);
    if (p.metaType().id() == QMetaType::QStringList) {
        QStringList lines = value.split(QRegularExpression(QStringLiteral("\r\n|\r|\n")));
        if (!value.isEmpty() && lines.last().isEmpty())
            lines.removeLast();
        if (value.isEmpty())
            lines.clear();
        return p.write(instance, lines);
    }
    return false;
}

void ResolvePropertyPath(QObject* root, const QString& path, QObject*& instance, QString& propName) {
    instance = nullptr;
    propName.clear();
    if (!root || !path.contains(QLatin1Char('.')))
        return;
    QStringList segments;
    SplitString(QStringLiteral("."), path, segments);
    if (segments.size() < 2)
        return;
    QObject* current = nullptr;
    if (segments[0].compare(QString::fromLatin1(root->metaObject()->className()), Qt::CaseInsensitive) == 0)
        current = root;
    else
        current = TForm::FindComponentIn(root, segments[0]);
    static const QString items = QStringLiteral("Items[");
    for (qsizetype i = 1; i + 1 < segments.size() && current; ++i) {
        const QString& s = segments[i];
        auto* collection = qobject_cast<TCollection*>(current);
        if (collection && s.startsWith(items, Qt::CaseInsensitive)) {
            const QString digits = s.mid(items.size(), s.size() - items.size() - 1);
            bool ok = false;
            const int n = digits.toInt(&ok);
            if (!ok)
                throw Exception(QStringLiteral("'%1' is not a valid integer value").arg(digits));
            current = collection->Items(n);
        } else {
            current = objectProperty(current, s);
        }
    }
    if (current) {
        instance = current;
        propName = segments.last();
    }
}

bool SetPropertyByPath(QObject* root, const QString& path, const QString& value) {
    QObject* instance = nullptr;
    QString propName;
    ResolvePropertyPath(root, path, instance, propName);
    return instance && SetStringProperty(instance, propName, value);
}

QString MakeUniqueName(const QObject* owner, const QString& name) {
    QString result = name;
    for (int n = 1; !name.isEmpty() && TForm::FindComponentIn(owner, result); ++n)
        result = QStringLiteral("%1%2").arg(name).arg(n);
    return result;
}

QObject* OwnerOf(const QWidget* control) {
    for (QWidget* w = control ? control->parentWidget() : nullptr; w; w = w->parentWidget()) {
        if (qobject_cast<TForm*>(w) || w->isWindow())
            return w;
    }
    return nullptr;
}

namespace {

// Named child controls are the control's own parts; unnamed ones (and Qt's "qt_" helpers)
// belong to the widget's inner working and are made by its class.
bool isOwnChild(const QWidget* w) {
    return !w->objectName().isEmpty() && !w->objectName().startsWith(QLatin1String("qt_"));
}

void registerCheck(const QWidget* control) {
    const QString name = QString::fromLatin1(control->metaObject()->className());
    if (!TClassRegistry::IsRegistered(name))
        throw Exception(QStringLiteral("Class %1 not found").arg(name));
    for (QWidget* child : control->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
        if (isOwnChild(child))
            registerCheck(child);
    }
}

void copyProperties(const QObject* from, QObject* to) {
    const QMetaObject* meta = from->metaObject();
    for (int i = 0; i < meta->propertyCount(); ++i) {
        const QMetaProperty p = meta->property(i);
        if (!p.isWritable() || !p.isStored() || !p.isDesignable() || qstrcmp(p.name(), "objectName") == 0)
            continue;
        p.write(to, p.read(from));
    }
    for (const QByteArray& name : from->dynamicPropertyNames())
        to->setProperty(name.constData(), from->property(name.constData()));
}

QWidget* cloneTree(const QWidget* control, QObject* owner, QWidget* parent) {
    std::unique_ptr<QObject> made(
        TClassRegistry::Create(QString::fromLatin1(control->metaObject()->className()), parent));
    auto* copy = qobject_cast<QWidget*>(made.get());
    if (!copy)
        throw Exception(QStringLiteral("Class %1 is not a control").arg(control->metaObject()->className()));
    copyProperties(control, copy);
    if (auto* view = qobject_cast<const QAbstractItemView*>(control))
        static_cast<QAbstractItemView*>(copy)->setModel(view->model());
    copy->setObjectName(MakeUniqueName(owner, control->objectName()));
    made.release();
    QBoxLayout* sourceLayout = qobject_cast<QBoxLayout*>(control->layout());
    QBoxLayout* layout = nullptr;
    if (sourceLayout) {
        layout = new QBoxLayout(sourceLayout->direction(), copy);
        layout->setContentsMargins(sourceLayout->contentsMargins());
        layout->setSpacing(sourceLayout->spacing());
    }
    for (QWidget* child : control->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
        if (!isOwnChild(child))
            continue;
        QWidget* childCopy = cloneTree(child, owner, copy);
        if (layout && sourceLayout->indexOf(child) >= 0)
            layout->addWidget(childCopy, sourceLayout->stretch(sourceLayout->indexOf(child)));
    }
    copy->setVisible(!control->isHidden());
    return copy;
}

} // namespace

QObject* CloneComponent(QWidget* control, QObject* owner, QWidget* parent) {
    registerCheck(control);
    return cloneTree(control, owner ? owner : parent, parent);
}

QObject* CloneControl(QWidget* control) {
    return CloneComponent(control, OwnerOf(control), control->parentWidget());
}
