#include "transmit/quick_sends.h"

#include "transmit/hex_tokens.h"

#include <QRegularExpression>
#include <QStringDecoder>

namespace {

const QString Malformed =
    QStringLiteral("expected a name, a tab, text or hex, a tab, then the data");

int hexDigit(QChar c) {
    const char16_t u = c.unicode();
    if (u >= u'0' && u <= u'9')
        return u - u'0';
    if (u >= u'A' && u <= u'F')
        return u - u'A' + 10;
    if (u >= u'a' && u <= u'f')
        return u - u'a' + 10;
    return -1;
}

std::optional<QString> unescape(QStringView data, QString* fault) {
    QString text;
    text.reserve(data.size());
    for (qsizetype at = 0; at < data.size(); ++at) {
        if (data[at] != u'\\') {
            text += data[at];
            continue;
        }
        const QChar escape = at + 1 < data.size() ? data[at + 1] : QChar();
        if (escape == u'r' || escape == u'n' || escape == u't' || escape == u'\\') {
            text += escape == u'r'   ? u'\r'
                    : escape == u'n' ? u'\n'
                    : escape == u't' ? u'\t'
                                     : u'\\';
            ++at;
        } else if (escape == u'x' && at + 3 < data.size() && hexDigit(data[at + 2]) >= 0 &&
                   hexDigit(data[at + 3]) >= 0) {
            text += QChar(hexDigit(data[at + 2]) * 16 + hexDigit(data[at + 3]));
            at += 3;
        } else {
            *fault = QStringLiteral("\"%1\" is no escape; the escapes are \\r, \\n, \\t, \\\\ and "
                                    "\\xHH")
                         .arg(data.mid(at, escape == u'x' ? 4 : 2).toString());
            return std::nullopt;
        }
    }
    return text;
}

} // namespace

QString escapeQuickSendText(QStringView text) {
    QString escaped;
    escaped.reserve(text.size());
    for (const QChar c : text) {
        if (c == u'\\')
            escaped += QLatin1String("\\\\");
        else if (c == u'\r')
            escaped += QLatin1String("\\r");
        else if (c == u'\n')
            escaped += QLatin1String("\\n");
        else if (c == u'\t')
            escaped += QLatin1String("\\t");
        else if (c.unicode() < 0x20 || c.unicode() == 0x7F)
            escaped += QLatin1String("\\x") +
                       QString::number(c.unicode(), 16).rightJustified(2, u'0').toUpper();
        else
            escaped += c;
    }
    return escaped;
}

QString quickSendFault(const QuickSend& send) {
    static const QRegularExpression breaks(QStringLiteral("[\\t\\r\\n]"));
    if (send.name.trimmed().isEmpty())
        return QStringLiteral("the name is empty");
    if (send.name.contains(breaks))
        return QStringLiteral("the name holds a tab or a line break");
    if (send.name.startsWith(u'#'))
        return QStringLiteral("a name may not start with #, which starts a comment");
    if (!send.hex)
        return {};
    const HexTokens tokens = readHexTokens(send.data);
    if (!tokens.refused.isEmpty())
        return QStringLiteral("\"%1\" is not a byte value from 00 to FF").arg(tokens.refused[0]);
    if (tokens.bytes.isEmpty())
        return QStringLiteral("there are no hex bytes");
    return {};
}

std::optional<QuickSend> readQuickSendLine(QStringView line, QString* fault) {
    const qsizetype first = line.indexOf(u'\t');
    const qsizetype second = first < 0 ? -1 : line.indexOf(u'\t', first + 1);
    if (second < 0) {
        *fault = Malformed;
        return std::nullopt;
    }
    QuickSend send;
    send.name = line.left(first).toString();
    const QStringView mode = line.sliced(first + 1, second - first - 1);
    const QStringView data = line.sliced(second + 1);
    if (mode == QLatin1String("hex")) {
        send.hex = true;
        static const QRegularExpression spaces(QStringLiteral("\\s+"));
        send.data = data.toString().split(spaces, Qt::SkipEmptyParts).join(u' ');
    } else if (mode == QLatin1String("text")) {
        const std::optional<QString> text = unescape(data, fault);
        if (!text)
            return std::nullopt;
        send.data = *text;
    } else {
        *fault = QStringLiteral("the mode is \"%1\", not text or hex").arg(mode.toString());
        return std::nullopt;
    }
    *fault = quickSendFault(send);
    if (!fault->isEmpty())
        return std::nullopt;
    return send;
}

QString quickSendLine(const QuickSend& send) {
    return send.name + u'\t' + (send.hex ? QLatin1String("hex") : QLatin1String("text")) + u'\t' +
           (send.hex ? send.data : escapeQuickSendText(send.data));
}

QuickSendFile readQuickSends(QByteArrayView file) {
    QuickSendFile read;
    if (file.startsWith("\xEF\xBB\xBF"))
        file = file.sliced(3);
    int number = 0;
    const auto refuse = [&](const QString& why) {
        read.sends.clear();
        read.faultLine = number;
        read.fault = why;
        return read;
    };
    while (!file.isEmpty()) {
        ++number;
        const qsizetype end = file.indexOf('\n');
        QByteArrayView bytes = end < 0 ? file : file.first(end);
        file = end < 0 ? QByteArrayView() : file.sliced(end + 1);
        if (bytes.endsWith('\r'))
            bytes.chop(1);
        QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        const QString line = utf8(bytes);
        if (utf8.hasError())
            return refuse(QStringLiteral("the line is not UTF-8"));
        if (line.trimmed().isEmpty() || line.startsWith(u'#'))
            continue;
        QString fault;
        std::optional<QuickSend> send = readQuickSendLine(line, &fault);
        if (!send)
            return refuse(fault);
        if (read.sends.size() == MaxQuickSends)
            return refuse(QStringLiteral("there are more than %1 quick sends").arg(MaxQuickSends));
        read.sends.push_back(std::move(*send));
    }
    return read;
}

QByteArray writeQuickSends(const std::vector<QuickSend>& sends) {
    QString file = QStringLiteral(
        "# Varnolix quick sends: a name, a tab, text or hex, a tab, then the data\n");
    for (const QuickSend& send : sends)
        file += quickSendLine(send) + u'\n';
    return file.toUtf8();
}
