#include "TComboBox.h"

#include <QLineEdit>

TComboBox::TComboBox(QWidget* parent, const QString& name) : QComboBox(parent) {
    setObjectName(name);
    setEditable(true);
    setInsertPolicy(QComboBox::NoInsert);
}

void TComboBox::SetText(const QString& text) {
    setCurrentIndex(findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive));
    setEditText(text);
}

QStringList TComboBox::Items() const {
    QStringList items;
    for (int i = 0; i < count(); ++i)
        items << itemText(i);
    return items;
}

void TComboBox::SetItems(const QStringList& items) {
    const QString text = currentText();
    clear();
    addItems(items);
    SetText(text);
}
