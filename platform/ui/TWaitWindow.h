#pragma once
// The window shown while the server keeps the program waiting: what runs where, the time so far
// and Cancel. It is application-modal, so no other window takes input while it shows.
#include "TServerWait.h"

#include <QDialog>

class QLabel;
class QPushButton;

class TWaitWindow : public QDialog, public TServerWait::Indicator {
    Q_OBJECT

public:
    explicit TWaitWindow(QWidget* parent = nullptr);
    ~TWaitWindow() override;

    void Show(const QString& text, std::function<void()> onCancel) override;
    void SetText(const QString& text) override;
    QString Text() const;

    // Makes the data layer show this window while it waits.
    static void Install();

    QLabel* lText;
    QPushButton* bCancel;

protected:
    void reject() override;

private:
    void cancel();

    std::function<void()> m_onCancel;
};
