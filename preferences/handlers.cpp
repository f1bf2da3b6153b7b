// The preferences dialog's handlers: showing, OK, the log file choosers,
// the enable rules, colours, fonts and the two lists.
#include "base/guard.h"
#include "base/version.h"
#include "core/settingsstore.h"
#include "preferences/Toptions.h"
#include "preferences/settingstable.h"
#include "preferences/triggertesterdialog.h"

#include "widgets/dialogs.h"
#include "widgets/textitems.h"

#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTextEdit>

namespace {
const QString title = QStringLiteral("Tressel");

int selectedRow(const QListWidget *list)
{
    const QList<QListWidgetItem *> items = list->selectedItems();
    return items.isEmpty() ? -1 : list->row(items.first());
}

void selectNone(QListWidget *list)
{
    list->setCurrentRow(-1);
    list->clearSelection();
}
} // namespace

void Toptions::setMainPanes(const TMainPanes &panes) { m_panes = panes; }

void Toptions::FormShow()
{
    tabs->setCurrentIndex(0);
    readconfig();
    readSettingsFile();
    applyBackground();
    const bool showsWhispers = !m_panes.dispWhisperChecked || m_panes.dispWhisperChecked();
    applyWhisperColour(showsWhispers ? whisp_colour->selected() : text_colour->selected());
    applyListColours();
    m_fontDialog.setBold(false);
    m_fontDialog.setItalic(false);
    m_fontDialog.setUnderline(false);
    m_fontDialog.setStrikeOut(false);
    setWindowTitle(QStringLiteral("Tressel " TRESSEL_VERSION " - Preferences"));
    for (QPushButton *b : {delTrigger, editTrigger, delSafe, editSafe})
        b->setEnabled(false);
}

void Toptions::okClick()
{
    writeconfig();
    writeSettingsFile();
    applyBackground();
    applyListColours();
    applyWhisperColour(whisp_colour->selected());
    hide();
    Q_EMIT closed();
}

void Toptions::cancelClick()
{
    hide();
    Q_EMIT closed();
}

void Toptions::done(int result)
{
    // Escape and the window's own close button end here.
    QDialog::done(result);
    Q_EMIT closed();
}

void Toptions::applyBackground()
{
    if (m_panes.setBackground)
        m_panes.setBackground(bg_colour->selected());
}

void Toptions::applyListColours()
{
    if (m_panes.setListTextColour)
        m_panes.setListTextColour(text_colour->selected());
}

void Toptions::applyWhisperColour(const QColor &colour)
{
    if (m_panes.setWhisperTextColour)
        m_panes.setWhisperTextColour(colour);
}

void Toptions::bg_colourChange() { applyBackground(); }

void Toptions::text_colourChange() { applyListColours(); }

// --- log files ---------------------------------------------------------

void Toptions::browse(QLineEdit *name, QPushButton *button, QCheckBox *keep)
{
    // The dialog may move the working directory; the configuration and
    // squelch files must stay where the program started.
    const QString workingDir = QDir::currentPath();
    const QString chosen = dialogs().saveFileName(this, m_saveName, QString(), QString(), false);
    if (!chosen.isEmpty()) {
        m_saveName = chosen;
        name->setText(QFileInfo(chosen).absoluteFilePath());
        name->setEnabled(true);
        button->setEnabled(true);
    } else if (keep->isChecked()) {
        keep->setChecked(false); // runs the keep-log rule, which disables the two
    } else {
        name->setEnabled(false);
        button->setEnabled(false);
    }
    QDir::setCurrent(workingDir);
}

void Toptions::logbrowseClick() { browse(logfilename, logbrowse, keeplog); }

void Toptions::rawbrowseClick() { browse(rawlogfilename, rawbrowse, keeprawlog); }

void Toptions::keepRule(QCheckBox *keep, QLineEdit *name, QPushButton *button)
{
    if (keep->isChecked() && name->text().isEmpty()) {
        browse(name, button, keep);
        return;
    }
    name->setEnabled(keep->isChecked());
    button->setEnabled(keep->isChecked());
}

void Toptions::keeplogClick() { keepRule(keeplog, logfilename, logbrowse); }

void Toptions::keeprawlogClick() { keepRule(keeprawlog, rawlogfilename, rawbrowse); }

void Toptions::notificationsClick() { onlynotesafe->setEnabled(notifications->isChecked()); }

void Toptions::antiidleClick()
{
    for (QRadioButton *r : {ai_users, ai_stats, ai_time})
        r->setEnabled(antiidle->isChecked());
}

// --- fonts ---------------------------------------------------------------

void Toptions::fontClick(int stored, QWidget *pane, bool nameAndSizeOnly)
{
    if (!pane && stored < 0)
        return;
    const QFont current = pane ? pane->font() : m_storedFonts[stored];
    m_fontDialog.setFamily(current.family());
    if (current.pointSize() > 0)
        m_fontDialog.setPointSize(current.pointSize());
    QFont chosen = m_fontDialog;
    if (!dialogs().chooseFont(this, chosen))
        return;
    m_fontDialog = chosen;

    QFont f = current;
    f.setFamily(chosen.family());
    if (chosen.pointSize() > 0)
        f.setPointSize(chosen.pointSize());
    if (!nameAndSizeOnly) {
        f.setWeight(chosen.weight());
        f.setItalic(chosen.italic());
        f.setUnderline(chosen.underline());
        f.setStrikeOut(chosen.strikeOut());
    }
    setPaneFont(stored, pane, f);
}

void Toptions::setPaneFont(int stored, QWidget *pane, const QFont &font)
{
    if (stored >= 0)
        m_storedFonts[stored] = font;
    if (pane)
        pane->setFont(font);
    if (stored >= 0)
        for (TSetting::Id id :
             {TSetting::faceOf(TSetting::Pane(stored)), TSetting::sizeOf(TSetting::Pane(stored))})
            pushToStore(TSettings::all()[std::size_t(id)]);
}

void Toptions::chatfontClick()
{
    QWidget *pane = m_panes.chat;
    fontClick(ChatFont, pane, true);
    const QFont f = pane ? pane->font() : m_storedFonts[ChatFont];
    if (m_panes.applyChatFontToTranscript) {
        m_panes.applyChatFontToTranscript(f.family(), f.pointSize());
    } else if (auto *edit = qobject_cast<QTextEdit *>(pane)) {
        // Lines already shown carry their own character formats.
        QTextCursor all(edit->document());
        all.select(QTextCursor::Document);
        QTextCharFormat format;
        format.setFontFamilies({f.family()});
        format.setFontPointSize(f.pointSize());
        all.mergeCharFormat(format);
    }
}

void Toptions::userfontClick() { fontClick(UserFont, m_panes.users, false); }
void Toptions::whisperfontClick() { fontClick(RawFont, m_panes.whisper, false); }
void Toptions::squelchfontClick() { fontClick(BrxFont, m_panes.brx, false); }
void Toptions::textfontClick() { fontClick(TextFont, m_panes.text, false); }
void Toptions::channelfontClick() { fontClick(-1, m_panes.channel, false); }

// --- trigger phrases and safelist ----------------------------------------

void Toptions::addTriggerClick()
{
    QString phrase, bytes;
    if (dialogs().inputBox(this, QStringLiteral("Enter Trigger Phrase"),
                           QStringLiteral("Please supply a trigger phrase"), phrase) &&
        typedBytes(this, singleLine(phrase), bytes))
        triggers->addItem(TTextItem::newItem(bytes));
}

bool Toptions::removeEntry(QListWidget *list, QPushButton *del, QPushButton *edit,
                           const QString &noneSelected)
{
    const int row = selectedRow(list);
    if (row < 0) {
        dialogs().showError(this, title, noneSelected);
        return false;
    }
    const QString text = list->item(row)->text();
    if (!dialogs().confirm(this, QStringLiteral("Confirm"),
                           QStringLiteral("Remove ") + text + QStringLiteral("?"),
                           TDialogs::Buttons::OkCancel))
        return false;
    delete list->takeItem(row);
    if (list->count() == 0) {
        del->setEnabled(false);
        edit->setEnabled(false);
        selectNone(list);
    } else if (row == 0) {
        selectNone(list);
    } else {
        list->setCurrentRow(row - 1);
    }
    return true;
}

void Toptions::delTriggerClick()
{
    removeEntry(triggers, delTrigger, editTrigger,
                QStringLiteral("Please select a trigger phrase to delete."));
}

void Toptions::editTriggerClick()
{
    const int row = selectedRow(triggers);
    if (row < 0) {
        dialogs().showError(this, title, QStringLiteral("Please select a trigger phrase to edit."));
        return;
    }
    QListWidgetItem *item = triggers->item(row);
    QString phrase = item->text();
    dialogs().inputBox(this, QStringLiteral("Edit Trigger Phrase"), QString(), phrase);
    // Unchanged text keeps its bytes.
    QString bytes;
    phrase = singleLine(phrase);
    if (phrase != item->text() && typedBytes(this, phrase, bytes))
        TTextItem::setBytes(item, bytes);
}

void Toptions::triggersClick()
{
    if (selectedRow(triggers) >= 0) {
        delTrigger->setEnabled(true);
        editTrigger->setEnabled(true);
    }
}

autosquelchrules::TLineRules Toptions::lineRules(const TSettingsStore &store)
{
    autosquelchrules::TLineRules r;
    r.minLineLength = store.number(TSetting::minLineLength);
    r.flooders = store.flag(TSetting::squelchFlooders);
    r.highAscii = store.flag(TSetting::squelchAscii);
    r.highAsciiPercent = store.number(TSetting::AsciiPercentage);
    r.upperCase = store.flag(TSetting::squelchUc);
    r.upperCasePercent = store.number(TSetting::ucPercentage);
    return r;
}

void Toptions::testTriggerClick()
{
    const int row = selectedRow(triggers);
    openTriggerTester(this, row, row >= 0 ? triggers->item(row)->text() : QString(), QString());
}

TTriggerTesterDialog *Toptions::openTriggerTester(QWidget *parent, int row, const QString &pattern,
                                                  const QString &sampleBytes)
{
    TTriggerTesterDialog::Source source;
    // The phrase being edited is the one tried, in its place of the list.
    for (int i = 0; i < triggers->count(); ++i)
        if (i != row)
            source.phrases << triggers->item(i)->text();
    source.rules = lineRules();
    if (judgedLines)
        source.lines = judgedLines();
    source.isSafe = isSafe;
    source.typed = typedEncoding();
    auto *dialog = new TTriggerTesterDialog(parent, std::move(source), pattern, sampleBytes);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    // The item, not its row: the list may change while the tester is open.
    QListWidgetItem *item = row >= 0 && row < triggers->count() ? triggers->item(row) : nullptr;
    connect(dialog, &QDialog::accepted, this, [this, dialog, item] {
        guarded([&] {
            const QString phrase = singleLine(dialog->pattern->text());
            int at = -1;
            for (int i = 0; i < triggers->count() && item; ++i)
                if (triggers->item(i) == item)
                    at = i;
            QString bytes;
            if (at >= 0) {
                // Unchanged text keeps its bytes, as Edit Trigger does.
                if (phrase != item->text() && typedBytes(this, phrase, bytes))
                    TTextItem::setBytes(item, bytes);
            } else if (!phrase.isEmpty() && typedBytes(this, phrase, bytes)) {
                triggers->addItem(TTextItem::newItem(bytes));
            }
        });
    });
    dialog->show();
    dialog->raise();
    dialog->activateWindow();
    return dialog;
}

int Toptions::insertSafeName(const QString &name)
{
    // Alphabetical by the names as shown, ignoring case, after any equal
    // names. A binary search, as a sorted list box does: an edited name left
    // out of order does not throw the others off their places.
    QListWidgetItem *item = TTextItem::newItem(name);
    int lo = 0, hi = safe->count();
    while (lo < hi) {
        const int mid = (lo + hi) / 2;
        if (QString::compare(safe->item(mid)->text(), item->text(), Qt::CaseInsensitive) <= 0)
            lo = mid + 1;
        else
            hi = mid;
    }
    safe->insertItem(lo, item);
    return lo;
}

bool Toptions::removeSafeName(const QString &name)
{
    for (int i = 0; i < safe->count(); ++i)
        if (TTextItem::bytesOf(safe->item(i)) == name) {
            delete safe->takeItem(i);
            return true;
        }
    return false;
}

void Toptions::addSafeClick()
{
    QString name, bytes;
    if (dialogs().inputBox(this, QStringLiteral("Enter Username"),
                           QStringLiteral("Enter username:"), name) &&
        typedBytes(this, singleLine(name), bytes))
        insertSafeName(bytes);
}

void Toptions::delSafeClick()
{
    removeEntry(safe, delSafe, editSafe, QStringLiteral("Please select a user to remove."));
}

void Toptions::editSafeClick()
{
    const int row = selectedRow(safe);
    if (row < 0) {
        dialogs().showError(this, title, QStringLiteral("Please select a username to edit."));
        return;
    }
    QListWidgetItem *item = safe->item(row);
    QString name = item->text();
    dialogs().inputBox(this, QStringLiteral("Edit Username"), QStringLiteral("Edit username:"),
                       name);
    QString bytes;
    name = singleLine(name);
    if (name != item->text() && typedBytes(this, name, bytes))
        TTextItem::setBytes(item, bytes);
    safe->setCurrentRow(row);
}

void Toptions::safeClick()
{
    if (selectedRow(safe) >= 0) {
        delSafe->setEnabled(true);
        editSafe->setEnabled(true);
    }
}

void Toptions::safeDblClick() { delSafeClick(); }
