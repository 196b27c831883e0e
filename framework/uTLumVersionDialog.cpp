#include "uTLumVersionDialog.h"

#include "TVersionInfo.h"
#include "ufAbout.h"

#include <QApplication>
#include <QFrame>
#include <QTabWidget>

#include <memory>

namespace {

const char* const kKeys[TLumVersionDialog::kFieldCount] = {
    "CompanyName",     "FileDescription",  "FileVersion", "InternalName",   "LegalCopyright",
    "LegalTradeMarks", "OriginalFileName", "ProductName", "ProductVersion", "Comments"};

const char* const kCaptions[TLumVersionDialog::kFieldCount] = {
    "Company Name",      "File Description",   "File Version", "Internal Name",   "Legal Copyright",
    "Legal Trade Marks", "Original File Name", "Product Name", "Product Version", "Comments"};

QString languageBlock(TLumVersionDialog::TLumVILanguage) {
    return QStringLiteral("040904E4"); // U.S. English, code page 1252: the only language
}

} // namespace

QString TLumVersionDialog::*TLumVersionDialog::captionMember(int i) {
    static QString TLumVersionDialog::*const members[kFieldCount] = {
        &TLumVersionDialog::m_companyNameCaption,      &TLumVersionDialog::m_fileDescriptionCaption,
        &TLumVersionDialog::m_fileVersionCaption,      &TLumVersionDialog::m_internalNameCaption,
        &TLumVersionDialog::m_legalCopyrightCaption,   &TLumVersionDialog::m_legalTradeMarksCaption,
        &TLumVersionDialog::m_originalFileNameCaption, &TLumVersionDialog::m_productNameCaption,
        &TLumVersionDialog::m_productVersionCaption,   &TLumVersionDialog::m_commentsCaption};
    return members[i];
}

QString TLumVersionDialog::FieldKey(int i) {
    return QString::fromLatin1(kKeys[i]);
}

TLumVersionDialog::TLumVersionDialog(QObject* owner, const QString& name) : QObject(owner) {
    setObjectName(name);
    for (int i = 0; i < kFieldCount; ++i)
        SetCaption(i, QString::fromLatin1(kCaptions[i]));
    m_versionInfo = TLumVersionInfoSet(viCompanyName) | viFileVersion | viProductName | viProductVersion;
    m_dlgFont = QApplication::font();
}

bool TLumVersionDialog::ReadVersionInfo() {
    if (!TVersionInfo::HasResource())
        return false;
    for (int i = 0; i < kFieldCount; ++i) {
        QString value;
        if (TVersionInfo::ReadString(languageBlock(m_language), FieldKey(i), value))
            m_values[i] = value; // an absent field keeps what an earlier read gave
    }
    return true;
}

void TLumVersionDialog::BuildInfoLines() {
    m_infoLines.clear();
    if (!ReadVersionInfo()) {
        m_infoLines.append(QStringLiteral("No version information found"));
        return;
    }
    for (int i = 0; i < kFieldCount; ++i) {
        if (m_versionInfo.testFlag(TLumVersionInfo(1 << i)))
            m_infoLines.append(Caption(i) + QLatin1Char('=') + m_values[i]);
    }
}

void TLumVersionDialog::ShowDialog() {
    BuildInfoLines();
    auto form = std::make_unique<TfAbout>();
    form->SetCaption(m_aboutDlgCaption);
    form->setFont(m_dlgFont);
    form->Image->setScaledContents(m_pictureStretched);
    form->Image->setPixmap(m_picture);
    form->Bevel2->setFrameShape(m_pictureShowBorder ? QFrame::Box : QFrame::NoFrame);
    form->PageControl->setTabText(0, m_dlgVersionPageCaption);
    form->SetInfoLines(m_infoLines);
    form->SetOuterSize(m_dialogWidth, m_dialogHeight);
    form->LinkTarget = m_link;
    form->lLink->setText(m_linkText.isEmpty() ? m_link : m_linkText);
    form->lLinkCaption->setText(m_linkCaption);
    form->LinkRowVisible = m_linkVisible;
    form->MailTarget = m_mail;
    form->lMail->setText(m_mailText.isEmpty() ? m_mail : m_mailText);
    form->lMailCaption->setText(m_mailCaption);
    form->ShowModal();
}
