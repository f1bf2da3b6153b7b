// The "Moderation Journal" window and the trigger tester under the faces
// desktops use, each set as the application font: at the size they open
// with, no control is squeezed below the size it needs and no caption is
// cut off, with their longest notes and verdicts showing.
#include "mainwindow/journalwindow.h"
#include "preferences/Toptions.h"
#include "preferences/triggertesterdialog.h"
#include "rules/journal.h"
#include "support/datarows.h"
#include "support/layoutfit.h"
#include "support/mainwindowfixture.h"

#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <QtTest>

using layoutfit::Face;
using namespace journal;

namespace {
QByteArray journalBytes()
{
    const auto at = [](int s) {
        return QDateTime(QDate(2026, 12, 8), QTime(21, 14, 3)).addSecs(s).toString(timeFormat);
    };
    const Entry entries[] = {
        {at(0), permasquelchAction, "GoldSeller", "Trigger Phrase/Trigger Phrase",
         "(?i)buy\\s+gold | www\\.[a-z]+\\.com", "BUY GOLD cheap at www.goldnow.com"},
        {at(40), squelchAction, "Shouter", "Uppercase Characters", "", "WHY IS NOBODY ANSWERING"},
        {at(41), ignoreAction, "SpamBot", "Product CHAT", "", ""},
        {at(95), permasquelchAction, "Repeater", "Flooding", "", "join my game"},
        {at(130), squelchAction, "Arthas", "Manual", "", ""},
        {at(131), unsquelchAction, "Arthas", "Undo", at(130), ""},
        {at(305), permasquelchAction, "l33t|{1ng", "L33t Username", "", ""},
    };
    QByteArray bytes;
    for (const Entry &e : entries)
        bytes += formatEntry(e);
    // A line that is no entry: the window says so above the table.
    return bytes + "not an entry\r\n";
}
} // namespace

class TestJournalLayout : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        m_fixture = std::make_unique<MainWindowFixture>(
            MainWindowFixture::defaultConf(), MainWindowFixture::defaultNow(),
            MainWindowFixture::Files{{QStringLiteral("brx.conf"), "CHATl33t|{1ng\r\n"}});
        Tmain &m = *m_fixture->main;
        m.options->triggers->addItems(
            {QStringLiteral("(?i)buy\\s+gold"), QStringLiteral("^free .*items")});
        for (const char *line : {"buy gold here, cheapest prices", "anyone up for a game?",
                                 "BUY GOLD NOW at www.goldnow.com"})
            m.processTalk(QStringLiteral("Peasant"), QString::fromLatin1(line));
    }
    void cleanupTestCase() { m_fixture.reset(); }

    void windowsFit_data()
    {
        columns<QString, int>("family", "points");
        for (const Face &face : layoutfit::desktopFaces())
            QTest::newRow(qPrintable(face.name())) << face.family << face.points;
    }
    void windowsFit()
    {
        QFETCH(QString, family);
        QFETCH(int, points);
        const QString problem = layoutfit::useApplicationFont({family, points});
        QVERIFY2(problem.isEmpty(), qPrintable(problem));
        Tmain &m = *m_fixture->main;

        // Made under the face: the window sizes its columns as it is made.
        auto journal = std::make_unique<TJournalWindow>(&m);
        QCOMPARE(QFontInfo(journal->font()).family(), family);
        journal->loadBytes(journalBytes());
        journal->show();
        QCoreApplication::processEvents();
        QVERIFY(journal->loadNote->isVisible());
        // The l33t-name entry: the longest status the window gives.
        const QModelIndex leet = journal->filter->index(journal->filter->rowCount() - 1, 0);
        journal->table->selectionModel()->setCurrentIndex(
            leet, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        QVERIFY(journal->status->text().contains(QLatin1String("do not consult the safelist")));
        QCoreApplication::processEvents();
        QStringList problems = layoutfit::squeezed(journal.get());
        QVERIFY2(problems.isEmpty(), qPrintable(problems.join(QStringLiteral("\n   "))));
        // Each column's caption shows whole (the last one takes what is left).
        QHeaderView *header = journal->table->horizontalHeader();
        for (int c = 0; c < header->count() - 1; ++c)
            QVERIFY2(header->sectionSize(c) >= header->sectionSizeHint(c),
                     qPrintable(journal->filter->headerData(c, Qt::Horizontal).toString()));

        // The tester as the trigger page opens it, then with its longest texts.
        TTriggerTesterDialog *tester =
            m.options->openTriggerTester(journal.get(), 0, QStringLiteral("(?i)buy\\s+gold"),
                                         QStringLiteral("where to buy gold?"));
        QCOMPARE(QFontInfo(tester->font()).family(), family);
        QCoreApplication::processEvents();
        QVERIFY(tester->result().valid);
        problems = layoutfit::squeezed(tester);
        QVERIFY2(problems.isEmpty(), qPrintable(problems.join(QStringLiteral("\n   "))));

        tester->pattern->setText(QStringLiteral("(*LIMIT_MATCH=3000)(a+)+$"));
        tester->sample->setText(QString(25, QLatin1Char('a')) + QLatin1Char('!'));
        tester->evaluateNow();
        QCoreApplication::processEvents();
        QVERIFY(tester->sampleMatch->text().contains(QLatin1String("gave up")));
        problems = layoutfit::squeezed(tester);
        QVERIFY2(problems.isEmpty(), qPrintable(problems.join(QStringLiteral("\n   "))));

        tester->pattern->setText(QStringLiteral("(unclosed [group"));
        tester->evaluateNow();
        QCoreApplication::processEvents();
        QVERIFY(tester->validity->text().startsWith(QLatin1String("Not a valid")));
        problems = layoutfit::squeezed(tester);
        QVERIFY2(problems.isEmpty(), qPrintable(problems.join(QStringLiteral("\n   "))));
        delete tester;
    }

private:
    // The application font as it was, back at the end.
    const QFont m_font = QApplication::font();
    std::unique_ptr<MainWindowFixture> m_fixture;

public:
    ~TestJournalLayout() override { QApplication::setFont(m_font); }
};

QTEST_MAIN(TestJournalLayout)
#include "test_journal_layout.moc"
