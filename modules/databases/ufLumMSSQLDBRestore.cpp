// The databases module's restore and user re-creation.
#include "ufLumMSSQLDB.h"

#include "Exception.h"
#include "TADOConnection.h"
#include "TADOQuery.h"
#include "TADORecordset.h"
#include "TAction.h"
#include "TApplication.h"
#include "TComboBox.h"
#include "TFileActions.h"
#include "TMessageBox.h"
#include "TSqlIdentifier.h"
#include "uComponentUtils.h"
#include "uTLumCustomModuleAction.h"
#include "uTLumDBListView.h"
#include "uTLumModuleADOConnection.h"
#include "uWaitCursor.h"

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QToolButton>

namespace {

// The extension of a server file name: from its last dot when no directory separator follows it.
QString extensionOf(const QString& physicalName) {
    const qsizetype dot = physicalName.lastIndexOf(QLatin1Char('.'));
    const qsizetype separator =
        qMax(physicalName.lastIndexOf(QLatin1Char('\\')), physicalName.lastIndexOf(QLatin1Char('/')));
    return dot >= 0 && dot > separator ? physicalName.mid(dot) : QString();
}

} // namespace

QString TfLumMSSQLDB::RestoreStatement(const QString& name, const QString& file, const QString& directory,
                                       const QList<QPair<QString, QString>>& files) {
    const QString crlf = QStringLiteral("\r\n");
    QString moves;
    for (int i = 0; i < files.size(); ++i) {
        if (!moves.isEmpty())
            moves += QStringLiteral(", ") + crlf;
        // The database name is part of the file name here, never a quoted name.
        const QString target =
            directory + QLatin1Char('\\') + name + QString::number(i) + extensionOf(files[i].second);
        moves += QStringLiteral("MOVE ") + TSqlIdentifier::StringLiteral(files[i].first) +
                 QStringLiteral(" TO ") + TSqlIdentifier::StringLiteral(target) + QLatin1Char(' ');
    }
    return QStringLiteral("use master") + crlf + QStringLiteral("RESTORE DATABASE ") +
           TSqlIdentifier::Quote(name) + crlf + QStringLiteral(" FROM DISK = ") +
           TSqlIdentifier::StringLiteral(file) + QLatin1Char(' ') + crlf + QStringLiteral(" WITH ") + crlf +
           moves + crlf;
}

void TfLumMSSQLDB::aRestoreBeforeExecute() {
    eRestoreFile->setEnabled(true);
    QPalette palette = eRestoreFile->palette();
    palette.setColor(QPalette::Base, QApplication::palette().color(QPalette::Base));
    eRestoreFile->setPalette(palette);
    sbRestoreFile->show();
    cbRestoreName->clear();
    if (!qDB->Active() || qDB->IsEmpty())
        return;
    const TBookmark current = qDB->GetBookmark();
    dblv->BeginUpdate();
    try {
        QStringList names;
        for (qDB->First(); !qDB->Eof(); qDB->Next())
            names << qDB->FieldByName(QStringLiteral("name"))->AsString();
        cbRestoreName->addItems(names);
        qDB->GotoBookmark(current);
        cbRestoreName->SetText(SelectedDatabase());
    } catch (...) {
        dblv->EndUpdate();
        throw;
    }
    dblv->EndUpdate();
}

void TfLumMSSQLDB::aRestoreBeforeOk(bool&) {
    if (cbRestoreName->Text().trimmed().isEmpty())
        throw Exception(QStringLiteral("Fill DB-name."));
    if (eRestoreFile->text().trimmed().isEmpty())
        throw Exception(QStringLiteral("Choose backup file."));
    if (eRestoreDir->text().trimmed().isEmpty())
        throw Exception(QStringLiteral("Select directory to restore DB."));
}

void TfLumMSSQLDB::aRestoreFileAccept() {
    eRestoreFile->setText(aRestoreFile->FileName());
}

void TfLumMSSQLDB::aRestoreOk() {
    const QString file = eRestoreFile->text();
    const QString directory = eRestoreDir->text();
    const QString name = cbRestoreName->Text();

    QList<QPair<QString, QString>> files;
    {
        const auto list = cADO->Execute(QStringLiteral("restore filelistonly from disk = ") +
                                        TSqlIdentifier::StringLiteral(file));
        const int logical = list->FieldIndex(QStringLiteral("LogicalName"));
        const int physical = list->FieldIndex(QStringLiteral("PhysicalName"));
        if (logical < 0 || physical < 0)
            throw Exception(QStringLiteral("The server sent no file list for \"%1\".").arg(file));
        for (list->MoveFirst(); !list->Eof(); list->MoveNext())
            files.append({list->Fields(logical).Text(), list->Fields(physical).Text()});
    }
    const QString statement = RestoreStatement(name, file, directory, files);

    if (cbRestoreSQLOnly->isChecked()) {
        MessageDlg(statement, mtCustom, mbOK, TApplication::CurrentTitle());
    } else {
        // The session goes back to where it was (the database the main window shows) at the end.
        const QString previous = CurrentDatabase();
        try {
            TWaitCursor wait;
            cADO->Execute(statement, TADOConnection::cmdText, TADOConnection::eoExecuteNoRecords);
            try {
                if (ConfirmRecreateUsers(name))
                    RecreateUsers(name);
            } catch (...) {
                // The restore is done all the same; the users can be re-created again later.
            }
            UseDatabase(name);
        } catch (...) {
            ReturnToDatabase(previous);
            throw;
        }
        UseDatabase(previous);
        ShowInfo(QStringLiteral("Database \"%1\" restored.").arg(name));
    }
    RefreshAndNotify();
}

bool TfLumMSSQLDB::ConfirmRecreateUsers(const QString& database) {
    return ConfirmBox(aUserRecreate->Caption() + QStringLiteral(" for db \"") + database +
                      QStringLiteral("\"?"));
}

void TfLumMSSQLDB::RecreateUsers(const QString& database) {
    QStringList batch = qUserRecreate->SQL();
    batch[0] = QStringLiteral("use ") + TSqlIdentifier::Quote(database);
    qUserRecreate->SetSQL(batch);
    qUserRecreate->ExecSQL();
}

void TfLumMSSQLDB::aUserRecreateExecute() {
    const QString database = SelectedDatabase();
    if (!ConfirmRecreateUsers(database))
        return;
    const QString previous = CurrentDatabase();
    try {
        RecreateUsers(database);
    } catch (...) {
        ReturnToDatabase(previous);
        throw;
    }
    UseDatabase(previous);
}

void TfLumMSSQLDB::ReturnToDatabase(const QString& database) {
    try {
        UseDatabase(database);
    } catch (...) {
        // After a failure, that failure is the one to report.
    }
}
