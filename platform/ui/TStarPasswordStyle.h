#pragma once
// Shows each character of a password edit as "*".
#include <QProxyStyle>

class QLineEdit;

class TStarPasswordStyle : public QProxyStyle {
public:
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returnData) const override;

    // Puts edit into password mode with "*" as the echo character.
    static void Apply(QLineEdit* edit);
};
