#pragma once
// An editable combo box whose typed text is a published property, so the settings storage can
// keep it ("name.Text").
#include <QComboBox>
#include <QStringList>

class TComboBox : public QComboBox {
    Q_OBJECT
    Q_PROPERTY(QString Text READ Text WRITE SetText)
    Q_PROPERTY(QStringList Items READ Items WRITE SetItems)

public:
    explicit TComboBox(QWidget* parent = nullptr, const QString& name = {});

    QString Text() const { return currentText(); }
    // Shows the text; the item of the same text (letter case counts) becomes the current one.
    void SetText(const QString& text);
    QStringList Items() const;
    void SetItems(const QStringList& items);
};
