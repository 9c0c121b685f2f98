// Draws the windows the way a user meets them and saves each as a PNG:
//   uplark-shots <folder> [dark]
// with QT_SCALE_FACTOR for other scales. The windows run against the test
// doubles, so no site is needed.
#include "desktop/windows/accountdialog.h"
#include "windowrig.h"

#include <QDir>
#include <QStyleFactory>

using namespace Qt::StringLiterals;
using namespace uplark;
using namespace uplark::test;

namespace {

void saveShot(QWidget &w, const QString &folder, const QString &name)
{
    QApplication::processEvents();
    QTest::qWait(50);
    w.grab().save(QDir(folder).filePath(name + u".png"_s));
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setStyle(QStyleFactory::create(u"Fusion"_s));
    QFont font(u"Liberation Sans"_s);
    font.setPointSize(8);
    QApplication::setFont(font);
    const QStringList args = QApplication::arguments();
    if (args.size() < 2)
        return 2;
    const QString folder = args.at(1);
    QDir().mkpath(folder);
    if (args.contains(u"dark"_s))
        QApplication::setPalette(darkPalette());

    {
        TestPlatform t;
        MainWindow w(t.platform);
        w.show();
        saveShot(w, folder, u"intro"_s);
        clickButton(w, "understoodButton");
        saveShot(w, folder, u"idle"_s);
    }
    TestPlatform t;
    storeSettings(t, u"1"_s, u"user"_s, u"secret"_s);
    MainWindow w(t.platform);
    w.show();
    saveShot(w, folder, u"idle-account"_s);
    {
        AccountDialog d(t.platform, &w);
        d.show();
        saveShot(d, folder, u"account"_s);
    }
    {
        VideoInfoDialog d(t.platform, w.job(), u"clip"_s, &w);
        d.show();
        saveShot(d, folder, u"videoinfo"_s);
    }
    UploadChain &s = w.job().chain();
    Q_EMIT s.stepChanged(UploadStep::LoggingIn);
    Q_EMIT s.fileAnnounced(u"clip.wmv"_s, 3000000);
    Q_EMIT s.stepChanged(UploadStep::Uploading);
    Q_EMIT s.stepChanged(UploadStep::PreparingAddress);
    Q_EMIT s.finished(u"http://www.youtube.com/watch?v=abcdefghijk"_s);
    saveShot(w, folder, u"result"_s);
    return 0;
}
