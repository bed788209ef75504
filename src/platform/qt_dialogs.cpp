#include "platform/qt_dialogs.h"

#include "platform/application.h"

#include <QAbstractFileIconProvider>
#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QMimeDatabase>
#include <QRegularExpression>
#include <QStandardPaths>

namespace {

// InitDir may name a folder of another system ("c:\windows\desktop"): that
// stands for the user's desktop, or home where there is none.
QString startFolder(const QString& initDir) {
    static const QRegularExpression drive(QStringLiteral("^[A-Za-z]:\\\\"));
    if (!drive.match(initDir).hasMatch() && QDir(initDir).exists())
        return initDir;
    const QString desktop = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
    return QDir(desktop).exists() ? desktop : QDir::homePath();
}

// Tells a file's kind by its name alone. Qt's own guesses from the contents,
// reading every file the dialog lists, and a file under /proc or /dev may
// never answer: as root, /proc/kmsg holds the read, and the dialog, for good.
class NameOnlyIcons final : public QAbstractFileIconProvider {
public:
    using QAbstractFileIconProvider::icon;
    QIcon icon(const QFileInfo& info) const override { return icon(info.isDir() ? Folder : File); }
    QString type(const QFileInfo& info) const override {
        if (info.isDir())
            return QStringLiteral("Folder");
        return QMimeDatabase().mimeTypeForFile(info, QMimeDatabase::MatchExtension).comment();
    }
};

// "text(*.txt)" is read as the description "text" and the pattern *.txt.
QString spaced(QString filter) {
    const int paren = filter.indexOf(u'(');
    if (paren > 0 && filter[paren - 1] != u' ')
        filter.insert(paren, u' ');
    return filter;
}

} // namespace

bool QtCommonDialog::showOpen() {
    return show(false);
}
bool QtCommonDialog::showSave() {
    return show(true);
}

bool QtCommonDialog::show(bool save) {
    const QString allFiles = QStringLiteral("All files (*)");
    // Made first: the dialog's threads ask it until the dialog is gone.
    NameOnlyIcons icons;
    QFileDialog dialog(QApplication::activeWindow());
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setOption(QFileDialog::DontUseCustomDirectoryIcons);
    dialog.setIconProvider(&icons);
    dialog.setDirectory(startFolder(InitDir));
    dialog.setNameFilters({spaced(Filter), allFiles});
    if (save) {
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setFileMode(QFileDialog::AnyFile);
        dialog.setDefaultSuffix(QStringLiteral("txt"));
    } else {
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        dialog.setFileMode(QFileDialog::ExistingFile);
        // Any file can be sent.
        dialog.selectNameFilter(allFiles);
    }
    if (!FileName.isEmpty())
        dialog.selectFile(FileName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return false;
    FileName = QDir::toNativeSeparators(dialog.selectedFiles().constFirst());
    return true;
}

std::optional<int> QtMessageBoxes::askNumber(const QString& text, int value, int least, int most) {
    bool ok = false;
    ++m_open;
    const int number =
        QInputDialog::getInt(QApplication::activeWindow(), QString::fromLatin1(ApplicationTitle),
                             text, value, least, most, 1, &ok);
    --m_open;
    return ok ? std::optional(number) : std::nullopt;
}

void QtMessageBoxes::show(const QString& text, Icon icon, const QString& detail) {
    QMessageBox box(icon == Icon::Exclamation ? QMessageBox::Warning : QMessageBox::NoIcon,
                    QString::fromLatin1(ApplicationTitle), text, QMessageBox::Ok,
                    QApplication::activeWindow());
    box.setInformativeText(detail);
    ++m_open;
    box.exec();
    --m_open;
}
