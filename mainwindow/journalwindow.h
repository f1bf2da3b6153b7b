#pragma once
// The "Moderation Journal" window: the journal's entries in file order, a
// filter on name and reason, counts per reason, and undo.
#include "rules/journalmodel.h"

#include <QMap>
#include <QWidget>

class QLabel;
class QLineEdit;
class QPushButton;
class QTableView;
class Tmain;

class TJournalWindow : public QWidget {
    Q_OBJECT
public:
    explicit TJournalWindow(Tmain *main);

    TJournalModel *model = nullptr;
    TJournalFilter *filter = nullptr;
    QTableView *table = nullptr;
    QLineEdit *filterEdit = nullptr;
    QLabel *counts = nullptr, *status = nullptr, *loadNote = nullptr;
    QPushButton *undoButton = nullptr, *undoSafeButton = nullptr, *testButton = nullptr;
    // Opens the history on the current entry's member.
    QPushButton *showLinesButton = nullptr;
    QAction *undoAction = nullptr; // Ctrl+Z

    // Fills the table from the file's bytes (the last 10,000 entries), or
    // says why the file could not be read.
    void loadBytes(const QByteArray &bytes);
    void loadFailed(const QString &why);
    // The entry at the current row (file order), or -1.
    int currentEntry() const;
    // Says something about the current entry (why it cannot be undone).
    void setStatus(const QString &text);
    // Enables the buttons for the current entry, as things are now.
    void refreshState();

    static constexpr int keptEntries = 10000;

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    void undoCurrent(bool safelist);
    void testCurrent();
    void recount();
    void countRows(int first, int last);
    void showCounts();

    Tmain *m_main;
    QMap<QString, int> m_counts;
    bool m_recounting = false;
    bool m_shown = false;
};
