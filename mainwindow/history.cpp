// The history: every line the transcript shows, and the ones it hides,
// handed to the store in history.db, which writes them on its own thread.
#include "mainwindow/Tmain.h"
#include "mainwindow/labels.h"

#include "base/clock.h"
#include "connection/TChatInterface.h"
#include "history/historylabels.h"
#include "history/historystore.h"
#include "preferences/Toptions.h"
#include "rules/itembytes.h"
#include "rules/textcodec.h"

#include <QCheckBox>

namespace {
const QString historyFile = QStringLiteral("history.db");
}

void Tmain::setupHistory()
{
    m_history = new THistoryStore(historyFile, this);
    // The store speaks from its own thread; the lines are written here.
    connect(m_history, &THistoryStore::problem, this, [this](const QString &text) {
        guardedCall([&] {
            writeLine(chat, QStringLiteral("Warning:"), TTextItem::ownText(text), errorColour());
        });
    });
    connect(m_history, &THistoryStore::notice, this, [this](const QString &text) {
        guardedCall(
            [&] { writeLine(chat, TLabel::console, TTextItem::ownText(text), labelColour()); });
    });
}

void Tmain::applyHistorySettings()
{
    m_history->setRetention(options->historyDays->value(), options->historyMegabytes->value());
    // Opened in the background, the first time it is wanted.
    if (options->keepHistory->isChecked())
        m_history->start();
}

void Tmain::historyLine(const QString &label, const QString &message, bool hidden)
{
    if (!m_history || m_historyReplay || !options->keepHistory->isChecked())
        return;
    const THistory::LabelReading read = THistory::readLabel(label, message);
    THistory::Line line;
    line.timeMs = currentDateTime().toMSecsSinceEpoch();
    line.server = bnet->Address;
    line.account = TText::decode(ownName());
    line.channel = TText::decode(envVars.channelName);
    line.kind = read.kind;
    line.sender = TText::decode(read.sender);
    line.text = TText::decode(read.text);
    line.raw = TText::toBytes(read.text);
    line.hidden = hidden;
    m_history->add(line);
}
