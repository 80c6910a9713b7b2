#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QPointer>

#include "platform/RealServices.h"

namespace qiva {

QString QtFilterFor(const QString& filter) {
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList qtFilters;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        QStringList patterns;
        for (const QString& p : parts[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
            const QString t = p.trimmed();
            patterns << t;
            if (t.toLower() != t) patterns << t.toLower();
        }
        qtFilters << parts[i] + QStringLiteral(" (") + patterns.join(QLatin1Char(' ')) + QLatin1Char(')');
    }
    return qtFilters.join(QStringLiteral(";;"));
}

namespace {

class QtFileDialog : public FileDialog {
public:
    explicit QtFileDialog(QWidget* parent) : parent_(parent) {}

protected:
    QString run(Kind kind) override {
        QFileDialog dialog(parent_);
        dialog.setOption(QFileDialog::DontUseNativeDialog);
        dialog.setAcceptMode(kind == Kind::Open ? QFileDialog::AcceptOpen : QFileDialog::AcceptSave);
        dialog.setFileMode(kind == Kind::Open ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
        dialog.setWindowTitle(kind == Kind::Open ? QStringLiteral("打开") : QStringLiteral("另存为"));
        // "*.TXT" lists a.txt and a.Txt too, as it did on the Windows disks these names come from.
        dialog.setFilter(dialog.filter() & ~QDir::Filters(QDir::CaseSensitive));
        const QStringList filters =
            Filter.isEmpty() ? QStringList() : QtFilterFor(Filter).split(QStringLiteral(";;"));
        if (!filters.isEmpty()) {
            dialog.setNameFilters(filters);
            dialog.selectNameFilter(filters.value(FilterIndex - 1, filters.constFirst()));
        }
        // The extension of the chosen filter goes on a name typed without one before the dialog checks the
        // name, so that the question about replacing a file is asked about the file that will be written.
        const auto followFilter = [&](const QString& chosen) {
            if (kind == Kind::SaveAs)
                dialog.setDefaultSuffix(FilterExtension(Filter, int(filters.indexOf(chosen)) + 1));
        };
        QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, followFilter);
        followFilter(dialog.selectedNameFilter());
        if (!InitDir.isEmpty() && QDir(InitDir).exists()) dialog.setDirectory(InitDir);
        if (!FileName.isEmpty()) dialog.selectFile(FileName);
        const bool accepted = dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty();
        if (const qsizetype chosen = filters.indexOf(dialog.selectedNameFilter()); chosen >= 0)
            FilterIndex = int(chosen) + 1;
        if (!accepted) return {};
        return QDir::toNativeSeparators(dialog.selectedFiles().constFirst());
    }

private:
    QPointer<QWidget> parent_;
};

QWidget* Owner() { return QApplication::activeWindow(); }

}  // namespace

std::unique_ptr<FileDialog> QtFileDialogFactory::create(QWidget* parent) {
    return std::make_unique<QtFileDialog>(parent);
}

void QtPrompter::MsgBox(const QString& text, const QString& title) {
    QMessageBox box(QMessageBox::NoIcon, title, text, QMessageBox::Ok, Owner());
    box.exec();
}

bool QtPrompter::AskYesNo(const QString& text, const QString& title) {
    QMessageBox box(QMessageBox::NoIcon, title, text, QMessageBox::Yes | QMessageBox::No, Owner());
    box.setDefaultButton(QMessageBox::Yes);
    return box.exec() == QMessageBox::Yes;
}

QString QtPrompter::InputBox(const QString& prompt, const QString& title, const QString& defaultAnswer) {
    QInputDialog dialog(Owner());
    dialog.setWindowTitle(title);
    dialog.setLabelText(prompt);
    dialog.setTextValue(defaultAnswer);
    if (dialog.exec() != QDialog::Accepted) return {};
    return dialog.textValue();
}

}  // namespace qiva
