#include "store/Codec.h"

#include <iconv.h>

#include <QSysInfo>
#include <algorithm>
#include <cerrno>
#include <cstring>

#include "store/Main.h"

namespace qiva {
namespace {

constexpr char16_t kEuro = u'\u20AC';
constexpr char16_t kReplacement = u'\uFFFD';
constexpr char kEuroByte = '\x80';

const char* HostUtf16() { return QSysInfo::ByteOrder == QSysInfo::LittleEndian ? "UTF-16LE" : "UTF-16BE"; }

// One conversion descriptor per call: the store runs on one thread, but a descriptor carries shift state and
// must never be shared between conversions.
class Iconv {
public:
    Iconv(const char* to, const char* from) : cd_(iconv_open(to, from)) {
        if (cd_ == reinterpret_cast<iconv_t>(-1))
            throw StoreError("iconv cannot convert GB18030 on this system");
    }
    ~Iconv() { iconv_close(cd_); }
    Iconv(const Iconv&) = delete;
    Iconv& operator=(const Iconv&) = delete;

    // Converts as much of [in, in + inLeft) as possible into out; returns errno (0 when all was converted).
    int Run(const char*& in, size_t& inLeft, char*& out, size_t& outLeft) {
        char* src = const_cast<char*>(in);
        const size_t r = iconv(cd_, &src, &inLeft, &out, &outLeft);
        in = src;
        return r == static_cast<size_t>(-1) ? errno : 0;
    }

private:
    iconv_t cd_;
};

// `text` holds whole characters and no euro sign. A character the converter still rejects (none is known
// for GB18030) is written as U+FFFD rather than failing the whole file.
void EncodeRun(Iconv& cd, QStringView text, QByteArray& out) {
    if (text.isEmpty()) return;
    const auto used = static_cast<size_t>(out.size());
    out.resize(static_cast<qsizetype>(used + static_cast<size_t>(text.size()) * 4 + 8));
    const char* in = reinterpret_cast<const char*>(text.utf16());
    size_t inLeft = static_cast<size_t>(text.size()) * 2;
    char* dst = out.data() + used;
    size_t outLeft = static_cast<size_t>(out.size()) - used;
    for (int err = cd.Run(in, inLeft, dst, outLeft); err != 0; err = cd.Run(in, inLeft, dst, outLeft)) {
        if (err != EILSEQ) throw StoreError("GB18030 encoding failed");
        static const char kReplacementBytes[] = {'\x84', '\x31', '\xA4', '\x37'};
        std::memcpy(dst, kReplacementBytes, sizeof kReplacementBytes);
        dst += sizeof kReplacementBytes;
        outLeft -= sizeof kReplacementBytes;
        const size_t skip = QChar::isHighSurrogate(*reinterpret_cast<const char16_t*>(in)) ? 4 : 2;
        in += std::min(skip, inLeft);
        inLeft -= std::min(skip, inLeft);
    }
    out.resize(dst - out.data());
}

// Replaces lone surrogates so that the converter sees only whole characters.
QString WithoutLoneSurrogates(const QString& text) {
    QString clean = text;
    const qsizetype n = clean.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = clean.at(i);
        if (c.isHighSurrogate() && i + 1 < n && clean.at(i + 1).isLowSurrogate()) {
            ++i;
        } else if (c.isSurrogate()) {
            clean[i] = QChar(kReplacement);
        }
    }
    return clean;
}

}  // namespace

QByteArray EncodeAnsi(const QString& text) {
    const QString clean = WithoutLoneSurrogates(text);
    Iconv cd("GB18030", HostUtf16());
    QByteArray out;
    out.reserve(clean.size() * 2);
    const QStringView all(clean);
    qsizetype start = 0;
    for (qsizetype euro = all.indexOf(QChar(kEuro)); euro >= 0; euro = all.indexOf(QChar(kEuro), start)) {
        EncodeRun(cd, all.mid(start, euro - start), out);
        out.append(kEuroByte);
        start = euro + 1;
    }
    EncodeRun(cd, all.mid(start), out);
    return out;
}

QString DecodeAnsi(QByteArrayView bytes) {
    Iconv cd(HostUtf16(), "GB18030");
    // Every byte yields at most one UTF-16 unit, and a four-byte sequence at most two.
    QString out(bytes.size() + 2, Qt::Uninitialized);
    const char* in = bytes.data();
    size_t inLeft = static_cast<size_t>(bytes.size());
    char* const base = reinterpret_cast<char*>(out.data());
    char* dst = base;
    size_t outLeft = static_cast<size_t>(out.size()) * 2;
    while (inLeft > 0) {
        const int err = cd.Run(in, inLeft, dst, outLeft);
        if (err == 0) break;
        if (err != EILSEQ && err != EINVAL) throw StoreError("GB18030 decoding failed");
        // A byte the converter rejects (or the cut-off start of a sequence at the end): one character for
        // it, then go on with the byte after it.
        const char16_t unit = *in == kEuroByte ? kEuro : kReplacement;
        std::memcpy(dst, &unit, sizeof unit);
        dst += sizeof unit;
        outLeft -= sizeof unit;
        ++in;
        --inLeft;
    }
    out.truncate((dst - base) / 2);
    return out;
}

}  // namespace qiva
