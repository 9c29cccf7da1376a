#pragma once

#include <QCoreApplication>
#include <QDialog>

// "About Kestrium": the program's icon, its name and version, and OK.
class AboutBox : public QDialog {
    Q_DECLARE_TR_FUNCTIONS(AboutBox)

public:
    static constexpr const char* kText = QT_TRANSLATE_NOOP("AboutBox", "Kestrium Version 1.06 (023)");

    explicit AboutBox(QWidget* parent = nullptr);
};
