// The permanent squelch list (`brx` and brx.conf), the safelist checks and
// lamer mode.
#include "base/wirecodes.h"
#include "mainwindow/Tmain.h"
#include "mainwindow/labels.h"

#include "base/errors.h"
#include "base/files.h"
#include "base/guard.h"
#include "core/settingsstore.h"
#include "core/textcodec.h"
#include "mainwindow/journal.h"
#include "preferences/Toptions.h"
#include "rules/journal.h"
#include "rules/squelchindex.h"
#include "rules/usericons.h"
#include "session/TSession.h"
#include "widgets/dialogs.h"
#include "widgets/textitems.h"
#include "widgets/userlistview.h"

#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <cerrno>
#include <vector>

namespace {
const QString squelchFileName = QStringLiteral("brx.conf");
const QString manualReason = QStringLiteral("Manually Permasquelched");

struct SquelchItem {
    QString name;
    int icon;
};

std::vector<SquelchItem> itemsOf(const QListWidget *list)
{
    std::vector<SquelchItem> out;
    out.reserve(size_t(list->count()));
    for (int i = 0; i < list->count(); ++i)
        out.push_back(
            {TTextItem::bytesOf(list->item(i)), list->item(i)->data(TUserRow::iconRole).toInt()});
    return out;
}

// Reads the whole file, so that a failure leaves the list as it was.
std::vector<SquelchItem> readSquelchFile(const QString &fileName)
{
    const QByteArray bytes = readWholeFile(fileName);
    std::vector<SquelchItem> out;
    const QString text = QString::fromLatin1(bytes);
    int start = 0;
    const int size = int(text.size());
    while (start < size) {
        int end = start;
        while (end < size && text[end] != QLatin1Char('\r') && text[end] != QLatin1Char('\n'))
            ++end;
        const QString line = text.mid(start, end - start);
        out.push_back({line.mid(4), productIcon(line.left(4))});
        // One line ends at CR LF, LF or CR.
        if (end < size && text[end] == QLatin1Char('\r') && end + 1 < size &&
            text[end + 1] == QLatin1Char('\n'))
            ++end;
        start = end + 1;
    }
    return out;
}
} // namespace

void Tmain::setupSquelchList()
{
    brx->setItemDelegate(new TUserListDelegate(brx));
    brx->setSelectionMode(QAbstractItemView::SingleSelection);
    keepSelectionVisible(brx);
    fillScrollBarBackgrounds(brx);
    m_squelchIndex = new TNameIndex(this);
    m_squelchIndex->attach(brx->model());
    m_safeIndex = new TNameIndex(this);
    connect(store, &TSettingsStore::changed, m_safeIndex, [this](TSetting::Id id) {
        if (id == TSetting::safe)
            m_safeIndex->setNames(store->list(TSetting::safe));
    });

    menus.brxMenu = new QMenu(this);
    menus.Remove = menus.brxMenu->addAction(QStringLiteral("Remove"));
    menus.Add = menus.brxMenu->addAction(QStringLiteral("Add"));
    menus.RemoveAll = menus.brxMenu->addAction(QStringLiteral("Remove All"));
    menus.brxMenu->addSeparator();
    menus.brxCopyName = menus.brxMenu->addAction(QStringLiteral("Copy Name"));
    menus.brxMenu->setDefaultAction(menus.Remove);
    connect(menus.Remove, &QAction::triggered, this, guard([this] { brxDblClick(); }));
    connect(menus.Add, &QAction::triggered, this, guard([this] { AddClick(); }));
    connect(menus.RemoveAll, &QAction::triggered, this, guard([this] { RemoveAllClick(); }));
    connect(menus.brxCopyName, &QAction::triggered, this, guard([this] { brxCopyNameClick(); }));
    brx->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(brx, &QWidget::customContextMenuRequested, this,
            [this](const QPoint &pos) { menus.brxMenu->popup(brx->viewport()->mapToGlobal(pos)); });
    connect(brx, &QListWidget::itemDoubleClicked, this, guard([this] { brxDblClick(); }));
    connect(lamermode, &QPushButton::clicked, this, guard([this] { lamermodeClick(); }));
}

void Tmain::addSquelchItem(const QString &name, int icon)
{
    // Name first: the index reads it as the row goes in.
    // An entry that says itself in words when asked (TSquelchEntry).
    QListWidgetItem *item = new TSquelchEntry;
    TTextItem::setBytes(item, name);
    item->setIcon(userIconSet(icon));
    item->setData(TUserRow::iconRole, icon);
    brx->addItem(item);
}

bool Tmain::checkSafe(const QString &name) const { return m_safeIndex->contains(name); }

bool Tmain::checkSquelch(const QString &name) const { return m_squelchIndex->contains(name); }

bool Tmain::checkLamerMode(const QString &name) const
{
    return envVars.lamerMode && !checkSafe(name);
}

void Tmain::loadSquelchlist()
{
    if (!QFile::exists(squelchFileName))
        return;
    const std::vector<SquelchItem> items = readSquelchFile(squelchFileName);
    brx->clear();
    brx->setUpdatesEnabled(false);
    for (const SquelchItem &item : items)
        addSquelchItem(item.name, item.icon);
    brx->setUpdatesEnabled(true);
}

void Tmain::saveSquelchlist()
{
    QByteArray bytes;
    for (int i = 0; i < brx->count(); ++i) {
        const QListWidgetItem *item = brx->item(i);
        bytes += productCode(item->data(TUserRow::iconRole).toInt()).toLatin1();
        bytes += TText::toBytes(TTextItem::bytesOf(item));
        bytes += "\r\n";
    }
    // Saved at every change, floods included: the window does not wait for
    // the disk. A late failure is said on the window's own thread.
    replacePrivateFileSyncLater(squelchFileName, bytes, [](const QString &why) {
        QMetaObject::invokeMethod(
            QCoreApplication::instance(), [why] { reportError(why); }, Qt::QueuedConnection);
    });
}

void Tmain::saveSquelchlistOrUndo(const std::function<void()> &undo)
{
    try {
        saveSquelchlist();
    } catch (...) {
        // The file still holds the old list: so must the window.
        undo();
        updateUsers();
        throw;
    }
}

bool Tmain::squelchuser(const QString &name, const QString &reason, int icon,
                        const JournalNote &note)
{
    if (checkSquelch(name)) {
        writeLine(chat, TLabel::error, name + QStringLiteral(" is already permasquelched."),
                  errorColour());
        return false;
    }
    addSquelchItem(name, icon);
    setUserIcon(name, TUserIcon::squelched);
    const int id = session->getUserID(name);
    bool wasSquelched = false;
    if (id) {
        wasSquelched = session->userTable[id].squelched;
        session->userTable[id].squelched = true;
    }
    saveSquelchlistOrUndo([&] {
        delete brx->takeItem(brx->count() - 1);
        if (id && id <= session->userTable.count() &&
            session->userTable[id].username == name.left(Wire::NameLength))
            session->userTable[id].squelched = wasSquelched;
    });
    updateUsers();
    writeLine(chat, TLabel::console,
              name + QStringLiteral(" was permasquelched (") + reason + QLatin1Char(')'),
              labelColour());
    journalDesk->journalAction(journal::permasquelchAction, name,
                               note.reason.isEmpty() ? reason : note.reason, note.detail,
                               note.text);
    return true;
}

bool Tmain::unSquelchUser(const QString &name, const JournalNote &note)
{
    if (!checkSquelch(name)) {
        writeLine(chat, TLabel::error, name + QStringLiteral(" is not permasquelched."),
                  errorColour());
        return false;
    }
    int row = 0;
    while (row < brx->count() && TTextItem::bytesOf(brx->item(row)) != name)
        ++row;
    if (row == brx->count())
        return false; // the index and the list disagree; cannot happen
    QListWidgetItem *item = brx->takeItem(row);
    const int icon = item->data(TUserRow::iconRole).toInt();
    setUserIcon(name, icon);
    const int id = session->getUserID(name);
    bool wasSquelched = false;
    if (id) {
        wasSquelched = session->userTable[id].squelched;
        session->userTable[id].squelched = false;
    }
    saveSquelchlistOrUndo([&] {
        brx->insertItem(row, item);
        item = nullptr;
        if (id && id <= session->userTable.count() &&
            session->userTable[id].username == name.left(Wire::NameLength))
            session->userTable[id].squelched = wasSquelched;
    });
    delete item;
    updateUsers();
    writeLine(chat, TLabel::console, name + QStringLiteral(" was unpermasquelched."),
              labelColour());
    journalDesk->journalAction(journal::unpermasquelchAction, name,
                               note.reason.isEmpty() ? journal::manualReason : note.reason,
                               note.detail);
    return true;
}

void Tmain::brxDblClick()
{
    const QList<QListWidgetItem *> sel = brx->selectedItems();
    if (sel.isEmpty())
        return;
    unSquelchUser(TTextItem::bytesOf(sel.first()));
}

void Tmain::AddClick()
{
    QString name, bytes;
    if (!dialogs().inputBox(this, QStringLiteral("Enter Username"),
                            QStringLiteral("Enter a username:"), name) ||
        !options->typedBytes(this, singleLine(name), bytes))
        return;
    // One name is one line of brx.conf.
    squelchuser(bytes, manualReason, TUserIcon::unknown);
}

void Tmain::RemoveAllClick()
{
    if (!dialogs().confirm(this, QStringLiteral("Confirm"),
                           QStringLiteral("Are you completely sure you wish to clear your "
                                          "permasquelch list? You can't undo this..."),
                           TDialogs::Buttons::OkCancel))
        return;
    const std::vector<SquelchItem> before = itemsOf(brx);
    brx->clear();
    saveSquelchlistOrUndo([&] {
        for (const SquelchItem &item : before)
            addSquelchItem(item.name, item.icon);
    });
    for (const SquelchItem &item : before)
        journalDesk->journalAction(journal::unpermasquelchAction, item.name, journal::manualReason);
}

void Tmain::brxCopyNameClick()
{
    const QList<QListWidgetItem *> sel = brx->selectedItems();
    if (sel.isEmpty())
        return;
    // The name as shown.
    QApplication::clipboard()->setText(sel.first()->text());
}

void Tmain::lamermodeClick()
{
    if (envVars.lamerMode) {
        envVars.lamerMode = false;
        lamermode->setText(QStringLiteral("Activate Lamer Mode"));
        lamermode->setAccessibleName(QString());
    } else {
        envVars.lamerMode = true;
        lamermode->setText(QStringLiteral("Disctivate Lamer Mode"));
        // The caption keeps its old spelling; a screen reader says the word.
        lamermode->setAccessibleName(QStringLiteral("Deactivate Lamer Mode"));
    }
    updateUsers();
    text->setFocus();
}
