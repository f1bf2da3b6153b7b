#include "mainwindow/historywindow.h"

#include "base/clock.h"
#include "base/guard.h"
#include "core/textcodec.h"
#include "history/historymodel.h"
#include "history/historystore.h"
#include "rules/layout.h"
#include "widgets/dialogs.h"
#include "widgets/focusframe.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDateEdit>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QTextBlock>
#include <QTextLayout>
#include <QVBoxLayout>

#include <algorithm>

namespace {
// Lines shown before and after a result.
constexpr int contextLines = 10;

// How far a result's text is moved left so that its first match shows in
// a column of this width, where a side that is cut shows an ellipsis of
// this width: not at all while the match ends in view; else the match
// starts a quarter of the width in, unless that leaves room past the
// text's end or the match's end out of view. Its start is never moved out.
qreal matchShift(qreal width, qreal ellipsis, qreal matchStart, qreal matchEnd, qreal textEnd)
{
    if (matchEnd <= width - (textEnd > width ? ellipsis : 0))
        return 0;
    qreal shift = std::min(matchStart - width / 4, textEnd - (width - ellipsis));
    shift = std::max(shift, matchEnd - (width - 2 * ellipsis));
    return std::clamp<qreal>(shift, 0, matchStart);
}

// The text column with the search's words marked: bold on a light yellow,
// so the mark is not a colour alone and reads on a selected row too.
class TMatchDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override
    {
        const QList<int> spans = index.data(THistoryModel::MatchesRole).value<QList<int>>();
        if (spans.isEmpty()) {
            QStyledItemDelegate::paint(painter, option, index);
            return;
        }
        QStyleOptionViewItem opt(option);
        initStyleOption(&opt, index);
        const QString text = opt.text;
        opt.text.clear();
        const QWidget *widget = opt.widget;
        QStyle *style = widget ? widget->style() : QApplication::style();
        style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, widget);
        const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, widget) + 1;
        const QRect area = style->subElementRect(QStyle::SE_ItemViewItemText, &opt, widget)
                               .adjusted(margin, 0, -margin, 0);

        QTextCharFormat mark;
        mark.setFontWeight(QFont::Bold);
        mark.setBackground(QColor(255, 224, 102));
        mark.setForeground(Qt::black);
        QList<QTextLayout::FormatRange> formats;
        for (int i = 0; i + 1 < spans.size(); i += 2)
            formats.append({spans.at(i), spans.at(i + 1), mark});
        QTextLayout layout(text, opt.font);
        layout.setFormats(formats);
        layout.beginLayout();
        QTextLine line = layout.createLine();
        if (line.isValid())
            line.setNumColumns(int(text.size()));
        layout.endLayout();
        if (!line.isValid())
            return;

        // A match beyond the column's width is brought into it, and text
        // cut at either side ends in an ellipsis, as the other columns' does.
        const QString ellipsis(QChar(0x2026));
        const qreal ellipsisWidth = QFontMetricsF(opt.font).horizontalAdvance(ellipsis);
        const qreal natural = line.naturalTextWidth();
        // The match's edges as drawn (right to left text has its start on
        // the right).
        const qreal edgeA = line.cursorToX(spans.at(0));
        const qreal edgeB = line.cursorToX(spans.at(0) + spans.at(1));
        const qreal matchLeft = std::min(edgeA, edgeB), matchRight = std::max(edgeA, edgeB);
        qreal shift = matchShift(area.width(), ellipsisWidth, matchLeft, matchRight, natural);
        if (shift > 0) {
            // From the start of a word before the match where one is near,
            // as long as the match stays in view.
            int from = line.xToCursor(shift, QTextLine::CursorOnCharacter);
            const int matchAt = std::min(spans.at(0), int(text.size()));
            for (int at = from; at > 0 && at <= matchAt; ++at) {
                if (text.at(at - 1).isSpace()) {
                    from = at;
                    break;
                }
            }
            const qreal wordStart = line.cursorToX(from);
            if (wordStart <= matchLeft &&
                matchRight - wordStart <= area.width() - 2 * ellipsisWidth)
                shift = wordStart;
        }
        const qreal leftInset = shift > 0 ? ellipsisWidth : 0;
        const bool cutRight = natural - shift + leftInset > area.width();
        const qreal rightInset = cutRight ? ellipsisWidth : 0;
        const qreal top = area.top() + (area.height() - line.height()) / 2;

        painter->save();
        const bool selected = opt.state & QStyle::State_Selected;
        painter->setPen(opt.palette.color(selected ? QPalette::HighlightedText : QPalette::Text));
        painter->setFont(opt.font);
        painter->setClipRect(area);
        const qreal baseline = top + line.ascent();
        if (shift > 0)
            painter->drawText(QPointF(area.left(), baseline), ellipsis);
        if (cutRight)
            painter->drawText(QPointF(area.left() + area.width() - ellipsisWidth, baseline),
                              ellipsis);
        painter->setClipRect(QRectF(area.left() + leftInset, area.top(),
                                    area.width() - leftInset - rightInset, area.height()));
        layout.draw(painter, QPointF(area.left() + leftInset - shift, top));
        painter->restore();
    }
};

template <class F> auto guard(F f)
{
    return [f](auto &&...) { guarded(f); };
}
} // namespace

THistoryWindow::THistoryWindow(THistoryStore *store, QWidget *parent)
    : QWidget(parent, Qt::Window), m_store(store)
{
    setWindowTitle(QStringLiteral("History"));
    model = new THistoryModel(store, this);

    searchEdit = new QLineEdit;
    searchEdit->setObjectName(QStringLiteral("historySearch"));
    searchEdit->setPlaceholderText(QStringLiteral("Words, \"a phrase\", prefix*"));
    searchEdit->setClearButtonEnabled(true);
    errorLabel = new QLabel;
    errorLabel->setObjectName(QStringLiteral("historyError"));
    errorLabel->setTextFormat(Qt::PlainText);
    errorLabel->setWordWrap(true);
    errorLabel->hide();
    memberEdit = new QLineEdit;
    memberEdit->setObjectName(QStringLiteral("historyMember"));
    memberEdit->setPlaceholderText(QStringLiteral("Any member"));
    channelEdit = new QLineEdit;
    channelEdit->setObjectName(QStringLiteral("historyChannel"));
    channelEdit->setPlaceholderText(QStringLiteral("Any channel"));
    kindBox = new QComboBox;
    kindBox->setObjectName(QStringLiteral("historyKind"));
    kindBox->addItem(QStringLiteral("Any kind"), -1);
    for (int k = 0; k < THistory::kindCount; ++k)
        kindBox->addItem(THistory::kindName(k), k);
    datesBox = new QCheckBox(QStringLiteral("From"));
    datesBox->setObjectName(QStringLiteral("historyDates"));
    const QDate today = currentDateTime().date();
    fromEdit = new QDateEdit(today.addDays(-7));
    toEdit = new QDateEdit(today);
    for (QDateEdit *d : {fromEdit, toEdit}) {
        d->setCalendarPopup(true);
        d->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
    }
    hiddenBox = new QCheckBox(QStringLiteral("Include hidden lines"));
    hiddenBox->setObjectName(QStringLiteral("historyHidden"));

    table = new QTableView;
    table->setObjectName(QStringLiteral("historyTable"));
    table->setModel(model);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setSelectionMode(QAbstractItemView::ExtendedSelection);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setWordWrap(false);
    table->verticalHeader()->hide();
    // Fixed sizes: nothing is measured as pages come in.
    table->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    table->verticalHeader()->setDefaultSectionSize(table->fontMetrics().height() + 4);
    table->horizontalHeader()->setStretchLastSection(true);
    table->setItemDelegateForColumn(THistoryModel::TextColumn, new TMatchDelegate(table));
    const QFontMetrics fm = table->fontMetrics();
    const char *const samples[] = {"~2026-12-08 21:14:03", "Public Chat 1", "whisper received",
                                   "MemberNameLong"};
    for (int c = 0; c < 4; ++c)
        table->setColumnWidth(c, fm.horizontalAdvance(QLatin1String(samples[c])) + 16);
    contextView = new QPlainTextEdit;
    contextView->setObjectName(QStringLiteral("historyContext"));
    contextView->setReadOnly(true);
    contextView->setLineWrapMode(QPlainTextEdit::NoWrap);
    contextView->setMaximumHeight(fm.height() * 8);
    showFocusFrame(table);
    showFocusFrame(contextView);
    statusLabel = new QLabel;
    statusLabel->setObjectName(QStringLiteral("historyStatus"));
    statusLabel->setTextFormat(Qt::PlainText);

    copyButton = new QPushButton(QStringLiteral("Copy"));
    forgetButton = new QPushButton(QStringLiteral("Forget this member"));
    clearButton = new QPushButton(QStringLiteral("Clear history"));
    importButton = new QPushButton(QStringLiteral("Import chat logs..."));
    for (QPushButton *b : {copyButton, forgetButton, clearButton, importButton})
        b->setAutoDefault(false);

    auto *searchRow = new QHBoxLayout;
    searchRow->addWidget(new QLabel(QStringLiteral("Search:")));
    searchRow->addWidget(searchEdit, 1);
    auto *filters = new QHBoxLayout;
    filters->addWidget(memberEdit);
    filters->addWidget(channelEdit);
    filters->addWidget(kindBox);
    filters->addWidget(datesBox);
    filters->addWidget(fromEdit);
    filters->addWidget(new QLabel(QStringLiteral("to")));
    filters->addWidget(toEdit);
    filters->addWidget(hiddenBox);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(statusLabel, 1);
    buttons->addWidget(importButton);
    buttons->addWidget(copyButton);
    buttons->addWidget(forgetButton);
    buttons->addWidget(clearButton);
    auto *v = new QVBoxLayout(this);
    v->addLayout(searchRow);
    v->addWidget(errorLabel);
    v->addLayout(filters);
    v->addWidget(table, 1);
    v->addWidget(contextView);
    v->addLayout(buttons);
    resize(startGeometry(QSize(760, 480), screen()->availableGeometry()).size());

    for (QLineEdit *e : {searchEdit, memberEdit, channelEdit})
        connect(e, &QLineEdit::returnPressed, this, guard([this] { runSearch(); }));
    connect(kindBox, qOverload<int>(&QComboBox::activated), this, guard([this] { runSearch(); }));
    for (QCheckBox *b : {datesBox, hiddenBox})
        connect(b, &QCheckBox::toggled, this, guard([this] { runSearch(); }));
    for (QDateEdit *d : {fromEdit, toEdit})
        connect(d, &QDateEdit::editingFinished, this, guard([this] { runSearch(); }));
    // Enter or a double click on a result.
    connect(table, &QTableView::activated, this,
            [this](const QModelIndex &index) { guarded([&] { showContext(index.row()); }); });
    connect(copyButton, &QPushButton::clicked, this, guard([this] { copySelected(); }));
    connect(forgetButton, &QPushButton::clicked, this, guard([this] { forgetMember(); }));
    connect(clearButton, &QPushButton::clicked, this, guard([this] { clearHistory(); }));
    connect(importButton, &QPushButton::clicked, this, guard([this] { importLog(); }));
    // The view's own Ctrl+C would copy one cell.
    table->installEventFilter(this);
    auto *close = new QAction(this);
    close->setShortcut(QKeySequence(Qt::Key_Escape));
    close->setShortcutContext(Qt::WindowShortcut);
    addAction(close);
    connect(close, &QAction::triggered, this, &QWidget::close);
}

bool THistoryWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == table && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent *>(event)->matches(QKeySequence::Copy)) {
        guarded([this] { copySelected(); });
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void THistoryWindow::openFor(const QString &member)
{
    memberEdit->setText(member);
    runSearch();
    show();
    raise();
    activateWindow();
    searchEdit->setFocus();
}

void THistoryWindow::runSearch()
{
    THistory::Query q;
    q.match = searchEdit->text().trimmed();
    q.member = memberEdit->text().trimmed();
    q.channel = channelEdit->text().trimmed();
    q.kind = kindBox->currentData().toInt();
    q.includeHidden = hiddenBox->isChecked();
    if (datesBox->isChecked()) {
        q.fromMs = fromEdit->date().startOfDay().toMSecsSinceEpoch();
        q.toMs = toEdit->date().endOfDay().toMSecsSinceEpoch();
    }
    model->setQuery(q);
    errorLabel->setText(model->error());
    errorLabel->setVisible(!model->error().isEmpty());
    contextView->clear();
    statusLabel->setText(model->rowCount() == 0 && model->error().isEmpty()
                             ? QStringLiteral("No lines found.")
                             : QString());
    if (model->rowCount() > 0)
        table->setCurrentIndex(model->index(0, 0));
}

void THistoryWindow::showContext(int row)
{
    if (row < 0 || row >= model->rowCount())
        return;
    const THistory::Line &hit = model->line(row);
    const QVector<THistory::Line> around =
        m_store->context(hit.id, contextLines, contextLines, hiddenBox->isChecked());
    QStringList text;
    int at = 0;
    for (int i = 0; i < around.size(); ++i) {
        if (around.at(i).id == hit.id)
            at = i;
        // The result itself stands out.
        text << (around.at(i).id == hit.id ? QStringLiteral("> ") : QStringLiteral("  ")) +
                    THistoryModel::lineText(around.at(i));
    }
    contextView->setPlainText(text.join(QLatin1Char('\n')));
    QTextCursor cursor(contextView->document()->findBlockByNumber(at));
    contextView->setTextCursor(cursor);
    contextView->centerCursor();
}

void THistoryWindow::copySelected()
{
    QList<int> rows;
    for (const QModelIndex &index : table->selectionModel()->selectedRows())
        rows << index.row();
    if (rows.isEmpty() && table->currentIndex().isValid())
        rows << table->currentIndex().row();
    std::sort(rows.begin(), rows.end());
    QStringList lines;
    for (int row : rows)
        lines << THistoryModel::lineText(model->line(row));
    if (!lines.isEmpty())
        QApplication::clipboard()->setText(lines.join(QLatin1Char('\n')));
}

QString THistoryWindow::currentMember() const
{
    const QModelIndex current = table->currentIndex();
    if (current.isValid() && !model->line(current.row()).sender.isEmpty())
        return model->line(current.row()).sender;
    return memberEdit->text().trimmed();
}

void THistoryWindow::forgetMember()
{
    const QString member = currentMember();
    if (member.isEmpty()) {
        statusLabel->setText(QStringLiteral("Choose a line of the member first."));
        return;
    }
    if (!dialogs().confirm(
            this, QStringLiteral("Forget this member"),
            QStringLiteral("Delete every line from and to %1 from the history?").arg(member),
            TDialogs::Buttons::YesNo))
        return;
    const qint64 n = m_store->forgetMember(member);
    runSearch();
    statusLabel->setText(QStringLiteral("%1 lines of %2 were deleted.").arg(n).arg(member));
}

void THistoryWindow::clearHistory()
{
    if (!dialogs().confirm(this, QStringLiteral("Clear history"),
                           QStringLiteral("Delete every line of the history?"),
                           TDialogs::Buttons::YesNo))
        return;
    const bool cleared = m_store->clear();
    runSearch();
    statusLabel->setText(cleared ? QStringLiteral("The history is empty.")
                                 : QStringLiteral("The history could not be cleared now."));
}

void THistoryWindow::importLog()
{
    const QStringList names =
        dialogs().openFileNames(this, QStringLiteral("Import chat logs"), defaultLog,
                                QStringLiteral("Chat logs (*.log *.txt);;All files (*)"));
    if (names.isEmpty())
        return;
    QStringList said;
    int added = 0, unreadable = 0, read = 0;
    for (const QString &name : names) {
        const THistoryStore::ImportResult r = m_store->importChatLog(
            name, [](const QByteArray &bytes) { return TText::decode(bytes); });
        if (!r.error.isEmpty()) {
            said << QStringLiteral("%1 could not be imported: %2.")
                        .arg(QFileInfo(name).fileName(), r.error);
            continue;
        }
        added += r.added;
        unreadable += r.unreadable;
        ++read;
    }
    runSearch();
    if (read > 0)
        said.prepend(QStringLiteral("%1 new lines from %2; %3 lines could not be read.")
                         .arg(added)
                         .arg(names.size() == 1 ? QFileInfo(names.first()).fileName()
                                                : QStringLiteral("%1 files").arg(read))
                         .arg(unreadable));
    statusLabel->setText(said.join(QLatin1Char(' ')));
}
