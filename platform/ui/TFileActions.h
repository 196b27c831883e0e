#pragma once
// Actions that ask for a file in the common file dialog: TFileOpen for an existing file,
// TFileSaveAs for a file to write. The dialog starts at FileName; when it is confirmed, FileName
// holds the choice and OnAccept runs, otherwise OnCancel.
#include "TAction.h"

#include <QStringList>

#include <functional>

class QFileDialog;

class TFileDialogAction : public TAction {
    Q_OBJECT
    Q_PROPERTY(QString DialogTitle READ DialogTitle WRITE SetDialogTitle)
    Q_PROPERTY(QString DefaultExt READ DefaultExt WRITE SetDefaultExt)
    Q_PROPERTY(QString Filter READ Filter WRITE SetFilter)
    Q_PROPERTY(QString FileName READ FileName WRITE SetFileName)
    Q_PROPERTY(QString InitialDir READ InitialDir WRITE SetInitialDir)

public:
    using TNotifyEvent = std::function<void(QObject* sender)>;

    QString DialogTitle() const { return m_title; }
    void SetDialogTitle(const QString& value) { m_title = value; }
    // Added to a typed name without an extension (no dot).
    QString DefaultExt() const { return m_defaultExt; }
    void SetDefaultExt(const QString& value) { m_defaultExt = value; }
    // Pairs of description and patterns, "|" between all parts: "bak files|*.bak|All files|*.*".
    QString Filter() const { return m_filter; }
    void SetFilter(const QString& value) { m_filter = value; }
    QString FileName() const { return m_fileName; }
    void SetFileName(const QString& value) { m_fileName = value; }
    QString InitialDir() const { return m_initialDir; }
    void SetInitialDir(const QString& value) { m_initialDir = value; }

    // The filter as the file dialog lists it: "bak files (*.bak)", "All files (*)".
    static QStringList NameFilters(const QString& filter);

    // BeforeExecute, then the dialog; true when it was confirmed.
    bool Execute() override;
    bool HandlesTarget(QObject* target) override;
    void ExecuteTarget(QObject* target) override;

    TNotifyEvent BeforeExecute;
    TNotifyEvent OnAccept;
    TNotifyEvent OnCancel;

protected:
    explicit TFileDialogAction(QObject* owner, const QString& name);
    virtual void PrepareDialog(QFileDialog& dialog) = 0;

private:
    QString m_title;
    QString m_defaultExt;
    QString m_filter;
    QString m_fileName;
    QString m_initialDir;
    bool m_accepted = false;
};

class TFileOpen : public TFileDialogAction {
    Q_OBJECT

public:
    explicit TFileOpen(QObject* owner = nullptr, const QString& name = {});

protected:
    void PrepareDialog(QFileDialog& dialog) override;
};

class TFileSaveAs : public TFileDialogAction {
    Q_OBJECT

public:
    explicit TFileSaveAs(QObject* owner = nullptr, const QString& name = {});

protected:
    void PrepareDialog(QFileDialog& dialog) override;
};
