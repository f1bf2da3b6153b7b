// The Advanced tab and its file, tressel.ini: settings that tressel.conf
// has no place for. tressel.conf keeps its layout; everything added since
// lives here.
#include "preferences/Toptions.h"

#include "base/errors.h"

#include <QFile>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QSettings>
#include <QVBoxLayout>

namespace {
const QString iniName = QStringLiteral("tressel.ini");

QStringList encodings()
{
    return {QStringLiteral("UTF-8"), QStringLiteral("Windows-1252")};
}

QFormLayout *form()
{
    auto *f = new QFormLayout;
    f->setFieldGrowthPolicy(QFormLayout::FieldsStayAtSizeHint);
    f->setSpacing(3);
    f->setContentsMargins(4, 2, 4, 2);
    return f;
}

QGroupBox *groupOf(const QString &caption, QLayout *layout)
{
    auto *g = new QGroupBox(caption);
    g->setLayout(layout);
    return g;
}

TSpinBox *spin(int minimum, int maximum, int start, const QString &suffix, const QString &hint)
{
    auto *s = new TSpinBox(minimum, maximum, start);
    s->setSuffix(suffix);
    s->setProperty("hint", hint);
    return s;
}
} // namespace

void Toptions::buildAdvanced()
{
    quotaUnits = spin(2, 100, 5, QString(),
                      QStringLiteral("The server refuses a line that brings this many units "
                                     "within the window."));
    quotaWindow = spin(1, 60, 5, QStringLiteral(" s"),
                       QStringLiteral("How long the server remembers a line's units."));
    quotaBytesPerUnit = spin(1, 256, 40, QStringLiteral(" bytes"),
                             QStringLiteral("Every started run of this many bytes costs a unit."));
    quotaMargin = spin(0, 5000, 500, QStringLiteral(" ms"),
                       QStringLiteral("Extra wait for the network's delay."));
    outgoingEncoding = new TPickList(encodings(), EncodeUtf8);
    outgoingEncoding->setProperty(
        "hint", QStringLiteral("How what you type is sent. Old servers may want Windows-1252."));

    auto *quota = form();
    quota->addRow(new QLabel(QStringLiteral("Units per window:")), quotaUnits);
    quota->addRow(new QLabel(QStringLiteral("Window:")), quotaWindow);
    quota->addRow(new QLabel(QStringLiteral("Bytes per unit:")), quotaBytesPerUnit);
    quota->addRow(new QLabel(QStringLiteral("Safety margin:")), quotaMargin);
    auto *text = form();
    text->addRow(new QLabel(QStringLiteral("Send typed text as:")), outgoingEncoding);

    auto *page = new QWidget;
    auto *v = new QVBoxLayout(page);
    v->setSpacing(4);
    v->setContentsMargins(4, 2, 4, 2);
    // Two columns, so that the settings later ones add still fit the page.
    auto *columns = new QHBoxLayout;
    columns->setSpacing(4);
    auto *left = new QVBoxLayout;
    left->addWidget(groupOf(QStringLiteral("Server Flood Quota"), quota));
    left->addStretch();
    auto *right = new QVBoxLayout;
    right->addWidget(groupOf(QStringLiteral("Text"), text));
    right->addStretch();
    columns->addLayout(left, 1);
    columns->addLayout(right, 1);
    v->addLayout(columns);
    v->addStretch();
    tabs->addTab(page, QStringLiteral("Advanced"));
}

void Toptions::readSettingsFile()
{
    if (!QFile::exists(iniName))
        return; // the start values stand until OK writes the file
    QSettings ini(iniName, QSettings::IniFormat);
    if (ini.status() != QSettings::NoError)
        throw TError(QStringLiteral("%1 could not be read").arg(iniName));

    // A value that is not what its setting can hold is reported and the
    // setting keeps what it had; the rest of the file is still read.
    QStringList problems;
    auto number = [&](const char *key, TSpinBox *box) {
        const QString k = QString::fromLatin1(key);
        if (!ini.contains(k))
            return;
        const QString raw = ini.value(k).toString();
        int n = 0;
        if (!tryStrToInt(raw, n) || n < box->minimum() || n > box->maximum()) {
            problems << QStringLiteral("%1 = '%2' (%3 to %4)")
                            .arg(k, raw)
                            .arg(box->minimum())
                            .arg(box->maximum());
            return;
        }
        box->setValue(n);
    };
    number("quota/units", quotaUnits);
    number("quota/window", quotaWindow);
    number("quota/bytesPerUnit", quotaBytesPerUnit);
    number("quota/margin", quotaMargin);
    if (ini.contains(QStringLiteral("text/outgoingEncoding"))) {
        const QString raw = ini.value(QStringLiteral("text/outgoingEncoding")).toString();
        const int index = encodings().indexOf(raw);
        if (index < 0)
            problems << QStringLiteral("text/outgoingEncoding = '%1' (%2)")
                            .arg(raw, encodings().join(QStringLiteral(" or ")));
        else
            outgoingEncoding->selectIndex(index);
    }
    if (!problems.isEmpty() && OnNotice)
        OnNotice(QStringLiteral("%1: these values were not used: %2")
                     .arg(iniName, problems.join(QStringLiteral("; "))));
}

void Toptions::writeSettingsFile()
{
    QSettings ini(iniName, QSettings::IniFormat);
    ini.setValue(QStringLiteral("quota/units"), quotaUnits->value());
    ini.setValue(QStringLiteral("quota/window"), quotaWindow->value());
    ini.setValue(QStringLiteral("quota/bytesPerUnit"), quotaBytesPerUnit->value());
    ini.setValue(QStringLiteral("quota/margin"), quotaMargin->value());
    ini.setValue(QStringLiteral("text/outgoingEncoding"),
                 encodings().value(qMax(0, outgoingEncoding->currentIndex())));
    ini.sync();
    if (ini.status() != QSettings::NoError)
        throw TError(QStringLiteral("%1 could not be written").arg(iniName));
    // Owner only, as the other files of the working directory.
    QFile::setPermissions(iniName, QFile::ReadOwner | QFile::WriteOwner);
}
