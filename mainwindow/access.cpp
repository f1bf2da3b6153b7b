// Reading the window and driving it without a mouse: the names a screen
// reader says, new lines read out while the user types, the order Tab and
// F6 take, the page keys of the input line and the context menu from the
// keyboard.
#include "mainwindow/access.h"

#include "core/settingsstore.h"
#include "mainwindow/Tmain.h"

#include "preferences/Toptions.h"
#include "rules/readout.h"
#include "widgets/TTranscriptView.h"
#include "widgets/accesslistening.h"
#include "widgets/announcer.h"

#include <QAbstractItemView>
#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QPushButton>
#include <QTreeWidget>

namespace {
// Runs its work once a watched widget's font has changed (after the widget
// has taken the new font in, so that its size hint is the new one).
class FontWatcher final : public QObject {
public:
    FontWatcher(QObject *parent, std::function<void()> work)
        : QObject(parent), m_work(std::move(work))
    {
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::FontChange && !m_queued) {
            m_queued = true;
            QMetaObject::invokeMethod(
                this,
                [this] {
                    m_queued = false;
                    m_work();
                },
                Qt::QueuedConnection);
        }
        return QObject::eventFilter(watched, event);
    }

private:
    std::function<void()> m_work;
    bool m_queued = false;
};
} // namespace

TWindowAccess::TWindowAccess(Tmain &window) : QObject(&window), w(window)
{
    m_announcer = new TAnnouncer(w.centralWidget());
    m_announcer->takeText = [this] { return m_readOut.take(); };
    auto *chat = w.chat;
    auto *whisper = w.whisper;
    auto *users = w.users;
    auto *brx = w.brx;
    auto *text = w.text;
    auto *channel = w.channel;
    auto *send = w.send;
    auto *lamermode = w.lamermode;

    // What a screen reader calls each control (the buttons say their captions).
    chat->widget()->setAccessibleName(QStringLiteral("Chat"));
    whisper->widget()->setAccessibleName(QStringLiteral("Whispers"));
    users->setAccessibleName(QStringLiteral("Users in the channel"));
    brx->setAccessibleName(QStringLiteral("Squelch list"));
    text->setAccessibleName(QStringLiteral("Input line"));
    channel->setAccessibleName(QStringLiteral("Channel"));
    w.menuBar()->setAccessibleName(QStringLiteral("Main menu"));

    // Tab: the input line, the panes, the lists, then the buttons.
    QWidget *order[] = {text,    chat->widget(), whisper->widget(), users, brx,
                        channel, send,           lamermode};
    for (size_t i = 0; i + 1 < std::size(order); ++i)
        QWidget::setTabOrder(order[i], order[i + 1]);
    for (QWidget *w : {chat->widget(), whisper->widget(), static_cast<QWidget *>(users),
                       static_cast<QWidget *>(brx)})
        w->setFocusPolicy(Qt::StrongFocus);
    for (QPushButton *b : {send, lamermode})
        b->setFocusPolicy(Qt::StrongFocus);

    auto shortcut = [this](const QList<QKeySequence> &keys, auto handler) {
        auto *a = new QAction(&w);
        a->setShortcuts(keys);
        a->setShortcutContext(Qt::WindowShortcut);
        w.addAction(a);
        connect(a, &QAction::triggered, this, w.guard(handler));
        return a;
    };
    shortcut({QKeySequence(Qt::Key_F6)}, [this] {
        cycleFocus(true);
    })->setObjectName(QStringLiteral("nextArea"));
    shortcut({QKeySequence(Qt::SHIFT | Qt::Key_F6)}, [this] {
        cycleFocus(false);
    })->setObjectName(QStringLiteral("previousArea"));
    shortcut({QKeySequence(Qt::SHIFT | Qt::Key_F10), QKeySequence(Qt::Key_Menu)}, [this] {
        contextMenuFromKeyboard();
    })->setObjectName(QStringLiteral("keyboardMenu"));

    // A new font for a one-line control lays the window out again.
    auto *fonts = new FontWatcher(this, [this] { w.refreshForm(); });
    for (QWidget *w : {static_cast<QWidget *>(channel), static_cast<QWidget *>(text),
                       static_cast<QWidget *>(send), static_cast<QWidget *>(lamermode)})
        w->installEventFilter(fonts);

    // Escape in a pane goes back to typing.
    for (TTranscriptPane *pane : {chat, whisper})
        if (auto *view = dynamic_cast<TTranscriptView *>(pane))
            connect(view, &TTranscriptView::escapePressed, this,
                    [this] { w.text->setFocus(Qt::OtherFocusReason); });
}

void TWindowAccess::cycleFocus(bool forward)
{
    QWidget *areas[] = {w.text, w.chat->widget(), w.whisper->widget(), w.users, w.brx};
    const int n = int(std::size(areas));
    QWidget *now = QApplication::focusWidget();
    int at = -1;
    for (int i = 0; i < n; ++i)
        if (now && (now == areas[i] || areas[i]->isAncestorOf(now)))
            at = i;
    const int next = at < 0 ? (forward ? 0 : n - 1) : (at + (forward ? 1 : n - 1)) % n;
    areas[next]->setFocus(forward ? Qt::TabFocusReason : Qt::BacktabFocusReason);
}

void TWindowAccess::contextMenuFromKeyboard()
{
    QWidget *focused = QApplication::focusWidget();
    if (!focused || focused->window() != &w)
        return;
    // A list or a pane gets the event on its viewport, under its current
    // row or its reading caret; any other control in its middle.
    QWidget *target = focused;
    QPoint at = focused->rect().center();
    if (auto *list = qobject_cast<QAbstractItemView *>(focused)) {
        target = list->viewport();
        const QRect row = list->visualRect(list->currentIndex());
        at = row.isValid() ? row.center() : QPoint(4, 4);
    } else if (auto *view = qobject_cast<TTranscriptView *>(focused)) {
        target = view->viewport();
        const QRect caret = view->offsetRect(view->caretOffset());
        at = caret.isValid() ? caret.center() : QPoint(4, 4);
    }
    QContextMenuEvent event(QContextMenuEvent::Keyboard, at, target->mapToGlobal(at));
    QCoreApplication::sendEvent(target, &event);
}

bool TWindowAccess::inputReadingKey(int key, Qt::KeyboardModifiers held)
{
    TTranscriptView *view = w.chatView();
    if (!view)
        return false;
    if ((key == Qt::Key_PageUp || key == Qt::Key_PageDown) && held == Qt::NoModifier) {
        view->scrollPages(key == Qt::Key_PageUp ? -1 : 1);
        return true;
    }
    if ((key == Qt::Key_Home || key == Qt::Key_End) && held == Qt::ControlModifier) {
        if (key == Qt::Key_Home)
            view->scrollToStart();
        else
            view->scrollToEnd();
        return true;
    }
    return false;
}

void TWindowAccess::readOutLine(TTranscriptPane *pane, const QString &label,
                                const QString &shownLine, bool mention, bool heldBack)
{
    // Nothing to do unless someone listens and the user is typing (in a
    // pane the screen reader follows the pane's own text).
    if (!heldBack && (m_replaying || !TAccessibility::listening() || !w.text->hasFocus()))
        return;
    TReadOut::Line line;
    line.whisper = pane == w.whisper || label.startsWith(QLatin1String("<Recieved Whisper")) ||
                   label.startsWith(QLatin1String("<Sent Whisper"));
    line.mention = mention;
    line.own = label.startsWith(QLatin1String("Console:")) ||
               label.startsWith(QLatin1String("Error:")) ||
               label.startsWith(QLatin1String("Warning:"));
    if (heldBack) {
        m_readOut.hold(line);
        return;
    }
    m_readOut.setLevel(TReadOut::Level(std::max(0, w.store->number(TSetting::readOut))));
    line.text = shownLine.trimmed();
    if (m_readOut.add(line))
        m_announcer->request();
}

void TWindowAccess::readOutReplay(bool replaying)
{
    m_replaying = replaying;
    if (replaying)
        return;
    m_readOut.setLevel(TReadOut::Level(std::max(0, w.store->number(TSetting::readOut))));
    m_readOut.released();
    if (m_readOut.pending())
        m_announcer->request();
}
