#pragma once
// A shown, active main window connected to a loopback server, with what the
// journal tests read: journal.log, the journal window and its rows.
#include "autosquelch/autosquelchfixture.h"
#include "base/files.h"
#include "mainwindow/journal.h"
#include "mainwindow/journalwindow.h"
#include "rules/journal.h"
#include "support/waits.h"
#include "widgets/textitems.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTreeWidget>

class JournalWindowFixture : public AutosquelchWindow {
public:
    JournalWindowFixture()
    {
        Tmain &m = *main;
        m.options->squelchPrompt->setChecked(false);
        m.options->autoAction->selectIndex(0);
        m.options->squelchFlooders->setChecked(false);
        m.options->squelchAscii->setChecked(false);
        m.options->squelchUc->setChecked(true);
        m.options->ucPercentage->setValue(60);
        m.options->squelchLeet->setChecked(true);
        m.options->leetPercentage->setValue(50);
        m.options->minLineLength->setValue(3);
        // The quota's pacing is not what these tests are about.
        m.options->quotaUnits->setValue(m.options->quotaUnits->maximum());
        m.show();
        QVERIFY(waitActive(&m));
    }

    // The time field of the clock's present moment.
    QString stamp() const { return now().toString(journal::timeFormat); }
    // Moves the clock on, so that each entry has a time of its own.
    QString tick(int seconds = 1)
    {
        setNow(now().addSecs(seconds));
        return stamp();
    }
    static QByteArray line(const QString &time, const QString &action, const QString &name,
                           const QString &reason, const QString &detail = QString(),
                           const QString &text = QString())
    {
        return journal::formatEntry({time, action, name, reason, detail, text});
    }
    // After the pass of the event loop in which the entries were made.
    static QByteArray journalBytes()
    {
        QCoreApplication::processEvents();
        return readFile(QStringLiteral("journal.log"));
    }

    void selectUser(const QString &name)
    {
        main->flushUsers();
        for (int i = 0; i < main->users->topLevelItemCount(); ++i)
            if (TTextItem::bytesOf(main->users->topLevelItem(i)) == name) {
                main->users->setCurrentItem(main->users->topLevelItem(i));
                return;
            }
        QFAIL(qPrintable(QStringLiteral("no row for ") + name));
    }
    void typeLine(const QString &text)
    {
        main->text->setFocus();
        QTest::keyClicks(main->text, text);
        QTest::keyClick(main->text, Qt::Key_Return);
    }

    // Opens the journal with Ctrl+J from the input line and waits for it.
    TJournalWindow *openJournal()
    {
        if (!main->isActiveWindow()) {
            main->activateWindow();
            if (!waitUntil([this] { return QApplication::activeWindow() == main.get(); }))
                return nullptr;
        }
        main->text->setFocus();
        QTest::keyClick(main->text, Qt::Key_J, Qt::ControlModifier);
        TJournalWindow *w = main->journalDesk->journalWindow();
        if (!w || !waitUntil([w] { return QApplication::activeWindow() == w; }))
            return nullptr;
        return w;
    }
    // Makes the entry at file row `row` the current one.
    static void selectEntry(TJournalWindow *w, int row)
    {
        const QModelIndex index = w->filter->mapFromSource(w->model->index(row, 0));
        w->table->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect |
                                                               QItemSelectionModel::Rows);
    }
    static int lastRow(TJournalWindow *w) { return w->model->rowCount() - 1; }
};
