// The yardstick for Uplark's start-up: a plain Qt Widgets window with a few
// ordinary controls, shown at once, nothing loaded before it.
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <QWidget>

using namespace Qt::StringLiterals;

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QWidget window;
    window.setWindowTitle(u"Plain window"_s);
    auto *layout = new QVBoxLayout(&window);
    layout->addWidget(new QLabel(u"Video file:"_s));
    layout->addWidget(new QLineEdit);
    layout->addWidget(new QPushButton(u"Browse file..."_s));
    window.resize(600, 400);
    window.show();
    return app.exec();
}
