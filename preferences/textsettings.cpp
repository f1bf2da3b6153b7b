// Where the settings meet text: the text settings and the list entries hold
// bytes; what the user types or edits is encoded in the chosen encoding.
#include "preferences/Toptions.h"

#include "base/errors.h"
#include "core/settingsstore.h"
#include "widgets/dialogs.h"

namespace {
QString remedy()
{
    return QStringLiteral("choose another encoding for \"Send typed text as:\" under Preferences, "
                          "Advanced");
}
} // namespace

TText::Encoding Toptions::typedEncoding() const { return m_store->typedEncoding(); }

QString Toptions::unencodableText(const TByteEdit *field, const QString &bad) const
{
    return QStringLiteral("The %1 setting holds \"%2\", which %3 cannot hold; change the "
                          "setting, or %4")
        .arg(field->property("caption").toString(), bad,
             m_store->pickText(TSetting::outgoingEncoding), remedy());
}

QString Toptions::bytesOf(const TByteEdit *field) const
{
    QString bytes, bad;
    if (!field->bytes(typedEncoding(), bytes, &bad))
        throw TError(unencodableText(field, bad));
    return bytes;
}

bool Toptions::typedBytes(QWidget *parent, const QString &text, QString &bytes) const
{
    QString bad;
    if (TText::encode(text, typedEncoding(), bytes, &bad))
        return true;
    dialogs().showError(parent, QStringLiteral("Tressel"),
                        QStringLiteral("\"%1\" cannot be written in %2, so nothing was changed. "
                                       "Leave it out, or %3.")
                            .arg(bad, m_store->pickText(TSetting::outgoingEncoding), remedy()));
    return false;
}

void Toptions::setConnected(bool connected) { username->setEnabled(!connected); }

TByteEdit *Toptions::serverEdit() const { return static_cast<TByteEdit *>(server->lineEdit()); }
