// The rules under the comforts, without a window: the walk through sent
// lines, Tab completion, finding links and mentions, and the transcript
// search checked against Qt's own search.
#include "rules/completion.h"
#include "rules/inputhistory.h"
#include "rules/links.h"
#include "rules/transcriptsearch.h"
#include "support/datarows.h"

#include <QRandomGenerator>
#include <QtTest>

namespace {
TInputEntry entry(const QString &text) { return {text, {}}; }

// Every match as "line:column", found by Qt one line at a time.
QStringList expectedMatches(const QStringList &lines, const QString &needle, Qt::CaseSensitivity cs)
{
    QStringList out;
    for (int i = 0; i < lines.size(); ++i) {
        qsizetype from = 0;
        while (true) {
            const qsizetype at = lines.at(i).indexOf(needle, from, cs);
            if (at < 0)
                break;
            out << QStringLiteral("%1:%2").arg(i).arg(at);
            from = at + needle.size();
        }
    }
    return out;
}
QStringList found(const TTranscriptSearch &s)
{
    QStringList out;
    for (int i = 0; i < s.count(); ++i)
        out << QStringLiteral("%1:%2").arg(s.at(i).line).arg(s.at(i).column);
    return out;
}
} // namespace

class TestComfortRules : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // Up goes back, Down forward, the half-typed line comes back after the
    // newest; equal lines in a row are kept once; the oldest go first.
    void historyWalk()
    {
        TInputHistory h(3);
        TInputEntry shown;
        QVERIFY(!h.older(entry(QStringLiteral("draft")), shown));
        h.add(entry(QStringLiteral("one")));
        h.add(entry(QStringLiteral("two")));
        h.add(entry(QStringLiteral("two")));
        h.add(entry(QString())); // nothing sent, nothing kept
        QCOMPARE(h.size(), 2);
        QVERIFY(h.older(entry(QStringLiteral("half")), shown));
        QCOMPARE(shown.text, QStringLiteral("two"));
        QVERIFY(h.older(entry(QStringLiteral("ignored")), shown));
        QCOMPARE(shown.text, QStringLiteral("one"));
        QVERIFY(!h.older(entry(QStringLiteral("one")), shown));
        QVERIFY(h.newer(shown));
        QCOMPARE(shown.text, QStringLiteral("two"));
        QVERIFY(h.newer(shown));
        QCOMPARE(shown.text, QStringLiteral("half"));
        QVERIFY(!h.newer(shown));
        // A send ends the walk; the capacity drops the oldest.
        h.add(entry(QStringLiteral("three")));
        h.add(entry(QStringLiteral("four")));
        QCOMPARE(h.size(), 3);
        QCOMPARE(h.at(0).text, QStringLiteral("two"));
        QVERIFY(h.older(entry(QString()), shown));
        QCOMPARE(shown.text, QStringLiteral("four"));
        h.add(entry(QStringLiteral("four"))); // the newest again: not kept twice
        QCOMPARE(h.size(), 3);
        QVERIFY(!h.walking());
        // The bytes behind a shown text come back with it.
        h.add(
            {QStringLiteral("caf\u00e9"), {{QStringLiteral("caf\u00e9"), QStringLiteral("cafX")}}});
        QVERIFY(h.older(entry(QString()), shown));
        QCOMPARE(shown.fragments.size(), 1);
        QCOMPARE(shown.fragments.first().second, QStringLiteral("cafX"));
    }

    void historyDefaultHoldsAtLeastFiveHundred()
    {
        TInputHistory h;
        for (int i = 0; i < 700; ++i)
            h.add(entry(QString::number(i)));
        QVERIFY(h.size() >= 500);
        TInputEntry shown;
        for (int i = 0; i < 500; ++i)
            QVERIFY(h.older(entry(QString()), shown));
        QCOMPARE(shown.text, QStringLiteral("200"));
    }

    void completion_data()
    {
        columns<QString, int, int, QString, int>("text", "cursor", "tabs", "expected",
                                                 "expectedCursor");
        const QString nameLine = QStringLiteral("Bob: ");
        QTest::newRow("name starts the line") << "bo" << 2 << 1 << nameLine << 5;
        QTest::newRow("second tab: next in list order") << "bo" << 2 << 2 << "Bobby: " << 7;
        QTest::newRow("cycles back") << "bo" << 2 << 4 << "Bob: " << 5;
        QTest::newRow("mid line, no suffix") << "hi B" << 4 << 1 << "hi Bob" << 6;
        QTest::newRow("before the cursor only") << "hi bo there" << 5 << 1 << "hi Bob there" << 6;
        QTest::newRow("case ignored") << "BOBB" << 4 << 1 << "Bobby: " << 7;
        QTest::newRow("command") << "/unb" << 4 << 1 << "/unbrx " << 7;
        QTest::newRow("command without argument") << "/ver" << 4 << 1 << "/ver" << 4;
        QTest::newRow("commands cycle") << "/d" << 2 << 1 << "/disconnect" << 11;
        QTest::newRow("name after a command") << "/brx [x" << 7 << 1 << "/brx [xX]" << 9;
        QTest::newRow("no match") << "zed" << 3 << 1 << "zed" << 3;
        QTest::newRow("no word before the cursor") << "hi " << 3 << 1 << "hi " << 3;
        QTest::newRow("an empty line") << "" << 0 << 1 << "" << 0;
    }
    void completion()
    {
        QFETCH(QString, text);
        QFETCH(int, cursor);
        QFETCH(int, tabs);
        QFETCH(QString, expected);
        QFETCH(int, expectedCursor);
        const QStringList names = {QStringLiteral("Bob"), QStringLiteral("alice"),
                                   QStringLiteral("Bobby"), QStringLiteral("boris"),
                                   QStringLiteral("[xX]")};
        TCompletion c;
        QString now = text;
        int at = cursor;
        for (int i = 0; i < tabs; ++i) {
            TCompletion::Result r;
            if (c.complete(now, at, names, r)) {
                now = r.text;
                at = r.cursor;
            }
        }
        QCOMPARE(now, expected);
        QCOMPARE(at, expectedCursor);
    }

    // Typing after a completion starts a new one from the new word.
    void completionStartsAgainAfterAnEdit()
    {
        TCompletion c;
        TCompletion::Result r;
        const QStringList names = {QStringLiteral("Bob"), QStringLiteral("Bobby")};
        QVERIFY(c.complete(QStringLiteral("bo"), 2, names, r));
        QCOMPARE(r.text, QStringLiteral("Bob: "));
        QVERIFY(c.complete(r.text + QStringLiteral("hi bobb"), int(r.text.size()) + 7, names, r));
        QCOMPARE(r.text, QStringLiteral("Bob: hi Bobby"));
        QCOMPARE(r.name, 1); // the name's place in the list, for its bytes
        // The only candidate: another Tab has nothing more to put in (the
        // window lets it move the focus), and the line is left as it is.
        const TCompletion::Result before = r;
        QVERIFY(!c.complete(r.text, r.cursor, names, r));
        QCOMPARE(r.text, before.text);
        QVERIFY(c.complete(QStringLiteral("/ve"), 3, names, r));
        QCOMPARE(r.name, -1);
    }

    // Shift+Tab straight after a completion takes the one before, wrapping;
    // on its own it completes nothing.
    void completionBackwards()
    {
        TCompletion c;
        TCompletion::Result r;
        const QStringList names = {QStringLiteral("Bob"), QStringLiteral("Bobby"),
                                   QStringLiteral("boris")};
        QVERIFY(!c.complete(QStringLiteral("bo"), 2, names, r, true));
        QVERIFY(c.complete(QStringLiteral("bo"), 2, names, r));
        QCOMPARE(r.text, QStringLiteral("Bob: "));
        QVERIFY(c.complete(r.text, r.cursor, names, r, true));
        QCOMPARE(r.text, QStringLiteral("boris: "));
        QVERIFY(c.complete(r.text, r.cursor, names, r, true));
        QCOMPARE(r.text, QStringLiteral("Bobby: "));
        QVERIFY(c.complete(r.text, r.cursor, names, r));
        QCOMPARE(r.text, QStringLiteral("boris: "));
        QCOMPARE(r.cursor, 7);
        // An edit in between: Shift+Tab has nothing to go back to.
        QVERIFY(!c.complete(r.text + QStringLiteral("x"), r.cursor + 1, names, r, true));
    }

    void links_data()
    {
        columns<QString, QStringList, QStringList>("line", "texts", "urls");
        QTest::newRow("none") << "no address here, www or http" << QStringList() << QStringList();
        QTest::newRow("https") << "see https://example.org/a?b=1#c now"
                               << QStringList{"https://example.org/a?b=1#c"}
                               << QStringList{"https://example.org/a?b=1#c"};
        QTest::newRow("www gets http") << "www.example.org." << QStringList{"www.example.org"}
                                       << QStringList{"http://www.example.org"};
        QTest::newRow("sentence punctuation") << "(look: http://x.org/y)!, and HTTP://X.ORG, too"
                                              << QStringList{"http://x.org/y", "HTTP://X.ORG"}
                                              << QStringList{"http://x.org/y", "http://x.org"};
        QTest::newRow("bracket kept when opened")
            << "http://en.wikipedia.org/wiki/Foo_(bar)."
            << QStringList{"http://en.wikipedia.org/wiki/Foo_(bar)"}
            << QStringList{"http://en.wikipedia.org/wiki/Foo_(bar)"};
        QTest::newRow("inside a word is not one")
            << "xhttp://a.b awww.b.c" << QStringList() << QStringList();
        QTest::newRow("prefix alone is not one")
            << "http:// and www." << QStringList() << QStringList();
        QTest::newRow("two, control character ends")
            << QStringLiteral("http://a.b\x01tail www.c.d") << QStringList{"http://a.b", "www.c.d"}
            << QStringList{"http://a.b", "http://www.c.d"};
    }
    void links()
    {
        QFETCH(QString, line);
        QFETCH(QStringList, texts);
        QFETCH(QStringList, urls);
        QStringList gotTexts, gotUrls;
        for (const TLinkSpan &l : TLinks::find(line)) {
            QCOMPARE(line.mid(l.start, l.length), l.text);
            gotTexts << l.text;
            gotUrls << l.url().toString();
        }
        QCOMPARE(gotTexts, texts);
        QCOMPARE(gotUrls, urls);
    }

    void mentions_data()
    {
        columns<QString, QString, bool>("text", "name", "mentioned");
        QTest::newRow("whole word") << "hi alice, there"
                                    << "alice" << true;
        QTest::newRow("case") << "ALICE!"
                              << "alice" << true;
        QTest::newRow("inside a word") << "malice aforethought"
                                       << "alice" << false;
        QTest::newRow("prefix of a word") << "alices"
                                          << "alice" << false;
        QTest::newRow("underscore joins") << "alice_bot"
                                          << "alice" << false;
        QTest::newRow("later whole") << "malice, alice"
                                     << "alice" << true;
        QTest::newRow("name with brackets") << "yo [TR]bob: hi"
                                            << "[TR]bob" << true;
        QTest::newRow("name ending in punctuation") << "ok bob#2x"
                                                    << "bob#2" << false;
        QTest::newRow("empty name") << "anything"
                                    << "" << false;
    }
    void mentions()
    {
        QFETCH(QString, text);
        QFETCH(QString, name);
        QFETCH(bool, mentioned);
        QCOMPARE(TLinks::mentions(text, name), mentioned);
    }

    // The quick ASCII way gives what the general one does, the general one
    // being Qt's case-insensitive search with the same edges.
    void mentionsAsciiAgreesWithQt()
    {
        QRandomGenerator rng(7);
        const QString alphabet = QStringLiteral("aAbB_ -1[]");
        const auto general = [](const QString &text, const QString &name) {
            const auto word = [](QChar c) { return c.isLetterOrNumber() || c == QLatin1Char('_'); };
            for (qsizetype at = text.indexOf(name, 0, Qt::CaseInsensitive); at >= 0;
                 at = text.indexOf(name, at + 1, Qt::CaseInsensitive)) {
                const qsizetype after = at + name.size();
                if ((at == 0 || !word(name.front()) || !word(text.at(at - 1))) &&
                    (after == text.size() || !word(name.back()) || !word(text.at(after))))
                    return true;
            }
            return false;
        };
        int hits = 0;
        for (int round = 0; round < 5000; ++round) {
            QString text, name;
            for (int k = rng.bounded(20); k > 0; --k)
                text += alphabet.at(rng.bounded(int(alphabet.size())));
            for (int k = 1 + rng.bounded(3); k > 0; --k)
                name += alphabet.at(rng.bounded(int(alphabet.size())));
            const bool expected = general(text, name);
            hits += expected;
            QCOMPARE(TLinks::mentionsAscii(text, name), expected);
            QCOMPARE(TLinks::mentions(text, name), expected);
        }
        QVERIFY(hits > 100); // the rounds did meet names
    }

    // The search finds exactly what Qt's own finds, line by line, on narrow
    // and wide lines, with and without case; lines appended later are added.
    void searchAgreesWithQt()
    {
        QRandomGenerator rng(20261209);
        const QString alphabet =
            QStringLiteral("aAbB \u00e9\u00c9\u00df\u00b5\u03bc\u0130i\u00ff\u0178");
        for (int round = 0; round < 200; ++round) {
            QStringList lines;
            TTranscriptStore store;
            const int n = 1 + rng.bounded(20);
            for (int i = 0; i < n; ++i) {
                QString line;
                const int len = rng.bounded(70); // past one and several 16-byte blocks
                // Half the lines Latin-1 only (stored narrow).
                const int span = rng.bounded(2) ? 9 : int(alphabet.size());
                for (int k = 0; k < len; ++k)
                    line += alphabet.at(rng.bounded(span));
                lines << line;
                store.append(line, {}, 0);
            }
            QString needle;
            const int m = 1 + rng.bounded(3);
            for (int k = 0; k < m; ++k)
                needle += alphabet.at(rng.bounded(int(alphabet.size())));
            for (const Qt::CaseSensitivity cs : {Qt::CaseInsensitive, Qt::CaseSensitive}) {
                TTranscriptSearch s;
                s.start(store, needle, cs);
                QCOMPARE(found(s), expectedMatches(lines, needle, cs));
                // More lines while the search is open.
                const QString more = needle + QStringLiteral(" x ") + needle.toUpper();
                store.append(more, {}, 0);
                lines << more;
                s.extend(store, int(lines.size()) - 1);
                QCOMPARE(found(s), expectedMatches(lines, needle, cs));
                // The next pass starts from the lines as they were.
                lines.removeLast();
                store.clear();
                for (const QString &l : std::as_const(lines))
                    store.append(l, {}, 0);
            }
        }
    }

    void searchSteps()
    {
        TTranscriptStore store;
        for (const char *l : {"one cat", "no", "cat cat", "dog", "CAT"})
            store.append(QString::fromLatin1(l), {}, 0);
        TTranscriptSearch s;
        s.start(store, QStringLiteral("cat"), Qt::CaseInsensitive);
        QCOMPARE(s.count(), 4);
        QCOMPARE(s.current(), -1);
        s.previous();
        QCOMPARE(s.current(), 3); // from none, previous is the last
        s.next();
        QCOMPARE(s.current(), 0); // and wraps
        QCOMPARE(s.firstFrom(3), 3);
        QCOMPARE(s.firstFrom(5), 0); // past the last: wraps to the first
        QCOMPARE(s.onLines(2, 3), std::make_pair(1, 3));
        QCOMPARE(s.onLines(1, 1), std::make_pair(1, 1));
        s.start(store, QStringLiteral("cat"), Qt::CaseSensitive);
        QCOMPARE(s.count(), 3);
        s.start(store, QString(), Qt::CaseInsensitive);
        QVERIFY(!s.isActive());
        QCOMPARE(s.count(), 0);
        s.next();
        QCOMPARE(s.current(), -1);
        // Marks live beside the text and do not disturb it.
        store.setMarked(2, true);
        QVERIFY(store.isMarked(2));
        QVERIFY(!store.isMarked(1) && !store.isMarked(5) && !store.isMarked(-1));
        QCOMPARE(store.lineText(2), QStringLiteral("cat cat"));
        QCOMPARE(store.lineText(3), QStringLiteral("dog"));
        store.setMarked(2, false);
        QVERIFY(!store.isMarked(2));
    }
};

QTEST_GUILESS_MAIN(TestComfortRules)
#include "test_comfort_rules.moc"
