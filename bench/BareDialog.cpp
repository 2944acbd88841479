// The baseline of the start-up figure: a bare Qt 6 dialog with a label, shown and run.
#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QVBoxLayout>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QDialog dialog;
    dialog.setWindowTitle("Bare dialog");
    auto* layout = new QVBoxLayout(&dialog);
    layout->addWidget(new QLabel("A bare Qt dialog"));
    dialog.show();
    return dialog.exec();
}
