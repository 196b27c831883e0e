#include "TStarPasswordStyle.h"

#include <QLineEdit>

int TStarPasswordStyle::styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                                  QStyleHintReturn* returnData) const {
    if (hint == SH_LineEdit_PasswordCharacter)
        return '*';
    return QProxyStyle::styleHint(hint, option, widget, returnData);
}

void TStarPasswordStyle::Apply(QLineEdit* edit) {
    edit->setEchoMode(QLineEdit::Password);
    auto* style = new TStarPasswordStyle;
    style->setParent(edit);
    edit->setStyle(style);
}
