#include "TWaitWindow.h"

#include "TApplication.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

TWaitWindow::TWaitWindow(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("WaitWindow"));
    setWindowTitle(TApplication::CurrentTitle());
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    setWindowModality(Qt::ApplicationModal);
    lText = new QLabel(this);
    lText->setObjectName(QStringLiteral("lText"));
    lText->setMinimumWidth(260);
    bCancel = new QPushButton(QStringLiteral("Cancel"), this);
    bCancel->setObjectName(QStringLiteral("bCancel"));
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(bCancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lText);
    layout->addLayout(buttons);
    connect(bCancel, &QPushButton::clicked, this, [this] { cancel(); });
}

TWaitWindow::~TWaitWindow() = default;

void TWaitWindow::Show(const QString& text, std::function<void()> onCancel) {
    m_onCancel = std::move(onCancel);
    SetText(text);
    show();
    raise();
    activateWindow();
}

void TWaitWindow::SetText(const QString& text) {
    lText->setText(text);
}

QString TWaitWindow::Text() const {
    return lText->text();
}

void TWaitWindow::reject() {
    // Escape and the window's close box cancel as the button does; the window stays until the
    // call has ended.
    cancel();
}

void TWaitWindow::cancel() {
    if (!m_onCancel)
        return;
    bCancel->setEnabled(false);
    lText->setText(lText->text() + QStringLiteral("\nCancelling\u2026"));
    std::exchange(m_onCancel, nullptr)();
}

void TWaitWindow::Install() {
    TServerWait::SetIndicatorFactory(
        []() -> std::unique_ptr<TServerWait::Indicator> { return std::make_unique<TWaitWindow>(); });
}
