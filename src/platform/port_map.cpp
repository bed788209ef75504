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

QStringList listSystemPorts() {
    QStringList ports;
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts())
        ports << info.systemLocation();
    return ports;
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

QString PortMap::device(int port) const {
    if (port < 1 || port > Count)
        return {};
    const QString device = assignPorts(m_named, m_systemPorts())[port];
    return m_named.contains(port) || device.isEmpty() ? device : stableName(device, m_stableFolder);
}

QString PortMap::describe(int port) const {
    const QString path = device(port);
    if (path.isEmpty())
        return QStringLiteral("No device");
    const QString kernelPath = QFileInfo(path).isSymLink() ? QFileInfo(path).symLinkTarget() : path;
    QString names = kernelPath == path ? path : path + QStringLiteral(" (") + kernelPath + u')';
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts()) {
        if (info.systemLocation() != kernelPath)
            continue;
        QStringList words{info.description(), info.manufacturer()};
        words.removeAll(QString());
        if (!words.isEmpty())
            return names + QStringLiteral(" \u2014 ") + words.join(QStringLiteral(", "));
    }
    return names;
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
