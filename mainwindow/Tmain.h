#pragma once
// The program's one window. Its methods carry all chat behaviour; each
// behaviour area lives in a source file of its own in this folder.
#include "core/settingsdefs.h"
#include "core/usertable.h"
#include "mainwindow/envvars.h"
#include "mainwindow/menus.h"
#include "rules/moderation.h"
#include "rules/triggertester.h"
#include "widgets/ttranscriptpane.h"

#include <QMainWindow>
#include <functional>
#include <optional>
#include <vector>

class QAction;
class QLineEdit;
class QListWidget;
class QMenu;
class QPushButton;
class TClockTimer;
class QTreeWidget;
class TFindBar;
class TSession;
struct TLinePlan;
class TTranscriptView;
class Toptions;
class TSettingsStore;

class Tmain : public QMainWindow {
    Q_OBJECT
    // The behaviour areas that are objects of their own.
    friend class TWindowAccess;
    friend class TComforts;
    friend class TJournalDesk;
    friend class TModerationDesk;
    friend class THistoryDesk;

public:
    explicit Tmain(QWidget *parent = nullptr);
    ~Tmain() override;

    // --- Controls --------------------------------------------------------
    TTranscriptPane *chat = nullptr;
    TTranscriptPane *whisper = nullptr;
    QTreeWidget *users = nullptr;
    QListWidget *brx = nullptr;
    QLineEdit *text = nullptr;
    QPushButton *send = nullptr;
    QLineEdit *channel = nullptr;
    QPushButton *lamermode = nullptr;
    // The link, the interpreter, logging in and reconnecting: the window
    // draws what the session reports.
    TSession *session = nullptr;
    // The one-second tick: the anti-idle and the paused caption. It is set
    // only for the next tick that does something (every one while chat is
    // paused, else the anti-idle point); the ticks between are run when it
    // fires, so an idle client does not wake every second.
    TClockTimer *timer = nullptr;
    qint64 timerOriginMs = 0; // clockMs() when the ticks began
    qint64 ticksRun = 0;
    Toptions *options = nullptr;
    // The settings, which everything here reads (never a control of the
    // dialog); made before the panes, whose start fonts it holds.
    TSettingsStore *store = nullptr;
    QColor colourOf(TSetting::Id id) const;
    QFont startFont(int pane) const; // a pane's font as the store has it

    // The menu bar's items and the panes' and lists' menus.
    TMainMenus menus;

    tEnvVars envVars;

    // Ends the program; tests replace it so that nothing quits under them.
    std::function<void()> terminate;

    // Makes the two transcript panes; a benchmark puts other panes in.
    using PaneFactory = std::function<TTranscriptPane *(QWidget *parent)>;
    static PaneFactory &transcriptFactory();

    // --- Main window and connection control ------------------------------
    void FormCreate();
    void FormShow();
    void refreshForm();
    void ConnectClick();
    void DisconnectClick();
    void PreferencesClick();
    void AwayClick();
    void HomeClick();
    void QuitClick();
    bool FormCloseQuery(); // true: the window may close
    void bnetConnect();
    void bnetDisconnect();
    void bnetLogin();
    void bnetSocketError(const QString &why);
    void bnetDataReceived(const QString &DataString);
    void timerTimer(); // one tick
    // Runs the ticks that have fallen due, then sets the timer for the next
    // one that does something.
    void runDueTicks();
    // The server's flood quota refused the last line sent (waitMs: when it
    // goes again; -1: it does not).
    void processRefused(const QString &line, int waitMs);

    // --- Transcript and logs ---------------------------------------------
    // label and message are bytes: the pane shows each decoded on its own,
    // the chat log gets them as they are. shownLabel, when given, is the
    // label as shown instead (a label made of pieces decoded one by one).
    // mention: the line names the user and is marked (chat pane only).
    void writeLine(TTranscriptPane *pane, const QString &label, const QString &message,
                   const QColor &colour, const QString &shownLabel = QString(),
                   bool mention = false);
    void appendChatLog(const QString &line);
    // The colours set for labels and for the "Error:" label.
    QColor labelColour() const;
    QColor errorColour() const;
    void emptyChatBuffer();
    void PauseChatClick();
    void chatClearClick();
    void SaveAs1Click();
    void Copy1Click();
    void SelectAll1Click();
    void dispWhisperClick();
    void dispRawClick();
    void whisperClearClick();

    // --- Message events (messageevents.cpp) ------------------------------
    void processTalk(const QString &user, const QString &text);
    void processEmote(const QString &user, const QString &text);
    void processWhisper(const QString &user, const QString &text);
    void processWhisperSent(const QString &user, const QString &text);
    void processBroadcast(const QString &text);
    void processChannelFull(const QString &text);
    void processInfo(const QString &text);
    void processChanNotExist(const QString &text);
    void processError(const QString &text);
    void processRestricted(const QString &text);

private:
    // Lines the server sends before it names the user ("Login failed.").
    void processUnHandled(const QString &line);
    QString m_uniqueName; // as the gateway named the user on this connection

public:
    // --- Input line and commands (input.cpp) -----------------------------
    // Both return whether the line went to the server (or was handled
    // here); a line refused is said so in the transcript.
    bool sendtext(const QString &line);
    bool parseCommand(const QString &line);
    void sendClick();
    void textKeyDown(int key, Qt::KeyboardModifiers shift);
    void textDblClick();
    // Lines the server's side had not taken when the connection ended; the
    // first `written` were written and may have arrived.
    void processUnsent(const QStringList &lines, int written);
    // A line was taken by the server's side: its pending mark goes.
    void processTaken(const QString &line);
    // Marks own lines in the chat until the server's side has taken them.
    static constexpr QChar pendingMark = QChar(0x29D7); // an hourglass
    // Shows byte strings in the input line, one line each, as a person
    // reads them; unedited, they go out again as exactly these bytes.
    void setInputBytes(const QStringList &lines);
    // Adds bytes (a name) at the end of the input line, as read.
    void appendInputBytes(const QString &bytes);
    // Whispers what the input line holds to name (Alt+W) and clears it.
    void whisperInput(const QString &name);

private:
    void setupInputLine();
    // The input line's lines as bytes in the outgoing encoding; false, with
    // an error line, when a character cannot be encoded.
    bool inputLines(QStringList &lines);
    // A typed line read once: its local command, the session's plan for
    // what goes to the server, and why it cannot go (input.cpp).
    struct TypedLine;
    // away: the stored away message as the lines before this one of a
    // paste leave it (unset: as stored).
    TypedLine understand(const QString &line, std::optional<QString> &away) const;
    bool runCommand(const TypedLine &typed);
    // Why a plan cannot go (empty: it can).
    QString wireRefusal(const TLinePlan &plan) const;
    // Sends what a typed line planned; false, with an error line, when it cannot go.
    bool sendPlanned(const TypedLine &typed);
    void inputError(const QString &message);
    // Shows a piece of typed talk under the user's name, marked pending
    // until the server's side has taken it.
    void writeOwnLine(const QString &piece);
    QString rememberBytes(const QString &bytes);
    // Text shown in the input line for bytes that the outgoing encoding
    // would not give back (a name or a line from elsewhere), with those bytes.
    QList<std::pair<QString, QString>> m_inputFragments;
    // Own lines shown with the pending mark: the line as sent (CR included),
    // and where the mark is in the chat.
    struct PendingOwnLine {
        QString wire;
        int line;
        int column;
    };
    QList<PendingOwnLine> m_pendingOwn;
    bool m_writingPending = false; // writeLine puts the pending mark in

public:
    // --- Channel user list (userlist.cpp) --------------------------------
    // The member table is the session's (session->userTable).
    void updateUsers();
    void setUserIcon(const QString &name, int icon);
    int userIcon(int index);
    void processShowUser(const QString &user, const QString &flags, const QString &userType);
    void processJoin(const QString &user, const QString &flags, const QString &userType);
    void processLeave(const QString &user, const QString &flags, const QString &userType);
    void processUserFlags(const QString &user, const QString &flags);
    void processChannel(const QString &text);
    void processUniqueName(const QString &user);
    // Rows are rebuilt once per pass of the event loop; this does a waiting
    // rebuild now (for code and tests that read the rows at once).
    void flushUsers();
    // The icon a name squelched by hand is stored with: its product's
    // while it is in the channel, otherwise the question mark (18).
    int memberIcon(const QString &name) const;

private:
    void setupUserList();
    void rebuildUsers();
    // A leave for a name not in the table: a box says so.
    void userNotFound();
    class TUsersRebuildState *m_usersRebuild = nullptr; // a child of the users model
    bool m_userNotFoundPending = false;

public:
    // --- Squelch list, safelist and lamer mode (squelchlist.cpp) ----------
    bool checkSafe(const QString &name) const;
    bool checkSquelch(const QString &name) const;
    bool checkLamerMode(const QString &name) const;
    void loadSquelchlist();
    void saveSquelchlist();
    // What the journal says about a change of the list: the reason (empty:
    // the one given, or "Manual" for a removal), the detail and the judged text.
    struct JournalNote {
        QString reason, detail, text;
    };
    // Both return whether the list changed.
    bool squelchuser(const QString &name, const QString &reason, int icon,
                     const JournalNote &note = JournalNote());
    bool unSquelchUser(const QString &name, const JournalNote &note = JournalNote());
    void PermasquelchClick();
    void UnpermasquelchClick();
    void SquelchClick();
    void UnsquelchClick();
    void brxDblClick();
    void AddClick();
    void RemoveAllClick();
    void brxCopyNameClick();
    void lamermodeClick();

private:
    void setupSquelchList();
    void addSquelchItem(const QString &name, int icon);
    // Saves the list; when that fails, undo puts the list back as it was
    // and the error goes on.
    void saveSquelchlistOrUndo(const std::function<void()> &undo);
    class TNameIndex *m_squelchIndex = nullptr; // captions of brx
    class TNameIndex *m_safeIndex = nullptr;    // the safelist's names

public:
    // --- Moderation: the chain's settings and verdicts, the autosquelch and
    // the product actions (autosquelch.cpp; the chain is rules/moderation) --
    // matched, when given, gets the trigger phrases that matched (bytes).
    bool autosquelch(QString &reason, const QString &name, const QString &line,
                     QStringList *matched = nullptr);
    void ProdAction(int index);
    class TModerationDesk *moderationDesk = nullptr; // a child of the window

public:
    // --- Comforts (comforts.cpp) -----------------------------------------
    class TComforts *comforts = nullptr; // a child of the window
    // The chat pane as the transcript view (null for other panes).
    TTranscriptView *chatView() const;
    // The name lines mention: the gateway's name for the user on this
    // connection, else the account name (bytes).
    QString ownName() const;
    // A mention while the window is in the background draws attention.
    void mentionAttention(const QString &user, const QString &message);

public:
    // --- Reading and the keyboard (access.cpp) ---------------------------
    class TWindowAccess *access = nullptr; // a child of the window

public:
    // --- User list actions (userlistactions.cpp) -------------------------
    void userMenuPopup();
    void WhoisClick();
    void StatsClick();
    void BroodwarStatsClick();
    void WarcraftStatsClick();
    void usersCopyNameClick();
    void mWhisperClick();
    void addtosafeClick();
    void remfromsafeClick();
    void usersDblClick();
    void usersKeyDown(int key, Qt::KeyboardModifiers shift);

private:
    void setupUserListActions();
    // The selected row's caption; false when no row is selected.
    bool selectedUser(QString &name);
    int selectedUserIcon() const;
    // Runs action on the selected member, then gives the input line the focus.
    void userAction(const std::function<void(const QString &)> &action);
    // The Alt+I box text.
    QString userInformation(const QString &name) const;

public:
    // --- Moderation journal (journal.cpp) --------------------------------
    class TJournalDesk *journalDesk = nullptr; // a child of the window

public:
    // --- Attention and reconnecting (attention.cpp, reconnect.cpp) -------
    // While the window is not active (and the Advanced tab allows it), asks
    // for the window's urgent hint and shows a desktop notification; title
    // and body are text to show.
    void drawAttention(const QString &title, const QString &body);
    // How attention is drawn; tests replace them, and an empty one is skipped.
    std::function<void()> alertWindow;
    std::function<void(const QString &title, const QString &body)> notifyDesktop;

private:
    void setupAttention();
    class TDesktopNotifier *m_notifier = nullptr;

public:
    // --- History (history.cpp) -------------------------------------------
    class THistoryDesk *historyDesk = nullptr; // a child of the window

protected:
    void showEvent(QShowEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void moveEvent(QMoveEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    // The window put together (assembly.cpp), in this order.
    void createControls();
    void createMenus();
    void wireEvents(); // every event of the session, once
    void startOptions();
    void setConnectedState(bool connected);
    // The connect under way, shown over the transcript; empty hides it.
    void showConnectProgress(const QString &text);
    class QLabel *m_connectStatus = nullptr;
    // Runs a handler from Qt inside the error guard.
    template <class F> auto guard(F f)
    {
        return [f](auto &&...) { guardedCall(f); };
    }
    static void guardedCall(const std::function<void()> &f);
    void appendRawLog(const QString &line);
    // Appends a line to a log; a failure is reported, never raised.
    void appendLog(const QString &fileName, const QString &kind, const QString &line);
    void logNotSet(bool &warned, const QString &what);

    bool m_firstShowDone = false;
    // The outer size the window starts at: the start size, or what of it fits.
    QSize m_startSize;
    bool m_chatLogWarned = false;
    bool m_rawLogWarned = false;
    QSize m_lastOuterSize;
};
