// The Advanced tab and its file, tressel.ini: settings that tressel.conf
// has no place for. tressel.conf keeps its layout; everything added since
// lives here.
#include "preferences/Toptions.h"
#include "preferences/controls.h"
#include "preferences/settingstable.h"

#include "base/errors.h"
#include "base/files.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QSettings>
#include <QVBoxLayout>

namespace {
const QString iniName = QStringLiteral("tressel.ini");

QFormLayout *form()
{
    auto *f = new QFormLayout;
    f->setFieldGrowthPolicy(QFormLayout::FieldsStayAtSizeHint);
    f->setSpacing(3);
    f->setContentsMargins(4, 2, 4, 2);
    return f;
}

QGroupBox *groupOf(const QString &caption, QLayout *layout)
{
    auto *g = new QGroupBox(caption);
    g->setLayout(layout);
    return g;
}

// A spin box over its setting's range.
TSpinBox *spin(TSetting::Id id, const QString &suffix, const QString &hint)
{
    auto *s = new TSpinBox(TSetting::def(id).minimum, TSetting::def(id).maximum);
    s->setSuffix(suffix);
    s->setProperty("hint", hint);
    return s;
}
} // namespace

void Toptions::buildAdvanced()
{
    quotaUnits = spin(TSetting::quotaUnits, QString(),
                      QStringLiteral("The server refuses a line that brings this many units "
                                     "within the window."));
    quotaWindow = spin(TSetting::quotaWindow, QStringLiteral(" s"),
                       QStringLiteral("How long the server remembers a line's units."));
    quotaBytesPerUnit = spin(TSetting::quotaBytesPerUnit, QStringLiteral(" bytes"),
                             QStringLiteral("Every started run of this many bytes costs a unit."));
    quotaMargin = spin(TSetting::quotaMargin, QStringLiteral(" ms"),
                       QStringLiteral("Extra wait for the network's delay."));
    outgoingEncoding = new TPickList(TSetting::def(TSetting::outgoingEncoding).entries);
    outgoingEncoding->setProperty(
        "hint", QStringLiteral("How what you type is sent. Old servers may want Windows-1252."));

    readOut = new TPickList(TSetting::def(TSetting::readOut).entries);
    readOut->setProperty("hint",
                         QStringLiteral("What a screen reader says of lines that arrive while "
                                        "you type in the input line."));

    auto *quota = form();
    quota->addRow(new QLabel(QStringLiteral("Units per window:")), quotaUnits);
    quota->addRow(new QLabel(QStringLiteral("Window:")), quotaWindow);
    quota->addRow(new QLabel(QStringLiteral("Bytes per unit:")), quotaBytesPerUnit);
    quota->addRow(new QLabel(QStringLiteral("Safety margin:")), quotaMargin);
    auto *text = form();
    text->addRow(new QLabel(QStringLiteral("Send typed text as:")), outgoingEncoding);

    inputHistory = new QCheckBox(QStringLiteral("Up and Down recall sent lines"));
    tabCompletion = new QCheckBox(QStringLiteral("Tab completes names and commands"));
    findBar = new QCheckBox(QStringLiteral("Ctrl+F finds text in the chat"));
    showLinks = new QCheckBox(QStringLiteral("Show web addresses as links"));
    markMentions = new QCheckBox(QStringLiteral("Mark lines that mention me"));
    mentionColour = new TColourBox;
    mentionColour->setProperty("hint", QStringLiteral("Drawn behind a line that names you."));
    attentionAlerts = new QCheckBox(QStringLiteral("Alert me to whispers and mentions"));
    attentionAlerts->setProperty(
        "hint", QStringLiteral("While the window is not active: the task bar and a desktop "
                               "notification."));
    autoReconnect = new QCheckBox(QStringLiteral("Reconnect when the link is lost"));
    autoReconnect->setProperty(
        "hint", QStringLiteral("Tries again after 5, 10, 20, 40 and 60 s, then every minute."));
    proxyKind = new TPickList(TSetting::def(TSetting::proxyKind).entries);
    proxyKind->setProperty("hint",
                           QStringLiteral("From the environment: all_proxy, then http_proxy; "
                                          "no_proxy names hosts reached directly."));
    proxyHost = new TByteEdit;
    proxyHost->setProperty("hint", QStringLiteral("The SOCKS5 or HTTP proxy's host or address."));
    proxyPort = spin(TSetting::proxyPort, QString(), QStringLiteral("The proxy's port."));
    proxyUser = new TByteEdit;
    proxyUser->setProperty("hint", QStringLiteral("SOCKS5 only; empty: none."));
    proxyPassword = new TByteEdit;
    proxyPassword->setEchoMode(QLineEdit::Password);
    proxyPassword->setProperty("hint", QStringLiteral("SOCKS5 only."));
    for (TByteEdit *edit : {proxyHost, proxyUser, proxyPassword})
        edit->setMinimumWidth(60);
    keepJournal = new QCheckBox(QStringLiteral("Keep a moderation journal"));
    keepJournal->setProperty(
        "hint", QStringLiteral("Every squelch action, with its reason, in journal.log."));

    keepHistory = new QCheckBox(QStringLiteral("Keep every line"));
    keepHistory->setProperty(
        "hint", QStringLiteral("Every line, hidden ones too, in history.db (Ctrl+Shift+F)."));
    historyDays = spin(TSetting::historyDays, QStringLiteral(" d"),
                       QStringLiteral("Older lines are deleted, oldest first."));
    historyMegabytes = spin(TSetting::historyMegabytes, QStringLiteral(" MB"),
                            QStringLiteral("Beyond this size the oldest lines are deleted."));
    earlierLines = new QCheckBox(QStringLiteral("Show earlier lines on joining"));
    earlierLines->setProperty(
        "hint",
        QStringLiteral("A channel's last 50 lines from the history, dimmed, on entering it."));

    auto *comforts = new QVBoxLayout;
    comforts->setSpacing(1);
    comforts->setContentsMargins(4, 2, 4, 2);
    for (QCheckBox *box : {inputHistory, tabCompletion, findBar, showLinks, markMentions})
        comforts->addWidget(box);
    auto *colourRow = form();
    colourRow->setContentsMargins(18, 0, 0, 0);
    colourRow->addRow(new QLabel(QStringLiteral("Mention colour:")), mentionColour);
    comforts->addLayout(colourRow);
    comforts->addWidget(attentionAlerts);
    auto *link = new QVBoxLayout;
    link->setSpacing(1);
    link->setContentsMargins(4, 2, 4, 2);
    link->addWidget(autoReconnect);
    // The proxy's group spans the page below the columns, two rows of
    // fields, so that the page keeps its width.
    auto *proxy = new QGridLayout;
    proxy->setSpacing(3);
    proxy->setContentsMargins(4, 2, 4, 2);
    auto proxyField = [proxy](const QString &caption, QWidget *field, const QString &name, int row,
                              int column) {
        auto *label = new QLabel(caption);
        label->setBuddy(field);
        field->setAccessibleName(name);
        proxy->addWidget(label, row, column);
        proxy->addWidget(field, row, column + 1);
    };
    proxyField(QStringLiteral("Proxy:"), proxyKind, QStringLiteral("Proxy"), 0, 0);
    proxyField(QStringLiteral("Host:"), proxyHost, QStringLiteral("Proxy host"), 0, 2);
    proxyField(QStringLiteral("Port:"), proxyPort, QStringLiteral("Proxy port"), 0, 4);
    proxyField(QStringLiteral("User:"), proxyUser, QStringLiteral("Proxy user"), 1, 2);
    proxyField(QStringLiteral("Password:"), proxyPassword, QStringLiteral("Proxy password"), 1, 4);
    proxy->setColumnStretch(3, 1);
    proxyKind->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    proxyKind->setMinimumContentsLength(10);
    // Host and port are the proxy's own only for SOCKS5 and HTTP CONNECT.
    auto enableProxyFields = [this] {
        const int kind = proxyKind->currentIndex();
        const bool own = kind == ProxySocks5 || kind == ProxyHttpConnect;
        proxyHost->setEnabled(own);
        proxyPort->setEnabled(own);
        proxyUser->setEnabled(kind == ProxySocks5);
        proxyPassword->setEnabled(kind == ProxySocks5);
    };
    connect(proxyKind, &QComboBox::currentIndexChanged, this, enableProxyFields);
    enableProxyFields();
    auto *moderation = new QVBoxLayout;
    moderation->setSpacing(1);
    moderation->setContentsMargins(4, 2, 4, 2);
    moderation->addWidget(keepJournal);
    // One row: the list gives up width (its entries shown cut short, in
    // full when it opens) so that its label shows whole.
    auto *reader = new QHBoxLayout;
    reader->setSpacing(1);
    reader->setContentsMargins(4, 2, 4, 2);
    auto *readOutLabel = new QLabel(QStringLiteral("Read out new lines:"));
    readOutLabel->setBuddy(readOut);
    reader->addWidget(readOutLabel);
    reader->addWidget(readOut);
    readOut->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    readOut->setMinimumContentsLength(6);
    auto *history = new QVBoxLayout;
    history->setSpacing(1);
    history->setContentsMargins(4, 2, 4, 2);
    history->addWidget(keepHistory);
    auto *limits = form();
    limits->setContentsMargins(18, 0, 0, 0);
    limits->addRow(new QLabel(QStringLiteral("For at most:")), historyDays);
    limits->addRow(new QLabel(QStringLiteral("Up to a size of:")), historyMegabytes);
    history->addLayout(limits);
    history->addWidget(earlierLines);

    auto *page = new QWidget;
    auto *v = new QVBoxLayout(page);
    v->setSpacing(4);
    v->setContentsMargins(4, 2, 4, 2);
    // Two columns, so that the settings later ones add still fit the page.
    auto *columns = new QHBoxLayout;
    columns->setSpacing(4);
    auto *left = new QVBoxLayout;
    left->addWidget(groupOf(QStringLiteral("Server Flood Quota"), quota));
    left->addWidget(groupOf(QStringLiteral("Connection"), link));
    left->addWidget(groupOf(QStringLiteral("Moderation"), moderation));
    left->addLayout(reader); // no group of its own: the column is full
    left->addStretch();
    auto *right = new QVBoxLayout;
    right->addWidget(groupOf(QStringLiteral("Text"), text));
    right->addWidget(groupOf(QStringLiteral("Comforts"), comforts));
    right->addWidget(groupOf(QStringLiteral("History"), history));
    right->addStretch();
    columns->addLayout(left, 1);
    columns->addLayout(right, 1);
    v->addLayout(columns);
    v->addWidget(groupOf(QStringLiteral("Proxy"), proxy));
    v->addStretch();
    tabs->addTab(page, QStringLiteral("Advanced"));
}

namespace {
QString iniKey(const TSettings::Setting &setting)
{
    return QLatin1String(setting.section) + QLatin1Char('/') + QLatin1String(setting.key);
}
} // namespace

QString Toptions::applyIniValue(const TSettings::Setting &setting, const QString &raw)
{
    // A value that is not what its setting can hold is not used, and the
    // setting keeps what it had.
    if (const auto member = std::get_if<TSpinBox * Toptions::*>(&setting.control)) {
        TSpinBox *box = this->*(*member);
        int n = 0;
        if (!tryStrToInt(raw, n) || n < box->minimum() || n > box->maximum())
            return QStringLiteral("%1 = '%2' (%3 to %4)")
                .arg(iniKey(setting), raw)
                .arg(box->minimum())
                .arg(box->maximum());
        box->setValue(n);
    } else if (const auto member = std::get_if<TPickList * Toptions::*>(&setting.control)) {
        TPickList *list = this->*(*member);
        const int index = list->findText(raw, Qt::MatchExactly | Qt::MatchCaseSensitive);
        if (index < 0) {
            QStringList entries;
            for (int i = 0; i < list->count(); ++i)
                entries << list->itemText(i);
            return QStringLiteral("%1 = '%2' (%3)")
                .arg(iniKey(setting), raw, entries.join(QStringLiteral(" or ")));
        }
        list->selectIndex(index);
    } else if (const auto member = std::get_if<QCheckBox * Toptions::*>(&setting.control)) {
        const QString v = raw.trimmed().toLower();
        if (v == QLatin1String("true") || v == QLatin1String("1"))
            (this->*(*member))->setChecked(true);
        else if (v == QLatin1String("false") || v == QLatin1String("0"))
            (this->*(*member))->setChecked(false);
        else
            return QStringLiteral("%1 = '%2' (true or false)").arg(iniKey(setting), raw);
    } else if (const auto member = std::get_if<TByteEdit * Toptions::*>(&setting.control)) {
        (this->*(*member))->setText(raw);
    } else if (const auto member = std::get_if<TColourBox * Toptions::*>(&setting.control)) {
        if (!(this->*(*member))->selectName(raw))
            return QStringLiteral("%1 = '%2' (a colour name such as %3)")
                .arg(iniKey(setting), raw, TColourBox::colourName(0));
    }
    return QString();
}

QVariant Toptions::iniValue(const TSettings::Setting &setting) const
{
    if (const auto member = std::get_if<TSpinBox * Toptions::*>(&setting.control))
        return (this->*(*member))->value();
    if (const auto member = std::get_if<TPickList * Toptions::*>(&setting.control)) {
        const TPickList *list = this->*(*member);
        return list->itemText(qMax(0, list->currentIndex()));
    }
    if (const auto member = std::get_if<QCheckBox * Toptions::*>(&setting.control))
        return (this->*(*member))->isChecked() ? QStringLiteral("true") : QStringLiteral("false");
    if (const auto member = std::get_if<TColourBox * Toptions::*>(&setting.control))
        return (this->*(*member))->selectedName();
    if (const auto member = std::get_if<TByteEdit * Toptions::*>(&setting.control))
        return (this->*(*member))->text();
    return QVariant();
}

void Toptions::readSettingsFile()
{
    if (!QFile::exists(iniName))
        return; // the start values stand until OK writes the file
    const ReadBatch batch(this);
    QSettings ini(iniName, QSettings::IniFormat);
    // Qt reads the file on first use, and says only then whether it could.
    (void)ini.allKeys();
    if (ini.status() != QSettings::NoError)
        throw TError(QStringLiteral("%1 could not be read").arg(iniName));

    // Values that were not used are reported together; the rest of the
    // file is still read.
    QStringList problems;
    for (const TSettings::Setting &setting : TSettings::all()) {
        const QString key = iniKey(setting);
        if (setting.file != TSettings::File::Ini || !ini.contains(key))
            continue;
        const QString problem = applyIniValue(setting, ini.value(key).toString());
        if (!problem.isEmpty())
            problems << problem;
    }
    if (!problems.isEmpty() && OnNotice)
        OnNotice(QStringLiteral("%1: these values were not used: %2")
                     .arg(iniName, problems.join(QStringLiteral("; "))));
}

void Toptions::writeSettingsFile()
{
    // Written afresh beside the old file and then put in its place, so that
    // the file holds exactly the dialog's values, whatever the old one held
    // (Qt would not write over a file it could not parse), and a failure
    // leaves the old one as it was.
    const QString fresh = iniName + QStringLiteral(".new");
    QFile::remove(fresh);
    bool written = false;
    {
        QSettings ini(fresh, QSettings::IniFormat);
        for (const TSettings::Setting &setting : TSettings::all())
            if (setting.file == TSettings::File::Ini)
                ini.setValue(iniKey(setting), iniValue(setting));
        ini.sync();
        written = ini.status() == QSettings::NoError;
    }
    QByteArray bytes;
    try {
        if (!written)
            throw TError(QString());
        bytes = readWholeFile(fresh);
        QFile::remove(fresh);
        // Owner only, as the other files of the working directory.
        replacePrivateFile(iniName, bytes);
    } catch (const TError &) {
        QFile::remove(fresh);
        throw TError(QStringLiteral("%1 could not be written").arg(iniName));
    }
}
