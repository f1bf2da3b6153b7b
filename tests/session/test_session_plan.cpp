// The session's plan of a line for the wire, with no window and no link:
// what is cut, what must go whole, and the limit the quota's figures give.
#include "session/TSession.h"

#include "base/errors.h"
#include "core/settingsstore.h"

#include <QtTest>

class TestSessionPlan : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void limitFollowsTheQuotaAtOnce();
    void typedLines_data();
    void typedLines();
    void linesPutTogetherGoWhole();
};

namespace {
// A session whose quota's figures allow lines of at most limit bytes.
struct Planner {
    TSettingsStore store; // outlives the session that reads it
    TSession session;
    int settingsRead = 0;
    explicit Planner(int limit)
    {
        setLimit(limit);
        session.setStore(&store);
        // Connecting reads the name and password; cutting a line must not.
        // Here they have no bytes, so reading them raises the error that
        // says so, and it is counted.
        store.setUnencodable(TSetting::username, QStringLiteral("\u00e9"),
                             QStringLiteral("The name has no bytes here."));
        store.setUnencodable(TSetting::password, QStringLiteral("\u00e9"),
                             QStringLiteral("The password has no bytes here."));
    }
    void setLimit(int limit)
    {
        store.setNumber(TSetting::quotaUnits, 2);
        store.setNumber(TSetting::quotaBytesPerUnit, limit); // (units - 1) * bytes per unit
    }
    template <typename F> auto reading(F f) -> decltype(f())
    {
        try {
            return f();
        } catch (const TError &) {
            ++settingsRead;
            return {};
        }
    }
    int wireLimit()
    {
        return reading([this] { return session.wireLimit(); });
    }
    TLinePlan plan(const QString &line)
    {
        return reading([&] { return session.plan(line); });
    }
};
} // namespace

void TestSessionPlan::limitFollowsTheQuotaAtOnce()
{
    Planner p(40);
    QCOMPARE(p.wireLimit(), 40);
    QCOMPARE(p.plan(QString(41, QLatin1Char('a'))).outcome, TWire::Plan::Split);
    p.setLimit(50);
    QCOMPARE(p.wireLimit(), 50);
    const TLinePlan plan = p.plan(QString(41, QLatin1Char('a')));
    QCOMPARE(plan.outcome, TWire::Plan::Fits);
    QCOMPARE(plan.limit, 50);
    QCOMPARE(p.settingsRead, 0);
    // Never more than the server's 200, whatever the quota allows.
    p.setLimit(1000);
    QCOMPARE(p.wireLimit(), 200);
}

void TestSessionPlan::typedLines_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<int>("outcome");
    QTest::addColumn<QStringList>("pieces");
    QTest::newRow("fits") << "hello there" << int(TWire::Plan::Fits) << QStringList{"hello there"};
    QTest::newRow("talk cut at spaces") << "aaaa bbbb cccc dddd" << int(TWire::Plan::Split)
                                        << QStringList{"aaaa bbbb", "cccc dddd"};
    QTest::newRow("whisper keeps its name")
        << "/m bob aaaa bbbb cccc" << int(TWire::Plan::Split)
        << QStringList{"/m bob aaaa", "/m bob bbbb", "/m bob cccc"};
    QTest::newRow("other command too long")
        << "/join a very long channel" << int(TWire::Plan::TooLong) << QStringList{};
    QTest::newRow("no room after the name")
        << "/whisper somebodylong x" << int(TWire::Plan::TooNarrow) << QStringList{};
}

void TestSessionPlan::typedLines()
{
    QFETCH(QString, line);
    QFETCH(int, outcome);
    QFETCH(QStringList, pieces);
    Planner p(11);
    const TLinePlan plan = p.session.plan(line);
    QCOMPARE(int(plan.outcome), outcome);
    QCOMPARE(plan.pieces, pieces);
    QCOMPARE(plan.goes(), !pieces.isEmpty());
    QCOMPARE(plan.line, line);
    for (const QString &piece : plan.pieces)
        QVERIFY(piece.size() <= 11);
}

void TestSessionPlan::linesPutTogetherGoWhole()
{
    Planner p(11);
    // A whisper the program puts together is never cut.
    TLinePlan plan = p.session.planWhole(QStringLiteral("/m bob aaaa bbbb"));
    QVERIFY(!plan.goes());
    QCOMPARE(plan.outcome, TWire::Plan::TooLong);
    QVERIFY(plan.pieces.isEmpty());
    QCOMPARE(plan.limit, 11);
    plan = p.session.planWhole(QStringLiteral("/whois bob"));
    QVERIFY(plan.goes());
    QCOMPARE(plan.pieces, QStringList{QStringLiteral("/whois bob")});
    // Exactly the limit still goes.
    QVERIFY(p.session.planWhole(QString(11, QLatin1Char('x'))).goes());
}

QTEST_GUILESS_MAIN(TestSessionPlan)
#include "test_session_plan.moc"
