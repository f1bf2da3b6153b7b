#pragma once
// The icon rules of the user lists: product codes to icons and back, and the
// icon a member's gateway flags call for.
#include <QString>
#include <QStringList>

// Icon of a product code (exact, upper case); 8 (Chat) for any other text.
int productIcon(const QString &code);
// Product code of an icon: DRTL..D2XP for 9..17, CHAT for any other index.
QString productCode(int icon);

// The icon a member shows from its product and flags text. flags "0000"
// leaves squelched alone; otherwise squelched becomes whether the flags carry
// the squelched mark. A text of decimal digits is walked by the decimal
// thresholds 400, 200, 40, 20, 10, 8, 4, 2, 1 (each once); a text with the
// letters a-f is read as the gateway's hexadecimal bits. A text that is no
// number at all shows the product icon and clears nothing.
int flagsIcon(const QString &product, const QString &flags, bool &squelched);

// What a member's row says in words (to a screen reader, and as its tip):
// the product ("Diablo II"; "Chat client" for any other code) and the marks
// of the flags, strongest first ("operator", "speaker", ...; none for a text
// that is no number).
QString productName(const QString &code);
QStringList flagWords(const QString &flags);

// Icon indexes the rules use.
namespace TUserIcon {
constexpr int blizzard = 0, admin = 1, op = 2, speaker = 3, guest = 4, squelched = 5,
              pglOfficial = 6, pglPlayer = 7, chat = 8, unknown = 18;
}
