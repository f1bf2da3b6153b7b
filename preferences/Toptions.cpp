#include "preferences/Toptions.h"
#include "preferences/settingstable.h"

#include "core/settingsstore.h"

#include "base/guard.h"
#include "resources/icons.h"
#include "widgets/focusframe.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProxyStyle>
#include <QPushButton>
#include <QRadioButton>
#include <QShowEvent>
#include <QStyle>
#include <QTabWidget>
#include <QVBoxLayout>

namespace {

// The password field shows "*" for every character, whatever the style's own.
class StarPasswordStyle : public QProxyStyle {
public:
    int styleHint(StyleHint hint, const QStyleOption *option, const QWidget *widget,
                  QStyleHintReturn *returnData) const override
    {
        if (hint == SH_LineEdit_PasswordCharacter)
            return '*';
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
};

// caption names the setting in messages about its text.
TByteEdit *lineEdit(const char *caption, const char *hint)
{
    auto *e = new TByteEdit;
    e->setProperty("caption", QString::fromLatin1(caption));
    e->setValidator(new TSingleLineValidator(e));
    if (hint)
        e->setProperty("hint", QString::fromLatin1(hint));
    return e;
}

QCheckBox *checkBox(const char *caption, const char *hint = nullptr)
{
    auto *c = new QCheckBox(QString::fromLatin1(caption));
    if (hint)
        c->setProperty("hint", QString::fromLatin1(hint));
    return c;
}

TColourBox *colourBox(const char *hint = nullptr)
{
    auto *b = new TColourBox;
    if (hint)
        b->setProperty("hint", QString::fromLatin1(hint));
    return b;
}

QPushButton *button(const char *caption, const char *hint = nullptr)
{
    // Enter presses a focused button, as on every desktop; elsewhere it
    // presses Ok, the dialog's default.
    auto *b = new QPushButton(QString::fromLatin1(caption));
    b->setAutoDefault(true);
    if (hint)
        b->setProperty("hint", QString::fromLatin1(hint));
    return b;
}

// A spin box over its setting's range.
TSpinBox *rangedSpin(TSetting::Id id)
{
    return new TSpinBox(TSetting::def(id).minimum, TSetting::def(id).maximum);
}

// A drop-down list of its setting's entries.
TPickList *pickList(TSetting::Id id) { return new TPickList(TSetting::def(id).entries); }

QGroupBox *group(const char *caption, QLayout *layout)
{
    auto *g = new QGroupBox(QString::fromLatin1(caption));
    g->setLayout(layout);
    return g;
}

// Tight spacing: the dialog has a fixed, small client area.
template <class L> L *tight(L *layout)
{
    layout->setSpacing(4);
    layout->setContentsMargins(4, 2, 4, 2);
    return layout;
}

QLabel *label(const char *text) { return new QLabel(QString::fromLatin1(text)); }

} // namespace

Toptions::Toptions(QWidget *parent, TSettingsStore *store)
    : QDialog(parent), m_store(store ? store : new TSettingsStore(this))
{
    setWindowTitle(QStringLiteral("options"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    setModal(false);
    // The dialog speaks in the desktop's face and size (the application
    // font), as the user's other windows do; its pages make room for it.

    // The panes' fonts as the store has them (while a pane is missing); the
    // font dialog starts on the chat's.
    for (int i = 0; i < PaneFontCount; ++i)
        m_storedFonts[i] = QFont(m_store->shown(TSetting::faceOf(TSetting::Pane(i))),
                                 m_store->number(TSetting::sizeOf(TSetting::Pane(i))));
    m_fontDialog = m_storedFonts[ChatFont];

    tabs = new TTabControl;
    tabs->setIconSize(QSize(16, 16));
    buildGeneral();
    buildLogging();
    buildFeatures();
    buildAppearance();
    buildTriggers();
    buildAutosquelch();
    buildSafelist();
    buildActions();
    buildAdvanced();
    // The tabs' pictures, in the order the tabs were added.
    static const int iconOf[] = {
        TIcons::GeneralImage,    TIcons::LoggingImage,        TIcons::FeaturesImage,
        TIcons::AppearanceImage, TIcons::TriggersImage,       TIcons::AutosquelchOptionsImage,
        TIcons::SafelistImage,   TIcons::ProductActionsImage, TIcons::AdvancedImage};
    for (int tab = 0; tab < tabs->count(); ++tab)
        tabs->setTabIcon(tab, TIcons::tabIcon(iconOf[tab]));

    ok = new QPushButton(QStringLiteral("&Ok"));
    ok->setDefault(true);
    cancel = new QPushButton(QStringLiteral("&Cancel"));
    cancel->setAutoDefault(true);
    auto *buttons = new QHBoxLayout;
    buttons->setContentsMargins(0, 0, 4, 4);
    buttons->addStretch();
    buttons->addWidget(cancel);
    buttons->addWidget(ok);

    auto *top = new QVBoxLayout(this);
    top->setContentsMargins(0, 0, 0, 0);
    top->setSpacing(4);
    top->addWidget(tabs, 1);
    top->addLayout(buttons);
    fitToPages(top->spacing() + buttons->minimumSize().height());

    // Made last so that it is destroyed after the field that uses it.
    auto *star = new StarPasswordStyle;
    star->setParent(this);
    password->setStyle(star);

    nameControls();
    labelControls();
    // Before the click rules: a rule that changes its box again (keep-log
    // whose save dialog was cancelled) is then the last word in the store.
    bindStore();
    connectHandlers();
}

void Toptions::fitToPages(int below)
{
    // The designed client area holds every page where the face leaves room.
    // A page taller than its room scrolls up and down. A page wider than its
    // room widens the dialog, by as little as it needs: a caption scrolled
    // off sideways is cut off all the same for the reader.
    const QSize designed(457, 310);
    const int count = tabs->count();
    QVector<QSize> need(count);
    int widest = 0;
    for (int i = 0; i < count; ++i) {
        need[i] = tabs->widget(i)->minimumSizeHint();
        widest = qMax(widest, need[i].width());
    }
    const int scrollBar = style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    QVector<bool> scrolls(count);
    // Pixel by pixel: a wider dialog may take a row of tabs away and so the
    // need of a scroll bar with it.
    int width = designed.width();
    for (;; ++width) {
        const QRect room = tabs->pageRect(QSize(width, designed.height() - below));
        bool fits = true;
        for (int i = 0; i < count; ++i) {
            scrolls[i] = need[i].height() > room.height();
            fits = fits && need[i].width() + (scrolls[i] ? scrollBar : 0) <= room.width();
        }
        if (fits || room.width() > widest + scrollBar)
            break;
    }
    for (int i = 0; i < count; ++i)
        if (scrolls[i])
            tabs->scrollPage(i);
    setFixedSize(width, designed.height());
}

void Toptions::nameControls()
{
    // Each control answers to its name (findChild, style sheets, tests): the
    // settings' controls by the table, the rest here.
    for (const TSettings::Setting &setting : TSettings::all())
        if (setting.name)
            std::visit(
                [&](auto control) {
                    if constexpr (!std::is_same_v<decltype(control), TSettings::PaneFontPart>)
                        (this->*control)->setObjectName(QLatin1String(setting.name));
                },
                setting.control);
#define TRESSEL_NAME(w) w->setObjectName(QStringLiteral(#w))
    TRESSEL_NAME(logbrowse);
    TRESSEL_NAME(rawbrowse);
    TRESSEL_NAME(ai_stats);
    TRESSEL_NAME(ai_time);
    TRESSEL_NAME(chatfont);
    TRESSEL_NAME(userfont);
    TRESSEL_NAME(whisperfont);
    TRESSEL_NAME(squelchfont);
    TRESSEL_NAME(textfont);
    TRESSEL_NAME(channelfont);
    TRESSEL_NAME(addTrigger);
    TRESSEL_NAME(delTrigger);
    TRESSEL_NAME(editTrigger);
    TRESSEL_NAME(testTrigger);
    TRESSEL_NAME(addSafe);
    TRESSEL_NAME(delSafe);
    TRESSEL_NAME(editSafe);
    TRESSEL_NAME(ok);
    TRESSEL_NAME(cancel);
    TRESSEL_NAME(tabs);
#undef TRESSEL_NAME
}

void Toptions::buildGeneral()
{
    username = lineEdit("Username", "Enter your username here.");
    password = lineEdit("Password", "Enter your password here");
    password->setEchoMode(QLineEdit::Password);
    server = new QComboBox;
    server->setEditable(true);
    auto *serverText = new TByteEdit;
    serverText->setProperty("caption", QStringLiteral("Server"));
    server->setLineEdit(serverText);
    server->setValidator(new TSingleLineValidator(server));
    server->addItems(TSetting::def(TSetting::server).entries);
    server->setInsertPolicy(QComboBox::NoInsert);
    server->setProperty("hint", QStringLiteral("Select a chat gateway"));
    homechannel = lineEdit("Home Channel", "Enter your home channel (optional)");
    awaymessage = lineEdit("Away Message", "Ente an away message (optional)");

    auto *logon = tight(new QFormLayout);
    logon->addRow(label("Username:"), username);
    logon->addRow(label("Password:"), password);
    logon->addRow(label("Server:"), server);
    auto *other = tight(new QFormLayout);
    other->addRow(label("Home Channel:"), homechannel);
    other->addRow(label("Away Message:"), awaymessage);

    auto *page = new QWidget;
    auto *v = tight(new QVBoxLayout(page));
    v->addWidget(group("Logon Information", logon));
    v->addWidget(group("Other Options", other));
    v->addStretch();
    tabs->addTab(page, QStringLiteral("General"));
}

void Toptions::buildLogging()
{
    keeplog = checkBox("Keep a chat log", "Check this to keep a record of what's said in chat.");
    logfilename = lineEdit("chat log file name", nullptr);
    logbrowse = button("&Browse");
    keeprawlog = checkBox("Keep a raw log", "Check this to keep a record of the raw "
                                            "transmissions received from the chat service.");
    rawlogfilename = lineEdit("raw log file name", nullptr);
    rawbrowse = button("&Browse");
    for (QWidget *w : {static_cast<QWidget *>(logfilename), static_cast<QWidget *>(logbrowse),
                       static_cast<QWidget *>(rawlogfilename), static_cast<QWidget *>(rawbrowse)})
        w->setEnabled(false);

    auto logGroup = [](QCheckBox *keep, QLineEdit *name, QPushButton *browseButton) {
        auto *g = tight(new QGridLayout);
        g->addWidget(keep, 0, 0, 1, 2);
        g->addWidget(name, 1, 0);
        g->addWidget(browseButton, 1, 1);
        return g;
    };
    auto *page = new QWidget;
    auto *v = tight(new QVBoxLayout(page));
    v->addWidget(group("Char Logging", logGroup(keeplog, logfilename, logbrowse)));
    v->addWidget(group("Raw Logging", logGroup(keeprawlog, rawlogfilename, rawbrowse)));
    v->addStretch();
    tabs->addTab(page, QStringLiteral("Logging"));
}

void Toptions::buildFeatures()
{
    anticensor =
        checkBox("Enable anticensor",
                 "Check this box to convert censored words from bnet back into profanity.");
    alertwhisper = checkBox("Alert on Whispers",
                            "Check this box to play a sound whenever you recieve a whisper");
    autoconnect = checkBox("Automatically connect on run");
    dblclickcommand = checkBox("Double-click command insertion");
    notifications = checkBox("Join/leave notifications");
    onlynotesafe = checkBox("Only for Safelisted users");
    onlynotesafe->setEnabled(false);
    timestamps = checkBox("Display Timestamps in the chat window");
    suppressplaysound =
        checkBox("Suppress Topazchat ~playsound text",
                 "Check this box to suppress ~playsound text created by Topazchat.");
    confirmquit =
        checkBox("Do not confirm on quit",
                 "Check this box to stop Tressel from prompting you when you try to quit.");
    antiidle = checkBox("Enable invisible anti-idle:");
    ai_users = new QRadioButton(QStringLiteral("/users"));
    ai_stats = new QRadioButton(QStringLiteral("/stats"));
    ai_time = new QRadioButton(QStringLiteral("/time"));
    auto *idleGroup = new QButtonGroup(this);
    for (QRadioButton *r : {ai_users, ai_stats, ai_time}) {
        idleGroup->addButton(r);
        r->setEnabled(false);
    }

    auto *left = new QVBoxLayout;
    left->setSpacing(4);
    for (QWidget *w : std::initializer_list<QWidget *>{anticensor, alertwhisper, autoconnect,
                                                       dblclickcommand, notifications})
        left->addWidget(w);
    auto *indent = new QHBoxLayout;
    indent->addSpacing(12);
    indent->addWidget(onlynotesafe);
    left->addLayout(indent);
    left->addStretch();

    auto *right = new QVBoxLayout;
    right->setSpacing(4);
    for (QWidget *w :
         std::initializer_list<QWidget *>{timestamps, suppressplaysound, confirmquit, antiidle})
        right->addWidget(w);
    auto *radios = new QHBoxLayout;
    radios->addSpacing(12);
    radios->addWidget(ai_users);
    radios->addWidget(ai_stats);
    radios->addWidget(ai_time);
    radios->addStretch();
    right->addLayout(radios);
    right->addStretch();

    auto *columns = tight(new QHBoxLayout);
    columns->setSpacing(2);
    columns->addLayout(left);
    columns->addLayout(right);
    auto *page = new QWidget;
    auto *v = tight(new QVBoxLayout(page));
    v->addWidget(group("Features", columns));
    tabs->addTab(page, QStringLiteral("Features"));
}

void Toptions::buildAppearance()
{
    bg_colour = colourBox("This sets your background colour.");
    whisp_colour = colourBox("This sets the colour of sent and received whispers.");
    time_colour = colourBox("This sets the colour of the timestamps in the chat window.");
    your_name = colourBox("This sets the colour of your own name in the chat window.");
    name_colour = colourBox("This sets the colour of other people's names in the chat window.");
    emote_colour = colourBox("This sets the colour of emotes.");
    label_colour =
        colourBox("This sets the colour of labels - 'Console:' and 'Info:', for example.");
    error_colour = colourBox("This sets the colour of the 'Error:' label.");
    text_colour = colourBox("This sets the colour of all other text in the chat window.");

    auto *colours = tight(new QGridLayout);
    colours->setVerticalSpacing(2);
    const std::pair<const char *, TColourBox *> rows[] = {
        {"Background:", bg_colour}, {"Whispers:", whisp_colour}, {"Timestamps:", time_colour},
        {"Your name:", your_name},  {"Usernames:", name_colour}, {"Emotes:", emote_colour},
        {"Labels:", label_colour},  {"Errors:", error_colour},   {"Normal Text:", text_colour},
    };
    int i = 0;
    for (const auto &row : rows) {
        colours->addWidget(label(row.first), i % 5, (i / 5) * 2);
        colours->addWidget(row.second, i % 5, (i / 5) * 2 + 1);
        ++i;
    }

    chatfont = button("Chat", "Use this to set the font and size of text in the chat window.");
    userfont = button("Users", "Use this to set the font and size of text in the user list.");
    whisperfont =
        button("Whispers", "Use this to set the font and size of text in the whisper window..");
    squelchfont =
        button("Squelch", "User this to set the font and size of text in the permasquelch list.");
    textfont = button("Text", "User this to set the font and size of text in the text entry box.");
    channelfont =
        button("Channel", "User this to set the font and size of text in the channel box.");
    // One row of six: narrower than the style's usual button, but each still
    // wider than its caption.
    auto *fonts = tight(new QHBoxLayout);
    for (QPushButton *b : {chatfont, userfont, whisperfont, squelchfont, textfont, channelfont}) {
        b->setMinimumWidth(QFontMetrics(font()).horizontalAdvance(b->text()) + 16);
        fonts->addWidget(b);
    }

    auto *page = new QWidget;
    auto *v = tight(new QVBoxLayout(page));
    v->addWidget(group("Tressel Colours", colours));
    v->addWidget(group("Fonts", fonts));
    v->addStretch();
    tabs->addTab(page, QStringLiteral("Appearance"));
}

void Toptions::buildTriggers()
{
    squelchFlooders =
        checkBox("Squelch flooders. Triggers if a user says something three times in a row");
    AsciiPercentage = rangedSpin(TSetting::AsciiPercentage);
    ucPercentage = rangedSpin(TSetting::ucPercentage);
    leetPercentage = rangedSpin(TSetting::leetPercentage);
    squelchAscii = new TGapCheckBox(
        QStringLiteral("Squelch when more than                % of a message is high ASCII"),
        AsciiPercentage);
    squelchUc = new TGapCheckBox(
        QStringLiteral("Squelch when more than                % of a message is upper case"),
        ucPercentage);
    squelchLeet = new TGapCheckBox(
        QStringLiteral("Squelch when more than                % of a username is l33t characters"),
        leetPercentage);

    auto *autoGroup = tight(new QVBoxLayout);
    autoGroup->setSpacing(1);
    for (QWidget *w :
         std::initializer_list<QWidget *>{squelchFlooders, squelchAscii, squelchUc, squelchLeet})
        autoGroup->addWidget(w);

    addTrigger = button("Add Trigger");
    delTrigger = button("Remove Trigger");
    editTrigger = button("Edit Trigger");
    testTrigger = button("Test...");
    triggers = new QListWidget;
    triggers->setSelectionMode(QAbstractItemView::SingleSelection);
    showFocusFrame(triggers);
    auto *buttons = new QVBoxLayout;
    buttons->setSpacing(2);
    buttons->addWidget(addTrigger);
    buttons->addWidget(delTrigger);
    buttons->addWidget(editTrigger);
    buttons->addWidget(testTrigger);
    buttons->addStretch();
    auto *phrases = tight(new QHBoxLayout);
    phrases->addLayout(buttons);
    phrases->addWidget(triggers, 1);

    auto *page = new QWidget;
    auto *v = tight(new QVBoxLayout(page));
    v->addWidget(group("Autosquelch Triggers", autoGroup));
    v->addWidget(group("Trigger Phrases", phrases), 1);
    tabs->addTab(page, QStringLiteral("Autosquelch Triggers"));
}

void Toptions::buildAutosquelch()
{
    squelchPrompt = checkBox("Prompt before autosquelching");
    minLineLength = rangedSpin(TSetting::minLineLength);
    autoAction = pickList(TSetting::autoAction);
    dblClickAction = pickList(TSetting::dblClickAction);
    HistoryDelay = rangedSpin(TSetting::HistoryDelay);

    auto *g = tight(new QGridLayout);
    g->addWidget(squelchPrompt, 0, 0, 1, 3);
    g->addWidget(label("Minimum line length required to trigger autosquelch: "), 1, 0);
    g->addWidget(minLineLength, 1, 1);
    g->addWidget(label("When the autosquelch is triggered perform this action:"), 2, 0, 1, 3);
    g->addWidget(autoAction, 3, 0, 1, 2);
    g->addWidget(label("Double clicking a name in the userlist should:"), 4, 0, 1, 3);
    g->addWidget(dblClickAction, 5, 0, 1, 2);
    auto *history = new QHBoxLayout;
    history->addWidget(label("Clear a user's flood history after:"));
    history->addWidget(HistoryDelay);
    history->addWidget(label("seconds."));
    history->addStretch();
    g->addLayout(history, 6, 0, 1, 3);
    g->setColumnStretch(2, 1);
    g->setRowStretch(7, 1);

    auto *page = new QWidget;
    auto *v = tight(new QVBoxLayout(page));
    v->addWidget(group("Autosquelch Options", g));
    tabs->addTab(page, QStringLiteral("Autosquelch Options"));
}

void Toptions::buildSafelist()
{
    safe = new QListWidget;
    safe->setSelectionMode(QAbstractItemView::SingleSelection);
    showFocusFrame(safe);
    addSafe = button("Add");
    delSafe = button("Remove");
    editSafe = button("Edit");
    auto *text = label("List people who should not be autosquelched or affected by product "
                       "actions here.");
    text->setWordWrap(true);
    auto *buttons = new QVBoxLayout;
    buttons->setSpacing(4);
    buttons->addWidget(addSafe);
    buttons->addWidget(delSafe);
    buttons->addWidget(editSafe);
    buttons->addStretch();
    auto *row = new QHBoxLayout;
    row->addWidget(safe, 1);
    row->addLayout(buttons);
    auto *g = tight(new QVBoxLayout);
    g->addWidget(text);
    g->addLayout(row, 1);

    auto *page = new QWidget;
    auto *v = tight(new QVBoxLayout(page));
    v->addWidget(group("Safelist", g));
    tabs->addTab(page, QStringLiteral("Safelist"));
}

void Toptions::buildActions()
{
    struct Row {
        const char *caption;
        TPickList **list;
        TSetting::Id id;
    };
    const Row rows[] = {
        {"Diablo Sware:", &action_diablos, TSetting::action_diablos},
        {"Diablo 1:", &action_diablo1, TSetting::action_diablo1},
        {"Diablo 2:", &action_diablo2, TSetting::action_diablo2},
        {"Starcraft Sware:", &action_starcrafts, TSetting::action_starcrafts},
        {"Starcraft:", &action_starcraft, TSetting::action_starcraft},
        {"Broodwar:", &action_broodwar, TSetting::action_broodwar},
        {"Warcraft:", &action_warcraft, TSetting::action_warcraft},
        {"Chat Client/Bot:", &action_bot, TSetting::action_bot},
    };
    auto *g = tight(new QGridLayout);
    int i = 0;
    for (const Row &row : rows) {
        *row.list = pickList(row.id);
        g->addWidget(label(row.caption), i % 4, (i / 4) * 2);
        g->addWidget(*row.list, i % 4, (i / 4) * 2 + 1);
        ++i;
    }
    g->setRowStretch(4, 1);
    auto *page = new QWidget;
    auto *v = tight(new QVBoxLayout(page));
    v->addWidget(group("Product Actions", g));
    tabs->addTab(page, QStringLiteral("Product Actions"));
}

void Toptions::connectHandlers()
{
    auto on = [this](QAbstractButton *b, void (Toptions::*handler)()) {
        connect(b, &QAbstractButton::clicked, this,
                [this, handler] { guarded([&] { (this->*handler)(); }); });
    };
    on(ok, &Toptions::okClick);
    on(cancel, &Toptions::cancelClick);
    on(logbrowse, &Toptions::logbrowseClick);
    on(rawbrowse, &Toptions::rawbrowseClick);
    on(chatfont, &Toptions::chatfontClick);
    on(userfont, &Toptions::userfontClick);
    on(whisperfont, &Toptions::whisperfontClick);
    on(squelchfont, &Toptions::squelchfontClick);
    on(textfont, &Toptions::textfontClick);
    on(channelfont, &Toptions::channelfontClick);
    on(addTrigger, &Toptions::addTriggerClick);
    on(delTrigger, &Toptions::delTriggerClick);
    on(editTrigger, &Toptions::editTriggerClick);
    on(testTrigger, &Toptions::testTriggerClick);
    on(addSafe, &Toptions::addSafeClick);
    on(delSafe, &Toptions::delSafeClick);
    on(editSafe, &Toptions::editSafeClick);

    // A click rule runs on every change of the box's state, whether the
    // user or the program made it.
    auto rule = [this](QCheckBox *b, void (Toptions::*handler)()) {
        connect(b, &QCheckBox::toggled, this,
                [this, handler] { guarded([&] { (this->*handler)(); }); });
    };
    rule(keeplog, &Toptions::keeplogClick);
    rule(keeprawlog, &Toptions::keeprawlogClick);
    rule(notifications, &Toptions::notificationsClick);
    rule(antiidle, &Toptions::antiidleClick);

    connect(bg_colour, &TColourBox::colourPicked, this,
            [this] { guarded([this] { bg_colourChange(); }); });
    connect(text_colour, &TColourBox::colourPicked, this,
            [this] { guarded([this] { text_colourChange(); }); });

    connect(triggers, &QListWidget::itemSelectionChanged, this,
            [this] { guarded([this] { triggersClick(); }); });
    connect(safe, &QListWidget::itemSelectionChanged, this,
            [this] { guarded([this] { safeClick(); }); });
    connect(safe, &QListWidget::itemDoubleClicked, this,
            [this] { guarded([this] { safeDblClick(); }); });

    // Every change of the lists' entries, from here or from outside.
    auto watch = [this](QListWidget *list, void (Toptions::*changed)()) {
        QAbstractItemModel *m = list->model();
        auto fire = [this, changed] { Q_EMIT(this->*changed)(); };
        connect(m, &QAbstractItemModel::rowsInserted, this, fire);
        connect(m, &QAbstractItemModel::rowsRemoved, this, fire);
        connect(m, &QAbstractItemModel::rowsMoved, this, fire);
        connect(m, &QAbstractItemModel::dataChanged, this, fire);
        connect(m, &QAbstractItemModel::modelReset, this, fire);
        connect(m, &QAbstractItemModel::layoutChanged, this, fire);
    };
    watch(safe, &Toptions::safelistChanged);
    watch(triggers, &Toptions::triggersChanged);
}

Toptions::~Toptions()
{
    // The controls go before this object does, and the store may be gone
    // already: nothing more goes into it.
    m_pulling = true;
    // The lists clear themselves as they go, after this object is half gone.
    for (QListWidget *list : {safe, triggers}) {
        list->disconnect(this);
        list->model()->disconnect(this);
    }
}

void Toptions::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    // Only a real showing reloads; a window system restoring the window does not.
    if (!event->spontaneous())
        guarded([this] { FormShow(); });
}
