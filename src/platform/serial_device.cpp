#include "platform/serial_device.h"

CommError::CommError(int number, const QString& reason)
    : std::runtime_error(reason.toStdString())
    , m_number(number) {}
