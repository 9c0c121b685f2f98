#include "desktop/seams/mediapreview.h"

#include "desktop/seams/previewbar.h"

#include <QDir>
#include <QLibrary>
#include <QPalette>

#include <memory>

namespace uplark {

using namespace Qt::StringLiterals;

PreviewMaker previewFromLibrary(const QStringList &candidates)
{
    using Create = MediaPreview *(*)(QWidget *);
    // Loaded once, on the first call, and never unloaded: the players it
    // makes run its code for as long as they live.
    auto create = std::make_shared<Create>(nullptr);
    auto tried = std::make_shared<bool>(false);
    return [candidates, create, tried](QWidget *parent) -> MediaPreview * {
        if (!*tried) {
            *tried = true;
            for (const QString &path : candidates) {
                QLibrary library(path);
                library.setLoadHints(QLibrary::PreventUnloadHint);
                if (auto f = reinterpret_cast<Create>(library.resolve("uplarkCreatePreview"))) {
                    *create = f;
                    break;
                }
            }
        }
        return *create ? (*create)(parent) : nullptr;
    };
}

QStringList previewLibraryCandidates(const QString &programFolder)
{
    const QString name = QStringLiteral(UPLARK_PREVIEW_LIBRARY);
    return {QDir(programFolder).filePath(name),
            QDir(programFolder).filePath(QStringLiteral(UPLARK_PREVIEW_INSTALL_DIR) + u'/' + name)};
}

QWidget *createPreviewPlaceholder(QWidget *parent)
{
    auto *box = new QWidget(parent);
    auto *picture = new QWidget(box);
    QPalette black = picture->palette();
    black.setColor(QPalette::Window, Qt::black);
    picture->setPalette(black);
    picture->setAutoFillBackground(true);
    // Its controls do nothing, so the keyboard passes them by.
    const PreviewControls controls = layOutPreview(box, picture);
    for (QWidget *control :
         {static_cast<QWidget *>(controls.play), static_cast<QWidget *>(controls.stop),
          static_cast<QWidget *>(controls.position)})
        control->setFocusPolicy(Qt::NoFocus);
    return box;
}

} // namespace uplark
