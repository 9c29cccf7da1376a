#pragma once

#include <QCoreApplication>
#include <QWidget>

#include <string>

class QLineEdit;

// A folder setting of a setup page: its caption, the edit field and "Browse ..." with the folder
// chooser.
class FolderField : public QWidget {
    Q_DECLARE_TR_FUNCTIONS(FolderField)

public:
    static constexpr int kMaxPathLength = 259;

    // `title` is the chooser's title; it starts at the field's folder, or at `setting` when the
    // field is empty.
    FolderField(const QString& caption, const QString& title, const std::string& setting, QWidget* parent);

    std::string Folder() const;

private:
    void Browse();

    QString m_title;
    QString m_setting;
    QLineEdit* m_edit;
};
