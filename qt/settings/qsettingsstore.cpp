#include "qt/settings/qsettingsstore.h"

#include <QSettings>
#include <QString>
#include <QVariant>

namespace jbx {

namespace {

QString KeyName(std::string_view name)
{
    return QString::fromUtf8(name.data(), qsizetype(name.size()));
}

class QSettingsKey final : public SettingsKey {
public:
    QSettingsKey()
        : settings_(QSettings::NativeFormat, QSettings::UserScope, KeyName(kSettingsOrganization),
            KeyName(kSettingsApplication))
    {
        // The store is the user's alone: a value missing there is written
        // with its default, never taken from a system-wide file (/etc/xdg) or
        // from the organisation's shared one.
        settings_.setFallbacksEnabled(false);
    }

    // QSettings reads the file when it is constructed; a format error still
    // leaves whatever could be parsed, only an access error leaves nothing.
    bool readable() const { return settings_.status() != QSettings::AccessError; }

    std::optional<std::string> readText(std::string_view name) override
    {
        const QVariant value = settings_.value(KeyName(name));
        // A hand-edited "a, b" comes back as a list and "@Variant(...)" as
        // some other type: neither is a text this program wrote.
        if (value.typeId() != QMetaType::QString)
            return std::nullopt;
        const QByteArray utf8 = value.toString().toUtf8();
        return std::string(utf8.constData(), std::size_t(utf8.size()));
    }

    bool writeText(std::string_view name, std::string_view text) override
    {
        settings_.setValue(KeyName(name), QString::fromUtf8(text.data(), qsizetype(text.size())));
        settings_.sync();
        return settings_.status() != QSettings::AccessError;
    }

private:
    QSettings settings_;
};

} // namespace

std::unique_ptr<SettingsKey> QSettingsStore::open()
{
    auto key = std::make_unique<QSettingsKey>();
    if (!key->readable())
        return nullptr;
    return key;
}

} // namespace jbx
