#pragma once

#include <QString>

// The modal box that tells the operator why the connection went down. Returns
// when the operator has closed it.
namespace OvConnectionErrorBox {
void show(const QString& text);
}
