#include "platform/port_map.h"

#include <QCollator>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSerialPortInfo>

#include <algorithm>

namespace {

bool isUsbAdapter(const QString& port) {
    const QString name = QFileInfo(port).fileName();
    return name.startsWith(u"ttyUSB") || name.startsWith(u"ttyACM");
}

QList<PortFacts> listSystemPorts() {
    QList<PortFacts> ports;
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts()) {
        PortFacts port{.device = info.systemLocation()};
        if (info.hasVendorIdentifier()) {
            port.manufacturer = info.manufacturer();
            port.product = info.description();
            port.serialNumber = info.serialNumber();
            port.vendorId = info.vendorIdentifier();
            port.productId = info.hasProductIdentifier() ? info.productIdentifier() : 0;
        }
        ports << port;
    }
    return ports;
}

QStringList pathsOf(const QList<PortFacts>& ports) {
    QStringList paths;
    for (const PortFacts& port : ports)
        paths << port.device;
    return paths;
}

// A USB ID as lsusb and the kernel write it.
QString usbId(int id) {
    return QStringLiteral("%1").arg(id, 4, 16, QLatin1Char('0'));
}

// The link in `folder` that points to `device`, or the device itself.
QString stableName(const QString& device, const QString& folder) {
    const QDir links(folder);
    for (const QFileInfo& link : links.entryInfoList(QDir::System | QDir::Files)) {
        if (link.isSymLink() && link.symLinkTarget() == device)
            return link.filePath();
    }
    return device;
}

} // namespace

PortMap::PortMap(QMap<int, QString> named, Lister systemPorts, QString stableFolder)
    : m_named(std::move(named))
    , m_systemPorts(systemPorts ? std::move(systemPorts) : Lister(&listSystemPorts))
    , m_stableFolder(std::move(stableFolder)) {}

PortMap::PortMap(QMap<int, QString> named, const PathLister& systemPorts)
    : PortMap(std::move(named), [systemPorts] {
        QList<PortFacts> ports;
        for (const QString& path : systemPorts())
            ports << PortFacts{.device = path};
        return ports;
    }) {}

QString PortMap::device(int port) const {
    if (port < 1 || port > Count)
        return {};
    const QString device = assignPorts(m_named, pathsOf(m_systemPorts()))[port];
    return m_named.contains(port) || device.isEmpty() ? device : stableName(device, m_stableFolder);
}

std::optional<PortFacts> PortMap::facts(int port) const {
    if (port < 1 || port > Count)
        return std::nullopt;
    const QList<PortFacts> listed = m_systemPorts();
    const QString path = assignPorts(m_named, pathsOf(listed))[port];
    if (path.isEmpty())
        return std::nullopt;
    const QFileInfo file(path);
    PortFacts facts{.device = file.isSymLink() ? file.symLinkTarget() : path};
    for (const PortFacts& system : listed)
        if (system.device == facts.device)
            facts = system;
    const QString stable = stableName(facts.device, m_stableFolder);
    facts.link = stable != facts.device ? stable : path != facts.device ? path : QString();
    // The system's own ports are there as long as it lists them.
    facts.present = !m_named.contains(port) || file.exists();
    return facts;
}

QString PortMap::describe(int port) const {
    return describePort(facts(port));
}

QString describePort(const std::optional<PortFacts>& port) {
    if (!port)
        return QStringLiteral("No device");
    if (!port->present)
        return QStringLiteral("No device at %1")
            .arg(port->link.isEmpty() ? port->device : port->link);
    QStringList lines{port->device};
    if (!port->link.isEmpty())
        lines << port->link;
    if (port->usb()) {
        for (const auto& [what, value] :
             {std::pair{"Maker", &port->manufacturer}, std::pair{"Product", &port->product},
              std::pair{"Serial number", &port->serialNumber}})
            if (!value->isEmpty())
                lines << QStringLiteral("%1: %2").arg(QLatin1String(what), *value);
        lines << QStringLiteral("VID:PID %1:%2").arg(usbId(port->vendorId), usbId(port->productId));
    }
    return lines.join(u'\n');
}

QString listedPort(int number, const PortFacts& port) {
    QStringList fields{QStringLiteral("COM%1").arg(number), port.device};
    if (port.usb())
        fields << port.link << port.manufacturer << port.product << port.serialNumber
               << usbId(port.vendorId) + u':' + usbId(port.productId);
    // A tab or line break in what a device says of itself would shift the columns.
    for (QString& field : fields)
        field.replace(u'\t', u' ').replace(u'\n', u' ');
    return fields.join(u'\t');
}

QStringList orderSystemPorts(QStringList ports) {
    // The C locale's collator compares code points and has no numeric mode.
    QCollator collator{QLocale(QLocale::English)};
    collator.setNumericMode(true);
    std::stable_sort(ports.begin(), ports.end(), [&](const QString& a, const QString& b) {
        if (isUsbAdapter(a) != isUsbAdapter(b))
            return isUsbAdapter(a);
        return collator.compare(a, b) < 0;
    });
    return ports;
}

PortMap::Devices assignPorts(const QMap<int, QString>& named, const QStringList& systemPorts) {
    PortMap::Devices devices;
    for (auto it = named.begin(); it != named.end(); ++it)
        if (it.key() >= 1 && it.key() <= PortMap::Count)
            devices[it.key()] = it.value();

    const auto taken = [&](const QString& port) {
        return std::find(devices.begin(), devices.end(), port) != devices.end();
    };
    QStringList rest;
    for (const QString& port : systemPorts)
        if (!taken(port))
            rest << port;
    int next = 1;
    for (const QString& port : orderSystemPorts(rest)) {
        while (next <= PortMap::Count && !devices[next].isEmpty())
            ++next;
        if (next > PortMap::Count)
            break;
        devices[next] = port;
    }
    return devices;
}

std::optional<std::pair<int, QString>> parsePortOption(const QString& value) {
    static const QRegularExpression option(QStringLiteral("^COM([0-9]+)=(.+)$"),
                                           QRegularExpression::CaseInsensitiveOption);
    const auto match = option.match(value);
    if (!match.hasMatch())
        return std::nullopt;
    const int number = match.captured(1).toInt();
    if (number < 1 || number > PortMap::Count)
        return std::nullopt;
    return std::pair{number, match.captured(2)};
}
