#pragma once

#include "engine/net/routes.h"
#include "engine/net/siteaddress.h"

#include <functional>

class QWidget;

namespace uplark {

class BlockingHttpClient;
class Desktop;
class FileDialog;
class MediaPreview;
class MessageBox;
class Notifier;
class SettingsStore;

// What the desktop provides to the windows. The composition root fills it
// with the real services; tests fill it with doubles.
struct Platform
{
    MessageBox *messages = nullptr;
    FileDialog *files = nullptr;
    Desktop *desktop = nullptr;
    BlockingHttpClient *http = nullptr;
    SettingsStore *settings = nullptr;
    // Notifications and the launcher's progress; null: none.
    Notifier *notifier = nullptr;
    // Makes the preview player that the main window embeds.
    std::function<MediaPreview *(QWidget *parent)> makePreview; // may return null
    // Ends the program at once: every window closes, nothing is saved.
    std::function<void()> endProgram;
    // Where connections really go; empty (identity) in the program.
    RouteTable routes;
    // The site and the conversion service: the build's hosts on port 80
    // unless the command line named others.
    SiteAddresses addresses;
};

} // namespace uplark
