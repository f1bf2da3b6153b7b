// Which new lines a screen reader is asked to speak, and what it hears
// about the lines held while chat was paused.
#include "rules/readout.h"
#include "support/datarows.h"

#include <QtTest>

namespace {
TReadOut::Line line(const QString &text, bool whisper = false, bool mention = false,
                    bool own = false)
{
    TReadOut::Line l;
    l.text = text;
    l.whisper = whisper;
    l.mention = mention;
    l.own = own;
    return l;
}
} // namespace

class TestReadOut : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void levels_data()
    {
        columns<int, QString>("level", "expected");
        QTest::newRow("all lines") << int(TReadOut::Level::All)
                                   << "<bob> hi\n<From: ann> psst\nMention: <cy> alice?\n"
                                      "Console: Chat Paused.";
        QTest::newRow("whispers, mentions and our own (the default)")
            << int(TReadOut::Level::Important)
            << "<From: ann> psst\nMention: <cy> alice?\nConsole: Chat Paused.";
        QTest::newRow("none") << int(TReadOut::Level::None) << "";
    }
    void levels()
    {
        QFETCH(int, level);
        QFETCH(QString, expected);
        TReadOut r;
        QCOMPARE(r.level(), TReadOut::Level::Important);
        r.setLevel(TReadOut::Level(level));
        QVERIFY(!r.pending());
        const bool talk = r.add(line("<bob> hi"));
        QCOMPARE(talk, level == int(TReadOut::Level::All));
        r.add(line("<From: ann> psst", true));
        r.add(line("<cy> alice?", false, true));
        r.add(line("Console: Chat Paused.", false, false, true));
        QCOMPARE(r.pending(), !expected.isEmpty());
        QCOMPARE(r.take(), expected);
        // Taken once: the next frame starts empty.
        QVERIFY(!r.pending());
        QCOMPARE(r.take(), QString());
    }

    // Held lines are counted, not spoken; the release says how many, and
    // how many of them were whispers and how many mentions, once.
    void heldLines()
    {
        TReadOut r;
        r.released();
        QVERIFY(!r.pending()); // nothing held, nothing said
        r.hold(line(QString()));
        r.hold(line(QString(), true));
        r.hold(line(QString(), false, true));
        r.hold(line(QString(), true, true));
        r.hold(line(QString(), false, false, true));
        r.released();
        QCOMPARE(r.take(),
                 QStringLiteral(
                     "Chat unpaused: 5 lines were held, among them 2 whispers and 2 mentions."));
        r.released();
        QVERIFY(!r.pending());
        r.hold(line(QString()));
        r.released();
        QCOMPARE(r.take(),
                 QStringLiteral("Chat unpaused: 1 line was held, no whispers or mentions."));
        r.hold(line(QString(), true));
        r.hold(line(QString(), false, false, true));
        r.released();
        QCOMPARE(r.take(),
                 QStringLiteral("Chat unpaused: 2 lines were held, among them 1 whisper and 0 "
                                "mentions."));
        r.setLevel(TReadOut::Level::None);
        r.hold(line(QString(), true));
        r.released();
        QVERIFY(!r.pending());
    }

    void settingChoices()
    {
        QCOMPARE(TReadOut::levelNames().size(), 3);
        QCOMPARE(TReadOut::levelNames().at(int(TReadOut::Level::None)), QStringLiteral("None"));
    }
};

QTEST_GUILESS_MAIN(TestReadOut)
#include "test_readout.moc"
