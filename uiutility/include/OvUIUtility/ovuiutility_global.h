#pragma once

#include <QtCore/qglobal.h>

#if defined(OVUIUTILITY_BUILD)
#define OVUIUTILITY_EXPORT Q_DECL_EXPORT
#else
#define OVUIUTILITY_EXPORT Q_DECL_IMPORT
#endif
