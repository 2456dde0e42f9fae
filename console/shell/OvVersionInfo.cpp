#include "OvVersionInfo.h"

#include "OvBuildInfo.h"

const OvVersionInfo& OvVersionInfo::instance()
{
    static const OvVersionInfo info(QStringLiteral(OV_PRODUCT_NAME), QStringLiteral(OV_PRODUCT_VERSION),
                                    QStringLiteral(OV_FILE_VERSION), QStringLiteral(OV_COMPANY_NAME),
                                    QStringLiteral(OV_LEGAL_COPYRIGHT), QStringLiteral(OV_FILE_DESCRIPTION));
    return info;
}

OvVersionInfo::OvVersionInfo(const QString& productName, const QString& productVersion,
                             const QString& fileVersion, const QString& companyName,
                             const QString& legalCopyright, const QString& description)
    : m_productName(productName),
      m_versionText(composeVersionText(productVersion, fileVersion)),
      m_companyName(companyName),
      m_legalCopyright(legalCopyright),
      m_description(description)
{
}

QString OvVersionInfo::composeVersionText(const QString& productVersion, const QString& fileVersion)
{
    if (productVersion.isEmpty() || fileVersion.isEmpty())
        return QString();
    const int dot = productVersion.indexOf(QLatin1Char('.'));
    const QString major = dot < 0 ? productVersion : productVersion.left(dot);
    return major + QLatin1Char('.') + fileVersion;
}

QString OvVersionInfo::companyAddress()
{
    return QStringLiteral(OV_COMPANY_ADDRESS);
}

QString OvVersionInfo::companyTelephone()
{
    return QStringLiteral(OV_COMPANY_TELEPHONE);
}

QString OvVersionInfo::companyMail()
{
    return QStringLiteral(OV_COMPANY_MAIL);
}
