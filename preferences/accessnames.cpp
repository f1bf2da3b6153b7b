// What a screen reader says for each control of the dialog: a visible label
// names the control beside it (the label is its buddy, so a click on the
// label goes to the control too); a control without one is named here. The
// pages are laid out elsewhere; this finds the labels by their words.
#include "preferences/Toptions.h"

#include "widgets/comboaccessible.h"

#include <QCheckBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>

void Toptions::labelControls()
{
    const std::pair<const char *, QWidget *> buddies[] = {
        {"Username:", username},
        {"Password:", password},
        {"Server:", server},
        {"Home Channel:", homechannel},
        {"Away Message:", awaymessage},
        {"Background:", bg_colour},
        {"Whispers:", whisp_colour},
        {"Timestamps:", time_colour},
        {"Your name:", your_name},
        {"Usernames:", name_colour},
        {"Emotes:", emote_colour},
        {"Labels:", label_colour},
        {"Errors:", error_colour},
        {"Normal Text:", text_colour},
        {"Minimum line length required to trigger autosquelch: ", minLineLength},
        {"When the autosquelch is triggered perform this action:", autoAction},
        {"Double clicking a name in the userlist should:", dblClickAction},
        {"Clear a user's flood history after:", HistoryDelay},
        {"Diablo Sware:", action_diablos},
        {"Diablo 1:", action_diablo1},
        {"Diablo 2:", action_diablo2},
        {"Starcraft Sware:", action_starcrafts},
        {"Starcraft:", action_starcraft},
        {"Broodwar:", action_broodwar},
        {"Warcraft:", action_warcraft},
        {"Chat Client/Bot:", action_bot},
        {"Units per window:", quotaUnits},
        {"Window:", quotaWindow},
        {"Bytes per unit:", quotaBytesPerUnit},
        {"Safety margin:", quotaMargin},
        {"Send typed text as:", outgoingEncoding},
        {"Read out new lines:", readOut},
        {"Mention colour:", mentionColour},
        {"For at most:", historyDays},
        {"Up to a size of:", historyMegabytes},
    };
    const QList<QLabel *> labels = findChildren<QLabel *>();
    for (const auto &b : buddies)
        for (QLabel *l : labels)
            if (l->text() == QLatin1String(b.first) && !l->buddy())
                l->setBuddy(b.second);

    // Controls with no label of their own, or one that several share.
    const std::pair<QWidget *, const char *> names[] = {
        {logfilename, "Chat log file name"},
        {logbrowse, "Browse for the chat log"},
        {rawlogfilename, "Raw log file name"},
        {rawbrowse, "Browse for the raw log"},
        {chatfont, "Chat font"},
        {userfont, "Users font"},
        {whisperfont, "Whispers font"},
        {squelchfont, "Squelch font"},
        {textfont, "Text font"},
        {channelfont, "Channel font"},
        {AsciiPercentage, "Percentage of high ASCII"},
        {ucPercentage, "Percentage of upper case"},
        {leetPercentage, "Percentage of l33t characters"},
        {triggers, "Trigger phrases"},
        {safe, "Safelist"},
        {testTrigger, "Test trigger phrase"},
        {server->lineEdit(), "Server"},
    };
    for (const auto &n : names)
        n.first->setAccessibleName(QLatin1String(n.second));
    // A caption with a gap for its spin box reads without the gap.
    for (QCheckBox *box : {squelchAscii, squelchUc, squelchLeet})
        box->setAccessibleName(box->text().simplified());
    tabs->setAccessibleName(QStringLiteral("Pages"));
    nameComboBoxes(this);
}
