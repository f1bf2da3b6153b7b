// tressel.conf: the settings and pane fonts as "key=value" lines of 8-bit
// text (held one byte per character, so every byte survives), CR LF line
// ends. Texts are kept as the bytes the file gave them; only what was edited
// since is encoded afresh.
#include "preferences/Toptions.h"
#include "base/version.h"

#include "base/clock.h"
#include "base/errors.h"
#include "base/files.h"
#include "widgets/textitems.h"

#include <QCheckBox>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QListWidget>
#include <QRadioButton>

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace {

const QString configName = QStringLiteral("tressel.conf");
const QString backupName = QStringLiteral("tressel.conf.bak");

QByteArray readWholeFile(const QString &fileName)
{
    const QByteArray path = QFile::encodeName(fileName);
    const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        throw TInOutError::fromErrno(errno);
    QByteArray data;
    char buffer[16384];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            const int err = errno;
            ::close(fd);
            throw TInOutError::fromErrno(err);
        }
        if (n == 0)
            break;
        data.append(buffer, n);
    }
    ::close(fd);
    return data;
}

QString flag(const QCheckBox *box) { return box->isChecked() ? QStringLiteral("1") : QStringLiteral("0"); }

int pointsOf(const QFont &font)
{
    return font.pointSize() > 0 ? font.pointSize() : qRound(font.pointSizeF());
}

} // namespace

QWidget *Toptions::paneOf(PaneFont which) const
{
    switch (which) {
    case ChatFont: return m_panes.chat;
    case UserFont: return m_panes.users;
    case TextFont: return m_panes.text;
    case RawFont: return m_panes.whisper;
    case BrxFont: return m_panes.brx;
    case PaneFontCount: break;
    }
    return nullptr;
}

QFont Toptions::paneFont(PaneFont which) const
{
    const QWidget *pane = paneOf(which);
    return pane ? pane->font() : m_storedFonts[which];
}

void Toptions::setPaneFontFamily(PaneFont which, const QString &family)
{
    QFont f = paneFont(which);
    f.setFamily(family);
    setPaneFont(which, paneOf(which), f);
}

void Toptions::setPaneFontSize(PaneFont which, int points)
{
    if (points <= 0) {
        // No font can have that size; say so rather than drop it unseen.
        if (OnNotice)
            OnNotice(QStringLiteral("tressel.conf: the font size %1 is not usable; the font "
                                    "kept its size.")
                         .arg(points));
        return;
    }
    QFont f = paneFont(which);
    f.setPointSize(points);
    setPaneFont(which, paneOf(which), f);
}

QString Toptions::fontFamilyBytes(PaneFont which) const
{
    const QString family = paneFont(which).family();
    if (!m_familyBytes[which].isNull() && family == m_familyRead[which])
        return m_familyBytes[which];
    // A face chosen since: in the chosen encoding where it can hold the
    // name, otherwise UTF-8 (it reads back either way, and a face name is
    // nothing the user typed to refuse).
    QString bytes;
    if (TText::encode(family, typedEncoding(), bytes))
        return bytes;
    return TTextItem::ownText(family);
}

QByteArray Toptions::configBytes() const
{
    const QDateTime now = currentDateTime();
    QStringList l;
    l << QStringLiteral("# Config file for Tressel " TRESSEL_VERSION ". This is generated when you click OK on "
                        "the options dialogue.")
      << QStringLiteral("# You might screw it up if you manually edit it.")
      << QStringLiteral("# File generated at ") + TTextItem::ownText(longTimeText(now.time())) +
             QStringLiteral(" on ") + TTextItem::ownText(shortDateText(now.date())) +
             QStringLiteral(".")
      << QString() << QStringLiteral("[misc]")
      << QStringLiteral("username=") + bytesOf(username)
      << QStringLiteral("password=") + bytesOf(password)
      << QStringLiteral("server=") + bytesOf(serverEdit())
      << QStringLiteral("homechannel=") + bytesOf(homechannel)
      << QStringLiteral("awaymessage=") + bytesOf(awaymessage) << QString()
      << QStringLiteral("[logging]") << QStringLiteral("logfilename=") + bytesOf(logfilename)
      << QStringLiteral("rawlogfilename=") + bytesOf(rawlogfilename)
      << QStringLiteral("keeplog=") + flag(keeplog)
      << QStringLiteral("keeprawlog=") + flag(keeprawlog) << QString()
      << QStringLiteral("[features]") << QStringLiteral("anticensor=") + flag(anticensor)
      << QStringLiteral("alertwhisper=") + flag(alertwhisper)
      << QStringLiteral("suppressplaysound=") + flag(suppressplaysound)
      << QStringLiteral("confirmquit=") + flag(confirmquit)
      << QStringLiteral("dblclickcommand=") + flag(dblclickcommand)
      << QStringLiteral("timeStamps=") + flag(timestamps)
      << QStringLiteral("autoConnect=") + flag(autoconnect)
      << QStringLiteral("notifications=") + flag(notifications)
      << QStringLiteral("onlynotesafe=") + flag(onlynotesafe)
      << QStringLiteral("antiidle=") + flag(antiidle)
      << QStringLiteral("idletype=") +
             (ai_stats->isChecked() ? QStringLiteral("2")
                                    : ai_time->isChecked() ? QStringLiteral("3") : QStringLiteral("1"))
      << QString() << QStringLiteral("[autosquelch]")
      << QStringLiteral("squelchPrompt=") + flag(squelchPrompt)
      << QStringLiteral("squelchFlooders=") + flag(squelchFlooders)
      << QStringLiteral("squelchAscii=") + flag(squelchAscii)
      << QStringLiteral("squelchUc=") + flag(squelchUc)
      << QStringLiteral("squelchLeet=") + flag(squelchLeet)
      << QStringLiteral("asciiPercentage=") + QString::number(AsciiPercentage->value())
      << QStringLiteral("ucPercentage=") + QString::number(ucPercentage->value())
      << QStringLiteral("leetPercentage=") + QString::number(leetPercentage->value())
      << QStringLiteral("minLineLength=") + QString::number(minLineLength->value())
      << QStringLiteral("autoAction=") + QString::number(autoAction->currentIndex())
      << QStringLiteral("dblClickAction=") + QString::number(dblClickAction->currentIndex())
      << QStringLiteral("historyDelay=") + QString::number(HistoryDelay->value());
    for (int i = 0; i < triggers->count(); ++i)
        l << QStringLiteral("triggerPhrase=") + TTextItem::bytesOf(triggers->item(i));
    l << QString() << QStringLiteral("[safelist]");
    for (int i = 0; i < safe->count(); ++i)
        l << QStringLiteral("safe=") + TTextItem::bytesOf(safe->item(i));
    l << QString() << QStringLiteral("[colours]")
      << QStringLiteral("bg_colour=") + bg_colour->selectedName()
      << QStringLiteral("whisp_colour=") + whisp_colour->selectedName()
      << QStringLiteral("time_colour=") + time_colour->selectedName()
      << QStringLiteral("name_colour=") + name_colour->selectedName()
      << QStringLiteral("label_colour=") + label_colour->selectedName()
      << QStringLiteral("error_colour=") + error_colour->selectedName()
      << QStringLiteral("your_name=") + your_name->selectedName()
      << QStringLiteral("emote_colour=") + emote_colour->selectedName()
      << QStringLiteral("text_colour=") + text_colour->selectedName() << QString()
      << QStringLiteral("[fonts]");
    const std::pair<const char *, PaneFont> fonts[] = {
        {"chat", ChatFont}, {"user", UserFont}, {"text", TextFont}, {"raw", RawFont}, {"brx", BrxFont}};
    for (const auto &font : fonts) {
        const QFont f = paneFont(font.second);
        l << QString::fromLatin1(font.first) + QStringLiteral("_font=") +
                 fontFamilyBytes(font.second)
          << QString::fromLatin1(font.first) + QStringLiteral("_size=") +
                 QString::number(pointsOf(f));
    }
    l << QString() << QStringLiteral("[ProdActions]")
      << QStringLiteral("action_diablos=") + QString::number(action_diablos->currentIndex())
      << QStringLiteral("action_diablo1=") + QString::number(action_diablo1->currentIndex())
      << QStringLiteral("action_diablo2=") + QString::number(action_diablo2->currentIndex())
      << QStringLiteral("action_starcrafts=") + QString::number(action_starcrafts->currentIndex())
      << QStringLiteral("action_starcraft=") + QString::number(action_starcraft->currentIndex())
      << QStringLiteral("action_broodwar=") + QString::number(action_broodwar->currentIndex())
      << QStringLiteral("action_warcraft=") + QString::number(action_warcraft->currentIndex())
      << QStringLiteral("action_bot=") + QString::number(action_bot->currentIndex());
    // Whatever put a line break into a value, it must not become a line (and
    // a key) of its own.
    for (QString &line : l)
        line = singleLine(line);
    return (l.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n")).toLatin1();
}

void Toptions::keepUnreadFile()
{
    // The last read stopped early, so the settings after that point (the
    // lists among them) exist only in the old file: keep it before replacing.
    if (!m_readIncomplete || !QFileInfo(configName).isFile())
        return;
    const QByteArray old = readWholeFile(configName);
    // The copy holds the same password: no one may read it who could not
    // read the file itself.
    const int confMode = fileMode(configName);
    replacePrivateFile(backupName, old,
                       confMode < 0 ? ownerOnlyMode : unsigned(confMode) & ownerOnlyMode);
    if (OnNotice)
        OnNotice(QStringLiteral("The old configuration file could not be read completely; it "
                                "was kept as tressel.conf.bak."));
}

void Toptions::writeconfig()
{
    const QByteArray bytes = configBytes();
    keepUnreadFile();
    replacePrivateFile(configName, bytes);
    m_readIncomplete = false;
}

void Toptions::applyLine(const QString &fileLine)
{
    // A lone CR inside a line is no line end, but no value holds one either.
    const QString line = singleLine(fileLine);
    const auto value = [&line](const QString &key, QString &rest) {
        if (!line.startsWith(key))
            return false;
        rest = line.mid(key.size());
        return true;
    };
    QString v;

    const std::pair<const char *, TByteEdit *> texts[] = {
        {"username=", username},       {"password=", password},
        {"homechannel=", homechannel}, {"awaymessage=", awaymessage},
        {"logfilename=", logfilename}, {"rawlogfilename=", rawlogfilename},
    };
    for (const auto &t : texts)
        if (value(QLatin1String(t.first), v))
            t.second->setBytes(v);
    if (value(QStringLiteral("server="), v))
        serverEdit()->setBytes(v);

    const std::pair<const char *, QCheckBox *> flags[] = {
        {"keeplog=1", keeplog},
        {"keeprawlog=1", keeprawlog},
        {"anticensor=1", anticensor},
        {"suppressplaysound=1", suppressplaysound},
        {"confirmquit=1", confirmquit},
        {"alertwhisper=1", alertwhisper},
        {"dblclickcommand=1", dblclickcommand},
        {"timeStamps=1", timestamps},
        {"autoConnect=1", autoconnect},
        {"notifications=1", notifications},
        {"onlynotesafe=1", onlynotesafe},
        {"antiidle=1", antiidle},
        {"squelchPrompt=1", squelchPrompt},
        {"squelchFlooders=1", squelchFlooders},
        {"squelchAscii=1", squelchAscii},
        {"squelchUc=1", squelchUc},
        {"squelchLeet=1", squelchLeet},
    };
    // Setting a box checked from unchecked runs its click rule (toggled).
    for (const auto &f : flags)
        if (value(QLatin1String(f.first), v))
            f.second->setChecked(true);

    if (value(QStringLiteral("idletype="), v) && !v.isEmpty()) {
        if (v[0] == QLatin1Char('1'))
            ai_users->setChecked(true);
        else if (v[0] == QLatin1Char('2'))
            ai_stats->setChecked(true);
        else if (v[0] == QLatin1Char('3'))
            ai_time->setChecked(true);
    }

    const std::pair<const char *, TSpinBox *> numbers[] = {
        {"asciiPercentage=", AsciiPercentage}, {"ucPercentage=", ucPercentage},
        {"leetPercentage=", leetPercentage},   {"minLineLength=", minLineLength},
        {"historyDelay=", HistoryDelay},
    };
    for (const auto &n : numbers)
        if (value(QLatin1String(n.first), v))
            n.second->setValue(strToInt(v));

    const std::pair<const char *, TPickList *> choices[] = {
        {"autoAction=", autoAction},
        {"dblClickAction=", dblClickAction},
        {"action_diablos=", action_diablos},
        {"action_diablo1=", action_diablo1},
        {"action_diablo2=", action_diablo2},
        {"action_starcrafts=", action_starcrafts},
        {"action_starcraft=", action_starcraft},
        {"action_broodwar=", action_broodwar},
        {"action_warcraft=", action_warcraft},
        {"action_bot=", action_bot},
    };
    for (const auto &c : choices)
        if (value(QLatin1String(c.first), v))
            c.second->selectIndex(strToInt(v));

    if (value(QStringLiteral("triggerPhrase="), v))
        triggers->addItem(TTextItem::newItem(v));
    if (value(QStringLiteral("safe="), v))
        insertSafeName(v);

    const std::pair<const char *, TColourBox *> colours[] = {
        {"bg_colour=", bg_colour},       {"whisp_colour=", whisp_colour},
        {"time_colour=", time_colour},   {"name_colour=", name_colour},
        {"label_colour=", label_colour}, {"error_colour=", error_colour},
        {"your_name=", your_name},       {"emote_colour=", emote_colour},
        {"text_colour=", text_colour},
    };
    for (const auto &c : colours)
        if (value(QLatin1String(c.first), v))
            c.second->selectName(v);

    const std::pair<const char *, PaneFont> fonts[] = {
        {"chat", ChatFont}, {"user", UserFont}, {"text", TextFont}, {"raw", RawFont}, {"brx", BrxFont}};
    for (const auto &font : fonts) {
        const QString prefix = QString::fromLatin1(font.first);
        if (value(prefix + QStringLiteral("_font="), v)) {
            m_familyBytes[font.second] = v;
            m_familyRead[font.second] = TText::decode(v);
            setPaneFontFamily(font.second, m_familyRead[font.second]);
        }
        if (value(prefix + QStringLiteral("_size="), v))
            setPaneFontSize(font.second, strToInt(v));
    }

    antiidleClick();
}

void Toptions::readconfig()
{
    triggers->clear();
    safe->clear();
    m_readIncomplete = false;

    QByteArray data;
    try {
        data = readWholeFile(configName);
    } catch (const TInOutError &e) {
        // A missing file is a first start; anything else is a file we failed to read.
        m_readIncomplete = QFileInfo::exists(configName);
        throw;
    }

    qsizetype start = 0;
    while (start < data.size()) {
        qsizetype end = data.indexOf('\n', start);
        if (end < 0)
            end = data.size();
        qsizetype stop = end;
        if (stop > start && data[stop - 1] == '\r')
            --stop;
        const QString line = QString::fromLatin1(data.constData() + start, stop - start);
        start = end + 1;
        try {
            applyLine(line);
        } catch (const TError &) {
            m_readIncomplete = true;
            throw;
        }
    }
}
