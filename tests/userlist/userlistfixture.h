#pragma once
// The main window fixture with readers for the user list rows and the
// squelch list.
#include "base/clock.h"
#include "base/errors.h"
#include "mainwindow/Tmain.h"
#include "preferences/Toptions.h"
#include "rules/usericons.h"
#include "session/TSession.h"
#include "support/connectedwindow.h"
#include "support/loopbackserver.h"
#include "support/mainwindowfixture.h"
#include "widgets/userlistview.h"

#include <QDir>
#include <QFile>
#include <QListWidget>
#include <QLocale>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QtTest>
#include <memory>

class UserListFixture : public MainWindowFixture {
public:
    explicit UserListFixture(const QByteArray &brxConf = QByteArray(), bool writeBrx = false)
        : MainWindowFixture(defaultConf(), defaultNow(),
                            writeBrx ? Files{{QStringLiteral("brx.conf"), brxConf}} : Files{})
    {
    }

    // The rows of `users` once waiting rebuilds are done: caption, icon, state.
    struct Row {
        QString name;
        int icon;
        int state;
        bool operator==(const Row &o) const
        {
            return name == o.name && icon == o.icon && state == o.state;
        }
    };
    QList<Row> rows()
    {
        main->flushUsers();
        QList<Row> out;
        for (int i = 0; i < main->users->topLevelItemCount(); ++i) {
            const QTreeWidgetItem *r = main->users->topLevelItem(i);
            out.append({r->text(0), r->data(0, TUserRow::iconRole).toInt(),
                        r->data(0, TUserRow::stateRole).toInt()});
        }
        return out;
    }
    QStringList names()
    {
        QStringList out;
        for (const Row &r : rows())
            out << r.name;
        return out;
    }
    Row row(const QString &name)
    {
        for (const Row &r : rows())
            if (r.name == name)
                return r;
        return {QString(), -100, -100};
    }
    // The squelch list as caption and stored icon.
    QList<std::pair<QString, int>> brxItems() const
    {
        QList<std::pair<QString, int>> out;
        for (int i = 0; i < main->brx->count(); ++i)
            out.append(
                {main->brx->item(i)->text(), main->brx->item(i)->data(TUserRow::iconRole).toInt()});
        return out;
    }
    void selectRow(int index)
    {
        main->flushUsers();
        if (index < 0)
            main->users->clearSelection();
        else
            main->users->setCurrentItem(main->users->topLevelItem(index));
    }
    int selectedRow()
    {
        main->flushUsers();
        const auto sel = main->users->selectedItems();
        return sel.isEmpty() ? -1 : main->users->indexOfTopLevelItem(sel.first());
    }
};

inline char *toString(const UserListFixture::Row &r)
{
    return QTest::toString(
        QStringLiteral("%1 icon %2 state %3").arg(r.name).arg(r.icon).arg(r.state));
}
