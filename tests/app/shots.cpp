// Draws the windows the way a user meets them and saves each as a PNG:
//   uplark-shots <folder> [dark]
// with QT_SCALE_FACTOR for other scales. The windows run against the test
// doubles, so no site is needed.
#include "account/accountdialog.h"
#include "app/mainwindow.h"
#include "doubles.h"
#include "site/uploadsession.h"
#include "videoinfo/videoinfodialog.h"

#include <QApplication>
#include <QDir>
#include <QPalette>
#include <QStyleFactory>

using namespace Qt::StringLiterals;
using namespace uplark;
using namespace uplark::test;

namespace {

QPalette DarkPalette()
{
    QPalette p;
    const QColor window(45, 45, 48), base(30, 30, 30), text(230, 230, 230);
    p.setColor(QPalette::Window, window);
    p.setColor(QPalette::WindowText, text);
    p.setColor(QPalette::Base, base);
    p.setColor(QPalette::AlternateBase, window);
    p.setColor(QPalette::Text, text);
    p.setColor(QPalette::Button, window);
    p.setColor(QPalette::ButtonText, text);
    p.setColor(QPalette::PlaceholderText, QColor(150, 150, 150));
    p.setColor(QPalette::Highlight, QColor(42, 130, 218));
    p.setColor(QPalette::HighlightedText, Qt::black);
    p.setColor(QPalette::ToolTipBase, window);
    p.setColor(QPalette::ToolTipText, text);
    p.setColor(QPalette::Light, QColor(80, 80, 80));
    p.setColor(QPalette::Midlight, QColor(65, 65, 65));
    p.setColor(QPalette::Mid, QColor(35, 35, 35));
    p.setColor(QPalette::Dark, QColor(20, 20, 20));
    p.setColor(QPalette::Shadow, Qt::black);
    return p;
}

void Save(QWidget &w, const QString &folder, const QString &name)
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
        QApplication::setPalette(DarkPalette());

    {
        TestPlatform t;
        MainWindow w(t.platform);
        w.show();
        Save(w, folder, u"intro"_s);
        ClickButton(w, "understoodButton");
        Save(w, folder, u"idle"_s);
    }
    TestPlatform t;
    t.setSetting(u"check1"_s, u"1"_s);
    t.setSetting(u"un"_s, u"user"_s);
    t.setSetting(u"pw"_s, u"secret"_s);
    MainWindow w(t.platform);
    w.show();
    Save(w, folder, u"idle-account"_s);
    {
        AccountDialog d(t.platform, &w);
        d.show();
        Save(d, folder, u"account"_s);
    }
    {
        VideoInfoDialog d(t.platform, u"clip"_s, &w);
        d.show();
        Save(d, folder, u"videoinfo"_s);
    }
    UploadSession &s = w.session();
    Q_EMIT s.stepChanged(UploadStep::LoggingIn);
    Q_EMIT s.fileAnnounced(u"clip.wmv"_s, 3000000);
    Q_EMIT s.stepChanged(UploadStep::Uploading);
    Q_EMIT s.stepChanged(UploadStep::PreparingAddress);
    Q_EMIT s.finished(u"http://www.youtube.com/watch?v=abcdefghijk"_s);
    Save(w, folder, u"result"_s);
    return 0;
}
