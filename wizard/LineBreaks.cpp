#include "wizard/LineBreaks.h"

#include <QPlainTextEdit>
#include <QTextDocument>
#include <algorithm>
#include <array>

namespace qiva {

namespace {

// Index 0 is what the user types. The last two are the characters Qt's text cursor also takes for a
// paragraph break; a file holding them is rare, but it must not lose them.
const std::array<QString, 7> kForms = {QStringLiteral("\r\n"), QStringLiteral("\n"),   QStringLiteral("\r"),
                                       QString(QChar(0x2028)), QString(QChar(0x2029)), QString(QChar(0xFDD0)),
                                       QString(QChar(0xFDD1))};
constexpr uint8_t kTyped = 0;

// How many characters of a line break start at `i`, and which form it is; 0 when none does.
int BreakAt(const QString& text, qsizetype i, uint8_t& form) {
    const char16_t c = text[i].unicode();
    if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') {
        form = 0;
        return 2;
    }
    for (uint8_t f = 1; f < kForms.size(); ++f)
        if (c == kForms[f][0].unicode()) {
            form = f;
            return 1;
        }
    return 0;
}

// In the document's raw text a paragraph ends in U+2029; Shift+Enter puts a U+2028 inside one.
bool IsSeparator(QChar c) { return c == QChar::ParagraphSeparator || c == QChar::LineSeparator; }

qsizetype Separators(QStringView text) { return std::count_if(text.begin(), text.end(), IsSeparator); }

}  // namespace

LineBreaks::LineBreaks(QPlainTextEdit* box) : QObject(box), box_(box) {
    connect(box->document(), &QTextDocument::contentsChange, this,
            [this](int position, int, int) { follow(position); });
}

void LineBreaks::setText(const QString& text) {
    QString paragraphs;
    paragraphs.reserve(text.size());
    std::vector<uint8_t> forms;
    for (qsizetype i = 0; i < text.size();) {
        uint8_t form = 0;
        if (const int n = BreakAt(text, i, form); n > 0) {
            paragraphs += u'\n';
            forms.push_back(form);
            i += n;
        } else {
            paragraphs += text[i++];
        }
    }
    setting_ = true;
    box_->setPlainText(paragraphs);
    setting_ = false;
    seen_ = box_->document()->toRawText();
    forms_ = std::move(forms);
}

QString LineBreaks::text() const {
    const QString raw = box_->document()->toRawText();
    QString out;
    out.reserve(raw.size() + static_cast<qsizetype>(forms_.size()));
    size_t k = 0;
    for (const QChar c : raw) {
        if (!IsSeparator(c)) {
            out += c;
            continue;
        }
        // A U+2028 in the document came from Shift+Enter (a given text is split at every one), and its
        // entry says it was typed.
        out += kForms[k < forms_.size() ? forms_[k] : kTyped];
        ++k;
    }
    return out;
}

void LineBreaks::follow(int position) {
    if (setting_) return;
    const QString now = box_->document()->toRawText();
    // The change is the part between what stayed in front and what stayed behind. The prefix stops at the
    // reported position, so that a break typed next to another one is placed where the user typed it.
    const qsizetype shorter = std::min(seen_.size(), now.size());
    qsizetype front = 0;
    while (front < shorter && front < position && seen_[front] == now[front]) ++front;
    qsizetype back = 0;
    while (back < shorter - front && seen_[seen_.size() - 1 - back] == now[now.size() - 1 - back]) ++back;
    const auto first = static_cast<size_t>(Separators(QStringView(seen_).first(front)));
    const auto removed =
        static_cast<size_t>(Separators(QStringView(seen_).sliced(front, seen_.size() - front - back)));
    const auto added =
        static_cast<size_t>(Separators(QStringView(now).sliced(front, now.size() - front - back)));
    const size_t start = std::min(first, forms_.size());
    forms_.erase(forms_.begin() + static_cast<std::ptrdiff_t>(start),
                 forms_.begin() + static_cast<std::ptrdiff_t>(std::min(start + removed, forms_.size())));
    forms_.insert(forms_.begin() + static_cast<std::ptrdiff_t>(start), added, kTyped);
    seen_ = now;
}

}  // namespace qiva
