#pragma once
// Step two's text box keeps paragraphs, not the line breaks between them. A text file written on Linux (LF),
// by an old Mac editor (CR) or by Windows (CR LF) must come back from the box byte for byte, so each break's
// own form is kept here, one entry per break, and follows the user's edits: a break the user types is CR LF,
// as the Windows text box held it, and a break the user deletes goes with its form.

#include <QObject>
#include <QString>
#include <cstdint>
#include <vector>

class QPlainTextEdit;

namespace qiva {

class LineBreaks : public QObject {
public:
    explicit LineBreaks(QPlainTextEdit* box);

    // Replaces the box's text; every line break of `text` (CR LF, LF, CR, U+2028, U+2029) is remembered.
    void setText(const QString& text);
    // The box's text with every line break in its own form.
    QString text() const;

private:
    void follow(int position);

    QPlainTextEdit* box_;
    QString seen_;                // the document's raw text after the last change, one separator per break
    std::vector<uint8_t> forms_;  // the form of each separator in seen_, in order
    bool setting_ = false;
};

}  // namespace qiva
