#include "mainwindow/journalwindow.h"
#include "core/settingsstore.h"
#include "mainwindow/Tmain.h"
#include "mainwindow/historydesk.h"
#include "session/TSession.h"

#include "base/guard.h"
#include "connection/TChatInterface.h"
#include "core/textcodec.h"
#include "mainwindow/journal.h"
#include "preferences/Toptions.h"
#include "rules/autosquelchrules.h"
#include "rules/layout.h"
#include "widgets/focusframe.h"
#include "widgets/textitems.h"

#include <QAction>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QHideEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <QTableView>
#include <QVBoxLayout>

using namespace journal;

TJournalWindow::TJournalWindow(Tmain *main) : QWidget(main, Qt::Window), m_main(main)
{
    setWindowTitle(QStringLiteral("Moderation Journal"));
    model = new TJournalModel(this);
    filter = new TJournalFilter(this);
    filter->setSourceModel(model);

    table = new QTableView;
    table->setObjectName(QStringLiteral("journalTable"));
    showFocusFrame(table);
    table->setModel(filter);
    table->setSortingEnabled(false);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setSelectionMode(QAbstractItemView::SingleSelection);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setWordWrap(false);
    // Tab leaves the table for the next control instead of walking its cells.
    table->setTabKeyNavigation(false);
    table->setAccessibleName(QStringLiteral("Journal entries"));
    table->verticalHeader()->hide();
    // Fixed sizes: nothing is measured over ten thousand rows.
    table->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    table->verticalHeader()->setDefaultSectionSize(table->fontMetrics().height() + 4);
    table->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    table->horizontalHeader()->setStretchLastSection(true);
    const QFontMetrics fm = table->fontMetrics();
    const char *const samples[] = {"2026-12-08 21:14:03", "permasquelch (undone)", "MemberNameLong",
                                   "Uppercase Characters/Trigger", "(?i)buy gold | www.x"};
    for (int c = 0; c < 5; ++c)
        table->setColumnWidth(c, fm.horizontalAdvance(QLatin1String(samples[c])) + 16);

    filterEdit = new QLineEdit;
    filterEdit->setObjectName(QStringLiteral("journalFilter"));
    filterEdit->setPlaceholderText(QStringLiteral("Name or reason"));
    filterEdit->setClearButtonEnabled(true);
    counts = new QLabel;
    counts->setObjectName(QStringLiteral("journalCounts"));
    counts->setWordWrap(true);
    status = new QLabel;
    status->setObjectName(QStringLiteral("journalStatus"));
    status->setWordWrap(true);
    loadNote = new QLabel;
    loadNote->setObjectName(QStringLiteral("journalLoadNote"));
    loadNote->setWordWrap(true);
    loadNote->hide();

    undoButton = new QPushButton(QStringLiteral("Undo"));
    undoSafeButton = new QPushButton(QStringLiteral("Undo and safelist"));
    testButton = new QPushButton(QStringLiteral("Test..."));
    showLinesButton = new QPushButton(QStringLiteral("Show lines"));
    for (QPushButton *b : {undoButton, undoSafeButton, testButton, showLinesButton}) {
        // Tab reaches them; a click leaves the focus in the table.
        b->setFocusPolicy(Qt::TabFocus);
        b->setAutoDefault(false);
    }
    undoButton->setToolTip(QStringLiteral("Ctrl+Z"));

    auto *top = new QHBoxLayout;
    auto *filterLabel = new QLabel(QStringLiteral("Filter:"));
    filterLabel->setBuddy(filterEdit);
    top->addWidget(filterLabel);
    top->addWidget(filterEdit, 1);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(undoButton);
    buttons->addWidget(undoSafeButton);
    buttons->addWidget(testButton);
    buttons->addWidget(showLinesButton);
    buttons->addStretch();
    auto *v = new QVBoxLayout(this);
    v->addLayout(top);
    v->addWidget(loadNote);
    v->addWidget(table, 1);
    v->addWidget(counts);
    v->addWidget(status);
    v->addLayout(buttons);
    resize(startGeometry(QSize(900, 420), screen()->availableGeometry()).size());

    undoAction = new QAction(QStringLiteral("Undo"), this);
    undoAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z));
    undoAction->setShortcutContext(Qt::WindowShortcut);
    addAction(undoAction);
    connect(undoAction, &QAction::triggered, this, [this] { undoCurrent(false); });
    // Escape closes the window, as it closes a dialog.
    auto *closeAction = new QAction(QStringLiteral("Close"), this);
    closeAction->setShortcut(QKeySequence(Qt::Key_Escape));
    closeAction->setShortcutContext(Qt::WindowShortcut);
    addAction(closeAction);
    connect(closeAction, &QAction::triggered, this, &QWidget::close);
    connect(undoButton, &QPushButton::clicked, this, [this] { undoCurrent(false); });
    connect(undoSafeButton, &QPushButton::clicked, this, [this] { undoCurrent(true); });
    connect(testButton, &QPushButton::clicked, this,
            [this] { guarded([this] { testCurrent(); }); });
    connect(showLinesButton, &QPushButton::clicked, this, [this] {
        guarded([this] {
            const int row = currentEntry();
            if (row >= 0)
                m_main->historyDesk->openHistoryFor(TText::decode(model->entry(row).name));
        });
    });
    connect(filterEdit, &QLineEdit::textChanged, this, [this](const QString &text) {
        m_recounting = true;
        filter->setText(text);
        m_recounting = false;
        recount();
        refreshState();
    });
    connect(filter, &QAbstractItemModel::rowsInserted, this,
            [this](const QModelIndex &, int first, int last) {
                if (!m_recounting) {
                    countRows(first, last);
                    showCounts();
                }
            });
    connect(filter, &QAbstractItemModel::modelReset, this, [this] { recount(); });
    // An empty journal says so from the start.
    recount();
    // An undo, or a new entry that takes a name off the list, changes what
    // the current row allows.
    connect(model, &QAbstractItemModel::dataChanged, this, [this] { refreshState(); });
    connect(model, &QAbstractItemModel::rowsInserted, this, [this] { refreshState(); });
    connect(table->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this] { refreshState(); });
    refreshState();
}

void TJournalWindow::loadBytes(const QByteArray &bytes)
{
    const Loaded loaded = parseJournal(bytes, keptEntries);
    model->load(loaded.entries);
    QStringList notes;
    if (loaded.dropped > 0)
        notes << QStringLiteral("journal.log holds %1 entries; the last %2 are shown.")
                     .arg(loaded.dropped + keptEntries)
                     .arg(keptEntries);
    if (loaded.malformed > 0)
        notes << QStringLiteral("%1 line(s) of journal.log are not journal entries and are not "
                                "shown (the first is line %2).")
                     .arg(loaded.malformed)
                     .arg(loaded.firstMalformed);
    loadNote->setText(notes.join(QLatin1Char(' ')));
    loadNote->setVisible(!notes.isEmpty());
}

void TJournalWindow::loadFailed(const QString &why)
{
    loadNote->setText(QStringLiteral("journal.log could not be read (%1); only the entries of "
                                     "this session are shown.")
                          .arg(why));
    loadNote->show();
}

int TJournalWindow::currentEntry() const
{
    const QModelIndex current = table->currentIndex();
    if (!current.isValid())
        return -1;
    return filter->mapToSource(current).row();
}

void TJournalWindow::setStatus(const QString &text) { status->setText(text); }

void TJournalWindow::refreshState()
{
    const int row = currentEntry();
    if (row < 0) {
        for (QPushButton *b : {undoButton, undoSafeButton, testButton, showLinesButton})
            b->setEnabled(false);
        undoAction->setEnabled(false);
        setStatus(QString());
        return;
    }
    const Entry &e = model->entry(row);
    showLinesButton->setEnabled(!e.name.isEmpty());
    const Undo state = undoState(e, model->isUndone(row), m_main->checkSquelch(e.name),
                                 m_main->session->connected());
    const bool can = state == Undo::Possible;
    undoButton->setEnabled(can);
    undoAction->setEnabled(can);
    const bool lineVerdict = isLineVerdict(e.reason);
    undoSafeButton->setEnabled(can && lineVerdict);
    testButton->setEnabled(e.reason.contains(autosquelchrules::triggerWord) && !e.detail.isEmpty());
    QString text = undoStateText(state);
    if (state != Undo::NotUndoable && !lineVerdict &&
        (e.reason == autosquelchrules::leetNameWord || e.reason.startsWith(productReason(""))))
        text += (text.isEmpty() ? QString() : QStringLiteral(" ")) +
                QStringLiteral("The l33t-name and product rules do not consult the safelist, "
                               "so safelisting would not keep this member from being squelched "
                               "again.");
    setStatus(text);
}

void TJournalWindow::undoCurrent(bool safelist)
{
    const int row = currentEntry();
    if (row < 0)
        return;
    guarded([&] { m_main->journalDesk->undoJournalEntry(row, safelist); });
    refreshState();
}

void TJournalWindow::testCurrent()
{
    const int row = currentEntry();
    if (row < 0)
        return;
    const Entry &e = model->entry(row);
    // The first phrase that matched; the list holds it as these bytes.
    const QString patternBytes = e.detail.section(patternSeparator, 0, 0);
    const int at = int(m_main->store->list(TSetting::triggers).indexOf(patternBytes));
    m_main->options->openTriggerTester(this, at, TText::decode(patternBytes), e.text);
}

void TJournalWindow::recount()
{
    m_counts.clear();
    if (filter->rowCount() > 0)
        countRows(0, filter->rowCount() - 1);
    showCounts();
}

void TJournalWindow::countRows(int first, int last)
{
    for (int r = first; r <= last; ++r)
        ++m_counts[model->entry(filter->mapToSource(filter->index(r, 0)).row()).reason];
}

void TJournalWindow::showCounts()
{
    QStringList perReason;
    for (auto it = m_counts.constBegin(); it != m_counts.constEnd(); ++it)
        perReason << QStringLiteral("%1: %2").arg(TText::decode(it.key())).arg(it.value());
    counts->setText(perReason.isEmpty() ? QStringLiteral("No entries shown.")
                                        : perReason.join(QStringLiteral("    ")));
}

void TJournalWindow::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (m_shown)
        return;
    m_shown = true;
    // Opened: the newest row is current and selected, and the table has the keys.
    const int last = filter->rowCount() - 1;
    if (last >= 0) {
        const QModelIndex index = filter->index(last, 0);
        table->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect |
                                                            QItemSelectionModel::Rows);
        table->scrollTo(index);
    }
    table->setFocus();
    refreshState();
}

void TJournalWindow::hideEvent(QHideEvent *event)
{
    QWidget::hideEvent(event);
    if (!event->spontaneous())
        m_shown = false;
}
