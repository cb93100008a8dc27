// A window with one Qt text field, the way a Qt application in front of the user offers its
// text to the accessibility bus. Usage: qt_text_field TITLE
#include <QApplication>
#include <QLineEdit>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QLineEdit field;
    field.setWindowTitle(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("Qt field"));
    field.setMinimumWidth(320);
    field.show();
    return QApplication::exec();
}
