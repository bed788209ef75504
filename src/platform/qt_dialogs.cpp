#include "platform/qt_dialogs.h"

#include "platform/application.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>
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
    QFileDialog dialog(QApplication::activeWindow());
    dialog.setOption(QFileDialog::DontUseNativeDialog);
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

std::optional<int> QtMessageBoxes::askNumber(const QString& text, int value, int least,
                                             int most) {
    bool ok = false;
    ++m_open;
    const int number = QInputDialog::getInt(QApplication::activeWindow(),
                                            QString::fromLatin1(ApplicationTitle), text, value,
                                            least, most, 1, &ok);
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
