#pragma once
// The "History" window: a search over every line kept, with filters, the
// lines around a result, copying, and forgetting a member or everything.
#include <QWidget>

class QCheckBox;
class QComboBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTableView;
class THistoryModel;
class THistoryStore;

class THistoryWindow : public QWidget {
    Q_OBJECT
public:
    THistoryWindow(THistoryStore *store, QWidget *parent);

    // Shows the window searching for a member's lines (all lines: empty).
    void openFor(const QString &member);
    // Runs the search the fields describe.
    void runSearch();
    // Shows the lines around the result at row.
    void showContext(int row);
    // The selected results as text, one line each, to the clipboard.
    void copySelected();
    // Both ask first, through the dialogs.
    void forgetMember();
    void clearHistory();
    // Asks for chat logs (starting at defaultLog) and reads them into the
    // history.
    void importLog();
    QString defaultLog;

    THistoryModel *model = nullptr;
    QLineEdit *searchEdit = nullptr, *memberEdit = nullptr, *channelEdit = nullptr;
    QLabel *errorLabel = nullptr, *statusLabel = nullptr;
    QComboBox *kindBox = nullptr;
    QCheckBox *datesBox = nullptr, *hiddenBox = nullptr;
    QDateEdit *fromEdit = nullptr, *toEdit = nullptr;
    QTableView *table = nullptr;
    QPlainTextEdit *contextView = nullptr;
    QPushButton *copyButton = nullptr, *forgetButton = nullptr, *clearButton = nullptr,
                *importButton = nullptr;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // The member the buttons act on: the current result's, else the filter's.
    QString currentMember() const;
    THistoryStore *m_store;
};
