#pragma once

#include <QMap>
#include <QString>
#include <QStringList>

#include <array>
#include <functional>
#include <optional>
#include <utility>

// Port numbers 1 to 15 name serial devices: first the devices named on the
// command line, then, for the other numbers in order, the system's ports, by
// the stable names udev gives them where there are some, so that an adapter
// plugged in again is found at the same path.
class PortMap {
public:
    static constexpr int Count = 15;
    using Devices = std::array<QString, Count + 1>; // index 0 unused

    // Lists the system's serial devices by path.
    using Lister = std::function<QStringList()>;

    explicit PortMap(QMap<int, QString> named = {}, Lister systemPorts = {},
                     QString stableFolder = QStringLiteral("/dev/serial/by-id"));

    // The device for a port number, from the system's list as it is now;
    // empty when there is none.
    QString device(int port) const;
    // The device (under both its names where it has two) and the system's
    // description of it, for a tooltip.
    QString describe(int port) const;

private:
    QMap<int, QString> m_named;
    Lister m_systemPorts;
    QString m_stableFolder;
};

// The system's ports in the order they get numbers: USB adapters (ttyUSB*,
// ttyACM*) first, then the rest, each group in natural name order.
QStringList orderSystemPorts(QStringList ports);

// Port numbers for devices: the named ones keep their number; the system's
// ports fill the free numbers in order.
PortMap::Devices assignPorts(const QMap<int, QString>& named, const QStringList& systemPorts);

// Reads a --port value such as "COM3=/dev/ttyUSB1".
std::optional<std::pair<int, QString>> parsePortOption(const QString& value);
