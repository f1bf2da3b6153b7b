// The lines waiting for the history's writer: every field of every line
// comes out as it went in, in order, however the queue was added to,
// dropped from and taken from.
#include "history/historyqueue.h"

#include <QtTest>

using THistory::Kind;
using THistory::Line;

namespace {

Line made(int i)
{
    Line l;
    l.timeMs = 1733700000000 + i;
    l.server = QStringLiteral("127.0.0.1");
    l.account = QStringLiteral("moderator");
    l.channel = i % 2 ? QStringLiteral("Op Tressel") : QStringLiteral("Ünïcode ☃");
    l.kind = Kind(i % THistory::kindCount);
    l.sender = i % 3 ? QStringLiteral("bob") : QString();
    l.text = i % 5 ? QStringLiteral("line %1 \U0001F600").arg(i) : QString();
    if (i % 4 == 0)
        l.raw = QByteArray("\xff\x00 bytes", 8) + QByteArray::number(i);
    else if (i % 4 == 1)
        l.raw = QByteArray(""); // none, but not null
    l.hidden = i % 7 == 0;
    l.approximate = i % 11 == 0;
    l.undecoded = i % 13 == 0;
    return l;
}

QString mismatch(const Line &a, const Line &b)
{
    if (a.timeMs != b.timeMs || a.server != b.server || a.account != b.account ||
        a.channel != b.channel || a.kind != b.kind || a.sender != b.sender || a.text != b.text ||
        a.raw != b.raw || a.raw.isNull() != b.raw.isNull() || a.hidden != b.hidden ||
        a.approximate != b.approximate || a.undecoded != b.undecoded)
        return QStringLiteral("line at %1: %2 / %3").arg(a.timeMs).arg(a.text, b.text);
    return QString();
}

} // namespace

class TestHistoryQueue : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void linesComeOutAsTheyWentIn()
    {
        THistoryQueue queue, taken;
        std::deque<Line> out;
        int next = 0, expected = 0;
        // Rounds of adding, dropping the oldest and taking all, the two
        // queues trading buffers as the writer's and the window's do.
        for (int round = 0; round < 6; ++round) {
            for (int i = 0; i < 50 + round * 37; ++i)
                queue.push(made(next++));
            QCOMPARE(queue.size(), next - expected);
            for (int d = 0; d < round * 9; ++d) {
                queue.dropOldest();
                ++expected;
            }
            for (int i = 0; i < round * 5; ++i)
                queue.push(made(next++));
            taken.swap(queue);
            QVERIFY(queue.empty());
            out.clear();
            taken.takeInto(&out);
            QVERIFY(taken.empty());
            QCOMPARE(int(out.size()), next - expected);
            for (const Line &l : out) {
                const QString wrong = mismatch(l, made(expected++));
                QVERIFY2(wrong.isEmpty(), qPrintable(wrong));
            }
        }
        // Lines of a flood share their names: the same strings come back.
        for (int i = 0; i < 3; ++i)
            queue.push(made(1));
        out.clear();
        queue.takeInto(&out);
        QVERIFY(out[1].sender.isSharedWith(out[2].sender));
        QVERIFY(out[1].channel.isSharedWith(out[2].channel));
        // Dropping from an empty queue does nothing.
        queue.dropOldest();
        QVERIFY(queue.empty());
    }

    void appendedQueuesKeepTheirOrder()
    {
        // As the window hands its gathered lines over: into an empty
        // queue, onto one with lines, and onto one its oldest were
        // dropped from, the gathered queue having dropped some too.
        THistoryQueue queue, gathered;
        std::deque<Line> out;
        int next = 0;
        std::vector<int> want;
        for (int round = 0; round < 4; ++round) {
            for (int i = 0; i < 20 + round; ++i) {
                want.push_back(next);
                gathered.push(made(next++));
            }
            if (round == 2) {
                gathered.dropOldest();
                want.erase(want.end() - 22);
            }
            queue.append(gathered);
            QVERIFY(gathered.empty());
            if (round == 1) {
                queue.dropOldest();
                queue.dropOldest();
                want.erase(want.begin(), want.begin() + 2);
            }
        }
        QCOMPARE(queue.size(), int(want.size()));
        queue.takeInto(&out);
        QCOMPARE(out.size(), want.size());
        for (size_t i = 0; i < out.size(); ++i) {
            const QString wrong = mismatch(out[i], made(want[i]));
            QVERIFY2(wrong.isEmpty(), qPrintable(wrong));
        }
        // Latin-1 and wider texts side by side come back whole.
        QVERIFY(std::any_of(out.begin(), out.end(), [](const Line &l) {
            return l.channel == QStringLiteral("Ünïcode ☃");
        }));
    }

    void recordsReadBackFromAFileAreChecked()
    {
        THistoryQueue queue;
        for (int i = 0; i < 40; ++i)
            queue.push(made(i));
        // In chunks as a flood's are kept, and read back whole.
        QByteArray all;
        std::vector<int> chunkLines;
        QVERIFY(queue.chunks(16, [&](QByteArrayView records, int lines) {
            all.append(records);
            chunkLines.push_back(lines);
            return true;
        }));
        QCOMPARE(chunkLines, (std::vector<int>{16, 16, 8}));
        QCOMPARE(queue.size(), 40); // left as it was
        std::deque<Line> out;
        QVERIFY(THistoryQueue::readRecords(all.constData(), all.size(), &out));
        QCOMPARE(int(out.size()), 40);
        for (int i = 0; i < 40; ++i) {
            const QString wrong = mismatch(out[size_t(i)], made(i));
            QVERIFY2(wrong.isEmpty(), qPrintable(wrong));
        }
        // A refused chunk stops the giving.
        int given = 0;
        QVERIFY(!queue.chunks(16, [&](QByteArrayView, int) { return ++given < 2; }));
        QCOMPARE(given, 2);

        // Cut anywhere but between records, or with any byte changed, the
        // bytes give every line or none (and never read past their end:
        // the sanitizers' build runs this too).
        THistoryQueue three;
        QByteArray few;
        for (int i = 0; i < 3; ++i)
            three.push(made(i));
        QVERIFY(three.chunks(3, [&](QByteArrayView records, int) {
            few = records.toByteArray();
            return true;
        }));
        int cutWhole = 0;
        for (qsizetype cut = 0; cut < few.size(); ++cut) {
            const QByteArray part = few.left(cut);
            out.clear();
            const bool read = THistoryQueue::readRecords(part.constData(), part.size(), &out);
            QVERIFY(read || out.empty());
            cutWhole += read;
        }
        QCOMPARE(cutWhole, 3); // the cuts between records (nothing is a whole read too)
        int readChanged = 0;
        for (qsizetype at = 0; at < few.size(); ++at) {
            QByteArray changed = few;
            changed[at] = char(changed.at(at) ^ 0xa5);
            out.clear();
            const bool read = THistoryQueue::readRecords(changed.constData(), changed.size(), &out);
            QVERIFY(read || out.empty());
            readChanged += read;
        }
        QVERIFY(readChanged > 0 && readChanged < few.size());
    }
};

QTEST_GUILESS_MAIN(TestHistoryQueue)
#include "test_history_queue.moc"
