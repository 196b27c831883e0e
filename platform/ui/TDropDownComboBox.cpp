#include "TDropDownComboBox.h"

#include "TApplication.h"

void TDropDownComboBox::showPopup() {
    bool ok = true;
    if (OnDropDown) {
        try {
            OnDropDown();
        } catch (...) {
            ok = false;
            TApplication::HandleCurrentException();
        }
    }
    if (ok)
        QComboBox::showPopup();
}
