// The comforts of long hours in a busy channel: Up and Down through the
// lines sent, Tab completion, the find bar over the chat, links, and the
// marking of lines that mention the user.
#include "mainwindow/comforts.h"

#include "core/settingsstore.h"
#include "mainwindow/Tmain.h"
#include "mainwindow/access.h"
#include "session/TSession.h"

#include "core/textcodec.h"
#include "interpreter/TBnetChat.h"
#include "preferences/Toptions.h"
#include "rules/completion.h"
#include "rules/inputhistory.h"
#include "widgets/TTranscriptView.h"
#include "widgets/dialogs.h"
#include "widgets/findbar.h"
#include "widgets/textitems.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QTreeWidget>

namespace {
// Keeps the find bar in its place over the chat pane as the pane changes size.
class FindBarPlacer final : public QObject {
public:
    FindBarPlacer(QObject *parent, TFindBar *bar) : QObject(parent), m_bar(bar) {}

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Resize && m_bar->isVisible())
            m_bar->place();
        return QObject::eventFilter(watched, event);
    }

private:
    TFindBar *m_bar;
};
} // namespace

TTranscriptView *Tmain::chatView() const { return dynamic_cast<TTranscriptView *>(chat); }

TComforts::TComforts(Tmain &window) : QObject(&window), w(window)
{
    // Ctrl+F wherever the focus is in the window.
    m_findAction = new QAction(QStringLiteral("Find"), this);
    m_findAction->setShortcut(QKeySequence::Find);
    m_findAction->setShortcutContext(Qt::WindowShortcut);
    w.addAction(m_findAction);
    connect(m_findAction, &QAction::triggered, this, w.guard([this] { openFindBar(); }));

    m_copyLink = new QAction(QStringLiteral("Copy Link Address"), this);
    m_copyLink->setObjectName(QStringLiteral("copyLink"));
    connect(m_copyLink, &QAction::triggered, this,
            [this] { QGuiApplication::clipboard()->setText(m_menuLink); });

    TTranscriptView *view = w.chatView();
    if (!view)
        return; // a pane without these features (the benchmark's)
    auto *bar = new TFindBar(view);
    m_findBar = bar;
    view->installEventFilter(new FindBarPlacer(bar, bar));
    connect(bar, &TFindBar::searchEdited, this, [this] { findTextChanged(); });
    connect(bar, &TFindBar::nextRequested, this, [this] { findStep(true); });
    connect(bar, &TFindBar::previousRequested, this, [this] { findStep(false); });
    connect(bar, &TFindBar::closeRequested, this, [this] { closeFindBar(); });
    connect(view, &TTranscriptView::searchChanged, this,
            [view, bar] { bar->showCount(view->search().current(), view->search().count()); });
    connect(view, &TTranscriptView::linkActivated, this, [this](const QUrl &url) {
        if (!dialogs().openUrl(url))
            w.writeLine(w.chat, QStringLiteral("Error:"),
                        TTextItem::ownText(QStringLiteral("No browser took the address ") +
                                           url.toString() + QLatin1Char('.')),
                        w.errorColour());
    });
}

void TComforts::applyComfortSettings()
{
    if (TTranscriptView *view = w.chatView()) {
        view->setLinksShown(w.store->flag(TSetting::showLinks));
        view->setMarkColour(w.colourOf(TSetting::mentionColour));
    }
    if (!w.store->flag(TSetting::findBar) && findBarOpen())
        closeFindBar();
    m_findAction->setEnabled(w.store->flag(TSetting::findBar));
}

// ---- the input line --------------------------------------------------------

bool TComforts::inputComfortKey(int key, Qt::KeyboardModifiers modifiers)
{
    const Qt::KeyboardModifiers held =
        modifiers & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
    if ((key == Qt::Key_Up || key == Qt::Key_Down) && held == Qt::NoModifier &&
        w.store->flag(TSetting::inputHistory)) {
        TInputEntry shown;
        const bool moved = key == Qt::Key_Up
                               ? m_history.older({w.text->text(), w.m_inputFragments}, shown)
                               : m_history.newer(shown);
        if (moved) {
            w.text->setText(shown.text);
            w.m_inputFragments = shown.fragments;
            w.text->setCursorPosition(int(w.text->text().size()));
        }
        return true;
    }
    // Tab completes when there is something to complete, and otherwise
    // moves the focus on as everywhere else.
    if (key == Qt::Key_Tab && held == Qt::NoModifier && w.store->flag(TSetting::tabCompletion))
        return completeInput(false);
    if (key == Qt::Key_Backtab && w.store->flag(TSetting::tabCompletion))
        return completeInput(true);
    return w.access->inputReadingKey(key, held);
}

bool TComforts::completeInput(bool backwards)
{
    w.flushUsers();
    QStringList shown;
    QList<QString> bytes;
    for (int i = 0; i < w.users->topLevelItemCount(); ++i) {
        const QTreeWidgetItem *item = w.users->topLevelItem(i);
        shown << item->text(0);
        bytes << TTextItem::bytesOf(item);
    }
    TCompletion::Result result;
    if (!m_completion.complete(w.text->text(), w.text->cursorPosition(), shown, result, backwards))
        return false;
    // A name its encoding cannot give back keeps its own bytes.
    if (result.name >= 0)
        w.rememberBytes(bytes.at(result.name));
    w.text->setText(result.text);
    w.text->setCursorPosition(result.cursor);
    return true;
}

void TComforts::rememberSent(const QString &shownText)
{
    m_history.add({shownText, w.m_inputFragments});
}

// ---- the find bar ----------------------------------------------------------

bool TComforts::findBarOpen() const { return m_findBar && m_findBar->isVisible(); }

TFindBar *TComforts::findBar() const { return m_findBar; }

void TComforts::openFindBar()
{
    TTranscriptView *view = w.chatView();
    if (!view || !w.store->flag(TSetting::findBar))
        return;
    // While it is open new lines leave the view and the selection alone.
    view->setHoldView(true);
    view->reserveTop(m_findBar->sizeHint().height());
    m_findBar->open();
    if (!m_findBar->text().isEmpty())
        findTextChanged();
}

void TComforts::closeFindBar()
{
    TTranscriptView *view = w.chatView();
    if (!view)
        return;
    m_findBar->hide();
    view->reserveTop(0);
    view->clearSearch();
    view->setHoldView(false);
    w.text->setFocus();
}

void TComforts::findTextChanged()
{
    TTranscriptView *view = w.chatView();
    TFindBar *bar = m_findBar;
    view->setSearch(bar->text(), bar->caseSensitivity());
    // The first match from the top of the view on.
    view->goToMatch(view->search().firstFrom(view->topLine()));
}

void TComforts::findStep(bool forward)
{
    TTranscriptView *view = w.chatView();
    if (view->search().count() > 0)
        view->goToMatch(view->search().stepFrom(forward));
}

// ---- links and mentions ----------------------------------------------------

void TComforts::chatMenuRequested(const QPoint &pos)
{
    TLinkSpan link;
    const TTranscriptView *view = w.chatView();
    const bool onLink = view && view->linkAt(pos, link);
    m_menuLink = onLink ? link.url().toString() : QString();
    w.menus.chatMenu->removeAction(m_copyLink);
    if (onLink)
        w.menus.chatMenu->addAction(m_copyLink);
    w.menus.chatMenu->popup(w.chat->widget()->mapToGlobal(pos));
}

QString Tmain::ownName() const
{
    if (session->loginSeen())
        return m_uniqueName;
    QString own;
    if (!store->tryBytes(TSetting::username, own))
        return QString();
    return own;
}

void Tmain::mentionAttention(const QString &user, const QString &message)
{
    drawAttention(TText::decode(user) + QStringLiteral(" mentioned you"), TText::decode(message));
}
