#pragma once
// Shows the About box: the application title, a picture, a table of fields from the version
// resource of the running executable, and optionally a web link and a mail link.
#include <QFont>
#include <QObject>
#include <QPixmap>
#include <QStringList>

class TLumVersionDialog : public QObject {
    Q_OBJECT

public:
    // The ten string fields of a version resource, in their fixed order.
    enum TLumVersionInfo {
        viCompanyName = 0x1,
        viFileDescription = 0x2,
        viFileVersion = 0x4,
        viInternalName = 0x8,
        viLegalCopyright = 0x10,
        viLegalTradeMarks = 0x20,
        viOriginalFileName = 0x40,
        viProductName = 0x80,
        viProductVersion = 0x100,
        viComments = 0x200
    };
    Q_DECLARE_FLAGS(TLumVersionInfoSet, TLumVersionInfo)
    Q_FLAG(TLumVersionInfoSet)
    enum TLumVILanguage { vilEnglishUSA };
    Q_ENUM(TLumVILanguage)

private:
    Q_PROPERTY(TLumVersionDialog::TLumVersionInfoSet VersionInfo READ VersionInfo WRITE SetVersionInfo)
    Q_PROPERTY(QString CompanyNameCaption MEMBER m_companyNameCaption)
    Q_PROPERTY(QString FileDescriptionCaption MEMBER m_fileDescriptionCaption)
    Q_PROPERTY(QString FileVersionCaption MEMBER m_fileVersionCaption)
    Q_PROPERTY(QString InternalNameCaption MEMBER m_internalNameCaption)
    Q_PROPERTY(QString LegalCopyrightCaption MEMBER m_legalCopyrightCaption)
    Q_PROPERTY(QString LegalTradeMarksCaption MEMBER m_legalTradeMarksCaption)
    Q_PROPERTY(QString OriginalFileNameCaption MEMBER m_originalFileNameCaption)
    Q_PROPERTY(QString ProductNameCaption MEMBER m_productNameCaption)
    Q_PROPERTY(QString ProductVersionCaption MEMBER m_productVersionCaption)
    Q_PROPERTY(QString CommentsCaption MEMBER m_commentsCaption)
    Q_PROPERTY(TLumVersionDialog::TLumVILanguage Language MEMBER m_language)
    Q_PROPERTY(QString AboutDlgCaption MEMBER m_aboutDlgCaption)
    Q_PROPERTY(QString DlgVersionPageCaption MEMBER m_dlgVersionPageCaption)
    Q_PROPERTY(QFont DlgFont READ DlgFont WRITE SetDlgFont)
    Q_PROPERTY(QPixmap Picture READ Picture WRITE SetPicture)
    Q_PROPERTY(bool PictureShowBorder MEMBER m_pictureShowBorder)
    Q_PROPERTY(bool PictureStretched MEMBER m_pictureStretched)
    Q_PROPERTY(int DialogWidth MEMBER m_dialogWidth)
    Q_PROPERTY(int DialogHeight MEMBER m_dialogHeight)
    Q_PROPERTY(QString Link MEMBER m_link)
    Q_PROPERTY(QString LinkText MEMBER m_linkText)
    Q_PROPERTY(QString LinkCaption MEMBER m_linkCaption)
    Q_PROPERTY(bool LinkVisible MEMBER m_linkVisible)
    Q_PROPERTY(QString Mail MEMBER m_mail)
    Q_PROPERTY(QString MailText MEMBER m_mailText)
    Q_PROPERTY(QString MailCaption MEMBER m_mailCaption)

public:
    static constexpr int kFieldCount = 10;
    // The key of field i (0 = CompanyName ... 9 = Comments) in the version resource.
    static QString FieldKey(int i);

    explicit TLumVersionDialog(QObject* owner = nullptr, const QString& name = {});

    TLumVersionInfoSet VersionInfo() const { return m_versionInfo; }
    void SetVersionInfo(TLumVersionInfoSet value) { m_versionInfo = value; }
    QFont DlgFont() const { return m_dlgFont; }
    void SetDlgFont(const QFont& value) { m_dlgFont = value; }
    QPixmap Picture() const { return m_picture; }
    void SetPicture(const QPixmap& value) { m_picture = value; }
    // The label of field i.
    QString Caption(int i) const { return this->*captionMember(i); }
    void SetCaption(int i, const QString& value) { this->*captionMember(i) = value; }

    // Builds the information lines and shows the About window modally.
    void ShowDialog();
    // The lines "label=value" of the chosen fields in their fixed order, or the single line
    // "No version information found" when the executable has no version resource.
    void BuildInfoLines();
    // Reads the ten fields from the running executable; false when it has no version resource.
    bool ReadVersionInfo();
    QStringList InfoLines() const { return m_infoLines; }
    QString FieldValue(int i) const { return m_values[i]; }

    QString m_companyNameCaption;
    QString m_fileDescriptionCaption;
    QString m_fileVersionCaption;
    QString m_internalNameCaption;
    QString m_legalCopyrightCaption;
    QString m_legalTradeMarksCaption;
    QString m_originalFileNameCaption;
    QString m_productNameCaption;
    QString m_productVersionCaption;
    QString m_commentsCaption;
    TLumVILanguage m_language = vilEnglishUSA;
    QString m_aboutDlgCaption = QStringLiteral("About");
    QString m_dlgVersionPageCaption = QStringLiteral("Version Info");
    bool m_pictureShowBorder = true;
    bool m_pictureStretched = true;
    int m_dialogWidth = 450;
    int m_dialogHeight = 270;
    QString m_link;
    QString m_linkText;
    QString m_linkCaption = QStringLiteral("Link");
    bool m_linkVisible = false;
    QString m_mail;
    QString m_mailText;
    QString m_mailCaption = QStringLiteral("E-Mail");

private:
    static QString TLumVersionDialog::*captionMember(int i);

    TLumVersionInfoSet m_versionInfo;
    QFont m_dlgFont;
    QPixmap m_picture;
    QString m_values[kFieldCount];
    QStringList m_infoLines;
};

Q_DECLARE_OPERATORS_FOR_FLAGS(TLumVersionDialog::TLumVersionInfoSet)
