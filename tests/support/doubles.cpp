#include "doubles.h"

namespace uplark::test {

MsgAnswer RecordingMessageBox::show(const QString &text, MsgButtons buttons, MsgIcon icon,
                                    const QString &title)
{
    shown.append({text, buttons, icon, title});
    if (onShow)
        onShow(shown.constLast());
    if (!answers.isEmpty())
        return answers.takeFirst();
    return buttons == MsgButtons::YesNo ? MsgAnswer::No : MsgAnswer::Ok;
}

QStringList RecordingMessageBox::texts() const
{
    QStringList result;
    for (const Shown &s : shown)
        result.append(s.text);
    return result;
}

QString ScriptedFileDialog::openFile(const QString &filter)
{
    filters.append(filter);
    return paths.isEmpty() ? QString() : paths.takeFirst();
}

TestPlatform::TestPlatform()
    : settings(configDir.path())
{
    platform.messages = &messages;
    platform.files = &files;
    platform.desktop = &desktop;
    platform.settings = &settings;
    platform.makePreview = [this](QWidget *parent) {
        preview = new RecordingPreview(parent);
        return preview;
    };
    platform.endProgram = [this] { ++endRequests; };
}

QString TestPlatform::setting(const QString &key) const
{
    const QString app = QString::fromUtf16(SettingsApp);
    return settings.value(app, app, key);
}

void TestPlatform::setSetting(const QString &key, const QString &value)
{
    const QString app = QString::fromUtf16(SettingsApp);
    settings.setValue(app, app, key, value);
}

} // namespace uplark::test
