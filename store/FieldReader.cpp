#include "store/FieldReader.h"

#include "store/Main.h"

namespace qiva {
namespace {

bool IsBlank(QChar c) { return c == u' ' || c == u'\t'; }

[[noreturn]] void Fail(const char* what, const QString& why) {
    throw StoreError(QStringLiteral("%1: %2").arg(QString::fromUtf8(what), why).toStdString());
}

}  // namespace

int16_t ParseInt16(QStringView field, const char* what) {
    while (!field.isEmpty() && IsBlank(field.back())) field.chop(1);
    const bool negative = field.startsWith(u'-');
    const QStringView digits = negative ? field.mid(1) : field;
    const auto notANumber = [&] {
        Fail(what, QStringLiteral("\"%1\" is not a whole number").arg(field.left(40)));
    };
    if (digits.isEmpty()) notANumber();
    // Accumulating only while the value can still fit keeps hostile digit runs from overflowing.
    int value = 0;
    for (QChar c : digits) {
        if (c < u'0' || c > u'9') notANumber();
        if (value <= 32768) value = value * 10 + (c.unicode() - u'0');
    }
    const int limit = negative ? 32768 : 32767;
    if (value > limit) {
        Fail(what, QStringLiteral("%1 does not fit a 16-bit number (-32768 to 32767)").arg(field.left(20)));
    }
    return static_cast<int16_t>(negative ? -value : value);
}

FieldReader::FieldReader(QString text) : text_(std::move(text)) { fieldPending_ = !text_.isEmpty(); }

bool FieldReader::IsLineEnd(qsizetype i) const { return text_.at(i) == u'\r' || text_.at(i) == u'\n'; }

void FieldReader::SkipBlanks() {
    while (pos_ < text_.size() && IsBlank(text_.at(pos_))) ++pos_;
}

qsizetype FieldReader::FindSeparator(qsizetype from) const {
    qsizetype i = from;
    while (i < text_.size() && text_.at(i) != u',' && !IsLineEnd(i)) ++i;
    return i;
}

void FieldReader::SkipSeparator() {
    if (pos_ >= text_.size()) {
        fieldPending_ = false;
        return;
    }
    const QChar c = text_.at(pos_++);
    if (c == u'\r' && pos_ < text_.size() && text_.at(pos_) == u'\n') ++pos_;
    fieldPending_ = pos_ < text_.size() || c == u',';
}

QString FieldReader::NextText(const char* what) {
    if (!fieldPending_) Fail(what, QStringLiteral("the file ends before this field"));
    SkipBlanks();
    QString field;
    if (pos_ < text_.size() && text_.at(pos_) == u'"') {
        const qsizetype close = text_.indexOf(u'"', pos_ + 1);
        if (close < 0) Fail(what, QStringLiteral("a quoted field is never closed"));
        field = text_.mid(pos_ + 1, close - pos_ - 1);
        pos_ = FindSeparator(close + 1);
    } else {
        const qsizetype end = FindSeparator(pos_);
        qsizetype last = end;
        while (last > pos_ && IsBlank(text_.at(last - 1))) --last;
        field = text_.mid(pos_, last - pos_);
        pos_ = end;
    }
    SkipSeparator();
    return field;
}

int16_t FieldReader::NextInt16(const char* what) { return ParseInt16(NextText(what), what); }

}  // namespace qiva
