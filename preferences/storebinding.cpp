// The dialog's controls and the settings store: each change of a control
// is written into the store at once (so it is in force before OK, and
// Cancel undoes nothing), and a setting the store gets from elsewhere (the
// away command, the safelist menu) is shown by its control.
#include "preferences/Toptions.h"
#include "preferences/settingstable.h"

#include "core/settingsstore.h"
#include "widgets/textitems.h"

#include <QAbstractItemModel>
#include <QCheckBox>
#include <QListWidget>
#include <QRadioButton>

Toptions::ReadBatch::~ReadBatch()
{
    if (--options->m_batched == 0)
        for (TSetting::Id id : {TSetting::triggers, TSetting::safe})
            options->pushToStore(TSettings::all()[std::size_t(id)]);
}

namespace {
QStringList entriesOf(const QListWidget *list)
{
    QStringList out;
    out.reserve(list->count());
    for (int i = 0; i < list->count(); ++i)
        out << TTextItem::bytesOf(list->item(i));
    return out;
}

int pointsOf(const QFont &font)
{
    return font.pointSize() > 0 ? font.pointSize() : qRound(font.pointSizeF());
}
} // namespace

void Toptions::pushText(TSetting::Id id, const TByteEdit *field)
{
    QString bytes, bad;
    if (field->bytes(typedEncoding(), bytes, &bad))
        m_store->setTyped(id, bytes, field->text());
    else
        m_store->setUnencodable(id, field->text(), unencodableText(field, bad));
}

void Toptions::pullText(TSetting::Id id, TByteEdit *field)
{
    // A text that already gives the store's bytes and shows its text stays
    // as it is (its cursor among other things).
    QString bytes, mine;
    if (m_store->tryBytes(id, bytes) && !(field->text() == m_store->shown(id) &&
                                          field->bytes(typedEncoding(), mine) && mine == bytes))
        field->setBytes(bytes);
}

void Toptions::pushToStore(const TSettings::Setting &setting)
{
    using namespace TSettings;
    if (m_pulling)
        return;
    // The store's change comes back to the control that made it: the
    // control has it already.
    const bool wasPushing = m_pushing;
    m_pushing = true;
    const TSetting::Id id = setting.id;
    std::visit(
        [&](auto control) {
            using C = decltype(control);
            if constexpr (std::is_same_v<C, PaneFontPart>) {
                const QFont f = paneFont(control.pane);
                if (control.size)
                    m_store->setNumber(id, pointsOf(f));
                else
                    m_store->setFontFace(id, f.family());
            } else {
                const auto *c = this->*control;
                using W = std::remove_cv_t<std::remove_pointer_t<decltype(c)>>;
                if constexpr (std::is_same_v<W, TByteEdit>) {
                    pushText(id, c);
                } else if constexpr (std::is_same_v<W, QComboBox>) {
                    pushText(id, serverEdit());
                } else if constexpr (std::is_same_v<W, QCheckBox>) {
                    m_store->setFlag(id, c->isChecked());
                } else if constexpr (std::is_same_v<W, QRadioButton>) {
                    // Only a checked button speaks for the group: while one
                    // takes over from another, neither is checked a moment.
                    const int choice = ai_users->isChecked()   ? 1
                                       : ai_stats->isChecked() ? 2
                                       : ai_time->isChecked()  ? 3
                                                               : 0;
                    if (choice)
                        m_store->setNumber(id, choice);
                } else if constexpr (std::is_same_v<W, TSpinBox>) {
                    m_store->setNumber(id, c->value());
                } else if constexpr (std::is_same_v<W, TPickList>) {
                    m_store->setNumber(id, c->currentIndex());
                } else if constexpr (std::is_same_v<W, TColourBox>) {
                    m_store->setColour(id, c->selectedName());
                } else if constexpr (std::is_same_v<W, QListWidget>) {
                    if (!m_batched)
                        m_store->setList(id, entriesOf(c));
                }
            }
        },
        setting.control);
    m_pushing = wasPushing;
}

void Toptions::pullFromStore(const TSettings::Setting &setting)
{
    using namespace TSettings;
    const TSetting::Id id = setting.id;
    const bool wasPulling = m_pulling;
    m_pulling = true;
    std::visit(
        [&](auto control) {
            using C = decltype(control);
            if constexpr (std::is_same_v<C, PaneFontPart>) {
                const QFont f = paneFont(control.pane);
                if (control.size) {
                    if (pointsOf(f) != m_store->number(id) && m_store->number(id) > 0)
                        setPaneFontSize(control.pane, m_store->number(id));
                } else if (f.family() != m_store->shown(id)) {
                    setPaneFontFamily(control.pane, m_store->shown(id));
                }
            } else {
                auto *c = this->*control;
                using W = std::remove_pointer_t<decltype(c)>;
                if constexpr (std::is_same_v<W, TByteEdit>) {
                    pullText(id, c);
                } else if constexpr (std::is_same_v<W, QComboBox>) {
                    pullText(id, serverEdit());
                } else if constexpr (std::is_same_v<W, QCheckBox>) {
                    c->setChecked(m_store->flag(id));
                } else if constexpr (std::is_same_v<W, QRadioButton>) {
                    QRadioButton *choice[] = {ai_users, ai_stats, ai_time};
                    choice[qBound(1, m_store->number(id), 3) - 1]->setChecked(true);
                } else if constexpr (std::is_same_v<W, TSpinBox>) {
                    c->setValue(m_store->number(id));
                } else if constexpr (std::is_same_v<W, TPickList>) {
                    c->selectIndex(m_store->number(id));
                } else if constexpr (std::is_same_v<W, TColourBox>) {
                    c->selectName(m_store->colourName(id));
                } else if constexpr (std::is_same_v<W, QListWidget>) {
                    const QStringList entries = m_store->list(id);
                    if (entriesOf(c) != entries) {
                        c->clear();
                        for (const QString &bytes : entries)
                            c->addItem(TTextItem::newItem(bytes));
                    }
                }
            }
        },
        setting.control);
    m_pulling = wasPulling;
}

void Toptions::pushTexts()
{
    for (const TSettings::Setting &setting : TSettings::all())
        if (TSetting::def(setting.id).kind == TSetting::Kind::Text)
            pushToStore(setting);
}

void Toptions::bindStore()
{
    using namespace TSettings;
    // The controls start as the store has them.
    for (const Setting &setting : all())
        pullFromStore(setting);

    for (const Setting &setting : all()) {
        auto push = [this, &setting] { pushToStore(setting); };
        std::visit(
            [&](auto control) {
                using C = decltype(control);
                if constexpr (!std::is_same_v<C, PaneFontPart>) {
                    auto *c = this->*control;
                    using W = std::remove_pointer_t<decltype(c)>;
                    if constexpr (std::is_same_v<W, TByteEdit>)
                        connect(c, &QLineEdit::textChanged, this, push);
                    else if constexpr (std::is_same_v<W, QComboBox>)
                        connect(serverEdit(), &QLineEdit::textChanged, this, push);
                    else if constexpr (std::is_same_v<W, QCheckBox>)
                        connect(c, &QCheckBox::toggled, this, push);
                    else if constexpr (std::is_same_v<W, QRadioButton>)
                        for (QRadioButton *r : {ai_users, ai_stats, ai_time})
                            connect(r, &QRadioButton::toggled, this, push);
                    else if constexpr (std::is_same_v<W, TSpinBox>)
                        connect(c, &QSpinBox::valueChanged, this, push);
                    else if constexpr (std::is_same_v<W, TPickList> ||
                                       std::is_same_v<W, TColourBox>)
                        connect(c, &QComboBox::currentIndexChanged, this, push);
                    else if constexpr (std::is_same_v<W, QListWidget>) {
                        QAbstractItemModel *m = c->model();
                        connect(m, &QAbstractItemModel::rowsInserted, this, push);
                        connect(m, &QAbstractItemModel::rowsRemoved, this, push);
                        connect(m, &QAbstractItemModel::rowsMoved, this, push);
                        connect(m, &QAbstractItemModel::dataChanged, this, push);
                        connect(m, &QAbstractItemModel::modelReset, this, push);
                        connect(m, &QAbstractItemModel::layoutChanged, this, push);
                    }
                }
            },
            setting.control);
    }
    // Edited texts are bytes in the chosen encoding: another choice, other bytes.
    connect(outgoingEncoding, &QComboBox::currentIndexChanged, this, [this] { pushTexts(); });
    connect(m_store, &TSettingsStore::changed, this, [this](TSetting::Id id) {
        if (!m_pushing)
            pullFromStore(all()[std::size_t(id)]);
    });
}
