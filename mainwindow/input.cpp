// The input line, the local commands and the one way out to the server.
#include "base/version.h"
#include "core/settingsstore.h"
#include "mainwindow/Tmain.h"
#include "mainwindow/labels.h"
#include "session/TSession.h"

#include "connection/TChatInterface.h"
#include "core/textcodec.h"
#include "interpreter/TBnetChat.h"
#include "mainwindow/comforts.h"
#include "preferences/Toptions.h"
#include "rules/inputbreaks.h"
#include "rules/usericons.h"
#include "widgets/TTranscriptView.h"
#include "widgets/textitems.h"

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
    InputLineFilter(QObject *parent, std::function<bool(int, Qt::KeyboardModifiers)> comfortKey,
                    std::function<void(int, Qt::KeyboardModifiers)> keyDown,
                    std::function<void()> dblClick)
        : QObject(parent), m_comfortKey(std::move(comfortKey)), m_keyDown(std::move(keyDown)),
          m_dblClick(std::move(dblClick))
    {
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::KeyPress) {
            const auto *key = static_cast<QKeyEvent *>(event);
            // History and completion keys are used up here (Tab must not
            // move the focus on).
            if (m_comfortKey(key->key(), key->modifiers()))
                return true;
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
    std::function<bool(int, Qt::KeyboardModifiers)> m_comfortKey;
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

enum class Local { Quit, Brx, Unbrx, Ver, Reply, Connect, Disconnect, Away, Home, None };

// The local command a line is, tried in this order; the first word the line
// begins with wins, so "/version" is /ver and "/Quit" goes to the server.
Local localCommand(const QString &line)
{
    static const std::pair<const char *, Local> words[] = {
        {"/quit", Local::Quit},
        {"/brx", Local::Brx},
        {"/unbrx", Local::Unbrx},
        {"/ver", Local::Ver},
        {"/reply", Local::Reply},
        {"/connect", Local::Connect},
        {"/disconnect", Local::Disconnect},
        {"/away", Local::Away},
        {"/home", Local::Home},
    };
    for (const auto &w : words)
        if (isCommand(line, w.first))
            return w.second;
    return Local::None;
}

// Our own texts go into the transcript as bytes, like everything else.
QString bytesOf(const QString &text)
{
    QString bytes;
    TText::encode(text, TText::Encoding::Utf8, bytes);
    return bytes;
}

QString codePoint(const QString &character)
{
    const char32_t u = character.size() == 2 && character.at(0).isHighSurrogate()
                           ? QChar::surrogateToUcs4(character.at(0), character.at(1))
                           : character.at(0).unicode();
    return QStringLiteral("U+%1").arg(uint(u), 4, 16, QLatin1Char('0')).toUpper();
}

// text in the encoding, with the fragments' own bytes where they stand.
bool encodeWith(const QString &text, TText::Encoding encoding,
                const QList<std::pair<QString, QString>> &fragments, QString &bytes,
                QString *unencodable)
{
    QString out, plain;
    const auto flush = [&] {
        QString encoded;
        if (!TText::encode(plain, encoding, encoded, unencodable))
            return false;
        out += encoded;
        plain.clear();
        return true;
    };
    for (qsizetype i = 0; i < text.size();) {
        const std::pair<QString, QString> *best = nullptr;
        for (const auto &f : fragments)
            if ((!best || f.first.size() > best->first.size()) &&
                QStringView(text).mid(i).startsWith(f.first))
                best = &f;
        if (!best) {
            plain += text.at(i++);
            continue;
        }
        if (!flush())
            return false;
        out += best->second;
        i += best->first.size();
    }
    if (!flush())
        return false;
    bytes = out;
    return true;
}
} // namespace

void Tmain::setupInputLine()
{
    connect(send, &QPushButton::clicked, this, guard([this] { sendClick(); }));
    text->installEventFilter(new InputLineFilter(
        text,
        [this](int key, Qt::KeyboardModifiers modifiers) {
            bool used = false;
            guardedCall([&] { used = comforts->inputComfortKey(key, modifiers); });
            return used;
        },
        [this](int key, Qt::KeyboardModifiers shift) {
            guardedCall([this, key, shift] { textKeyDown(key, shift); });
        },
        [this] { guardedCall([this] { textDblClick(); }); }));
    // Pasted line breaks stay in the line as markers until Enter.
    text->setValidator(new TLineBreakValidator(text));
    connect(text, &QLineEdit::textChanged, this, [this](const QString &now) {
        if (now.isEmpty())
            m_inputFragments.clear();
    });
}

// One typed line, read once: the local command it is and, when something
// goes to the server, the session's plan for it, made here and nowhere else.
struct Tmain::TypedLine {
    QString line;                // as typed (bytes)
    Local command = Local::None; // for a line that begins with "/"
    bool toServer = false;       // plan holds what goes
    TLinePlan plan;
    QString refusal; // why it cannot go (empty: it can)
};

bool Tmain::sendtext(const QString &line)
{
    // Typed text is cut into lines before it gets here; a break in a line
    // put together from settings or names would end it early on the wire,
    // and the rest would be talk, so it becomes a space.
    const TLinePlan plan = session->planWhole(TInputBreaks::breaksToSpaces(line));
    // Only lines put together here can be this long; the server would
    // refuse or drop them without a word.
    if (!plan.goes()) {
        writeLine(chat, TLabel::error,
                  bytesOf(QStringLiteral("Not sent (%1 bytes; the server takes at most %2 in a "
                                         "line): ")
                              .arg(plan.line.size())
                              .arg(plan.limit)) +
                      plan.line,
                  errorColour());
        return false;
    }
    session->send(plan);
    return true;
}

void Tmain::inputError(const QString &message)
{
    writeLine(chat, TLabel::error, bytesOf(message), errorColour());
}

QString Tmain::wireRefusal(const TLinePlan &plan) const
{
    switch (plan.outcome) {
    case TWire::Plan::Fits:
    case TWire::Plan::Split:
        return QString();
    case TWire::Plan::TooLong:
        return QStringLiteral("This command is %1 bytes long and the server takes at most %2 in a "
                              "line; only talk, whispers and emotes are split.")
            .arg(plan.line.size())
            .arg(plan.limit);
    case TWire::Plan::TooNarrow:
        break;
    }
    return QStringLiteral("This line cannot be cut into pieces of at most %1 bytes (the quota "
                          "settings on the Advanced tab of Preferences).")
        .arg(plan.limit);
}

Tmain::TypedLine Tmain::understand(const QString &line, std::optional<QString> &away) const
{
    TypedLine t;
    t.line = line;
    const auto toServer = [&](const QString &wireLine) {
        t.toServer = true;
        t.plan = session->plan(wireLine);
        t.refusal = wireRefusal(t.plan);
    };
    if (!line.startsWith(QLatin1Char('/'))) {
        toServer(line);
        return t;
    }
    t.command = localCommand(line);
    switch (t.command) {
    case Local::Reply:
        if (!envVars.lastWhisperer.isEmpty())
            toServer(QStringLiteral("/m ") + envVars.lastWhisperer + QLatin1Char(' ') +
                     restFrom(line, 8));
        break;
    case Local::Away: {
        // A bare /away sends the stored message, which stays as it is; an
        // earlier line of the same paste may have stored another.
        if (!away)
            away = store->bytes(TSetting::awaymessage);
        const bool given = line.size() > 5;
        t.toServer = true;
        t.plan = session->planWhole(TInputBreaks::breaksToSpaces(
            QStringLiteral("/away ") + (given ? restFrom(line, 7) : *away)));
        if (t.plan.goes()) {
            if (given)
                away = restFrom(line, 7);
            break;
        }
        const QString what = given ? QStringLiteral("The away message is too long")
                                   : QStringLiteral("The stored away message is too long");
        t.refusal = what + QStringLiteral(": the /away line would be %1 bytes and the server "
                                          "takes at most %2 in a line. %3")
                               .arg(t.plan.line.size())
                               .arg(t.plan.limit)
                               .arg(given ? QStringLiteral("It was not stored.")
                                          : QStringLiteral("Nothing was sent."));
        break;
    }
    case Local::None:
        toServer(line);
        break;
    default:
        break; // handled here, nothing goes to the server
    }
    return t;
}

bool Tmain::sendPlanned(const TypedLine &typed)
{
    if (!typed.refusal.isEmpty()) {
        inputError(typed.refusal + QStringLiteral(" It was not sent."));
        return false;
    }
    session->send(typed.plan);
    return true;
}

bool Tmain::parseCommand(const QString &line)
{
    std::optional<QString> away;
    return runCommand(understand(line, away));
}

bool Tmain::runCommand(const TypedLine &typed)
{
    const QString &line = typed.line;
    bool went = true;
    switch (typed.command) {
    case Local::Quit:
        QuitClick();
        break;
    case Local::Brx: {
        const QString name = restFrom(line, 6);
        if (!checkSquelch(name)) {
            // Someone not in the channel has no product: the Chat icon.
            const int id = session->getUserID(name);
            const QString product = id > 0 ? session->userTable[id].product : QString();
            squelchuser(name, QStringLiteral("Manually Permasquelched"), productIcon(product));
        }
        break;
    }
    case Local::Unbrx: {
        const QString name = restFrom(line, 8);
        if (checkSquelch(name))
            unSquelchUser(name);
        break;
    }
    case Local::Ver:
        writeLine(chat, TLabel::consoleBlank, TLabel::mainCaption, labelColour());
        break;
    case Local::Reply:
        if (typed.toServer)
            went = sendPlanned(typed);
        break;
    case Local::Connect:
        ConnectClick();
        break;
    case Local::Disconnect:
        DisconnectClick();
        break;
    case Local::Away:
        // A message the server would refuse is not stored either.
        if (!typed.refusal.isEmpty()) {
            inputError(typed.refusal);
            went = false;
            break;
        }
        if (line.size() > 5) {
            store->setBytes(TSetting::awaymessage, restFrom(line, 7));
            options->writeconfig();
        }
        session->send(typed.plan);
        break;
    case Local::Home:
        HomeClick();
        break;
    case Local::None:
        went = sendPlanned(typed);
        break;
    }
    envVars.lastCommand = line;
    return went;
}

QString Tmain::rememberBytes(const QString &bytes)
{
    const QString shown = TText::decode(bytes);
    const auto encoding = store->typedEncoding();
    QString again;
    if (!TText::encode(shown, encoding, again) || again != bytes)
        m_inputFragments.append({shown, bytes});
    return shown;
}

void Tmain::setInputBytes(const QStringList &lines)
{
    text->clear();
    QStringList shown;
    for (const QString &line : lines)
        shown << rememberBytes(line);
    text->setText(shown.join(QChar(TInputBreaks::marker)));
    text->setCursorPosition(int(text->text().size()));
}

void Tmain::appendInputBytes(const QString &bytes)
{
    const QString shown = rememberBytes(bytes);
    text->setText(text->text() + shown);
    text->setCursorPosition(int(text->text().size()));
}

bool Tmain::inputLines(QStringList &lines)
{
    const auto encoding = store->typedEncoding();
    QStringList out;
    for (const QString &line : TInputBreaks::linesOf(text->text())) {
        QString bytes, bad;
        if (!encodeWith(line, encoding, m_inputFragments, bytes, &bad)) {
            const QString name = store->pickText(TSetting::outgoingEncoding);
            // A lone surrogate cannot be shown, only named.
            const QString character = bad.at(0).isSurrogate() && bad.size() == 1
                                          ? codePoint(bad)
                                          : QLatin1Char('"') + bad + QStringLiteral("\" (") +
                                                codePoint(bad) + QLatin1Char(')');
            inputError(QStringLiteral("The character %1 cannot be sent in %2 (\"Send typed text "
                                      "as:\" on the Advanced tab of Preferences). Nothing was "
                                      "sent; the text is still in the input line.")
                           .arg(character, name));
            return false;
        }
        out << bytes;
    }
    lines = out;
    return true;
}

void Tmain::sendClick()
{
    if (text->text().isEmpty())
        return;
    QStringList lines;
    if (!inputLines(lines))
        return;
    // Empty lines of a paste send nothing, as an empty input line does.
    lines.removeAll(QString());
    // A paste goes out whole or not at all, so that it can be mended and sent again.
    std::vector<TypedLine> typed;
    std::optional<QString> away;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        typed.push_back(understand(lines.at(i), away));
        const QString &why = typed.back().refusal;
        if (why.isEmpty())
            continue;
        const QString where = lines.size() > 1
                                  ? QStringLiteral("Line %1 of %2: ").arg(i + 1).arg(lines.size())
                                  : QString();
        inputError(where + why +
                   QStringLiteral(" Nothing was sent; the text is still in the input line."));
        return;
    }
    for (const TypedLine &t : typed) {
        if (t.line.startsWith(QLatin1Char('/'))) {
            runCommand(t);
        } else if (session->bnet->Connected()) {
            // Each piece is shown as it is handed over, as one line would be.
            session->send(t.plan);
            for (const QString &piece : t.plan.pieces)
                writeOwnLine(piece);
        } else {
            writeLine(chat, TLabel::errorBlank,
                      QStringLiteral("You're not connected to Battle.net."), errorColour());
        }
        if (menus.dispRaw->isChecked())
            whisper->appendPlainLine(t.line);
    }
    comforts->rememberSent(text->text());
    text->clear();
}

void Tmain::whisperInput(const QString &name)
{
    QStringList lines;
    if (!inputLines(lines))
        return;
    lines.removeAll(QString());
    if (lines.isEmpty())
        lines << QString(); // an empty line still whispers the name and the space
    std::vector<TLinePlan> whispers;
    for (const QString &line : std::as_const(lines)) {
        whispers.push_back(session->plan(QStringLiteral("/m ") + name + QLatin1Char(' ') + line));
        const QString why = wireRefusal(whispers.back());
        if (!why.isEmpty()) {
            inputError(why +
                       QStringLiteral(" Nothing was sent; the text is still in the input line."));
            return;
        }
    }
    for (const TLinePlan &w : whispers)
        session->send(w);
    text->clear();
}

void Tmain::textKeyDown(int key, Qt::KeyboardModifiers shift)
{
    if (!(shift & Qt::AltModifier) || (key != Qt::Key_N && key != Qt::Key_W))
        return;
    QString name;
    if (!selectedUser(name))
        return;
    if (key == Qt::Key_N)
        appendInputBytes(name);
    else
        whisperInput(name);
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
    if (!store->flag(TSetting::dblclickcommand) || !text->text().isEmpty())
        return;
    setInputBytes({envVars.lastCommand});
}

void Tmain::writeOwnLine(const QString &piece)
{
    TTranscriptView *const view = chatView();
    const bool shown = view && !envVars.chatPaused;
    m_writingPending = shown;
    writeLine(chat, QLatin1Char('<') + session->process->UserName + QLatin1Char('>'), piece,
              colourOf(TSetting::your_name));
    m_writingPending = false;
    if (!shown || view->lineCount() == 0)
        return;
    const int line = view->lineCount() - 1;
    const int column = int(view->lineText(line).indexOf(pendingMark));
    if (column >= 0)
        m_pendingOwn.append(
            {TInputBreaks::breaksToSpaces(piece) + QLatin1Char('\r'), line, column});
}

void Tmain::processTaken(const QString &line)
{
    for (qsizetype i = 0; i < m_pendingOwn.size(); ++i) {
        const PendingOwnLine p = m_pendingOwn.at(i);
        if (p.wire != line)
            continue;
        m_pendingOwn.removeAt(i);
        // The pane may have been cleared since: only a mark still there goes.
        if (TTranscriptView *view = chatView())
            if (p.line < view->lineCount() &&
                view->lineText(p.line).mid(p.column, 1) == QString(pendingMark))
                view->replaceChar(p.line, p.column, QLatin1Char(' '));
        return;
    }
}

void Tmain::processUnsent(const QStringList &lines, int written)
{
    if (lines.isEmpty())
        return;
    // The lines go back to the user; their marks stay, as nothing
    // confirmed them.
    for (const QString &l : lines)
        for (qsizetype i = 0; i < m_pendingOwn.size(); ++i)
            if (m_pendingOwn.at(i).wire == l + QLatin1Char('\r')) {
                m_pendingOwn.removeAt(i);
                break;
            }
    const qsizetype n = lines.size();
    const QString count =
        n == 1 ? QStringLiteral("1 line was") : QStringLiteral("%1 lines were").arg(n);
    // A line written but never acknowledged may have arrived all the same.
    const QString what =
        written <= 0 ? count + QStringLiteral(" not sent before the connection ended")
        : n == 1     ? count + QStringLiteral(" not confirmed by the server before the connection "
                                                  "ended, and may have arrived")
                     : count + QStringLiteral(" not confirmed by the server before the connection "
                                                  "ended (the first may have arrived)");
    const QColor colour = errorColour();
    if (text->text().isEmpty()) {
        setInputBytes(lines);
        writeLine(chat, QStringLiteral("Warning:"),
                  what + QStringLiteral("; ") +
                      (n == 1 ? QStringLiteral("it is") : QStringLiteral("they are")) +
                      QStringLiteral(" back in the input line: press Enter to send ") +
                      (n == 1 ? QStringLiteral("it") : QStringLiteral("them")) +
                      QStringLiteral(" when connected again."),
                  colour);
        return;
    }
    // What the user is typing stays as it is; the lines are kept here.
    writeLine(chat, QStringLiteral("Warning:"),
              what +
                  QStringLiteral("; the input line was "
                                 "in use, so here ") +
                  (n == 1 ? QStringLiteral("it is:") : QStringLiteral("they are:")),
              colour);
    for (const QString &line : lines)
        writeLine(chat, QStringLiteral("Warning:"), QStringLiteral("Not sent: ") + line, colour);
}
