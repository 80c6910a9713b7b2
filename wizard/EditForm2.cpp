#include "wizard/EditForm2.h"

namespace qiva {

EditForm2::EditForm2(Main& m, Services& s, QWidget* parent) : QWidget(parent), m_(m), s_(s) {
    setWindowTitle(QStringLiteral("歌词采集窗体"));
}

}  // namespace qiva
