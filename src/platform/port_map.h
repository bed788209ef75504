#pragma once

#include <QMap>
#include <QString>
#include <QStringList>

#include <QList>

#include <array>
#include <functional>
#include <optional>
#include <utility>

// What stands behind a port number, as the system tells it.
struct PortFacts {
    // The device's own path: /dev/ttyUSB0.
    QString device{};
    // The name it also goes by: its stable /dev/serial/by-id/ link, or the
    // link it was named by on the command line; empty if none.
    QString link{};
    // False for a path named on the command line that is not there.
    bool present = true;
    // What a USB adapter says of itself; a vendor ID of -1 for other ports.
    QString manufacturer{}, product{}, serialNumber{};
    int vendorId = -1, productId = -1;

    bool usb() const { return vendorId >= 0; }
};

// The tooltip and accessible description of a port selector entry: the
// device's path, and for a USB adapter its by-id name, maker, product, serial
// number and VID:PID, a line each; "No device" when none stands behind it.
QString describePort(const std::optional<PortFacts>& port);
// A line of `varnolix --list-ports`: COMn, the device's path and, for a USB
// adapter, its by-id name, maker, product, serial number and VID:PID,
// separated by tabs.
QString listedPort(int number, const PortFacts& port);

// Port numbers 1 to 15 name serial devices: first the devices named on the
// command line, then, for the other numbers in order, the system's ports, by
// the stable names udev gives them where there are some, so that an adapter
// plugged in again is found at the same path.
class PortMap {
public:
    static constexpr int Count = 15;
    using Devices = std::array<QString, Count + 1>; // index 0 unused

    // Lists the system's serial devices, with what USB adapters say of
    // themselves.
    using Lister = std::function<QList<PortFacts>()>;
    // Lists them by path alone.
    using PathLister = std::function<QStringList()>;

    explicit PortMap(QMap<int, QString> named = {}, Lister systemPorts = {},
                     QString stableFolder = QStringLiteral("/dev/serial/by-id"));
    PortMap(QMap<int, QString> named, const PathLister& systemPorts);

    // The device for a port number, from the system's list as it is now;
    // empty when there is none.
    QString device(int port) const;
    // What stands behind a port number now; none for a number without a
    // device.
    std::optional<PortFacts> facts(int port) const;
    // describePort() of it.
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
