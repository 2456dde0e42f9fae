#pragma once

#include <QString>

// The program's name, version and maker, as the about box shows them. One object
// per process, built from the data the build stamps into the program.
class OvVersionInfo
{
public:
    // The process-wide object, built on first use (thread-safe).
    static const OvVersionInfo& instance();

    // Raw values as the build delivers them; an empty value is an absent one.
    OvVersionInfo(const QString& productName, const QString& productVersion, const QString& fileVersion,
                  const QString& companyName, const QString& legalCopyright, const QString& description);

    // The leading part of the product version up to its first ".", then ".", then
    // the whole file version: 1.0.0.1128 and 0.0.1128.6124 give 1.0.0.1128.6124.
    // Empty when either part is absent.
    static QString composeVersionText(const QString& productVersion, const QString& fileVersion);

    QString productName() const { return m_productName; }
    QString versionText() const { return m_versionText; }
    QString companyName() const { return m_companyName; }
    QString legalCopyright() const { return m_legalCopyright; }
    QString description() const { return m_description; }

    // Fixed texts chosen when the program is built.
    static QString companyAddress();
    static QString companyTelephone();
    static QString companyMail();

private:
    QString m_productName;
    QString m_versionText;
    QString m_companyName;
    QString m_legalCopyright;
    QString m_description;
};
