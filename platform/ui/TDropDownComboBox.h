#pragma once
// A combo box that tells its owner each time its list is about to open, so the list can be
// filled on demand. When OnDropDown raises, the error goes to the default handler and the list
// stays closed.
#include <QComboBox>

#include <functional>

class TDropDownComboBox : public QComboBox {
    Q_OBJECT

public:
    explicit TDropDownComboBox(QWidget* parent = nullptr) : QComboBox(parent) {}

    void showPopup() override;

    std::function<void()> OnDropDown;
};
