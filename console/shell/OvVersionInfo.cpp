#include "OvVersionInfo.h"

#include "OvBuildInfo.h"

#include <QCoreApplication>

namespace {

// The maker rows' defaults (see CMakeLists.txt), listed for the translators.
// A studio's own texts have no translation and are shown as given.
[[maybe_unused]] const char* const DefaultMakerTexts[] = {
    QT_TRANSLATE_NOOP("OvVersionInfo", "OvCGVestrel 项目"),
    QT_TRANSLATE_NOOP("OvVersionInfo", "源代码及说明见项目仓库的 README.md"),
    QT_TRANSLATE_NOOP("OvVersionInfo", "无（请先查阅“帮助 → 帮助信息”）"),
    QT_TRANSLATE_NOOP("OvVersionInfo", "无（问题请提交到项目仓库）"),
    QT_TRANSLATE_NOOP("OvVersionInfo", "Copyright (C) 2026 OvCGVestrel 项目"),
};

QString makerText(const char* text)
{
    return QCoreApplication::translate("OvVersionInfo", text);
}

}  // namespace

const OvVersionInfo& OvVersionInfo::instance()
{
    static const OvVersionInfo info(QStringLiteral(OV_PRODUCT_NAME), QStringLiteral(OV_PRODUCT_VERSION),
                                    QStringLiteral(OV_FILE_VERSION), makerText(OV_COMPANY_NAME),
                                    makerText(OV_LEGAL_COPYRIGHT), QStringLiteral(OV_FILE_DESCRIPTION));
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
    return makerText(OV_COMPANY_ADDRESS);
}

QString OvVersionInfo::companyTelephone()
{
    return makerText(OV_COMPANY_TELEPHONE);
}

QString OvVersionInfo::companyMail()
{
    return makerText(OV_COMPANY_MAIL);
}
