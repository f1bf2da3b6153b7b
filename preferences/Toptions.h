#pragma once
// The preferences dialog. Its controls show the program's settings and
// write every change into the settings store at once; the rest of the
// program reads the store (store->flag(TSetting::timestamps)), never a
// control. A setting the store gets from elsewhere is shown by its control.
#include "core/settingsdefs.h"
#include "preferences/controls.h"
#include "preferences/tabcontrol.h"
#include "preferences/tmainpanes.h"
#include "rules/triggertester.h"

#include <QCheckBox>
#include <QDialog>
#include <QFont>
#include <QIcon>
#include <QLineEdit>
#include <QList>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QVariant>
#include <functional>

namespace TSettings {
struct Setting;
}

class TSettingsStore;

class Toptions : public QDialog {
    Q_OBJECT
public:
    // Without a store the dialog makes one of its own.
    explicit Toptions(QWidget *parent = nullptr, TSettingsStore *store = nullptr);
    ~Toptions() override;

    TSettingsStore *store() const { return m_store; }

    void setMainPanes(const TMainPanes &panes);

    // Said to the user about the configuration file (the main window puts
    // it in the transcript).
    std::function<void(const QString &message)> OnNotice;

    // The configuration file tressel.conf in the working directory.
    void readconfig();
    void writeconfig();
    // tressel.ini in the working directory: the Advanced tab's settings.
    // Read with the configuration file, written when OK is pressed.
    void readSettingsFile();
    void writeSettingsFile();

    // Safelist changes from outside the dialog; the name (bytes) takes its
    // alphabetical place. Returns its row.
    int insertSafeName(const QString &name);
    // Takes the first entry with these bytes off the safelist; false when
    // there is none.
    bool removeSafeName(const QString &name);

    // Text and bytes (textsettings.cpp). The text settings and the entries
    // of the two lists hold bytes; what the user types or edits becomes
    // bytes in the encoding chosen on the Advanced tab.
    TText::Encoding typedEncoding() const;
    // The bytes of a text setting. An edited text the encoding cannot hold
    // raises an error that names the setting and the character.
    QString bytesOf(const TByteEdit *field) const;
    // Typed text as bytes; false, after a box saying which character the
    // encoding cannot hold, when it cannot.
    bool typedBytes(QWidget *parent, const QString &text, QString &bytes) const;
    TByteEdit *serverEdit() const;
    // The name and password may not change while connected.
    void setConnected(bool connected);

    // Handlers.
    void FormShow();
    void okClick();
    void cancelClick();
    void done(int result) override;
    void logbrowseClick();
    void rawbrowseClick();
    void keeplogClick();
    void keeprawlogClick();
    void notificationsClick();
    void antiidleClick();
    void bg_colourChange();
    void text_colourChange();
    void chatfontClick();
    void userfontClick();
    void whisperfontClick();
    void squelchfontClick();
    void textfontClick();
    void channelfontClick();
    void addTriggerClick();
    void delTriggerClick();
    void editTriggerClick();
    void triggersClick();
    void testTriggerClick();
    // Opens the trigger tester (not modal) with a pattern and a sample
    // (bytes); its OK edits trigger row, or adds a trigger when row < 0.
    // The verdict it shows is the list's with the pattern instead of row.
    class TTriggerTesterDialog *openTriggerTester(QWidget *parent, int row, const QString &pattern,
                                                  const QString &sampleBytes);
    // The lines the tester tries a pattern on, and who is safelisted (the
    // main window hands them over).
    std::function<std::vector<triggertester::JudgedLine>()> judgedLines;
    std::function<bool(const QString &name)> isSafe;
    // The automatic squelch's settings for a line, as the store holds them.
    static autosquelchrules::TLineRules lineRules(const TSettingsStore &store);
    autosquelchrules::TLineRules lineRules() const { return lineRules(*m_store); }
    void addSafeClick();
    void delSafeClick();
    void editSafeClick();
    void safeClick();
    void safeDblClick();

    // General
    TByteEdit *username, *password, *homechannel, *awaymessage;
    QComboBox *server; // its edit part is serverEdit()
    // Logging
    QCheckBox *keeplog, *keeprawlog;
    TByteEdit *logfilename, *rawlogfilename;
    QPushButton *logbrowse, *rawbrowse;
    // Features
    QCheckBox *anticensor, *alertwhisper, *suppressplaysound, *confirmquit, *dblclickcommand,
        *timestamps, *autoconnect, *notifications, *onlynotesafe, *antiidle;
    QRadioButton *ai_users, *ai_stats, *ai_time;
    // Appearance
    TColourBox *bg_colour, *whisp_colour, *time_colour, *your_name, *name_colour, *emote_colour,
        *label_colour, *error_colour, *text_colour;
    QPushButton *chatfont, *userfont, *whisperfont, *squelchfont, *textfont, *channelfont;
    // Autosquelch triggers
    QCheckBox *squelchFlooders, *squelchAscii, *squelchUc, *squelchLeet;
    TSpinBox *AsciiPercentage, *ucPercentage, *leetPercentage;
    QListWidget *triggers;
    QPushButton *addTrigger, *delTrigger, *editTrigger, *testTrigger;
    // Autosquelch options
    QCheckBox *squelchPrompt;
    TSpinBox *minLineLength, *HistoryDelay;
    TPickList *autoAction, *dblClickAction;
    // Safelist
    QListWidget *safe;
    QPushButton *addSafe, *delSafe, *editSafe;
    // Product actions
    TPickList *action_diablos, *action_diablo1, *action_diablo2, *action_starcrafts,
        *action_starcraft, *action_broodwar, *action_warcraft, *action_bot;
    // Advanced: settings beyond tressel.conf, kept in tressel.ini.
    // The server's flood quota: units per window, bytes per unit, and a
    // margin for the network's delay.
    TSpinBox *quotaUnits, *quotaWindow, *quotaBytesPerUnit, *quotaMargin;
    // How typed text is encoded on the wire.
    TPickList *outgoingEncoding;
    // Its entries' indexes (the table's entries, in their order).
    enum OutgoingEncoding { EncodeUtf8, EncodeWindows1252 };
    // Comforts: input history, Tab completion, the find bar, links, marked
    // mentions and their colour, alerts while the window is not active.
    QCheckBox *inputHistory, *tabCompletion, *findBar, *showLinks, *markMentions, *attentionAlerts;
    TColourBox *mentionColour;
    // Trying again when the server closes the link or a connect fails.
    QCheckBox *autoReconnect;
    // The proxy the link goes through (ProxyKind's order), and the one given
    // by hand: host, port, and for SOCKS5 an optional user and password.
    TPickList *proxyKind;
    enum ProxyKind { ProxyNone, ProxyEnvironment, ProxySocks5, ProxyHttpConnect };
    TByteEdit *proxyHost, *proxyUser, *proxyPassword;
    TSpinBox *proxyPort;
    // The moderation journal (journal.log).
    QCheckBox *keepJournal;
    // Which new lines a screen reader speaks (TReadOut::Level's order).
    TPickList *readOut;
    // The history (history.db): kept or not, and for how long and how big.
    QCheckBox *keepHistory;
    QCheckBox *earlierLines; // a channel's last lines from the history, on joining it
    TSpinBox *historyDays, *historyMegabytes;
    // Bottom row
    QPushButton *ok, *cancel;

    TTabControl *tabs;

    // Pane fonts stored in the file, in the order of the [fonts] section.
    enum PaneFont { ChatFont, UserFont, TextFont, RawFont, BrxFont, PaneFontCount };

Q_SIGNALS:
    // The entries of safe or triggers changed (added, removed, edited,
    // cleared or reloaded).
    void safelistChanged();
    void triggersChanged();
    // The dialog was closed: OK, Cancel, Escape or the window's own close.
    void closed();

protected:
    void showEvent(QShowEvent *event) override;

private:
    void buildGeneral();
    void buildLogging();
    void buildFeatures();
    void buildAppearance();
    void buildTriggers();
    void buildAutosquelch();
    void buildSafelist();
    void buildActions();
    void buildAdvanced();
    void connectHandlers();
    void nameControls();
    // Sizes the dialog for the face it is shown in (below: the room under
    // the tabs, for the buttons).
    void fitToPages(int below);
    // What a screen reader says for each control (accessnames.cpp).
    void labelControls();

    QWidget *paneOf(PaneFont which) const;
    QFont paneFont(PaneFont which) const;
    void setPaneFontFamily(PaneFont which, const QString &family);
    void setPaneFontSize(PaneFont which, int points);
    void applyListColours();
    void applyBackground();
    void applyWhisperColour(const QColor &colour);
    void setPaneFont(int stored, QWidget *pane, const QFont &font);
    void fontClick(int stored, QWidget *pane, bool nameAndSizeOnly);
    void browse(QLineEdit *name, QPushButton *button, QCheckBox *keep);
    void keepRule(QCheckBox *keep, QLineEdit *name, QPushButton *button);
    bool removeEntry(QListWidget *list, QPushButton *del, QPushButton *edit,
                     const QString &noneSelected);
    // The store and the controls (storebinding.cpp): every change of a
    // control goes into the store at once, and a change of the store from
    // elsewhere reaches its control.
    void bindStore();
    void pushToStore(const TSettings::Setting &setting);
    void pullFromStore(const TSettings::Setting &setting);
    void pushTexts();
    void pushText(TSetting::Id id, const TByteEdit *field);
    void pullText(TSetting::Id id, TByteEdit *field);
    // While a file is read, a list grows a line at a time; it goes to the
    // store once, when the read ends (however it ends), not once per line.
    struct ReadBatch {
        explicit ReadBatch(Toptions *o) : options(o) { ++options->m_batched; }
        ~ReadBatch();
        ReadBatch(const ReadBatch &) = delete;
        ReadBatch &operator=(const ReadBatch &) = delete;
        Toptions *options;
    };
    QString unencodableText(const TByteEdit *field, const QString &bad) const;
    // One setting from its text as the file holds it, and back.
    void applySetting(const TSettings::Setting &setting, const QString &value);
    QStringList settingLines(const TSettings::Setting &setting) const;
    // The same for tressel.ini; returns what was wrong with a value it did
    // not use (empty when it was used).
    QString applyIniValue(const TSettings::Setting &setting, const QString &value);
    QVariant iniValue(const TSettings::Setting &setting) const;
    void applyLine(const QString &line);
    QString fontFamilyBytes(PaneFont which) const;
    QByteArray configBytes() const;
    void keepUnreadFile();

    TSettingsStore *m_store = nullptr;
    bool m_pulling = false; // a control follows the store: nothing to push
    bool m_pushing = false; // the store follows a control: nothing to pull
    int m_batched = 0;      // reading a file: lists go to the store at its end
    TMainPanes m_panes;
    QFont m_storedFonts[PaneFontCount]; // used while a pane is missing
    // A face name as the file gave it, so that an unchanged one is written
    // back as the same bytes.
    QString m_familyBytes[PaneFontCount];
    QString m_familyRead[PaneFontCount];
    QFont m_fontDialog;            // the font dialog keeps its last choice
    QString m_saveName;            // the save dialog keeps its last file
    bool m_readIncomplete = false; // the last read stopped before the end of a file
};
