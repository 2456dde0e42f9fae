#pragma once

#include <QMetaType>

// Kind of an operation-log message; it only chooses the colour of the title.
enum MessageType {
    SystemMessage = 0,     // welcome, connection, errors, server notices, hot-key switch
    OperationMessage = 1,  // catalogue changes reported by the server
};

Q_DECLARE_METATYPE(MessageType)
