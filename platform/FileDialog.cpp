#include "platform/FileDialog.h"

#include <QFileInfo>

namespace qiva {

void FileDialog::ShowSave() {
    const QString chosen = run(Kind::SaveAs);
    FileName = chosen.isEmpty() ? chosen : WithExtension(chosen, FilterExtension(Filter, FilterIndex));
}

QStringList FilterPatterns(const QString& filter, int index) {
    const QStringList parts = filter.split(QLatin1Char('|'));
    const qsizetype at = 2 * static_cast<qsizetype>(index) - 1;
    if (index < 1 || at >= parts.size()) return {};
    QStringList patterns;
    for (const QString& p : parts[at].split(QLatin1Char(';'), Qt::SkipEmptyParts)) patterns << p.trimmed();
    return patterns;
}

QString FilterExtension(const QString& filter, int index) {
    const QStringList patterns = FilterPatterns(filter, index);
    if (patterns.isEmpty() || !patterns.first().startsWith(QStringLiteral("*."))) return {};
    const QString extension = patterns.first().mid(2);
    const bool single = !extension.isEmpty() && !extension.contains(QLatin1Char('*')) &&
                        !extension.contains(QLatin1Char('?')) && !extension.contains(QLatin1Char('.'));
    return single ? extension : QString();
}

QString WithExtension(const QString& path, const QString& extension) {
    if (extension.isEmpty()) return path;
    const QString name = QFileInfo(path).fileName();
    // The same rule as Qt's own dialog: any dot in the name counts as an extension the user typed.
    if (name.isEmpty() || name.contains(QLatin1Char('.'))) return path;
    return path + QLatin1Char('.') + extension;
}

}  // namespace qiva
