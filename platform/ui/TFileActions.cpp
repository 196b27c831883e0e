#include "TFileActions.h"

#include <QApplication>
#include <QFileDialog>

TFileDialogAction::TFileDialogAction(QObject* owner, const QString& name) : TAction(owner, name) {}

QStringList TFileDialogAction::NameFilters(const QString& filter) {
    QStringList result;
    const QStringList parts = filter.split(QLatin1Char('|'));
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QStringList patterns = parts[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts);
        // "*.*" means every file, also one without a dot.
        for (QString& p : patterns) {
            if (p.trimmed() == QLatin1String("*.*"))
                p = QStringLiteral("*");
        }
        result << parts[i] + QStringLiteral(" (") + patterns.join(QLatin1Char(' ')) + QLatin1Char(')');
    }
    return result;
}

bool TFileDialogAction::Execute() {
    if (!isEnabled())
        return false;
    m_accepted = false;
    if (OnExecute)
        OnExecute(this);
    else
        ExecuteTarget(nullptr);
    return m_accepted;
}

bool TFileDialogAction::HandlesTarget(QObject*) {
    return true;
}

void TFileDialogAction::ExecuteTarget(QObject*) {
    m_accepted = false;
    if (BeforeExecute)
        BeforeExecute(this);
    QFileDialog dialog(QApplication::activeWindow());
    if (!m_title.isEmpty())
        dialog.setWindowTitle(m_title);
    dialog.setDefaultSuffix(m_defaultExt);
    const QStringList filters = NameFilters(m_filter);
    if (!filters.isEmpty())
        dialog.setNameFilters(filters);
    if (!m_initialDir.isEmpty())
        dialog.setDirectory(m_initialDir);
    PrepareDialog(dialog);
    if (!m_fileName.isEmpty())
        dialog.selectFile(m_fileName);
    if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty()) {
        m_fileName = dialog.selectedFiles().constFirst();
        m_accepted = true;
        if (OnAccept)
            OnAccept(this);
    } else if (OnCancel) {
        OnCancel(this);
    }
}

TFileOpen::TFileOpen(QObject* owner, const QString& name) : TFileDialogAction(owner, name) {
    SetCaption(QStringLiteral("&Open..."));
}

void TFileOpen::PrepareDialog(QFileDialog& dialog) {
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
}

TFileSaveAs::TFileSaveAs(QObject* owner, const QString& name) : TFileDialogAction(owner, name) {
    SetCaption(QStringLiteral("Save &As..."));
}

void TFileSaveAs::PrepareDialog(QFileDialog& dialog) {
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    // No question about an existing file: what writing to it means is the caller's business.
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
}
