// The settings store on its own, with no window: start values from the
// table, typed values, ranges, and one change signal per real change.
#include "core/settingsstore.h"

#include "base/errors.h"

#include <QSignalSpy>
#include <QtTest>

using namespace TSetting;

class TestSettingsStore : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void tableIsComplete()
    {
        // Every id has its entry, in order, and no file key is there twice
        // (the reader looks a line up by its key).
        QCOMPARE(int(all().size()), int(Count));
        QSet<QString> keys;
        for (int i = 0; i < Count; ++i) {
            const Def &d = all()[std::size_t(i)];
            QCOMPARE(int(d.id), i);
            const QString key = d.file == File::Ini ? QLatin1String(d.section) + QLatin1Char('/') +
                                                          QLatin1String(d.key)
                                                    : QLatin1String(d.key);
            QVERIFY2(!keys.contains(key), qPrintable(key));
            keys.insert(key);
            if (d.kind == Kind::Number) {
                QVERIFY2(d.minimum <= d.maximum, d.key);
                const int start = QByteArray(d.start).toInt();
                QVERIFY2(start >= d.minimum && start <= d.maximum, d.key);
            }
            if (d.kind == Kind::Pick)
                QCOMPARE(d.maximum, int(d.entries.size()) - 1);
        }
        QCOMPARE(faceOf(BrxPane), brx_font);
        QCOMPARE(sizeOf(RawPane), raw_size);
    }

    void startValues()
    {
        const TSettingsStore s;
        QCOMPARE(s.bytes(server), QStringLiteral("useast.battle.net"));
        QCOMPARE(s.bytes(server), def(server).entries.first());
        QCOMPARE(s.bytes(username), QString());
        QVERIFY(!s.flag(timestamps));
        QVERIFY(s.flag(findBar));
        QVERIFY(!s.flag(autoReconnect));
        QCOMPARE(s.number(idletype), 1);
        QCOMPARE(s.number(AsciiPercentage), 40);
        QCOMPARE(s.number(autoAction), -1);
        QCOMPARE(s.pickText(autoAction), QString());
        QCOMPARE(s.number(action_bot), 0);
        QCOMPARE(s.pickText(action_bot), QStringLiteral("None"));
        QCOMPARE(s.number(quotaMargin), 500);
        QCOMPARE(s.pickText(outgoingEncoding), QStringLiteral("UTF-8"));
        QCOMPARE(s.typedEncoding(), TText::Encoding::Utf8);
        QCOMPARE(s.number(readOut), 1);
        QCOMPARE(s.colourName(mentionColour), QStringLiteral("Money Green"));
        QCOMPARE(s.colour(mentionColour), TColours::Rgb(0xffc0dcc0));
        QCOMPARE(s.colour(label_colour), TColours::Rgb(0xff000080));
        QCOMPARE(s.shown(chat_font), QStringLiteral("MS Sans Serif"));
        QCOMPARE(s.number(chat_size), 8);
        QCOMPARE(s.number(user_size), 7);
        QVERIFY(s.list(safe).isEmpty());
    }

    void numbersClampAndPickListsSelectNone()
    {
        TSettingsStore s;
        s.setNumber(leetPercentage, 0);
        QCOMPARE(s.number(leetPercentage), 1);
        s.setNumber(HistoryDelay, 601);
        QCOMPARE(s.number(HistoryDelay), 600);
        s.setNumber(quotaMargin, -5);
        QCOMPARE(s.number(quotaMargin), 0);
        s.setNumber(quotaUnits, 1);
        QCOMPARE(s.number(quotaUnits), 2);
        s.setNumber(idletype, 7);
        QCOMPARE(s.number(idletype), 3);
        s.setNumber(dblClickAction, 2);
        QCOMPARE(s.pickText(dblClickAction), QStringLiteral("Copy Username"));
        s.setNumber(dblClickAction, 3);
        QCOMPARE(s.number(dblClickAction), -1);
        s.setNumber(outgoingEncoding, 1);
        QCOMPARE(s.typedEncoding(), TText::Encoding::Windows1252);
    }

    void textsKeepTheirBytes()
    {
        TSettingsStore s;
        // Windows-1252 bytes that are not UTF-8: shown as a person reads them.
        s.setBytes(homechannel, QStringLiteral("caf\u00e9"));
        QCOMPARE(s.bytes(homechannel), QStringLiteral("caf\u00e9"));
        QCOMPARE(s.shown(homechannel), QStringLiteral("caf\u00e9"));
        s.setBytes(homechannel, QString::fromLatin1("caf\xc3\xa9"));
        QCOMPARE(s.shown(homechannel), QStringLiteral("caf\u00e9"));
        // Typed text the encoding cannot hold has no bytes, and says so.
        s.setUnencodable(awaymessage, QStringLiteral("\u4e2d"), QStringLiteral("cannot"));
        QString out = QStringLiteral("kept");
        QVERIFY(!s.tryBytes(awaymessage, out));
        QCOMPARE(out, QStringLiteral("kept"));
        QCOMPARE(s.shown(awaymessage), QStringLiteral("\u4e2d"));
        try {
            (void)s.bytes(awaymessage);
            QFAIL("no error");
        } catch (const TError &e) {
            QCOMPARE(e.text(), QStringLiteral("cannot"));
        }
        s.setTyped(awaymessage, QStringLiteral("brb"), QStringLiteral("brb"));
        QVERIFY(s.tryBytes(awaymessage, out));
        QCOMPARE(out, QStringLiteral("brb"));
    }

    void coloursByName()
    {
        TSettingsStore s;
        QVERIFY(s.setColour(bg_colour, QStringLiteral("Sky Blue")));
        QCOMPARE(s.colour(bg_colour), TColours::Rgb(0xffa6caf0));
        QVERIFY(!s.setColour(bg_colour, QStringLiteral("sky blue"))); // exact names only
        QCOMPARE(s.colourName(bg_colour), QStringLiteral("Sky Blue"));
        QCOMPARE(TColours::count(), 20);
        QCOMPARE(TColours::name(19), QStringLiteral("Med Gray"));
        QCOMPARE(TColours::name(20), QString());
        QCOMPARE(TColours::indexOf(QStringLiteral("Cream")), 18);
    }

    void changeSignalOncePerRealChange()
    {
        TSettingsStore s;
        QSignalSpy changed(&s, &TSettingsStore::changed);
        QSignalSpy quota(&s, &TSettingsStore::quotaChanged);
        s.setFlag(timestamps, true);
        s.setFlag(timestamps, true);
        s.setNumber(AsciiPercentage, 40); // already
        s.setNumber(leetPercentage, -3);  // clamps to 1, which it is
        s.setNumber(quotaUnits, 7);
        s.setNumber(quotaUnits, 7);
        s.setColour(text_colour, QStringLiteral("Black")); // already
        s.setBytes(username, QStringLiteral("alice"));
        s.setBytes(username, QStringLiteral("alice"));
        s.setList(safe, {QStringLiteral("a"), QStringLiteral("b")});
        s.setList(safe, {QStringLiteral("a"), QStringLiteral("b")});
        s.setFontFace(chat_font, QStringLiteral("MS Sans Serif")); // already
        s.setNumber(chat_size, 12);
        QCOMPARE(changed.count(), 5);
        const QList<Id> ids = {timestamps, quotaUnits, username, safe, chat_size};
        for (int i = 0; i < ids.size(); ++i)
            QCOMPARE(changed.at(i).at(0).value<Id>(), ids.at(i));
        QCOMPARE(quota.count(), 1);
        QCOMPARE(s.list(safe), QStringList({QStringLiteral("a"), QStringLiteral("b")}));
        QCOMPARE(s.number(chat_size), 12);
    }
};

QTEST_GUILESS_MAIN(TestSettingsStore)
#include "test_settings_store.moc"
