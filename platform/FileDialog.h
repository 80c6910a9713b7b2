#pragma once
// The window's file chooser CD1: FileName, Filter ("MP3 Files(*.MP3)|*.MP3"), InitDir and the flags value are
// kept between showings for the life of its window; ShowOpen / ShowSave return when the user has chosen
// ("" in FileName when cancelled).

#include <QString>
#include <memory>

class QWidget;

namespace qiva {

class FileDialog {
public:
    enum class Kind { Open, SaveAs };

    virtual ~FileDialog() = default;

    QString FileName;
    QString Filter;
    QString InitDir;
    int Flags = 0;  // the value callers set to 1 before each showing

    // Clears nothing by itself: callers set FileName to "" first, as every call site does.
    void ShowOpen() { FileName = run(Kind::Open); }
    void ShowSave() { FileName = run(Kind::SaveAs); }

protected:
    // Shows the dialog modally and returns the chosen full path, or "" when cancelled.
    virtual QString run(Kind kind) = 0;
};

class FileDialogFactory {
public:
    virtual ~FileDialogFactory() = default;
    // parent: the window that hosts the dialog (its modal owner).
    virtual std::unique_ptr<FileDialog> create(QWidget* parent) = 0;
};

}  // namespace qiva
