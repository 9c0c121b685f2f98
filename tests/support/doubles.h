#pragma once

#include "desktop/seams/desktop.h"
#include "desktop/seams/filedialog.h"
#include "desktop/seams/mediapreview.h"
#include "desktop/seams/messagebox.h"
#include "desktop/seams/platform.h"
#include "desktop/widgets/widgets.h"
#include "engine/model/settings.h"
#include "engine/net/blockinghttpclient.h"

#include <QList>
#include <QTest>
#include <QStringList>
#include <QTemporaryDir>

#include <functional>

namespace uplark::test {

// Records every message box and answers from a script: the next answer of
// `answers`, or OK (No for a question) when the script is empty.
class RecordingMessageBox : public MessageBox
{
public:
    struct Shown
    {
        QString text;
        MsgButtons buttons;
        MsgIcon icon;
        QString title;
    };
    using MessageBox::show;
    MsgAnswer show(const QString &text, MsgButtons buttons, MsgIcon icon,
                   const QString &title) override;

    QStringList texts() const;

    QList<Shown> shown;
    QList<MsgAnswer> answers;
    // Runs while the box is "open", as a modal box would let events run.
    std::function<void(const Shown &)> onShow;
};

// Returns scripted paths, one per opening; "" (cancelled) when none is left.
class ScriptedFileDialog : public FileDialog
{
public:
    QString openFile(const QString &filter) override;

    QStringList paths;
    QStringList filters; // the filter of each opening
};

// Records what the window asks of the preview player.
class RecordingPreview : public MediaPreview
{
public:
    using MediaPreview::MediaPreview;
    void setMedia(const QString &path) override { calls.append(QStringLiteral("media:") + path); }
    void closeMedia() override { calls.append(QStringLiteral("close")); }
    void setStretchToFit(bool) override { }

    QStringList calls;
};

class RecordingDesktop : public Desktop
{
public:
    void clearClipboard() override { clipboard.clear(); }
    void setClipboardText(const QString &text) override { clipboard = text; }
    bool openUrl(const QString &address) override
    {
        opened.append(address);
        return true;
    }

    QString clipboard;
    QStringList opened;
};

// Answers every request with `reply` and keeps what was asked.
class ScriptedHttp : public BlockingHttpClient
{
public:
    HttpReply post(const QByteArray &url, const QByteArray &, const QByteArray &body) override
    {
        requests.append(url + ' ' + body);
        return reply;
    }

    HttpReply reply;
    QList<QByteArray> requests;
};

// A whole platform of doubles with settings in a temporary folder.
struct TestPlatform
{
    TestPlatform();

    // The preview player the main window made, once it has made one.
    RecordingPreview *preview = nullptr;

    QTemporaryDir configDir;
    SettingsStore settings;
    RecordingMessageBox messages;
    ScriptedFileDialog files;
    RecordingDesktop desktop;
    int endRequests = 0;
    Platform platform;

    // Settings of the program's own application and section.
    QString setting(const QString &key) const;
    void setSetting(const QString &key, const QString &value);
};

// The child of `root` with this object name; the test stops when there is none.
template<typename T>
T *child(const QObject &root, const char *name)
{
    T *child = root.findChild<T *>(QString::fromLatin1(name));
    if (!child)
        qFatal("%s has no child named %s", qPrintable(root.objectName()), name);
    return child;
}

// A left click on the image button of this name, in the middle of its
// click area.
inline void clickButton(const QObject &root, const char *name)
{
    ImageButton *button = child<ImageButton>(root, name);
    QTest::mouseClick(button, Qt::LeftButton, {}, button->hotspot().center());
}

} // namespace uplark::test
