#pragma once
// The field stream shared by the association record and the timed lyrics file: fields are separated by
// commas and line ends alike, so a reader never depends on which fields share a line.

#include <QString>
#include <QStringView>
#include <cstdint>

namespace qiva {

// Converts a whole field to a 16-bit signed integer: an optional minus sign and decimal digits, nothing else
// (trailing blanks aside). Throws StoreError naming `what` for anything else or for a value outside int16_t.
int16_t ParseInt16(QStringView field, const char* what);

class FieldReader {
public:
    explicit FieldReader(QString text);

    // The next field. A field starting with a double quote is the text up to the next double quote, line
    // breaks and commas included; anything between that quote and the following comma or line end is
    // dropped. An unquoted field runs to the next comma or line end, trailing blanks removed. Throws
    // StoreError naming `what` when the stream holds no further field or a quote is never closed.
    QString NextText(const char* what);
    int16_t NextInt16(const char* what);

private:
    void SkipBlanks();
    // Moves past one separator at pos_ (comma, CR LF, lone CR or lone LF), if there is one.
    void SkipSeparator();
    bool IsLineEnd(qsizetype i) const;
    qsizetype FindSeparator(qsizetype from) const;

    QString text_;
    qsizetype pos_ = 0;
    // A comma as the very last character still introduces one (empty) field.
    bool fieldPending_ = true;
};

}  // namespace qiva
