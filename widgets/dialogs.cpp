#include "widgets/dialogs.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFileDialog>
#include <QFontDialog>
#include <QInputDialog>
#include <QMessageBox>

namespace {

class QtDialogs final : public TDialogs {
public:
    bool confirm(QWidget *parent, const QString &title, const QString &text,
                 Buttons buttons) override
    {
        const bool yesNo = buttons == Buttons::YesNo;
        const auto yes = yesNo ? QMessageBox::Yes : QMessageBox::Ok;
        const auto no = yesNo ? QMessageBox::No : QMessageBox::Cancel;
        return QMessageBox::question(parent, title, text, yes | no, yes) == yes;
    }

    bool inputBox(QWidget *parent, const QString &caption, const QString &prompt,
                  QString &value) override
    {
        bool ok = false;
        const QString text =
            QInputDialog::getText(parent, caption, prompt, QLineEdit::Normal, value, &ok);
        if (ok)
            value = text;
        return ok;
    }

    QStringList openFileNames(QWidget *parent, const QString &caption, const QString &startAt,
                              const QString &filter) override
    {
        QFileDialog dlg(parent, caption);
        dlg.setAcceptMode(QFileDialog::AcceptOpen);
        dlg.setFileMode(QFileDialog::ExistingFiles);
        dlg.setNameFilter(filter);
        if (!startAt.isEmpty())
            dlg.selectFile(startAt);
        if (dlg.exec() != QDialog::Accepted)
            return {};
        return dlg.selectedFiles();
    }

    QString saveFileName(QWidget *parent, const QString &initialName, const QString &filter,
                         const QString &defaultSuffix, bool confirmOverwrite) override
    {
        QFileDialog dlg(parent);
        dlg.setAcceptMode(QFileDialog::AcceptSave);
        dlg.setFileMode(QFileDialog::AnyFile);
        dlg.setNameFilter(filter);
        dlg.setDefaultSuffix(defaultSuffix);
        if (!confirmOverwrite)
            dlg.setOption(QFileDialog::DontConfirmOverwrite);
        if (!initialName.isEmpty())
            dlg.selectFile(initialName);
        if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty())
            return QString();
        return dlg.selectedFiles().first();
    }

    bool chooseFont(QWidget *parent, QFont &font) override
    {
        bool ok = false;
        const QFont chosen = QFontDialog::getFont(&ok, font, parent);
        if (ok)
            font = chosen;
        return ok;
    }

    void showError(QWidget *parent, const QString &title, const QString &text) override
    {
        QMessageBox::critical(parent, title, text, QMessageBox::Ok);
    }

    void showInfo(QWidget *parent, const QString &title, const QString &text) override
    {
        QMessageBox::information(parent, title, text, QMessageBox::Ok);
    }

    bool openUrl(const QUrl &url) override { return QDesktopServices::openUrl(url); }
};

QtDialogs qtDialogs;
TDialogs *current = nullptr;

} // namespace

TDialogs &dialogs() { return current ? *current : qtDialogs; }

void setDialogs(TDialogs *d) { current = d; }

void showErrorBox(const QString &text)
{
    dialogs().showError(QApplication::activeWindow(), QStringLiteral("Tressel"), text);
}
