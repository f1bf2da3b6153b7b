// The input line, the local commands and the one way out to the server.
#include "mainwindow/Tmain.h"

#include "connection/TChatInterface.h"
#include "interpreter/TBnetChat.h"
#include "mainwindow/textitems.h"
#include "mainwindow/usericons.h"
#include "preferences/Toptions.h"

#include <QAction>
#include <QCheckBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>

namespace {
// Hands the input line's Alt keys and double clicks to the window.
class InputLineFilter final : public QObject {
public:
    InputLineFilter(QObject *parent, std::function<void(int, Qt::KeyboardModifiers)> keyDown,
                    std::function<void()> dblClick)
        : QObject(parent), m_keyDown(std::move(keyDown)), m_dblClick(std::move(dblClick))
    {
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::KeyPress) {
            const auto *key = static_cast<QKeyEvent *>(event);
            m_keyDown(key->key(), key->modifiers());
            // Alt with a letter never types the letter (as in the edit boxes
            // users know): the line edit would otherwise add an "n" or "w"
            // after the name, or to the line just cleared.
            const bool altLetter = (key->modifiers() & Qt::AltModifier) &&
                                   (key->key() == Qt::Key_N || key->key() == Qt::Key_W);
            return altLetter;
        }
        if (event->type() == QEvent::MouseButtonDblClick) {
            // The line edit's own double click (selecting a word) comes
            // first, so that it does not select the recalled command.
            watched->event(event);
            m_dblClick();
            return true;
        }
        return QObject::eventFilter(watched, event);
    }

private:
    std::function<void(int, Qt::KeyboardModifiers)> m_keyDown;
    std::function<void()> m_dblClick;
};

// The command word matches when the line begins with it; anything may follow.
bool isCommand(const QString &line, const char *word)
{
    return line.startsWith(QLatin1String(word), Qt::CaseSensitive);
}

// The rest of the line from 1-based position pos on (empty past the end).
QString restFrom(const QString &line, int pos) { return line.mid(pos - 1); }
} // namespace

void Tmain::setupInputLine()
{
    connect(send, &QPushButton::clicked, this, guard([this] { sendClick(); }));
    text->installEventFilter(new InputLineFilter(
        text,
        [this](int key, Qt::KeyboardModifiers shift) {
            guardedCall([this, key, shift] { textKeyDown(key, shift); });
        },
        [this] { guardedCall([this] { textDblClick(); }); }));
}

void Tmain::sendtext(const QString &line) { process->SendLine(line + QLatin1Char('\r')); }

void Tmain::parseCommand(const QString &line)
{
    // Tried in this order; the first word the line begins with wins, so
    // "/version" is /ver and "/Quit" goes to the server.
    if (isCommand(line, "/quit")) {
        QuitClick();
    } else if (isCommand(line, "/brx")) {
        const QString name = restFrom(line, 6);
        if (!checkSquelch(name)) {
            // Someone not in the channel has no product: the Chat icon.
            const int id = getUserID(name);
            const QString product = id > 0 ? userTable[id].product : QString();
            squelchuser(name, QStringLiteral("Manually Permasquelched"), productIcon(product));
        }
    } else if (isCommand(line, "/unbrx")) {
        const QString name = restFrom(line, 8);
        if (checkSquelch(name))
            unSquelchUser(name);
    } else if (isCommand(line, "/ver")) {
        writeLine(chat, QStringLiteral("Console: "), QStringLiteral("Tressel [1.5]"),
                  options->label_colour->selected());
    } else if (isCommand(line, "/reply")) {
        if (!envVars.lastWhisperer.isEmpty())
            sendtext(QStringLiteral("/m ") + envVars.lastWhisperer + QLatin1Char(' ') +
                     restFrom(line, 8));
    } else if (isCommand(line, "/connect")) {
        ConnectClick();
    } else if (isCommand(line, "/disconnect")) {
        DisconnectClick();
    } else if (isCommand(line, "/away")) {
        if (line.size() > 5) {
            options->awaymessage->setBytes(restFrom(line, 7));
            options->writeconfig();
        }
        sendtext(QStringLiteral("/away ") + options->bytesOf(options->awaymessage));
    } else if (isCommand(line, "/home")) {
        HomeClick();
    } else {
        sendtext(line);
    }
    envVars.lastCommand = line;
}

void Tmain::sendClick()
{
    const QString s = text->text();
    if (s.isEmpty())
        return;
    if (s.startsWith(QLatin1Char('/'))) {
        parseCommand(s);
    } else if (bnet->Connected()) {
        sendtext(s);
        writeLine(chat, QLatin1Char('<') + process->UserName + QLatin1Char('>'), s,
                  options->your_name->selected());
    } else {
        writeLine(chat, QStringLiteral("Error: "), QStringLiteral("You're not connected to Battle.net."),
                  options->error_colour->selected());
    }
    if (dispRaw->isChecked())
        whisper->appendPlainLine(s);
    text->clear();
}

void Tmain::textKeyDown(int key, Qt::KeyboardModifiers shift)
{
    if (!(shift & Qt::AltModifier) || (key != Qt::Key_N && key != Qt::Key_W))
        return;
    const QList<QTreeWidgetItem *> selected = users->selectedItems();
    if (selected.isEmpty())
        return;
    // The caption is the name as shown; the bytes go to the server.
    const QString name = TTextItem::bytesOf(selected.first());
    if (key == Qt::Key_N) {
        text->setText(text->text() + selected.first()->text(0));
        text->setCursorPosition(int(text->text().size()));
    } else {
        sendtext(QStringLiteral("/m ") + name + QLatin1Char(' ') + text->text());
        text->clear();
    }
}

void Tmain::keyPressEvent(QKeyEvent *event)
{
    // A main window has no default button of its own, so do what a dialog
    // does for `send`: an Enter that no control used itself (the input
    // line, the lists and the panes leave it alone) reaches the window and
    // clicks it. Controls that want Enter accept it and it never gets here;
    // other windows, the preferences dialog and the boxes among them, keep
    // their own. Held modifiers do not matter, as they never did in the
    // input line.
    if (event->key() != Qt::Key_Return && event->key() != Qt::Key_Enter) {
        QMainWindow::keyPressEvent(event);
        return;
    }
    event->accept();
    if (send->isEnabled())
        send->click();
}

void Tmain::textDblClick()
{
    if (!options->dblclickcommand->isChecked() || !text->text().isEmpty())
        return;
    text->setText(envVars.lastCommand);
    text->setCursorPosition(int(text->text().size()));
}
