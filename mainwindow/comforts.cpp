// The comforts of long hours in a busy channel: Up and Down through the
// lines sent, Tab completion, the find bar over the chat, links, and the
// marking of lines that mention the user.
#include "core/settingsstore.h"
#include "mainwindow/Tmain.h"
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

// A child of the window, so that it goes with it.
struct Tmain::ComfortState : QObject {
    TInputHistory history;
    TCompletion completion;
    TFindBar *findBar = nullptr;
    QAction *findAction = nullptr;
    QAction *copyLink = nullptr;
    QString menuLink; // the address the chat menu was opened on
};

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

void Tmain::setupComforts()
{
    m_comforts = new ComfortState;
    m_comforts->setParent(this);
    // Ctrl+F wherever the focus is in the window.
    m_comforts->findAction = new QAction(QStringLiteral("Find"), this);
    m_comforts->findAction->setShortcut(QKeySequence::Find);
    m_comforts->findAction->setShortcutContext(Qt::WindowShortcut);
    addAction(m_comforts->findAction);
    connect(m_comforts->findAction, &QAction::triggered, this, guard([this] { openFindBar(); }));

    m_comforts->copyLink = new QAction(QStringLiteral("Copy Link Address"), this);
    m_comforts->copyLink->setObjectName(QStringLiteral("copyLink"));
    connect(m_comforts->copyLink, &QAction::triggered, this,
            [this] { QGuiApplication::clipboard()->setText(m_comforts->menuLink); });

    TTranscriptView *view = chatView();
    if (!view)
        return; // a pane without these features (the benchmark's)
    auto *bar = new TFindBar(view);
    m_comforts->findBar = bar;
    view->installEventFilter(new FindBarPlacer(bar, bar));
    connect(bar, &TFindBar::searchEdited, this, [this] { findTextChanged(); });
    connect(bar, &TFindBar::nextRequested, this, [this] { findStep(true); });
    connect(bar, &TFindBar::previousRequested, this, [this] { findStep(false); });
    connect(bar, &TFindBar::closeRequested, this, [this] { closeFindBar(); });
    connect(view, &TTranscriptView::searchChanged, this,
            [view, bar] { bar->showCount(view->search().current(), view->search().count()); });
    connect(view, &TTranscriptView::linkActivated, this, [this](const QUrl &url) {
        if (!dialogs().openUrl(url))
            writeLine(chat, QStringLiteral("Error:"),
                      TTextItem::ownText(QStringLiteral("No browser took the address ") +
                                         url.toString() + QLatin1Char('.')),
                      errorColour());
    });
}

void Tmain::applyComfortSettings()
{
    if (TTranscriptView *view = chatView()) {
        view->setLinksShown(store->flag(TSetting::showLinks));
        view->setMarkColour(colourOf(TSetting::mentionColour));
    }
    if (!store->flag(TSetting::findBar) && findBarOpen())
        closeFindBar();
    m_comforts->findAction->setEnabled(store->flag(TSetting::findBar));
}

// ---- the input line --------------------------------------------------------

bool Tmain::inputComfortKey(int key, Qt::KeyboardModifiers modifiers)
{
    const Qt::KeyboardModifiers held =
        modifiers & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
    if ((key == Qt::Key_Up || key == Qt::Key_Down) && held == Qt::NoModifier &&
        store->flag(TSetting::inputHistory)) {
        TInputEntry shown;
        const bool moved = key == Qt::Key_Up
                               ? m_comforts->history.older({text->text(), m_inputFragments}, shown)
                               : m_comforts->history.newer(shown);
        if (moved) {
            text->setText(shown.text);
            m_inputFragments = shown.fragments;
            text->setCursorPosition(int(text->text().size()));
        }
        return true;
    }
    // Tab completes when there is something to complete, and otherwise
    // moves the focus on as everywhere else.
    if (key == Qt::Key_Tab && held == Qt::NoModifier && store->flag(TSetting::tabCompletion))
        return completeInput(false);
    if (key == Qt::Key_Backtab && store->flag(TSetting::tabCompletion))
        return completeInput(true);
    return inputReadingKey(key, held);
}

bool Tmain::completeInput(bool backwards)
{
    flushUsers();
    QStringList shown;
    QList<QString> bytes;
    for (int i = 0; i < users->topLevelItemCount(); ++i) {
        const QTreeWidgetItem *item = users->topLevelItem(i);
        shown << item->text(0);
        bytes << TTextItem::bytesOf(item);
    }
    TCompletion::Result result;
    if (!m_comforts->completion.complete(text->text(), text->cursorPosition(), shown, result,
                                         backwards))
        return false;
    // A name its encoding cannot give back keeps its own bytes.
    if (result.name >= 0)
        rememberBytes(bytes.at(result.name));
    text->setText(result.text);
    text->setCursorPosition(result.cursor);
    return true;
}

void Tmain::rememberSent(const QString &shownText)
{
    m_comforts->history.add({shownText, m_inputFragments});
}

// ---- the find bar ----------------------------------------------------------

bool Tmain::findBarOpen() const { return m_comforts->findBar && m_comforts->findBar->isVisible(); }

TFindBar *Tmain::findBar() const { return m_comforts->findBar; }

void Tmain::openFindBar()
{
    TTranscriptView *view = chatView();
    if (!view || !store->flag(TSetting::findBar))
        return;
    // While it is open new lines leave the view and the selection alone.
    view->setHoldView(true);
    view->reserveTop(m_comforts->findBar->sizeHint().height());
    m_comforts->findBar->open();
    if (!m_comforts->findBar->text().isEmpty())
        findTextChanged();
}

void Tmain::closeFindBar()
{
    TTranscriptView *view = chatView();
    if (!view)
        return;
    m_comforts->findBar->hide();
    view->reserveTop(0);
    view->clearSearch();
    view->setHoldView(false);
    text->setFocus();
}

void Tmain::findTextChanged()
{
    TTranscriptView *view = chatView();
    TFindBar *bar = m_comforts->findBar;
    view->setSearch(bar->text(), bar->caseSensitivity());
    // The first match from the top of the view on.
    view->goToMatch(view->search().firstFrom(view->topLine()));
}

void Tmain::findStep(bool forward)
{
    TTranscriptView *view = chatView();
    if (view->search().count() > 0)
        view->goToMatch(view->search().stepFrom(forward));
}

// ---- links and mentions ----------------------------------------------------

void Tmain::chatMenuRequested(const QPoint &pos)
{
    TLinkSpan link;
    const TTranscriptView *view = chatView();
    const bool onLink = view && view->linkAt(pos, link);
    m_comforts->menuLink = onLink ? link.url().toString() : QString();
    chatMenu->removeAction(m_comforts->copyLink);
    if (onLink)
        chatMenu->addAction(m_comforts->copyLink);
    chatMenu->popup(chat->widget()->mapToGlobal(pos));
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
