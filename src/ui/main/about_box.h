#pragma once

#include <QDialog>

// "About Kestrium": the program's icon, its name and version, and OK.
class AboutBox : public QDialog {
public:
    static constexpr const char* kText = "Kestrium Version 1.06 (023)";

    explicit AboutBox(QWidget* parent = nullptr);
};
